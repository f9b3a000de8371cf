#pragma once
// Columns of the services, products and annex grids of the main window, and what each of
// them must stamp on a row for it to be stored: the annex grids give every row its
// identifier, its kind code and its parent link; the services grid turns the list
// position it was given into the catalogue number.

#include "core/GridRule.h"

#include <QVariant>

#include <functional>

namespace kalto {

class Database;
class Messages;

namespace columnas {
// dbServicios: IDSERV, Servicio.
QList<GridColumn> servicios();
// dbProducto: Fracción, UMID, Unidad Medida, Capacidad Instalada, Porcentaje Utilizado, ID_PROD.
QList<GridColumn> productos();
// dbAnxMPE: ID_PROD, TIPO_REG, Descripción (hidden), Fraccion, ID_SUBORD.
QList<GridColumn> anexoExportacion();
// dbAnx(0) inputs and dbAnx(3) rework: ID_PROD, TIPO_REG, Fraccion, ID_SUBORD.
// dbAnx(1) containers and dbAnx(2) tools: ID_PROD, TIPO_REG, Fraccion (unbound), Descripcion, ID_SUBORD.
QList<GridColumn> anexo(int indice);
// TIPO_REG of the rows of dbAnx(indice): 1 inputs, 2 containers, 3 tools, 4 rework.
int tipoRegistroAnexo(int indice);
// Where the parent link (ID_SUBORD) stands in dbAnx(indice): 3 for inputs and rework, 4 otherwise.
int columnaSubordinado(int indice);
}  // namespace columnas

// The services grid: the pick list writes the 0-based catalogue position into IDSERV; once
// the row is stored it becomes the 1-based catalogue number.
class ServiceInsertRule : public GridRule {
public:
    explicit ServiceInsertRule(Database& db) : db_(db) {}
    void afterInsert(const GridRow& row) override;

private:
    Database& db_;
};

// An annex grid: before a row is stored it gets its identifier (the one it has when that
// is already in imanexos, otherwise the next free one), its kind code and its parent link
// (`padre`, the export product's identifier for inputs; 0 for every other grid).
// An identifier above 32767, or an input without a selected export product, refuses the
// row with a message.
class AnnexInsertRule : public GridRule {
public:
    AnnexInsertRule(Database& db, Messages& mensajes, int tipoReg, int columnaPadre,
                  std::function<QVariant()> padre = {});

    bool beforeInsert(GridRow& row) override { return sella(row); }
    bool beforeUpdate(GridRow& row) override { return sella(row); }

    static const QString kMsgSeleccione;

private:
    bool sella(GridRow& row);

    Database& db_;
    Messages& mensajes_;
    int tipoReg_;
    int columnaPadre_;
    std::function<QVariant()> padre_;
};

}  // namespace kalto

#include "annexes/AnnexGrids.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "data/Database.h"
#include "data/mdlKALTO.h"

namespace kalto {

namespace columnas {

QList<GridColumn> servicios() {
    return {{QStringLiteral("IDSERV"), QStringLiteral("IDSERV"), true, 70},
            {QStringLiteral("Servicio"), QStringLiteral("SERVICIO"), true, 520}};
}

QList<GridColumn> productos() {
    return {{QStringLiteral("Fracción"), QStringLiteral("FRACCION"), true, 90},
            {QStringLiteral("UMID"), QStringLiteral("UMID"), true, 60},
            {QStringLiteral("Unidad Medida"), QStringLiteral("UM"), true, 180},
            {QStringLiteral("Capacidad Instalada"), QStringLiteral("VOLUMEN"), true, 140},
            {QStringLiteral("Porcentaje Utilizado"), QStringLiteral("PORCUT"), true, 140},
            {QString(), QStringLiteral("ID_PROD"), true, 60}};
}

QList<GridColumn> anexoExportacion() {
    return {{QStringLiteral("ID_PROD"), QStringLiteral("ID_PROD"), true, 70},
            {QStringLiteral("TIPO_REG"), QStringLiteral("TIPO_REG"), true, 70},
            {QStringLiteral("Descripción"), QStringLiteral("DESCRIP"), false, 300},
            {QStringLiteral("Fraccion"), QStringLiteral("FRACCION"), true, 100},
            {QStringLiteral("ID_SUBORD"), QStringLiteral("ID_SUBORD"), true, 80}};
}

QList<GridColumn> anexo(int indice) {
    if (indice == 1 || indice == 2)
        return {{QStringLiteral("ID_PROD"), QStringLiteral("ID_PROD"), true, 70},
                {QStringLiteral("TIPO_REG"), QStringLiteral("TIPO_REG"), true, 70},
                {QStringLiteral("Fraccion"), QString(), true, 100},
                {QStringLiteral("Descripcion"), QStringLiteral("DESCRIP"), true, 300},
                {QStringLiteral("ID_SUBORD"), QStringLiteral("ID_SUBORD"), true, 80}};
    return {{QStringLiteral("ID_PROD"), QStringLiteral("ID_PROD"), true, 70},
            {QStringLiteral("TIPO_REG"), QStringLiteral("TIPO_REG"), true, 70},
            {QStringLiteral("Fraccion"), QStringLiteral("FRACCION"), true, 100},
            {QStringLiteral("ID_SUBORD"), QStringLiteral("ID_SUBORD"), true, 80}};
}

int tipoRegistroAnexo(int indice) {
    switch (indice) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    default: return 4;
    }
}

int columnaSubordinado(int indice) { return indice == 1 || indice == 2 ? 4 : 3; }

}  // namespace columnas

void ServiceInsertRule::afterInsert(const GridRow&) {
    // The list gave the 0-based position; the catalogue counts from 1. imserv holds one row.
    db_.execute(QStringLiteral("update imserv set idserv = idserv + 1"));
}

const QString AnnexInsertRule::kMsgSeleccione = QStringLiteral("Seleccione un registro");

AnnexInsertRule::AnnexInsertRule(Database& db, Messages& mensajes, int tipoReg, int columnaPadre,
                             std::function<QVariant()> padre)
    : db_(db), mensajes_(mensajes), tipoReg_(tipoReg), columnaPadre_(columnaPadre), padre_(std::move(padre)) {}

bool AnnexInsertRule::sella(GridRow& row) {
    QVariant padre = 0;
    if (padre_) {
        padre = padre_();
        if (padre.isNull() || cellText(padre).trimmed().isEmpty()) {
            mensajes_.plain(kMsgSeleccione);
            return false;
        }
        padre = static_cast<int>(leadingNumber(padre));
    }
    QString error;
    const auto id = mdlKALTO::IdProductoAnexo(db_, static_cast<int>(leadingNumber(row.value(0))), &error);
    if (!id) {
        mensajes_.exclamation(error);
        return false;
    }
    row.setValue(0, *id);
    row.setValue(1, tipoReg_);
    row.setValue(columnaPadre_, padre);
    return true;
}

}  // namespace kalto

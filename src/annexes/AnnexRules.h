#pragma once
// The annex grids over imanexos: the export products dbAnxMPE and the array dbAnx of the
// imported inputs (0), containers (1), tools (2) and rework (3). Each stamps its rows with
// their identifier, kind code and parent link before they are stored, checks the tariff
// items as they are typed, and keeps an export product's inputs with it.

#include "annexes/AnnexCommon.h"
#include "core/GridRule.h"

#include <functional>

namespace kalto {

class Database;
class Messages;
class RequestState;

// The identifier a row of an annex grid is stored with: a stored row keeps the one the
// table holds for it (whatever was typed over it), a new row gets the next free one.
// Nothing, with the message in *error, when that would pass 32767.
std::optional<int> annexRowId(Database& db, const GridRow& row, QString* error);

// dbAnxMPE: export products (TIPO_REG 1, ID_SUBORD 0).
class ExportProductAnnexRule : public GridRule {
public:
    enum Column { IdProd = 0, TipoReg = 1, Descrip = 2, Fraccion = 3, IdSubord = 4 };

    ExportProductAnnexRule(Database& db, Messages& messages, RequestState& estado, AnnexEvents events = {});

    // Digits only; nothing at all while the applicant has services (read at every key).
    bool keyTyped(const GridRow& row, int column, QChar& ch) override;
    // The tariff item (column 3): length, digits and the chapter-72 range.
    void cellAccepted(GridRow& row, int column) override;
    bool beforeInsert(GridRow& row) override { return stamp(row); }
    bool beforeUpdate(GridRow& row) override { return stamp(row); }
    // With services, removing an export product while the service's product has inputs
    // asks whether the service goes too. The row is deleted whatever the answer.
    bool beforeDelete(const GridRow& row) override;
    // The product's inputs go with it; a product of the products grid that had this row
    // loses its link to it.
    void afterDelete(const GridRow& row) override;

    static const QString kMsgRango72;
    static const QString kMsgBorraServicio;

private:
    bool stamp(GridRow& row);

    Database& db_;
    Messages& messages_;
    RequestState& estado_;
    AnnexEvents events_;
    std::optional<int> borrado_;  // the identifier of the row being deleted, as stored
};

// dbAnx(index): inputs of the selected export product (0), containers (1), tools (2),
// rework (3).
class AnnexRule : public GridRule {
public:
    // `seleccion` gives the export product whose inputs the inputs grid shows (dbAnx(0)'s
    // parent, and the tariff item the chapter-72 rule reads).
    AnnexRule(Database& db, Messages& messages, RequestState& estado, int index,
              std::function<ExportProductSelection()> seleccion);

    int kind() const;             // TIPO_REG: 1, 2, 3, 4
    int parentColumn() const;     // ID_SUBORD: column 3 for inputs and rework, 4 otherwise
    bool hasTariffItem() const { return index_ == 0 || index_ == 3; }

    // The user enters the grid: the inputs grid needs a selected export product with an
    // identifier; without one "Seleccione un registro" is shown and false returned (the
    // window then gives the focus to dbAnxMPE).
    bool gridEntered();

    bool keyTyped(const GridRow& row, int column, QChar& ch) override;
    void cellAccepted(GridRow& row, int column) override;
    bool beforeInsert(GridRow& row) override { return stamp(row); }
    bool beforeUpdate(GridRow& row) override { return stamp(row); }

    static const QString kMsgSeleccione;
    static const QString kMsgSensible;     // with the accent on "ampliación"
    static const QString kMsgSensible72;   // without it
    static const QString kMsgNoNecesario;
    static const QString kMsgDescripcion;
    static const QString kMsgCapture8;
    static const QString kMsgCaptureDescripcion;

    // The sensitive tariff items.
    static bool isSensitive(qint64 item);

private:
    void checkProcedure(GridRow& row);
    bool stamp(GridRow& row);

    Database& db_;
    Messages& messages_;
    RequestState& estado_;
    int index_;
    std::function<ExportProductSelection()> seleccion_;
};

}  // namespace kalto

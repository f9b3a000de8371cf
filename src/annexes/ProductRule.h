#pragma once
// The export products grid dbProducto (improd): the checks of each cell, the unit of
// measure taken from the unit list, and the bookkeeping that gives every product with a
// tariff item its one export-product row in imanexos (ID_PROD links them).

#include "annexes/AnnexCommon.h"
#include "core/GridRule.h"

#include <QString>
#include <QVariant>

namespace kalto {

class Database;
class Messages;
class RequestState;

class ProductRule : public GridRule {
public:
    enum Column { Fraccion = 0, UmId = 1, Um = 2, Volumen = 3, PorcUt = 4, IdProd = 5 };

    // `unidades` is the unit list lstUM (may be null: no list, the unit cell is emptied);
    // `estado` gives the procedure and takes the pages a new product makes unavailable.
    ProductRule(Database& db, Messages& messages, RequestState& estado, PickListAccess* unidades,
                AnnexEvents events = {});

    void textChanged(GridRow& row, int column, QString& text) override;
    void cellAccepted(GridRow& row, int column) override;
    bool beforeInsert(GridRow& row) override { return beforeWrite(row); }
    bool beforeUpdate(GridRow& row) override { return beforeWrite(row); }
    void afterInsert(const GridRow& row) override;
    void afterUpdate(const GridRow& row) override { afterWrite(row); }
    bool beforeDelete(const GridRow& row) override;
    void afterDelete(const GridRow& row) override;
    bool keyTyped(const GridRow& row, int column, QChar& ch) override;

    // Enter or a double click in the unit list: the unit name and code to write into
    // columns 2 and 1 of the current row; nothing when the list has no current entry.
    struct Unit {
        QString name;
        QVariant code;
    };
    std::optional<Unit> chosenUnit() const;

    static const QString kMsgNumerico;
    static const QString kMsgVolumen;
    static const QString kMsgPorcentaje;
    static const QString kMsgSinFraccion;
    static const QString kMsgConInsumos;

private:
    bool beforeWrite(GridRow& row);
    void afterWrite(const GridRow& row);
    void acceptUnit(GridRow& row);

    Database& db_;
    Messages& messages_;
    RequestState& estado_;
    PickListAccess* unidades_;
    AnnexEvents events_;
    std::optional<int> borrado_;  // the identifier of the product being deleted, as stored
};

}  // namespace kalto

#pragma once
// The services grid dbServicios (imserv): the one service of the request, chosen from the
// services catalogue through lstServicio. The list writes the catalogue position counted
// from 0; once the row is stored it becomes the catalogue number counted from 1. A service
// from catalogue number 13 on is itself the exported product: it gets an export-product
// row in imanexos, and dbAnxMPE then names its products by description.

#include "annexes/AnnexCommon.h"
#include "core/GridRule.h"

namespace kalto {

class Database;
class Messages;
class RequestState;

class ServiceRule : public GridRule {
public:
    enum Column { IdServ = 0, Servicio = 1 };

    // `lista` is lstServicio (its entries are the catalogue in table order).
    ServiceRule(Database& db, Messages& messages, RequestState& estado, PickListAccess* lista,
                AnnexEvents events = {});

    // Enter or a double click in the list: the text and the 0-based position to write into
    // columns 1 and 0 of the current row. A request presents one service: when imserv
    // already holds one, the one-service message is shown and nothing is given.
    struct Choice {
        QString text;
        int position = -1;
    };
    std::optional<Choice> choose();

    // The list follows the typing in the service cell.
    void textChanged(GridRow& row, int column, QString& text) override;
    // The service cell takes the text of the list's current entry.
    void cellAccepted(GridRow& row, int column) override;
    // The catalogue position is the list's to write.
    bool keyTyped(const GridRow& row, int column, QChar& ch) override;
    bool beforeInsert(GridRow& row) override;
    // A stored service keeps the catalogue number the table holds for it.
    bool beforeUpdate(GridRow& row) override;
    void afterInsert(const GridRow& row) override;
    // A service whose export product has inputs is not deleted: the user is told and taken
    // to the inputs' page.
    bool beforeDelete(const GridRow& row) override;
    void afterDelete(const GridRow& row) override;

    static const QString kMsgUnServicio;
    static const QString kMsgConInsumos;
    static const QString kMsgEligeServicio;

private:
    Database& db_;
    Messages& messages_;
    RequestState& estado_;
    PickListAccess* lista_;
    AnnexEvents events_;
    std::optional<int> productoBorrado_;  // the export product of the service being deleted
};

}  // namespace kalto

#pragma once
// The products, services and annex pages of the main window: binds their grids to their
// sources and rules (annexes/), opens the unit and service lists under their cells and
// writes the lists' choices, and carries out what the rules ask of the window (show rows
// again, select a page). The rules decide; this object only moves values between them and
// the widgets.

#include "annexes/AnnexCommon.h"

#include <QObject>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class QTabWidget;

namespace kalto {

class AnnexRule;
class BoundGrid;
class DataSource;
class Database;
class ExportProductAnnexRule;
class GridRule;
class Messages;
class PickList;
class ProductRule;
class RequestState;
class ServiceRule;

class AnnexPages : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        BoundGrid* dbProducto = nullptr;
        BoundGrid* dbServicios = nullptr;
        BoundGrid* dbAnxMPE = nullptr;
        std::array<BoundGrid*, 4> dbAnx{};
        PickList* lstUM = nullptr;
        PickList* lstServicio = nullptr;
        QTabWidget* tabs = nullptr;  // SSTabKALTO
    };
    struct Sources {
        DataSource* dtsProducto = nullptr;
        DataSource* dtsServicio = nullptr;
        DataSource* dtsAnxMPE = nullptr;
        std::array<DataSource*, 4> dtsAnx{};  // dtsAnxMPI, dtsAnxC, dtsAnxH, dtsAnxR
    };
    // `inputsParent` gives the export product whose inputs dbAnx(0) shows (null for none);
    // `colocaLista` opens a pick list under a cell (the window's ColocaListaGrid, which
    // fills the unit list first).
    AnnexPages(Database& db, Messages& messages, RequestState& estado, Widgets widgets, Sources sources,
               std::function<QVariant()> inputsParent,
               std::function<void(BoundGrid*, int, PickList*)> colocaLista, QObject* parent = nullptr);
    ~AnnexPages() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void bindGrids();
    void wireLists();
    ExportProductSelection selection() const;
    // A source shown again from the event loop, once however often it is asked for.
    void refreshLater(DataSource* source);
    GridRule* ruleOfEditedGrid(QObject* watched, BoundGrid** grid) const;
    void checkInputsEntered();

    Database& db_;
    Messages& messages_;
    RequestState& estado_;
    Widgets w_;
    Sources s_;
    std::function<QVariant()> inputsParent_;
    std::function<void(BoundGrid*, int, PickList*)> colocaLista_;
    std::unique_ptr<PickListAccess> um_;
    std::unique_ptr<PickListAccess> servicios_;
    std::unique_ptr<ProductRule> producto_;
    std::unique_ptr<ServiceRule> servicio_;
    std::unique_ptr<ExportProductAnnexRule> anxMPE_;
    std::array<std::unique_ptr<AnnexRule>, 4> anx_;
    // The grids whose keys and focus the filter watches (they may go before this object).
    QPointer<BoundGrid> mpe_, insumos_, retrabajo_;
    QList<QPointer<DataSource>> pendingRefresh_;
    bool inputsCheckPosted_ = false;
};

}  // namespace kalto

#pragma once
// Writing the request to drive A:: the completeness check for the chosen procedure and
// modality (the first missing item is named, with the page where it is entered), the two
// rules of a new "Controladora" programme, the user's confirmation, and the copy of the seven
// request tables, each packed first.
//
// Nothing claims success that did not happen: a table that could not be readied stops the
// generation before anything is copied; a file that could not be written is named with its
// reason, and the wait window that closes a successful disk is not shown. Each table is
// written under a temporary name and renamed over its old copy (Drives), so a failure never
// leaves a half-written table on the disk.

#include "app/RequestRules.h"
#include "core/Drives.h"
#include "core/GridRule.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

namespace kalto {

class DataSource;
class Database;
class MainDataSources;
class Messages;
class RequestState;

// The grids whose rows the check reads.
enum class RequestGrid {
    DomFiscal,
    RepLegal,
    Planta,
    Control,
    Producto,
    Terciarizacion,
    Servicios,
    EServicios,
    Submanufactura,
    AnxMPE,
    Anx0,  // imported inputs of the selected export product
    Anx1,  // containers
    Anx2,  // tools
    Anx3   // rework
};

// What the check reads of the header fields and the grids, as the user sees them.
class RequestView {
public:
    virtual ~RequestView() = default;
    // The text a header field shows, and its tooltip (which names it in the messages).
    virtual QString headerText(HeaderField field) const = 0;
    virtual QString headerTooltip(HeaderField field) const = 0;
    // Stored rows of a grid (an empty table counts 0).
    virtual int rowCount(RequestGrid grid) const = 0;
    // A value of the row the user is on (the first row when the add-new row is current), by
    // grid column.
    virtual QVariant currentValue(RequestGrid grid, int column) const = 0;
    virtual QString caption(RequestGrid grid, int column) const = 0;
    virtual QString tooltip(RequestGrid grid) const = 0;
};

// One completeness check of the request: a required header field, a grid with its required
// columns, at least one annex row, or the whole-request rules of a new "Controladora"
// programme. `page` is the tab page where the item is entered.
struct RequestCheck {
    enum class Kind { Header, Grid, Annexes, Controladora };
    Kind kind = Kind::Header;
    int page = -1;
    HeaderField field = HeaderField::Rfc;
    RequestGrid grid = RequestGrid::DomFiscal;
    QString columns;  // the grid's required columns, "0,2,3"
};
// The checks the procedure and modality in the rules' state call for, in the order the disk
// generation runs them (header, then the grids in the order of the pages).
QList<RequestCheck> requestChecks(RequestRules& rules, const RequestView& view);
// Number of annex rows (export products and the four annex grids).
int annexRowCount(const RequestView& view);
// The object names the main window gives a grid ("dbDomFiscal", "dbAnx_0") and a header
// field ("txtRFC").
QString gridObjectName(RequestGrid grid);
QString headerObjectName(HeaderField field);
// The columns the main window gives a grid, in grid order.
QList<GridColumn> requestGridColumns(RequestGrid grid);
// The data source a grid shows (the inputs grid's holds the inputs of the selected export product).
DataSource* requestGridSource(MainDataSources& sources, RequestGrid grid);
inline constexpr RequestGrid kRequestGrids[] = {
    RequestGrid::DomFiscal, RequestGrid::RepLegal,   RequestGrid::Planta,         RequestGrid::Control,
    RequestGrid::Producto,  RequestGrid::Terciarizacion, RequestGrid::Servicios,  RequestGrid::EServicios,
    RequestGrid::Submanufactura, RequestGrid::AnxMPE, RequestGrid::Anx0,          RequestGrid::Anx1,
    RequestGrid::Anx2,      RequestGrid::Anx3};

// The same read from the main window's data sources and state: the current row of each
// source's record set, the columns and tooltips the window gives its grids.
class SourceRequestView : public RequestView {
public:
    SourceRequestView(MainDataSources& sources, const RequestState& state) : sources_(sources), state_(state) {}

    QString headerText(HeaderField field) const override;
    QString headerTooltip(HeaderField field) const override;
    int rowCount(RequestGrid grid) const override;
    QVariant currentValue(RequestGrid grid, int column) const override;
    QString caption(RequestGrid grid, int column) const override;
    QString tooltip(RequestGrid grid) const override;

    // Any stored row: the value of grid column `column` of row `row` of the grid's source.
    QVariant valueAt(RequestGrid grid, int row, int column) const;
    static int columnCount(RequestGrid grid);
    // The page where a grid is shown.
    static int pageOf(RequestGrid grid);

    // The tooltips of the header fields and of the grids, as the main window sets them.
    static QString designedHeaderTooltip(HeaderField field);
    static QString designedTooltip(RequestGrid grid);

private:
    MainDataSources& sources_;
    const RequestState& state_;
};

// What the window does for the generation.
struct DiskGenerationHooks {
    // Selects tab page `page` (the page of a missing item).
    std::function<void(int page)> showPage;
    // The short wait window, shown once the disk has been written; it closes itself.
    std::function<void()> showWait;
    // Binds the data sources again and shows the stored request (after the question, whatever
    // the answer). Without it the rules' own binding runs.
    std::function<void()> rebind;
};

enum class DiskOutcome {
    Incomplete,   // a required item is missing or a "Controladora" rule failed (message shown)
    Declined,     // the user answered No: nothing was written
    NotPrepared,  // a table could not be readied for the copy: nothing was copied (message shown)
    CopyFailed,   // some table could not be written to drive A:, named in the message shown
    Written       // the seven tables are on drive A:
};

class DiskGeneration {
public:
    DiskGeneration(RequestRules& rules, RequestView& view, Messages& messages, const Drives& drives,
                   DiskGenerationHooks hooks = {});

    // The whole generation. The caller stores the rows being typed and the header first.
    DiskOutcome GeneraDisco();

    // Only the completeness check and the "Controladora" rules: true when the request may be
    // written; otherwise false after the message (and the page selected).
    bool verificaSolicitud();

    // What CopiaBasesADisco did.
    struct CopyResult {
        QString notPrepared;                // why a table could not be readied (then nothing was copied)
        QList<Drives::Failure> failures;    // files not written to the drive
        QStringList written;                // files written, as named on the drive
        bool ok() const { return notPrepared.isEmpty() && failures.isEmpty(); }
    };
    // Packs the first `n` tables of the request-table list and copies them, in that order, to
    // drive A: as <name>.DBF. Shows nothing.
    CopyResult CopiaBasesADisco(int n);

    // The name a request table has on the disk: "imdir" -> "imdir.DBF".
    static QString diskFileName(const QString& table);

    static const QString kMsgAnexos;
    static const QString kMsgDisco;
    static const QString kMsgNoCopiado;

private:
    int verificaTexto(HeaderField field);
    int verificaGrid(RequestGrid grid, int page, const QString& columns);

    RequestRules& rules_;
    RequestView& view_;
    Messages& messages_;
    const Drives& drives_;
    DiskGenerationHooks hooks_;
};

}  // namespace kalto

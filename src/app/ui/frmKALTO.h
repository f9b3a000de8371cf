#pragma once
// The main window: toolbar, request header and the nine tab pages of grids, laid out in
// frmKALTO.ui and wired in frmKALTO.cpp, frmKALTOHeader.cpp and frmKALTOToolbar.cpp. It
// binds the data sources at load, shows the header state, turns every typed letter into
// upper case, and hands every event to the rule objects (RequestRules, HeaderStore,
// AnnexInputsLink and the grids' rules).
//
// Object names: the controls carry their own names (txtRFC, cmbTramite, dbDomFiscal, ...).
// The toolbar button array cmdKALTO(i) is named "cmdKALTO_<i>" and carries the property
// "index"; the annex grid array dbAnx(i) is named "dbAnx_<i>" and carries "index" too.

#include "app/HeaderStore.h"
#include "app/RequestRules.h"

#include <QMainWindow>
#include <QPointer>
#include <QVariant>

#include <array>
#include <functional>
#include <memory>

class QLineEdit;
class QTabWidget;

namespace Ui {
class frmKALTO;
}

namespace kalto {

class AnnexInputsLink;
class AnnexPages;
class BoundGrid;
struct FindingsTexts;
struct RequestFinding;
class Database;
class Drives;
class ExportProductsView;
class GridRule;
class MainDataSources;
class Messages;
class PickList;
class RequestState;
class frmInfoVersion;

class frmKALTO : public QMainWindow {
    Q_OBJECT
public:
    frmKALTO(Database& db, Messages& messages, QWidget* parent = nullptr);
    ~frmKALTO() override;

    // Load: binds the data sources, fills the lists, restores the stored request and
    // selects page 0. False with a Spanish message in *error when the tables could not be
    // opened.
    bool load(QString* error = nullptr);

    Database& database() { return db_; }
    Messages& messages() { return messages_; }
    MainDataSources& fuentes() { return *fuentes_; }
    RequestState& estado() { return *estado_; }
    RequestRules& rules() { return *rules_; }

    // The grids, by name ("dbDomFiscal", ..., "dbAnx_0") and the annex array.
    BoundGrid* grid(const QString& name) const;
    BoundGrid* dbAnx(int index) const;
    QTabWidget* SSTabKALTO() const;
    PickList* lstUM() const;
    PickList* lstServicio() const;

    // Shared operations of the grids.
    // Required-value check: 1 after a message (stop icon), 0 when nothing is missing. For a
    // grid, `tab` is the page shown with the message and `campos` the columns that must be
    // filled ("0,1,2,5").
    int VerificaConValor(QLineEdit* texto);
    int VerificaConValor(BoundGrid* grid, int tab, const QString& campos);
    // Opens `list` under the current cell of `column` in `grid`: the unit list is filled
    // again, the first entry selected, the list shown in front and focused.
    void ColocaListaGrid(BoundGrid* grid, int column, PickList* list);
    // Fills lstUM from imunidmd.
    void LlenaListas();

    // Stores the pending row of every grid (messages on refusal). False when one refused.
    bool commitGrids();
    // Writes the header texts that were edited and not yet stored. False when one could not
    // be stored (the message has been shown; the text stays on screen).
    bool storeHeader();

    // The window of findings (the request check's, the changes since the last disk).
    void showFindings(const QList<RequestFinding>& findings, const QList<RequestFinding>& warnings,
                      const FindingsTexts& texts);

public slots:
    // Toolbar button cmdKALTO(index).
    void cmdKALTO_Click(int index);
    // "Verificar solicitud": every missing item and rejected cell of the request, in a window.
    void cmdVerificar_Click();
    // "Cambios desde el último disco": the rows added, removed and changed since the last disk
    // written from this data folder, in the same kind of window.
    void cmdCambios_Click();
    // Selects the page, grid row and cell (or the header field) of a finding.
    void showFinding(const RequestFinding& finding);
    // "B R E L O T": the sectoral window over the application shown.
    void cmdBrelot_Click();
    // "Recuperar solicitud de un disco": the request of a folder the user picks (drive A: at first).
    void cmdRecupera_Click();

public:
    // How cmdRecupera asks for the folder, given the one it starts at (a folder dialog; tests set
    // their own). An empty answer cancels.
    void setRestoreFolderChooser(std::function<QString(const QString& start)> chooser) {
        restoreFolderChooser_ = std::move(chooser);
    }
    // How an import asks for a workbook or text file when drive C: has none of its name (a file
    // dialog; tests set their own). An empty answer cancels.
    void setImportFileChooser(std::function<QString(const QString& start)> chooser) {
        importFileChooser_ = std::move(chooser);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // frmKALTO.cpp: the grids and pages; frmKALTOToolbar.cpp: the toolbar's actions.
    void bindGrids();
    void wireToolbar();
    // frmKALTOHeader.cpp: the header, its lists and the key preview.
    void wireHeader();
    void setInitialGeometry();
    QString eligeArchivoImportacion(const Drives& drives, bool anexos);

    // Binds the data sources and the lists again, and shows the request they hold (after a
    // clear, a disk written or a request restored).
    void rebindRequest();
    void fillLists(const ListasEncabezado& listas);
    void showState();
    // The header texts as the header store has them (pending or stored).
    void showHeaderTexts();
    void clearTexts();
    void tabChanged(int page);
    // Page 1 is shown when the page the user is on becomes unavailable; otherwise it stays.
    void showAvailablePages();
    bool headerKey(QObject* watched, QKeyEvent* key);
    void headerFocusOut(QLineEdit* edit, QFocusEvent* event);
    QLineEdit* headerEdit(HeaderField field) const { return headerEdits_[static_cast<int>(field)]; }

    Database& db_;
    Messages& messages_;
    std::unique_ptr<Ui::frmKALTO> ui_;  // the controls, as laid out in frmKALTO.ui
    std::unique_ptr<MainDataSources> fuentes_;
    std::unique_ptr<RequestState> estado_;
    std::unique_ptr<RequestRules> rules_;
    std::unique_ptr<HeaderStore> header_;
    std::unique_ptr<ExportProductsView> productsView_;
    std::unique_ptr<AnnexInputsLink> inputsLink_;
    std::vector<std::unique_ptr<GridRule>> gridRules_;
    std::unique_ptr<AnnexPages> annexPages_;  // the products, services and annex pages

    std::function<QString(const QString&)> restoreFolderChooser_;
    std::function<QString(const QString&)> importFileChooser_;
    std::array<QLineEdit*, std::size(kHeaderFields)> headerEdits_{};  // by HeaderField
    std::array<BoundGrid*, 4> dbAnx_{};
    QList<BoundGrid*> grids_;

    QPointer<frmInfoVersion> about_;
    int currentPage_ = 0;
    bool synchronizing_ = false;
    bool changingPage_ = false;
    bool closed_ = false;
};

}  // namespace kalto

#include "app/ui/frmKALTO.h"
#include "ui_frmKALTO.h"

#include "annexes/Import.h"
#include "app/AnnexInputsLink.h"
#include "app/MainDataSources.h"
#include "app/ui/AnnexPages.h"
#include "app/ui/TabCaptions.h"
#include "core/Drives.h"
#include "core/Messages.h"
#include "core/RequestState.h"
#include "core/VerificaConValor.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/Hourglass.h"
#include "toolkit/PickList.h"
#include "app/ui/frmInfoVersion.h"
#include "data/Database.h"
#include "records/AddressRule.h"
#include "records/CompanyRules.h"
#include "records/LegalRepresentativeRule.h"
#include "records/ui/frmDetalle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>

// The toolbar's pictures where the icon theme has none, linked into this library.
static void initIconos() { Q_INIT_RESOURCE(iconos); }

namespace kalto {

namespace {

constexpr int kAnchoCliente = 804;  // 12060 twips
constexpr int kAltoCliente = 552;   // 8280 twips

// Runs an import under the hourglass; a file of more than a few thousand lines shows its
// progress with a Cancelar button (what was stored before the cancel stays).
ImportResult importaConAvance(QWidget* parent, const std::function<ImportResult(const ImportProgress&)>& importa) {
    Hourglass reloj;
    std::unique_ptr<QProgressDialog> avance;
    return importa([&](int leidos, int total) {
        if (total <= kImportProgressLines) return true;
        if (!avance) {
            reloj.restore();
            avance = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancelar"), 0, total, parent);
            avance->setWindowTitle(QStringLiteral("KALTO"));
            avance->setWindowModality(Qt::WindowModal);
            avance->setMinimumDuration(0);
            avance->setAutoReset(false);
        }
        // While the file is first read through, the count of lines grows with it.
        avance->setMaximum(total);
        avance->setLabelText(leidos == 0 ? QStringLiteral("Leyendo el archivo (%1 renglones)...").arg(total)
                                         : QStringLiteral("Importando el renglón %1 de %2...").arg(leidos).arg(total));
        avance->setValue(leidos);
        return !avance->wasCanceled();
    });
}

// The export products grid and the inputs grid, as the annex link reads them.
class GridProductsView : public ExportProductsView {
public:
    GridProductsView(BoundGrid* products, BoundGrid* inputs) : products_(products), inputs_(inputs) {}
    int currentProductRow() const override { return products_->currentRow(); }
    int productRowCount() const override { return products_->rowCount(); }
    QVariant productCell(int row) const override { return products_->cellValue(row, 0); }
    bool inputInEdit() const override { return inputs_->isEditing(); }
    void selectProductRow(int row) override { products_->setCurrentRow(row); }

private:
    BoundGrid* products_;
    BoundGrid* inputs_;
};

}  // namespace

frmKALTO::frmKALTO(Database& db, Messages& messages, QWidget* parent)
    : QMainWindow(parent),
      db_(db),
      messages_(messages),
      ui_(std::make_unique<Ui::frmKALTO>()),
      fuentes_(std::make_unique<MainDataSources>(&db)),
      estado_(std::make_unique<RequestState>()),
      rules_(std::make_unique<RequestRules>(db, *fuentes_, *estado_, messages)),
      header_(std::make_unique<HeaderStore>(*rules_, messages)) {
    initIconos();
    ui_->setupUi(this);
    dbAnx_ = {ui_->dbAnx_0, ui_->dbAnx_1, ui_->dbAnx_2, ui_->dbAnx_3};
    grids_ = {ui_->dbDomFiscal, ui_->dbRepLegal,  ui_->dbPlanta,   ui_->dbControl,         ui_->dbProducto,
              ui_->dbTerciarizacion, ui_->dbServicios, ui_->dbEServicios, ui_->dbSubmanufactura, ui_->dbAnxMPE,
              ui_->dbAnx_0,     ui_->dbAnx_3,     ui_->dbAnx_1,    ui_->dbAnx_2};
    headerEdits_ = {ui_->txtRFC, ui_->txtRSocial, ui_->txtNumKALTO, ui_->txtAnioKALTO, ui_->txtNDSol, ui_->txtADSol};
    wireToolbar();
    // Each header field as wide as what it holds (digits, the RFC's letters; the company name
    // takes the rest of its row).
    for (QLineEdit* t : headerEdits_) {
        const QChar widest = t->maxLength() <= 8 ? QLatin1Char('0') : QLatin1Char('W');
        const int width = t->fontMetrics().horizontalAdvance(QString(std::min(t->maxLength(), 14) + 2, widest));
        if (t->maxLength() <= 14) t->setFixedWidth(width);
        else t->setMinimumWidth(width);
    }
    productsView_ = std::make_unique<GridProductsView>(ui_->dbAnxMPE, dbAnx_[0]);
    inputsLink_ = std::make_unique<AnnexInputsLink>(*fuentes_->dtsAnxMPI(), *productsView_);
    bindGrids();
    wireHeader();
    rules_->setVaciaTextos([this] { clearTexts(); });
    connect(estado_.get(), &RequestState::changed, this, &frmKALTO::showState);
    // Key preview: the window sees every key typed into any of its controls first (and the
    // header fields' focus changes: no filter of their own, or each event would come twice).
    qApp->installEventFilter(this);
    setInitialGeometry();
}

frmKALTO::~frmKALTO() {
    qApp->removeEventFilter(this);
    // The grids go first: they use the data sources and the rules this window owns.
    delete about_;
    delete takeCentralWidget();
    if (!closed_) fuentes_->closeAll();
}

// ---------------------------------------------------------------- layout

QTabWidget* frmKALTO::SSTabKALTO() const { return ui_->SSTabKALTO; }
PickList* frmKALTO::lstUM() const { return ui_->lstUM; }
PickList* frmKALTO::lstServicio() const { return ui_->lstServicio; }

void frmKALTO::setInitialGeometry() {
    // Most of the screen, so that the grids show as many rows and columns as they can: the
    // whole width of a small screen, on a wide one three quarters of it or the room every tab
    // caption needs on one line; never less than the layout needs.
    const QSize least = centralWidget()->minimumSizeHint().expandedTo(QSize(kAnchoCliente, kAltoCliente));
    const QMargins margins = centralWidget()->layout()->contentsMargins();
    const int captions = tabCaptionsWidth(ui_->SSTabKALTO) + margins.left() + margins.right();
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    constexpr int kFrame = 24;  // the window manager's borders
    constexpr int kTitle = 40;  // and its title bar
    const int width = std::min(area.width() - kFrame, std::max(captions, area.width() * 3 / 4));
    const int height = std::min(area.height() - kTitle, area.height() * 9 / 10);
    resize(std::max(least.width(), width), std::max(least.height(), height));
    // Centred on the screen.
    move(area.x() + (area.width() - this->width()) / 2, area.y() + (area.height() - this->height()) / 2);
}

// ---------------------------------------------------------------- grids

void frmKALTO::bindGrids() {
    MainDataSources& f = *fuentes_;
    auto cuenta = [](DataSource* s) {
        return [s] { return s->recordSet().isOpen() ? s->recordSet().count() : 0; };
    };
    auto regla = [this](GridRule* r) {
        gridRules_.emplace_back(r);
        return r;
    };

    ui_->dbDomFiscal->bind(f.dtsDireccion(), AddressRule::columns(),
                       regla(new AddressRule(messages_, AddressRule::kFiscal, cuenta(f.dtsDireccion()))), &messages_);
    ui_->dbPlanta->bind(f.dtsPlanta(), AddressRule::columns(), regla(new AddressRule(messages_, AddressRule::kPlanta)),
                    &messages_);
    ui_->dbRepLegal->bind(f.dtsRepLegal(), LegalRepresentativeRule::columns(),
                      regla(new LegalRepresentativeRule(messages_, cuenta(f.dtsRepLegal()))), &messages_);
    auto empresa = [&](BoundGrid* g, DataSource* s, const CompanyGrid& def) {
        g->bind(s, def.columns, regla(new CompanyRule(messages_, def)), &messages_);
    };
    empresa(ui_->dbControl, f.dtsControl(), CompanyGrid::controlled());
    empresa(ui_->dbTerciarizacion, f.dtsTerciarizacion(), CompanyGrid::outsourcing());
    empresa(ui_->dbSubmanufactura, f.dtsSubmanufactura(), CompanyGrid::submanufacturing());
    empresa(ui_->dbEServicios, f.dtsEServicios(), CompanyGrid::serviceCompanies());

    // Products, services and annexes: their rules, lists and what the rules ask of the window.
    annexPages_ = std::make_unique<AnnexPages>(
        db_, messages_, *estado_,
        AnnexPages::Widgets{ui_->dbProducto, ui_->dbServicios, ui_->dbAnxMPE, dbAnx_, ui_->lstUM, ui_->lstServicio, ui_->SSTabKALTO},
        AnnexPages::Sources{f.dtsProducto(), f.dtsServicio(), f.dtsAnxMPE(),
                            {f.dtsAnxMPI(), f.dtsAnxC(), f.dtsAnxH(), f.dtsAnxR()}},
        [this] { return inputsLink_->parentOfInput(); },
        [this](BoundGrid* g, int column, PickList* list) { ColocaListaGrid(g, column, list); });

    // Every column at least as wide as its caption, whatever the font.
    for (BoundGrid* g : grids_)
        for (int c = 0; c < g->horizontalHeader()->count(); ++c)
            g->setColumnWidth(c, std::max(g->columnWidth(c), g->horizontalHeader()->sectionSizeHint(c)));

    // The inputs grid follows the export product selected (or just stored). An input in edit
    // is stored by its grid from the event loop, once it has lost the focus: the inputs
    // follow after that, never from inside this notification.
    auto follow = [this] {
        if (inputsLink_->follow()) QTimer::singleShot(0, this, [this] { inputsLink_->settle(); });
    };
    connect(ui_->dbAnxMPE, &BoundGrid::currentRowChanged, this, follow);
    connect(ui_->dbAnxMPE, &BoundGrid::rowStored, this, follow);

    // The address buttons open the selected company's addresses.
    auto domicilio = [this](QPushButton* b, BoundGrid* g, CompanyKind kind) {
        connect(b, &QPushButton::clicked, this, [this, g, kind] {
            if (!g->commit()) return;
            const int r = g->currentRow();
            const bool fila = r >= 0 && r < g->rowCount();
            frmDetalle::open(this, db_, messages_, kind, fila ? g->cellValue(r, 0).toString() : QString(),
                             fila ? g->cellValue(r, 1).toString() : QString());
        });
    };
    domicilio(ui_->cmdVDomicilioC, ui_->dbControl, CompanyKind::Controlled);
    domicilio(ui_->cmdVDomicilioT, ui_->dbTerciarizacion, CompanyKind::Outsourcing);
    domicilio(ui_->cmdVDomicilioS, ui_->dbSubmanufactura, CompanyKind::Submanufacturing);
    // The imports add what their files on drive C: hold (a row in edit is stored first); the
    // grids then show the rows, and a summary tells what was loaded and refused.
    auto importa = [this](bool anexos) {
        if (!commitGrids()) return;
        const Drives drives(db_.folder());
        const QString elegido = eligeArchivoImportacion(drives, anexos);
        const ImportResult r = importaConAvance(this, [&](const ImportProgress& avance) {
            return anexos ? importAnnexes(db_, drives, avance, elegido) : importProducts(db_, drives, avance, elegido);
        });
        if (r.changed()) {
            Hourglass reloj;
            if (anexos) {
                fuentes_->dtsAnxC()->refresh();
                fuentes_->dtsAnxH()->refresh();
            } else {
                fuentes_->dtsProducto()->refresh();
            }
            fuentes_->dtsAnxMPE()->refresh();
            inputsLink_->reset();
        }
        if (r.warns())
            messages_.exclamation(r.summary());
        else
            messages_.information(r.summary());
    };
    connect(ui_->cmdImpProductos, &QPushButton::clicked, this, [importa] { importa(false); });
    connect(ui_->cmdImpAnexos, &QPushButton::clicked, this, [importa] { importa(true); });
}

// Without the import's file on drive C:, the user may pick a workbook or text file elsewhere;
// an empty answer leaves the import to say that the file was not found.
QString frmKALTO::eligeArchivoImportacion(const Drives& drives, bool anexos) {
    const auto kind = anexos ? ImportResult::Kind::Annexes : ImportResult::Kind::Products;
    if (!importSourceOnDriveC(drives, kind).isEmpty()) return {};
    const QString nombre = anexos ? QStringLiteral("anexo") : QStringLiteral("prod");
    if (!messages_.askYesNo(QStringLiteral("No se encontró %1.csv, %1.xlsx ni %1.ods en la unidad C:. ¿Deseas elegir "
                                           "un libro de cálculo o un archivo de texto para importar?")
                                .arg(nombre)))
        return {};
    const QString inicio = drives.folder(QLatin1Char('C'));
    if (importFileChooser_) return importFileChooser_(inicio);
    return QFileDialog::getOpenFileName(this, QStringLiteral("Importar"), inicio,
                                        QStringLiteral("Libros de cálculo y textos (*.xlsx *.ods *.csv);;"
                                                       "Todos los archivos (*)"));
}

BoundGrid* frmKALTO::grid(const QString& name) const {
    for (BoundGrid* g : grids_)
        if (g->objectName() == name) return g;
    return nullptr;
}

BoundGrid* frmKALTO::dbAnx(int index) const { return index >= 0 && index < 4 ? dbAnx_[index] : nullptr; }

bool frmKALTO::commitGrids() {
    for (BoundGrid* g : grids_) {
        if (g->isEditing() || g->isCellEditorOpen()) {
            if (!g->commit()) {
                // Show the refused row to the user.
                for (int i = 0; i < ui_->SSTabKALTO->count(); ++i)
                    if (ui_->SSTabKALTO->widget(i)->isAncestorOf(g)) {
                        changingPage_ = true;
                        ui_->SSTabKALTO->setCurrentIndex(i);
                        currentPage_ = ui_->SSTabKALTO->currentIndex();
                        changingPage_ = false;
                    }
                g->setFocus();
                return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------- pages

void frmKALTO::tabChanged(int page) {
    if (changingPage_ || page < 0) return;
    const int anterior = currentPage_;
    if (anterior != page && anterior >= 0 && anterior < ui_->SSTabKALTO->count()) {
        QWidget* dejada = ui_->SSTabKALTO->widget(anterior);
        for (BoundGrid* g : grids_) {
            if (!dejada->isAncestorOf(g) || g->commit()) continue;
            // The row was refused: back to it.
            if (ui_->SSTabKALTO->isTabEnabled(anterior)) {
                changingPage_ = true;
                ui_->SSTabKALTO->setCurrentIndex(anterior);
                changingPage_ = false;
                g->setFocus();
                return;
            }
        }
    }
    currentPage_ = page;
    rules_->cambioPagina(page);
}


// ---------------------------------------------------------------- shared grid operations

int frmKALTO::VerificaConValor(QLineEdit* texto) {
    return verificaconvalor::textoRequerido(texto->text(), texto->toolTip(), messages_);
}

int frmKALTO::VerificaConValor(BoundGrid* grid, int tab, const QString& campos) {
    int fila = grid->currentRow();
    if (fila < 0 || fila >= grid->rowCount()) fila = 0;  // on the add-new row: the first row
    const int r = verificaconvalor::gridRequerido(
        grid->rowCount(), [grid, fila](int c) { return grid->cellValue(fila, c); },
        [grid](int c) { return grid->columnCaption(c); }, grid->toolTip(), campos, messages_);
    if (r == 1 && tab >= 0 && tab < ui_->SSTabKALTO->count()) ui_->SSTabKALTO->setCurrentIndex(tab);
    return r;
}

void frmKALTO::ColocaListaGrid(BoundGrid* grid, int column, PickList* list) {
    if (!grid || !list) return;
    LlenaListas();
    kalto::ColocaListaGrid(grid, column, list);
}

// ---------------------------------------------------------------- unload

void frmKALTO::closeEvent(QCloseEvent* event) {
    QList<BoundGrid*> rechazados;
    for (BoundGrid* g : grids_)
        if ((g->isEditing() || g->isCellEditorOpen()) && !g->commit()) rechazados << g;
    const bool encabezado = storeHeader();
    // Leaving drops what could not be stored: only when the user says so (No is the default).
    const QString question =
        !rechazados.isEmpty() ? QStringLiteral("Hay un renglón que no se pudo guardar.")
        : !encabezado         ? QStringLiteral("Hay un dato del encabezado que no se pudo guardar.")
                              : QString();
    if (!question.isEmpty() &&
        !messages_.askYesNo(question + QStringLiteral(" ¿Deseas salir de todos modos y descartarlo?"), true,
                            QStringLiteral("KALTO"), Messages::Answer::No)) {
        event->ignore();
        return;
    }
    for (BoundGrid* g : rechazados) g->discard();
    if (about_) about_->close();
    fuentes_->closeAll();
    closed_ = true;
    event->accept();
}

}  // namespace kalto

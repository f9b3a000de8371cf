#include "app/ui/frmKALTO.h"
#include "ui_frmKALTO.h"

#include "annexes/AnnexGrids.h"
#include "annexes/Import.h"
#include "app/AnnexInputsLink.h"
#include "app/DiskGeneration.h"
#include "app/RequestVerifier.h"
#include "app/ui/frmVerificaSolicitud.h"
#include "app/RequestRestore.h"
#include "app/MainDataSources.h"
#include "app/ui/AnnexPages.h"
#include "app/PrintRequest.h"
#include "app/ui/TabCaptions.h"
#include "core/Drives.h"
#include "core/GridHelpers.h"
#include "core/KeyFilters.h"
#include "core/LetterCase.h"
#include "core/Messages.h"
#include "core/RequestState.h"
#include "core/VerificaConValor.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/Hourglass.h"
#include "toolkit/PickList.h"
#include "toolkit/TextEntryFilter.h"
#include "toolkit/frmEspera.h"
#include "app/ui/frmInfoVersion.h"
#include "data/Database.h"
#include "data/mdlKALTO.h"
#include "core/TextFiles.h"
#include "print/ui/frmImpSolKALTO.h"
#include "records/AddressRule.h"
#include "records/CompanyRules.h"
#include "records/LegalRepresentativeRule.h"
#include "records/ui/frmDetalle.h"
#include "sectoral/ui/BrelotApplicant.h"
#include "sectoral/ui/frmSolBrelot.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTimer>

namespace kalto {

namespace {

// Characters the tab strip admits from the keyboard (upper-cased), besides Backspace.
const QString kTeclasPestanas = QStringLiteral("/., 0123456789ABCDEFGHIJKLMNÑOPQRSTUVWXYZ");

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
        avance->setLabelText(QStringLiteral("Importando el renglón %1 de %2...").arg(leidos).arg(total));
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

// The header fields and the grids as the user sees them, for the check before a disk is
// written. A grid on its add-new row is checked on its first row.
class WindowRequestView : public RequestView {
public:
    using Grids = std::array<BoundGrid*, 14>;  // in the order of RequestGrid
    WindowRequestView(const std::array<QLineEdit*, std::size(kHeaderFields)>& header, const Grids& grids)
        : header_(header), grids_(grids) {}

    QString headerText(HeaderField field) const override { return edit(field)->text(); }
    QString headerTooltip(HeaderField field) const override { return edit(field)->toolTip(); }
    int rowCount(RequestGrid grid) const override { return at(grid)->rowCount(); }
    QVariant currentValue(RequestGrid grid, int column) const override {
        BoundGrid* g = at(grid);
        int row = g->currentRow();
        if (row < 0 || row >= g->rowCount()) row = 0;
        return g->cellValue(row, column);
    }
    QString caption(RequestGrid grid, int column) const override { return at(grid)->columnCaption(column); }
    QString tooltip(RequestGrid grid) const override { return at(grid)->toolTip(); }

private:
    QLineEdit* edit(HeaderField field) const { return header_[static_cast<int>(field)]; }
    BoundGrid* at(RequestGrid grid) const { return grids_[static_cast<int>(grid)]; }

    std::array<QLineEdit*, std::size(kHeaderFields)> header_;
    Grids grids_;
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
    ui_->setupUi(this);
    dbAnx_ = {ui_->dbAnx_0, ui_->dbAnx_1, ui_->dbAnx_2, ui_->dbAnx_3};
    grids_ = {ui_->dbDomFiscal, ui_->dbRepLegal,  ui_->dbPlanta,   ui_->dbControl,         ui_->dbProducto,
              ui_->dbTerciarizacion, ui_->dbServicios, ui_->dbEServicios, ui_->dbSubmanufactura, ui_->dbAnxMPE,
              ui_->dbAnx_0,     ui_->dbAnx_3,     ui_->dbAnx_1,    ui_->dbAnx_2};
    headerEdits_ = {ui_->txtRFC, ui_->txtRSocial, ui_->txtNumKALTO, ui_->txtAnioKALTO, ui_->txtNDSol, ui_->txtADSol};
    wireToolbar();
    // Each header field is wide enough for what it holds (the company name for 14 characters).
    for (QLineEdit* t : headerEdits_)
        t->setMinimumWidth(t->fontMetrics().horizontalAdvance(QLatin1Char('W')) * (std::min(t->maxLength(), 14) + 2));
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
    // The designed client area, larger when the text at the current font needs more room, and
    // wide enough for the whole tab strip where the screen allows it (on a narrower screen
    // the strip's captions get a smaller font, see fitTabCaptions).
    QSize size = centralWidget()->minimumSizeHint().expandedTo(QSize(kAnchoCliente, kAltoCliente));
    const QMargins margins = centralWidget()->layout()->contentsMargins();
    const int tabsWidth = tabCaptionsWidth(ui_->SSTabKALTO) + margins.left() + margins.right();
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    constexpr int kFrame = 24;  // the window manager's borders
    size.setWidth(std::max(size.width(), std::min(tabsWidth, area.width() - kFrame)));
    size.setHeight(std::min(size.height(), std::max(kAltoCliente, area.height() * 95 / 100)));
    resize(size);
    // Centred on the screen.
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
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
        const ImportResult r = importaConAvance(this, [&](const ImportProgress& avance) {
            return anexos ? importAnnexes(db_, drives, avance) : importProducts(db_, drives, avance);
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

// ---------------------------------------------------------------- load and lists

bool frmKALTO::load(QString* error) {
    Hourglass reloj;
    ListasEncabezado listas;
    QString err;
    const bool ok = rules_->EstableceLigas(&listas, &err);
    fillLists(listas);
    ui_->SSTabKALTO->setCurrentIndex(0);
    currentPage_ = 0;
    inputsLink_->reset();
    estado_->ventanaMostrada = true;
    showState();
    // The keyboard starts in the header, never on a toolbar button (the first of which clears).
    ui_->cmbTramite->setFocus(Qt::OtherFocusReason);
    if (!ok && error) *error = err;
    return ok;
}

void frmKALTO::fillLists(const ListasEncabezado& listas) {
    const bool antes = synchronizing_;
    synchronizing_ = true;
    for (QComboBox* c : {ui_->cmbTramite, ui_->cmbModalidad, ui_->cmbSector}) {
        c->blockSignals(true);
        c->clear();
    }
    ui_->cmbTramite->addItems(listas.tramites);
    ui_->cmbModalidad->addItems(listas.modalidades);
    for (const ListEntry& e : listas.sectores) ui_->cmbSector->addItem(e.texto, e.codigo);
    ui_->cmbTramite->setCurrentIndex(listas.tramiteIndice);
    ui_->cmbModalidad->setCurrentIndex(listas.modalidadIndice);
    ui_->cmbSector->setCurrentIndex(listas.sectorIndice);
    for (QComboBox* c : {ui_->cmbTramite, ui_->cmbModalidad, ui_->cmbSector}) c->blockSignals(false);

    // The procedure and modality lists show their longest entry whole.
    for (QComboBox* c : {ui_->cmbTramite, ui_->cmbModalidad}) {
        c->setMinimumWidth(0);
        c->setMinimumWidth(c->sizeHint().width());
    }

    ui_->lstServicio->clear();
    for (int i = 0; i < listas.servicios.size(); ++i) ui_->lstServicio->addEntry(listas.servicios[i], i);
    synchronizing_ = antes;
}

void frmKALTO::LlenaListas() {
    ui_->lstUM->clear();
    for (const ListEntry& e : rules_->LlenaListas())
        ui_->lstUM->addEntry(e.texto, static_cast<int>(leadingNumber(e.codigo)));
}

// ---------------------------------------------------------------- header

void frmKALTO::wireHeader() {
    // A new procedure or modality first stores what is being typed; a refused row keeps the
    // lists where they were.
    auto cambio = [this](void (RequestRules::*handler)(int)) {
        return [this, handler](int i) {
            if (synchronizing_) return;
            if (!commitGrids()) {
                showState();
                return;
            }
            storeHeader();
            Hourglass reloj;
            (rules_.get()->*handler)(i);
        };
    };
    connect(ui_->cmbTramite, &QComboBox::currentIndexChanged, this, cambio(&RequestRules::tramiteSeleccionado));
    connect(ui_->cmbModalidad, &QComboBox::currentIndexChanged, this, cambio(&RequestRules::modalidadSeleccionada));
    connect(ui_->cmbSector, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (synchronizing_) return;
        rules_->sectorSeleccionado(ui_->cmbSector->itemData(i));
    });
    connect(ui_->chkDesahogo, &QCheckBox::clicked, this, [this](bool marcado) {
        storeHeader();
        rules_->desahogoCambiado(marcado);
    });
    // What the user types is the header store's until it is stored. The RFC is always shown
    // in upper case, with the caret at its end (FomateaLetra).
    for (HeaderField field : kHeaderFields) {
        QLineEdit* edit = headerEdit(field);
        connect(edit, &QLineEdit::textEdited, this, [this, field, edit](const QString& typed) {
            QString text = typed;
            if (field == HeaderField::Rfc) {
                text = upperCase(typed);
                if (text != typed) edit->setText(text);
                edit->setCursorPosition(text.size());
            }
            header_->edit(field, text);
        });
    }
    // The registration number and year take digits only, typed, pasted or dropped.
    for (QLineEdit* edit : {ui_->txtNumKALTO, ui_->txtAnioKALTO}) filterTextEntry(edit, digitAdmitted);
    connect(ui_->SSTabKALTO, &QTabWidget::currentChanged, this, &frmKALTO::tabChanged);
}

void frmKALTO::showState() {
    static thread_local int profundidad = 0;
    if (profundidad > 0) {
        QTimer::singleShot(0, this, &frmKALTO::showState);
        return;
    }
    ++profundidad;
    const bool antes = synchronizing_;
    synchronizing_ = true;
    const RequestState& e = *estado_;
    for (QComboBox* c : {ui_->cmbTramite, ui_->cmbModalidad}) c->blockSignals(true);
    if (ui_->cmbTramite->currentIndex() != e.tramite) ui_->cmbTramite->setCurrentIndex(e.tramite);
    if (ui_->cmbModalidad->currentIndex() != e.modalidad) ui_->cmbModalidad->setCurrentIndex(e.modalidad);
    for (QComboBox* c : {ui_->cmbTramite, ui_->cmbModalidad}) c->blockSignals(false);

    ui_->chkDesahogo->setChecked(e.desahogo);
    ui_->txtNumKALTO->setEnabled(e.registroHabilitado);
    ui_->txtAnioKALTO->setEnabled(e.registroHabilitado);
    ui_->txtNDSol->setEnabled(e.folioHabilitado);
    ui_->txtADSol->setEnabled(e.folioHabilitado);
    // A field the rules disabled (and emptied) keeps nothing typed.
    for (HeaderField field : kHeaderFields)
        if (!headerEdit(field)->isEnabled()) header_->discard(field);
    showHeaderTexts();

    showAvailablePages();
    dbAnx_[3]->setEnabled(e.retrabajoDisponible);
    ui_->dbEServicios->setEnabled(e.eServiciosDisponible);
    ui_->dbProducto->setEnabled(e.productoDisponible);
    ui_->dbAnxMPE->setColumnVisible(2, e.descripcionEnAnxMPE);
    ui_->dbAnxMPE->setColumnVisible(3, !e.descripcionEnAnxMPE);
    synchronizing_ = antes;
    --profundidad;
}

void frmKALTO::showAvailablePages() {
    const PaginasDisponibles& pages = estado_->paginas;
    // The page shown is moved only when it becomes unavailable, and before it does, so that
    // the tab strip never picks a page of its own; pages are made available before others
    // are made unavailable, so that there is always one to show.
    const int current = ui_->SSTabKALTO->currentIndex();
    if (current >= 0 && current < kNumPaginas && !pages[current]) ui_->SSTabKALTO->setCurrentIndex(kPagDomicilioFiscal);
    for (bool available : {true, false})
        for (int i = 0; i < kNumPaginas; ++i)
            if (pages[i] == available && ui_->SSTabKALTO->isTabEnabled(i) != available)
                ui_->SSTabKALTO->setTabEnabled(i, available);
}

void frmKALTO::showHeaderTexts() {
    for (HeaderField field : kHeaderFields) {
        QLineEdit* edit = headerEdit(field);
        const QString text = header_->text(field);
        if (edit->text() != text) edit->setText(text);
    }
}

void frmKALTO::clearTexts() {
    header_->discardPending();
    for (QLineEdit* t : headerEdits_) t->clear();
}

bool frmKALTO::storeHeader() {
    const bool ok = header_->storeAll();
    showHeaderTexts();
    return ok;
}

void frmKALTO::headerFocusOut(QLineEdit* edit, QFocusEvent* event) {
    const bool salida = event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
    if (edit == ui_->txtRFC && salida) header_->checkRfc(ui_->txtRFC->text());
    for (HeaderField field : kHeaderFields)
        if (headerEdit(field) == edit) header_->store(field);
    showHeaderTexts();
}

bool frmKALTO::headerKey(QObject* watched, QKeyEvent* key) {
    if (watched == ui_->txtRFC && key->matches(QKeySequence::Paste)) {
        // A pasted text passes the same position filter as typed characters.
        QString texto = ui_->txtRFC->text();
        const int inicio = ui_->txtRFC->hasSelectedText() ? ui_->txtRFC->selectionStart() : ui_->txtRFC->cursorPosition();
        const int largo = ui_->txtRFC->hasSelectedText() ? ui_->txtRFC->selectedText().size() : 0;
        texto.replace(inicio, largo, QApplication::clipboard()->text());
        const QString filtrado = filtraTextoRFC(upperCase(texto));
        if (filtrado != ui_->txtRFC->text()) {
            ui_->txtRFC->setText(filtrado);
            header_->edit(HeaderField::Rfc, filtrado);
        }
        return true;
    }
    // Shortcuts (Ctrl+V, Alt+letter) are not typed characters.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const QString text = key->text();
    if (watched == ui_->txtRFC) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            ui_->txtRSocial->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (text.isEmpty() || !text.at(0).isPrint()) return false;
        const QChar c = filtraTeclaRFC(ui_->txtRFC->text(), text.at(0));
        if (c.isNull()) return true;
        if (c != text.at(0)) {
            QKeyEvent otro(QEvent::KeyPress, key->key(), key->modifiers(), QString(c), key->isAutoRepeat(),
                           key->count());
            QCoreApplication::sendEvent(ui_->txtRFC, &otro);
            return true;
        }
        return false;
    }
    if (watched == ui_->SSTabKALTO->tabBar()) {
        if (text.isEmpty() || !text.at(0).isPrint()) return false;
        return !kTeclasPestanas.contains(upperCase(text.at(0)));
    }
    return false;
}

bool frmKALTO::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != this) break;
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        const QString mayusculas = upperCase(text);
        const bool atajo = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!atajo && !text.isEmpty() && mayusculas != text) {
            // Every letter typed in the window is upper case.
            QKeyEvent otro(QEvent::KeyPress, key->key(), key->modifiers(), key->nativeScanCode(),
                           key->nativeVirtualKey(), key->nativeModifiers(), mayusculas, key->isAutoRepeat(),
                           key->count());
            QCoreApplication::sendEvent(watched, &otro);
            event->setAccepted(otro.isAccepted());
            return true;
        }
        if (headerKey(watched, key)) return true;
        break;
    }
    case QEvent::FocusOut: {
        for (QLineEdit* t : headerEdits_)
            if (watched == t) headerFocusOut(t, static_cast<QFocusEvent*>(event));
        break;
    }
    case QEvent::FocusIn:
        if (watched == ui_->txtRFC) ui_->txtRFC->selectAll();  // SeleccionaTexto
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
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

// ---------------------------------------------------------------- toolbar

void frmKALTO::wireToolbar() {
    const QStyle::StandardPixmap iconos[5] = {QStyle::SP_TrashIcon, QStyle::SP_DialogApplyButton,
                                              QStyle::SP_DriveFDIcon, QStyle::SP_FileDialogDetailedView,
                                              QStyle::SP_MessageBoxInformation};
    const std::array<QToolButton*, 5> cmdKALTO{ui_->cmdKALTO_0, ui_->cmdKALTO_1, ui_->cmdKALTO_2, ui_->cmdKALTO_3,
                                               ui_->cmdKALTO_4};
    for (int i = 0; i < 5; ++i) {
        cmdKALTO[i]->setIcon(style()->standardIcon(iconos[i]));
        connect(cmdKALTO[i], &QToolButton::clicked, this, [this, i] { cmdKALTO_Click(i); });
    }
    ui_->cmdVerificar->setIcon(style()->standardIcon(QStyle::SP_DialogYesButton));
    ui_->cmdRecupera->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    connect(ui_->cmdVerificar, &QToolButton::clicked, this, &frmKALTO::cmdVerificar_Click);
    connect(ui_->cmdRecupera, &QToolButton::clicked, this, &frmKALTO::cmdRecupera_Click);
    connect(ui_->cmdBrelot, &QPushButton::clicked, this, &frmKALTO::cmdBrelot_Click);
}

void frmKALTO::cmdBrelot_Click() {
    // The sectoral window works on the application as the main window shows it: the rows
    // being typed and the header are stored first.
    if (!commitGrids() || !storeHeader()) return;
    const ApplicantData applicant = applicantFromWindow(ui_->txtRFC->text(), ui_->txtRSocial->text(), *ui_->cmbSector,
                                                        *ui_->dbDomFiscal, *ui_->dbRepLegal, *ui_->dbPlanta);
    frmSolBrelot::openModal(this, db_, messages_, applicant);
}

void frmKALTO::cmdRecupera_Click() {
    RestoreHooks hooks;
    hooks.storePending = [this] { return commitGrids() && storeHeader(); };
    hooks.rebind = [this] {
        ListasEncabezado listas;
        QString err;
        const bool ok = rules_->EstableceLigas(&listas, &err);
        fillLists(listas);
        inputsLink_->reset();
        header_->discardPending();  // the texts shown are those of the restored request
        showState();
        if (!ok) messages_.exclamation(err);
    };
    RequestRestore restore(db_, messages_, std::move(hooks));
    const Drives drives(db_.folder());
    QString start = drives.folder(QLatin1Char('A'));
    if (start.isEmpty()) start = db_.folder();
    const QString folder = restoreFolderChooser_
                               ? restoreFolderChooser_(start)
                               : QFileDialog::getExistingDirectory(this, QStringLiteral("Recuperar solicitud de un disco"), start);
    if (folder.isEmpty()) return;
    Hourglass reloj;
    restore.restore(folder);
}

void frmKALTO::cmdVerificar_Click() {
    // What the grids and the header hold is checked: pending rows are stored first.
    if (!commitGrids() || !storeHeader()) return;
    QList<RequestFinding> findings;
    {
        Hourglass reloj;
        findings = RequestVerifier(*rules_).verify();
    }
    auto pageName = [this](int page) {
        return page < ui_->SSTabKALTO->count() ? ui_->SSTabKALTO->tabText(page).remove(QLatin1Char('&'))
                                           : QString::number(page + 1);
    };
    auto objectName = [this](const RequestFinding& f) {
        const QWidget* w = findChild<QWidget*>(f.object);
        if (!w) return f.object;
        if (!w->accessibleName().isEmpty()) return w->accessibleName();
        return w->toolTip().isEmpty() ? f.object : w->toolTip();
    };
    auto* ventana = new frmVerificaSolicitud(findings, pageName, objectName,
                                             [this](const RequestFinding& f) { showFinding(f); }, this);
    ventana->setAttribute(Qt::WA_DeleteOnClose);
    ventana->show();
}

void frmKALTO::showFinding(const RequestFinding& f) {
    if (f.page >= 0 && f.page < ui_->SSTabKALTO->count()) ui_->SSTabKALTO->setCurrentIndex(f.page);
    if (auto* g = findChild<BoundGrid*>(f.object)) {
        if (f.row >= 0 && f.column >= 0) g->setCurrentCell(f.row, f.column);
        else if (f.row >= 0) g->setCurrentRow(f.row);
        g->setFocus(Qt::OtherFocusReason);
    } else if (auto* t = findChild<QLineEdit*>(f.object)) {
        t->setFocus(Qt::OtherFocusReason);
        t->selectAll();
    }
}

void frmKALTO::cmdKALTO_Click(int index) {
    switch (index) {
    case 0: {
        if (!commitGrids()) return;
        storeHeader();
        Hourglass reloj;
        if (!rules_->LimpiaInformacion()) return;
        ListasEncabezado listas;
        QString err;
        const bool ok = rules_->EstableceLigas(&listas, &err);
        fillLists(listas);
        inputsLink_->reset();
        clearTexts();
        showState();
        ui_->cmbTramite->setFocus(Qt::OtherFocusReason);  // a new request begins in the header
        if (!ok) messages_.exclamation(err);
        break;
    }
    case 1: {
        // A header text the table could not take is not reported as saved.
        if (!commitGrids() || !storeHeader()) return;
        Hourglass reloj;
        rules_->GuardaInformacion(QString());
        break;
    }
    case 2: {
        // The disk receives what the grids and the header hold: pending rows are stored first.
        if (!commitGrids() || !storeHeader()) return;
        Hourglass reloj;
        WindowRequestView view(headerEdits_, {ui_->dbDomFiscal, ui_->dbRepLegal, ui_->dbPlanta, ui_->dbControl, ui_->dbProducto,
                                              ui_->dbTerciarizacion, ui_->dbServicios, ui_->dbEServicios, ui_->dbSubmanufactura,
                                              ui_->dbAnxMPE, dbAnx_[0], dbAnx_[1], dbAnx_[2], dbAnx_[3]});
        DiskGenerationHooks hooks;
        hooks.showPage = [this](int page) { ui_->SSTabKALTO->setCurrentIndex(page); };
        hooks.showWait = [this] { frmEspera::showModal(this); };
        hooks.rebind = [this] {
            ListasEncabezado listas;
            QString err;
            const bool ok = rules_->EstableceLigas(&listas, &err);
            fillLists(listas);
            inputsLink_->reset();
            showState();
            if (!ok) messages_.exclamation(err);
        };
        const Drives drives(db_.folder());
        DiskGeneration(*rules_, view, messages_, drives, std::move(hooks)).GeneraDisco();
        break;
    }
    case 3: {
        // The print window composes what the grids and the header hold when a preview is asked.
        if (!commitGrids() || !storeHeader()) return;
        auto source = [this](ReportSnapshot& snapshot, QString& error) {
            Hourglass reloj;
            QVariantList representative;
            const int rows = ui_->dbRepLegal->rowCount();
            int row = ui_->dbRepLegal->currentRow();
            if (row < 0 || row >= rows) row = 0;
            for (int c = 0; rows > 0 && c < ui_->dbRepLegal->columnCount(); ++c)
                representative << ui_->dbRepLegal->cellValue(row, c);
            return fillReportSnapshot(*fuentes_, *estado_,
                                      {ui_->cmbTramite->currentText(), ui_->cmbModalidad->currentText(),
                                       ui_->cmbSector->currentText()},
                                      representative, snapshot, &error);
        };
        frmImpSolKALTO::openModal(this, source, considerationsFile(db_.folder()), messages_);
        break;
    }
    case 4: {
        Hourglass reloj;
        if (!about_) about_ = new frmInfoVersion(messages_, this);
        about_->show();
        about_->raise();
        about_->activateWindow();
        break;
    }
    default:
        break;
    }
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

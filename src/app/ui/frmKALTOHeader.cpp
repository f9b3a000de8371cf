// The main window's request header and its lists: load and binding, the header fields'
// texts and filters, the state the rules keep shown in the header and the tab strip, and the
// window-wide key preview (every typed letter upper case).

#include "app/ui/frmKALTO.h"
#include "ui_frmKALTO.h"

#include "app/AnnexInputsLink.h"
#include "core/KeyFilters.h"
#include "core/LetterCase.h"
#include "core/Messages.h"
#include "core/Numbers.h"
#include "core/RequestState.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/Hourglass.h"
#include "toolkit/PickList.h"
#include "toolkit/TextEntryFilter.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace kalto {

namespace {
// Characters the tab strip admits from the keyboard (upper-cased), besides Backspace.
const QString kTeclasPestanas = QStringLiteral("/., 0123456789ABCDEFGHIJKLMNÑOPQRSTUVWXYZ");
}  // namespace

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

void frmKALTO::rebindRequest() {
    ListasEncabezado listas;
    QString err;
    const bool ok = rules_->EstableceLigas(&listas, &err);
    fillLists(listas);
    inputsLink_->reset();
    showState();
    if (!ok) messages_.exclamation(err);
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

}  // namespace kalto

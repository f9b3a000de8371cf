#include "app/ui/AnnexPages.h"

#include "annexes/AnnexGrids.h"
#include "annexes/AnnexRules.h"
#include "annexes/ProductRule.h"
#include "annexes/ServiceRule.h"
#include "core/GridHelpers.h"
#include "core/RequestState.h"
#include "data/DataSource.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/PickList.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTimer>

namespace kalto {

namespace {

// A pick list widget as the rules see it.
class PickListWidget : public PickListAccess {
public:
    explicit PickListWidget(PickList* list) : list_(list) {}
    bool isShown() const override { return list_ && list_->isVisible(); }
    int currentIndex() const override { return list_ ? list_->currentRow() : -1; }
    QString currentText() const override { return list_ ? list_->currentText() : QString(); }
    QVariant currentData() const override {
        return list_ && list_->hasCurrentEntry() ? QVariant(list_->currentData()) : QVariant();
    }
    bool selectText(const QString& text) override {
        if (!list_) return false;
        for (int i = 0; i < list_->count(); ++i)
            if (list_->item(i)->text() == text) {
                list_->setCurrentRow(i);
                return true;
            }
        return false;
    }
    void hide() override {
        if (list_ && list_->isVisible()) list_->hide();
    }

private:
    QPointer<PickList> list_;
};

}  // namespace

AnnexPages::AnnexPages(Database& db, Messages& messages, RequestState& estado, Widgets widgets, Sources sources,
                       std::function<QVariant()> inputsParent,
                       std::function<void(BoundGrid*, int, PickList*)> colocaLista, QObject* parent)
    : QObject(parent),
      db_(db),
      messages_(messages),
      estado_(estado),
      w_(widgets),
      s_(sources),
      inputsParent_(std::move(inputsParent)),
      colocaLista_(std::move(colocaLista)),
      um_(std::make_unique<PickListWidget>(widgets.lstUM)),
      servicios_(std::make_unique<PickListWidget>(widgets.lstServicio)) {
    AnnexEvents events;
    events.exportProductsChanged = [this] { refreshLater(s_.dtsAnxMPE); };
    events.inputsChanged = [this] { refreshLater(s_.dtsAnx[0]); };
    events.servicesChanged = [this] { refreshLater(s_.dtsServicio); };
    events.productsChanged = [this] { refreshLater(s_.dtsProducto); };
    events.selectPage = [this](int page) {
        QTimer::singleShot(0, this, [this, page] {
            if (w_.tabs && w_.tabs->isTabEnabled(page)) w_.tabs->setCurrentIndex(page);
        });
    };
    auto seleccion = [this] { return selection(); };
    producto_ = std::make_unique<ProductRule>(db_, messages_, estado_, um_.get(), events);
    servicio_ = std::make_unique<ServiceRule>(db_, messages_, estado_, servicios_.get(), events);
    anxMPE_ = std::make_unique<ExportProductAnnexRule>(db_, messages_, estado_, events);
    for (int i = 0; i < 4; ++i) anx_[i] = std::make_unique<AnnexRule>(db_, messages_, estado_, i, seleccion);
    mpe_ = widgets.dbAnxMPE;
    insumos_ = widgets.dbAnx[0];
    retrabajo_ = widgets.dbAnx[3];
    bindGrids();
    wireLists();
    qApp->installEventFilter(this);
}

AnnexPages::~AnnexPages() { qApp->removeEventFilter(this); }

void AnnexPages::bindGrids() {
    w_.dbProducto->bind(s_.dtsProducto, columnas::productos(), producto_.get(), &messages_);
    w_.dbServicios->bind(s_.dtsServicio, columnas::servicios(), servicio_.get(), &messages_);
    w_.dbAnxMPE->bind(s_.dtsAnxMPE, columnas::anexoExportacion(), anxMPE_.get(), &messages_);
    for (int i = 0; i < 4; ++i) w_.dbAnx[i]->bind(s_.dtsAnx[i], columnas::anexo(i), anx_[i].get(), &messages_);
}

void AnnexPages::wireLists() {
    // Each list opens under its column, on the first key typed there or the column button.
    auto abre = [this](BoundGrid* grid, int columna, PickList* lista) {
        auto coloca = [this, grid, columna, lista](int c) {
            if (c == columna && colocaLista_) colocaLista_(grid, columna, lista);
        };
        connect(grid, &BoundGrid::beforeEdit, this, coloca);
        connect(grid, &BoundGrid::columnButtonPressed, this, coloca);
        connect(grid, &BoundGrid::gridClicked, this, [lista] {
            if (lista->isVisible()) lista->hide();
        });
    };
    abre(w_.dbServicios, ServiceRule::Servicio, w_.lstServicio);
    abre(w_.dbProducto, ProductRule::Um, w_.lstUM);

    connect(w_.lstUM, &PickList::accepted, this, [this] {
        if (const auto unidad = producto_->chosenUnit()) {
            w_.dbProducto->setCurrentValue(ProductRule::Um, unidad->name);
            w_.dbProducto->setCurrentValue(ProductRule::UmId, unidad->code);
        }
    });
    connect(w_.lstServicio, &PickList::accepted, this, [this] {
        if (const auto eleccion = servicio_->choose()) {
            w_.dbServicios->setCurrentValue(ServiceRule::Servicio, eleccion->text);
            w_.dbServicios->setCurrentValue(ServiceRule::IdServ, eleccion->position);
        }
    });
}

ExportProductSelection AnnexPages::selection() const {
    ExportProductSelection s;
    s.id = inputsParent_ ? inputsParent_() : QVariant();
    const int row = w_.dbAnxMPE->currentRow();
    if (row >= 0 && row < w_.dbAnxMPE->rowCount())
        s.fraccion = cellText(w_.dbAnxMPE->cellValue(row, ExportProductAnnexRule::Fraccion));
    return s;
}

void AnnexPages::refreshLater(DataSource* source) {
    if (!source || pendingRefresh_.contains(source)) return;
    pendingRefresh_.append(source);
    QTimer::singleShot(0, this, [this, source = QPointer<DataSource>(source)] {
        pendingRefresh_.removeAll(source);
        if (source) source->refresh();
    });
}

GridRule* AnnexPages::ruleOfEditedGrid(QObject* watched, BoundGrid** grid) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget) return nullptr;
    for (BoundGrid* g : {mpe_.data(), insumos_.data(), retrabajo_.data()}) {
        if (g && (g == widget || g->isAncestorOf(widget))) {
            *grid = g;
            return g->rule();
        }
    }
    return nullptr;
}

bool AnnexPages::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        // Backspace is a typed character for these grids' rules too (the grid passes only
        // printable ones).
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Backspace || key->modifiers() != Qt::NoModifier) break;
        BoundGrid* grid = nullptr;
        GridRule* rule = ruleOfEditedGrid(watched, &grid);
        if (!rule || !grid->isCellEditorOpen()) break;
        QChar ch(8);
        const GridRow* row = grid->pendingRow();
        if (!rule->keyTyped(row ? *row : GridRow(), grid->currentColumn(), ch)) return true;
        break;
    }
    case QEvent::FocusIn: {
        BoundGrid* insumos = insumos_;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!insumos || !widget || (widget != insumos && !insumos->isAncestorOf(widget))) break;
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::MouseFocusReason && reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
            reason != Qt::ShortcutFocusReason)
            break;
        // Checked from the event loop: no message box from inside a focus change.
        if (!inputsCheckPosted_) {
            inputsCheckPosted_ = true;
            QTimer::singleShot(0, this, &AnnexPages::checkInputsEntered);
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void AnnexPages::checkInputsEntered() {
    inputsCheckPosted_ = false;
    BoundGrid* insumos = insumos_;
    QWidget* focus = QApplication::focusWidget();
    if (!insumos || !mpe_ || !focus || (focus != insumos && !insumos->isAncestorOf(focus))) return;
    if (insumos->isEditing()) return;  // an input being typed belongs to the product it was typed for
    if (!anx_[0]->gridEntered()) mpe_->setFocus(Qt::OtherFocusReason);
}

}  // namespace kalto

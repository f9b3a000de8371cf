#include "toolkit/BoundGrid.h"

#include "toolkit/BoundGridModel.h"
#include "toolkit/MessageBoxMessages.h"
#include "toolkit/TextEntryFilter.h"
#include "data/DataSource.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <QTimer>

namespace kalto {

// The cell editor: a line edit whose keys and text changes go through the grid (and so
// through the grid's rule). The grid, not the delegate, decides when a typed value is taken
// into the row and when the editor closes; focus leaving the editor does not commit it.
class BoundGridDelegate : public QStyledItemDelegate {
public:
    explicit BoundGridDelegate(BoundGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        editor->setObjectName(QStringLiteral("gridEditor"));
        grid_->editorCreated(editor, index);
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        grid_->loadEditor(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const override {
        grid_->takeEditor(editor);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* editor = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::KeyPress) return editor && grid_->editorKey(editor, static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::FocusOut) return false;
        return QStyledItemDelegate::eventFilter(watched, event);
    }

private:
    BoundGrid* grid_;
};

BoundGrid::BoundGrid(QWidget* parent) : QTableView(parent) {
    model_ = new BoundGridModel(this);
    delegate_ = new BoundGridDelegate(this);
    setModel(model_);
    setItemDelegate(delegate_);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(true);
    verticalHeader()->viewport()->installEventFilter(this);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    connect(model_, &BoundGridModel::rowBegun, this, &BoundGrid::rowBegun);
    connect(model_, &BoundGridModel::cellAccepted, this, &BoundGrid::cellAccepted);
    connect(model_, &BoundGridModel::rowStored, this, &BoundGrid::rowStored);
    connect(model_, &BoundGridModel::rowDeleted, this, &BoundGrid::rowDeleted);
    connect(qApp, &QApplication::focusChanged, this, &BoundGrid::focusChanged);
}

BoundGrid::~BoundGrid() = default;

void BoundGrid::bind(DataSource* source, const QList<GridColumn>& columns, GridRule* rule, Messages* messages) {
    if (dataSource()) disconnect(dataSource(), nullptr, this, nullptr);
    if (!messages) {
        if (!ownMessages_) ownMessages_ = std::make_unique<MessageBoxMessages>(this);
        messages = ownMessages_.get();
    }
    editor_ = nullptr;
    model_->bind(source, columns, rule, messages);
    applyColumns();
    if (source) {
        connect(source, &DataSource::commitRequested, this, &BoundGrid::sourceCommitRequested);
        connect(source, &DataSource::refreshed, this, &BoundGrid::sourceRefreshed);
    }
    lastRow_ = -1;
    if (model_->rowCount() > 0) setCurrentIndex(model_->index(0, firstVisibleColumn()));
}

void BoundGrid::applyColumns() {
    const auto& cols = model_->columns();
    for (int i = 0; i < cols.size(); ++i) {
        setColumnWidth(i, cols[i].width);
        setColumnHidden(i, !cols[i].visible);
    }
}

DataSource* BoundGrid::dataSource() const { return model_->dataSource(); }
GridRule* BoundGrid::rule() const { return model_->rule(); }

int BoundGrid::rowCount() const { return model_->dataRowCount(); }
int BoundGrid::columnCount() const { return model_->columnCount(); }
int BoundGrid::addNewRow() const { return model_->addNewRow(); }

int BoundGrid::currentRow() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

int BoundGrid::currentColumn() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : -1;
}

int BoundGrid::firstVisibleColumn() const {
    for (int c = 0; c < model_->columnCount(); ++c)
        if (!isColumnHidden(c)) return c;
    return 0;
}

int BoundGrid::nextVisibleColumn(int column, int step) const {
    for (int c = column + step; c >= 0 && c < model_->columnCount(); c += step)
        if (!isColumnHidden(c)) return c;
    return -1;
}

bool BoundGrid::setCurrentRow(int row) {
    const int column = currentColumn() >= 0 ? currentColumn() : firstVisibleColumn();
    return moveTo(row, column);
}

bool BoundGrid::setCurrentCell(int row, int column) { return moveTo(row, column); }

QVariant BoundGrid::cellValue(int row, int column) const { return model_->value(row, column); }

QVariant BoundGrid::currentValue(int column) const { return model_->value(currentRow(), column); }

bool BoundGrid::setCurrentValue(int column, const QVariant& value) {
    const int row = currentRow();
    if (row < 0 || column < 0 || column >= model_->columnCount() || !model_->isWritable()) return false;
    if (editor_ && editorIndex_.isValid() && editorIndex_.row() == row && editorIndex_.column() == column)
        finishEditor(false);
    if (!model_->hasPending() || model_->pendingViewRow() != row) {
        if (model_->hasPending() && !leaveRowFor(row)) return false;
        QScopedValueRollback<bool> guard(busy_, true);
        if (!model_->beginEdit(row)) return false;
        emit editStarted(column);
    }
    model_->setPendingValue(column, value);
    return true;
}

QString BoundGrid::columnCaption(int column) const {
    return column >= 0 && column < model_->columns().size() ? model_->columns()[column].caption : QString();
}

QString BoundGrid::columnField(int column) const {
    return column >= 0 && column < model_->columns().size() ? model_->columns()[column].field : QString();
}

void BoundGrid::setColumnVisible(int column, bool visible) {
    if (column < 0 || column >= model_->columnCount()) return;
    if (!visible && editor_ && editorIndex_.column() == column) finishEditor(true);
    model_->setColumnVisible(column, visible);
    setColumnHidden(column, !visible);
}

bool BoundGrid::isColumnVisible(int column) const {
    return column >= 0 && column < model_->columnCount() && !isColumnHidden(column);
}

int BoundGrid::columnLeft(int column) const {
    if (!isColumnVisible(column)) return -1;
    return columnViewportPosition(column);
}

int BoundGrid::rowTop(int row) const {
    if (row < 0 || row >= model_->rowCount()) return -1;
    return rowViewportPosition(row);
}

int BoundGrid::rowHeight() const {
    const int row = currentRow();
    return row >= 0 ? QTableView::rowHeight(row) : verticalHeader()->defaultSectionSize();
}

GridRow* BoundGrid::pendingRow() { return model_->pending(); }
const GridRow* BoundGrid::pendingRow() const { return model_->pending(); }
bool BoundGrid::isEditing() const { return model_->hasPending(); }
bool BoundGrid::isCellEditorOpen() const { return editor_ != nullptr; }

void BoundGrid::addCompanionWidget(QWidget* widget) {
    if (!widget) return;
    for (const auto& c : companions_)
        if (c == widget) return;
    companions_.append(widget);
}

QWidget* BoundGrid::openPickList() const {
    for (const auto& c : companions_)
        if (c && c->isVisible() && qobject_cast<QAbstractItemView*>(c.data())) return c;
    return nullptr;
}

bool BoundGrid::isInside(QWidget* widget) const { return widget && (widget == this || isAncestorOf(widget)); }

bool BoundGrid::isCompanion(QWidget* widget) const {
    for (const auto& c : companions_)
        if (c && (c == widget || c->isAncestorOf(widget))) return true;
    return false;
}

// --- storing, discarding, deleting -------------------------------------------------------------

bool BoundGrid::commit() {
    if (busy_) return !model_->hasPending();
    finishEditor(true);
    if (!model_->hasPending()) return true;
    QScopedValueRollback<bool> guard(busy_, true);
    return model_->commit();
}

void BoundGrid::discard() {
    finishEditor(false);
    const int row = currentRow();
    const int column = currentColumn();
    const bool wasNew = model_->hasPending() && model_->pending()->isNew();
    model_->discard();
    // A dropped new row leaves the cursor on the add-new row that took its place.
    if (wasNew && row >= 0) restoreCurrent(qMin(row, model_->rowCount() - 1), column, 0);
}

bool BoundGrid::deleteCurrentRow() {
    if (busy_) return false;
    const int row = currentRow();
    if (row < 0 || model_->isAddNewRow(row)) return false;
    finishEditor(false);
    const int column = currentColumn();
    bool done = false;
    {
        QScopedValueRollback<bool> guard(busy_, true);
        done = model_->deleteRow(row);
    }
    if (done) restoreCurrent(qMin(row, model_->rowCount() - 1), column, 0);
    return done;
}

void BoundGrid::reloadKeepingCurrent() {
    const int row = currentRow();
    const int column = currentColumn();
    const bool onPending = row >= 0 && row == model_->pendingViewRow();
    const bool onAddNew = model_->isAddNewRow(row);
    const int recno = model_->recordNumber(row);
    // A record number means the same record only in the same table file.
    const bool sameTable = model_->reload();
    int target = row;
    if (onPending)
        target = model_->pendingViewRow();
    else if (onAddNew)
        target = model_->addNewRow();
    else if (sameTable && recno > 0 && model_->rowOfRecord(recno) >= 0)
        target = model_->rowOfRecord(recno);
    lastRow_ = -1;
    restoreCurrent(target, column, 0);
}

void BoundGrid::restoreCurrent(int row, int column, int fallbackRow) {
    const int rows = model_->rowCount();
    if (rows == 0) return;
    if (row < 0 || row >= rows) row = qBound(0, fallbackRow, rows - 1);
    if (column < 0 || column >= model_->columnCount() || isColumnHidden(column)) column = firstVisibleColumn();
    setCurrentIndex(model_->index(row, column));
}

void BoundGrid::sourceCommitRequested(bool* committed) {
    // A changed stored row is stored first; a new row being typed is kept and shown again.
    const auto changedRow = [this] { return model_->hasPending() && !model_->pending()->isNew(); };
    if (busy_) {
        // A rule queries the source again while the grid is storing a row: the row is being
        // stored right now, so it cannot be stored for this caller.
        if (changedRow() && committed) *committed = false;
        return;
    }
    finishEditor(true);
    if (!changedRow()) return;
    if (!model_->isWritable()) {
        // The source is closed: the row cannot be stored until it is open again.
        if (committed) *committed = false;
        return;
    }
    QScopedValueRollback<bool> guard(busy_, true);
    if (!model_->commit() && committed) *committed = false;
}

void BoundGrid::sourceRefreshed() {
    if (editor_) finishEditor(true);
    reloadKeepingCurrent();
}

// --- moving between rows -----------------------------------------------------------------------

bool BoundGrid::leaveRowFor(int targetRow) {
    if (!model_->hasPending() || model_->pendingViewRow() == targetRow) return true;
    if (busy_) return false;
    QScopedValueRollback<bool> guard(busy_, true);
    return model_->commit();
}

bool BoundGrid::moveTo(int row, int column) {
    if (busy_) return false;
    const int rows = model_->rowCount();
    if (rows == 0) return false;
    row = qBound(0, row, rows - 1);
    finishEditor(true);
    if (row != currentRow() && !leaveRowFor(row)) return false;
    restoreCurrent(row, column, row);
    return true;
}

bool BoundGrid::selectWholeRow(int row) {
    if (!moveTo(row, currentColumn())) return false;
    const int r = currentRow();
    if (r < 0 || model_->columnCount() == 0) return false;
    selectionModel()->select(QItemSelection(model_->index(r, 0), model_->index(r, model_->columnCount() - 1)),
                             QItemSelectionModel::ClearAndSelect);
    return true;
}

bool BoundGrid::isWholeRowSelected(int row) const {
    if (row < 0 || !selectionModel()) return false;
    for (int c = 0; c < model_->columnCount(); ++c)
        if (!isColumnHidden(c) && !selectionModel()->isSelected(model_->index(row, c))) return false;
    return model_->columnCount() > 0;
}

// Up/Down/PageUp/PageDown and Ctrl+Home/End: the row to go to, or -1 for other keys.
int BoundGrid::verticalTarget(const QKeyEvent* event) const {
    const int row = currentRow();
    const int last = model_->rowCount() - 1;
    const int page = qMax(1, viewport()->height() / qMax(1, verticalHeader()->defaultSectionSize()) - 1);
    switch (event->key()) {
    case Qt::Key_Up:
        return qMax(0, row - 1);
    case Qt::Key_Down:
        return qMin(last, row + 1);
    case Qt::Key_PageUp:
        return qMax(0, row - page);
    case Qt::Key_PageDown:
        return qMin(last, row + page);
    case Qt::Key_Home:
        return event->modifiers() & Qt::ControlModifier ? 0 : -1;
    case Qt::Key_End:
        return event->modifiers() & Qt::ControlModifier ? last : -1;
    default:
        return -1;
    }
}

bool BoundGrid::navigationKey(QKeyEvent* event, bool inEditor) {
    const int row = currentRow();
    const int column = currentColumn();
    if (row < 0) return false;
    const bool alt = event->modifiers() & Qt::AltModifier;
    if ((event->key() == Qt::Key_F4) || (alt && event->key() == Qt::Key_Down)) {
        emit columnButtonPressed(column);
        return true;
    }
    const int target = verticalTarget(event);
    if (target >= 0 && !alt) {
        moveTo(target, column);
        return true;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const int next = nextVisibleColumn(column, +1);
        if (next >= 0) {
            moveTo(row, next);
        } else if (row + 1 < model_->rowCount()) {
            // Enter on the last column leaves the row.
            moveTo(row + 1, firstVisibleColumn());
        } else {
            finishEditor(true);
            commit();
        }
        return true;
    }
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        const int next = nextVisibleColumn(column, event->key() == Qt::Key_Tab ? +1 : -1);
        if (next >= 0) {
            moveTo(row, next);
        } else {
            finishEditor(true);
            QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab);  // leaving the grid commits
        }
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right: {
        if (inEditor) {
            auto* line = qobject_cast<QLineEdit*>(editor_.data());
            const bool atEdge = line && !line->hasSelectedText() &&
                                (event->key() == Qt::Key_Left ? line->cursorPosition() == 0
                                                              : line->cursorPosition() == line->text().size());
            if (!atEdge) return false;  // the caret moves inside the text
        }
        const int next = nextVisibleColumn(column, event->key() == Qt::Key_Right ? +1 : -1);
        if (next >= 0) moveTo(row, next);
        return true;
    }
    case Qt::Key_Escape:
        discard();
        return true;
    default:
        return false;
    }
}

void BoundGrid::keyPressEvent(QKeyEvent* event) {
    if (busy_) {
        event->accept();
        return;
    }
    if (navigationKey(event, false)) {
        event->accept();
        return;
    }
    const int row = currentRow();
    if (event->key() == Qt::Key_Delete) {
        if (isWholeRowSelected(row)) deleteCurrentRow();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::ShiftModifier)) {
        selectWholeRow(row);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void BoundGrid::mousePressEvent(QMouseEvent* event) {
    emit gridClicked();
    if (busy_) {
        event->accept();
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) {
        if (editor_ && index != QModelIndex(editorIndex_)) finishEditor(true);
        // Another row: the pending row is stored first; when refused, the click does nothing.
        if (index.row() != currentRow() && !leaveRowFor(index.row())) {
            event->accept();
            return;
        }
    }
    QTableView::mousePressEvent(event);
}

void BoundGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (busy_) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

bool BoundGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (busy_) return false;
    const bool opens = trigger & (AnyKeyPressed | EditKeyPressed | DoubleClicked);
    if (opens && index.isValid() && !editor_ && model_->hasPending() && model_->pendingViewRow() != index.row()) {
        if (!leaveRowFor(index.row())) {
            restoreCurrent(model_->pendingViewRow(), index.column(), 0);
            return false;
        }
    }
    QWidget* before = editor_;
    bool opened;
    const bool typed = trigger == AnyKeyPressed && event && event->type() == QEvent::KeyPress &&
                       !static_cast<QKeyEvent*>(event)->text().isEmpty() && !editor_;
    if (typed) {
        // The editor opens first and beforeEdit is told (a pick list may open, even take the
        // focus); then the key that opened it lands in it, as the first typed character.
        opened = QTableView::edit(index, AllEditTriggers, nullptr);
    } else {
        opened = QTableView::edit(index, trigger, event);
    }
    if (editor_ && editor_ != before) {
        QPointer<QWidget> editor = editor_;
        emit beforeEdit(editorIndex_.column());
        if (typed && editor) QApplication::sendEvent(editor, event);
    }
    return opened;
}

void BoundGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    const int row = current.isValid() ? current.row() : -1;
    if (row != lastRow_) {
        lastRow_ = row;
        emit currentRowChanged(row);
    }
}

void BoundGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (editor == editor_) {
        editor_ = nullptr;
        editorEdited_ = false;
    }
    // Moving to the next or previous item is the grid's own business (see navigationKey).
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    QTableView::closeEditor(editor, hint);
}

bool BoundGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == verticalHeader()->viewport()) {
        // A click on a row's header selects the whole row, after storing the pending row.
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            auto* me = static_cast<QMouseEvent*>(event);
            const int row = verticalHeader()->logicalIndexAt(me->position().toPoint());
            if (event->type() == QEvent::MouseButtonPress && row >= 0 && !busy_) {
                emit gridClicked();
                selectWholeRow(row);
            }
            return true;
        }
        if (event->type() == QEvent::MouseMove) return true;
    }
    return QTableView::eventFilter(watched, event);
}

// --- the cell editor ---------------------------------------------------------------------------

void BoundGrid::editorCreated(QWidget* editor, const QModelIndex& index) {
    editor_ = editor;
    editorIndex_ = index;
    editorEdited_ = false;
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        connect(line, &QLineEdit::textChanged, this,
                [this, line](const QString& text) { editorTextChanged(line, text); });
        // Whatever way text enters the cell (typed, pasted, dropped), each character passes the
        // rule's key filter.
        filterTextEntry(line, [this, line](QChar& ch) { return editorAdmits(line, ch); });
    }
}

void BoundGrid::loadEditor(QWidget* editor, const QModelIndex& index) {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return;
    // The view reloads open editors when the row's data change (the buffer began, a rule
    // rewrote another cell); what the user has typed is kept.
    if (editor == editor_ && editorEdited_) return;
    QScopedValueRollback<bool> guard(settingEditorText_, true);
    line->setText(model_->displayText(model_->value(index.row(), index.column()), index.column()));
}

void BoundGrid::takeEditor(QWidget* editor) {
    if (editor != editor_ || !editorEdited_ || !editorIndex_.isValid()) return;
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return;
    editorEdited_ = false;
    const int row = editorIndex_.row();
    const int column = editorIndex_.column();
    const QString text = line->text();
    QScopedValueRollback<bool> guard(busy_, true);
    model_->acceptValue(row, column, text);
}

void BoundGrid::finishEditor(bool take) {
    QWidget* editor = editor_;
    if (!editor) return;
    auto* line = qobject_cast<QLineEdit*>(editor);
    const bool edited = editorEdited_;
    const QPersistentModelIndex index = editorIndex_;
    const QString text = line ? line->text() : QString();
    editor_ = nullptr;
    editorEdited_ = false;
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (take && edited && index.isValid()) {
        QScopedValueRollback<bool> guard(busy_, true);
        model_->acceptValue(index.row(), index.column(), text);
    }
}

void BoundGrid::editorTextChanged(QLineEdit* editor, const QString& text) {
    if (settingEditorText_ || editor != editor_ || !editorIndex_.isValid()) return;
    editorEdited_ = true;
    const int row = editorIndex_.row();
    const int column = editorIndex_.column();
    if (!model_->hasPending() || model_->pendingViewRow() != row) {
        if (model_->hasPending()) return;  // another row is in edit (refused); edit() keeps this from happening
        QScopedValueRollback<bool> guard(busy_, true);
        if (!model_->beginEdit(row)) return;
        emit editStarted(column);
    }
    QString shown = text;
    if (GridRule* r = model_->rule()) {
        QScopedValueRollback<bool> guard(busy_, true);
        r->textChanged(*model_->pending(), column, shown);
    }
    if (shown != text && editor_ == editor) {
        QScopedValueRollback<bool> guard(settingEditorText_, true);
        editor->setText(shown);
        editor->setCursorPosition(shown.size());
    }
    emit cellTextChanged(column, shown);
}

bool BoundGrid::editorKey(QWidget* editor, QKeyEvent* event) {
    if (editor != editor_) return false;
    if (busy_) return true;
    // While a pick list of the grid is open under the cell, the vertical keys choose in it
    // (Enter then takes the cell's value, and the grid's rule reads the list's choice).
    if (!(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier))) {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (QWidget* list = openPickList()) {
                QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text());
                QApplication::sendEvent(list, &copy);
                return true;
            }
            break;
        default:
            break;
        }
    }
    // Typed text enters the cell through its filter (see editorCreated), as pasted text does.
    return navigationKey(event, true);
}

bool BoundGrid::editorAdmits(QWidget* editor, QChar& ch) {
    GridRule* r = model_->rule();
    if (!r) return true;
    if (editor != editor_ || !editorIndex_.isValid() || busy_) return false;
    QScopedValueRollback<bool> guard(busy_, true);
    return r->keyTyped(model_->rowAt(editorIndex_.row()), editorIndex_.column(), ch);
}

// --- focus -------------------------------------------------------------------------------------

// The grid is left when the focus, last held by the grid (its cells, its editor, its pick
// lists), lands on another control of the grid's window, whatever happened in between: the
// window deactivated (no focus at all), a message box or another window took the focus and
// gave it back. Focus going to another window is not leaving the grid, since the focus
// comes back: a message box the grid's own rule opened must not store the row it is about.
void BoundGrid::focusChanged(QWidget*, QWidget* now) {
    if (!now) return;  // the window deactivated: where the focus goes next decides
    if (isInside(now) || isCompanion(now)) {
        focusWasInside_ = true;
        return;
    }
    if (now->window() != window()) return;  // a message box, another window, a popup
    if (!focusWasInside_ || leavePosted_) return;
    leavePosted_ = true;
    // Stored from the event loop, not from inside the focus change.
    QTimer::singleShot(0, this, &BoundGrid::leaveGrid);
}

void BoundGrid::leaveGrid() {
    leavePosted_ = false;
    // Not now: the focus left again (a message box, another window), or the grid is storing
    // a row. The next time the focus lands on another control of the window, the grid stores.
    if (busy_) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && !modal->isAncestorOf(this)) return;
    if (QApplication::activePopupWidget()) return;
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != window()) return;
    if (isInside(focus) || isCompanion(focus)) return;  // back in the grid: not left after all
    focusWasInside_ = false;
    commit();
}

}  // namespace kalto

#include "toolkit/PickList.h"

#include "toolkit/BoundGrid.h"

#include <QKeyEvent>

namespace kalto {

PickList::PickList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    hide();
}

void PickList::addEntry(const QString& text, int itemData) {
    auto* item = new QListWidgetItem(text, this);
    item->setData(Qt::UserRole, itemData);
}

QString PickList::currentText() const {
    const QListWidgetItem* item = currentItem();
    return item ? item->text() : QString();
}

int PickList::currentData() const {
    const QListWidgetItem* item = currentItem();
    if (!item) return -1;
    bool ok = false;
    const int v = item->data(Qt::UserRole).toInt(&ok);
    return ok ? v : -1;
}

void PickList::close() {
    // The focus goes back to the grid before the list hides, so that hiding the list does
    // not hand the focus to some other control (which would count as leaving the grid).
    if (hasFocus() && returnFocus_ && returnFocus_->isVisible()) returnFocus_->setFocus(Qt::OtherFocusReason);
    hide();
}

void PickList::accept() {
    emit accepted();
    close();
}

void PickList::cancel() {
    close();
    emit cancelled();
}

void PickList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        event->accept();
        return;
    case Qt::Key_Escape:
        cancel();
        event->accept();
        return;
    default:
        QListWidget::keyPressEvent(event);
    }
}

void PickList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (currentItem()) accept();
}

void PickList::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    // A popup (a context menu) or a window change does not close the list.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) return;
    hide();
}

void placeUnderCell(BoundGrid* grid, int column, PickList* list, bool doubleWidth) {
    if (!grid || !list || !grid->isColumnVisible(column)) return;
    QWidget* host = list->parentWidget();
    const int row = grid->currentRow() >= 0 ? grid->currentRow() : 0;
    const int top = grid->rowTop(row);
    const int left = grid->columnLeft(column);
    if (top < 0 || left < 0) return;
    // From the grid's cell area to the list's parent (or the screen for a top-level list).
    const QPoint inViewport(left, top + grid->rowHeight());
    const QPoint global = grid->viewport()->mapToGlobal(inViewport);
    const QPoint at = host ? host->mapFromGlobal(global) : global;
    const int width = doubleWidth ? 2 * grid->columnWidth(column) : grid->columnWidth(column) + 1;
    list->move(at);
    list->resize(width, list->height());
    if (auto* view = qobject_cast<QListWidget*>(list)) {
        if (view->count() > 0) view->setCurrentRow(0);
    }
    if (auto* pick = qobject_cast<PickList*>(list)) pick->setReturnFocus(grid);
    grid->addCompanionWidget(list);
    list->show();
    list->raise();
}

}  // namespace kalto

namespace kalto {

void ColocaListaGrid(BoundGrid* grid, int column, PickList* list) {
    if (!grid || !list) return;
    placeUnderCell(grid, column, list, list->objectName() == QLatin1String("lstFraccion"));
    list->setFocus();
}

}  // namespace kalto

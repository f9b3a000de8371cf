#pragma once
// A pick list that opens under a grid cell (lstUM, lstServicio, ...): entries with a text and
// an integer item value, hidden at start. Enter or a double click accepts the current entry,
// Escape cancels; both hide the list and give the focus back to the grid it was placed
// under. Losing the focus hides it.

#include <QListWidget>
#include <QPointer>

namespace kalto {

class BoundGrid;

class PickList : public QListWidget {
    Q_OBJECT
public:
    explicit PickList(QWidget* parent = nullptr);

    void addEntry(const QString& text, int itemData);
    // The current entry's text and item value (empty / -1 when there is no current entry).
    QString currentText() const;
    int currentData() const;
    bool hasCurrentEntry() const { return currentRow() >= 0; }

    // Where the focus goes when the list closes (placeUnderCell sets the grid).
    void setReturnFocus(QWidget* widget) { returnFocus_ = widget; }

public slots:
    // Enter / double click: emits accepted() with the entry still current, then hides.
    void accept();
    // Escape: hides, then emits cancelled().
    void cancel();

signals:
    void accepted();
    void cancelled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void close();
    QPointer<QWidget> returnFocus_;
};

// Puts `list` at the left of `column`'s cell and just below the grid's current row (in the
// coordinates of the list's parent), as wide as the column plus one pixel, or twice the
// column's width when `doubleWidth`; selects its first entry, shows it and raises it. The
// list becomes a companion of the grid (its focus does not count as leaving the grid).
// Errors (no grid, no list, a hidden column) are ignored: the list stays where it was.
void placeUnderCell(BoundGrid* grid, int column, PickList* list, bool doubleWidth);

// Opens a pick list under a grid cell and gives it the focus: the list shows its entries
// as they are now (callers refill it first when its entries may have changed). The tariff
// item list ("lstFraccion") is twice the column's width.
void ColocaListaGrid(BoundGrid* grid, int column, PickList* list);

}  // namespace kalto

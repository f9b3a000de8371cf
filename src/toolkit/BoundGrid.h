#pragma once
// The record-bound data grid every window uses: a QTableView over the record set of a
// DataSource, with numbered columns, an empty add-new row at the bottom and a row buffer
// that is written to the table only when the user leaves the row.
//
// Row buffer: when the user starts changing a row (typing into a cell, a pick list writing
// a value) the grid keeps what the row held and what was typed since (GridRow). A new row
// lives only in that buffer until it is stored. Every way of leaving a row (arrow up/down,
// another row clicked, Enter on the last column, the grid losing the focus, a refresh, a
// caller's commit()) stores it through commit(), which may refuse: then the row stays in
// edit and the move does not happen. Escape discards the buffer.
//
// The grid's behaviour (kind codes of a new row, checks after a cell is accepted, refusals
// before a row is stored or deleted, keys admitted) comes from a GridRule; messages go
// through Messages. Rows are identified by record number, never by their place in the view.

#include "core/GridRule.h"

#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

#include <memory>

class QLineEdit;

namespace kalto {

class DataSource;
class Messages;
class BoundGridModel;
class BoundGridDelegate;

class BoundGrid : public QTableView {
    Q_OBJECT
public:
    explicit BoundGrid(QWidget* parent = nullptr);
    ~BoundGrid() override;

    // Binds the grid to `source` with these columns (grid column i shows the record-set
    // column named columns[i].field, matched without regard to case). `rule` may be null
    // (plain grid); `messages` shows the grid's own messages (a refused write, a value that is
    // not a number); null means real message boxes. The source's commitRequested/refreshed
    // signals keep the grid in step: before a refresh, a close or a pack of its table a
    // changed row is stored first (a new row is kept); the rows are shown again after.
    void bind(DataSource* source, const QList<GridColumn>& columns, GridRule* rule, Messages* messages);
    DataSource* dataSource() const;
    GridRule* rule() const;
    BoundGridModel* gridModel() const { return model_; }

    // Rows shown above the add-new row: the stored rows plus a new row being typed.
    // An empty table counts 0.
    int rowCount() const;
    // Grid columns, visible or not.
    int columnCount() const;
    // The add-new row's index (== rowCount()), -1 when there is none.
    int addNewRow() const;

    // Current row in the view (0-based; rowCount() is the add-new row), -1 when none.
    int currentRow() const;
    int currentColumn() const;
    // Moves to `row` (keeping the current column) through commit(); false when the pending
    // row was refused and the move did not happen.
    bool setCurrentRow(int row);
    bool setCurrentCell(int row, int column);

    // Values shown: a row in edit shows its buffer. Null for the add-new row or a bad index.
    QVariant cellValue(int row, int column) const;
    QVariant currentValue(int column) const;
    QString currentText(int column) const { return currentValue(column).toString(); }
    // Writes into the current row's buffer, starting an edit (a new row when the current row
    // is the add-new row). No cellAccepted rule runs. An open editor on that cell is closed
    // without taking its text. False when there is no current row or the grid is not editable.
    bool setCurrentValue(int column, const QVariant& value);

    // Columns.
    QString columnCaption(int column) const;
    QString columnField(int column) const;
    void setColumnVisible(int column, bool visible);
    bool isColumnVisible(int column) const;
    // Geometry in the viewport: x of the column's left edge, y of the row's top edge, and the
    // height of a row. -1 when the column is hidden or the row is not laid out.
    int columnLeft(int column) const;
    int rowTop(int row) const;
    using QTableView::rowHeight;
    int rowHeight() const;

    // The row buffer: null when no row is in edit.
    GridRow* pendingRow();
    const GridRow* pendingRow() const;
    // A row is in edit (changed or new, not yet stored).
    bool isEditing() const;
    // An editor is open on a cell.
    bool isCellEditorOpen() const;

    // Widgets whose focus does not count as leaving the grid (pick lists); placeUnderCell
    // adds the list it places. While such a list is visible, Up/Down/PageUp/PageDown typed
    // in the cell editor move in the list instead of leaving the row.
    void addCompanionWidget(QWidget* widget);

    // Selects the whole row (as a click on its header does), after storing the pending row;
    // Delete then deletes it. Shift+Space selects the current row from the keyboard.
    bool selectWholeRow(int row);
    bool isWholeRowSelected(int row) const;

    using QTableView::edit;

public slots:
    // Takes the open editor's text into the row (running the cell rules) and stores the row
    // in edit. True when nothing is left pending; false when a rule or the table refused it
    // (the message has been shown, the row stays in edit).
    bool commit();
    // Forgets the row buffer: a changed row gets its stored values back, a new row goes.
    void discard();
    // Deletes the current stored row (beforeDelete may refuse). A new row being typed is
    // discarded instead. True when a row went away.
    bool deleteCurrentRow();

signals:
    // A new row was begun in the add-new row (after the rule's newRow).
    void rowBegun();
    // An edit of a row began (first change of a stored row, or a new row).
    void editStarted(int column);
    // The user is about to edit `column` of the current row: an editor opens on it.
    void beforeEdit(int column);
    // The text in the editor of `column` changed (after the rule's textChanged).
    void cellTextChanged(int column, const QString& text);
    // A cell's value was accepted into the row (after the rule's cellAccepted).
    void cellAccepted(int column);
    // F4 or Alt+Down on a cell: the column's pick list, if it has one, should open.
    void columnButtonPressed(int column);
    // The row in edit was written (after afterInsert/afterUpdate).
    void rowStored();
    // A row was deleted (after afterDelete).
    void rowDeleted();
    // The current row of the view changed (emitted after the move, never before a commit).
    void currentRowChanged(int row);
    // The grid was clicked (mouse press in a cell or on a row header).
    void gridClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class BoundGridDelegate;

    // The cell editor, called by the delegate.
    void editorCreated(QWidget* editor, const QModelIndex& index);
    void loadEditor(QWidget* editor, const QModelIndex& index);
    void takeEditor(QWidget* editor);
    bool editorKey(QWidget* editor, QKeyEvent* event);
    // A character entering the open editor, through the rule's key filter.
    bool editorAdmits(QWidget* editor, QChar& ch);
    void editorTextChanged(QLineEdit* editor, const QString& text);
    // Takes the open editor's text (when the user changed it) into the row; closes it.
    void finishEditor(bool take);

    // Moving: the pending row is stored when the move leaves it; false when refused.
    bool moveTo(int row, int column);
    bool leaveRowFor(int targetRow);
    bool navigationKey(QKeyEvent* event, bool inEditor);
    int verticalTarget(const QKeyEvent* event) const;
    void restoreCurrent(int row, int column, int fallbackRow);
    void reloadKeepingCurrent();
    int firstVisibleColumn() const;
    int nextVisibleColumn(int column, int step) const;

    void sourceCommitRequested(bool* committed);
    void sourceRefreshed();
    void focusChanged(QWidget* old, QWidget* now);
    void leaveGrid();
    bool isInside(QWidget* widget) const;
    bool isCompanion(QWidget* widget) const;
    QWidget* openPickList() const;  // a visible companion list, if any
    void applyColumns();

    BoundGridModel* model_ = nullptr;
    BoundGridDelegate* delegate_ = nullptr;
    std::unique_ptr<Messages> ownMessages_;
    QPointer<QWidget> editor_;
    QPersistentModelIndex editorIndex_;
    bool editorEdited_ = false;
    bool settingEditorText_ = false;
    bool busy_ = false;
    bool leavePosted_ = false;
    bool focusWasInside_ = false;  // the focus was last on the grid, its editor or a pick list
    int lastRow_ = -1;
    QList<QPointer<QWidget>> companions_;
};

}  // namespace kalto

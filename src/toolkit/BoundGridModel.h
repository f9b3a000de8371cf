#pragma once
// The table model under a BoundGrid: the rows of a DataSource's record set (by record
// number), the row buffer of the row in edit and the empty add-new row at the bottom.
//
// View rows: the stored rows come first, in the record set's order; then,
// when a new row is being typed (or an edited row is no longer in the record set after a
// refresh), that row; then the add-new row, when the record set is updatable.
//
// The model keeps its own copy of the values it shows, read from the record set when it is
// loaded and after each write, so what the view shows changes only when the model says so.
//
// Storing a changed row writes only the cells whose value in the buffer differs from what the
// row held when the edit began (typed by the user or rewritten by the rule), over what the
// record holds at that moment, so that a statement that changed other fields of the record
// meanwhile is not undone. A row in edit is tied to its record number in the table file it
// was read from: when that file is replaced (a pack), the row is never written to the new one.

#include "core/GridRule.h"
#include "data/DataSource.h"
#include "data/Dbf.h"

#include <QAbstractTableModel>
#include <QPointer>

#include <memory>
#include <optional>

namespace kalto {

class Messages;
class RecordSet;

class BoundGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BoundGridModel(QObject* parent = nullptr);
    ~BoundGridModel() override;

    void bind(DataSource* source, const QList<GridColumn>& columns, GridRule* rule, Messages* messages);
    DataSource* dataSource() const { return source_; }
    GridRule* rule() const { return rule_; }
    Messages* messages() const { return messages_; }

    const QList<GridColumn>& columns() const { return columns_; }
    void setColumnVisible(int column, bool visible);
    // The record-set column a grid column shows (-1 when the record set has no such column).
    int recordSetColumn(int column) const;
    // The table field of a grid column (null when not known: no table, or not a table column).
    const DbfField* field(int column) const;

    // The record set is open and updatable (as of the last load).
    bool isWritable() const { return writable_; }

    // Rows above the add-new row.
    int dataRowCount() const;
    // The add-new row's index, -1 when there is none.
    int addNewRow() const;
    bool isAddNewRow(int row) const { return row >= 0 && row == addNewRow(); }
    int recordNumber(int row) const;   // 0 for a new row or the add-new row
    int rowOfRecord(int recno) const;  // stored rows only; -1 when absent

    // The value shown in a cell: the buffer for the row in edit.
    QVariant value(int row, int column) const;
    // A copy of a row: the buffer, the stored values, or an empty new row.
    GridRow rowAt(int row) const;
    QString displayText(const QVariant& value, int column) const;

    // The row buffer.
    bool hasPending() const { return edited_.has_value(); }
    int pendingViewRow() const;  // -1 when none
    GridRow* pending() { return edited_ ? &*edited_ : nullptr; }
    const GridRow* pending() const { return edited_ ? &*edited_ : nullptr; }
    const GridRow* original() const { return original_ ? &*original_ : nullptr; }

    // Starts the buffer for `row` (a new row on the add-new row: the rule's newRow runs).
    // False when the row cannot be edited or another row is in edit.
    bool beginEdit(int row);
    // Writes a value into the buffer (converted as a typed value would be); no rule runs.
    void setPendingValue(int column, const QVariant& value);
    // A typed value accepted into `row`: converted, put in the buffer, then the rule's
    // cellAccepted runs.
    void acceptValue(int row, int column, const QVariant& value);
    // The one conversion of a value to what the column stores: empty -> null; numeric
    // columns take a trimmed number with no more decimals than the field has (a text that is
    // not such a number gives false, *out keeps the text); logical and date columns likewise;
    // character columns take the text as typed. *error names the column by its caption.
    bool toColumnValue(int column, const QVariant& in, QVariant* out, QString* error) const;
    // Whether a converted value fits the column's field (text length and characters of the
    // table's code page, digits of a number); false with a message naming the caption.
    bool fitsColumn(int column, const QVariant& value, QString* error) const;
    // The name of a column as the user sees it: its caption, or its field when it has none.
    QString columnTitle(int column) const;

    // Stores the buffer. True when nothing is left pending.
    bool commit();
    // Forgets the buffer.
    void discard();
    // Deletes a stored row (the rule may refuse); a new row in edit is discarded.
    bool deleteRow(int row);
    // Reads the record set's rows again, keeping the buffer. False when the rows now come
    // from another table file than before (a pack replaced it): record numbers changed meaning.
    bool reload();
    // The row in edit was read from a table file that has since been replaced: it can no
    // longer be written (its record number means another record now).
    bool isPendingStale() const;

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void rowBegun();
    void cellAccepted(int column);
    void rowStored();
    void rowDeleted();

private:
    struct Row {
        int recno = 0;
        QVariantList values;  // by grid column
    };

    RecordSet* recordSet() const;
    void mapColumns();
    QVariantList readRow(int position) const;  // record-set row -> values by grid column
    QVariantList readRecord(int recno) const;  // the same for a record, in the record set or not
    int positionOfRecord(int recno) const;     // in the record set; -1 when absent
    bool pendingIsExtra() const;               // shown below the stored rows
    void rowChanged(int row);
    bool writePending(QString* error, int* recno);
    QString withCaptions(const QString& error) const;  // table messages: field names -> captions
    std::shared_ptr<DbfTable> liveTable() const;       // the table file the record set is over now
    void showError(const QString& text) const;

    QPointer<DataSource> source_;
    GridRule* rule_ = nullptr;
    Messages* messages_ = nullptr;
    QList<GridColumn> columns_;
    QList<int> map_;  // grid column -> record-set column
    QList<Row> rows_;
    bool writable_ = false;
    bool committing_ = false;
    std::optional<GridRow> original_;
    std::optional<GridRow> edited_;
    std::weak_ptr<DbfTable> loadedTable_;  // the table file the rows were read from
    std::weak_ptr<DbfTable> editTable_;    // the table file the row in edit was read from
};

}  // namespace kalto

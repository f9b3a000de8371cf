#pragma once
// A cursor over a table or a query of the data folder.
//
// A record set over a table name, or over "select * from <table> [where/order by ...]",
// is updatable: it holds the record numbers of its rows and reads their values from the
// table, and its writes go straight to the file. Any other query (aggregates, chosen
// columns, group by, distinct) gives a read-only record set holding its values.

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace kalto {

class Database;
class DbfTable;

class RecordSet {
public:
    RecordSet(Database* db, const QString& source);
    RecordSet() = default;

    void setDatabase(Database* db) { db_ = db; }
    Database* database() const { return db_; }
    QString source() const { return source_; }
    void setSource(const QString& source) { source_ = source; }

    // (Re)runs the source; the current row becomes the first. Bound `params` fill the
    // source's '?' placeholders.
    bool open(QString* error = nullptr);
    bool open(const QVariantList& params, QString* error);
    bool refresh(QString* error = nullptr) { return open(params_, error); }
    void close();
    bool isOpen() const { return open_; }
    QString lastError() const { return error_; }

    bool isUpdatable() const { return table_ != nullptr; }
    DbfTable* table() const { return table_; }
    // The table file the rows were read from (null for a read-only record set). A pack
    // replaces the table: a record number is valid only for the table it was read from.
    std::shared_ptr<DbfTable> sharedTable() const { return shared_; }
    QString tableName() const { return tableName_; }

    int count() const;
    int columnCount() const { return columns_.size(); }
    QString columnName(int column) const;
    int columnIndex(const QString& name) const;  // without regard to case; -1 when absent

    // Navigation. position() is -1 before the first row and count() past the last.
    int position() const { return pos_; }
    bool eof() const { return pos_ >= count() || count() == 0; }
    bool bof() const { return pos_ < 0 || count() == 0; }
    void moveFirst() { pos_ = 0; }
    void moveNext() { if (pos_ < count()) ++pos_; }
    void movePrevious() { if (pos_ >= 0) --pos_; }
    void moveLast() { pos_ = count() - 1; }
    void moveTo(int row) { pos_ = row; }

    // Current row.
    QVariant value(int column) const { return valueAt(pos_, column); }
    QVariant value(const QString& name) const { return valueAt(pos_, columnIndex(name)); }
    QVariant valueAt(int row, int column) const;
    QVariantList rowValues(int row) const;
    int recordNumber(int row) const;  // 1-based record number in the table, 0 for read-only

    // Finds the first row from the top whose `column` matches `pattern`, in which '*'
    // matches any run of characters, letter case ignored; it becomes the current row.
    // Without a match the current row stays.
    bool findFirst(const QString& column, const QString& pattern);

    // Writes (updatable record sets only). Values are given by column of the record set.
    // A refused write changes nothing and returns false with a Spanish message.
    bool insertRow(const QVariantList& values, int* row, QString* error);
    bool updateRow(int row, const QVariantList& values, QString* error);
    bool removeRow(int row, QString* error);
    // Rewrites the record `recordNumber` (1-based) of the table, also when a refresh has
    // left it out of this record set; the same checks as updateRow.
    bool updateRecord(int recordNumber, const QVariantList& values, QString* error);
    // Writes `values` (record-set column -> value) over what the record `recordNumber` holds
    // now; its other fields keep their current values, whoever wrote them. Also for a record
    // a refresh has left out; the same checks as updateRow.
    bool updateFields(int recordNumber, const QMap<int, QVariant>& values, QString* error);

    // The add/edit/update cycle on the current row.
    void addNew();
    void edit();
    void setValue(int column, const QVariant& value);
    void setValue(const QString& name, const QVariant& value) { setValue(columnIndex(name), value); }
    bool update(QString* error = nullptr);
    void cancelUpdate();
    bool removeCurrent(QString* error = nullptr) { return removeRow(pos_, error); }
    bool isEditing() const { return editMode_ != None; }

private:
    enum EditMode { None, Adding, Editing };
    bool writable(QString* error, const QVariantList* values = nullptr);

    Database* db_ = nullptr;
    QString source_;
    QVariantList params_;
    bool open_ = false;
    QString error_;
    std::shared_ptr<DbfTable> shared_;
    DbfTable* table_ = nullptr;
    QString tableName_;
    QStringList columns_;
    QList<int> recnos_;               // updatable: 0-based record numbers
    QList<QVariantList> rows_;        // read-only: values
    int pos_ = -1;
    EditMode editMode_ = None;
    QVariantList editBuffer_;
};

// "*"-wildcard and "%"/"_" LIKE matching, letter case ignored (accented letters and Ñ too).
bool likeMatch(const QString& pattern, const QString& text, QChar many = QLatin1Char('%'),
               QChar one = QLatin1Char('_'));
// The comparison key used for text: letter case folded, accents kept.
QString foldCase(const QString& text);

}  // namespace kalto

#pragma once
// A named record-set provider of a window (dtsDireccion, dtsAux, ...): a folder, a record
// source (table name or SELECT) that can be changed, and one open record set.
//
// The record numbers a bound grid holds for a row in edit are valid only while the record set
// reads the same table file. So every change that may move them goes through the source,
// which first asks its grids to store such a row (commitRequested): a refresh, a close, and
// a pack of the table (packTable), which is refused while a row cannot be stored.

#include "data/RecordSet.h"

#include <QObject>

namespace kalto {

class DataSource : public QObject {
    Q_OBJECT
public:
    DataSource(const QString& name, Database* db, const QString& recordSource,
               QObject* parent = nullptr);
    ~DataSource() override;

    QString name() const { return objectName(); }
    QString recordSource() const { return recordSet_.source(); }
    void setRecordSource(const QString& source, const QVariantList& params = {});
    QVariantList params() const { return params_; }
    void setDatabase(Database* db) { recordSet_.setDatabase(db); }
    Database* database() const { return recordSet_.database(); }
    QString tag() const { return tag_; }
    void setTag(const QString& tag) { tag_ = tag; }

    // Asks the bound grids to store a changed row now (a new row being typed is kept: it has
    // no record number). False when a row could not be stored (its grid showed why).
    bool commitPending();
    // Reopens the record set with its current source, after commitPending (a row that could
    // not be stored stays in edit in its grid); refreshed then tells the grids to show the
    // new rows.
    bool refresh(QString* error = nullptr);
    // Closes the record set, after commitPending; false when a row could not be stored (it
    // stays in edit, and is never written to another table file than its own).
    bool close();
    RecordSet& recordSet() { return recordSet_; }
    const RecordSet& recordSet() const { return recordSet_; }
    // The table the record set reads or last read (empty for a read-only query).
    QString tableName() const { return tableName_; }

    // Rewrites `table` of `db` without its deleted records while windows are open on it. Every
    // data source over that table (open, or closed after reading it) first stores its grids'
    // changed rows; when one cannot be stored nothing is packed and *error says why. After the
    // pack, the sources that were open over the table are opened again.
    static bool packTable(Database* db, const QString& table, QString* error);
    // The same for putting the file `newFile` in place of `table` (Database::replace).
    static bool replaceTable(Database* db, const QString& table, const QString& newFile, QString* error);

signals:
    // Bound grids store a changed row (its record number is about to lose its meaning); a
    // grid whose row could not be stored sets *committed to false.
    void commitRequested(bool* committed);
    void refreshed();

private:
    RecordSet recordSet_;
    QVariantList params_;
    QString tag_;
    QString tableName_;
};

}  // namespace kalto

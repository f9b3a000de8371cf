#pragma once
// A named record-set provider of a window (dtsDireccion, dtsAux, ...): a folder, a record
// source (table name or SELECT) that can be changed, and one open record set.

#include "data/RecordSet.h"

#include <QObject>

namespace kalto {

class DataSource : public QObject {
    Q_OBJECT
public:
    DataSource(const QString& name, Database* db, const QString& recordSource,
               QObject* parent = nullptr);

    QString name() const { return objectName(); }
    QString recordSource() const { return recordSet_.source(); }
    void setRecordSource(const QString& source, const QVariantList& params = {});
    QVariantList params() const { return params_; }
    void setDatabase(Database* db) { recordSet_.setDatabase(db); }
    Database* database() const { return recordSet_.database(); }
    QString tag() const { return tag_; }
    void setTag(const QString& tag) { tag_ = tag; }

    // Reopens the record set with its current source. aboutToRefresh lets bound grids
    // store or keep a pending row first; refreshed tells them to show the new rows.
    bool refresh(QString* error = nullptr);
    void close();
    RecordSet& recordSet() { return recordSet_; }
    const RecordSet& recordSet() const { return recordSet_; }

signals:
    void aboutToRefresh();
    void refreshed();

private:
    RecordSet recordSet_;
    QVariantList params_;
    QString tag_;
};

}  // namespace kalto

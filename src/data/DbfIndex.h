#pragma once
// The index of a table's integer field: for each key, the live records that hold it, in
// increasing order. DbfTable builds one on the first lookup of a field and keeps it current
// through every write.

#include <QHash>
#include <QList>
#include <QVariant>

namespace kalto::dbf {

class DbfIndex {
public:
    void reserve(qsizetype keys) { lists_.reserve(keys); }
    void add(qint64 key, int recno);
    void remove(qint64 key, int recno);
    // The records holding `key`, in increasing order; an empty list when none does. Valid until
    // the next add() or remove().
    const QList<int>& find(qint64 key) const;

private:
    QHash<qint64, QList<int>> lists_;
};

// The key of a field's value: an integer, or a double that holds one. False for anything else.
bool integerKey(const QVariant& value, qint64* key);

}  // namespace kalto::dbf

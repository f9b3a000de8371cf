#pragma once
// The index of a table's integer field: for each key, the live records that hold it, in
// increasing order. DbfTable builds one on the first lookup of a field and keeps it current
// through every write.

#include <QHash>
#include <QList>
#include <QVariant>

#include <optional>

namespace kalto::dbf {

class DbfIndex {
public:
    void reserve(qsizetype keys) { lists_.reserve(keys); }
    void add(qint64 key, int recno);
    void remove(qint64 key, int recno);
    // The records holding `key`, in increasing order; an empty list when none does. Valid until
    // the next add() or remove().
    const QList<int>& find(qint64 key) const;
    // The greatest key a live record holds, or none; kept as keys come and reckoned again only
    // when the greatest one goes.
    std::optional<qint64> highest();

private:
    QHash<qint64, QList<int>> lists_;
    std::optional<qint64> highest_;
    bool highestKnown_ = true;
};

// The key of a field's value: an integer, or a double that holds one. False for anything else.
bool integerKey(const QVariant& value, qint64* key);

}  // namespace kalto::dbf

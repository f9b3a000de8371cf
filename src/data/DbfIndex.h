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
    void reserve(qsizetype keys) { keys_.reserve(keys); }
    void add(qint64 key, int recno);
    void remove(qint64 key, int recno);
    // The records holding `key`, in increasing order; none when no record does. Valid until the
    // next add() or remove().
    struct Records {
        const int* first = nullptr;
        qsizetype size = 0;
    };
    Records find(qint64 key) const;
    // The greatest key a live record holds, or none; kept as keys come and reckoned again only
    // when the greatest one goes.
    std::optional<qint64> highest();

private:
    // Most keys of an identifier field are held by one record: its number is the key's value.
    // A key held by more has -1 - the place of their list in lists_.
    QHash<qint64, int> keys_;
    QList<QList<int>> lists_;
    QList<int> unused_;  // places in lists_ that no key has
    std::optional<qint64> highest_;
    bool highestKnown_ = true;
};

// The key of a field's value: an integer, or a double that holds one. False for anything else.
bool integerKey(const QVariant& value, qint64* key);

}  // namespace kalto::dbf

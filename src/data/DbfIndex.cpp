#include "data/DbfIndex.h"

#include "data/Dbf.h"

#include <algorithm>
#include <cmath>

namespace kalto {

namespace dbf {

namespace {
const QList<int> kNoRecords;
}

void DbfIndex::add(qint64 key, int recno) {
    if (highestKnown_ && (!highest_ || key > *highest_)) highest_ = key;
    QList<int>& list = lists_[key];
    if (list.isEmpty() || list.constLast() < recno)
        list.append(recno);
    else
        list.insert(std::lower_bound(list.begin(), list.end(), recno), recno);
}

void DbfIndex::remove(qint64 key, int recno) {
    auto found = lists_.find(key);
    if (found == lists_.end())
        return;
    QList<int>& list = found.value();
    auto pos = std::lower_bound(list.begin(), list.end(), recno);
    if (pos != list.end() && *pos == recno)
        list.erase(pos);
    if (list.isEmpty()) {
        lists_.erase(found);
        if (highest_ == key) highestKnown_ = false;
    }
}

std::optional<qint64> DbfIndex::highest() {
    if (!highestKnown_) {
        highest_.reset();
        for (auto it = lists_.cbegin(); it != lists_.cend(); ++it)
            if (!highest_ || it.key() > *highest_) highest_ = it.key();
        highestKnown_ = true;
    }
    return highest_;
}

const QList<int>& DbfIndex::find(qint64 key) const {
    auto found = lists_.constFind(key);
    return found == lists_.constEnd() ? kNoRecords : found.value();
}

bool integerKey(const QVariant& value, qint64* key) {
    if (value.typeId() == QMetaType::LongLong) {
        *key = value.toLongLong();
        return true;
    }
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 9.2e18) {
            *key = qint64(d);
            return true;
        }
    }
    return false;
}

}  // namespace dbf

bool DbfTable::isIntegerField(int field) const {
    return field >= 0 && field < fields_.size() && fields_[field].type == DbfType::Numeric && fields_[field].decimals == 0;
}

void DbfTable::indexRecord(int recno, bool add) {
    if (indexes_.isEmpty() || isDeleted(recno))
        return;
    for (auto it = indexes_.begin(); it != indexes_.end(); ++it) {
        qint64 key = 0;
        if (!keyOf(recno, it.key(), &key))
            continue;
        if (add)
            it.value().add(key, recno);
        else
            it.value().remove(key, recno);
    }
}

dbf::DbfIndex& DbfTable::indexOf(int field) {
    auto it = indexes_.find(field);
    if (it == indexes_.end()) {
        dbf::DbfIndex index;
        index.reserve(count_ - deleted_);
        for (int r = 0; r < count_; ++r) {
            qint64 k = 0;
            if (!isDeleted(r) && keyOf(r, field, &k))
                index.add(k, r);
        }
        it = indexes_.emplace(field, std::move(index));
    }
    return it.value();
}

bool DbfTable::keyOf(int recno, int field, qint64* key) const {
    QByteArray buffer;
    const dbf::SqlValue v = sqlValue(recno, field, &buffer);
    if (v.kind == dbf::SqlValue::Integer) {
        *key = v.integer;
        return true;
    }
    return v.kind == dbf::SqlValue::Real && dbf::integerKey(QVariant(v.real), key);
}

const QList<int>* DbfTable::lookup(int field, qint64 key) {
    return isIntegerField(field) ? &indexOf(field).find(key) : nullptr;
}

std::optional<qint64> DbfTable::highestKey(int field) {
    return isIntegerField(field) ? indexOf(field).highest() : std::nullopt;
}

}  // namespace kalto

#include "data/DbfIndex.h"

#include "data/Dbf.h"

#include <algorithm>
#include <cmath>

namespace kalto {

namespace dbf {

void DbfIndex::add(qint64 key, int recno) {
    if (highestKnown_ && (!highest_ || key > *highest_)) highest_ = key;
    auto found = keys_.find(key);
    if (found == keys_.end()) {
        keys_.insert(key, recno);
        return;
    }
    if (*found >= 0) {  // a second record: the key gets a list
        const int place = unused_.isEmpty() ? int(lists_.size()) : unused_.takeLast();
        if (place == lists_.size())
            lists_.append(QList<int>());
        lists_[place] = {*found};
        *found = -1 - place;
    }
    QList<int>& list = lists_[-1 - *found];
    if (list.constLast() < recno)
        list.append(recno);
    else
        list.insert(std::lower_bound(list.begin(), list.end(), recno), recno);
}

void DbfIndex::remove(qint64 key, int recno) {
    auto found = keys_.find(key);
    if (found == keys_.end())
        return;
    if (*found >= 0) {
        if (*found != recno)
            return;
        keys_.erase(found);
        if (highest_ == key) highestKnown_ = false;
        return;
    }
    const int place = -1 - *found;
    QList<int>& list = lists_[place];
    auto pos = std::lower_bound(list.begin(), list.end(), recno);
    if (pos != list.end() && *pos == recno)
        list.erase(pos);
    if (list.size() == 1) {  // one record again: no list
        *found = list.constFirst();
        list.clear();
        unused_.append(place);
    }
}

std::optional<qint64> DbfIndex::highest() {
    if (!highestKnown_) {
        highest_.reset();
        for (auto it = keys_.cbegin(); it != keys_.cend(); ++it)
            if (!highest_ || it.key() > *highest_) highest_ = it.key();
        highestKnown_ = true;
    }
    return highest_;
}

DbfIndex::Records DbfIndex::find(qint64 key) const {
    auto found = keys_.constFind(key);
    if (found == keys_.constEnd())
        return {};
    if (*found >= 0)
        return {&*found, 1};
    const QList<int>& list = lists_[-1 - *found];
    return {list.constData(), list.size()};
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

std::optional<dbf::DbfIndex::Records> DbfTable::lookup(int field, qint64 key) {
    if (!isIntegerField(field))
        return std::nullopt;
    return indexOf(field).find(key);
}

std::optional<qint64> DbfTable::highestKey(int field) {
    return isIntegerField(field) ? indexOf(field).highest() : std::nullopt;
}

}  // namespace kalto

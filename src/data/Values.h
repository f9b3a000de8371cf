#pragma once
// How a value of a row is told apart: NULL, a number, a text. One place for every layer.

#include <QVariant>

namespace kalto {

inline bool isNullValue(const QVariant& v) {
    return !v.isValid() || v.isNull() || v.typeId() == QMetaType::Nullptr;
}

// A value held as a number (not a text that spells one). Booleans are not numbers here.
inline bool isNumberValue(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// The same value for a row: both null, two numbers of equal value whatever their type (12,
// 12.0), or equal otherwise (texts compare exactly).
inline bool sameValue(const QVariant& a, const QVariant& b) {
    const bool aNull = isNullValue(a);
    const bool bNull = isNullValue(b);
    if (aNull || bNull) return aNull == bNull;
    if (isNumberValue(a) && isNumberValue(b)) {
        const bool aReal = a.typeId() == QMetaType::Double || a.typeId() == QMetaType::Float;
        const bool bReal = b.typeId() == QMetaType::Double || b.typeId() == QMetaType::Float;
        if (!aReal && !bReal) return a.toLongLong() == b.toLongLong();
        return a.toDouble() == b.toDouble();
    }
    if (a.typeId() != b.typeId()) return false;
    return a == b;
}

}  // namespace kalto

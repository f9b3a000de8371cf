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

}  // namespace kalto

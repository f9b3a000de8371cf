#include "core/Numbers.h"

#include "data/Values.h"

#include <QLocale>

#include <climits>
#include <cmath>

namespace kalto {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The longest number at the start of `text` (no blanks skipped): sign, digits, one point,
// digits. *length is how many characters it took (0 when there are no digits).
struct Scan {
    qsizetype length = 0;
    bool point = false;
    int decimals = 0;  // significant digits after the point
};

Scan scanNumber(QStringView text) {
    Scan s;
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    bool digits = false;
    while (i < n && isDigit(text[i])) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        const qsizetype point = i++;
        qsizetype lastSignificant = point;
        while (i < n && isDigit(text[i])) {
            if (text[i] != u'0') lastSignificant = i;
            ++i;
            digits = true;
        }
        if (digits) {
            s.point = true;
            s.decimals = int(lastSignificant - point);
        } else {
            i = point;  // a lone point is not a number
        }
    }
    s.length = digits ? i : 0;
    return s;
}

int decimalsOf(double value) {
    const QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    const qsizetype point = text.indexOf(u'.');
    return point < 0 ? 0 : int(text.size() - point - 1);
}

}  // namespace

QVariant Number::toVariant() const {
    if (integer) return QVariant(*integer);
    return QVariant(value);
}

std::optional<Number> parseNumber(QStringView text) {
    const QStringView t = text.trimmed();
    const Scan s = scanNumber(t);
    if (s.length == 0 || s.length != t.size()) return std::nullopt;
    const QString digits = t.toString();
    Number n;
    bool ok = false;
    if (!s.point) {
        const qlonglong whole = digits.toLongLong(&ok);
        if (ok) n.integer = whole;
    }
    n.value = digits.toDouble(&ok);  // '.' whatever the locale
    if (!ok || !std::isfinite(n.value)) return std::nullopt;
    n.decimals = s.decimals;
    return n;
}

std::optional<Number> numberOf(const QVariant& value) {
    if (isNullValue(value) || value.typeId() == QMetaType::Bool) return std::nullopt;
    if (isNumberValue(value)) {
        Number n;
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
            n.value = value.toDouble();
            if (!std::isfinite(n.value)) return std::nullopt;
            n.decimals = decimalsOf(n.value);
        } else {
            bool ok = false;
            const qlonglong whole = value.toLongLong(&ok);
            if (ok && (value.typeId() != QMetaType::ULongLong || value.toULongLong() <= quint64(LLONG_MAX)))
                n.integer = whole;
            n.value = value.toDouble();
        }
        return n;
    }
    return parseNumber(value.toString());
}

bool isNumericValue(const QVariant& value) { return numberOf(value).has_value(); }

std::optional<double> numericValue(const QVariant& value) {
    const auto n = numberOf(value);
    if (!n) return std::nullopt;
    return n->value;
}

double leadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) ++i;
    const QStringView rest = text.mid(i);
    const Scan s = scanNumber(rest);
    if (s.length == 0) return 0.0;
    bool ok = false;
    const double d = rest.left(s.length).toString().toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0.0;
}

double leadingNumber(const QVariant& value) {
    if (isNumberValue(value)) return value.toDouble();
    if (isNullValue(value) || value.typeId() == QMetaType::Bool) return 0.0;
    return leadingNumber(value.toString());
}

}  // namespace kalto

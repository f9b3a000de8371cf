#include "data/FieldValues.h"

#include "data/FileAccess.h"
#include "data/Values.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kalto::dbf {

namespace {

bool isBlank(const char* p, int n) {
    for (int i = 0; i < n; ++i) {
        if (p[i] != ' ')
            return false;
    }
    return true;
}

bool isTextVariant(const QVariant& v) {
    const int t = v.typeId();
    return t == QMetaType::QString || t == QMetaType::QByteArray || t == QMetaType::QChar;
}

bool isNumberVariant(const QVariant& v) { return isNumberValue(v) || v.typeId() == QMetaType::Bool; }

// The length of a text field's value: its bytes without the trailing blanks and NULs. Wide
// fields (a description of 254 bytes) are mostly blanks: they are skipped eight at a time.
int textLength(const char* p, int width) {
    int n = width;
    constexpr quint64 kBlanks = 0x2020202020202020ull;
    while (n >= 8) {
        quint64 word;
        std::memcpy(&word, p + n - 8, 8);
        if (word != kBlanks)
            break;
        n -= 8;
    }
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
        --n;
    return n;
}

// Whether the bytes are plain ASCII (the same in every code page and in UTF-8).
bool isAscii(const char* p, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < n; ++i) {
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    }
    return true;
}

// The bytes of a numeric field without the blanks (and NULs) around them: [*b, *e).
void trimNumeric(const char* p, int width, int* b, int* e) {
    *b = 0;
    *e = width;
    while (*b < *e && (p[*b] == ' ' || p[*b] == '\0'))
        ++*b;
    while (*e > *b && (p[*e - 1] == ' ' || p[*e - 1] == '\0'))
        --*e;
}

// The usual case, a plain integer (an optional '-' and at most 18 digits), without building a
// decimal; false for anything else.
bool plainInteger(const char* p, int b, int e, qint64* out) {
    if (e - b > 18 || b == e)
        return false;
    int i = b;
    const bool negative = p[i] == '-';
    if (negative)
        ++i;
    qint64 v = 0;
    while (i < e && p[i] >= '0' && p[i] <= '9')
        v = v * 10 + (p[i++] - '0');
    if (i != e || i == b + (negative ? 1 : 0))
        return false;
    *out = negative ? -v : v;
    return true;
}

QVariant readNumeric(const char* p, int width, int decimals) {
    int b = 0, e = 0;
    trimNumeric(p, width, &b, &e);
    if (b == e)
        return {};
    if (qint64 v = 0; plainInteger(p, b, e, &v))
        return decimals == 0 ? QVariant(v) : QVariant(double(v));
    bool stars = true;
    for (int i = b; i < e; ++i)
        stars = stars && p[i] == '*';
    if (stars)
        return {};
    Decimal d;
    if (!parseDecimal(p + b, e - b, true, &d))
        return {};
    if (decimals == 0 && d.fraction.isEmpty() && d.whole.size() <= 18) {
        qint64 v = 0;
        for (char c : std::as_const(d.whole))
            v = v * 10 + (c - '0');
        return QVariant(d.negative ? -v : v);
    }
    QByteArray text = (d.negative ? "-" : "") + (d.whole.isEmpty() ? QByteArray("0") : d.whole);
    if (!d.fraction.isEmpty())
        text += '.' + d.fraction;
    double v = 0;
    const auto r = std::from_chars(text.constData(), text.constData() + text.size(), v);
    if (r.ec != std::errc())
        return {};
    return QVariant(v);
}

QVariant readDate(const char* p, int width) {
    if (width < 8 || isBlank(p, width))
        return {};
    int parts[3] = {0, 0, 0};
    const int sizes[3] = {4, 2, 2};
    int at = 0;
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < sizes[k]; ++i, ++at) {
            if (p[at] < '0' || p[at] > '9')
                return {};
            parts[k] = parts[k] * 10 + (p[at] - '0');
        }
    }
    const QDate date(parts[0], parts[1], parts[2]);
    return date.isValid() ? QVariant(date) : QVariant();
}

QString fieldMessage(const DbfField& f, const QString& what) {
    return QStringLiteral("No se puede guardar el campo %1: %2.").arg(f.name, what);
}

// Plain ASCII that fits is the same bytes in every code page and in UTF-8: written as it is.
bool putAscii(const QString& text, qsizetype n, int width, char* dest) {
    if (n > width)
        return false;
    const QChar* s = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (s[i].unicode() >= 0x80)
            return false;
    }
    for (qsizetype i = 0; i < n; ++i)
        dest[i] = char(s[i].unicode());
    return true;
}

bool encodeCharacter(const DbfField& f, const QVariant& v, DbfCodePage page, char* dest, QString* error) {
    QString text = v.toString();
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    if (end == 0 || putAscii(text, end, f.width, dest))
        return true;
    text.truncate(end);
    QByteArray bytes;
    QString why;
    if (!encodeText(page, text, &bytes, &why)) {
        why[0] = why.at(0).toLower();
        if (why.endsWith(u'.'))
            why.chop(1);
        setError(error, fieldMessage(f, why));
        return false;
    }
    if (bytes.size() > f.width) {
        const QString what = page == DbfCodePage::Utf8 && bytes.size() != text.size()
                                 ? QStringLiteral("el texto ocupa %1 bytes en UTF-8 y el campo admite %2")
                                 : QStringLiteral("el texto tiene %1 caracteres y el campo admite %2");
        setError(error, fieldMessage(f, what.arg(bytes.size()).arg(f.width)));
        return false;
    }
    std::memcpy(dest, bytes.constData(), size_t(bytes.size()));
    return true;
}

// The decimal text of a value held as a number (or a boolean); empty for an infinity or a NaN.
QByteArray numberText(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double x = v.toDouble();
        return std::isfinite(x) ? QByteArray::number(x, 'f', QLocale::FloatingPointShortest) : QByteArray();
    }
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UInt:
        return QByteArray::number(v.toULongLong());
    case QMetaType::Bool:
        return v.toBool() ? "1" : "0";
    default:
        return QByteArray::number(v.toLongLong());
    }
}

QString tooWide(const DbfField& f, const QString& shown) {
    const QString room = f.decimals > 0 ? QStringLiteral("%1 posiciones con %2 decimales").arg(f.width).arg(f.decimals)
                                        : QStringLiteral("%1 posiciones sin decimales").arg(f.width);
    return fieldMessage(f, QStringLiteral("el número %1 no cabe en el campo (%2)").arg(shown, room));
}

// A whole number held as one (what the engine gives for 12): its digits, and the zeros of the
// decimals, written straight into the field.
bool encodeInteger(const DbfField& f, qint64 n, char* dest, QString* error) {
    char text[48];  // 20 digits and a sign, the point, at most 15 decimals
    char* end = std::to_chars(text, text + 21, n).ptr;
    if (f.decimals > 0) {
        *end++ = '.';
        end = std::fill_n(end, f.decimals, '0');
    }
    const char* from = text;
    if (end - from > f.width && f.decimals > 0 && n == 0)
        ++from;  // "0.00" may still fit as ".00"
    if (end - from > f.width) {
        setError(error, tooWide(f, QString::number(n)));
        return false;
    }
    std::memcpy(dest + (f.width - (end - from)), from, size_t(end - from));
    return true;
}

bool encodeNumeric(const DbfField& f, const QVariant& v, char* dest, QString* error) {
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
        return encodeInteger(f, v.toLongLong(), dest, error);
    Decimal d;
    QString shown;
    if (isTextVariant(v)) {
        const QString text = v.toString().trimmed();
        if (text.isEmpty())
            return true;
        const QByteArray latin = text.toLatin1();
        if (!parseDecimal(latin.constData(), latin.size(), false, &d)) {
            setError(error, fieldMessage(f, QStringLiteral("el campo es numérico y «%1» no es un número").arg(text)));
            return false;
        }
        shown = text;
    } else if (isNumberVariant(v)) {
        const QByteArray text = numberText(v);
        if (text.isEmpty()) {
            setError(error, fieldMessage(f, QStringLiteral("el valor no es un número")));
            return false;
        }
        parseDecimal(text.constData(), text.size(), false, &d);
        shown = v.toString();
    } else {
        setError(error, fieldMessage(f, QStringLiteral("el campo es numérico y «%1» no es un número").arg(v.toString())));
        return false;
    }
    QByteArray text = formatDecimal(d, f.decimals);
    if (text.size() > f.width && f.decimals > 0) {
        // "0.50" may still fit as ".50".
        const qsizetype zero = text.startsWith('-') ? 1 : 0;
        if (text.at(zero) == '0')
            text.remove(zero, 1);
    }
    if (text.size() > f.width) {
        setError(error, tooWide(f, shown));
        return false;
    }
    std::memcpy(dest + (f.width - text.size()), text.constData(), size_t(text.size()));
    return true;
}

bool encodeLogical(const DbfField& f, const QVariant& v, char* dest, QString* error) {
    bool value = false;
    if (isNullValue(v)) {
        value = false;
    } else if (v.typeId() == QMetaType::Bool) {
        value = v.toBool();
    } else if (isNumberVariant(v)) {
        value = v.toDouble() != 0.0;
    } else if (isTextVariant(v)) {
        const QString t = v.toString().trimmed().toUpper();
        static const QStringList yes = {"T", "TRUE", "S", "SI", "SÍ", "Y", "YES", "V", "VERDADERO", "1", "-1"};
        static const QStringList no = {"", "F", "FALSE", "N", "NO", "FALSO", "0"};
        if (yes.contains(t)) {
            value = true;
        } else if (no.contains(t)) {
            value = false;
        } else {
            setError(error, fieldMessage(f, QStringLiteral("el campo es lógico (verdadero o falso) y no admite «%1»")
                                                .arg(v.toString())));
            return false;
        }
    } else {
        setError(error, fieldMessage(f, QStringLiteral("el campo es lógico (verdadero o falso) y no admite «%1»")
                                            .arg(v.toString())));
        return false;
    }
    dest[0] = value ? 'T' : 'F';
    return true;
}

bool encodeDate(const DbfField& f, const QVariant& v, char* dest, QString* error) {
    QDate date;
    if (v.typeId() == QMetaType::QDate) {
        date = v.toDate();
        if (!date.isValid())
            return true;  // an empty date
    } else if (v.typeId() == QMetaType::QDateTime) {
        date = v.toDateTime().date();
        if (!date.isValid())
            return true;
    } else if (isTextVariant(v)) {
        const QString t = v.toString().trimmed();
        if (t.isEmpty())
            return true;
        if (t.size() == 10 && t.at(4) == u'-' && t.at(7) == u'-')
            date = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
        else if (t.size() == 8)
            date = QDate::fromString(t, QStringLiteral("yyyyMMdd"));
        bool digits = true;
        for (QChar c : t)
            digits = digits && (c.isDigit() || c == u'-');
        if (!digits)
            date = QDate();
        if (!date.isValid()) {
            setError(error, fieldMessage(f, QStringLiteral("«%1» no es una fecha válida (AAAA-MM-DD)").arg(t)));
            return false;
        }
    } else {
        setError(error, fieldMessage(f, QStringLiteral("«%1» no es una fecha").arg(v.toString())));
        return false;
    }
    if (date.year() < 1 || date.year() > 9999) {
        setError(error, fieldMessage(f, QStringLiteral("el año %1 no cabe en una fecha").arg(date.year())));
        return false;
    }
    const QByteArray text = date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
    if (text.size() != 8 || f.width < 8) {
        setError(error, fieldMessage(f, QStringLiteral("la fecha no cabe en el campo")));
        return false;
    }
    std::memcpy(dest, text.constData(), 8);
    return true;
}

bool validName(const QString& name) {
    if (name.isEmpty() || name.size() > 10)
        return false;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
        if (!ok)
            return false;
    }
    return true;
}

}  // namespace

// A plain decimal number: optional sign, digits, optional '.' (or ',' when `comma`) and digits.
// At least one digit. No blanks inside, no exponent.
bool parseDecimal(const char* p, qsizetype n, bool comma, Decimal* out) {
    qsizetype i = 0;
    Decimal d;
    if (i < n && (p[i] == '-' || p[i] == '+')) {
        d.negative = p[i] == '-';
        ++i;
    }
    while (i < n && p[i] >= '0' && p[i] <= '9')
        d.whole.append(p[i++]);
    if (i < n && (p[i] == '.' || (comma && p[i] == ','))) {
        ++i;
        while (i < n && p[i] >= '0' && p[i] <= '9')
            d.fraction.append(p[i++]);
    }
    if (i != n || (d.whole.isEmpty() && d.fraction.isEmpty()))
        return false;
    *out = d;
    return true;
}

// The text of a number rounded to `decimals` places, half away from zero.
QByteArray formatDecimal(Decimal d, int decimals) {
    QByteArray digits = d.whole + d.fraction.left(decimals);
    digits.append(QByteArray(qMax(0, decimals - int(d.fraction.size())), '0'));
    const bool roundUp = d.fraction.size() > decimals && d.fraction.at(decimals) >= '5';
    if (roundUp) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                digits[i] = char(digits[i] + 1);
                break;
            }
        }
        if (i < 0)
            digits.prepend('1');
    }
    QByteArray whole = digits.left(digits.size() - decimals);
    const QByteArray fraction = digits.right(decimals);
    qsizetype lead = 0;
    while (lead < whole.size() && whole[lead] == '0')
        ++lead;
    whole = whole.mid(lead);
    if (whole.isEmpty())
        whole = "0";
    const bool zero = whole == "0" && fraction.count('0') == fraction.size();
    QByteArray text;
    if (d.negative && !zero)
        text.append('-');
    text.append(whole);
    if (decimals > 0) {
        text.append('.');
        text.append(fraction);
    }
    return text;
}

QString checkFieldForCreate(const DbfField& f) {
    if (!validName(f.name))
        return QStringLiteral("el nombre de campo «%1» no es válido (de 1 a 10 letras sin acentos, cifras o _)").arg(f.name);
    switch (f.type) {
    case DbfType::Character:
        if (f.width < 1 || f.width > 254)
            return QStringLiteral("el campo %1 debe medir de 1 a 254 caracteres").arg(f.name);
        if (f.decimals != 0)
            return QStringLiteral("el campo de texto %1 no lleva decimales").arg(f.name);
        break;
    case DbfType::Numeric:
        if (f.width < 1 || f.width > 20)
            return QStringLiteral("el campo numérico %1 debe medir de 1 a 20 posiciones").arg(f.name);
        if (f.decimals < 0 || f.decimals > 15 || (f.decimals > 0 && f.decimals > f.width - 2))
            return QStringLiteral("el campo numérico %1 tiene demasiados decimales para su ancho").arg(f.name);
        break;
    case DbfType::Logical:
        if (f.width != 1 || f.decimals != 0)
            return QStringLiteral("el campo lógico %1 debe medir 1 posición").arg(f.name);
        break;
    case DbfType::Date:
        if (f.width != 8 || f.decimals != 0)
            return QStringLiteral("el campo de fecha %1 debe medir 8 posiciones").arg(f.name);
        break;
    default:
        return QStringLiteral("el campo %1 es de un tipo desconocido").arg(f.name);
    }
    return {};
}

QVariant readValue(const DbfField& f, DbfCodePage page, const char* p) {
    switch (f.type) {
    case DbfType::Character: {
        const int n = textLength(p, f.width);
        if (n == 0)
            return {};
        return decodeText(page, p, n);
    }
    case DbfType::Numeric:
        return readNumeric(p, f.width, f.decimals);
    case DbfType::Logical:
        switch (p[0]) {
        case 'T': case 't': case 'Y': case 'y': return true;
        case 'F': case 'f': case 'N': case 'n': return false;
        default: return {};
        }
    case DbfType::Date:
        return readDate(p, f.width);
    }
    return {};
}

SqlValue readSqlValue(const DbfField& f, DbfCodePage page, const char* p, QByteArray* buffer) {
    SqlValue out;
    switch (f.type) {
    case DbfType::Character: {
        const int n = textLength(p, f.width);
        if (n == 0)
            return out;
        out.kind = SqlValue::Text;
        if (isAscii(p, n)) {  // the same bytes in every code page, and in UTF-8
            out.text = p;
            out.length = n;
            return out;
        }
        *buffer = decodeText(page, p, n).toUtf8();
        out.text = buffer->constData();
        out.length = int(buffer->size());
        return out;
    }
    case DbfType::Numeric: {
        int b = 0, e = 0;
        trimNumeric(p, f.width, &b, &e);
        if (b == e)
            return out;
        if (qint64 v = 0; plainInteger(p, b, e, &v)) {
            out.kind = f.decimals == 0 ? SqlValue::Integer : SqlValue::Real;
            out.integer = v;
            out.real = double(v);
            return out;
        }
        break;
    }
    case DbfType::Logical:
    case DbfType::Date:
        break;
    }
    // Anything else as readValue has it.
    const QVariant v = readValue(f, page, p);
    if (isNullValue(v))
        return out;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        out.kind = SqlValue::Integer;
        out.integer = v.toLongLong();
        break;
    case QMetaType::Double:
        out.kind = SqlValue::Real;
        out.real = v.toDouble();
        break;
    case QMetaType::Bool:
        out.kind = SqlValue::Integer;
        out.integer = v.toBool() ? 1 : 0;
        break;
    default:
        out.kind = SqlValue::Text;
        *buffer = (v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString()).toUtf8();
        out.text = buffer->constData();
        out.length = int(buffer->size());
    }
    return out;
}

bool writeValue(const DbfField& f, DbfCodePage page, const QVariant& v, char* dest, QString* error) {
    if (f.type == DbfType::Logical)
        return encodeLogical(f, v, dest, error);
    if (isNullValue(v))
        return true;
    switch (f.type) {
    case DbfType::Character: return encodeCharacter(f, v, page, dest, error);
    case DbfType::Numeric: return encodeNumeric(f, v, dest, error);
    case DbfType::Date: return encodeDate(f, v, dest, error);
    case DbfType::Logical: break;
    }
    return true;
}

}  // namespace kalto::dbf

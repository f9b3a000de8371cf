#include "core/GridHelpers.h"

#include "core/Messages.h"
#include "data/Dbf.h"
#include "data/Values.h"

#include <QLocale>
#include <QRegularExpression>

namespace kalto {

QList<GridColumn> LimitedColumns::gridColumns() const {
    QList<GridColumn> out;
    for (const auto& c : columns_)
        out.append({QString::fromUtf8(c.caption), QString::fromLatin1(c.field), true, c.width});
    return out;
}

int LimitedColumns::maxLength(int column) const { return contains(column) ? columns_[column].maxLength : -1; }

QString LimitedColumns::message(int column) const {
    return contains(column) ? QString::fromUtf8(columns_[column].message) : QString();
}

void LimitedColumns::warn(const GridRow& row, int column, Messages& messages) const {
    if (contains(column)) MensajeLongGrid(row, column, maxLength(column), message(column), messages);
}

bool MensajeLongGrid(const GridRow& row, int column, int maxLength, const QString& mensaje, Messages& messages) {
    if (cellText(row.value(column)).length() <= maxLength) return false;
    messages.exclamation(mensaje + kRectifica);
    return true;
}

void FomateaLetra(QString& text, int mode) {
    auto change = [mode](const QString& t) { return mode == 1 ? t.toUpper() : t.toLower(); };
    QString changed = change(text);
    // µ and ƒ have no capital in Windows-1252, the tables' character set: such a letter keeps
    // the case it was typed in, so that what the user typed can still be stored.
    if (!toCp1252(changed, nullptr, nullptr) && toCp1252(text, nullptr, nullptr)) {
        changed.clear();
        for (const QChar c : std::as_const(text)) {
            const QString one = change(QString(c));
            changed += toCp1252(one, nullptr, nullptr) ? one : QString(c);
        }
    }
    text = changed;
}

void FomateaLetra(GridRow& row, int column, int mode) {
    const QVariant value = row.value(column);
    if (value.isNull() || isNumberValue(value)) return;
    QString text = value.toString();
    FomateaLetra(text, mode);
    if (text != value.toString()) row.setValue(column, text);
}

QString cellText(const QVariant& value) {
    if (value.isNull() || !value.isValid()) return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    default:
        return value.toString();
    }
}

bool isNumericValue(const QVariant& value) {
    return numericValue(value).has_value();
}

std::optional<double> numericValue(const QVariant& value) {
    if (value.isNull() || !value.isValid()) return std::nullopt;
    if (isNumberValue(value)) return value.toDouble();
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)\\s*$"));
    const QString text = value.toString();
    if (!number.match(text).hasMatch()) return std::nullopt;
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return d;
}

double leadingNumber(const QString& text) {
    int i = 0;
    const int n = text.size();
    while (i < n && text[i].isSpace()) ++i;
    QString digits;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) digits += text[i++];
    bool point = false;
    bool any = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits += c;
            any = true;
        } else if (c == QLatin1Char('.') && !point) {
            digits += c;
            point = true;
        } else {
            break;
        }
    }
    if (!any) return 0.0;
    return digits.toDouble();
}

double leadingNumber(const QVariant& value) {
    if (isNumberValue(value)) return value.toDouble();
    return leadingNumber(cellText(value));
}

}  // namespace kalto

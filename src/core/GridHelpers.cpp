#include "core/GridHelpers.h"

#include "core/LetterCase.h"
#include "core/Messages.h"
#include "data/Values.h"

#include <QLocale>

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
    // Letters without a capital (or a small form) in the tables' character set keep the case
    // they were typed in, so that what the user typed can still be stored.
    text = changeLetterCase(text, mode == 1);
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

}  // namespace kalto

#include "core/GridHelpers.h"

#include "core/Messages.h"
#include "data/Dbf.h"
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

}  // namespace kalto

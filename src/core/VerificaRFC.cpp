#include "core/VerificaRFC.h"

#include "core/GridHelpers.h"
#include "core/GridRule.h"
#include "core/Messages.h"

namespace kalto {

namespace {

// Two-digit number at 1-based `position`; a text that is not a number counts as 0.
int numberAt(const QString& value, int position) {
    return static_cast<int>(leadingNumber(value.mid(position - 1, 2)));
}

int daysOfMonth(int month, int year) {
    switch (month) {
    case 1: case 3: case 5: case 7: case 8: case 10: case 12:
        return 31;
    case 4: case 6: case 9: case 11:
        return 30;
    case 2:
        return year % 4 == 0 ? 29 : 28;
    default:
        return 0;
    }
}

}  // namespace

bool VerificaRFC(QString& value, int kind, Messages& messages) {
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty()) return true;

    // Blanks around the identifier carry nothing: the held form is the identifier alone,
    // a 12-character one with its leading blank.
    value = trimmed.size() == 12 ? QLatin1Char(' ') + trimmed : trimmed;

    auto reject = [&](const QString& text) {
        messages.exclamation(text);
        value.clear();
        return false;
    };

    if (kind == RfcHeld13) {
        if (value.size() != 13)
            return reject(QStringLiteral("El RFC sólo puede ser de 12 caracteres. Rectifica por favor."));
    } else if (value.size() != 12 && value.size() != 13) {
        return reject(QStringLiteral("El RFC sólo puede ser de 12 ó 13 caracteres. Rectifica por favor."));
    }

    const int month = numberAt(value, 7);
    if (month > 12)
        return reject(QStringLiteral("El valor del mes del RFC es incorrecto.Rectifica por favor"));

    const int days = daysOfMonth(month, numberAt(value, 5));
    if (numberAt(value, 9) > days)
        return reject(QStringLiteral("El mes que has escrito no tiene más de ") + QString::number(days) +
                      QStringLiteral(" días. Rectifica por favor"));
    return true;
}

bool VerificaRFC(GridRow& row, int column, int kind, Messages& messages) {
    const QVariant before = row.value(column);
    QString value = cellText(before);
    const bool accepted = VerificaRFC(value, kind, messages);
    if (value != cellText(before)) row.setValue(column, value);
    return accepted;
}

}  // namespace kalto

#include "core/RfcCheckDigit.h"

namespace kalto {

namespace {

// The value of each character is its position here.
const QString& alphabet() {
    static const QString a = QStringLiteral("0123456789ABCDEFGHIJKLMN&OPQRSTUVWXYZ Ñ");
    return a;
}

QString held(const QString& rfc) { return rfc.trimmed().toUpper(); }

}  // namespace

QChar rfcCheckDigit(const QString& rfc) {
    QString r = held(rfc);
    if (r.size() == 12) r.prepend(QLatin1Char(' '));
    if (r.size() != 13) return QChar();
    int sum = 0;
    for (int i = 0; i < 12; ++i) {
        const qsizetype value = alphabet().indexOf(r.at(i));
        if (value < 0) return QChar();
        sum += int(value) * (13 - i);
    }
    const int digit = 11 - sum % 11;
    return digit == 11 ? QLatin1Char('0') : digit == 10 ? QLatin1Char('A') : QChar(u'0' + digit);
}

bool isGenericRfc(const QString& rfc) {
    const QString r = held(rfc);
    return r == QLatin1String("XAXX010101000") || r == QLatin1String("XEXX010101000");
}

bool rfcCheckDigitMismatch(const QString& rfc, QChar* expected) {
    const QString r = held(rfc);
    const QChar digit = rfcCheckDigit(r);
    if (expected) *expected = digit;
    if ((r.size() != 12 && r.size() != 13) || isGenericRfc(r)) return false;
    return digit != r.back();
}

}  // namespace kalto

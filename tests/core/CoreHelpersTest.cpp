// The RFC check and the shared grid helpers.

#include "core/GridHelpers.h"
#include "core/KeyFilters.h"
#include "support/RecordingMessages.h"
#include "core/VerificaRFC.h"

#include <gtest/gtest.h>

using namespace kalto;

TEST(VerificaRFC, DateLengthAndHeldForm) {
    const auto days = [](int n) {
        return QStringLiteral("El mes que has escrito no tiene más de %1 días. Rectifica por favor").arg(n);
    };
    const QString month = QStringLiteral("El valor del mes del RFC es incorrecto.Rectifica por favor");
    // Typed, kind, the value left (empty when rejected) and the message (none when accepted).
    struct Case { const char* typed; int kind; const char* left; QString message; };
    const Case cases[] = {
        {" ABC010229XY1", RfcHeld13, "", days(28)},         // 2001 is no leap year
        {" ABC000229XY1", RfcHeld13, " ABC000229XY1", {}},  // year 00 counts as divisible by 4
        {" ABC011301XY1", RfcHeld13, "", month},            // month 13
        {" ABC010001XY1", RfcHeld13, "", days(0)},          // month 00 has no days
        {" ABC010431XY1", RfcHeld13, "", days(30)},
        {" ABC011231XY1", RfcHeld13, " ABC011231XY1", {}},
        {" ABC011232XY1", RfcHeld13, "", days(31)},
        {"ABCD050229XY1", Rfc12Or13, "", days(28)},         // 13 characters: the same date positions
        {"ABC010101XY1", RfcHeld13, " ABC010101XY1", {}},   // 12 characters get the leading blank
        {"ABC010101XY1  ", Rfc12Or13, " ABC010101XY1", {}}, // typed blanks do not count
        {"ABCD010101XY1", RfcHeld13, "ABCD010101XY1", {}},  // 13 characters pass kind 1 unchanged
        {"ABC01010XY1", RfcHeld13, "", QStringLiteral("El RFC sólo puede ser de 12 caracteres. Rectifica por favor.")},
        {"ABCDE010101XY1", Rfc12Or13, "",
         QStringLiteral("El RFC sólo puede ser de 12 ó 13 caracteres. Rectifica por favor.")},
        {"   ", RfcHeld13, "   ", {}},                      // nothing typed: nothing to say
    };
    for (const auto& c : cases) {
        RecordingMessages m;
        QString value = QString::fromLatin1(c.typed);
        EXPECT_EQ(VerificaRFC(value, c.kind, m), c.message.isEmpty()) << c.typed;
        EXPECT_EQ(value, QString::fromLatin1(c.left)) << c.typed;
        EXPECT_EQ(m.texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message}) << c.typed;
        for (const auto& e : m.entries)
            EXPECT_TRUE(e.kind == RecordingMessages::Kind::Exclamation && e.title == QStringLiteral("KALTO"));
    }
}

TEST(GridHelpers, CellText) {
    EXPECT_EQ(cellText(999999.99), QStringLiteral("999999.99"));
    EXPECT_EQ(cellText(1e10), QStringLiteral("10000000000"));  // never in exponent form
}

TEST(KeyFilters, DigitFilterPassesDigitsAndEditingKeysOnly) {
    for (int c : {int('0'), int('9'), 27, 8, 9}) EXPECT_EQ(kalto::digitKeyFilter(c), c);
    for (int c : {int('a'), int('A'), int(' '), int('-'), int('.'), 13}) EXPECT_EQ(kalto::digitKeyFilter(c), 0);
}

// Letter case of typed text: a letter changes only into one the tables (Windows-1252) hold.

#include "core/LetterCase.h"

#include <gtest/gtest.h>

using namespace kalto;

TEST(LetterCase, OnlyIntoLettersTheTablesHold) {
    // µ, ƒ and ß have no capital in Windows-1252 and keep their case; ß never becomes "SS".
    EXPECT_EQ(upperCase(QStringLiteral("ñandú µm ƒ ß ÿ")), QStringLiteral("ÑANDÚ µM ƒ ß Ÿ"));
    EXPECT_EQ(upperCase(QChar(0x00B5)), QChar(0x00B5));
    EXPECT_EQ(upperCase(QChar(u'é')), QChar(u'É'));
    EXPECT_EQ(lowerCase(QStringLiteral("VENTAS@ÑANDÚ.MX Ÿ")), QStringLiteral("ventas@ñandú.mx ÿ"));
    // A letter the tables cannot hold anyway still changes its case.
    EXPECT_EQ(upperCase(QStringLiteral("ω")), QStringLiteral("Ω"));
}

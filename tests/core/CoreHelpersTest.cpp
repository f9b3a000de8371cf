// The RFC check and its check digit, letter case, the shared grid helpers, text files and the paper of the locale.

#include "core/GridHelpers.h"
#include "core/KeyFilters.h"
#include "core/LetterCase.h"
#include "core/PaperSize.h"
#include "core/RfcCheckDigit.h"
#include "core/TextFiles.h"
#include "core/VerificaRFC.h"
#include "support/RecordingMessages.h"

#include <QTemporaryDir>

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

TEST(TextFiles, ConsiderationsFoundWhateverTheCaseAndDecoded) {
    QTemporaryDir dir;
    EXPECT_EQ(considerationsFile(dir.path()), dir.filePath(QStringLiteral("CONSIDERA.TXT")));
    QFile f(dir.filePath(QStringLiteral("considera.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("A\xD1O\r\n2\r3\x1A") > 0);  // Windows-1252, CR LF, CR, EOF mark
    f.close();
    QString text;
    ASSERT_TRUE(readTextFile(considerationsFile(dir.path()), &text));
    EXPECT_EQ(text, QStringLiteral("AÑO\n2\n3"));
    EXPECT_FALSE(readTextFile(dir.filePath(QStringLiteral("no-existe.txt")), &text));
    const std::pair<const char*, QString> cases[] = {
        {"\xEF\xBB\xBF" "A\xC3\x91O", QStringLiteral("AÑO")}, {"A\xC3\x91O \xE2\x82\xAC", QStringLiteral("AÑO €")},
        {"\x80 \x93x\x94", QStringLiteral("€ “x”")}, {"\xFF\xFE" "A\0\xD1\0", QStringLiteral("AÑ")},
        {"N\xCC\x83", QStringLiteral("Ñ")}};  // an accent written apart is joined to its letter
    for (const auto& [bytes, decoded] : cases)
        EXPECT_EQ(decodeText(QByteArray(bytes, bytes[0] == '\xFF' ? 6 : qstrlen(bytes))), decoded) << bytes;
}

TEST(PaperSize, LetterWhereTheTerritoryUsesIt) {
    for (const char* letter : {"es_MX", "en_US", "en_CA", "es_CO", "es_VE", "fil_PH", "es_CL"})
        EXPECT_TRUE(usesLetterPaper(QLocale(QString::fromLatin1(letter)))) << letter;
    for (const char* a4 : {"es_ES", "es_AR", "de_DE", "en_GB", "pt_BR", "C"})
        EXPECT_FALSE(usesLetterPaper(QLocale(QString::fromLatin1(a4)))) << a4;
}

TEST(RfcCheckDigit, WorkedByHand) {
    // " A&B010101AB": 37*13 + 10*12 + 24*11 + 11*10 + 0*9 + 1*8 + 0*7 + 1*6 + 0*5 + 1*4 + 10*3 + 11*2 = 1045,
    // 1045 mod 11 = 0: "0". "PEÑA800101XX": 1276 mod 11 = 0: "0". " MUÑ850101AB": 1640 mod 11 = 1: "A".
    // " SAT970701NN": 1537 mod 11 = 8: "3". "GODE561231GR": 1026 mod 11 = 3: "8"; swapping its G and R
    // gives 1038 mod 11 = 4: "7".
    const struct { const char* rfc; bool reported; char expected; } cases[] = {
        {"A&B010101AB0", false, '0'}, {" A&B010101AB0", false, '0'}, {"A&B010101AB1", true, '0'},
        {"PEÑA800101XX0", false, '0'}, {"PEÑA800101XX9", true, '0'}, {"MUÑ850101ABA", false, 'A'},
        {"MUÑ850101AB1", true, 'A'},   {"SAT970701NN3", false, '3'}, {"sat970701nn3 ", false, '3'},
        {"SAT970701NN4", true, '3'},   {"GODE561231GR8", false, '8'}, {"GODE561231RG8", true, '7'},
        {"XAXX010101000", false, '4'}, {"XEXX010101000", false, '0'},  // generic: never reported
        {"AB#010101AB1", true, 0},     // a character outside the alphabet: no digit matches
        {"", false, 0}, {"0", false, 0}, {"ABC01010AB1", false, 0}};  // refused by the RFC check, not here
    for (const auto& c : cases) {
        QChar expected(u'?');
        EXPECT_EQ(rfcCheckDigitMismatch(QString::fromUtf8(c.rfc), &expected), c.reported) << c.rfc;
        EXPECT_EQ(expected, QChar::fromLatin1(c.expected)) << c.rfc;
    }
    EXPECT_TRUE(isGenericRfc(QStringLiteral(" xexx010101000")) && !isGenericRfc(QStringLiteral("XAXX010101001")));
}

TEST(LetterCase, OnlyIntoLettersTheTablesHold) {
    // µ, ƒ and ß have no capital in Windows-1252 and keep their case; ß never becomes "SS".
    EXPECT_EQ(upperCase(QStringLiteral("ñandú µm ƒ ß ÿ")), QStringLiteral("ÑANDÚ µM ƒ ß Ÿ"));
    EXPECT_EQ(upperCase(QChar(0x00B5)), QChar(0x00B5));
    EXPECT_EQ(upperCase(QChar(u'é')), QChar(u'É'));
    EXPECT_EQ(changeLetterCase(QStringLiteral("VENTAS@ÑANDÚ.MX Ÿ"), false), QStringLiteral("ventas@ñandú.mx ÿ"));
    // A letter the tables cannot hold anyway still changes its case.
    EXPECT_EQ(upperCase(QStringLiteral("ω")), QStringLiteral("Ω"));
}

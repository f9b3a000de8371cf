// Field values: a value written into a field's bytes as the file holds them and read back; bytes
// other programs write; values a field cannot hold.

#include "data/FieldValues.h"

#include <QDateTime>
#include <QLocale>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

using namespace kalto;
using namespace kalto::dbf;

namespace {

const DbfField kText{"TEXTO", DbfType::Character, 8, 0}, kInt{"ENTERO", DbfType::Numeric, 6, 0},
    kMoney{"MONTO", DbfType::Numeric, 8, 2}, kSmall{"TASA", DbfType::Numeric, 3, 2}, kFlag{"SINO", DbfType::Logical, 1, 0},
    kDay{"DIA", DbfType::Date, 8, 0};
const QVariant null;
QVariant text(const char* utf8) { return QString::fromUtf8(utf8); }
const QDate leap(2024, 2, 29);

// The value read, of the type expected (qint64 and double are not the same answer).
::testing::AssertionResult reads(const DbfField& f, const QByteArray& bytes, const QVariant& expected) {
    const QVariant v = readValue(f, DbfCodePage::Windows1252, bytes.constData());
    if (v == expected && v.typeId() == expected.typeId()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bytes.toStdString() << " reads as " << v.toString().toStdString() << ' ' << v.typeName();
}

}  // namespace

TEST(FieldValues, AValueIsWrittenAsTheFileHoldsItAndReadsBackAndForeignBytesAreRead) {
    const auto restore = qScopeGuard([before = QLocale()] { QLocale::setDefault(before); });
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // Field, value, bytes, value read. "N\u0303o\u0301" holds its accents typed apart; halves are rounded away from zero.
    const QList<std::tuple<DbfField, QVariant, QByteArray, QVariant>> cases = {
        {kText, text("Ñandú €"), "\xD1" "and\xFA \x80 ", text("Ñandú €")}, {kText, text(" lead  "), " lead   ", text(" lead")},
        {kText, text("N\u0303o\u0301"), "\xD1\xF3      ", text("Ñó")}, {kText, text("  "), "        ", null},
        {kInt, 12, "    12", qint64(12)}, {kInt, -7, "    -7", qint64(-7)}, {kInt, text(" 42 "), "    42", qint64(42)},
        {kInt, 999999, "999999", qint64(999999)}, {kInt, true, "     1", qint64(1)}, {kInt, quint64(5), "     5", qint64(5)},
        {kInt, 2.5, "     3", qint64(3)}, {kInt, -2.5, "    -3", qint64(-3)}, {kInt, text("7.5"), "     8", qint64(8)},
        {kInt, -0.4, "     0", qint64(0)}, {kInt, null, "      ", null}, {kMoney, 1234.56, " 1234.56", 1234.56},
        {kMoney, -12.5, "  -12.50", -12.5}, {kMoney, 12345.67, "12345.67", 12345.67}, {kMoney, 0.125, "    0.13", 0.13},
        {kMoney, -2.675, "   -2.68", -2.68}, {kMoney, text("1.005"), "    1.01", 1.01}, {kMoney, 9.995, "   10.00", 10.0},
        {kMoney, -0.004, "    0.00", 0.0}, {kMoney, text("-.5"), "   -0.50", -0.5}, {kSmall, 0.5, ".50", 0.5},
        {kMoney, 7, "    7.00", 7.0}, {kMoney, qint64(-3), "   -3.00", -3.0}, {kSmall, qint64(0), ".00", 0.0},
        {kFlag, true, "T", true}, {kFlag, text("sí"), "T", true}, {kFlag, text("-1"), "T", true}, {kFlag, 2, "T", true},
        {kFlag, text("n"), "F", false}, {kFlag, 0, "F", false}, {kFlag, null, "F", false}, {kDay, leap, "20240229", leap},
        {kDay, text("2001-09-11"), "20010911", QDate(2001, 9, 11)}, {kDay, text("20000101"), "20000101", QDate(2000, 1, 1)},
        {kDay, QDateTime(leap, QTime(23, 59)), "20240229", leap}, {kDay, QDate(), "        ", null},
    };
    for (const auto& [field, value, bytes, read] : cases) {
        QByteArray written(field.width, ' ');
        QString error;
        ASSERT_TRUE(writeValue(field, DbfCodePage::Windows1252, value, written.data(), &error)) << error.toStdString();
        EXPECT_EQ(written, bytes);
        EXPECT_TRUE(reads(field, written, read));
    }
    const QList<std::tuple<DbfField, QByteArray, QVariant>> foreign = {  // as other programs write them; null: no value
        {kText, QByteArray("x\0\0\0\0\0\0\0", 8), QStringLiteral("x")}, {kInt, "  -12 ", qint64(-12)}, {kInt, "    +7", qint64(7)},
        {kInt, " 12.5 ", 12.5}, {kMoney, "   3,25 ", 3.25}, {kInt, "******", null}, {kInt, "1e3   ", null}, {kInt, "  -   ", null},
        {kInt, "1 2   ", null}, {kInt, QByteArray(6, '\0'), null}, {kFlag, "y", true}, {kFlag, "t", true}, {kFlag, "N", false},
        {kFlag, "?", null}, {kFlag, " ", null}, {kDay, "20240131", QDate(2024, 1, 31)}, {kDay, "20241331", null},
        {kDay, "2024  01", null}, {kDay, "        ", null}};
    for (const auto& [field, bytes, value] : foreign) EXPECT_TRUE(reads(field, bytes, value));
}

TEST(FieldValues, AValueTheFieldCannotHoldIsRefusedNamingTheFieldAndTheFault) {
    const QList<std::tuple<DbfField, QVariant, const char*>> cases = {
        {kText, QString(9, u'x'), "9 caracteres y el campo admite 8"}, {kText, text("ÑÑÑÑÑ"), "ocupa 10 bytes en UTF-8"},
        {kText, text("Ωmega"), "«Ω» (U+03A9)"}, {kText, text("ok \U0001F600"), "«\U0001F600» (U+1F600)"}, {kSmall, -0.5, "no cabe"}, {kSmall, qint64(1), "el número 1 no cabe"},
        {kInt, 1234567, "1234567 no cabe en el campo (6 posiciones sin decimales)"}, {kInt, 999999.5, "no cabe"},
        {kMoney, 123456.78, "(8 posiciones con 2 decimales)"}, {kInt, leap, "no es un número"}, {kDay, 20010911, "no es una fecha"},
        {kMoney, text("12 5"), "«12 5» no es un número"}, {kMoney, std::numeric_limits<double>::quiet_NaN(), "no es un número"},
        {kFlag, text("quizá"), "no admite «quizá»"}, {kDay, text("2023-02-29"), "«2023-02-29» no es una fecha válida"},
        {kDay, text("11/09/2001"), "no es una fecha válida"}, {kDay, QDate(10000, 1, 1), "el año 10000"}};
    for (const auto& [field, value, fault] : cases) {
        QByteArray bytes(field.width, ' ');
        QString error;
        // The width of a UTF-8 text is in bytes, not characters.
        const auto page = QByteArray(fault).contains("UTF-8") ? DbfCodePage::Utf8 : DbfCodePage::Windows1252;
        EXPECT_FALSE(writeValue(field, page, value, bytes.data(), &error)) << fault;
        EXPECT_TRUE(error.startsWith(QStringLiteral("No se puede guardar el campo %1: ").arg(field.name)) &&
                    error.contains(QString::fromUtf8(fault)))
            << error.toStdString();
    }
}

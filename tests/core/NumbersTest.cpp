// The one number parser: whole-text numbers for typed values, leading numbers for codes.

#include "core/Numbers.h"

#include <QDate>

#include <gtest/gtest.h>

#include <cmath>

using namespace kalto;

TEST(Numbers, WholeTextNumber) {
    // Typed text, value, written as an integer, decimals that count.
    struct Case { const char* text; double value; bool integer; int decimals; };
    const Case accepted[] = {
        {"12", 12, true, 0},          {" 12 ", 12, true, 0},        {"\t-7", -7, true, 0},
        {"+3", 3, true, 0},           {"007", 7, true, 0},          {"12.7", 12.7, false, 1},
        {"12.70", 12.7, false, 1},    {"12.0", 12, false, 0},       {"5.", 5, false, 0},
        {".5", 0.5, false, 1},        {"-.25", -0.25, false, 2},    {"0.001", 0.001, false, 3},
        {"99999999999999999999", 1e20, false, 0},  // past 64 bits: a double, not an integer
    };
    for (const auto& c : accepted) {
        const auto n = parseNumber(QString::fromLatin1(c.text));
        ASSERT_TRUE(n) << c.text;
        EXPECT_DOUBLE_EQ(n->value, c.value) << c.text;
        EXPECT_EQ(n->integer.has_value(), c.integer) << c.text;
        EXPECT_EQ(n->decimals, c.decimals) << c.text;
        EXPECT_EQ(n->toVariant().typeId(), c.integer ? QMetaType::LongLong : QMetaType::Double) << c.text;
    }
    EXPECT_EQ(*parseNumber(u"9007199254740993")->integer, 9007199254740993LL);  // exact, not through a double
    // A comma is never a decimal point, a blank inside ends nothing: the whole text must be the number.
    for (const char* text : {"", "   ", "1 2", "1,5", "1.000,5", "12A", "A12", "1.2.3", "1e3", "-", "+", ".", "- 1",
                             "0x10", "inf", "nan", "١٢"})
        EXPECT_FALSE(parseNumber(QString::fromUtf8(text))) << text;

    // Values: held numbers are themselves (a double counts the digits of its shortest form),
    // texts are parsed, booleans, dates and nulls are not numbers.
    EXPECT_EQ(*numberOf(QVariant(qint64(42)))->integer, 42);
    EXPECT_EQ(numberOf(QVariant(12.7))->decimals, 1);
    EXPECT_EQ(numberOf(QVariant(0.1 + 0.2))->decimals, 17);
    EXPECT_EQ(numberOf(QVariant(1e20))->decimals, 0);
    EXPECT_DOUBLE_EQ(*numericValue(QStringLiteral(" -1.5 ")), -1.5);
    EXPECT_FALSE(numberOf(QVariant(std::nan(""))));
    for (const QVariant& v : {QVariant(), QVariant(QString()), QVariant(true), QVariant(QDate(2020, 1, 1)),
                              QVariant(QStringLiteral("1 2"))})
        EXPECT_FALSE(isNumericValue(v)) << v.toString().toStdString();
    EXPECT_TRUE(isNumericValue(0) && isNumericValue(QStringLiteral(".5")));
}

TEST(Numbers, LeadingNumber) {
    struct Case { const char* text; double value; };
    const Case cases[] = {
        {"12 - Servicios", 12}, {"100.5%", 100.5}, {"  -3.25x", -3.25}, {"1 2", 1},  {"1,5", 1},
        {"5.", 5},              {".5", 0.5},       {"1.2.3", 1.2},      {"A1", 0},   {"", 0},
        {"-", 0},               {"+.", 0},         {"07", 7},           {"1e3", 1},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(leadingNumber(QString::fromLatin1(c.text)), c.value) << c.text;
    // Both readings agree wherever the whole text is a number.
    for (const char* text : {"12", " -7.5 ", ".25", "5."})
        EXPECT_DOUBLE_EQ(leadingNumber(QString::fromLatin1(text)), parseNumber(QString::fromLatin1(text))->value) << text;
    EXPECT_DOUBLE_EQ(leadingNumber(QVariant(2.5)), 2.5);
    EXPECT_DOUBLE_EQ(leadingNumber(QVariant(QStringLiteral("31 días"))), 31);
    EXPECT_DOUBLE_EQ(leadingNumber(QVariant()), 0);
    EXPECT_DOUBLE_EQ(leadingNumber(QVariant(true)), 0);
}

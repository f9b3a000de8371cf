#pragma once
// The one reading of numbers written as text, for every rule and window of the program.
//
// A number is written with the digits 0-9, an optional sign (+ or -) in front and at most one
// decimal point '.', whatever the locale: a comma is never a decimal point, there is no
// thousands separator and no exponent. Two readings, for two different needs:
//
//  - parseNumber / numberOf, the whole text: what a user typed into a numeric cell or field.
//    Blanks around the number are allowed and nothing else: " 12 " is 12, ".5" and "5." are
//    numbers, while "1 2", "12A", "1,5", "1e3", "-" and "" are not numbers at all.
//
//  - leadingNumber, the number a text begins with: item codes and positions read out of
//    texts ("12 - Servicios", "100.5%", the month digits of an RFC). Leading blanks are
//    skipped, then the sign, digits and one point are read as far as they go: "100.5%" is
//    100.5, "1 2" is 1 (the blank ends the number), "A1" and "" are 0.

#include <QString>
#include <QStringView>
#include <QVariant>

#include <optional>

namespace kalto {

// A number read from a text or a held value.
struct Number {
    double value = 0;
    // The exact value when it was written without a decimal point (or is held as an integer)
    // and fits 64 bits.
    std::optional<qint64> integer;
    // Digits after the decimal point that count: trailing zeros are not counted, so "1.50"
    // has 1 and "12.0" has 0. A held double counts the digits of its shortest decimal form.
    int decimals = 0;

    // The value as a cell holds it: a qint64 for an integer, a double otherwise.
    QVariant toVariant() const;
};

// The whole text as a number (blanks around it allowed); std::nullopt when it is not one.
std::optional<Number> parseNumber(QStringView text);
// A value held as a number (booleans are not numbers), or a text that parseNumber accepts.
// Null, empty and other values give std::nullopt.
std::optional<Number> numberOf(const QVariant& value);

// Whether the value is a number (numberOf gives one), and the number it is.
bool isNumericValue(const QVariant& value);
std::optional<double> numericValue(const QVariant& value);

// The number the text begins with (see above); 0 when it begins with none.
double leadingNumber(QStringView text);
inline double leadingNumber(const QString& text) { return leadingNumber(QStringView(text)); }
// A held number is itself; any other value is read from its text.
double leadingNumber(const QVariant& value);

}  // namespace kalto

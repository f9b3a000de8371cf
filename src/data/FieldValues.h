#pragma once
// The fields of a table and their values as the file holds them: numbers as decimal text, dates
// as AAAAMMDD, logicals as one letter, text in the table's code page. One function reads a
// field's bytes into a value and one writes a value into a field's bytes; nothing else in the
// program knows these layouts.

#include "data/CodePages.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace kalto {

// A dBase IV float column ('F', text like a numeric one) is read and written as Numeric; the file
// keeps its own letter.
enum class DbfType : char { Character = 'C', Numeric = 'N', Logical = 'L', Date = 'D' };

struct DbfField {
    QString name;      // at most 10 ASCII characters
    DbfType type = DbfType::Character;
    int width = 1;     // bytes in the record
    int decimals = 0;  // numeric fields only
};

namespace dbf {

// A number as decimal text.
struct Decimal {
    bool negative = false;
    QByteArray whole;     // digits before the point (may be empty)
    QByteArray fraction;  // digits after it
};
// A plain decimal number: optional sign, digits, optional '.' (or ',' when `comma`) and digits.
// At least one digit. No blanks inside, no exponent.
bool parseDecimal(const char* p, qsizetype n, bool comma, Decimal* out);
// The text of a number rounded to `decimals` places, half away from zero ("-0" is "0").
QByteArray formatDecimal(Decimal d, int decimals);

// The value of field `f` whose bytes start at `p`: QString (trailing blanks dropped, leading
// ones kept), qint64 for a numeric field without decimals, double with decimals, bool, QDate; a
// null QVariant for a blank field, a numeric field of asterisks, an unreadable number or date,
// and a logical '?'.
QVariant readValue(const DbfField& f, DbfCodePage page, const char* p);
// The same value as the query engine takes it, read without a QVariant: null, an integer (a
// logical as 1 or 0), a real, or UTF-8 text (a date as AAAA-MM-DD). The text points into the
// field's own bytes when they are already UTF-8 (plain ASCII, the usual case), and into
// `buffer` otherwise; it is valid until the record or the buffer changes.
struct SqlValue {
    enum Kind : char { Null, Integer, Real, Text } kind = Null;
    qint64 integer = 0;
    double real = 0;
    const char* text = nullptr;
    int length = 0;
};
SqlValue readSqlValue(const DbfField& f, DbfCodePage page, const char* p, QByteArray* buffer);
// Writes `v` into the field's bytes at `dest`, which hold blanks; NULL leaves them blank (a
// logical is written F). A value that does not fit, or a character the code page cannot hold, is
// refused with a message naming the field.
bool writeValue(const DbfField& f, DbfCodePage page, const QVariant& v, char* dest, QString* error);

// Empty when the descriptor is sound for a new table; otherwise what is wrong with it.
QString checkFieldForCreate(const DbfField& f);

}  // namespace dbf
}  // namespace kalto

#pragma once
// The code pages a table's text may be in, and text to bytes and back in each of them.
//
// A table names its code page by the language-driver byte 29 of its header (0x01 = 437,
// 0x02 = 850, 0x03 = 1252 and the other bytes that mean one of them, 0 = Windows-1252) or by a
// .cpg file beside it, which takes precedence. Any other is refused when the table is opened.

#include <QByteArray>
#include <QString>

namespace kalto {

enum class DbfCodePage { Windows1252, Dos437, Dos850, Latin1, Utf8 };
QString codePageName(DbfCodePage page);  // "Windows-1252", "MS-DOS 850", ...

// The .cpg file beside a table (NAME.cpg for NAME.DBF) as the table reader finds it, or empty.
QString cpgBeside(const QString& path);

// Windows-1252 <-> Unicode. toCp1252 fails (returns false) on a character the code page
// cannot hold, naming it in *error.
QString fromCp1252(const char* bytes, int length);
bool toCp1252(const QString& text, QByteArray* out, QString* error);

namespace dbf {

// The code page a language-driver byte stands for: those that mean 437, 850 or 1252 for the
// common readers, and 0 (no code page declared) for Windows-1252. False for any other byte.
bool codePageOfDriver(unsigned char driver, DbfCodePage* page);
// The code page a .cpg file names, spelt as the GIS programs write it ("UTF-8", "1252",
// "ANSI 1252", "CP850", "OEM 437", "ISO-8859-1", "8859_1", ...). False for any other.
bool codePageOfCpg(QByteArray contents, DbfCodePage* page);

// `length` bytes in `page` as Unicode; every byte has a character.
QString decodeText(DbfCodePage page, const char* bytes, int length);
// `text` in `page`; a character the code page cannot hold (even once accents typed apart are
// joined to their letters) gives false and a Spanish message naming it in *error.
bool encodeText(DbfCodePage page, const QString& text, QByteArray* out, QString* error);

}  // namespace dbf
}  // namespace kalto

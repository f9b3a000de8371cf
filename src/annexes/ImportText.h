#pragma once
// The text files of the imports: the lines of an input file (Windows-1252 or UTF-8, with or
// without a byte-order mark, lines ended by CRLF, LF or CR) and the bytes of an error file
// (Windows-1252, every line ended by CRLF).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "core/TextFiles.h"

namespace kalto {

// The lines of a text file. UTF-8 is recognised by its byte-order mark or by being valid
// UTF-8 throughout; anything else is Windows-1252 (a UTF-16 file is recognised by its mark).
// A final line ending does not begin another line, and a DOS end-of-file mark (0x1A) at the
// very end is not part of the text.
QStringList importLines(const QByteArray& bytes);

// The error file: every line in Windows-1252 followed by CRLF. A character Windows-1252
// cannot hold (only possible in a value read from a UTF-8 file, whose message names it) is
// written as '?'.
QByteArray errorFileBytes(const QStringList& lines);

// "U+2713": how the messages name a character that cannot be stored.
QString characterCode(char32_t c);
// The first character of `text` that Windows-1252 cannot hold; 0 when there is none.
char32_t firstNonCp1252(const QString& text);

}  // namespace kalto

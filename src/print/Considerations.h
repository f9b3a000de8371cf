#pragma once
// The text of general considerations for filling in the application, a file delivered
// beside the program that the print window shows on opening.

#include <QByteArray>
#include <QString>

namespace kalto {

// The considerations file of the data folder: "CONSIDERA.TXT", found without regard to
// letter case; the path with that name when there is none.
QString considerationsFile(const QString& folder);

// Text of a file written as UTF-8 (with or without BOM) or, when it is not valid UTF-8, as
// Windows-1252. Line ends CR LF and CR become LF. False when the file cannot be read.
bool readTextFile(const QString& path, QString* text);
QString decodeText(const QByteArray& bytes);

}  // namespace kalto

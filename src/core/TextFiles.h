#pragma once
// Text files the program reads (the considerations delivered beside the program, import
// files): UTF-8 with or without BOM, or Windows-1252.

#include <QByteArray>
#include <QString>

namespace kalto {

// The considerations file of the data folder: "CONSIDERA.TXT", found without regard to
// letter case; the path with that name when there is none. The print window shows it on
// opening; the questionnaire prints it after itself.
QString considerationsFile(const QString& folder);

// The file `name` of `folder` as the folder spells it (letter case ignored, as the drives of
// the users' systems do); folder + "/" + name when there is none.
QString fileInFolder(const QString& folder, const QString& name);

// Text of a file written as UTF-8 (recognised by its byte-order mark or by being valid UTF-8
// throughout), UTF-16 with its mark, or else Windows-1252. Accents written apart from their
// letters are joined to them; line ends CR LF and CR become LF; a DOS end-of-file mark (0x1A)
// at the very end is not part of the text. False when the file cannot be read.
bool readTextFile(const QString& path, QString* text);
QString decodeText(const QByteArray& bytes);

}  // namespace kalto

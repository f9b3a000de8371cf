#pragma once
// Letter case of typed text. The tables hold Windows-1252, so a letter is changed only into
// a letter that Windows-1252 holds too: µ, ƒ and ß keep the case they were typed in, and a
// letter never becomes two (ß is not turned into "SS").

#include <QChar>
#include <QString>

namespace kalto {

// The upper-case form of every letter of `text` (lower-case form with upperCase false).
QString changeLetterCase(const QString& text, bool upperCase);
inline QString upperCase(const QString& text) { return changeLetterCase(text, true); }
QChar upperCase(QChar c);

}  // namespace kalto

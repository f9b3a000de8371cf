#pragma once
// Key filters shared by every window: which typed characters a field admits.

#include <QChar>

namespace kalto {

// The header's numeric fields: digits, Escape, Backspace and Tab pass; anything else
// gives 0 (discarded).
inline int digitKeyFilter(int keyAscii) {
    if ((keyAscii >= '0' && keyAscii <= '9') || keyAscii == 27 || keyAscii == 8 || keyAscii == 9) return keyAscii;
    return 0;
}

// The same filter for one character of text entering such a field by any way (typed, pasted,
// dropped): false refuses it.
inline bool digitAdmitted(QChar& ch) { return digitKeyFilter(ch.unicode()) != 0; }

}  // namespace kalto

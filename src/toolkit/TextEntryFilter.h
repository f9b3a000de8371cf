#pragma once
// Text entering a line edit by any way the user has (typed, pasted with Ctrl+V, Shift+Insert
// or the context menu, dropped, composed by an input method) passes, one character at a
// time, through the same filter as a typed key. Characters the filter refuses are left out;
// when none is left the entry is refused as a whole and the field stays as it was (a
// selection included), as with a refused key. Characters no key can type (line breaks, tabs,
// other control characters) never enter. Text the program sets (setText), an undo and a redo
// are not filtered.

#include <functional>

class QChar;
class QLineEdit;

namespace kalto {

// One character entering the field: false refuses it; `ch` may be replaced.
using CharFilter = std::function<bool(QChar& ch)>;

// Installs the filter on `edit` for as long as the edit lives (replacing its validator).
void filterTextEntry(QLineEdit* edit, CharFilter admit);

}  // namespace kalto

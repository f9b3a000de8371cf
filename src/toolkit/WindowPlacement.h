#pragma once
// Where windows open: every window of the program is centred on the screen of its owner.

class QWidget;

namespace kalto {

// Moves `window` (its frame included) to the centre of the screen its parent is on, or of the
// primary screen when it has no parent. Nothing happens when there is no screen.
void centreOnScreen(QWidget* window);

}  // namespace kalto

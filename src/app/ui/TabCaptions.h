#pragma once
// Every caption of a tab strip shown whole, side by side, without scroll arrows: where the
// tab widget is too narrow for the captions at its font, the strip's font is made smaller,
// step by step, down to a legible minimum (below it the strip scrolls).

class QTabWidget;

namespace kalto {

// The width the captions need at the tab widget's own font.
int tabCaptionsWidth(const QTabWidget* tabs);
// Sets the strip's font for the tab widget's present width.
void fitTabCaptions(QTabWidget* tabs);

}  // namespace kalto

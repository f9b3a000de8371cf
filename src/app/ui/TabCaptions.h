#pragma once
// Every caption of a tab strip shown whole, side by side, without scroll arrows: where the
// tab widget is too narrow for the captions at its font, the strip's font is made smaller,
// step by step, down to a legible minimum (below it the strip scrolls).

#include <QTabWidget>

namespace kalto {

// The width the captions need at the tab widget's own font.
int tabCaptionsWidth(const QTabWidget* tabs);
// Sets the strip's font for the tab widget's present width.
void fitTabCaptions(QTabWidget* tabs);

// The main window's tab control: its strip named "<name>_tabs", fitted whenever it is resized.
class CaptionTabs : public QTabWidget {
    Q_OBJECT
public:
    explicit CaptionTabs(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace kalto

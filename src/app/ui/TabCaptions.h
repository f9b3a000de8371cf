#pragma once
// Tab captions shown whole, at the window's own font, without scroll arrows: where the strip
// is too narrow for every caption on one line, the longest captions are shown on two lines,
// the longest first, until the strip fits (only a window narrower than every caption on two
// lines scrolls). The captions themselves (tabText) are never changed.

#include <QTabBar>
#include <QTabWidget>

#include <vector>

namespace kalto {

class CaptionTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit CaptionTabBar(QWidget* parent = nullptr);

    // Shows on two lines as few captions as a strip `room` pixels wide needs.
    void fitTo(int room);
    // The strip's width with every caption on one line, and with every caption wrapped.
    int oneLineWidth() const;
    int wrappedWidth() const;
    // The caption as shown: with a line break where it is wrapped.
    QString shownText(int index) const;

protected:
    QSize tabSizeHint(int index) const override;
    void initStyleOption(QStyleOptionTab* option, int tabIndex) const override;
    void tabInserted(int index) override;
    void tabRemoved(int index) override;

private:
    int stripWidth(const std::vector<bool>& wrapped) const;
    QSize hintFor(int index, bool wrapped) const;
    // Tells the strip (and its tab widget) that the tabs' sizes changed.
    void relayout();

    std::vector<bool> wrapped_;  // by tab
};

// The main window's tab control: its strip, named "<name>_tabs", fitted whenever it is resized.
class CaptionTabs : public QTabWidget {
    Q_OBJECT
public:
    explicit CaptionTabs(QWidget* parent = nullptr);
    CaptionTabBar* captionBar() const { return bar_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    CaptionTabBar* bar_;
};

// The width a tab widget needs to show every caption on one line.
int tabCaptionsWidth(const QTabWidget* tabs);

}  // namespace kalto

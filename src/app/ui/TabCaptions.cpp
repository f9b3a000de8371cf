#include "app/ui/TabCaptions.h"

#include <QEvent>
#include <QFontMetrics>
#include <QStyleOptionTab>

#include <algorithm>

namespace kalto {

namespace {

constexpr int kSlack = 4;  // where the strip starts inside the tab widget, and a pixel to spare

// The caption on two lines, broken at the blank that leaves the wider line narrowest (never
// before a slash); the caption itself when it cannot be broken.
QString twoLines(const QString& caption, const QFontMetrics& fm) {
    int best = -1;
    int bestWidth = fm.horizontalAdvance(caption);
    for (int i = caption.indexOf(QLatin1Char(' ')); i >= 0; i = caption.indexOf(QLatin1Char(' '), i + 1)) {
        if (caption.mid(i + 1).startsWith(QLatin1Char('/'))) continue;  // a slash ends its line
        const int width = std::max(fm.horizontalAdvance(caption.left(i)), fm.horizontalAdvance(caption.mid(i + 1)));
        if (width < bestWidth) {
            best = i;
            bestWidth = width;
        }
    }
    return best < 0 ? caption : caption.left(best) + QLatin1Char('\n') + caption.mid(best + 1);
}

}  // namespace

CaptionTabBar::CaptionTabBar(QWidget* parent) : QTabBar(parent) {
    setElideMode(Qt::ElideNone);
    setUsesScrollButtons(true);  // only for a window narrower than every caption wrapped
    setExpanding(false);
}

QString CaptionTabBar::shownText(int index) const {
    const bool wrapped = index >= 0 && index < int(wrapped_.size()) && wrapped_[index];
    return wrapped ? twoLines(tabText(index), fontMetrics()) : tabText(index);
}

QSize CaptionTabBar::hintFor(int index, bool wrapped) const {
    const QSize base = QTabBar::tabSizeHint(index);
    if (!wrapped) return base;
    const QFontMetrics fm = fontMetrics();
    const QSize one = fm.size(Qt::TextShowMnemonic, tabText(index));
    const QSize two = fm.size(Qt::TextShowMnemonic, twoLines(tabText(index), fm));
    return base + two - one;
}

QSize CaptionTabBar::tabSizeHint(int index) const {
    return hintFor(index, index >= 0 && index < int(wrapped_.size()) && wrapped_[index]);
}

int CaptionTabBar::stripWidth(const std::vector<bool>& wrapped) const {
    int width = 0;
    for (int i = 0; i < count(); ++i) width += hintFor(i, wrapped[i]).width();
    return width;
}

int CaptionTabBar::oneLineWidth() const { return stripWidth(std::vector<bool>(count(), false)); }
int CaptionTabBar::wrappedWidth() const { return stripWidth(std::vector<bool>(count(), true)); }

void CaptionTabBar::fitTo(int room) {
    std::vector<bool> wrapped(count(), false);
    while (stripWidth(wrapped) > room) {
        int widest = -1;
        int widestWidth = 0;
        for (int i = 0; i < count(); ++i) {
            const int width = hintFor(i, false).width();
            if (!wrapped[i] && width > widestWidth && hintFor(i, true).width() < width) {
                widest = i;
                widestWidth = width;
            }
        }
        if (widest < 0) break;  // every caption that can be wrapped is
        wrapped[widest] = true;
    }
    if (wrapped == wrapped_) return;
    wrapped_ = wrapped;
    relayout();
}

void CaptionTabBar::relayout() {
    // Setting a caption again makes the strip lay its tabs out anew and ask its tab widget
    // for the room they take now.
    if (count() > 0) setTabText(0, tabText(0));
}

void CaptionTabBar::initStyleOption(QStyleOptionTab* option, int tabIndex) const {
    QTabBar::initStyleOption(option, tabIndex);
    option->text = shownText(tabIndex);
}

void CaptionTabBar::tabInserted(int index) {
    wrapped_.insert(wrapped_.begin() + std::clamp(index, 0, int(wrapped_.size())), false);
    QTabBar::tabInserted(index);
}

void CaptionTabBar::tabRemoved(int index) {
    if (index >= 0 && index < int(wrapped_.size())) wrapped_.erase(wrapped_.begin() + index);
    QTabBar::tabRemoved(index);
}

CaptionTabs::CaptionTabs(QWidget* parent) : QTabWidget(parent), bar_(new CaptionTabBar(this)) {
    setTabBar(bar_);
    // Compact tabs: more captions fit on one line.
    bar_->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 6px; }"));
    connect(this, &QObject::objectNameChanged, this,
            [this](const QString& name) { bar_->setObjectName(name + QStringLiteral("_tabs")); });
}

void CaptionTabs::resizeEvent(QResizeEvent* event) {
    bar_->fitTo(width() - kSlack);
    QTabWidget::resizeEvent(event);
}

void CaptionTabs::changeEvent(QEvent* event) {
    QTabWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) bar_->fitTo(width() - kSlack);
}

int tabCaptionsWidth(const QTabWidget* tabs) {
    const auto* bar = qobject_cast<const CaptionTabBar*>(tabs->tabBar());
    return (bar ? bar->oneLineWidth() : tabs->tabBar()->sizeHint().width()) + kSlack;
}

}  // namespace kalto

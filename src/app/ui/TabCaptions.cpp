#include "app/ui/TabCaptions.h"

#include <QFontMetrics>
#include <QTabBar>

namespace kalto {

namespace {

constexpr qreal kSmallestPoints = 7.0;
constexpr int kSmallestPixels = 9;
constexpr int kSlack = 4;  // where the strip starts inside the tab widget, and a pixel to spare

int textWidth(const QTabBar* bar, const QFont& font) {
    const QFontMetrics metrics(font);
    int width = 0;
    for (int i = 0; i < bar->count(); ++i) width += metrics.horizontalAdvance(bar->tabText(i));
    return width;
}

// Padding and borders of the tabs: what the strip needs besides the captions' text.
int padding(const QTabBar* bar) { return bar->sizeHint().width() - textWidth(bar, bar->font()); }

bool smaller(QFont& font) {
    if (font.pointSizeF() > 0) {
        if (font.pointSizeF() - 0.5 < kSmallestPoints) return false;
        font.setPointSizeF(font.pointSizeF() - 0.5);
    } else {
        if (font.pixelSize() - 1 < kSmallestPixels) return false;
        font.setPixelSize(font.pixelSize() - 1);
    }
    return true;
}

}  // namespace

int tabCaptionsWidth(const QTabWidget* tabs) {
    const QTabBar* bar = tabs->tabBar();
    return textWidth(bar, tabs->font()) + padding(bar) + kSlack;
}

void fitTabCaptions(QTabWidget* tabs) {
    QTabBar* bar = tabs->tabBar();
    const int room = tabs->width() - kSlack - padding(bar);
    QFont font = tabs->font();
    while (textWidth(bar, font) > room && smaller(font)) {
    }
    if (font != bar->font()) bar->setFont(font);
}

CaptionTabs::CaptionTabs(QWidget* parent) : QTabWidget(parent) {
    tabBar()->setElideMode(Qt::ElideNone);
    tabBar()->setUsesScrollButtons(true);
    tabBar()->setExpanding(false);
    // Compact tabs, so that the nine captions fit side by side on an ordinary screen.
    tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 6px; }"));
    connect(this, &QObject::objectNameChanged, this,
            [this](const QString& name) { tabBar()->setObjectName(name + QStringLiteral("_tabs")); });
}

void CaptionTabs::resizeEvent(QResizeEvent* event) {
    QTabWidget::resizeEvent(event);
    fitTabCaptions(this);
}

}  // namespace kalto

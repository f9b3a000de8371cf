// The main window's nine tab captions on a screen 1024 pixels wide and on a wide one: whole,
// at the window's own font, none behind scroll arrows.

#include "WindowFixture.h"

#include "app/ui/TabCaptions.h"

#include <QToolButton>

using namespace kalto;
using kalto::test::WindowTest;

TEST_F(WindowTest, TabCaptionsAreWholeAtTheWindowFontFrom1024PixelsOn) {
    auto* bar = qobject_cast<CaptionTabBar*>(tab()->tabBar());
    ASSERT_NE(bar, nullptr);
    const int margins = window->width() - tab()->width();
    // The window's width on a 1024-pixel screen, then wide enough for every caption on one line.
    for (int width : {1000, tabCaptionsWidth(tab()) + margins}) {
        window->resize(width, 700);
        QApplication::processEvents();
        ASSERT_EQ(window->width(), width);
        EXPECT_EQ(bar->font(), tab()->font());
        for (QToolButton* arrow : bar->findChildren<QToolButton*>()) EXPECT_FALSE(arrow->isVisible()) << width;
        EXPECT_GE(bar->tabRect(0).left(), 0) << width;
        EXPECT_LE(bar->tabRect(8).right(), bar->width()) << width;
        int wrapped = 0;
        for (int i = 0; i < 9; ++i) {
            // The caption itself, on one line or broken at a blank, with room for every line.
            const QString shown = bar->shownText(i);
            EXPECT_EQ(QString(shown).replace(u'\n', u' '), bar->tabText(i));
            EXPECT_LE(shown.count(u'\n'), 1);
            wrapped += shown.contains(u'\n');
            const QSize text = bar->fontMetrics().size(0, shown);
            EXPECT_GE(bar->tabRect(i).width(), text.width()) << i;
            EXPECT_GE(bar->tabRect(i).height(), text.height()) << i;
        }
        EXPECT_EQ(wrapped > 0, width == 1000) << width;
    }
}

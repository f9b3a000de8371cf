#include "toolkit/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kalto {

void centreOnScreen(QWidget* window) {
    if (!window) return;
    const QWidget* owner = window->parentWidget();
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - window->frameGeometry().width()) / 2,
                 area.y() + (area.height() - window->frameGeometry().height()) / 2);
}

}  // namespace kalto

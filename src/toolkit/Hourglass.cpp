#include "toolkit/Hourglass.h"

#include <QApplication>

namespace kalto {

Hourglass::Hourglass() {
    // Without a GUI application (a command-line run) there is no pointer to change.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        active_ = true;
    }
}

Hourglass::~Hourglass() { restore(); }

void Hourglass::restore() {
    if (!active_) return;
    active_ = false;
    QGuiApplication::restoreOverrideCursor();
}

}  // namespace kalto

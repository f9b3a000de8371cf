#include "toolkit/MessageBoxMessages.h"

#include <QApplication>
#include <QMessageBox>

namespace kalto {

namespace {

QWidget* ownerWindow(QWidget* fallback) {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return fallback;
}

int showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    // A message shown during long work must not keep the hourglass pointer.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (waiting) QApplication::restoreOverrideCursor();
    return answer;
}

}  // namespace

MessageBoxMessages::MessageBoxMessages(QWidget* fallbackParent) : fallbackParent_(fallbackParent) {}

void MessageBoxMessages::exclamation(const QString& text, const QString& title) {
    showBox(ownerWindow(fallbackParent_), QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBoxMessages::stop(const QString& text, const QString& title) {
    showBox(ownerWindow(fallbackParent_), QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBoxMessages::information(const QString& text, const QString& title) {
    showBox(ownerWindow(fallbackParent_), QMessageBox::Information, title, text, QMessageBox::Ok,
            QMessageBox::Ok);
}

void MessageBoxMessages::plain(const QString& text, const QString& title) {
    const QString shown = title.isEmpty() ? QGuiApplication::applicationDisplayName() : title;
    showBox(ownerWindow(fallbackParent_), QMessageBox::NoIcon, shown, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBoxMessages::askYesNo(const QString& text, bool exclamationIcon, const QString& title,
                                  Answer defaultAnswer) {
    const auto icon = exclamationIcon ? QMessageBox::Warning : QMessageBox::Question;
    const auto preset = defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes;
    return showBox(ownerWindow(fallbackParent_), icon, title, text, QMessageBox::Yes | QMessageBox::No, preset) ==
           QMessageBox::Yes;
}

}  // namespace kalto

#pragma once
// Messages shown in real message boxes: title "KALTO" unless another is given, parented to
// the active window, with the ordinary arrow pointer even while the hourglass is up.

#include "core/Messages.h"

#include <QPointer>
#include <QWidget>

namespace kalto {

class MessageBoxMessages : public Messages {
public:
    // `fallbackParent` is used when no window of the program is active.
    explicit MessageBoxMessages(QWidget* fallbackParent = nullptr);

    void exclamation(const QString& text, const QString& title = QStringLiteral("KALTO")) override;
    void stop(const QString& text, const QString& title = QStringLiteral("KALTO")) override;
    void information(const QString& text, const QString& title = QStringLiteral("KALTO")) override;
    void plain(const QString& text, const QString& title = QString()) override;
    bool askYesNo(const QString& text, bool exclamationIcon = false, const QString& title = QStringLiteral("KALTO"),
                  Answer defaultAnswer = Answer::Yes) override;

private:
    QPointer<QWidget> fallbackParent_;
};

}  // namespace kalto

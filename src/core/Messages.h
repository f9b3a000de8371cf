#pragma once
// Every message box of the program goes through this interface: the windows use the
// QMessageBox implementation, tests a recorder that also scripts Yes/No answers.

#include <QString>

namespace kalto {

class Messages {
public:
    // The answer a question gives when the user just presses Enter.
    enum class Answer { Yes, No };

    virtual ~Messages() = default;
    // Exclamation icon, OK button: a rejected value, a broken rule, a completion notice.
    virtual void exclamation(const QString& text, const QString& title = QStringLiteral("KALTO")) = 0;
    // Stop icon, OK button: a required value missing.
    virtual void stop(const QString& text, const QString& title = QStringLiteral("KALTO")) = 0;
    // Information icon, OK button.
    virtual void information(const QString& text, const QString& title = QStringLiteral("KALTO")) = 0;
    // No icon, OK button; an empty title means the toolkit's default one.
    virtual void plain(const QString& text, const QString& title = QString()) = 0;
    // Yes/No with the question icon (or the exclamation icon); true means Yes. A question
    // whose Yes throws data away has No as its default answer.
    virtual bool askYesNo(const QString& text, bool exclamationIcon = false,
                          const QString& title = QStringLiteral("KALTO"), Answer defaultAnswer = Answer::Yes) = 0;
};

}  // namespace kalto

#pragma once
// Messages that are recorded instead of shown, with scripted answers to questions.

#include "core/Messages.h"

#include <QList>
#include <QStringList>

namespace kalto {

class RecordingMessages : public Messages {
public:
    enum class Kind { Exclamation, Stop, Information, Plain, Question };
    struct Entry {
        Kind kind;
        QString text;
        QString title;
        Answer presetAnswer = Answer::Yes;  // questions: the answer Enter gives
    };

    void exclamation(const QString& text, const QString& title) override { add(Kind::Exclamation, text, title); }
    void stop(const QString& text, const QString& title) override { add(Kind::Stop, text, title); }
    void information(const QString& text, const QString& title) override { add(Kind::Information, text, title); }
    void plain(const QString& text, const QString& title) override { add(Kind::Plain, text, title); }
    bool askYesNo(const QString& text, bool, const QString& title, Answer preset) override {
        add(Kind::Question, text, title);
        entries.last().presetAnswer = preset;
        return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
    }

    QStringList texts() const {
        QStringList out;
        for (const auto& e : entries) out << e.text;
        return out;
    }
    QString last() const { return entries.isEmpty() ? QString() : entries.last().text; }
    void clear() { entries.clear(); }

    QList<Entry> entries;
    QList<bool> answers;        // consumed by askYesNo in order
    bool defaultAnswer = false;

private:
    void add(Kind kind, const QString& text, const QString& title) { entries.append({kind, text, title}); }
};

}  // namespace kalto

#include "toolkit/TextEntryFilter.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QValidator>

#include <optional>

namespace kalto {

namespace {

// A validator sees every change of the field's text after it is made, whatever made it. What
// the user inserted is told apart by the field as it was before the change (its text and its
// selection or caret, kept at each change): the inserted text replaced the selection, or went
// in at the caret.
class EntryValidator : public QValidator {
public:
    EntryValidator(QLineEdit* edit, CharFilter admit) : QValidator(edit), edit_(edit), admit_(std::move(admit)) {
        remember();
        connect(edit, &QLineEdit::textChanged, this, &EntryValidator::remember);
        connect(edit, &QLineEdit::cursorPositionChanged, this, &EntryValidator::remember);
        connect(edit, &QLineEdit::selectionChanged, this, &EntryValidator::remember);
        edit->installEventFilter(this);
    }

    State validate(QString& input, int& pos) const override {
        // setText leaves no undo step; after an undo a redo is left: neither is the user's entry.
        if (!edit_->isUndoAvailable() || edit_->isRedoAvailable()) return Acceptable;
        const qsizetype kept = before_.size() - length_;
        const qsizetype inserted = input.size() - kept;
        if (inserted <= 0 || start_ + inserted > input.size()) return Acceptable;  // nothing went in
        if (QStringView(input).left(start_) != QStringView(before_).left(start_) ||
            QStringView(input).mid(start_ + inserted) != QStringView(before_).mid(start_ + length_))
            return Acceptable;  // not an entry at the caret (cannot be told apart): left alone
        QString entered = input.mid(start_, inserted);
        // The field cut a pasted or dropped text to its length before it could be filtered:
        // what is refused must not take the room of what follows it.
        if (source_ && input.size() >= edit_->maxLength() && source_->size() > entered.size() &&
            source_->startsWith(entered))
            entered = *source_;
        QString admitted;
        for (QChar ch : entered)
            if (ch.isPrint() && !ch.isSurrogate() && admit_(ch)) admitted.append(ch);
        admitted.truncate(qMax<qsizetype>(0, edit_->maxLength() - kept));
        if (admitted == QStringView(input).mid(start_, inserted)) return Acceptable;
        if (admitted.isEmpty()) return Invalid;  // the field goes back to how it was
        input.replace(start_, inserted, admitted);
        pos = static_cast<int>(start_ + admitted.size());
        return Acceptable;
    }

protected:
    // The whole text of a paste or a drop, before the field cuts it to its length.
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
            source_.reset();
            if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste))
                source_ = QApplication::clipboard()->text();
            break;
        case QEvent::ContextMenu:  // its "Pegar"
            source_ = QApplication::clipboard()->text();
            break;
        case QEvent::Drop:
            source_ = static_cast<QDropEvent*>(event)->mimeData()->text();
            break;
        case QEvent::MouseButtonRelease:
            source_.reset();
            if (static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton)
                source_ = QApplication::clipboard()->text(QClipboard::Selection);
            break;
        case QEvent::InputMethod:
            source_.reset();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void remember() {
        before_ = edit_->text();
        length_ = edit_->hasSelectedText() ? edit_->selectionLength() : 0;
        start_ = edit_->hasSelectedText() ? edit_->selectionStart() : edit_->cursorPosition();
    }

    QLineEdit* edit_;
    CharFilter admit_;
    QString before_;
    qsizetype start_ = 0;
    qsizetype length_ = 0;
    std::optional<QString> source_;
};

}  // namespace

void filterTextEntry(QLineEdit* edit, CharFilter admit) {
    if (!edit) return;
    delete edit->findChild<EntryValidator*>(QString(), Qt::FindDirectChildrenOnly);
    edit->setValidator(new EntryValidator(edit, std::move(admit)));
}

}  // namespace kalto

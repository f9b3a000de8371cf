// Text entering a line edit through the filter of its typed keys: a digits-only field and a
// free-text one, each way text comes in, what the field shows afterwards.

#include "core/KeyFilters.h"
#include "toolkit/TextEntryFilter.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalto;

TEST(TextEntryFilter, EveryWayTextEntersPassesTheKeyFilter) {
    enum Way { Typed, CtrlV, ShiftInsert, PasteSlot, SetText };
    const struct {
        bool digits;
        int maxLength;
        const char* before;
        int selStart, selLength;  // selLength 0: the caret at selStart
        Way way;
        const char* text;
        const char* after;
        const char* selected;  // what stays selected
    } cases[] = {
        {true, 32767, "12", 2, 0, CtrlV, "a3b", "123", ""},
        {true, 32767, "12", 1, 0, Typed, "x5", "152", ""},
        {true, 32767, "123", 0, 3, PasteSlot, "abc", "123", "123"},  // nothing left: the field stays
        {true, 32767, "123", 0, 3, ShiftInsert, "x9", "9", ""},
        {true, 4, "", 0, 0, CtrlV, " 2009", "2009", ""},  // filtered before the field cuts it
        {true, 32767, "", 0, 0, SetText, "a1", "a1", ""},   // the program's own text
        {false, 32767, "", 0, 0, PasteSlot, "A\tB\nC\u00D1", "ABC\u00D1", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " <- " + c.text);
        QLineEdit edit;
        edit.setMaxLength(c.maxLength);
        filterTextEntry(&edit, c.digits ? CharFilter(digitAdmitted) : CharFilter([](QChar&) { return true; }));
        edit.setText(QString::fromUtf8(c.before));
        edit.setSelection(c.selStart, c.selLength);
        const QString text = QString::fromUtf8(c.text);
        QApplication::clipboard()->setText(text);
        switch (c.way) {
        case Typed: QTest::keyClicks(&edit, text); break;
        case CtrlV: QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier); break;
        case ShiftInsert: QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier); break;
        case PasteSlot: edit.paste(); break;
        case SetText: edit.setText(text); break;
        }
        EXPECT_EQ(edit.text().toStdString(), c.after);
        EXPECT_EQ(edit.selectedText().toStdString(), c.selected);
    }
    // An undo gives back what a deletion took, even where no key could type it.
    QLineEdit edit;
    filterTextEntry(&edit, digitAdmitted);
    edit.setText(QStringLiteral("AB"));
    edit.selectAll();
    edit.del();
    edit.undo();
    EXPECT_EQ(edit.text(), QStringLiteral("AB"));
}

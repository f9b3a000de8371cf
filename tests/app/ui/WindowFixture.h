#pragma once
// The real main window on a temporary data folder holding the delivered catalogues, with Qt's
// own texts in Spanish as the program installs them.

#include "support/PrintQString.h"
#include "support/RecordingMessages.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/BoundGridModel.h"
#include "app/ui/SpanishTranslation.h"
#include "app/ui/frmKALTO.h"
#include "data/Database.h"
#include "support/TestFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>


namespace kalto::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void TearDown() override { shut(); }

    void open() {
        ASSERT_TRUE(installSpanishTranslation(*qApp)) << "Qt's Spanish catalogue (qt6-translations-l10n)";
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        window = std::make_unique<frmKALTO>(db, messages);
        ASSERT_TRUE(window->load(&error)) << error.toStdString();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        QApplication::processEvents();
    }
    void shut() {
        if (!window) return;
        window->close();
        window.reset();
        QApplication::processEvents();
        db.close();
    }
    // Closes the window and the database, and opens both again on the same folder.
    void reopen() {
        shut();
        open();
    }

    template <class T = QWidget>
    T* find(const QString& name) const {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << "no control " << name.toStdString();
        return w;
    }
    BoundGrid* grid(const QString& name) const { return find<BoundGrid>(name); }

    QWidget* focused() const {
        QWidget* w = QApplication::focusWidget();
        return w ? w : window.get();
    }
    void type(const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 128) QTest::keyClicks(focused(), QString(c));
            else QTest::sendKeyEvent(QTest::Click, focused(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(focused(), k, m); }
    void focus(QWidget* w) {
        w->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
    }
    // Starts typing in the add-new row of `g`, at `column`.
    void startNewRow(BoundGrid* g, int column) {
        focus(g);
        ASSERT_TRUE(g->setCurrentCell(g->gridModel()->addNewRow(), column));
    }
    // Types the cells of a new row from `column` on, Tab between them; the row is left in edit.
    void typeRow(BoundGrid* g, const QStringList& cells, int column = 0) {
        startNewRow(g, column);
        for (int i = 0; i < cells.size(); ++i) {
            if (i > 0) key(Qt::Key_Tab);
            type(cells[i]);
        }
    }
    // The same, the row left with Down.
    void addRow(BoundGrid* g, const QStringList& cells, int column = 0) {
        typeRow(g, cells, column);
        key(Qt::Key_Down);
    }
    // Types into a header field and leaves it with Tab.
    void fill(const QString& field, const QString& text) {
        focus(find(field));
        type(text);
        key(Qt::Key_Tab);
    }
    // The first column of every row a grid shows.
    static QStringList streets(BoundGrid* g) {
        QStringList out;
        for (int r = 0; r < g->rowCount(); ++r) out << g->cellValue(r, 0).toString();
        return out;
    }
    QTabWidget* tab() const { return find<QTabWidget>(QStringLiteral("SSTabKALTO")); }
    void click(const QString& button) { QTest::mouseClick(find<QAbstractButton>(button), Qt::LeftButton); }
    QVariant scalar(const QString& sql) { return db.scalar(sql); }
    int count(const QString& sql) { return db.scalar(sql).toInt(); }

    TestFolder folder;
    Database db;
    RecordingMessages messages;
    std::unique_ptr<frmKALTO> window;
};

}  // namespace kalto::test

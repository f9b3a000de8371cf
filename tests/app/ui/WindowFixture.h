#pragma once
// The real main window on a temporary data folder holding the delivered catalogues, drives A:
// and C: on temporary folders, with Qt's own texts in Spanish as the program installs them.

#include "app/ui/SpanishTranslation.h"
#include "app/ui/frmKALTO.h"
#include "support/RequestFixture.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/BoundGridModel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace kalto::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void TearDown() override {
        // A failed check inside a modal window must not leave it open over the next test.
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        shut();
    }

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
    // The complete request with `changes` made to it, the window opened again on it.
    void storedRequest(const QStringList& changes = {}) {
        ASSERT_TRUE(writeCompleteRequest(db, QStringLiteral("EMPRESA DE PRUEBA")));
        for (const QString& sql : changes) ASSERT_TRUE(db.execute(sql)) << sql.toStdString();
        shut();
        open();
        messages.clear();
    }
    // A legal representative typed and left in edit (the complete request has none after
    // "delete from imrlegal").
    void typeRepresentative(const QString& name) {
        typeRow(grid(QStringLiteral("dbRepLegal")), {name, "perez", "lopez", "5552", "directora", "ana@b.mx"});
    }
    // Runs `act` on the modal window of type T once it is up, then closes it; `press` opens it.
    // False when no such window came up.
    template <class T> bool inModal(const std::function<void()>& press, const std::function<void(T*)>& act) {
        bool opened = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!w || !w->isVisible() || !w->isActiveWindow()) return;  // typing needs it active
            poll.stop();
            opened = true;
            act(w);
            if (w->isVisible()) w->close();
        });
        poll.start(5);
        press();
        poll.stop();
        // The offscreen platform does not give the main window back its activation.
        if (!QApplication::activeWindow()) {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        QApplication::processEvents();
        return opened;
    }

    template <class T = QWidget> T* find(const QString& name) const {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << "no control " << name.toStdString();
        return w;
    }
    BoundGrid* grid(const QString& name) const { return find<BoundGrid>(name); }
    void choose(int tramite, int modalidad) {
        find<QComboBox>(QStringLiteral("cmbTramite"))->setCurrentIndex(tramite);
        find<QComboBox>(QStringLiteral("cmbModalidad"))->setCurrentIndex(modalidad);
        QApplication::processEvents();
    }

    QWidget* focused() const { return QApplication::focusWidget() ? QApplication::focusWidget() : window.get(); }
    void type(const QString& text) {
        for (const QChar c : text)
            c.unicode() < 128 ? QTest::keyClicks(focused(), QString(c))
                              : QTest::sendKeyEvent(QTest::Click, focused(), Qt::Key_unknown, QString(c), Qt::NoModifier);
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
        type(cells.join(u'\t'));
    }
    // The same, the row left with Down.
    void addRow(BoundGrid* g, const QStringList& cells, int column = 0) {
        typeRow(g, cells, column);
        key(Qt::Key_Down);
    }
    void clickRow(BoundGrid* g, int row) {
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 0)).center());
        QApplication::processEvents();
    }
    // Types into a header field and leaves it with Tab.
    void fill(const QString& field, const QString& text) {
        focus(find(field));
        type(text);
        key(Qt::Key_Tab);
    }
    QString text(const QString& field) const { return find<QLineEdit>(field)->text(); }
    // Column `c` of every row a grid shows.
    static QStringList column(BoundGrid* g, int c = 0) {
        QStringList out;
        for (int r = 0; r < g->rowCount(); ++r) out << g->cellValue(r, c).toString();
        return out;
    }
    QTabWidget* tab() const { return find<QTabWidget>(QStringLiteral("SSTabKALTO")); }
    void click(const QString& button) { QTest::mouseClick(find<QAbstractButton>(button), Qt::LeftButton); }
    QVariant scalar(const QString& sql) { return db.scalar(sql); }
    int count(const QString& sql) { return db.scalar(sql).toInt(); }

    TestDrive driveA;
    TestDrive driveC{"KALTO_UNIDAD_C"};
    TestFolder folder;
    Database db;
    RecordingMessages messages;
    std::unique_ptr<frmKALTO> window;
};

}  // namespace kalto::test

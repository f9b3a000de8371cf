// Pick lists under a grid cell, the message boxes and the hourglass pointer.

#include "app/rules/RecordingMessages.h"
#include "app/toolkit/BoundGrid.h"
#include "app/toolkit/Hourglass.h"
#include "app/toolkit/MessageBoxMessages.h"
#include "app/toolkit/PickList.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "support/TestFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kalto;

namespace {

TEST(PickList, PlacedUnderTheCellAndClosedByKeys) {
    test::TestFolder folder;
    Database db;
    QString error;
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    DataSource source(QStringLiteral("dtsProducto"), &db, QStringLiteral("improd"));
    ASSERT_TRUE(source.refresh(&error)) << error.toStdString();
    RecordingMessages messages;

    QWidget window;
    auto* grid = new BoundGrid(&window);
    grid->move(30, 40);
    grid->resize(600, 300);
    grid->bind(&source,
               {{QStringLiteral("Fracción"), QStringLiteral("FRACCION"), true, 90},
                {QStringLiteral("UMID"), QStringLiteral("UMID"), false, 50},
                {QStringLiteral("Unidad Medida"), QStringLiteral("UM"), true, 120}},
               nullptr, &messages);
    auto* list = new PickList(&window);
    list->setObjectName(QStringLiteral("lstUM"));
    EXPECT_FALSE(list->isVisible());
    list->addEntry(QStringLiteral("KILOGRAMO"), 1);
    list->addEntry(QStringLiteral("LITRO"), 8);
    list->addEntry(QStringLiteral("PIEZA"), 6);
    list->resize(50, 80);
    window.resize(700, 400);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->setCurrentRow(2);

    // A hidden column: nothing happens, the list stays where it was.
    const QPoint before = list->pos();
    placeUnderCell(grid, 1, list, false);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(list->pos(), before);
    placeUnderCell(nullptr, 2, list, false);
    placeUnderCell(grid, 2, nullptr, false);
    EXPECT_FALSE(list->isVisible());

    ASSERT_TRUE(grid->setCurrentRow(0));
    placeUnderCell(grid, 2, list, false);
    EXPECT_TRUE(list->isVisible());
    const QPoint cell = grid->viewport()->mapTo(&window, QPoint(grid->columnLeft(2), grid->rowTop(0)));
    EXPECT_EQ(list->x(), cell.x());
    EXPECT_EQ(list->y(), cell.y() + grid->rowHeight());
    EXPECT_EQ(list->width(), 121);
    EXPECT_EQ(list->height(), 80);
    EXPECT_EQ(list->currentRow(), 0);
    placeUnderCell(grid, 2, list, true);
    EXPECT_EQ(list->width(), 240);

    // Following what is typed.
    EXPECT_TRUE(list->selectByPrefix(QStringLiteral("li")));
    EXPECT_EQ(list->currentText(), QStringLiteral("LITRO"));
    EXPECT_EQ(list->currentData(), 8);
    EXPECT_FALSE(list->selectByPrefix(QStringLiteral("zz")));
    EXPECT_EQ(list->currentText(), QStringLiteral("LITRO"));

    // Enter accepts with the entry still current, hides, and gives the focus to the grid.
    QStringList chosen;
    QObject::connect(list, &PickList::accepted, [&] { chosen << list->currentText(); });
    QSignalSpy cancelled(list, &PickList::cancelled);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(chosen, QStringList{QStringLiteral("LITRO")});
    EXPECT_FALSE(list->isVisible());
    EXPECT_TRUE(grid->hasFocus());

    placeUnderCell(grid, 2, list, false);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_EQ(cancelled.count(), 1);
    EXPECT_EQ(chosen.size(), 1);
    EXPECT_FALSE(list->isVisible());

    // A double click acts as Enter.
    placeUnderCell(grid, 2, list, false);
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(chosen.last(), QStringLiteral("LITRO"));
    EXPECT_EQ(chosen.size(), 2);
    EXPECT_FALSE(list->isVisible());

    // Losing the focus hides it.
    placeUnderCell(grid, 2, list, false);
    list->setFocus();
    ASSERT_TRUE(list->hasFocus());
    grid->setFocus();
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(chosen.size(), 2);
}

// Checks the message box that `show` opens and answers it with `answer`.
struct BoxSeen {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

BoxSeen answerBox(const std::function<void()>& show, QMessageBox::StandardButton answer) {
    BoxSeen seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen = {box->icon(), box->windowTitle(), box->text(), box->standardButtons()};
        if (QAbstractButton* b = box->button(answer)) b->click();
        else box->reject();
    });
    show();
    return seen;
}

TEST(MessageBoxMessages, IconsTitlesAndAnswers) {
    MessageBoxMessages messages;
    BoxSeen s = answerBox([&] { messages.exclamation(QStringLiteral("Valor rechazado. Rectifica por favor")); },
                          QMessageBox::Ok);
    EXPECT_EQ(s.icon, QMessageBox::Warning);
    EXPECT_EQ(s.title, QStringLiteral("KALTO"));
    EXPECT_EQ(s.text, QStringLiteral("Valor rechazado. Rectifica por favor"));
    EXPECT_EQ(s.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    s = answerBox([&] { messages.stop(QStringLiteral("Falta un campo"), QStringLiteral("Otro título")); },
                  QMessageBox::Ok);
    EXPECT_EQ(s.icon, QMessageBox::Critical);
    EXPECT_EQ(s.title, QStringLiteral("Otro título"));

    s = answerBox([&] { messages.information(QStringLiteral("Impreso")); }, QMessageBox::Ok);
    EXPECT_EQ(s.icon, QMessageBox::Information);

    QGuiApplication::setApplicationDisplayName(QStringLiteral("Disco de Captura"));
    s = answerBox([&] { messages.plain(QStringLiteral("Sin título")); }, QMessageBox::Ok);
    EXPECT_EQ(s.icon, QMessageBox::NoIcon);
    EXPECT_EQ(s.title, QStringLiteral("Disco de Captura"));

    bool yes = false;
    s = answerBox([&] { yes = messages.askYesNo(QStringLiteral("¿Continuar?")); }, QMessageBox::Yes);
    EXPECT_TRUE(yes);
    EXPECT_EQ(s.icon, QMessageBox::Question);
    EXPECT_EQ(s.buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    s = answerBox([&] { yes = messages.askYesNo(QStringLiteral("¿Borrar?"), true); }, QMessageBox::No);
    EXPECT_FALSE(yes);
    EXPECT_EQ(s.icon, QMessageBox::Warning);

    // A message during long work shows the ordinary pointer, and the hourglass comes back.
    {
        Hourglass wait;
        Qt::CursorShape during = Qt::WaitCursor;
        QTimer::singleShot(0, [&] {
            if (QGuiApplication::overrideCursor()) during = QGuiApplication::overrideCursor()->shape();
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
        });
        messages.exclamation(QStringLiteral("Aviso"));
        EXPECT_EQ(during, Qt::ArrowCursor);
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Hourglass, NestsAndRestoresOnce) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        Hourglass outer;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            Hourglass inner;
            inner.restore();
            inner.restore();  // a second restore takes nothing more off
            EXPECT_FALSE(inner.isActive());
            ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        }
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace

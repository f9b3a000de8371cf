// Pick lists under a grid cell, the message boxes and the hourglass pointer.

#include "toolkit/BoundGrid.h"
#include "toolkit/Hourglass.h"
#include "toolkit/MessageBoxMessages.h"
#include "toolkit/PickList.h"
#include "data/DataSource.h"
#include "support/TestFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kalto;

TEST(PickList, PlacedUnderTheCellAndClosedByKeys) {
    test::TestFolder folder;
    Database db;
    ASSERT_TRUE(folder.open(db));
    DataSource source(QStringLiteral("dtsProducto"), &db, QStringLiteral("improd"));
    ASSERT_TRUE(source.refresh());
    QWidget window;
    auto* grid = new BoundGrid(&window);
    grid->setGeometry(30, 40, 600, 300);
    const QList<GridColumn> columns{{{}, QStringLiteral("FRACCION"), true, 90},
                                    {{}, QStringLiteral("UMID"), false, 50},  // hidden
                                    {{}, QStringLiteral("UM"), true, 120}};
    grid->bind(&source, columns, nullptr, nullptr);
    auto* list = new PickList(&window);
    list->addEntry(QStringLiteral("KILOGRAMO"), 1);
    list->addEntry(QStringLiteral("LITRO"), 8);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // At the left of the column (the hidden one takes no room), under the current row, one pixel
    // wider than the column, or twice as wide.
    placeUnderCell(grid, 2, list, true);
    EXPECT_EQ(list->width(), 240);
    placeUnderCell(grid, 2, list, false);
    EXPECT_EQ(list->pos(), grid->viewport()->mapTo(&window, QPoint(90, grid->rowHeight())));
    EXPECT_EQ(list->width(), 121);
    const QPoint second = list->visualItemRect(list->item(1)).center();

    // Enter accepts (the entry still current) and gives the focus back to the grid; Escape cancels;
    // a double click acts as Enter; losing the focus closes the list, choosing nothing.
    QStringList chosen;
    QObject::connect(list, &PickList::accepted, [&] { chosen << list->currentText(); });
    QObject::connect(list, &PickList::cancelled, [&] { chosen << QStringLiteral("-"); });
    const auto closes = [&](auto action) {
        placeUnderCell(grid, 2, list, false);
        action();
        return !list->isVisible();
    };
    EXPECT_TRUE(closes([&] { QTest::keyClick(list, Qt::Key_Return); }) && grid->hasFocus());
    EXPECT_TRUE(closes([&] { QTest::keyClick(list, Qt::Key_Escape); }));
    EXPECT_TRUE(closes([&] { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second); }));
    EXPECT_TRUE(closes([&] { list->setFocus(); grid->setFocus(); }));
    EXPECT_EQ(chosen.join(u',').toStdString(), "KILOGRAMO,-,LITRO");
}

TEST(MessageBoxMessages, IconsTitlesAnswersAndTheHourglass) {
    // Each box shown is noted as "icon title buttons pointer" (icons: 0 none, 2 warning, 3 critical,
    // 4 question; pointer: -1 none, 0 the arrow) and answered: Ok, or the next of `answers`.
    QStringList seen;
    QList<QMessageBox::StandardButton> answers{QMessageBox::Yes, QMessageBox::No};
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen << QStringLiteral("%1 %2 %3 %4").arg(box->icon()).arg(box->windowTitle()).arg(box->buttons().size())
                    .arg(QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : -1);
        box->button(box->buttons().size() == 1 ? QMessageBox::Ok : answers.takeFirst())->click();
    });
    boxes.start(5);
    MessageBoxMessages m;
    m.exclamation(QStringLiteral("Rectifica por favor"));
    m.stop(QStringLiteral("Falta"), QStringLiteral("Otro"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Disco"));
    m.plain(QStringLiteral("Sin título"));
    EXPECT_TRUE(m.askYesNo(QStringLiteral("¿Seguir?")));
    EXPECT_FALSE(m.askYesNo(QStringLiteral("¿Borrar?"), true));
    {  // Hourglasses nest, each taking off only its own pointer, once.
        Hourglass outer, inner;
        inner.restore();
        inner.restore();
        m.exclamation(QStringLiteral("Aviso"));  // with the arrow; the hourglass comes back after it
        EXPECT_TRUE(QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
    }
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    EXPECT_EQ(seen.join(u',').toStdString(),
              "2 KALTO 1 -1,3 Otro 1 -1,0 Disco 1 -1,4 KALTO 2 -1,2 KALTO 2 -1,2 KALTO 1 0");
}

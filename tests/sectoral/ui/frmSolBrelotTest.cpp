// The sectoral window's wiring through its real grids, lists and buttons: the lists filled,
// shown under their cells and following the typed text, the rules' results in the cells, the
// export and the questionnaire's window opened from it.

#include "sectoral/ui/frmSolBrelot.h"

#include "sectoral/Fixture.h"
#include "sectoral/ui/frmImpSolBrelot.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/PickList.h"

#include <QApplication>
#include <QPushButton>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

using namespace kalto;

namespace {

QStringList entries(const PickList* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

class SectoralWindow : public test::SectoralTest {
protected:
    void SetUp() override {
        test::SectoralTest::SetUp();
        // An export product, a service (its tariff item is "null") and an input.
        sql(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values "
                           "(1, 1, 'a', '40111001', 0), (2, 1, 'SERVICIO', 'null', 0), (3, 1, 'x', '11111111', 1)"));
        sql(QStringLiteral("insert into improd (id_prod, fraccion) values (1, '40111001')"));
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
        w.emplace(db, messages, applicant);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.operator->()));
    }
    void TearDown() override { qunsetenv("KALTO_UNIDAD_A"); }
    QString rows(const QString& select) {
        return db.scalar(QStringLiteral("select group_concat(r, '|') from (%1)").arg(select)).toString();
    }
    // Keys go where a user's keys go: to the widget with the focus (the cell editor once open).
    void type(const QString& text) {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
    }
    void key(Qt::Key k, QWidget* to = nullptr) { QTest::keyClick(to ? to : QApplication::focusWidget(), k); }
    void startNewRow(BoundGrid* g, int column) {
        g->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(g->setCurrentCell(g->addNewRow(), column));
    }
    // Enter on the list's entry `text`, opened with F4 from the current cell of `grid`.
    void choose(BoundGrid* grid, PickList* list, const QString& text) {
        key(Qt::Key_F4, grid);
        ASSERT_TRUE(list->isVisible());
        list->setFocus();
        while (list->currentText() != text && list->currentRow() + 1 < list->count()) key(Qt::Key_Down, list);
        key(Qt::Key_Return, list);
        EXPECT_FALSE(list->isVisible());
    }

    QTemporaryDir disk;
    ApplicantData applicant = test::readCase(QStringLiteral("varios_sectores")).applicant;
    std::optional<frmSolBrelot> w;
};

}  // namespace

TEST_F(SectoralWindow, SectorsAndGoodsAreTypedWithTheirPickLists) {
    EXPECT_EQ(w->lstSector()->count(), 24);
    EXPECT_TRUE(entries(w->lstSectorII()).isEmpty());
    EXPECT_EQ(entries(w->lstFraccion()), (QStringList{QStringLiteral("40111001"), QStringLiteral("null")}));

    // A sector typed: the list follows 1 and then 12; leaving the cell writes the key and its
    // description; storing the row offers it to the goods.
    BoundGrid* sectores = w->dbSectores();
    startNewRow(sectores, 1);
    type(QStringLiteral("1"));
    EXPECT_TRUE(w->lstSector()->isVisible());
    EXPECT_EQ(w->lstSector()->currentText(), QStringLiteral("1"));
    EXPECT_EQ(sectores->currentValue(0), QVariant(1));
    type(QStringLiteral("2"));
    EXPECT_EQ(w->lstSector()->currentText(), QStringLiteral("12"));
    key(Qt::Key_Tab);
    EXPECT_FALSE(w->lstSector()->isVisible());
    EXPECT_EQ(sectores->currentText(2), QStringLiteral("INDUSTRIA DE MANUFACTURAS DEL CAUCHO Y PLÁSTICO"));
    ASSERT_TRUE(sectores->commit());
    EXPECT_EQ(entries(w->lstSectorII()), QStringList{QStringLiteral("12")});
    // Chosen from the list: the key and its description.
    startNewRow(sectores, 1);
    choose(sectores, w->lstSector(), QStringLiteral("3"));
    EXPECT_EQ(sectores->currentText(2), QStringLiteral("INDUSTRIA DEL MUEBLE"));
    ASSERT_TRUE(sectores->commit());
    EXPECT_EQ(rows(QStringLiteral("select cve_sector || ' ' || descripcio as r from sector")),
              QStringLiteral("12 INDUSTRIA DE MANUFACTURAS DEL CAUCHO Y PLÁSTICO|3 INDUSTRIA DEL MUEBLE"));

    // A good: its sector typed through the list of sectors entered, a tariff item of 7
    // digits followed in its list (twice as wide as the column) and announced, keys refused.
    BoundGrid* goods = w->dbMercancias();
    startNewRow(goods, 0);
    type(QStringLiteral("3"));
    EXPECT_TRUE(w->lstSectorII()->isVisible());
    EXPECT_EQ(w->lstSectorII()->currentText(), QStringLiteral("3"));
    key(Qt::Key_Tab);
    EXPECT_FALSE(w->lstSectorII()->isVisible());
    key(Qt::Key_Tab);
    type(QStringLiteral("4011100"));
    EXPECT_TRUE(w->lstFraccion()->isVisible());
    EXPECT_EQ(w->lstFraccion()->currentText(), QStringLiteral("40111001"));
    EXPECT_GE(w->lstFraccion()->width(), 2 * goods->columnWidth(2));
    key(Qt::Key_Tab);
    EXPECT_EQ(messages.texts(), QStringList{brelotTariffLengthMessage()});
    EXPECT_FALSE(w->lstFraccion()->isVisible());
    ASSERT_TRUE(goods->setCurrentCell(goods->currentRow(), 8));
    type(QStringLiteral("a,ñb"));
    key(Qt::Key_Tab);
    ASSERT_TRUE(goods->commit());
    EXPECT_EQ(rows(QStringLiteral("select idsector || ' ' || tipo_progr || ' ' || fraccion || ' ' || anexo || ' ' || "
                                  "descripcio || ' ' || tipobien as r from mercbi")),
              QStringLiteral("3 1 4011100 1 ab 1"));
    // Both lists of the goods write their entry into the cell.
    startNewRow(goods, 0);
    choose(goods, w->lstSectorII(), QStringLiteral("12"));
    ASSERT_TRUE(goods->setCurrentCell(goods->currentRow(), 2));
    choose(goods, w->lstFraccion(), QStringLiteral("null"));
    EXPECT_EQ(goods->currentText(0) + goods->currentText(2), QStringLiteral("12null"));
    goods->discard();

    // A deleted sector is no longer offered to the goods; Escape does not close the window.
    ASSERT_TRUE(sectores->setCurrentRow(0));
    ASSERT_TRUE(sectores->deleteCurrentRow());
    EXPECT_EQ(entries(w->lstSectorII()), QStringList{QStringLiteral("3")});
    key(Qt::Key_Escape, w.operator->());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(SectoralWindow, TheExportStoresTheRowInEditWritesDriveAAndTheGridsReadThePackedTables) {
    sql(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '1'), (1, '2')"));
    sql(QStringLiteral("delete from sector where cve_sector = '1'"));
    w->activate();
    startNewRow(w->dbSectores(), 1);
    type(QStringLiteral("5"));
    messages.answers = {true};
    QTest::mouseClick(w->cmdAccion(0), Qt::LeftButton);
    ASSERT_EQ(messages.texts().mid(1), QStringList{QStringLiteral("Puede retirar el disco de la unidad A:")});
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files).size(), 6);
    EXPECT_EQ(rows(QStringLiteral("select cve_sector as r from sector")), QStringLiteral("2|5"));
    EXPECT_EQ(rows(QStringLiteral("select rfc as r from datoprov")), applicant.rfc);
    // The window is active again once the wait window has gone; the grids show the packed tables.
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.operator->()));
    EXPECT_EQ(w->dbSectores()->rowCount(), 2);
    EXPECT_EQ(entries(w->lstSectorII()), (QStringList{QStringLiteral("2"), QStringLiteral("5")}));
}

TEST_F(SectoralWindow, TheExportStopsWhenARowBeingTypedCannotBeStored) {
    const QByteArray datoprov = test::fileBytes(db.tablePath(QStringLiteral("datoprov")));
    // A tariff item of nine digits: announced when the cell is left, refused by its column.
    startNewRow(w->dbMercancias(), 2);
    type(QStringLiteral("123456789"));
    key(Qt::Key_Tab);
    messages.clear();
    messages.defaultAnswer = true;
    QTest::mouseClick(w->cmdAccion(0), Qt::LeftButton);
    ASSERT_EQ(messages.entries.size(), 1) << messages.texts().join(u'\n').toStdString();
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_TRUE(messages.last().contains(QStringLiteral("Fracción"))) << messages.last().toStdString();
    EXPECT_TRUE(QDir(disk.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(test::fileBytes(db.tablePath(QStringLiteral("datoprov"))), datoprov);
    // Nor does the window close over it.
    w->close();
    EXPECT_TRUE(w->isVisible());
}

TEST_F(SectoralWindow, ThePrintButtonOpensTheQuestionnaireAndTheListsAreReadAgainAfter) {
    sql(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '9', 'MAQUINARIA AGRÍCOLA')"));
    w->setClock([] { return QDate(2024, 7, 1); });
    // A new export product appears in the list once the print window has been closed.
    sql(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values (9, 1, 'b', '84322001', 0)"));
    QString preview;
    bool maximized = false;
    QTimer::singleShot(0, [&] {
        auto* print = qobject_cast<frmImpSolBrelot*>(QApplication::activeModalWidget());
        ASSERT_NE(print, nullptr);
        maximized = print->windowState().testFlag(Qt::WindowMaximized);
        preview = print->RTUltima()->toPlainText();
        QTest::mouseClick(print->Command2(), Qt::LeftButton);
    });
    QTest::mouseClick(w->cmdAccion(1), Qt::LeftButton);
    EXPECT_TRUE(maximized);
    EXPECT_TRUE(preview.contains(QStringLiteral("SECTOR 9     MAQUINARIA AGRÍCOLA")));
    EXPECT_TRUE(preview.contains(QStringLiteral("RFC :  ABC010101XY1")));
    EXPECT_TRUE(preview.contains(QStringLiteral("01/jul/2024")));
    EXPECT_TRUE(entries(w->lstFraccion()).contains(QStringLiteral("84322001")));
    EXPECT_TRUE(w->isVisible());
}

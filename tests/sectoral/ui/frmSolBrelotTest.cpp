// The sectoral window through its real grids, lists and buttons: typing sectors and goods
// with their pick lists, the key filter, the lists kept in step with the tables, the export
// to drive A: and the questionnaire's window opened from it.

#include "sectoral/ui/frmSolBrelot.h"

#include "data/Database.h"
#include "sectoral/ui/frmImpSolBrelot.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/PickList.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace kalto;

namespace {

QStringList entries(const PickList* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

class SectoralWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        // Two export products, one of them a service (its tariff item is "null"), and an input.
        sql(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values "
                           "(1, 1, 'null ', '40111001', 0), (2, 1, 'SERVICIO', 'null', 0), (3, 1, 'x', '11111111', 1)"));
        sql(QStringLiteral("insert into improd (id_prod, fraccion) values (1, '40111001')"));
        applicant.rfc = QStringLiteral(" ABC010101XY1");
    }
    void sql(const QString& statement) { ASSERT_TRUE(db.execute(statement, {}, &error)) << error.toStdString(); }
    QString rows(const QString& select) {
        return db.scalar(QStringLiteral("select group_concat(r, '|') from (%1)").arg(select)).toString();
    }
    void open(frmSolBrelot& w) {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
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

    test::TestFolder folder;
    Database db;
    RecordingMessages messages;
    ApplicantData applicant;
    QString error;
};

}  // namespace

TEST_F(SectoralWindow, SectorsAndGoodsAreTypedWithTheirPickLists) {
    frmSolBrelot w(db, messages, applicant);
    open(w);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("K A L T O - B R E L O T"));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("PRODUCTOR DIRECTO"));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label3"))->text(), QStringLiteral("MERCANCÍAS A PRODUCIR"));
    EXPECT_EQ(w.cmdAccion(0)->toolTip(), QStringLiteral("Exporta la informacion a disco"));
    EXPECT_EQ(w.cmdAccion(1)->toolTip(), QStringLiteral("Imprime la solicitud del tramite"));
    EXPECT_LT(w.cmdAccion(0)->x(), w.cmdAccion(1)->x());
    EXPECT_EQ(w.lstSector()->count(), 24);
    EXPECT_TRUE(entries(w.lstSectorII()).isEmpty());
    QStringList items = entries(w.lstFraccion());
    items.sort();
    EXPECT_EQ(items, (QStringList{QStringLiteral("40111001"), QStringLiteral("null")}));

    // A sector typed: the list follows the digits 1 and 2; leaving the cell writes the key and
    // its description in upper case, and IDSECTOR is 1.
    BoundGrid* sectores = w.dbSectores();
    startNewRow(sectores, 1);
    type(QStringLiteral("1"));
    EXPECT_TRUE(w.lstSector()->isVisible());
    EXPECT_EQ(w.lstSector()->currentText(), QStringLiteral("1"));
    EXPECT_EQ(sectores->currentValue(0), QVariant(1));
    type(QStringLiteral("2"));
    EXPECT_EQ(w.lstSector()->currentText(), QStringLiteral("12"));
    key(Qt::Key_Tab);
    EXPECT_FALSE(w.lstSector()->isVisible());
    EXPECT_EQ(sectores->currentText(1), QStringLiteral("12"));
    EXPECT_EQ(sectores->currentText(2), QStringLiteral("INDUSTRIA DE MANUFACTURAS DEL CAUCHO Y PLÁSTICO"));
    ASSERT_TRUE(sectores->commit());
    EXPECT_EQ(rows(QStringLiteral("select idsector || ' ' || cve_sector || ' ' || descripcio as r from sector")),
              QStringLiteral("1 12 INDUSTRIA DE MANUFACTURAS DEL CAUCHO Y PLÁSTICO"));
    EXPECT_EQ(entries(w.lstSectorII()), QStringList{QStringLiteral("12")});

    // A sector chosen in the list with the keyboard (F4 opens it, Enter takes the entry).
    startNewRow(sectores, 1);
    key(Qt::Key_F4, sectores);
    ASSERT_TRUE(w.lstSector()->isVisible());
    w.lstSector()->setFocus();
    key(Qt::Key_Down, w.lstSector());
    key(Qt::Key_Down, w.lstSector());
    key(Qt::Key_Return, w.lstSector());
    EXPECT_FALSE(w.lstSector()->isVisible());
    EXPECT_EQ(sectores->currentText(1), QStringLiteral("3"));
    EXPECT_EQ(sectores->currentText(2), QStringLiteral("INDUSTRIA DEL MUEBLE"));
    ASSERT_TRUE(sectores->commit());
    EXPECT_EQ(entries(w.lstSectorII()), (QStringList{QStringLiteral("12"), QStringLiteral("3")}));

    // A good: its sector from the sectors entered, the codes of a new row, a tariff item of 7
    // digits announced once and kept, a description through the key filter.
    BoundGrid* goods = w.dbMercancias();
    startNewRow(goods, 0);
    type(QStringLiteral("3"));
    EXPECT_TRUE(w.lstSectorII()->isVisible());
    EXPECT_EQ(w.lstSectorII()->currentText(), QStringLiteral("3"));
    key(Qt::Key_Tab);
    EXPECT_FALSE(w.lstSectorII()->isVisible());
    EXPECT_EQ(goods->currentText(0), QStringLiteral("3"));
    EXPECT_EQ(goods->currentValue(1), QVariant(1));
    EXPECT_EQ(goods->currentValue(3), QVariant(1));
    EXPECT_EQ(goods->currentValue(12), QVariant(1));
    key(Qt::Key_Tab);
    type(QStringLiteral("4011100"));
    EXPECT_TRUE(w.lstFraccion()->isVisible());
    EXPECT_EQ(w.lstFraccion()->currentText(), QStringLiteral("40111001"));
    EXPECT_GE(w.lstFraccion()->width(), 2 * goods->columnWidth(2));
    key(Qt::Key_Tab);
    EXPECT_EQ(messages.texts(), QStringList{brelotTariffLengthMessage()});
    EXPECT_EQ(goods->currentText(2), QStringLiteral("4011100"));
    EXPECT_FALSE(w.lstFraccion()->isVisible());
    ASSERT_TRUE(goods->setCurrentCell(goods->currentRow(), 8));
    type(QStringLiteral("añ,-b/1.x"));
    key(Qt::Key_Backspace);
    key(Qt::Key_Tab);
    EXPECT_EQ(goods->currentText(8), QStringLiteral("ab/1."));
    ASSERT_TRUE(goods->commit());
    EXPECT_EQ(rows(QStringLiteral("select idsector || ' ' || tipo_progr || ' ' || fraccion || ' ' || anexo || ' ' || "
                                  "descripcio || ' ' || tipobien as r from mercbi")),
              QStringLiteral("3 1 4011100 1 ab/1. 1"));

    // The tariff item chosen from its list.
    startNewRow(goods, 2);
    key(Qt::Key_F4, goods);
    ASSERT_TRUE(w.lstFraccion()->isVisible());
    w.lstFraccion()->setFocus();
    while (w.lstFraccion()->currentText() != QStringLiteral("null")) key(Qt::Key_Down, w.lstFraccion());
    key(Qt::Key_Return, w.lstFraccion());
    EXPECT_EQ(goods->currentText(2), QStringLiteral("null"));
    goods->discard();

    // A deleted sector is no longer offered to the goods.
    ASSERT_TRUE(sectores->setCurrentRow(0));
    ASSERT_TRUE(sectores->deleteCurrentRow());
    EXPECT_EQ(entries(w.lstSectorII()), QStringList{QStringLiteral("3")});
    EXPECT_EQ(messages.entries.size(), 1);
    w.close();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(SectoralWindow, TheExportWritesDriveAAndTheGridsGoOnWorking) {
    QTemporaryDir disk;
    qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
    // A deleted sector row: the tables are packed before the copy.
    sql(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '1'), (1, '2')"));
    sql(QStringLiteral("delete from sector where cve_sector = '1'"));
    AddressValues plant;
    plant.calleYNo = QStringLiteral("PLANTA");
    plant.cp = QStringLiteral("01000");
    applicant.plantas = {plant};

    frmSolBrelot w(db, messages, applicant);
    open(w);
    EXPECT_EQ(w.dbSectores()->rowCount(), 1);
    // A row still being typed is stored before the generation.
    startNewRow(w.dbSectores(), 1);
    type(QStringLiteral("5"));
    messages.answers = {true};
    QTest::mouseClick(w.cmdAccion(0), Qt::LeftButton);
    qunsetenv("KALTO_UNIDAD_A");
    ASSERT_EQ(messages.entries.size(), 2) << messages.texts().join(u'\n').toStdString();
    EXPECT_EQ(messages.entries[1].text, QStringLiteral("Puede retirar el disco de la unidad A:"));
    EXPECT_EQ(messages.entries[1].title, QStringLiteral("Disco grabado."));
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files).size(), 6);
    EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("frmEspera")).size(), 0);
    EXPECT_EQ(rows(QStringLiteral("select cve_sector as r from sector")), QStringLiteral("2|5"));
    EXPECT_EQ(rows(QStringLiteral("select calle || ' ' || cp as r from catdirpl")), QStringLiteral("PLANTA 01000"));

    // The window is active again once the wait window has gone; the grids show the packed
    // tables and keep storing rows.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(w.dbSectores()->rowCount(), 2);
    EXPECT_EQ(entries(w.lstSectorII()), (QStringList{QStringLiteral("2"), QStringLiteral("5")}));
    startNewRow(w.dbSectores(), 1);
    type(QStringLiteral("7"));
    key(Qt::Key_Tab);
    ASSERT_TRUE(w.dbSectores()->commit());
    EXPECT_EQ(rows(QStringLiteral("select cve_sector as r from sector")), QStringLiteral("2|5|7"));

    // No to the question: nothing happens.
    messages.clear();
    messages.answers = {false};
    QTest::mouseClick(w.cmdAccion(0), Qt::LeftButton);
    EXPECT_EQ(messages.entries.size(), 1);
}

TEST_F(SectoralWindow, TheExportStopsWhenARowBeingTypedCannotBeStored) {
    QTemporaryDir disk;
    qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
    const QByteArray datoprov = [&] {
        QFile f(db.tablePath(QStringLiteral("datoprov")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    frmSolBrelot w(db, messages, applicant);
    open(w);
    // A tariff item of nine digits: announced when the cell is left, refused by its column.
    startNewRow(w.dbMercancias(), 2);
    type(QStringLiteral("123456789"));
    key(Qt::Key_Tab);
    messages.clear();
    messages.defaultAnswer = true;
    QTest::mouseClick(w.cmdAccion(0), Qt::LeftButton);
    qunsetenv("KALTO_UNIDAD_A");
    ASSERT_EQ(messages.entries.size(), 1) << messages.texts().join(u'\n').toStdString();
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_TRUE(messages.last().contains(QStringLiteral("Fracción"))) << messages.last().toStdString();
    EXPECT_TRUE(QDir(disk.path()).entryList(QDir::Files).isEmpty());
    QFile after(db.tablePath(QStringLiteral("datoprov")));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), datoprov);
    EXPECT_TRUE(w.dbMercancias()->hasFocus() || w.dbMercancias()->isAncestorOf(QApplication::focusWidget()));
}

TEST_F(SectoralWindow, ThePrintButtonOpensTheQuestionnaireAndTheListsAreReadAgainAfter) {
    sql(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '9', 'MAQUINARIA AGRÍCOLA')"));
    frmSolBrelot w(db, messages, applicant);
    w.setClock([] { return QDate(2024, 7, 1); });
    open(w);
    // A new export product appears in the list once the print window has been closed.
    sql(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values "
                       "(9, 1, 'null ', '84322001', 0)"));
    QString preview;
    bool maximized = false;
    QTimer::singleShot(0, [&] {
        auto* print = qobject_cast<frmImpSolBrelot*>(QApplication::activeModalWidget());
        ASSERT_NE(print, nullptr);
        maximized = print->windowState().testFlag(Qt::WindowMaximized);
        preview = print->RTUltima()->toPlainText();
        QTest::mouseClick(print->Command2(), Qt::LeftButton);
    });
    QTest::mouseClick(w.cmdAccion(1), Qt::LeftButton);
    EXPECT_TRUE(maximized);
    EXPECT_TRUE(preview.contains(QStringLiteral("SECTOR 9     MAQUINARIA AGRÍCOLA")));
    EXPECT_TRUE(preview.contains(QStringLiteral("RFC :  ABC010101XY1")));
    EXPECT_TRUE(preview.contains(QStringLiteral("01/jul/2024")));
    EXPECT_TRUE(entries(w.lstFraccion()).contains(QStringLiteral("84322001")));
    EXPECT_TRUE(w.isVisible());
}

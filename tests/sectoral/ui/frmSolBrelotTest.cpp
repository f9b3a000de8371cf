// The sectoral window's wiring through its real grids, lists and buttons: the lists filled,
// shown under their cells and following the typed text, the rules' results in the cells, the
// export and the questionnaire's window opened from it.

#include "sectoral/ui/frmSolBrelot.h"

#include "sectoral/Fixture.h"
#include "data/DataSource.h"
#include "sectoral/ui/BrelotApplicant.h"
#include "sectoral/ui/frmImpSolBrelot.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/PickList.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <optional>
#include <tuple>

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
        sql(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values "
                           "(1, 1, 'SERVICIO', 'null', 0), (2, 1, 'a', '40111001', 0)"));
        sql(QStringLiteral("insert into improd (id_prod, fraccion) values (1, '40111001')"));
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
        w.emplace(db, messages, applicant);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&*w));
    }
    void TearDown() override { qunsetenv("KALTO_UNIDAD_A"); }
    QString rows(const char* column, const char* table) {
        return db.scalar(QStringLiteral("select group_concat(%1, '|') from %2").arg(QLatin1String(column), QLatin1String(table)))
            .toString();
    }
    // Keys go where a user's keys go: to the widget with the focus (the cell editor once open).
    void type(const QString& text, Qt::Key then = Qt::Key_unknown) {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(c.toUpper().unicode()), QString(c), {});
        if (then != Qt::Key_unknown) QTest::keyClick(QApplication::focusWidget(), then);
    }
    void startNewRow(BoundGrid* g, int column) {
        g->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(g->setCurrentCell(g->addNewRow(), column));
    }
    // Enter on the list's entry `text`, opened with F4 from the current cell of `grid`.
    void choose(BoundGrid* grid, PickList* list, const QString& text) {
        QTest::keyClick(grid, Qt::Key_F4);
        ASSERT_TRUE(list->isVisible());
        list->setFocus();
        while (list->currentText() != text && list->currentRow() + 1 < list->count()) QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
    }

    QTemporaryDir disk;
    ApplicantData applicant = test::readCase(QStringLiteral("varios_sectores")).applicant;
    std::optional<frmSolBrelot> w;
};

}  // namespace

// Each list follows the typed text, closes when its cell is left and writes the entry chosen
// from it into its cell; beside it, a sector's description and the goods' new-row values.
TEST_F(SectoralWindow, EachPickListFollowsTheTypedTextAndWritesTheChosenEntry) {
    sql(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '12'), (1, '3')"));
    w->activate();
    const std::tuple<BoundGrid*, int, PickList*, const char*, const char*, const char*, const char*> cases[] = {
        {w->dbSectores(), 1, w->lstSector(), "12", "12", "3", "INDUSTRIA DEL MUEBLE"},
        {w->dbMercancias(), 0, w->lstSectorII(), "3", "3", "12", "1"},
        {w->dbMercancias(), 2, w->lstFraccion(), "4011100", "40111001", "null", "1"}};
    for (const auto& [grid, column, list, typed, followed, chosen, beside] : cases) {
        startNewRow(grid, column);
        type(QString::fromLatin1(typed));
        EXPECT_EQ(list->isVisible() ? list->currentText() : QString(), QString::fromLatin1(followed));
        type({}, Qt::Key_Tab);
        EXPECT_FALSE(list->isVisible()) << typed;
        ASSERT_TRUE(grid->setCurrentCell(grid->currentRow(), column));
        choose(grid, list, QString::fromLatin1(chosen));
        EXPECT_EQ(grid->currentText(column), QString::fromLatin1(chosen));
        EXPECT_EQ(grid->currentText(column + 1), QString::fromUtf8(beside));
        grid->discard();
    }
    EXPECT_EQ(w->lstSector()->count(), 24);
    EXPECT_GE(w->lstFraccion()->width(), 2 * w->dbMercancias()->columnWidth(2));
    EXPECT_EQ(messages.texts(), QStringList{brelotTariffLengthMessage()});
}

// A sector stored is offered to the goods, a deleted one no longer; Escape leaves the window open.
TEST_F(SectoralWindow, TheGoodsAreOfferedTheSectorsStored) {
    BoundGrid* sectores = w->dbSectores();
    startNewRow(sectores, 1);
    type(QStringLiteral("7"), Qt::Key_Tab);
    ASSERT_TRUE(sectores->commit());
    EXPECT_EQ(entries(w->lstSectorII()), QStringList{QStringLiteral("7")});
    ASSERT_TRUE(sectores->setCurrentRow(0) && sectores->deleteCurrentRow());
    EXPECT_TRUE(entries(w->lstSectorII()).isEmpty());
    QTest::keyClick(&*w, Qt::Key_Escape);
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
    EXPECT_EQ(messages.last(), QStringLiteral("Puede retirar el disco de la unidad A:"));
    EXPECT_EQ(rows("cve_sector", "sector") + u' ' + rows("rfc", "datoprov"), QStringLiteral("2|5") + u' ' + applicant.rfc);
    // The window is active again once the wait window has gone; the grids show the packed tables.
    ASSERT_TRUE(QTest::qWaitForWindowActive(&*w));
    EXPECT_EQ(w->dbSectores()->rowCount(), 2);
    EXPECT_EQ(entries(w->lstSectorII()), (QStringList{QStringLiteral("2"), QStringLiteral("5")}));
}

TEST_F(SectoralWindow, TheExportStopsWhenARowBeingTypedCannotBeStored) {
    const QByteArray datoprov = test::readFile(db.tablePath(QStringLiteral("datoprov")));
    // A tariff item of nine digits: announced when the cell is left, refused by its column.
    startNewRow(w->dbMercancias(), 2);
    type(QStringLiteral("123456789"), Qt::Key_Tab);
    messages.clear();
    messages.defaultAnswer = true;
    QTest::mouseClick(w->cmdAccion(0), Qt::LeftButton);
    ASSERT_EQ(messages.entries.size(), 1) << messages.texts().join(u'\n').toStdString();
    EXPECT_TRUE(messages.last().contains(QStringLiteral("Fracción"))) << messages.last().toStdString();
    EXPECT_TRUE(QDir(disk.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(test::readFile(db.tablePath(QStringLiteral("datoprov"))), datoprov);
    // Nor does the window close over it.
    w->close();
    EXPECT_TRUE(w->isVisible());
}

TEST_F(SectoralWindow, ThePrintButtonOpensTheQuestionnaireAndTheListsAreReadAgainAfter) {
    sql(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '9', 'MAQUINARIA AGRÍCOLA')"));
    // A new export product appears in the list once the print window has been closed.
    sql(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values (9, 1, 'b', '84322001', 0)"));
    QString preview;
    QTimer::singleShot(0, [&] {
        auto* print = qobject_cast<frmImpSolBrelot*>(QApplication::activeModalWidget());
        ASSERT_NE(print, nullptr);
        if (print->windowState().testFlag(Qt::WindowMaximized)) preview = print->RTUltima()->toPlainText();
        QTest::mouseClick(print->Command2(), Qt::LeftButton);
    });
    QTest::mouseClick(w->cmdAccion(1), Qt::LeftButton);
    EXPECT_TRUE(preview.contains(QStringLiteral("RFC :  ABC010101XY1")) && preview.contains(QStringLiteral("SECTOR 9     MAQUINARIA")));
    EXPECT_TRUE(entries(w->lstFraccion()).contains(QStringLiteral("84322001")));
    EXPECT_TRUE(w->isVisible());
}

// What the main window shows, read from its controls: the header, the selected sector, the
// current row of the fiscal-address and representative grids, every plant in grid order.
TEST_F(SectoralWindow, TheApplicantIsReadFromTheMainWindowsControls) {
    sql(QStringLiteral("insert into imdir (iddir, calleyno, cp) values ('PL', 'P1', '01000'), ('FL', 'F1', '06700'), "
                       "('PL', 'P2', null), ('FL', 'F2', '06800')"));
    sql(QStringLiteral("insert into imrlegal (nomrepleg, mail) values ('ANA', 'ana@correo.mx')"));
    auto grid = [&](const char* source, const QList<GridColumn>& columns) {
        auto* g = new BoundGrid(&*w);
        auto* s = new DataSource(QString(), &db, QString::fromLatin1(source), g);
        g->bind(s, columns, nullptr, &messages);
        EXPECT_TRUE(s->refresh());
        return g;
    };
    const QList<GridColumn> address{{QStringLiteral("Calle y No."), QStringLiteral("CALLEYNO")}, {QStringLiteral("C.P."), QStringLiteral("CP")}};
    BoundGrid* fiscal = grid("select * from imdir where iddir = 'FL'", address);
    BoundGrid* plants = grid("select * from imdir where iddir = 'PL'", address);
    BoundGrid* rep = grid("imrlegal", {{QStringLiteral("e-mail"), QStringLiteral("MAIL")}, {QStringLiteral("Nombre"), QStringLiteral("NOMREPLEG")}});
    QComboBox sector;
    sector.addItem(QStringLiteral("INDUSTRIA INVENTADA"), 7);
    ASSERT_TRUE(fiscal->setCurrentRow(1));
    const ApplicantData a = applicantFromWindow(QStringLiteral(" RFC"), QStringLiteral("EMPRESA"), sector, *fiscal, *rep, *plants);
    EXPECT_EQ(QStringList({a.rfc, a.razonSocial, a.sectorCodigo.toString(), a.sectorTexto, a.domicilioFiscal.calleYNo.toString(),
                           a.domicilioFiscal.cp.toString(), a.representante.nomRepLeg.toString(), a.representante.mail.toString()}),
              QStringList({QStringLiteral(" RFC"), QStringLiteral("EMPRESA"), QStringLiteral("7"), QStringLiteral("INDUSTRIA INVENTADA"),
                           QStringLiteral("F2"), QStringLiteral("06800"), QStringLiteral("ANA"), QStringLiteral("ana@correo.mx")}));
    ASSERT_EQ(a.plantas.size(), 2);
    EXPECT_EQ(a.plantas[1].calleYNo.toString() + a.plantas[1].cp.toString(), QStringLiteral("P2"));
    sector.setCurrentIndex(-1);
    EXPECT_TRUE(applicantFromWindow({}, {}, sector, *fiscal, *rep, *plants).sectorCodigo.isNull());
}

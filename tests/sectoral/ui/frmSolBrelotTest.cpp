// The sectoral window's wiring through its real grids, lists and buttons: the lists filled,
// shown under their cells and following the typed text, the rules' results in the cells, the
// export and the questionnaire's window opened from it. Then the questionnaire's print window:
// the composed questionnaire shown, its heading centred in the print copy only, and "&Imprimir"
// composing again and printing it and then the considerations in one job (to a PDF file).

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
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
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
        w.emplace(db, messages, applicant);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&*w));
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

    test::TestDrive disk;  // drive A:, in place before the window opens
    ApplicantData applicant = test::readCase(QStringLiteral("varios_sectores")).applicant;
    std::optional<frmSolBrelot> w;
};

class PrintWindow : public test::SectoralTest {
protected:
    void SetUp() override {
        test::SectoralTest::SetUp();
        for (const QString& s : brelot.sql) sql(s);
        w.emplace(db, messages, brelot.applicant);
        w->setClock([this] { return brelot.date; });
        w->setPrinterChooser([this](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return !cancel;
        });
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*w));
    }
    qsizetype pages() const { return QString::fromLatin1(test::readFile(pdf)).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))); }

    test::BrelotCase brelot = test::readCase(QStringLiteral("varios_sectores"));
    std::optional<frmImpSolBrelot> w;
    QTemporaryDir out;
    QString pdf = out.filePath(QStringLiteral("cuestionario.pdf"));
    bool cancel = false;
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
// The export stores the row in edit, writes drive A: and the grids read the packed tables after.
TEST_F(SectoralWindow, TheGoodsAreOfferedTheSectorsStoredAndTheExportWritesDriveA) {
    BoundGrid* sectores = w->dbSectores();
    startNewRow(sectores, 1);
    type(QStringLiteral("1"), Qt::Key_Tab);
    ASSERT_TRUE(sectores->commit());
    EXPECT_EQ(entries(w->lstSectorII()), QStringList{QStringLiteral("1")});
    ASSERT_TRUE(sectores->setCurrentRow(0) && sectores->deleteCurrentRow());
    EXPECT_TRUE(entries(w->lstSectorII()).isEmpty());
    QTest::keyClick(&*w, Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());

    sql(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '2')"));
    w->activate();
    startNewRow(sectores, 1);
    type(QStringLiteral("5"));
    messages.answers = {true};
    QTest::mouseClick(w->cmdAccion(0), Qt::LeftButton);
    EXPECT_EQ(messages.last(), QStringLiteral("Puede retirar el disco de la unidad A:"));
    EXPECT_EQ(db.scalar(QStringLiteral("select group_concat(cve_sector, '|') || (select rfc from datoprov) from sector")).toString(),
              QStringLiteral("2|5") + applicant.rfc);
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
        g->bind(new DataSource(QString(), &db, QString::fromLatin1(source), g), columns, nullptr, &messages);
        EXPECT_TRUE(g->dataSource()->refresh());
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
                           a.domicilioFiscal.cp.toString(), a.representante.nomRepLeg.toString(), a.representante.mail.toString(),
                           QString::number(a.plantas.size()), a.plantas.value(1).calleYNo.toString() + a.plantas.value(1).cp.toString()})
                  .join(u'|'),
              QStringLiteral(" RFC|EMPRESA|7|INDUSTRIA INVENTADA|F2|06800|ANA|ana@correo.mx|2|P2"));
    sector.setCurrentIndex(-1);
    EXPECT_TRUE(applicantFromWindow({}, {}, sector, *fiscal, *rep, *plants).sectorCodigo.isNull());
}

TEST_F(PrintWindow, ShowsTheQuestionnaireCentredOnlyInThePrintCopyAndPrintsItAgainFromTheTables) {
    EXPECT_EQ(w->RTUltima()->toPlainText(), test::sectoralFile(QStringLiteral("golden/varios_sectores.txt")));
    EXPECT_EQ(w->rtfText()->toPlainText(), w->RTUltima()->toPlainText());
    EXPECT_TRUE(w->RTUltima()->isVisible() && !w->rtfText()->isVisible() && !w->CONSIDERA()->isVisible());
    EXPECT_DOUBLE_EQ(w->RTUltima()->document()->defaultFont().pointSizeF(), 7.5);
    QString centred;
    for (QTextBlock b = w->rtfText()->document()->begin(); b.isValid(); b = b.next())
        if (b.blockFormat().alignment() == Qt::AlignHCenter) centred += b.text() + u'\n';
    EXPECT_EQ(centred, w->rtfText()->toPlainText().left(brelotHeadingLength()));
    for (QTextBlock b = w->RTUltima()->document()->begin(); b.isValid(); b = b.next())
        EXPECT_NE(b.blockFormat().alignment(), Qt::AlignHCenter);

    // Printing composes the questionnaire again from the tables, then prints the considerations.
    const QString preview = w->RTUltima()->toPlainText();
    // A cancelled dialog prints nothing and says nothing.
    cancel = true;
    QTest::mouseClick(w->Command1(), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(pdf));
    // A sector added since the window opened is printed; the preview stays as it was.
    sql(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '8', 'INDUSTRIA INVENTADA')"));
    cancel = false;
    QTest::mouseClick(w->Command1(), Qt::LeftButton);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join(u'\n').toStdString();
    EXPECT_TRUE(w->rtfText()->toPlainText().contains(QStringLiteral("SECTOR 8     INDUSTRIA INVENTADA")));
    EXPECT_EQ(w->RTUltima()->toPlainText(), preview);
    const qsizetype withConsiderations = pages();
    // Without the considerations file the questionnaire alone is printed and the user told.
    ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("CONSIDERA.TXT"))));
    EXPECT_TRUE(w->print());
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Se imprimió el cuestionario, pero no se pudo leer el archivo de "
                                                           "consideraciones %1.")
                                                .arg(QDir::toNativeSeparators(folder.file(QStringLiteral("CONSIDERA.TXT"))))});
    EXPECT_GT(pages(), 0);
    EXPECT_GT(withConsiderations, pages());
}

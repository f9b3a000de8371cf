// The questionnaire's print window through its real controls: the preview on opening, the
// centred heading of the print copy, and "&Imprimir" printing the questionnaire and then the
// considerations as one job (to a PDF file, read back with pdftotext where it is installed).

#include "sectoral/ui/frmImpSolBrelot.h"

#include "data/Database.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kalto;

namespace {

class PrintWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        sql(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '12', 'INDUSTRIA DEL CAUCHO')"));
        sql(QStringLiteral("insert into mercbi (idsector, tipo_progr, fraccion, anexo, tipobien) values "
                           "('12', 1, '40111001', 1, 1), ('12', 1, '40021999', 1, 2)"));
        applicant.rfc = QStringLiteral(" ABC010101XY1");
        applicant.razonSocial = QStringLiteral("LLANTAS DEL BAJÍO SA");
        applicant.sectorTexto = QStringLiteral("INDUSTRIA QUÍMICA");
        AddressValues plant;
        plant.calleYNo = QStringLiteral("PLANTA UNO");
        plant.cp = QStringLiteral("36000");
        applicant.plantas = {plant};
    }
    void sql(const QString& statement) { ASSERT_TRUE(db.execute(statement, {}, &error)) << error.toStdString(); }
    QString expected() {
        BrelotQuestionnaireInput input;
        EXPECT_TRUE(readBrelotQuestionnaireInput(db, applicant, &input, &error));
        return composeBrelotQuestionnaire(input, today);
    }
    // The pages of a PDF as pdftotext reads them; empty when pdftotext is not installed.
    static QStringList pdfPages(const QString& pdf) {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (tool.isEmpty()) return {};
        QProcess p;
        p.start(tool, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        if (!p.waitForFinished(60000)) return {};
        QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QChar(0x0C));
        if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
        return pages;
    }

    test::TestFolder folder;
    Database db;
    RecordingMessages messages;
    ApplicantData applicant;
    DateClock today = [] { return QDate(2024, 3, 8); };
    QString error;
};

}  // namespace

TEST_F(PrintWindow, OpensOnThePreviewWithTheHeadingCentredOnlyInThePrintCopy) {
    frmImpSolBrelot w(db, messages, applicant);
    w.setClock(today);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Impresión de documento BRELOT"));
    EXPECT_EQ(w.Command1()->text(), QStringLiteral("&Imprimir"));
    EXPECT_EQ(w.Command2()->text(), QStringLiteral("&Cerrar"));
    EXPECT_TRUE(w.RTUltima()->isVisible());
    EXPECT_FALSE(w.rtfText()->isVisible());
    EXPECT_FALSE(w.CONSIDERA()->isVisible());
    EXPECT_TRUE(w.RTUltima()->isReadOnly());
    EXPECT_DOUBLE_EQ(w.RTUltima()->document()->defaultFont().pointSizeF(), 7.5);

    const QString text = expected();
    EXPECT_EQ(w.RTUltima()->toPlainText(), text);
    EXPECT_EQ(w.rtfText()->toPlainText(), text);
    EXPECT_TRUE(text.contains(QStringLiteral("08/mar/2024")));
    // The heading's lines are centred in the print copy, nothing after them, nothing in the preview.
    int line = 0;
    for (QTextBlock b = w.rtfText()->document()->begin(); b.isValid(); b = b.next(), ++line) {
        const bool heading = b.position() < brelotHeadingLength();
        EXPECT_EQ(b.blockFormat().alignment() == Qt::AlignHCenter, heading) << "línea " << line;
    }
    EXPECT_GT(line, 40);
    for (QTextBlock b = w.RTUltima()->document()->begin(); b.isValid(); b = b.next())
        EXPECT_NE(b.blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_TRUE(messages.entries.isEmpty());
}

TEST_F(PrintWindow, KeepsItsLayoutWhenResized) {
    frmImpSolBrelot w(db, messages, applicant);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.resize(900, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.RTUltima()->geometry(),
              QRect(w.twipsToPixelsX(100), w.twipsToPixelsY(100), 900 - w.twipsToPixelsX(200), 600 - w.twipsToPixelsY(1000)));
    EXPECT_EQ(w.RTUltima()->lineWrapColumnOrWidth(), 900 - w.twipsToPixelsX(200) - w.twipsToPixelsX(400));
    EXPECT_EQ(w.Command1()->pos(), QPoint(w.twipsToPixelsX(4560), 600 - w.twipsToPixelsY(700)));
    EXPECT_EQ(w.Command2()->pos(), QPoint(w.twipsToPixelsX(5880), 600 - w.twipsToPixelsY(700)));
    // Smaller than the margins: an empty preview, never a negative size.
    w.setMinimumSize(0, 0);
    w.resize(40, 30);
    QCoreApplication::processEvents();
    EXPECT_GE(w.RTUltima()->width(), 0);
    EXPECT_GE(w.RTUltima()->height(), 0);
    EXPECT_GE(w.Command1()->y(), 0);

    // Opened from the sectoral window, it is maximized and modal.
    bool maximized = false;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<frmImpSolBrelot*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        maximized = shown->windowState().testFlag(Qt::WindowMaximized);
        QTest::mouseClick(shown->Command2(), Qt::LeftButton);
    });
    frmImpSolBrelot::openModal(nullptr, db, messages, applicant, today);
    EXPECT_TRUE(maximized);
}

TEST_F(PrintWindow, PrintsTheQuestionnaireAgainFromTheTablesThenTheConsiderationsInOneJob) {
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("cuestionario.pdf"));
    frmImpSolBrelot w(db, messages, applicant);
    w.setClock(today);
    int chosen = 0;
    bool cancel = true;
    w.setPrinterChooser([&](QPrinter& printer) {
        ++chosen;
        // The dialog would offer the selection (the whole questionnaire) and no page range.
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return !cancel;
    });
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QString preview = w.RTUltima()->toPlainText();

    // A cancelled dialog prints nothing and says nothing.
    QTest::mouseClick(w.Command1(), Qt::LeftButton);
    EXPECT_EQ(chosen, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(messages.entries.isEmpty());

    // A sector added since the window opened is printed; the preview stays as it was.
    sql(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '3', 'INDUSTRIA DEL MUEBLE')"));
    cancel = false;
    QTest::mouseClick(w.Command1(), Qt::LeftButton);
    EXPECT_EQ(chosen, 2);
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join(u'\n').toStdString();
    EXPECT_EQ(w.RTUltima()->toPlainText(), preview);
    EXPECT_TRUE(w.rtfText()->toPlainText().contains(QStringLiteral("SECTOR 3     INDUSTRIA DEL MUEBLE")));
    EXPECT_FALSE(preview.contains(QStringLiteral("SECTOR 3 ")));

    const QStringList pages = pdfPages(pdf);
    if (pages.isEmpty()) GTEST_SKIP() << "pdftotext (paquete poppler-utils) no está instalado";
    // The questionnaire's pages, then the considerations from a page of their own.
    int firma = -1, considera = -1;
    for (int i = 0; i < pages.size(); ++i) {
        if (pages[i].contains(QStringLiteral("FIRMA"))) firma = i;
        if (considera < 0 && pages[i].contains(QStringLiteral("CONSIDERACIONES GENERALES"))) considera = i;
    }
    ASSERT_GE(firma, 0);
    EXPECT_GT(considera, firma);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("CUESTIONARIO DE SOLICITUD DE PROGRAMA DE BRELOT")));
    EXPECT_TRUE(pages.join(u'\n').contains(QStringLiteral("SECTOR 3")));
    EXPECT_TRUE(pages.join(u'\n').contains(QStringLiteral("LLANTAS DEL BAJÍO SA")));
}

TEST_F(PrintWindow, WithoutTheConsiderationsFileTheQuestionnaireIsPrintedAndTheUserTold) {
    ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("CONSIDERA.TXT"))));
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("sin_consideraciones.pdf"));
    frmImpSolBrelot w(db, messages, applicant);
    w.setPrinterChooser([&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_TRUE(w.print());
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_EQ(messages.last(), QStringLiteral("Se imprimió el cuestionario, pero no se pudo leer el archivo de "
                                              "consideraciones %1.")
                                   .arg(QDir::toNativeSeparators(folder.file(QStringLiteral("CONSIDERA.TXT")))));
    const QStringList pages = pdfPages(pdf);
    if (pages.isEmpty()) GTEST_SKIP() << "pdftotext (paquete poppler-utils) no está instalado";
    EXPECT_TRUE(pages.last().contains(QStringLiteral("FIRMA")));
    EXPECT_FALSE(pages.join(u'\n').contains(QStringLiteral("CONSIDERACIONES")));
}

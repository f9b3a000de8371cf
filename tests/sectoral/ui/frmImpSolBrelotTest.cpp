// The questionnaire's print window through its real controls: the composed questionnaire
// shown, its heading centred in the print copy only, and "&Imprimir" composing again and
// printing it and then the considerations in one job (a PDF read back with pdftotext).

#include "sectoral/ui/frmImpSolBrelot.h"

#include "sectoral/Fixture.h"

#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <QTextBlock>
#include <QTextEdit>

using namespace kalto;

namespace {

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
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.operator->()));
    }
    // The PDF's text, a form feed between pages; empty when pdftotext is not installed.
    QString printed() const {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        QProcess p;
        if (!tool.isEmpty()) p.start(tool, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        return !tool.isEmpty() && p.waitForFinished(60000) ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
    }

    test::BrelotCase brelot = test::readCase(QStringLiteral("varios_sectores"));
    std::optional<frmImpSolBrelot> w;
    QTemporaryDir out;
    QString pdf = out.filePath(QStringLiteral("cuestionario.pdf"));
    bool cancel = false;
};

}  // namespace

TEST_F(PrintWindow, ShowsTheQuestionnaireWithTheHeadingCentredOnlyInThePrintCopy) {
    EXPECT_EQ(w->RTUltima()->toPlainText(), test::sectoralFile(QStringLiteral("golden/varios_sectores.txt")));
    EXPECT_EQ(w->rtfText()->toPlainText(), w->RTUltima()->toPlainText());
    EXPECT_TRUE(w->RTUltima()->isVisible() && w->RTUltima()->isReadOnly());
    EXPECT_FALSE(w->rtfText()->isVisible() || w->CONSIDERA()->isVisible());
    EXPECT_DOUBLE_EQ(w->RTUltima()->document()->defaultFont().pointSizeF(), 7.5);
    QString centred;
    for (QTextBlock b = w->rtfText()->document()->begin(); b.isValid(); b = b.next())
        if (b.blockFormat().alignment() == Qt::AlignHCenter) centred += b.text() + u'\n';
    EXPECT_EQ(centred, w->rtfText()->toPlainText().left(brelotHeadingLength()));
    for (QTextBlock b = w->RTUltima()->document()->begin(); b.isValid(); b = b.next())
        EXPECT_NE(b.blockFormat().alignment(), Qt::AlignHCenter);
    EXPECT_TRUE(messages.entries.isEmpty());
}

TEST_F(PrintWindow, PrintsTheQuestionnaireAgainFromTheTablesThenTheConsiderationsInOneJob) {
    const QString preview = w->RTUltima()->toPlainText();
    // A cancelled dialog prints nothing and says nothing.
    cancel = true;
    QTest::mouseClick(w->Command1(), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(pdf));
    // A sector added since the window opened is printed; the preview stays as it was.
    sql(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '8', 'INDUSTRIA INVENTADA')"));
    cancel = false;
    QTest::mouseClick(w->Command1(), Qt::LeftButton);
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join(u'\n').toStdString();
    EXPECT_EQ(w->RTUltima()->toPlainText(), preview);
    const QString text = printed();
    if (text.isEmpty()) GTEST_SKIP() << "pdftotext (paquete poppler-utils) no está instalado";
    // The questionnaire's pages, then the considerations from a page of their own.
    const int firma = text.indexOf(QStringLiteral("FIRMA")), considera = text.indexOf(QStringLiteral("CONSIDERACIONES GENERALES"));
    EXPECT_GT(firma, text.indexOf(QStringLiteral("SECTOR 8")));
    EXPECT_GT(considera, text.indexOf(QChar(0x0C), firma));
    EXPECT_GT(text.indexOf(QChar(0x0C), firma), firma);
}

TEST_F(PrintWindow, WithoutTheConsiderationsFileTheQuestionnaireIsPrintedAndTheUserTold) {
    ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("CONSIDERA.TXT"))));
    EXPECT_TRUE(w->print());
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Se imprimió el cuestionario, pero no se pudo leer el archivo de "
                                                           "consideraciones %1.")
                                                .arg(QDir::toNativeSeparators(folder.file(QStringLiteral("CONSIDERA.TXT"))))});
    const QString text = printed();
    EXPECT_TRUE(text.isEmpty() || (text.contains(QStringLiteral("FIRMA")) && !text.contains(QStringLiteral("CONSIDERACIONES"))));
}

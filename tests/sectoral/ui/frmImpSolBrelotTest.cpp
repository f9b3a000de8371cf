// The questionnaire's print window through its real controls: the composed questionnaire
// shown, its heading centred in the print copy only, and "&Imprimir" composing again and
// printing it and then the considerations in one job (to a PDF file).

#include "sectoral/ui/frmImpSolBrelot.h"

#include "sectoral/Fixture.h"

#include <QDir>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <optional>

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

TEST_F(PrintWindow, ShowsTheQuestionnaireWithTheHeadingCentredOnlyInThePrintCopy) {
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
}

TEST_F(PrintWindow, PrintsTheQuestionnaireAgainFromTheTablesThenTheConsiderations) {
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

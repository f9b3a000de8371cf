// The print window through its real widgets: considerations on opening, preview and its
// failure, printing to a PDF read back by pdftotext, a failed or cancelled print, the dialog.

#include "print/Snapshots.h"
#include "print/ui/frmImpSolKALTO.h"
#include "support/RecordingMessages.h"
#include "toolkit/TextPrinting.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kalto;
using namespace kalto::test;

namespace {

const QString kConsiderations = QStringLiteral("CONSIDERACIONES\n\n1. Se captura en mayúsculas; la Ñ también.\n");

struct Window : ::testing::Test {
    void SetUp() override {
        QFile f(dir.filePath(QStringLiteral("CONSIDERA.TXT")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(kConsiderations.toUtf8()) > 0);
        f.close();
        w = std::make_unique<frmImpSolKALTO>([this](ReportSnapshot& s, QString&) { s = data; return true; },
                                             f.fileName(), messages);
        w->setClock([] { return QDate(2024, 3, 5); });
    }
    QTextEdit* box(const char* name) { return w->findChild<QTextEdit*>(QString::fromLatin1(name)); }
    void click(const char* name) { QTest::mouseClick(w->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton); }
    // "&Imprimir" with the printer chosen writing to `pdf` (cancelled when empty); the name proposed.
    QString printTo(const QString& pdf) {
        QString proposed;
        w->setPrinterChooser([&proposed, pdf](QPrinter& printer, const QString& name) {
            proposed = name;
            printer.setOutputFileName(pdf);
            return !pdf.isEmpty();
        });
        click("Command1");
        return proposed;
    }
    // The text of a PDF as pdftotext lays it out, blanks and line ends collapsed.
    static QString pdfText(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        return p.waitForFinished(10000) ? QString::fromUtf8(p.readAllStandardOutput()).simplified() : QString();
    }

    QTemporaryDir dir;
    ReportSnapshot data = goldenCases().at(1).snapshot;  // nuevo_industrial.txt
    RecordingMessages messages;
    std::unique_ptr<frmImpSolKALTO> w;
};

}  // namespace

TEST_F(Window, PreviewAndPrint) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) GTEST_SKIP() << "sin pdftotext";
    // Before a preview, the considerations are shown and printed.
    EXPECT_EQ(box("RTUltima")->toPlainText(), kConsiderations);
    EXPECT_EQ(printTo(dir.filePath(QStringLiteral("1.pdf"))), QStringLiteral("Solicitud KALTO ABC0102031A2"));
    EXPECT_EQ(pdfText(dir.filePath(QStringLiteral("1.pdf"))), kConsiderations.simplified());
    // After one, the application; the print buffer centres the four title lines, and only them.
    click("Command3");
    const QString shown = QString::fromUtf8(readGolden(QStringLiteral("nuevo_industrial.txt"))).replace(QChar(11), '\n');
    EXPECT_EQ(box("RTUltima")->toPlainText(), shown);
    QTextBlock b = box("rtfText")->document()->begin();
    for (int i = 0; i < 6; ++i, b = b.next())
        EXPECT_EQ(b.blockFormat().alignment() & Qt::AlignHCenter, i < 4 ? Qt::AlignHCenter : 0) << i;
    printTo(dir.filePath(QStringLiteral("2.pdf")));
    EXPECT_EQ(pdfText(dir.filePath(QStringLiteral("2.pdf"))), shown.simplified());
    EXPECT_EQ(messages.texts(), QStringList(2, QStringLiteral("Impresión realizada")));

    // A cancelled dialog says nothing; a print that fails says so, never "Impresión realizada".
    messages.clear();
    printTo(QString());
    printTo(dir.filePath(QStringLiteral("no-existe/3.pdf")));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("No se pudo imprimir la solicitud en el archivo %1.")
                                                .arg(dir.filePath(QStringLiteral("no-existe/3.pdf")))});
    // A request that cannot be composed: "Solicitud incompleta ", the preview kept, nothing printed.
    messages.clear();
    data.annexes.last()[1] = 5;  // an annex kind without a group
    click("Command3");
    EXPECT_EQ(printTo(dir.filePath(QStringLiteral("4.pdf"))), QString());
    EXPECT_EQ(messages.texts(), QStringList(2, QStringLiteral("Solicitud incompleta ")));
    EXPECT_EQ(box("RTUltima")->toPlainText(), shown);
}

TEST_F(Window, TheDialogOffersNoPageRangeAndProposesTheFileAndPaper) {
    QLocale::setDefault(QLocale(QStringLiteral("es_MX")));  // Letter paper
    QString seen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        auto* range = dialog ? dialog->findChild<QWidget*>(QStringLiteral("gbPrintRange")) : nullptr;
        if (!range) return;
        seen = QStringLiteral("%1|%2|%3").arg(dialog->findChild<QLineEdit*>(QStringLiteral("filename"))->text(),
                                              range->isHidden() ? "sin rango" : "rango",
                                              dialog->printer()->pageLayout().pageSize().key());
        dialog->reject();
    });
    click("Command1");
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(seen.endsWith(QStringLiteral("/Solicitud KALTO ABC0102031A2.pdf|sin rango|Letter"))) << seen.toStdString();
}

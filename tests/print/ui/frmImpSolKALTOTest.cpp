// The print window through its real widgets: considerations on opening, preview, failure
// message, layout on resize, the print dialog, and printing to a PDF read back by pdftotext.

#include "print/Snapshots.h"
#include "print/ui/frmImpSolKALTO.h"
#include "support/RecordingMessages.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kalto;
using namespace kalto::test;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

const QDate kToday(2024, 3, 5);

// A considerations file written as Windows-1252 with CR LF line ends.
QString writeConsiderations(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("CONSIDERA.TXT"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("CONSIDERACIONES GENERALES\r\n\r\n1. Se captura en may\xFAsculas; la \xD1 tambi\xE9n.\r\n"
            "2. Cada rengl\xF3n se guarda al cambiar de rengl\xF3n.\r\n");
    return path;
}
const QString kConsiderations = QStringLiteral(
    "CONSIDERACIONES GENERALES\n\n1. Se captura en mayúsculas; la Ñ también.\n2. Cada renglón se guarda al cambiar "
    "de renglón.\n");

struct Window {
    explicit Window(const QString& considerations, ReportSnapshot* data)
        : w([data](ReportSnapshot& s, QString&) { s = *data; return true; }, considerations, messages) {
        w.setClock([] { return kToday; });
    }
    template <typename T> T* find(const char* name) { return w.findChild<T*>(QString::fromLatin1(name)); }
    QTextEdit* pane() { return find<QTextEdit>("RTUltima"); }
    QTextEdit* buffer() { return find<QTextEdit>("rtfText"); }
    RecordingMessages messages;
    frmImpSolKALTO w;
};

QString composed(const ReportSnapshot& s) {
    ReportText r;
    EXPECT_TRUE(FormateaInf(s, kToday, &r));
    return r.full;
}

// The lines of a text, blanks collapsed, empty ones left out.
QStringList lines(QString text) {
    text.replace(QChar(11), QLatin1Char('\n')).replace(QLatin1Char('\f'), QLatin1Char('\n'));
    QStringList out;
    for (const QString& l : text.split(QLatin1Char('\n'))) {
        const QString s = l.simplified();
        if (!s.isEmpty()) out << s;
    }
    return out;
}

// The text of a PDF as pdftotext lays it out; empty when pdftotext is not installed. With
// `exactBlanks` the layout uses the pitch of the 9-point fixed-pitch font the text is printed
// in (5.4 points a character), so that the blanks between characters come back as printed.
QString pdfText(const QString& pdf, bool* available, bool exactBlanks = false) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    *available = !tool.isEmpty();
    if (tool.isEmpty()) return {};
    QStringList options{QStringLiteral("-layout")};
    if (exactBlanks) options << QStringLiteral("-fixed") << QStringLiteral("5.4");
    QProcess p;
    p.start(tool, options + QStringList{QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Every line of `expected` appears in order in the printed lines, either whole or, when it is
// wider than the page, wrapped over consecutive lines; nothing else is printed.
void expectSameLines(const QStringList& printed, const QStringList& expected) {
    int at = 0;
    for (const QString& want : expected) {
        QString got;
        while (at < printed.size() && got.size() < want.size())
            got = got.isEmpty() ? printed[at++] : got + QLatin1Char(' ') + printed[at++];
        ASSERT_EQ(got, want) << "line " << at;
    }
    EXPECT_EQ(at, printed.size()) << printed.mid(at).join('|').toStdString();
}

// A modal window the test failed to answer is closed after a while instead of hanging the run.
void closeModalLater() {
    QTimer::singleShot(10000, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
}

bool printToPdf(frmImpSolKALTO& w, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return w.printTo(printer);
}

}  // namespace

TEST(frmImpSolKALTO, OpeningShowsTheConsiderations) {
    QTemporaryDir dir;
    ReportSnapshot data = newIndustrial().snapshot;
    Window win(writeConsiderations(dir), &data);
    EXPECT_EQ(win.w.objectName(), QStringLiteral("frmImpSolKALTO"));
    EXPECT_EQ(win.w.windowTitle(), QStringLiteral("Impresión de Solicitud"));
    EXPECT_EQ(win.find<QPushButton>("Command3")->text(), QStringLiteral("Vista &Previa"));
    EXPECT_EQ(win.find<QPushButton>("Command1")->text(), QStringLiteral("&Imprimir"));
    EXPECT_EQ(win.find<QPushButton>("Command2")->text(), QStringLiteral("&Cerrar"));
    ASSERT_TRUE(win.pane() && win.buffer());
    EXPECT_EQ(win.pane()->toPlainText(), kConsiderations);
    EXPECT_TRUE(win.buffer()->toPlainText().isEmpty());
    const QFont font = win.buffer()->document()->defaultFont();
    EXPECT_TRUE(font.family() == QLatin1String("Courier New") || font.family() == QLatin1String("Liberation Mono"))
        << font.family().toStdString();
    EXPECT_EQ(font.pointSize(), 9);

    // A missing file leaves the pane empty, silently.
    Window missing(dir.filePath(QStringLiteral("NOHAY.TXT")), &data);
    EXPECT_TRUE(missing.pane()->toPlainText().isEmpty());
    EXPECT_TRUE(missing.messages.entries.isEmpty());

    // Cerrar closes the window.
    win.w.show();
    QTest::mouseClick(win.find<QPushButton>("Command2"), Qt::LeftButton);
    EXPECT_FALSE(win.w.isVisible());
}

TEST(frmImpSolKALTO, PreviewShowsTheComposedApplication) {
    QTemporaryDir dir;
    ReportSnapshot data = newIndustrial().snapshot;
    Window win(writeConsiderations(dir), &data);
    win.w.show();
    QTest::mouseClick(win.find<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_TRUE(win.messages.entries.isEmpty());
    QString expected = composed(data);
    EXPECT_EQ(win.w.report().full, expected);
    expected.replace(QChar(11), QLatin1Char('\n'));
    EXPECT_EQ(win.pane()->toPlainText(), expected);
    EXPECT_EQ(win.buffer()->toPlainText(), expected);

    // The print buffer centres the four title lines, and only them; the pane centres nothing.
    QTextBlock b = win.buffer()->document()->begin();
    for (int i = 0; i < 6; ++i, b = b.next())
        EXPECT_EQ(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                  i < 4 ? Qt::AlignHCenter : Qt::AlignLeft) << i;
    EXPECT_EQ(win.pane()->document()->begin().blockFormat().alignment() & Qt::AlignHCenter, 0);

    // A second preview shows what changed meanwhile.
    data.companyName = QStringLiteral("OTRO NOMBRE, S.A.");
    QTest::mouseClick(win.find<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_TRUE(win.pane()->toPlainText().contains(QStringLiteral("\nRAZON SOCIAL : OTRO NOMBRE, S.A.\n")));
    EXPECT_TRUE(win.buffer()->toPlainText().contains(QStringLiteral("\nRAZON SOCIAL : OTRO NOMBRE, S.A.\n")));
}

TEST(frmImpSolKALTO, FailedPreviewKeepsWhatWasShown) {
    QTemporaryDir dir;
    ReportSnapshot data = newIndustrial().snapshot;
    data.annexes.append({n(20), n(5), t("SIN GRUPO"), t("99999999"), n(0)});
    Window win(writeConsiderations(dir), &data);
    win.w.show();
    QTest::mouseClick(win.find<QPushButton>("Command3"), Qt::LeftButton);
    ASSERT_EQ(win.messages.entries.size(), 1);
    EXPECT_EQ(win.messages.entries[0].kind, RecordingMessages::Kind::Plain);
    EXPECT_EQ(win.messages.entries[0].text, QStringLiteral("Solicitud incompleta "));
    EXPECT_TRUE(win.messages.entries[0].title.isEmpty());
    EXPECT_EQ(win.pane()->toPlainText(), kConsiderations);
    EXPECT_TRUE(win.buffer()->toPlainText().isEmpty());

    // After a good preview, a failed one leaves the previewed application in both boxes.
    data.annexes.removeLast();
    ASSERT_TRUE(win.w.preview());
    data.annexes.append({n(20), n(7), t("SIN GRUPO"), t("99999999"), n(0)});
    EXPECT_FALSE(win.w.preview());
    EXPECT_TRUE(win.pane()->toPlainText().startsWith(QStringLiteral("RUVANA\n")));
    EXPECT_TRUE(win.buffer()->toPlainText().startsWith(QStringLiteral("RUVANA\n")));

    // Whatever the kind outside 1 to 4 (a fraction, a number past any group), the same message
    // and the last preview kept.
    for (const QVariant& kind : {d(2.5), d(1e12), n(32768), n(99)}) {
        win.messages.entries.clear();
        data.annexes.last()[1] = kind;
        EXPECT_FALSE(win.w.preview()) << kind.toString().toStdString();
        EXPECT_EQ(win.messages.texts(), QStringList{QStringLiteral("Solicitud incompleta ")});
        EXPECT_TRUE(win.pane()->toPlainText().startsWith(QStringLiteral("RUVANA\n")));
    }

    // A request that cannot be gathered fails the same way.
    RecordingMessages messages;
    frmImpSolKALTO w([](ReportSnapshot&, QString& error) { error = QStringLiteral("x"); return false; }, QString(),
                     messages);
    EXPECT_FALSE(w.preview());
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Solicitud incompleta ")});
}

TEST(frmImpSolKALTO, PrintsToPdfTheTextLoaded) {
    QTemporaryDir dir;
    ReportSnapshot data = newIndustrial().snapshot;
    Window win(writeConsiderations(dir), &data);

    // Right after opening: the considerations.
    const QString first = dir.filePath(QStringLiteral("consideraciones.pdf"));
    ASSERT_TRUE(printToPdf(win.w, first));
    ASSERT_GT(QFileInfo(first).size(), 0);
    bool available = false;
    const QString considerations = pdfText(first, &available);
    if (available) expectSameLines(lines(considerations), lines(kConsiderations));

    // After a preview: the application, its lines those of the composed text; long lines wrap.
    ASSERT_TRUE(win.w.preview());
    const QString second = dir.filePath(QStringLiteral("solicitud.pdf"));
    ASSERT_TRUE(printToPdf(win.w, second));
    ASSERT_GT(QFileInfo(second).size(), 0);
    const QString application = pdfText(second, &available);
    if (!available) GTEST_SKIP() << "pdftotext no está instalado";
    expectSameLines(lines(application), lines(composed(data)));
    // The title is centred on the page, the rest starts at the margin.
    const QStringList raw = application.split(QLatin1Char('\n'));
    const auto indent = [&raw](const QString& start) {
        for (const QString& l : raw)
            if (l.trimmed().startsWith(start)) return int(l.indexOf(start));
        return -1;
    };
    EXPECT_GT(indent(QStringLiteral("RUVANA")), 20);
    EXPECT_GT(indent(QStringLiteral("DATOS GENERALES")), 20);
    EXPECT_EQ(indent(QStringLiteral("TIPO DE TRAMITE:")), 0);
    EXPECT_EQ(indent(QStringLiteral("DATOS DEL REPRESENTANTE LEGAL")), 0);
    EXPECT_GT(indent(QStringLiteral("Materias Primas")), 10);
}

TEST(frmImpSolKALTO, LayoutFollowsTheWindowSize) {
    ReportSnapshot data;
    Window win(QString(), &data);
    win.w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&win.w));
    auto twipsX = [&](int px) { return px * 1440.0 / win.w.logicalDpiX(); };
    auto twipsY = [&](int px) { return px * 1440.0 / win.w.logicalDpiY(); };
    auto near = [](double twips, double expected) { return std::abs(twips - expected) <= 20; };  // about a pixel
    QPushButton* buttons[] = {win.find<QPushButton>("Command3"), win.find<QPushButton>("Command1"),
                              win.find<QPushButton>("Command2")};
    const int lefts[] = {3260, 4560, 5880};

    for (QSize size : {QSize(700, 500), QSize(900, 300)}) {
        win.w.resize(size);
        QApplication::processEvents();
        const double w = twipsX(win.w.width()), h = twipsY(win.w.height());
        const QRect pane = win.pane()->geometry();
        EXPECT_TRUE(near(twipsX(pane.x()), 100) && near(twipsY(pane.y()), 100));
        EXPECT_TRUE(near(twipsX(pane.width()), w - 200)) << twipsX(pane.width()) << " " << w;
        EXPECT_TRUE(near(twipsY(pane.height()), h - 1000));
        EXPECT_EQ(win.pane()->lineWrapMode(), QTextEdit::FixedPixelWidth);
        EXPECT_TRUE(near(twipsX(win.pane()->lineWrapColumnOrWidth()), twipsX(pane.width()) - 400));
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(near(twipsX(buttons[i]->x()), lefts[i])) << i;
            EXPECT_TRUE(near(twipsY(buttons[i]->y()), h - 700)) << i;
        }
    }
    // Too small for the pane: the pane keeps its size, the buttons their left positions.
    const QRect before = win.pane()->geometry();
    win.w.resize(QSize(int(150 * win.w.logicalDpiX() / 1440.0), int(900 * win.w.logicalDpiY() / 1440.0)));
    QApplication::processEvents();
    EXPECT_EQ(win.pane()->geometry(), before);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(near(twipsX(buttons[i]->x()), lefts[i])) << i;
}

TEST(frmImpSolKALTO, PrintDialog) {
    QTemporaryDir dir;
    ReportSnapshot data = newIndustrial().snapshot;
    Window win(writeConsiderations(dir), &data);
    win.w.show();
    auto print = [&](const std::function<void(QPrintDialog*)>& answer) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
                shown = true;
                answer(dialog);
            }
        });
        closeModalLater();
        QTest::mouseClick(win.find<QPushButton>("Command1"), Qt::LeftButton);
        QApplication::processEvents();  // the answer runs now if no dialog was opened
        return shown;
    };

    // The dialog's own "print to file" (its last destination, never a real printer) with a
    // file name typed into it; false when the dialog offers no such destination.
    auto choosePdf = [](QPrintDialog* dialog, const QString& path) {
        auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
        if (!printers || !printers->itemText(printers->count() - 1).contains(QLatin1String("PDF"))) return false;
        printers->setCurrentIndex(printers->count() - 1);
        bool typed = false;
        for (auto* edit : dialog->findChildren<QLineEdit*>(QStringLiteral("filename"))) {
            edit->setText(path);
            typed = true;
        }
        return typed;
    };

    // Offered with the selection preset and no page ranges; cancelled after a file was chosen,
    // it writes nothing and says nothing.
    const QString cancelled = dir.filePath(QStringLiteral("cancelado.pdf"));
    bool selection = false, pageRange = true, typed = false;
    QPrinter::PrintRange range = QPrinter::AllPages;
    QString name;
    ASSERT_TRUE(print([&](QPrintDialog* dialog) {
        name = dialog->objectName();
        selection = dialog->testOption(QAbstractPrintDialog::PrintSelection);
        pageRange = dialog->testOption(QAbstractPrintDialog::PrintPageRange);
        range = dialog->printer()->printRange();
        typed = choosePdf(dialog, cancelled);
        dialog->reject();
    }));
    EXPECT_EQ(name, QStringLiteral("CommonDialog1"));
    EXPECT_TRUE(selection);
    EXPECT_FALSE(pageRange);
    EXPECT_EQ(range, QPrinter::Selection);
    ASSERT_TRUE(typed);
    EXPECT_FALSE(QFileInfo::exists(cancelled));
    EXPECT_TRUE(win.messages.entries.isEmpty());

    // Accepted before any preview: the considerations.
    const QString pdf = dir.filePath(QStringLiteral("dialogo.pdf"));
    ASSERT_TRUE(print([&](QPrintDialog* dialog) { choosePdf(dialog, pdf) ? dialog->accept() : dialog->reject(); }));
    ASSERT_GT(QFileInfo(pdf).size(), 0);
    ASSERT_EQ(win.messages.entries.size(), 1);
    EXPECT_EQ(win.messages.entries[0].kind, RecordingMessages::Kind::Information);
    EXPECT_EQ(win.messages.entries[0].text, QStringLiteral("Impresión realizada"));
    EXPECT_EQ(win.messages.entries[0].title, QStringLiteral("Impresión de Forma"));
    bool available = false;
    const QString text = pdfText(pdf, &available);
    if (available) expectSameLines(lines(text), lines(kConsiderations));

    // After a preview: the application, with the applicant's RFC and the annex heading.
    QTest::mouseClick(win.find<QPushButton>("Command3"), Qt::LeftButton);
    const QString application = dir.filePath(QStringLiteral("solicitud.pdf"));
    ASSERT_TRUE(print([&](QPrintDialog* dialog) {
        choosePdf(dialog, application) ? dialog->accept() : dialog->reject();
    }));
    ASSERT_GT(QFileInfo(application).size(), 0);
    EXPECT_EQ(win.messages.texts(), (QStringList{QStringLiteral("Impresión realizada"),
                                                 QStringLiteral("Impresión realizada")}));
    const QString printed = pdfText(application, &available, true);
    if (available) {
        QStringList trimmed;
        for (const QString& l : printed.split(QLatin1Char('\n'))) trimmed << l.trimmed();
        EXPECT_TRUE(trimmed.contains(QStringLiteral("R.F.C.  ABC0102031A2"))) << printed.left(1000).toStdString();
        EXPECT_TRUE(trimmed.contains(QStringLiteral("A  N  E  X  O  S")));
        EXPECT_TRUE(trimmed.contains(QStringLiteral("RAZON SOCIAL : PRODUCTOS PEÑA Y MUÑOZ, S.A. DE C.V.")));
    }

    // A request that cannot be composed: "Solicitud incompleta ", no dialog, nothing printed.
    win.messages.entries.clear();
    data.annexes.append({n(20), n(5), t("SIN GRUPO"), t("99999999"), n(0)});
    const QString refused = dir.filePath(QStringLiteral("incompleta.pdf"));
    EXPECT_FALSE(print([&](QPrintDialog* dialog) { choosePdf(dialog, refused) ? dialog->accept() : dialog->reject(); }));
    EXPECT_FALSE(QFileInfo::exists(refused));
    ASSERT_EQ(win.messages.entries.size(), 1);
    EXPECT_EQ(win.messages.entries[0].kind, RecordingMessages::Kind::Plain);
    EXPECT_EQ(win.messages.entries[0].text, QStringLiteral("Solicitud incompleta "));
    // The boxes keep the last preview.
    EXPECT_EQ(win.w.report().full, composed(newIndustrial().snapshot));
}

TEST(frmImpSolKALTO, EntryPointOpensTheWindowModally) {
    QTemporaryDir dir;
    const QString considerations = writeConsiderations(dir);
    QWidget mainWindow;
    mainWindow.show();
    RecordingMessages messages;
    QString shown, previewed;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<frmImpSolKALTO*>(QApplication::activeModalWidget());
        if (!w) return;
        shown = w->findChild<QTextEdit*>(QStringLiteral("RTUltima"))->toPlainText();
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
        previewed = w->findChild<QTextEdit*>(QStringLiteral("RTUltima"))->toPlainText();
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    });
    closeModalLater();
    frmImpSolKALTO::openModal(&mainWindow, emptyNewProgramme().snapshot, considerations, messages);
    EXPECT_EQ(shown, kConsiderations);
    EXPECT_TRUE(previewed.startsWith(QStringLiteral("RUVANA\nSOLICITUD DE AUTORIZACIÓN DE PROGRAMA KALTO\n")));
    EXPECT_TRUE(messages.entries.isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

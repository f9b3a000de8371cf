#include "print/ui/frmImpSolKALTO.h"

#include "core/Messages.h"
#include "core/TextFiles.h"
#include "toolkit/Hourglass.h"
#include "toolkit/TextPrinting.h"
#include "ui_frmImpSolKALTO.h"

#include <QDir>
#include <QFontDatabase>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QtPrintSupport/QPrinter>

namespace kalto {

namespace {

// The composed text as the text boxes hold it: the fiscal-address block ends with the
// character 11, which they show as a line break inside the paragraph.
QString forTextBox(QString text) {
    text.replace(QChar(11), QChar(QChar::LineSeparator));
    return text;
}

QFont fixedFont(const QString& family) {
    QFont f(QFontDatabase::hasFamily(family) ? family : QStringLiteral("Liberation Mono"));
    f.setPointSize(9);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

}  // namespace

QFont printBufferFont() { return fixedFont(QStringLiteral("Courier New")); }

QFont paneFont() { return fixedFont(QStringLiteral("Fixedsys")); }

frmImpSolKALTO::frmImpSolKALTO(ReportSource source, const QString& considerationsPath, Messages& messages,
                               QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::frmImpSolKALTO>()), source_(std::move(source)),
      messages_(messages), clock_([] { return QDate::currentDate(); }) {
    ui_->setupUi(this);
    ui_->rtfText->document()->setDefaultFont(printBufferFont());
    ui_->RTUltima->document()->setDefaultFont(paneFont());
    connect(ui_->Command3, &QPushButton::clicked, this, [this] { preview(); });
    connect(ui_->Command1, &QPushButton::clicked, this, [this] { print(); });
    chooser_ = [this](QPrinter& printer, const QString& proposedName) {
        TextPrintDialog dialog(&printer, proposedName, this);
        dialog.setObjectName(QStringLiteral("CommonDialog1"));
        dialog.setOption(QAbstractPrintDialog::PrintSelection, true);
        return dialog.exec() == QDialog::Accepted;
    };
    // A missing or unreadable considerations file leaves the pane empty, without a message.
    QString text;
    if (!considerationsPath.isEmpty() && readTextFile(considerationsPath, &text)) ui_->RTUltima->setPlainText(text);
}

frmImpSolKALTO::~frmImpSolKALTO() = default;

void frmImpSolKALTO::openModal(QWidget* parent, ReportSource source, const QString& considerationsPath,
                               Messages& messages) {
    frmImpSolKALTO window(std::move(source), considerationsPath, messages, parent);
    window.exec();
}

bool frmImpSolKALTO::compose(ReportText& composed, QString* rfc) {
    Hourglass hourglass;
    ReportSnapshot snapshot;
    QString error;
    if (source_ && source_(snapshot, error) && FormateaInf(snapshot, clock_(), &composed, &error)) {
        if (rfc) *rfc = snapshot.rfc.trimmed();
        return true;
    }
    hourglass.restore();
    messages_.plain(QStringLiteral("Solicitud incompleta "));
    return false;
}

bool frmImpSolKALTO::preview() {
    ReportText composed;
    if (!compose(composed)) return false;
    report_ = composed;

    // The print buffer: the whole text, the header's paragraphs centred, the rest left-aligned.
    ui_->rtfText->setPlainText(forTextBox(composed.full));
    QTextCursor cursor(ui_->rtfText->document());
    cursor.setPosition(0);
    cursor.setPosition(int(composed.header.size()), QTextCursor::KeepAnchor);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(centred);

    // The pane shows a plain copy (without the centring).
    ui_->RTUltima->setPlainText(ui_->rtfText->toPlainText());
    return true;
}

void frmImpSolKALTO::print() {
    // The request is composed first, as for a preview; one that cannot be composed is reported
    // as incomplete and nothing is printed. What is printed is what the boxes hold (the last
    // preview, or the considerations): the new composition is not loaded into them.
    ReportText composed;
    QString rfc;
    if (!compose(composed, &rfc)) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrintRange(QPrinter::Selection);
    if (!chooser_ || !chooser_(printer, (QStringLiteral("Solicitud KALTO ") + rfc).trimmed())) return;
    Hourglass hourglass;
    const bool printed = printTo(printer);
    hourglass.restore();
    if (!printed) {
        const QString where = printer.outputFileName().isEmpty()
                                  ? QStringLiteral("la impresora %1").arg(printer.printerName())
                                  : QStringLiteral("el archivo %1").arg(QDir::toNativeSeparators(printer.outputFileName()));
        messages_.exclamation(QStringLiteral("No se pudo imprimir la solicitud en %1.").arg(where));
        return;
    }
    messages_.information(QStringLiteral("Impresión realizada"), QStringLiteral("Impresión de Forma"));
}

bool frmImpSolKALTO::printTo(QPrinter& printer) {
    const QTextDocument* document =
        ui_->rtfText->toPlainText().isEmpty() ? ui_->RTUltima->document() : ui_->rtfText->document();
    return printText(*document, printer);
}

}  // namespace kalto

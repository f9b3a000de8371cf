#include "print/ui/frmImpSolKALTO.h"

#include "core/Messages.h"
#include "core/TextFiles.h"
#include "toolkit/Hourglass.h"
#include "toolkit/TextPrinting.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <cmath>
#include <memory>

namespace kalto {

namespace {

// Sizes of the window, in twips.
constexpr int kInitialWidth = 11000;  // the considerations (lines of about 90 characters) unwrapped
constexpr int kInitialHeight = 7800;
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kPreviewLeft = 3260;
constexpr int kPrintLeft = 4560;
constexpr int kCloseLeft = 5880;

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
    : QDialog(parent), source_(std::move(source)), messages_(messages), clock_([] { return QDate::currentDate(); }) {
    setObjectName(QStringLiteral("frmImpSolKALTO"));
    setWindowTitle(QStringLiteral("Impresión de Solicitud"));
    setSizeGripEnabled(true);

    // The print buffer keeps its own place under the pane; only the pane is seen.
    rtfText_ = new QTextEdit(this);
    rtfText_->setObjectName(QStringLiteral("rtfText"));
    rtfText_->setFont(printBufferFont());
    rtfText_->document()->setDefaultFont(printBufferFont());
    rtfText_->setReadOnly(true);
    rtfText_->hide();

    RTUltima_ = new QTextEdit(this);
    RTUltima_->setObjectName(QStringLiteral("RTUltima"));
    RTUltima_->setFont(paneFont());
    RTUltima_->document()->setDefaultFont(paneFont());
    RTUltima_->setReadOnly(true);
    RTUltima_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RTUltima_->setLineWrapMode(QTextEdit::FixedPixelWidth);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    Command3_ = button("Command3", QStringLiteral("Vista &Previa"));
    Command1_ = button("Command1", QStringLiteral("&Imprimir"));
    Command2_ = button("Command2", QStringLiteral("&Cerrar"));
    for (QPushButton* b : {Command3_, Command1_, Command2_})
        b->setFixedSize(twipsToPixelsX(kButtonWidth), twipsToPixelsY(kButtonHeight));
    connect(Command3_, &QPushButton::clicked, this, [this] { preview(); });
    connect(Command1_, &QPushButton::clicked, this, [this] { print(); });
    connect(Command2_, &QPushButton::clicked, this, &QDialog::accept);
    setTabOrder(Command3_, Command1_);
    setTabOrder(Command1_, Command2_);
    setTabOrder(Command2_, RTUltima_);

    resize(twipsToPixelsX(kInitialWidth), twipsToPixelsY(kInitialHeight));
    layoutControls();
    loadConsiderations(considerationsPath);
}

frmImpSolKALTO::~frmImpSolKALTO() = default;

void frmImpSolKALTO::openModal(QWidget* parent, ReportSource source, const QString& considerationsPath,
                               Messages& messages) {
    frmImpSolKALTO window(std::move(source), considerationsPath, messages, parent);
    window.exec();
}

void frmImpSolKALTO::openModal(QWidget* parent, const ReportSnapshot& snapshot, const QString& considerationsPath,
                               Messages& messages) {
    openModal(parent, [snapshot](ReportSnapshot& s, QString&) { s = snapshot; return true; }, considerationsPath,
              messages);
}

int frmImpSolKALTO::twipsToPixelsX(int twips) const { return int(std::lround(twips * logicalDpiX() / 1440.0)); }
int frmImpSolKALTO::twipsToPixelsY(int twips) const { return int(std::lround(twips * logicalDpiY() / 1440.0)); }

void frmImpSolKALTO::loadConsiderations(const QString& path) {
    // A missing or unreadable file leaves the pane empty, without a message.
    QString text;
    if (!path.isEmpty() && readTextFile(path, &text)) RTUltima_->setPlainText(text);
}

void frmImpSolKALTO::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layoutControls();
}

void frmImpSolKALTO::layoutControls() {
    // Inner width and height in twips.
    const int w = int(std::lround(width() * 1440.0 / logicalDpiX()));
    const int h = int(std::lround(height() * 1440.0 / logicalDpiY()));
    // A window too small for the pane keeps the pane's last size.
    if (w - 200 > 0 && h - 1000 > 0)
        RTUltima_->setGeometry(twipsToPixelsX(100), twipsToPixelsY(100), twipsToPixelsX(w - 200),
                               twipsToPixelsY(h - 1000));
    // The pane's text wraps 400 twips short of its width.
    const int paneWidth = int(std::lround(RTUltima_->width() * 1440.0 / logicalDpiX()));
    if (paneWidth - 400 > 0) RTUltima_->setLineWrapColumnOrWidth(twipsToPixelsX(paneWidth - 400));
    const int top = h - 700 > 0 ? twipsToPixelsY(h - 700) : Command3_->y();
    Command3_->move(twipsToPixelsX(kPreviewLeft), top);
    Command1_->move(twipsToPixelsX(kPrintLeft), top);
    Command2_->move(twipsToPixelsX(kCloseLeft), top);
}

bool frmImpSolKALTO::compose(ReportText& composed) {
    Hourglass hourglass;
    ReportSnapshot snapshot;
    QString error;
    if (source_ && source_(snapshot, error) && FormateaInf(snapshot, clock_(), &composed, &error)) return true;
    hourglass.restore();
    messages_.plain(QStringLiteral("Solicitud incompleta "));
    return false;
}

bool frmImpSolKALTO::preview() {
    ReportText composed;
    if (!compose(composed)) return false;
    report_ = composed;

    // The print buffer: the whole text, the header's paragraphs centred, the rest left-aligned.
    rtfText_->setPlainText(forTextBox(composed.full));
    QTextCursor cursor(rtfText_->document());
    cursor.setPosition(0);
    cursor.setPosition(int(composed.header.size()), QTextCursor::KeepAnchor);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(centred);

    // The pane shows a plain copy (without the centring).
    RTUltima_->setPlainText(rtfText_->toPlainText());
    return true;
}

void frmImpSolKALTO::print() {
    // The request is composed first, as for a preview; one that cannot be composed is reported
    // as incomplete and nothing is printed. What is printed is what the boxes hold (the last
    // preview, or the considerations): the new composition is not loaded into them.
    ReportText composed;
    if (!compose(composed)) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrintRange(QPrinter::Selection);
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setOption(QAbstractPrintDialog::PrintSelection, true);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (dialog.exec() != QDialog::Accepted) return;
    Hourglass hourglass;
    if (!printTo(printer)) return;
    hourglass.restore();
    messages_.information(QStringLiteral("Impresión realizada"), QStringLiteral("Impresión de Forma"));
}

bool frmImpSolKALTO::printTo(QPrinter& printer) {
    const QTextDocument* document =
        rtfText_->toPlainText().isEmpty() ? RTUltima_->document() : rtfText_->document();
    return printText(*document, printer);
}

}  // namespace kalto

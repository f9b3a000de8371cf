#include "sectoral/ui/frmImpSolBrelot.h"

#include "core/Messages.h"
#include "data/Database.h"
#include "toolkit/Hourglass.h"
#include "toolkit/TextPrinting.h"
#include "core/TextFiles.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <memory>

namespace kalto {

namespace {

// Positions and sizes inside the window, in twips.
constexpr int kMargin = 100;
constexpr int kWidthLess = 200;
constexpr int kHeightLess = 1000;
constexpr int kWrapBeforeEdge = 400;
constexpr int kButtonsFromBottom = 700;
constexpr int kImprimirLeft = 4560;
constexpr int kCerrarLeft = 5880;
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;

QFont considerationsFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(9);
    return f;
}

}  // namespace

QFont brelotFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(7.5);
    return f;
}

frmImpSolBrelot::frmImpSolBrelot(Database& db, Messages& messages, const ApplicantData& applicant, QWidget* parent)
    : QDialog(parent), db_(db), messages_(messages), applicant_(applicant) {
    setObjectName(QStringLiteral("frmImpSolBrelot"));
    setWindowTitle(QStringLiteral("Impresión de documento BRELOT"));
    setModal(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    RTUltima_ = new QTextEdit(this);
    RTUltima_->setObjectName(QStringLiteral("RTUltima"));
    RTUltima_->setReadOnly(true);
    RTUltima_->setAcceptRichText(false);
    RTUltima_->setFont(brelotFont());
    RTUltima_->document()->setDefaultFont(brelotFont());
    RTUltima_->setLineWrapMode(QTextEdit::FixedPixelWidth);

    // The print copy and the considerations are not shown.
    rtfText_ = new QTextEdit(this);
    rtfText_->setObjectName(QStringLiteral("rtfText"));
    rtfText_->setAcceptRichText(false);
    rtfText_->document()->setDefaultFont(brelotFont());
    rtfText_->hide();
    CONSIDERA_ = new QTextEdit(this);
    CONSIDERA_->setObjectName(QStringLiteral("CONSIDERA"));
    CONSIDERA_->setAcceptRichText(false);
    CONSIDERA_->document()->setDefaultFont(considerationsFont());
    CONSIDERA_->hide();

    Command1_ = new QPushButton(QStringLiteral("&Imprimir"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command2_ = new QPushButton(QStringLiteral("&Cerrar"), this);
    Command2_->setObjectName(QStringLiteral("Command2"));
    for (QPushButton* b : {Command1_, Command2_}) {
        b->setAutoDefault(false);
        b->setFixedSize(twipsToPixelsX(kButtonWidth), twipsToPixelsY(kButtonHeight));
    }
    connect(Command1_, &QPushButton::clicked, this, [this] { print(); });
    connect(Command2_, &QPushButton::clicked, this, &QDialog::accept);

    chooser_ = [this](QPrinter& printer) { return chooseWithDialog(printer); };
    resize(twipsToPixelsX(12000), twipsToPixelsY(8000));
    layoutControls();
}

void frmImpSolBrelot::openModal(QWidget* parent, Database& db, Messages& messages, const ApplicantData& applicant,
                                DateClock today) {
    frmImpSolBrelot window(db, messages, applicant, parent);
    if (today) window.setClock(std::move(today));
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
    window.exec();
}

int frmImpSolBrelot::twipsToPixelsX(int twips) const { return twips * logicalDpiX() / 1440; }
int frmImpSolBrelot::twipsToPixelsY(int twips) const { return twips * logicalDpiY() / 1440; }

void frmImpSolBrelot::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!composed_) {
        composed_ = true;
        layoutControls();
        compose(true);
    }
}

void frmImpSolBrelot::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layoutControls();
}

void frmImpSolBrelot::layoutControls() {
    // A window smaller than the margins (minimized, say) shows no preview rather than one of
    // negative size.
    const int margin = twipsToPixelsX(kMargin);
    const int width = std::max(0, this->width() - twipsToPixelsX(kWidthLess));
    const int height = std::max(0, this->height() - twipsToPixelsY(kHeightLess));
    RTUltima_->setGeometry(margin, twipsToPixelsY(kMargin), width, height);
    RTUltima_->setLineWrapColumnOrWidth(std::max(1, width - twipsToPixelsX(kWrapBeforeEdge)));
    const int top = std::max(0, this->height() - twipsToPixelsY(kButtonsFromBottom));
    Command1_->move(twipsToPixelsX(kImprimirLeft), top);
    Command2_->move(twipsToPixelsX(kCerrarLeft), top);
}

bool frmImpSolBrelot::compose(bool preview) {
    BrelotQuestionnaireInput input;
    QString error;
    if (!readBrelotQuestionnaireInput(db_, applicant_, &input, &error)) {
        messages_.exclamation(QStringLiteral("No se pudieron leer los sectores y las mercancías del programa BRELOT.\n\n") +
                              error);
        return false;
    }
    const QString text = composeBrelotQuestionnaire(input, today_);
    rtfText_->setPlainText(text);
    // The heading's paragraphs are centred in the print copy (the selection ends on its last
    // character, so the paragraph after it is not taken in).
    QTextCursor cursor(rtfText_->document());
    cursor.setPosition(0);
    cursor.setPosition(brelotHeadingLength() - 1, QTextCursor::KeepAnchor);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(centred);
    if (preview) RTUltima_->setPlainText(text);
    return true;
}

bool frmImpSolBrelot::chooseWithDialog(QPrinter& printer) {
    // The whole questionnaire is the selection that is printed: no page range is offered.
    printer.setPrintRange(rtfText_->toPlainText().isEmpty() ? QPrinter::AllPages : QPrinter::Selection);
    TextPrintDialog dialog(&printer, QStringLiteral("Cuestionario BRELOT ") + applicant_.rfc.trimmed(), this);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, !rtfText_->toPlainText().isEmpty());
    return dialog.exec() == QDialog::Accepted;
}

bool frmImpSolBrelot::print() {
    if (!compose(false)) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Cuestionario BRELOT"));
    if (!chooser_ || !chooser_(printer)) return false;  // cancelled: nothing is printed

    Hourglass hourglass;
    QString error;
    bool considerations = false;
    const bool printed = printOn(printer, &error, &considerations);
    hourglass.restore();
    if (!printed) {
        messages_.exclamation(QStringLiteral("No se pudo imprimir el cuestionario: %1.").arg(error));
        return false;
    }
    if (!considerations)
        messages_.exclamation(QStringLiteral("Se imprimió el cuestionario, pero no se pudo leer el archivo de "
                                             "consideraciones %1.")
                                  .arg(QDir::toNativeSeparators(considerationsFile(db_.folder()))));
    return true;
}

bool frmImpSolBrelot::printOn(QPrinter& printer, QString* error, bool* considerationsPrinted) {
    QString text;
    const bool haveConsiderations = readTextFile(considerationsFile(db_.folder()), &text);
    if (haveConsiderations) CONSIDERA_->setPlainText(text);
    if (considerationsPrinted) *considerationsPrinted = false;

    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error) *error = QStringLiteral("no se pudo usar la impresora %1").arg(printer.printerName());
        return false;
    }
    bool ok = printTextPages(*rtfText_->document(), printer, painter, false);
    if (ok && haveConsiderations) {
        ok = printTextPages(*CONSIDERA_->document(), printer, painter, true);
        if (ok && considerationsPrinted) *considerationsPrinted = true;
    }
    ok = painter.end() && ok && printer.printerState() != QPrinter::Error;
    if (!ok && error) *error = QStringLiteral("la impresora %1 informó un error").arg(printer.printerName());
    return ok;
}

}  // namespace kalto

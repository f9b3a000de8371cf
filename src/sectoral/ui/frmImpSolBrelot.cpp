#include "sectoral/ui/frmImpSolBrelot.h"

#include "core/Messages.h"
#include "data/Database.h"
#include "toolkit/Hourglass.h"
#include "toolkit/TextPrinting.h"
#include "core/TextFiles.h"
#include "ui_frmImpSolBrelot.h"

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

QFont considerationsFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(9);
    return f;
}

// The font of the questionnaire, on screen and on paper: Arial 7.5 points (its metric twin
// Liberation Sans where Arial is not installed).
QFont brelotFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(7.5);
    return f;
}

}  // namespace

frmImpSolBrelot::frmImpSolBrelot(Database& db, Messages& messages, const ApplicantData& applicant, QWidget* parent)
    : QDialog(parent), db_(db), messages_(messages), applicant_(applicant), ui_(new Ui::frmImpSolBrelot) {
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    ui_->RTUltima->setFont(brelotFont());
    ui_->RTUltima->document()->setDefaultFont(brelotFont());
    ui_->rtfText->document()->setDefaultFont(brelotFont());
    ui_->CONSIDERA->document()->setDefaultFont(considerationsFont());
    connect(ui_->Command1, &QPushButton::clicked, this, [this] { print(); });
    chooser_ = [this](QPrinter& printer) { return chooseWithDialog(printer); };
}

frmImpSolBrelot::~frmImpSolBrelot() = default;

QTextEdit* frmImpSolBrelot::RTUltima() const { return ui_->RTUltima; }
QTextEdit* frmImpSolBrelot::rtfText() const { return ui_->rtfText; }
QTextEdit* frmImpSolBrelot::CONSIDERA() const { return ui_->CONSIDERA; }
QPushButton* frmImpSolBrelot::Command1() const { return ui_->Command1; }
QPushButton* frmImpSolBrelot::Command2() const { return ui_->Command2; }

void frmImpSolBrelot::openModal(QWidget* parent, Database& db, Messages& messages, const ApplicantData& applicant,
                                DateClock today) {
    frmImpSolBrelot window(db, messages, applicant, parent);
    if (today) window.setClock(std::move(today));
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
    window.exec();
}

void frmImpSolBrelot::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!composed_) {
        composed_ = true;
        compose(true);
    }
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
    ui_->rtfText->setPlainText(text);
    // The heading's paragraphs are centred in the print copy (the selection ends on its last
    // character, so the paragraph after it is not taken in).
    QTextCursor cursor(ui_->rtfText->document());
    cursor.setPosition(0);
    cursor.setPosition(brelotHeadingLength() - 1, QTextCursor::KeepAnchor);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(centred);
    if (preview) ui_->RTUltima->setPlainText(text);
    return true;
}

bool frmImpSolBrelot::chooseWithDialog(QPrinter& printer) {
    // The whole questionnaire is the selection that is printed: no page range is offered.
    printer.setPrintRange(ui_->rtfText->toPlainText().isEmpty() ? QPrinter::AllPages : QPrinter::Selection);
    TextPrintDialog dialog(&printer, QStringLiteral("Cuestionario BRELOT ") + applicant_.rfc.trimmed(), this);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, !ui_->rtfText->toPlainText().isEmpty());
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
    if (haveConsiderations) ui_->CONSIDERA->setPlainText(text);
    if (considerationsPrinted) *considerationsPrinted = false;

    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error) *error = QStringLiteral("no se pudo usar la impresora %1").arg(printer.printerName());
        return false;
    }
    bool ok = printTextPages(*ui_->rtfText->document(), printer, painter, false);
    if (ok && haveConsiderations) {
        ok = printTextPages(*ui_->CONSIDERA->document(), printer, painter, true);
        if (ok && considerationsPrinted) *considerationsPrinted = true;
    }
    ok = painter.end() && ok && printer.printerState() != QPrinter::Error;
    if (!ok && error) *error = QStringLiteral("la impresora %1 informó un error").arg(printer.printerName());
    return ok;
}

}  // namespace kalto

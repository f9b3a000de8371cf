#pragma once
// The print window of the BRELOT questionnaire, shown maximized: a preview of the composed
// questionnaire; "&Imprimir" composes it again from the tables and prints it, with its
// heading centred, followed by the considerations text, as one print job on the printer
// chosen in the print dialog; "&Cerrar" closes the window.

#include "sectoral/BrelotQuestionnaire.h"

#include <QDialog>
#include <QFont>

#include <functional>

class QPainter;
class QPrinter;
class QPushButton;
class QTextDocument;
class QTextEdit;

namespace kalto {

class Database;
class Messages;

class frmImpSolBrelot : public QDialog {
    Q_OBJECT
public:
    frmImpSolBrelot(Database& db, Messages& messages, const ApplicantData& applicant, QWidget* parent = nullptr);

    // Opens the window modally (maximized) over `parent` and returns when it is closed.
    static void openModal(QWidget* parent, Database& db, Messages& messages, const ApplicantData& applicant,
                          DateClock today = {});

    // The date printed on the questionnaire (the computer's date unless set).
    void setClock(DateClock today) { today_ = std::move(today); }
    // Chooses the printer (the print dialog unless set); false when the user cancelled.
    using PrinterChooser = std::function<bool(QPrinter& printer)>;
    void setPrinterChooser(PrinterChooser chooser) { chooser_ = std::move(chooser); }

    // Composes the questionnaire from the tables into the print copy (heading centred) and,
    // with `preview`, into the preview. False, after a message, when the tables could not be read.
    bool compose(bool preview);
    // "&Imprimir": composes again, lets the user choose the printer and prints. Returns
    // whether anything was printed.
    bool print();
    // Prints the print copy and then the considerations text on `printer`, in one job.
    // False with the reason when the printer could not be used. `considerationsPrinted` tells
    // whether the considerations file could be read and went to the printer.
    bool printOn(QPrinter& printer, QString* error, bool* considerationsPrinted = nullptr);

    QTextEdit* RTUltima() const { return RTUltima_; }
    QTextEdit* rtfText() const { return rtfText_; }
    QTextEdit* CONSIDERA() const { return CONSIDERA_; }
    QPushButton* Command1() const { return Command1_; }
    QPushButton* Command2() const { return Command2_; }

    // The layout for the window's inner size.
    int twipsToPixelsX(int twips) const;
    int twipsToPixelsY(int twips) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void layoutControls();
    bool chooseWithDialog(QPrinter& printer);

    Database& db_;
    Messages& messages_;
    ApplicantData applicant_;
    DateClock today_;
    PrinterChooser chooser_;
    bool composed_ = false;

    QTextEdit* RTUltima_ = nullptr;   // the preview
    QTextEdit* rtfText_ = nullptr;    // the copy that is printed, heading centred (not shown)
    QTextEdit* CONSIDERA_ = nullptr;  // the considerations text (not shown)
    QPushButton* Command1_ = nullptr;  // "&Imprimir"
    QPushButton* Command2_ = nullptr;  // "&Cerrar"
};

// The font of the questionnaire, on screen and on paper: Arial 7.5 points (its metric twin
// Liberation Sans where Arial is not installed).
QFont brelotFont();

}  // namespace kalto

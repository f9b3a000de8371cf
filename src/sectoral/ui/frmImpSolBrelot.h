#pragma once
// The print window of the BRELOT questionnaire, shown maximized: a preview of the composed
// questionnaire; "&Imprimir" composes it again from the tables and prints it, with its
// heading centred, followed by the considerations text, as one print job on the printer
// chosen in the print dialog; "&Cerrar" closes the window.

#include "sectoral/BrelotQuestionnaire.h"

#include <QDialog>

#include <functional>
#include <memory>

class QPainter;
class QPrinter;
class QPushButton;
class QTextDocument;
class QTextEdit;

namespace Ui {
class frmImpSolBrelot;
}

namespace kalto {

class Database;
class Messages;

class frmImpSolBrelot : public QDialog {
    Q_OBJECT
public:
    frmImpSolBrelot(Database& db, Messages& messages, const ApplicantData& applicant, QWidget* parent = nullptr);
    ~frmImpSolBrelot() override;

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

    QTextEdit* RTUltima() const;
    QTextEdit* rtfText() const;
    QTextEdit* CONSIDERA() const;
    QPushButton* Command1() const;
    QPushButton* Command2() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool chooseWithDialog(QPrinter& printer);

    Database& db_;
    Messages& messages_;
    ApplicantData applicant_;
    DateClock today_;
    PrinterChooser chooser_;
    bool composed_ = false;
    // The controls, laid out in frmImpSolBrelot.ui: the preview RTUltima, the print copy
    // rtfText (heading centred) and the considerations CONSIDERA (neither shown), "&Imprimir"
    // (Command1) and "&Cerrar" (Command2).
    std::unique_ptr<Ui::frmImpSolBrelot> ui_;
};

}  // namespace kalto

#pragma once
// The print window of the application: shows the considerations for filling in the
// application on opening, previews the composed application and prints whichever of the
// two is loaded, through the print dialog (a PDF file can be chosen there as the printer).

#include "print/FormateaInf.h"

#include <QDate>
#include <QDialog>
#include <QFont>
#include <QString>

#include <functional>
#include <memory>

class QPrinter;

namespace Ui {
class frmImpSolKALTO;
}

namespace kalto {

class Messages;

// Gathers the request as it stands when a preview is asked for (the main window stores its
// pending rows first, then fills the snapshot). False, with a reason, when it cannot.
using ReportSource = std::function<bool(ReportSnapshot& snapshot, QString& error)>;

class frmImpSolKALTO : public QDialog {
    Q_OBJECT
public:
    frmImpSolKALTO(ReportSource source, const QString& considerationsPath, Messages& messages,
                   QWidget* parent = nullptr);
    ~frmImpSolKALTO() override;

    // The main window's entry point: opens the window modally and returns when it is closed.
    // `considerationsPath` is usually considerationsFile(data folder).
    static void openModal(QWidget* parent, ReportSource source, const QString& considerationsPath,
                          Messages& messages);

    // The date the application is signed on (the computer's date unless set).
    void setClock(std::function<QDate()> clock) { clock_ = std::move(clock); }
    // Chooses the printer, proposing `proposedName` for a PDF file (the print dialog unless
    // set); false when the user cancelled.
    using PrinterChooser = std::function<bool(QPrinter& printer, const QString& proposedName)>;
    void setPrinterChooser(PrinterChooser chooser) { chooser_ = std::move(chooser); }

    // "Vista &Previa": composes the application, fills the print buffer (header centred) and
    // shows a plain copy in the pane. On a failure shows "Solicitud incompleta " and leaves
    // both as they were; returns false.
    bool preview();
    // "&Imprimir": composes the request (when that fails, "Solicitud incompleta " and nothing
    // is printed), then the printer is chosen ("Solicitud KALTO <RFC>.pdf" proposed), then
    // printTo() on it: "Impresión realizada" when done, the failure when it could not print.
    // A cancelled dialog ends without a message.
    void print();
    // Prints the print buffer, or the pane when no preview has been made, on `printer`, page
    // after page, without page numbers. False when the printer could not be used.
    bool printTo(QPrinter& printer);

    // The pieces of the last preview.
    const ReportText& report() const { return report_; }

private:
    // Gathers and composes the request; on a failure shows "Solicitud incompleta ".
    bool compose(ReportText& composed, QString* rfc = nullptr);

    std::unique_ptr<Ui::frmImpSolKALTO> ui_;
    ReportSource source_;
    Messages& messages_;
    std::function<QDate()> clock_;
    PrinterChooser chooser_;
    ReportText report_;
};

// The fonts of the print buffer (Courier New 9 points, or its metric twin Liberation Mono
// where it is not installed) and of the pane (a fixed-pitch 9-point font).
QFont printBufferFont();
QFont paneFont();

}  // namespace kalto

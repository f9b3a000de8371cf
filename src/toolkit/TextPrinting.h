#pragma once
// Printing of plain-text documents: the one way the print windows put text on paper.

#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>

class QPainter;
class QTextDocument;

namespace kalto {

// Prints `document` on `printer` through `painter` (already begun on it), laid out again for
// the printer's page: lines longer than the page wrap, a line is never cut between two pages
// (nor written, clipped away, on both), and no page numbers are added. With `newPageFirst`
// the document starts on a page of its own, so that several documents make one print job.
// False when the printer refuses a new page.
bool printTextPages(const QTextDocument& document, QPrinter& printer, QPainter& painter, bool newPageFirst);

// One document as a whole print job: begins and ends the painter itself.
bool printText(const QTextDocument& document, QPrinter& printer);

// Where printing to a file proposes to write `proposedName`: "<proposedName>.pdf" in the
// user's documents folder (the home folder when there is none).
QString proposedPdfPath(const QString& proposedName);

// The print dialog of the print windows. The whole text is always printed: no page range
// (nor odd or even pages) is offered, whatever the platform's dialog would show. The printer
// is named `proposedName`, its paper is the locale's (Letter or A4), and printing to a file
// proposes proposedPdfPath(proposedName).
class TextPrintDialog : public QPrintDialog {
    Q_OBJECT
public:
    TextPrintDialog(QPrinter* printer, const QString& proposedName, QWidget* parent = nullptr);
    void setVisible(bool visible) override;
};

}  // namespace kalto

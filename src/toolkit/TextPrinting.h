#pragma once
// Printing of plain-text documents: the one way the print windows put text on paper.

class QPainter;
class QPrinter;
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

}  // namespace kalto

#include "toolkit/TextPrinting.h"

#include "core/PaperSize.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QLineEdit>
#include <QStandardPaths>
#include <QPainter>
#include <QTextDocument>
#include <QTextOption>
#include <QtPrintSupport/QPrinter>

#include <memory>

namespace kalto {

bool printTextPages(const QTextDocument& document, QPrinter& printer, QPainter& painter, bool newPageFirst) {
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->setDefaultFont(document.defaultFont());
    QTextOption option = copy->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    copy->setDefaultTextOption(option);
    copy->setDocumentMargin(0);
    copy->documentLayout()->setPaintDevice(&printer);
    const QSizeF page = printer.pageRect(QPrinter::DevicePixel).size();
    copy->setPageSize(page);
    const int pages = copy->pageCount();
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    for (int i = 0; i < pages; ++i) {
        if ((i > 0 || newPageFirst) && !printer.newPage()) return false;
        painter.save();
        const QRectF view(0, i * page.height(), page.width(), page.height());
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        // A line pushed to the next page starts exactly where this page ends: leave it out,
        // so that no text is written (even clipped away) on two pages.
        context.clip = view.adjusted(0, 0, 0, -0.5);
        copy->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    return true;
}

bool printText(const QTextDocument& document, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const bool printed = printTextPages(document, printer, painter, false);
    return painter.end() && printed && printer.printerState() != QPrinter::Error;
}

QString proposedPdfPath(const QString& proposedName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    QString name = proposedName.simplified();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

TextPrintDialog::TextPrintDialog(QPrinter* printer, const QString& proposedName, QWidget* parent)
    : QPrintDialog(printer, parent) {
    setWindowTitle(QStringLiteral("Imprimir"));
    setOption(PrintPageRange, false);
    setOption(PrintCurrentPage, false);
    setOption(PrintToFile, true);
    printer->setDocName(proposedName);
    printer->setPageSize(QPageSize(usesLetterPaper(QLocale()) ? QPageSize::Letter : QPageSize::A4));
    // The platform's dialog proposes a file in the current folder; it is set once, here.
    if (auto* file = findChild<QLineEdit*>(QStringLiteral("filename"))) file->setText(proposedPdfPath(proposedName));
}

void TextPrintDialog::setVisible(bool visible) {
    // Showing the dialog lays out its page-range group again: hide it afterwards.
    QPrintDialog::setVisible(visible);
    for (const char* name : {"gbPrintRange", "pageSetCombo", "pageSetLabel"})
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(name))) w->setVisible(false);
}

}  // namespace kalto

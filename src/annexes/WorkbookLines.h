#pragma once
// The lines of an import read from a workbook (.xlsx, Office Open XML, or .ods, OpenDocument)
// instead of a text file: the first sheet's rows are the lines, its cells the fields, written
// as a spreadsheet writes them to comma-separated text, so that the same checks, error file
// and summary follow.
//
// Row n of the sheet is line n (an empty row in between is an empty line; the empty rows after
// the last that holds something are no lines). A row's cells, from the first column to its
// last that holds something, are joined by commas; an empty cell in between is an empty
// field, a cell holding a comma, a double quote or a line break is written between double
// quotes with its quotes doubled. Texts are as typed; numbers as the text file holds them
// (12.5, 10000, 0.3: at most 15 significant digits, no exponent, no ".0" for an integer; an
// integer whose format pads it with zeros, as 00000000, keeps its zeros); dates, times and
// true or false as the sheet shows them (a .xlsx by the cell's format, dd/mm/yyyy where it has
// none that says; true and false as VERDADERO and FALSO unless the format names them).
//
// The workbook is read as it goes: only the shared texts of a .xlsx are held whole. A damaged
// or encrypted workbook, or a file that is no workbook, fails the first pass with a Spanish
// message naming it; so does a part of more than kMaxPartBytes once uncompressed, or a sheet
// of more than kMaxRows rows.

#include "annexes/ImportText.h"

#include <QString>

#include <memory>

class QIODevice;

namespace kalto {

class WorkbookLines : public LineSource {
public:
    static constexpr qint64 kMaxPartBytes = 1000000000;  // uncompressed bytes read of one part
    static constexpr qint64 kMaxRows = 1048576;          // rows of a sheet

    // Reads the workbook `device` holds (open, seekable, at its start); `name` is how messages
    // name the file.
    WorkbookLines(QIODevice& device, const QString& name);
    ~WorkbookLines() override;

    Step scan(const ScanTick& tick = {}) override;
    qint64 lineCount() const override;
    Step next(QString* line, const Tick& tick = {}) override;
    QString error() const override;

    // Whether a file of this name is read as a workbook (.xlsx or .ods, letter case ignored).
    static bool isWorkbook(const QString& path);

private:
    struct Reader;
    std::unique_ptr<Reader> d_;
};

// A number as the text file holds it (see above).
QString cellNumber(double value);

}  // namespace kalto

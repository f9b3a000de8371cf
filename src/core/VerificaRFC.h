#pragma once
// The RFC check shared by the request header and the company grids.
//
// A company RFC has 12 characters (3 letters or "&", a date YYMMDD, 3 check characters)
// and is held with one leading blank, so that the date always stands in positions 5 to 10
// (1-based); a 13-character RFC has the same positions without the blank.

#include <QString>

namespace kalto {

class GridRow;
class Messages;

// The kind of RFC admitted: the applicant and the controlled, service and outsourcing
// companies hold a 12-character company RFC (with its leading blank, 13 in all) or a
// 13-character one; submanufacturing companies either length.
enum RfcKind { RfcHeld13 = 1, Rfc12Or13 = 2 };

// Checks `value` in place: an empty value passes silently; a 12-character value gets its
// leading blank; then the length for `kind`, the month and the day of the embedded date.
// On a rejection the message is shown (exclamation, "KALTO") and `value` is emptied.
// Returns whether the value was accepted.
bool VerificaRFC(QString& value, int kind, Messages& messages);

// The same on a cell of the row being edited; the cell receives the checked value.
bool VerificaRFC(GridRow& row, int column, int kind, Messages& messages);

}  // namespace kalto

#pragma once
// The related-company grids over impects: controlled companies ("C"), outsourcing ("T"),
// submanufacturing ("M") and the companies served under a services programme ("S").
// Each grid writes its kind code into a new row and checks every accepted cell; a failed
// check shows its message and leaves 0 in the cell, and never blocks storing the row.

#include "core/GridRule.h"

#include <QString>

namespace kalto {

class Messages;

// Checks shared by the company grids, on the cell `column` of the row being edited. Each
// returns whether the value passed; on a failure the message has been shown and the cell
// holds 0 (the text "0" in a text column, the number 0 in a numeric one).
namespace companycheck {
// More than 254 characters: `message` (without " Rectifica por favor").
bool name(GridRow& row, int column, const QString& message, Messages& messages);
// Trimmed length outside [minLength, maxLength]: `message`; otherwise VerificaRFC of `rfcKind`.
bool rfc(GridRow& row, int column, int minLength, int maxLength, int rfcKind, const QString& message,
         Messages& messages);
// Numeric, at most 9 characters ("999999.99").
bool exportAmount(GridRow& row, int column, Messages& messages);
// Numeric, at most 4 characters, greater than 0.
bool programNumber(GridRow& row, int column, Messages& messages);
// Numeric, at most 4 characters, 2006 or later.
bool programYear(GridRow& row, int column, Messages& messages);
// Numeric, not above 100.
bool percentage(GridRow& row, int column, Messages& messages);
}  // namespace companycheck

// What tells one company grid from another.
struct CompanyGrid {
    QString kindCode;       // IDMCTS
    QList<GridColumn> columns;
    int kindColumn = -1;    // where the kind code goes
    QString nameMessage;    // company name over 254 characters
    QString rfcMessage;     // RFC of the wrong length
    int rfcMinLength = 12;
    int rfcMaxLength = 12;
    int rfcKind = 1;        // VerificaRFC kind
    int amountColumn = -1;
    int numberColumn = -1;
    int yearColumn = -1;
    QList<int> percentColumns;
    QString tooltip;        // what one row is, for the required-value messages

    QString recordSource() const;  // "Select * from impects Where idmcts = '<code>'"

    static CompanyGrid controlled();        // dbControl
    static CompanyGrid outsourcing();       // dbTerciarizacion
    static CompanyGrid submanufacturing();  // dbSubmanufactura
    static CompanyGrid serviceCompanies();  // dbEServicios
};

class CompanyRule : public GridRule {
public:
    enum Column { RazonSocial = 0, Rfc = 1 };

    CompanyRule(Messages& messages, CompanyGrid grid);

    const CompanyGrid& grid() const { return grid_; }

    void newRow(GridRow& row) override;
    void cellAccepted(GridRow& row, int column) override;

private:
    Messages& messages_;
    CompanyGrid grid_;
};

}  // namespace kalto

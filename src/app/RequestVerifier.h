#pragma once
// "Verificar solicitud": every completeness check of the disk generation and every cell check
// of the grids, run over the stored request at once, each failure kept as a finding instead
// of being shown. Nothing is written: the cell checks run on a copy of each stored row.

#include <QList>
#include <QString>

namespace kalto {

class RequestRules;

struct RequestFinding {
    int page = -1;       // the tab page where the item is entered (-1: the header)
    QString object;      // the grid's object name ("dbPlanta"), or the header field's ("txtRFC")
    int row = -1;        // the grid row (-1: the grid as a whole or a header field)
    int column = -1;     // the grid column (-1: the row or grid as a whole)
    QString message;     // the same text the check shows elsewhere
    int parentRow = -1;  // an input (dbAnx_0): the row of its export product in dbAnxMPE

    bool operator==(const RequestFinding&) const = default;
};

class RequestVerifier {
public:
    explicit RequestVerifier(RequestRules& rules) : rules_(rules) {}

    // The findings in the order of the disk generation's checks, then the cell checks by
    // page, grid, row and column. Empty when the request is complete. The inputs of every
    // export product are checked (not only those the inputs grid shows), by export product
    // and then in the order the inputs grid shows them; their `row` is the row under their
    // export product.
    QList<RequestFinding> verify();

    // The RFCs whose check digit does not match the other characters: the applicant's (header
    // txtRFC) and those of the controlled, outsourcing, service and submanufacturing companies,
    // by page and row. Warnings only: the disk is written with them, so they are kept apart from
    // what verify() finds. Generic RFCs and those of a length the RFC check refuses are not
    // listed here.
    QList<RequestFinding> rfcWarnings();

    static const QString kMsgCompleta;
    static const QString kMsgDigitoRfc;     // %1 the RFC, %2 the check digit it should end with
    static const QString kMsgDigitoRfcSin;  // %1 an RFC holding a character no check digit is computed from

private:
    RequestRules& rules_;
};

}  // namespace kalto

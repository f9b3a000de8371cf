#pragma once
// The printed application: one plain text laid out for a fixed-pitch font with blanks and
// line feeds (LF only; the fiscal-address block alone ends with the character 11), without
// page breaks.

#include "print/ReportSnapshot.h"

#include <QDate>
#include <QString>

namespace kalto {

// The pieces of the composed application that the print window reads after a call.
struct ReportText {
    QString header;          // title lines; the print window centres exactly this many leading characters
    QString addresses;       // fiscal address and plants
    QString groupCompanies;  // controlled companies
    QString products;        // products under the programme
    QString annexes;         // the annexes
    QString closing;         // statement, legal representative, place, date and signature
    QString full;            // the assembled form
};

// Composes the application from `snapshot`, dated `today`. Returns false, with the reason in
// *error and `full` left empty, when an annex row has a kind the report has no group for (a
// kind other than 1 to 4); the pieces composed before that point stay in *out.
bool FormateaInf(const ReportSnapshot& snapshot, const QDate& today, ReportText* out, QString* error = nullptr);

// Spanish month names as Spanish writes them (lower case), 1 = "enero"; whatever the locale.
QString spanishMonthName(int month);

// Titles of the annex groups by kind code (1 "Materias Primas" ... 4 "Retrabajo"); empty
// for any other code.
QString annexGroupTitle(int kind);

}  // namespace kalto

#pragma once
// The text of the BRELOT questionnaire: one plain string with LF line breaks, fixed labels
// padded with blanks for a fixed-pitch font, no page breaks. Composed from plain values, so
// that it is the same whoever calls it and can be compared byte for byte.

#include "sectoral/BrelotData.h"

#include <QDate>
#include <QString>

#include <functional>

namespace kalto {

class Database;

struct BrelotQuestionnaireInput {
    ApplicantData applicant;
    QList<BrelotSector> sectors;  // in the order of the sector query
    QList<BrelotGood> goods;      // in the order of the goods query
};

// Today's date, as the caller's clock tells it.
using DateClock = std::function<QDate()>;

// The whole questionnaire: the heading, the application data, the plants, the sectors with
// their goods, the declaration, the legal representative, and place, date and signature.
QString composeBrelotQuestionnaire(const BrelotQuestionnaireInput& input, const DateClock& today);

// The number of characters of the heading at the start of the text (centred when printed).
int brelotHeadingLength();

// A date as the questionnaire prints it: two-digit day, the month's abbreviated Spanish
// name, four-digit year, separated by "/" ("05/ene/2024").
QString brelotDate(const QDate& date);

// The sectors and goods of the sectoral tables added to `applicant`: the input of the
// questionnaire as the tables hold it now. False, with the engine's message, when a query failed.
bool readBrelotQuestionnaireInput(Database& db, const ApplicantData& applicant, BrelotQuestionnaireInput* input,
                                  QString* error = nullptr);

}  // namespace kalto

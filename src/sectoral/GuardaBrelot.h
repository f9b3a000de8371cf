#pragma once
// The BRELOT delivery: after the user agrees, rewrites the output tables datoprov (one row
// describing the applicant) and catdirpl (one row per plant) from the application, then
// copies datoprov, catdirpl, Sector, mercbi, activida and prodabas to drive A:.
//
// Nothing claims success that did not happen: a table that could not be written stops the
// generation before anything is copied, with datoprov and catdirpl as they were before, and a file that could not be copied is named with
// its reason instead of the closing "Puede retirar el disco de la unidad A:".

#include "sectoral/BrelotData.h"

#include <QStringList>

namespace kalto {

class Database;
class Drives;
class Messages;

// The short wait window shown while the files are written; the window layer provides it.
class WaitIndicator {
public:
    virtual ~WaitIndicator() = default;
    virtual void show() = 0;
    virtual void close() = 0;
};

enum class BrelotOutcome {
    Declined,      // the user answered No: nothing was changed
    TablesFailed,  // datoprov or catdirpl could not be written (both keep the rows they held
                   // before), or the tables could not be readied for the copy: nothing was
                   // copied, the reason was shown
    CopyFailed,    // some file could not be written to drive A:, named in the message shown
    Written        // the six files are on drive A:, the closing message was shown
};

// The six files of the delivery, in the order they are copied, as they are named on the disk.
const QStringList& brelotDiskFiles();

// The row of datoprov by field position (30 values), and the rows of catdirpl (8 values each).
QVariantList datoprovRow(const ApplicantData& applicant);
QList<QVariantList> catdirplRows(const ApplicantData& applicant);

// The postal code of datoprov: the number its leading digits make (leading blanks skipped);
// a text that does not begin with a digit gives 0, an empty one null.
QVariant postalCodeNumber(const QVariant& cp);

// Runs the whole generation. The six tables are packed before they are copied: data sources
// open on them store their grids' changed rows first (a row that cannot be stored stops the
// generation before anything is copied) and are opened again afterwards.
BrelotOutcome GuardaBrelot(Database& db, Messages& messages, const Drives& drives, const ApplicantData& applicant,
                           WaitIndicator* wait = nullptr);

}  // namespace kalto

#pragma once
// The checks of the import lines, apart from the tables: what one line of anexo.csv or
// prod.csv asks to store, or why it is refused. The imports (Import.h) store what these give;
// nothing here reads or writes a table.

#include <QHash>
#include <QString>
#include <QVariant>

namespace kalto {

// What became of one line: stored, refused, or skipped as a line of blanks only.
enum class LineOutcome { Loaded, Refused, Blank };

// Why a line was refused: the value that failed (the letter, for an unknown letter) and the
// message, which begins with a blank.
struct Refusal {
    QString value;
    QString message;
};

// The row an annex line asks for in imanexos (without its identifiers).
struct AnnexRow {
    int kind = 1;              // TIPO_REG: 1 export product or input, 2 container, 3 tool
    bool input = false;        // an input: ID_SUBORD is its export product's identifier
    QString descrip;           // containers and tools
    QString fraccion;          // export products and inputs
    QString value;             // what the error file names if storing the row fails
    bool exportProduct() const { return kind == 1 && !input; }
};

// The annex lines in their order, with the state carried from one to the next: whether an
// export product is open and whether it failed.
class AnnexLineChecks {
public:
    // Loaded: *row is what the line stores; Refused: *refusal says why; Blank: nothing, and the
    // state is unchanged.
    LineOutcome check(const QString& text, AnnexRow* row, Refusal* refusal);
    // The row of the export product last checked could not be stored: its inputs are refused.
    void parentNotStored() { parentFailed_ = true; }
    void reset() { parentOpen_ = parentFailed_ = false; }

private:
    bool parentOpen_ = false;
    bool parentFailed_ = false;
};

// The row a product line asks for in improd (its export-product row in imanexos takes the
// same identifier and tariff item).
struct ProductRow {
    QString fraccion;
    QVariant volumen;  // qint64 or double
    QVariant porcut;   // qint64 or double
    qint64 umid = 0;
    QString um;        // the unit's name in imunidmd
};

// Checks one product line against the units of measure (code -> name).
LineOutcome checkProductLine(const QString& text, const QHash<qint64, QString>& units, ProductRow* row,
                                     Refusal* refusal);

}  // namespace kalto

#pragma once
// Shared operations of the editable grids: the column-length warning, the letter-case
// normaliser and the text of a cell. Numbers in cells are read by core/Numbers.h.

#include "core/GridRule.h"
#include "core/Numbers.h"

#include <QString>
#include <QVariant>

#include <span>

namespace kalto {

class Messages;

// The ending of every message that asks the user for a correction.
inline const QString kRectifica = QStringLiteral(" Rectifica por favor");

// Column-length warning: when the text of `column` in `row` is longer than `maxLength`,
// shows `mensaje` + " Rectifica por favor" (exclamation). The value is left as typed.
// Returns whether the message was shown.
bool MensajeLongGrid(const GridRow& row, int column, int maxLength, const QString& mensaje, Messages& messages);

// A typed text column with its length limit and the message shown when a value is longer.
struct LimitedColumn {
    const char* caption;
    const char* field;
    int width;
    int maxLength;
    const char* message;  // without the ending " Rectifica por favor"
};

// The leading columns of a grid, each with its limit, by grid column index.
class LimitedColumns {
public:
    constexpr explicit LimitedColumns(std::span<const LimitedColumn> columns) : columns_(columns) {}
    QList<GridColumn> gridColumns() const;
    int maxLength(int column) const;     // -1 past the table
    QString message(int column) const;   // empty past the table
    bool contains(int column) const { return column >= 0 && column < int(columns_.size()); }
    // MensajeLongGrid for `column` when it is one of the table's.
    void warn(const GridRow& row, int column, Messages& messages) const;

private:
    std::span<const LimitedColumn> columns_;
};

// Letter case: mode 1 turns `text` into upper case, any other mode into lower case.
void FomateaLetra(QString& text, int mode);
// The same on a cell of the row being edited (text cells only; numbers and nulls stay).
void FomateaLetra(GridRow& row, int column, int mode);

// The text of a cell as the user sees it: a number in plain decimal (never with an
// exponent), a null as the empty text.
QString cellText(const QVariant& value);

}  // namespace kalto

#pragma once
// The legal representative grid (imrlegal): one row, upper-case names, lower-case e-mail,
// and a length warning per column.

#include "core/GridRule.h"

#include <functional>

namespace kalto {

class Messages;

class LegalRepresentativeRule : public GridRule {
public:
    enum Column { Nombre, ApellidoPaterno, ApellidoMaterno, Telefono, Cargo, Email };

    static inline const QString kRecordSource = QStringLiteral("imrlegal");

    static QList<GridColumn> columns();
    static int maxLength(int column);
    static QString lengthMessage(int column);  // without its " Rectifica por favor"

    // `storedRows`: the number of rows the grid's record set holds (imrlegal takes one).
    LegalRepresentativeRule(Messages& messages, std::function<int()> storedRows);

    void textChanged(GridRow& row, int column, QString& text) override;
    void cellAccepted(GridRow& row, int column) override;
    bool beforeInsert(GridRow& row) override;

private:
    Messages& messages_;
    std::function<int()> storedRows_;
};

}  // namespace kalto

#pragma once
// The address grids: the applicant's fiscal address and plants, and the fiscal and plant
// addresses of a related company. All show the columns of imdir in the same order, with
// the same length limits; the kind code (IDDIR) tells the grids apart.

#include "core/GridRule.h"

#include <QString>

#include <functional>

namespace kalto {

class Messages;

class AddressRule : public GridRule {
public:
    enum Column { Calle, CP, Ciudad, Colonia, Telefono, Estado, DelMun, Fax, Email, IdDir, Rfc };

    // Kind codes of imdir.
    static inline const QString kFiscal = QStringLiteral("FL");
    static inline const QString kPlanta = QStringLiteral("PL");

    // Record sources of the applicant's grids (dtsDireccion, dtsPlanta).
    static QString recordSource(const QString& kindCode);

    // The applicant's grids: columns 0 to 9 (the RFC column of imdir is not shown).
    static QList<GridColumn> columns();
    static int maxLength(int column);           // -1 for the columns without a limit
    static QString lengthMessage(int column);   // without its " Rectifica por favor"
    static int letterCase(int column);          // 1 upper, 0 lower, -1 as typed

    // `kindCode` goes into IDDIR of every new row. With `storedRows` (the number of rows
    // the grid's record set holds), the grid takes one row only: the fiscal address.
    AddressRule(Messages& messages, QString kindCode, std::function<int()> storedRows = {});

    void newRow(GridRow& row) override;
    void textChanged(GridRow& row, int column, QString& text) override;
    void cellAccepted(GridRow& row, int column) override;
    bool beforeInsert(GridRow& row) override;

protected:
    Messages& messages_;

private:
    QString kindCode_;
    std::function<int()> storedRows_;
};

// The addresses of a related company (controlled, outsourcing or submanufacturing): the
// company's RFC goes into column 10 of every new row, and the postal code must be a
// number of at most 5 characters (a rejected one is emptied).
class CompanyAddressRule : public AddressRule {
public:
    // Columns 0 to 9 as the applicant's, plus column 10 (no caption, hidden) bound to RFC.
    static QList<GridColumn> columns();

    CompanyAddressRule(Messages& messages, QString kindCode, QString rfc, std::function<int()> storedRows = {});

    void newRow(GridRow& row) override;
    void cellAccepted(GridRow& row, int column) override;

private:
    QString rfc_;
};

}  // namespace kalto

#include "sectoral/ui/BrelotApplicant.h"

#include "toolkit/BoundGrid.h"

#include <QComboBox>

namespace kalto {

namespace {

// The bound column names of `grid` and the values of `row` (empty when out of range).
void rowOf(const BoundGrid& grid, int row, QStringList* columns, QVariantList* values) {
    const bool present = row >= 0 && row < grid.rowCount();
    for (int c = 0; c < grid.columnCount(); ++c) {
        *columns << grid.columnField(c);
        *values << (present ? grid.cellValue(row, c) : QVariant());
    }
}

}  // namespace

AddressValues addressFromGrid(const BoundGrid& grid, int row) {
    QStringList columns;
    QVariantList values;
    rowOf(grid, row, &columns, &values);
    return addressFromRow(columns, values);
}

RepresentativeValues representativeFromGrid(const BoundGrid& grid, int row) {
    QStringList columns;
    QVariantList values;
    rowOf(grid, row, &columns, &values);
    return representativeFromRow(columns, values);
}

int shownRow(const BoundGrid& grid) {
    const int rows = grid.rowCount();
    if (rows <= 0) return -1;
    const int current = grid.currentRow();
    return current >= 0 && current < rows ? current : 0;
}

ApplicantData applicantFromWindow(const QString& rfc, const QString& razonSocial, const QComboBox& sector,
                                  const BoundGrid& domicilioFiscal, const BoundGrid& representante,
                                  const BoundGrid& plantas) {
    ApplicantData a;
    a.rfc = rfc;
    a.razonSocial = razonSocial;
    const int selected = sector.currentIndex();
    if (selected >= 0) {
        const QVariant code = sector.itemData(selected);
        if (code.isValid() && !code.isNull()) a.sectorCodigo = code;
        a.sectorTexto = sector.itemText(selected);
    }
    a.domicilioFiscal = addressFromGrid(domicilioFiscal, shownRow(domicilioFiscal));
    a.representante = representativeFromGrid(representante, shownRow(representante));
    for (int r = 0; r < plantas.rowCount(); ++r) a.plantas.append(addressFromGrid(plantas, r));
    return a;
}

}  // namespace kalto

#pragma once
// The applicant as a window shows it, for the sectoral window: the header texts, the entry
// selected in the sector list, the current row of the fiscal-address and representative
// grids (each holds one row) and every stored row of the plant grid, in grid order.

#include "sectoral/BrelotData.h"

class QComboBox;

namespace kalto {

class BoundGrid;

// A grid's cells by their bound columns: an address or a representative row. `row` out of
// range (the add-new row, an empty grid) gives every value null.
AddressValues addressFromGrid(const BoundGrid& grid, int row);
RepresentativeValues representativeFromGrid(const BoundGrid& grid, int row);

// The row a one-row grid stands for: its current row when that is a stored row, otherwise
// its first row; -1 when it has none.
int shownRow(const BoundGrid& grid);

// `sector` without a selected entry gives a null sector code and an empty text. Rows the
// grids still hold in edit are read as shown; callers store them first.
ApplicantData applicantFromWindow(const QString& rfc, const QString& razonSocial, const QComboBox& sector,
                                  const BoundGrid& domicilioFiscal, const BoundGrid& representante,
                                  const BoundGrid& plantas);

}  // namespace kalto

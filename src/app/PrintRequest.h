#pragma once
// What the printed application is composed from when the user previews it: the header as the
// main window shows it and the rows of the window's data sources, read again first so that
// the text reflects what the grids and the statements behind them last wrote.

#include <QString>
#include <QVariant>

namespace kalto {

class MainDataSources;
class RequestState;
struct ReportSnapshot;

// The texts the three header lists show.
struct HeaderListTexts {
    QString procedure;  // cmbTramite
    QString modality;   // cmbModalidad
    QString sector;     // cmbSector
};

// Refreshes the sources the report reads, then fills `snapshot`: the header from `state` and
// `lists`, the rows of dtsDireccion, dtsPlanta, dtsControl, dtsTerciarizacion, dtsServicio,
// dtsEServicios, dtsSubmanufactura and dtsProducto in their order, every row of imanexos in
// stored order, and `representative` (the row of the legal representative's grid the user is
// on, by column; empty when there is none). False, with the reason in *error, when a source
// could not be read.
bool fillReportSnapshot(MainDataSources& sources, const RequestState& state, const HeaderListTexts& lists,
                        const QVariantList& representative, ReportSnapshot& snapshot, QString* error = nullptr);

}  // namespace kalto

#include "app/PrintRequest.h"

#include "app/MainDataSources.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "print/ReportSnapshot.h"

namespace kalto {

bool fillReportSnapshot(MainDataSources& f, const RequestState& state, const HeaderListTexts& lists,
                        const QVariantList& representative, ReportSnapshot& s, QString* error) {
    QString err;
    // The tagged sources hold the request tables; the services and the companies served are
    // read too, although they carry no tag.
    bool ok = f.refreshTagged(&err);
    for (DataSource* d : {f.dtsServicio(), f.dtsEServicios()}) {
        QString why;
        if (!d->refresh(&why)) {
            ok = false;
            err += (err.isEmpty() ? QString() : QStringLiteral("\n")) + why;
        }
    }
    if (!ok) {
        if (error) *error = err;
        return false;
    }

    setReportHeader(s, state, lists.procedure, lists.modality, lists.sector);
    s.fiscalAddresses = rowsOf(f.dtsDireccion()->recordSet());
    s.plants = rowsOf(f.dtsPlanta()->recordSet());
    s.controlledCompanies = rowsOf(f.dtsControl()->recordSet());
    s.outsourcingCompanies = rowsOf(f.dtsTerciarizacion()->recordSet());
    s.services = rowsOf(f.dtsServicio()->recordSet());
    s.serviceCompanies = rowsOf(f.dtsEServicios()->recordSet());
    s.submanufacturingCompanies = rowsOf(f.dtsSubmanufactura()->recordSet());
    s.products = rowsOf(f.dtsProducto()->recordSet());
    s.legalRepresentative = representative;

    // The annexes: the whole table, which the report filters and sorts itself.
    RecordSet annexes(f.dtsDatosInt()->database(), QString::fromLatin1(reportsources::kAnnexes));
    if (!annexes.open(error)) return false;
    s.annexes = rowsOf(annexes);
    return true;
}

}  // namespace kalto

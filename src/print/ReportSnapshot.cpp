#include "print/ReportSnapshot.h"

#include "core/RequestState.h"
#include "data/Database.h"
#include "data/RecordSet.h"

namespace kalto {

namespace {

bool readRows(Database& db, const char* source, QList<QVariantList>& rows, QString* error) {
    RecordSet rs(&db, QString::fromLatin1(source));
    QString err;
    if (!rs.open(&err)) {
        if (error) *error = err;
        return false;
    }
    rows = rowsOf(rs);
    return true;
}

}  // namespace

QList<QVariantList> rowsOf(const RecordSet& recordSet) {
    QList<QVariantList> rows;
    rows.reserve(recordSet.count());
    for (int i = 0; i < recordSet.count(); ++i) rows << recordSet.rowValues(i);
    return rows;
}

bool loadReportRows(Database& db, ReportSnapshot& s, QString* error) {
    using namespace reportsources;
    QList<QVariantList> representative;
    const bool ok = readRows(db, kFiscalAddress, s.fiscalAddresses, error) &&
                    readRows(db, kPlants, s.plants, error) &&
                    readRows(db, kControlled, s.controlledCompanies, error) &&
                    readRows(db, kOutsourcing, s.outsourcingCompanies, error) &&
                    readRows(db, kServices, s.services, error) &&
                    readRows(db, kServiceCompanies, s.serviceCompanies, error) &&
                    readRows(db, kSubmanufacturing, s.submanufacturingCompanies, error) &&
                    readRows(db, kProducts, s.products, error) &&
                    readRows(db, kAnnexes, s.annexes, error) &&
                    readRows(db, kLegalRepresentative, representative, error);
    if (ok) s.legalRepresentative = representative.value(0);
    return ok;
}

void setReportHeader(ReportSnapshot& s, const RequestState& state, const QString& procedureText,
                     const QString& modalityText, const QString& sectorText) {
    s.procedure = state.tramite;
    s.procedureText = procedureText;
    s.modality = state.modalidad;
    s.modalityText = modalityText;
    s.sectorText = sectorText;
    s.rfc = state.rfc;
    s.companyName = state.razonSocial;
    s.registrationNumber = state.numKALTO;
    s.registrationYear = state.anioKALTO;
    s.prevention = state.desahogo;
    s.folioNumber = state.numFolio;
    s.folioYear = state.anioFolio;
}

}  // namespace kalto

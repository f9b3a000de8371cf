#include "print/ReportSnapshot.h"

#include "core/GridHelpers.h"
#include "core/RequestState.h"
#include "data/Database.h"
#include "data/RecordSet.h"
#include "data/Values.h"

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

const char* const kProcedures[] = {"Programa Nuevo", "Ampliación"};
const char* const kModalities[] = {"Industrial", "Servicios", "Terciarización", "Controladora", "Albergue"};

}  // namespace

QList<QVariantList> rowsOf(const RecordSet& recordSet) {
    QList<QVariantList> rows;
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

bool loadReportHeader(Database& db, ReportSnapshot& s, QString* error) {
    RecordSet dint(&db, QStringLiteral("imdint"));
    if (!dint.open(error)) return false;
    dint.moveFirst();
    auto value = [&dint](const char* column) { return dint.value(QString::fromLatin1(column)); };
    auto textOf = [&value](const char* column) {
        const QVariant v = value(column);
        return isNullValue(v) ? QString() : cellText(v);
    };

    const QVariant idtra = value("IDTRA");
    const int code = isNullValue(idtra) ? 0 : static_cast<int>(leadingNumber(idtra));
    s.procedure = (code == 0 || code == 4 || code == 5) ? 0 : 1;
    s.procedureText = QString::fromUtf8(kProcedures[s.procedure]);

    const QVariant idmoda = value("IDMODA");
    const double moda = isNullValue(idmoda) ? 0 : leadingNumber(idmoda);
    s.modality = 4;
    for (int i = 0; i < 5; ++i)
        if (moda == i) s.modality = i;
    s.modalityText = QString::fromUtf8(kModalities[s.modality]);

    s.sectorText.clear();
    const QVariant sector = value("IDSECTORM");
    if (!isNullValue(sector)) {
        RecordSet sectors(&db, QStringLiteral("imsector"));
        if (!sectors.open(error)) return false;
        const auto wanted = numericValue(sector);
        for (int i = 0; i < sectors.count(); ++i) {
            const auto code = numericValue(sectors.valueAt(i, 0));
            if (wanted && code && *code == *wanted) {
                s.sectorText = cellText(sectors.valueAt(i, 1));
                break;
            }
        }
    }

    s.rfc = textOf("RFC");
    s.companyName = textOf("APEPATRAZ");
    s.registrationNumber = textOf("NUMEKALTO");
    s.registrationYear = textOf("ANIOKALTO");
    s.prevention = value("DPREV").toBool();
    s.folioNumber = textOf("NUMEFOLA");
    s.folioYear = textOf("ANIOFOLA");
    return true;
}

bool loadReportSnapshot(Database& db, ReportSnapshot& snapshot, QString* error) {
    return loadReportHeader(db, snapshot, error) && loadReportRows(db, snapshot, error);
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

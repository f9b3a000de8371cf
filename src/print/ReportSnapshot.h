#pragma once
// What the printed application is made of: the request header as the main window shows it
// and the rows of the record sets the report reads, copied into plain values so that the
// report can be composed (and tested) without any window.

#include <QList>
#include <QString>
#include <QVariant>

namespace kalto {

class Database;
class RecordSet;
class RequestState;

struct ReportSnapshot {
    // Header. `procedure` is the cmbTramite index (0 "Programa Nuevo", 1 "Ampliación",
    // -1 none chosen), `modality` the cmbModalidad index (0 "Industrial" ... 4 "Albergue",
    // -1 none); the texts are the lists' texts as shown.
    int procedure = -1;
    QString procedureText;
    int modality = -1;
    QString modalityText;
    QString sectorText;        // cmbSector
    QString rfc;               // txtRFC, as shown (a 12-character RFC keeps its leading blank)
    QString companyName;       // txtRSocial
    QString registrationNumber;  // txtNumKALTO
    QString registrationYear;    // txtAnioKALTO
    bool prevention = false;     // chkDesahogo
    QString folioNumber;         // txtNDSol
    QString folioYear;           // txtADSol

    // Rows, each a list of values by column position of its record set (imdir, impects,
    // imserv, improd, imanexos and imrlegal in table order); a null value prints nothing.
    QList<QVariantList> fiscalAddresses;      // dtsDireccion: imdir rows "FL" (the first is printed)
    QList<QVariantList> plants;               // dtsPlanta: imdir rows "PL"
    QList<QVariantList> controlledCompanies;  // dtsControl: impects rows 'C'
    QList<QVariantList> outsourcingCompanies; // dtsTerciarizacion: impects rows 'T'
    QList<QVariantList> services;             // dtsServicio: imserv
    QList<QVariantList> serviceCompanies;     // dtsEServicios: impects rows 'S'
    QList<QVariantList> submanufacturingCompanies;  // dtsSubmanufactura: impects rows 'M'
    QList<QVariantList> products;             // dtsProducto: improd
    QList<QVariantList> annexes;              // every row of imanexos, in stored order
    QVariantList legalRepresentative;         // the current row of dbRepLegal (empty: none)
};

// The record sources the rows above are read with (those of the main window's data sources;
// the annexes are the whole table, in stored order, which the report filters and sorts itself).
namespace reportsources {
inline const char* const kFiscalAddress = "Select * from imdir where iddir = 'FL'";
inline const char* const kPlants = "Select * from imdir where iddir = 'PL'";
inline const char* const kControlled = "Select * from impects Where idmcts = 'C'";
inline const char* const kOutsourcing = "Select * from impects Where idmcts = 'T'";
inline const char* const kServices = "imserv";
inline const char* const kServiceCompanies = "Select * from impects Where idmcts = 'S'";
inline const char* const kSubmanufacturing = "Select * from impects Where idmcts = 'M'";
inline const char* const kProducts = "improd";
inline const char* const kAnnexes = "imanexos";
inline const char* const kLegalRepresentative = "imrlegal";
}  // namespace reportsources

// Every row of an open record set, in its order.
QList<QVariantList> rowsOf(const RecordSet& recordSet);

// Fills the rows of `snapshot` from the tables of `db` with the record sources above (the
// legal representative is the first row of imrlegal). The header is left as it is. On a
// failure returns false with the engine's message in *error; rows read so far stay.
bool loadReportRows(Database& db, ReportSnapshot& snapshot, QString* error = nullptr);

// Fills the header from what the main window holds: its state object and the texts its
// three lists show.
void setReportHeader(ReportSnapshot& snapshot, const RequestState& state, const QString& procedureText,
                     const QString& modalityText, const QString& sectorText);

}  // namespace kalto

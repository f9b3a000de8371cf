#pragma once
// What the sectoral programme reads from the application: the header values, the fiscal
// address, the legal representative and the plants as the main window holds them (plain
// values, passed in by the caller), and the sectors and goods of the sectoral tables.
// A null value is an empty cell.

#include <QList>
#include <QString>
#include <QVariant>

namespace kalto {

class Database;

// One address row (imdir), by its columns.
struct AddressValues {
    QVariant calleYNo;  // "Calle y No."
    QVariant cp;        // "C.P."
    QVariant ciudad;    // "Ciudad"
    QVariant colonia;   // "Colonia"
    QVariant telefono;  // "Teléfono"
    QVariant email;     // "e-mail"
    QVariant edo;       // "Estado"
    QVariant delMun;    // "Delegación / Municipio"
    QVariant fax;       // "Fax"
};

// The legal representative (imrlegal), by its columns.
struct RepresentativeValues {
    QVariant nomRepLeg;  // "Nombre"
    QVariant apePatRep;  // "Apellido Paterno"
    QVariant apeMatRep;  // "Apellido Materno"
    QVariant telRepLeg;  // "Telefono"
    QVariant carEmp;     // "Cargo / Puesto"
    QVariant mail;       // "e-mail"
};

// What the main window shows when the sectoral window is opened from it.
struct ApplicantData {
    QString rfc;                         // txtRFC as shown
    QString razonSocial;                 // txtRSocial
    QVariant sectorCodigo;               // item code of cmbSector's entry; null when none is selected
    QString sectorTexto;                 // the text of that entry (the main activity)
    AddressValues domicilioFiscal;       // current row of dbDomFiscal (all null without one)
    RepresentativeValues representante;  // current row of dbRepLegal (all null without one)
    QList<AddressValues> plantas;        // the rows of dbPlanta, in grid order
};

// A row of the sector query: a sector chosen as direct producer.
struct BrelotSector {
    QString cveSector;    // CVE_SECTOR as stored
    QString descripcion;  // DESCRIPCIO
};

// A row of the goods query.
struct BrelotGood {
    QString idSector;   // IDSECTOR: the key of the sector it belongs to
    QString fraccion;   // FRACCION
    QVariant tipoBien;  // TIPOBIEN: 1 a good to produce, any other value a good to import
};

// The sectors with a key, of programme type 1, in key order.
bool readBrelotSectors(Database& db, QList<BrelotSector>* sectors, QString* error = nullptr);
// The goods of annex 1 with a sector, a programme type and a kind, ordered by sector,
// programme type, annex, kind and tariff item.
bool readBrelotGoods(Database& db, QList<BrelotGood>* goods, QString* error = nullptr);

// An address from a record of imdir (or any row with its column names).
AddressValues addressFromRow(const QStringList& columns, const QVariantList& row);
RepresentativeValues representativeFromRow(const QStringList& columns, const QVariantList& row);

}  // namespace kalto

#include "sectoral/BrelotData.h"

#include "data/Database.h"

namespace kalto {

namespace {

QVariant column(const QStringList& columns, const QVariantList& row, const char* name) {
    const int i = columns.indexOf(QString::fromLatin1(name), 0);
    if (i >= 0) return row.value(i);
    for (int c = 0; c < columns.size(); ++c)
        if (columns[c].compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return row.value(c);
    return {};
}

QString text(const QVariant& v) { return v.isNull() ? QString() : v.toString(); }

}  // namespace

AddressValues addressFromRow(const QStringList& c, const QVariantList& r) {
    return {column(c, r, "CALLEYNO"), column(c, r, "CP"),  column(c, r, "CIUDAD"),
            column(c, r, "COLONIA"),  column(c, r, "TELEFONO"), column(c, r, "EMAIL"),
            column(c, r, "EDO"),      column(c, r, "DELMUN"), column(c, r, "FAX")};
}

RepresentativeValues representativeFromRow(const QStringList& c, const QVariantList& r) {
    return {column(c, r, "NOMREPLEG"), column(c, r, "APEPATREP"), column(c, r, "APEMATREP"),
            column(c, r, "TELREPLEG"), column(c, r, "CAREMP"),    column(c, r, "MAIL")};
}

bool readBrelotSectors(Database& db, QList<BrelotSector>* sectors, QString* error) {
    sectors->clear();
    // Fields by position: 1 the key, 2 the description.
    return db.query(QStringLiteral("select * from sector where cve_sector is not null and (idsector = 1) "
                                   "order by idsector, cve_sector"),
                    {},
                    [&](const QVariantList& row) {
                        sectors->append({text(row.value(1)), text(row.value(2))});
                        return true;
                    },
                    error);
}

bool readBrelotGoods(Database& db, QList<BrelotGood>* goods, QString* error) {
    goods->clear();
    // Fields by position: 0 the sector, 2 the tariff item, 12 the kind of good.
    return db.query(QStringLiteral("select * from mercbi where idsector <> ' ' and anexo = 1 and tipo_progr <> 0 "
                                   "and anexo <> 0 and tipobien <> 0 "
                                   "order by idsector, tipo_progr, anexo, tipobien, fraccion"),
                    {},
                    [&](const QVariantList& row) {
                        goods->append({text(row.value(0)), text(row.value(2)), row.value(12)});
                        return true;
                    },
                    error);
}

}  // namespace kalto

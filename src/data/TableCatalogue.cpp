#include "data/TableCatalogue.h"

#include "data/Values.h"

namespace kalto {

namespace {

DbfField C(const char* name, int width) { return {QString::fromLatin1(name), DbfType::Character, width, 0}; }
DbfField N(const char* name, int width, int decimals = 0) {
    return {QString::fromLatin1(name), DbfType::Numeric, width, decimals};
}
DbfField L(const char* name) { return {QString::fromLatin1(name), DbfType::Logical, 1, 0}; }
DbfField D(const char* name) { return {QString::fromLatin1(name), DbfType::Date, 8, 0}; }

QList<TableDef> build() {
    using G = TableGroup;
    return {
        // Request tables. Column order matters where the reports read by position.
        {"imdir", G::Request,
         {C("IDDIR", 2), C("CALLEYNO", 100), C("CP", 5), C("CIUDAD", 60), C("COLONIA", 30), C("TELEFONO", 25),
          C("EMAIL", 50), C("EDO", 30), C("DELMUN", 40), C("FAX", 16), C("RFC", 13)}},
        {"imrlegal", G::Request,
         {C("NOMREPLEG", 25), C("APEPATREP", 25), C("APEMATREP", 25), C("TELREPLEG", 25), C("CAREMP", 40),
          C("MAIL", 50)}},
        {"impects", G::Request,
         {C("RSOCIAL", 254), C("RFC", 13), N("MONTOEXP", 15, 2), N("NUMPROG", 4), N("ANOPROG", 4),
          N("PORCONT", 6, 2), N("PORCEXT", 6, 2), C("IDMCTS", 1)}},
        {"improd", G::Request,
         {N("ID_PROD", 6), C("FRACCION", 8), C("DESCPROD", 100), N("VOLUMEN", 16, 3), N("PORCUT", 6, 2),
          N("UMID", 5), C("UM", 40)}},
        {"imserv", G::Request, {N("IDSERV", 3), C("SERVICIO", 254)}},
        {"imanexos", G::Request,
         {N("ID_PROD", 6), N("TIPO_REG", 2), C("DESCRIP", 254), C("FRACCION", 8), N("ID_SUBORD", 6)}},
        {"imdint", G::Request,
         {C("RFC", 13), C("APEPATRAZ", 100), N("IDSECTORM", 6), N("IDTRA", 2), C("NUMEKALTO", 8),
          C("ANIOKALTO", 4), N("IDMODA", 2), L("DPREV"), C("NUMEFOLA", 8), C("ANIOFOLA", 4)}},

        // Catalogues delivered with the program.
        {"imsector", G::Catalogue, {N("IDSECTOR", 6), C("DESCRIP", 120)}},
        {"imcserv", G::Catalogue, {N("IDCSERV", 3), C("SERVICIO", 254), C("DESCSERV", 254)}},
        {"imunidmd", G::Catalogue, {C("CVE_MED", 5), C("U_MEDIDA", 40)}},
        {"csector", G::Catalogue, {C("CVE_SECTOR", 10), C("DESCRIPCIO", 200)}},
        {"activida", G::Catalogue, {C("CVE_ACTIV", 10), C("DESCRIPCIO", 200)}},
        {"prodabas", G::Catalogue, {C("FRACCION", 8), C("DESCRIPCIO", 200)}},

        // Sectoral questionnaire.
        {"Sector", G::Sectoral,
         {N("IDSECTOR", 2), C("CVE_SECTOR", 10), C("DESCRIPCIO", 200), L("ACTIVO"), D("FECACTUALI"),
          D("FECCREACIO")}},
        {"mercbi", G::Sectoral,
         {C("IDSECTOR", 10), N("TIPO_PROGR", 2), C("FRACCION", 8), N("ANEXO", 2), N("SOLBRELOT", 8),
          N("ANIOSOLBRE", 4), N("NUMBRELOT", 8), N("ANIOBRELOT", 4), C("DESCRIPCIO", 254), L("ACTIVO"),
          D("FECCREACIO"), D("FECACTUALI"), N("TIPOBIEN", 2)}},

        // Output tables of the sectoral generation, written by position.
        {"datoprov", G::Output,
         {C("RFC", 13), C("CURP", 18), C("NOMBRE", 50), C("RSOCIAL", 254), C("APEPAT", 50), C("APEMAT", 50),
          C("CALLE", 100), N("CP", 5), C("CIUDAD", 60), C("COLONIA", 30), C("DELMUN", 40), C("APEPATRL", 25),
          C("APEMATRL", 25), C("NOMRL", 25), C("TELRL", 25), N("TIPOPERS", 1), C("LADA", 5), C("FAX", 16),
          C("EXTENSION", 6), C("EMAIL", 50), C("PAGWEB", 60), N("ACTIVO", 1), N("IDSECTOR", 6), C("EMAILRL", 50),
          D("FECALTA"), D("FECACTUALI"), C("TELRL2", 25), C("CARGORL", 40), C("OBSERVA", 60), C("ESTADO", 30)}},
        {"catdirpl", G::Output,
         {C("CALLE", 100), C("CP", 5), C("COLONIA", 30), C("ESTADO", 30), C("DELMUN", 40), C("CIUDAD", 60),
          C("TELEFONO", 25), C("FAX", 16)}},
    };
}

}  // namespace

const QList<TableDef>& tableCatalogue() {
    static const QList<TableDef> defs = build();
    return defs;
}

const TableDef* findTableDef(const QString& name) {
    for (const auto& def : tableCatalogue())
        if (def.name.compare(name, Qt::CaseInsensitive) == 0) return &def;
    return nullptr;
}

const QStringList& requestTables() {
    static const QStringList names{QStringLiteral("imdir"),    QStringLiteral("imrlegal"), QStringLiteral("impects"),
                                   QStringLiteral("improd"),   QStringLiteral("imserv"),   QStringLiteral("imanexos"),
                                   QStringLiteral("imdint")};
    return names;
}

}  // namespace kalto

namespace kalto {

QList<int> checkedColumns(const QString& table, const QList<DbfField>& fields) {
    const bool annexes = table.compare(QStringLiteral("imanexos"), Qt::CaseInsensitive) == 0;
    if (!annexes && table.compare(QStringLiteral("improd"), Qt::CaseInsensitive) != 0) return {};
    QList<int> columns;
    for (int i = 0; i < fields.size(); ++i) {
        const QString& name = fields[i].name;
        if (name.compare(QStringLiteral("ID_PROD"), Qt::CaseInsensitive) == 0 ||
            (annexes && name.compare(QStringLiteral("ID_SUBORD"), Qt::CaseInsensitive) == 0))
            columns << i;
    }
    return columns;
}

QString checkRow(const QList<DbfField>& fields, const QList<int>& columns, const QVariantList& values) {
    for (const int i : columns) {
        if (i >= values.size() || values[i].isNull() || !values[i].isValid()) continue;
        bool ok = isNumberValue(values[i]);  // a number as it is; a text as the number it spells
        const double v = ok ? values[i].toDouble() : values[i].toString().trimmed().toDouble(&ok);
        if (ok && (v > kMaxAnnexId || v < -kMaxAnnexId - 1))
            return QStringLiteral("El identificador %1 de %2 excede el máximo de %3.")
                .arg(values[i].toString(), fields[i].name)
                .arg(kMaxAnnexId);
    }
    return {};
}

QString checkRow(const QString& table, const QList<DbfField>& fields, const QVariantList& values) {
    return checkRow(fields, checkedColumns(table, fields), values);
}

}  // namespace kalto

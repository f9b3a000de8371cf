#pragma once
// Requests used by the report tests, each with the golden file of its printed text.

#include "print/ReportSnapshot.h"

#include <QDate>
#include <QFile>
#include <QString>
#include <QVariant>

namespace kalto::test {

inline QVariant null() { return QVariant(); }
inline QVariant n(qlonglong v) { return QVariant(v); }
inline QVariant d(double v) { return QVariant(v); }
inline QVariant t(const char* s) { return QVariant(QString::fromUtf8(s)); }

// imdir: IDDIR, CALLEYNO, CP, CIUDAD, COLONIA, TELEFONO, EMAIL, EDO, DELMUN, FAX, RFC.
// impects: RSOCIAL, RFC, MONTOEXP, NUMPROG, ANOPROG, PORCONT, PORCEXT, IDMCTS.
// improd: ID_PROD, FRACCION, DESCPROD, VOLUMEN, PORCUT, UMID, UM.
// imanexos: ID_PROD, TIPO_REG, DESCRIP, FRACCION, ID_SUBORD.
// imrlegal: NOMREPLEG, APEPATREP, APEMATREP, TELREPLEG, CAREMP, MAIL.

struct GoldenCase {
    const char* golden;  // file under tests/print/golden
    ReportSnapshot snapshot;
    QDate today;
};

inline ReportSnapshot header(int procedure, int modality) {
    static const char* const procedures[] = {"Programa Nuevo", "Ampliación"};
    static const char* const modalities[] = {"Industrial", "Servicios", "Terciarización", "Controladora", "Albergue"};
    ReportSnapshot s;
    s.procedure = procedure;
    s.procedureText = procedure >= 0 ? QString::fromUtf8(procedures[procedure]) : QString();
    s.modality = modality;
    s.modalityText = modality >= 0 ? QString::fromUtf8(modalities[modality]) : QString();
    return s;
}

// A new programme with nothing filled in.
inline GoldenCase emptyNewProgramme() { return {"nuevo_vacio.txt", header(0, 0), QDate(2024, 3, 5)}; }

// Fiscal address, two plants, products, the annexes of every kind; rows of grids that a new
// industrial programme does not print (controlled, outsourcing, services).
inline GoldenCase newIndustrial() {
    ReportSnapshot s = header(0, 0);
    s.sectorText = QStringLiteral("INDUSTRIA ALIMENTARIA");
    s.rfc = QStringLiteral(" ABC0102031A2");
    s.companyName = QStringLiteral("PRODUCTOS PEÑA Y MUÑOZ, S.A. DE C.V.");
    s.prevention = true;
    s.folioYear = QStringLiteral("2010");
    s.folioNumber = QStringLiteral("123");
    s.fiscalAddresses = {{t("FL"), t("AV. REFORMA 123"), t("06600"), t("CIUDAD DE MÉXICO"), t("JUÁREZ"),
                          t("5555-1234"), t("contacto@pena.mx"), t("CIUDAD DE MÉXICO"), t("CUAUHTÉMOC"), null(),
                          null()}};
    s.plants = {{t("PL"), t("CALLE 5 NO. 10"), t("44100"), t("GUADALAJARA"), t("CENTRO"), t("3333-0000"), null(),
                 t("JALISCO"), t("GUADALAJARA"), t("3333-0001"), null()},
                {t("PL"), t("KM 3 CARRETERA A SALTILLO"), t("25000"), t("SALTILLO"), t("ZONA INDUSTRIAL"), null(),
                 t("planta2@pena.mx"), t("COAHUILA"), t("SALTILLO"), null(), null()}};
    s.controlledCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA1"), d(10), n(1), n(2010), d(50), d(50), t("C")}};
    s.outsourcingCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA2"), null(), null(), null(), null(), null(), t("T")}};
    s.services = {{n(3), t("NO SE IMPRIME")}};
    s.submanufacturingCompanies = {
        {t("TALLER ÑANDÚ, S.A."), t("TÑA0203045B6"), null(), null(), null(), null(), null(), t("M")}};
    s.products = {{n(1), t("84713001"), null(), d(1000), d(80), n(1), t("PIEZA")},
                  {n(2), t("85176201"), t("TELÉFONOS"), d(500.5), d(100), n(1), t("PIEZA")}};
    s.annexes = {
        {n(1), n(1), t("null"), t("84713001"), n(0)},
        {n(2), n(1), t("null"), t("85176201"), n(0)},
        {n(3), n(1), t("TORNILLO"), t("73181501"), n(1)},
        {n(4), n(2), t("CAJA DE CARTÓN"), t("48191001"), n(0)},
        {n(5), n(1), t("TARJETA"), t("85340001"), n(1)},
        {n(6), n(1), t("CABLE"), t("85444299"), n(2)},
        {n(7), n(3), t("TORNO"), t("84581101"), n(0)},
        {n(8), n(2), t("TARIMA DE MADERA"), null(), n(0)},
        {n(9), n(4), t("REPARACIÓN DE MOTOR"), t("85011099"), n(0)},
        {n(10), null(), t("SIN TIPO"), t("11111111"), n(0)},
    };
    s.legalRepresentative = {t("JOSÉ ANDRÉS"), t("PEÑA"), t("MUÑOZ"), t("55 1234 5678"), t("DIRECTOR GENERAL"),
                             t("jose@pena.mx")};
    return {"nuevo_industrial.txt", s, QDate(2024, 3, 5)};
}

// Controlled companies (one without programme number), long texts, no address, products or annexes.
inline GoldenCase newControladora() {
    ReportSnapshot s = header(0, 3);
    s.sectorText = QStringLiteral("INDUSTRIA ELECTRÓNICA");
    s.rfc = QStringLiteral("XYZ0405067C8D");
    s.companyName = QStringLiteral("COMPAÑÍA ").repeated(11) + QStringLiteral("Z");  // 100 characters
    const QString longName = QStringLiteral("ÁRBOL ").repeated(42) + QStringLiteral("ÑU");  // 254 characters
    s.controlledCompanies = {
        {longName, t("CON010203AB1"), d(1500.5), n(12), n(2008), d(60), d(40.25), t("C")},
        {t("SUBSIDIARIA DOS, S.A."), t("CDO040506XY2"), d(250000), null(), null(), d(100), d(0), t("C")}};
    s.outsourcingCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA2"), null(), null(), null(), null(), null(), t("T")}};
    s.serviceCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA3"), null(), n(1), n(2010), null(), null(), t("S")}};
    return {"nuevo_controladora.txt", s, QDate(2023, 12, 31)};
}

// A whole "Controladora" request: fiscal address, two plants (the second with empty fields),
// two controlled companies (the second without programme number), products, two export
// products with two inputs each stored apart from them, containers (one without tariff item),
// a tool, rework; a submanufacturing company; rows of grids the modality does not print.
inline GoldenCase newControladoraFull() {
    ReportSnapshot s = header(0, 3);
    s.sectorText = QStringLiteral("INDUSTRIA ELECTRÓNICA");
    s.rfc = QStringLiteral(" CTR0102031A2");
    s.companyName = QStringLiteral("GRUPO CONTROLADOR DEL NORTE, S.A. DE C.V.");
    s.fiscalAddresses = {{t("FL"), t("AV. CONSTITUCIÓN 500"), t("64000"), t("MONTERREY"), t("CENTRO"),
                          t("81 8123 4567"), t("fiscal@grupo.mx"), t("NUEVO LEÓN"), t("MONTERREY"), t("81 8123 4568"),
                          null()}};
    s.plants = {{t("PL"), t("AV. INDUSTRIAL 10"), t("66600"), t("APODACA"), t("PARQUE INDUSTRIAL"), t("81 8300 0001"),
                 null(), t("NUEVO LEÓN"), t("APODACA"), null(), null()},
                {t("PL"), t("CARRETERA A LAREDO KM 12"), t("65000"), t("SALINAS VICTORIA"), null(), null(),
                 t("planta2@grupo.mx"), t("NUEVO LEÓN"), t("SALINAS VICTORIA"), t("81 8300 0003"), null()}};
    s.controlledCompanies = {
        {t("ELECTRÓNICA DEL NORTE, S.A."), t("ENO010203AB1"), d(1500000.75), n(12), n(2008), d(60), d(40), t("C")},
        {t("COMPONENTES DE MONTERREY, S.A."), t("CMO040506XY2"), d(250000), null(), null(), d(100), d(0), t("C")}};
    s.outsourcingCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA2"), null(), null(), null(), null(), null(), t("T")}};
    s.services = {{n(3), t("NO SE IMPRIME")}};
    s.serviceCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA3"), null(), n(1), n(2010), null(), null(), t("S")}};
    s.submanufacturingCompanies = {
        {t("TALLER DE MAQUILA, S.A."), t("TMA050505AA5"), null(), null(), null(), null(), null(), t("M")}};
    s.products = {{n(1), t("85423101"), null(), d(1000), d(80), n(1), t("PIEZA")},
                  {n(2), t("85444201"), t("CABLES"), d(20), d(100), n(3), t("METRO")}};
    s.annexes = {
        {n(1), n(1), t("null "), t("85423101"), n(0)},
        {n(2), n(1), t("null "), t("85444201"), n(0)},
        {n(3), n(1), t("SILICIO"), t("28046101"), n(1)},
        {n(4), n(2), t("CAJA"), t("48191001"), n(0)},
        {n(5), n(1), t("COBRE"), t("74081101"), n(2)},
        {n(6), n(1), t("RESINA"), t("39073001"), n(1)},
        {n(7), n(3), t("SOLDADORA"), t("85152101"), n(0)},
        {n(8), n(2), t("TARIMA"), null(), n(0)},
        {n(9), n(4), t("REPARACIÓN DE TARJETAS"), t("85423199"), n(0)},
        {n(10), n(1), t("PLÁSTICO"), t("39269099"), n(2)},
        {n(11), n(4), t("REEMPAQUE"), null(), n(0)},
    };
    s.legalRepresentative = {t("JOSÉ LUIS"), t("GARZA"), t("TREVIÑO"), t("81 8123 4569"), t("DIRECTOR GENERAL"),
                             t("jose@grupo.mx")};
    return {"nuevo_controladora_completo.txt", s, QDate(2025, 11, 5)};
}

// Outsourcing and submanufacturing companies; annexes without export products (containers,
// tools and rework, one container without tariff item or description, a rework row without
// identifier).
inline GoldenCase newOutsourcing() {
    ReportSnapshot s = header(0, 2);
    s.sectorText = QStringLiteral("INDUSTRIA AUTOMOTRIZ Y DE AUTOPARTES");
    s.rfc = QStringLiteral("TER0506078E9");
    s.companyName = QStringLiteral("TERCIARIZADORA DEL GOLFO, S.A.");
    s.fiscalAddresses = {{t("FL"), t("BLVD. LÓPEZ MATEOS 2001 INT. 4"), t("89000"), t("TAMPICO"), t("LAS ÁGUILAS"),
                          t("833 100 2000"), t("ventas@golfo.mx"), t("TAMAULIPAS"), t("TAMPICO"), t("833 100 2001"),
                          null()},
                         {t("FL"), t("SEGUNDO DOMICILIO FISCAL"), null(), null(), null(), null(), null(), null(),
                          null(), null(), null()}};
    s.controlledCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA1"), d(10), n(1), n(2010), d(50), d(50), t("C")}};
    s.outsourcingCompanies = {
        {t("MAQUILAS UNIDAS, S.A."), t("MUN010101AA1"), null(), null(), null(), null(), null(), t("T")},
        {t("ENSAMBLES DEL NORTE, S. DE R.L."), t("ENO020202BB2"), null(), null(), null(), null(), null(), t("T")}};
    s.submanufacturingCompanies = {
        {t("PINTURAS Y ACABADOS, S.A."), t("PAC030303CC3"), null(), null(), null(), null(), null(), t("M")}};
    s.products = {{n(5), t("87089999"), null(), d(10), d(10), n(1), t("PIEZA")}};
    s.annexes = {
        {n(1), n(3), t("TALADRO"), t("84672101"), n(0)},
        {n(2), n(2), t("CONTENEDOR METÁLICO"), t("73090001"), n(0)},
        {n(3), n(3), t("PRENSA"), null(), n(0)},
        {null(), n(4), t("AJUSTE"), null(), n(0)},
        {n(4), n(2), null(), null(), n(0)},
    };
    s.legalRepresentative = {t("MARÍA"), null(), t("GÜEMES"), t("833 100 2002"), t("APODERADA LEGAL"), null()};
    return {"nuevo_terciarizacion.txt", s, QDate(2024, 1, 9)};
}

// A services programme: the service, the companies served (one without programme), the
// service's export product (tariff item "null") with its inputs.
inline GoldenCase newServices() {
    ReportSnapshot s = header(0, 1);
    s.sectorText = QStringLiteral("INDUSTRIA AEROESPACIAL");
    s.rfc = QStringLiteral("AER0607089F1");
    s.companyName = QStringLiteral("SERVICIOS AERONÁUTICOS DE QUERÉTARO, S.A.");
    s.services = {{n(13), t("MANTENIMIENTO DE AERONAVES")}};
    s.serviceCompanies = {
        {t("AEROLÍNEAS DEL NORTE, S.A."), t("ADN990101AB1"), null(), n(15), n(2010), null(), null(), t("S")},
        {t("SERVICIOS AÉREOS, S.C."), t("SAE000202CD2"), null(), null(), null(), null(), null(), t("S")}};
    s.annexes = {
        {n(1), n(1), t("MANTENIMIENTO DE AERONAVES"), t("null"), n(0)},
        {n(2), n(1), t("TURBINA"), t("84111101"), n(1)},
        {n(3), n(1), t("ACEITE"), t("27101901"), n(1)},
    };
    s.legalRepresentative = {t("LUIS"), t("HERNÁNDEZ"), t("OCAÑA"), null(), null(), null()};
    return {"nuevo_servicios.txt", s, QDate(2024, 10, 15)};
}

// An extension: registration year and number, fiscal address; plants and the companies of a
// new programme are not printed, the services are.
inline GoldenCase extensionIndustrial() {
    ReportSnapshot s = header(1, 0);
    s.sectorText = QStringLiteral("INDUSTRIA TEXTIL Y DE LA CONFECCIÓN");
    s.rfc = QStringLiteral(" MAR850101AB3");
    s.companyName = QStringLiteral("MAQUILADORA DEL BAJÍO, S.A. DE C.V.");
    s.registrationYear = QStringLiteral("2009");
    s.registrationNumber = QStringLiteral("45");
    s.fiscalAddresses = {{t("FL"), t("CALLE HIDALGO 45"), t("37000"), t("LEÓN"), t("CENTRO"), t("477 700 0000"),
                          t("info@bajio.mx"), t("GUANAJUATO"), t("LEÓN"), t("477 700 0001"), null()}};
    s.plants = {{t("PL"), t("NO SE IMPRIME"), t("37000"), t("LEÓN"), t("CENTRO"), null(), null(), t("GUANAJUATO"),
                 t("LEÓN"), null(), null()}};
    s.controlledCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA1"), d(10), n(1), n(2010), d(50), d(50), t("C")}};
    s.outsourcingCompanies = {{t("NO SE IMPRIME"), t("NSI010101AA2"), null(), null(), null(), null(), null(), t("T")}};
    s.submanufacturingCompanies = {
        {t("NO SE IMPRIME"), t("NSI010101AA4"), null(), null(), null(), null(), null(), t("M")}};
    s.services = {{n(3), t("MAQUILA DE ROPA")}};
    s.serviceCompanies = {
        {t("TIENDAS DE MODA, S.A."), t("TMO101010AB1"), null(), n(33), n(2007), null(), null(), t("S")}};
    s.products = {{n(1), t("61091001"), null(), d(100), d(50), n(1), t("PIEZA")}};
    s.annexes = {
        {n(1), n(1), t("null"), t("61091001"), n(0)},
        {n(2), n(1), t("HILO"), t("52041101"), n(1)},
        {n(3), n(2), t("CAJA"), t("48191002"), n(0)},
    };
    s.legalRepresentative = {t("ROBERTO"), t("SÁNCHEZ"), t("NÚÑEZ"), t("477 700 0002"), t("GERENTE DE OPERACIONES"),
                             t("roberto@bajio.mx")};
    return {"ampliacion_industrial.txt", s, QDate(2025, 2, 28)};
}

// An extension of a services programme: export products described by text where they have a
// description, by tariff item otherwise; a row with identifier 0 is not printed.
inline GoldenCase extensionServices() {
    ReportSnapshot s = header(1, 1);
    s.sectorText = QStringLiteral("INDUSTRIA ELÉCTRICA");
    s.rfc = QStringLiteral("SIN1107079G1");
    s.companyName = QStringLiteral("SERVICIOS INTEGRALES DEL NORTE, S.C.");
    s.registrationYear = QStringLiteral("2012");
    s.registrationNumber = QStringLiteral("7");
    s.prevention = true;
    s.folioYear = QStringLiteral("2011");
    s.folioNumber = QStringLiteral("98765432");
    s.services = {{n(14), t("ASESORÍA TÉCNICA")}};
    s.products = {{n(2), t("90318001"), null(), d(1), d(1), n(1), t("SERVICIO")},
                  {n(3), t("85043101"), null(), d(1), d(1), n(1), t("PIEZA")}};
    s.annexes = {
        {n(1), n(1), t("ASESORÍA TÉCNICA"), t("null"), n(0)},
        {n(2), n(1), t("null"), t("90318001"), n(0)},
        {n(3), n(1), null(), t("85043101"), n(0)},
        {n(4), n(1), t("MANUAL"), t("49011001"), n(1)},
        {n(5), n(4), t("CALIBRACIÓN"), t("90318002"), n(0)},
        {n(0), n(1), t("CERO"), t("00000000"), n(0)},
    };
    s.legalRepresentative = {t("ANA"), t("LÓPEZ"), t("DÍAZ"), t("81 8000 0000"), t("DIRECTORA"), null()};
    return {"ampliacion_servicios.txt", s, QDate(2024, 7, 1)};
}

inline QList<GoldenCase> goldenCases() {
    return {emptyNewProgramme(),  newIndustrial(),       newControladora(),  newControladoraFull(),
            newOutsourcing(),     newServices(),         extensionIndustrial(), extensionServices()};
}

inline QString goldenPath(const char* name) {
    return QStringLiteral(KALTO_SOURCE_DIR "/tests/print/golden/") + QString::fromLatin1(name);
}

inline QByteArray readGolden(const char* name) {
    QFile f(goldenPath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace kalto::test

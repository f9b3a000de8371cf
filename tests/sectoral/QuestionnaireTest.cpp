// The questionnaire's text, byte for byte against files written by hand (tests/sectoral/golden),
// and its input read from the sectoral tables.

#include "sectoral/BrelotQuestionnaire.h"

#include "data/Database.h"
#include "support/TestFolder.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace kalto;

namespace {

QString golden(const char* name) {
    QFile f(QStringLiteral(KALTO_SOURCE_DIR "/tests/sectoral/golden/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<no se pudo leer %1>").arg(f.fileName());
    return QString::fromUtf8(f.readAll());
}

// Equal texts, or the first line that differs.
::testing::AssertionResult sameText(const QString& expected, const QString& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    const QStringList e = expected.split(u'\n'), a = actual.split(u'\n');
    for (int i = 0; i < std::max(e.size(), a.size()); ++i) {
        if (e.value(i) != a.value(i) || i >= e.size() || i >= a.size())
            return ::testing::AssertionFailure() << "línea " << i + 1 << "\n  esperada: [" << e.value(i).toStdString()
                                                 << "]\n  obtenida: [" << a.value(i).toStdString() << "]";
    }
    return ::testing::AssertionFailure() << "difieren";
}

DateClock on(int y, int m, int d) {
    return [=] { return QDate(y, m, d); };
}

QString fill(const QString& seed, int n) {
    QString s;
    while (s.size() < n) s += seed;
    return s.left(n);
}

AddressValues address(const char* calle, const char* cp, const char* ciudad, const char* colonia, const char* tel,
                      const char* mail, const char* edo, const char* mun, const char* fax) {
    auto v = [](const char* s) { return s ? QVariant(QString::fromUtf8(s)) : QVariant(); };
    return {v(calle), v(cp), v(ciudad), v(colonia), v(tel), v(mail), v(edo), v(mun), v(fax)};
}

BrelotGood good(const char* sector, const char* fraccion, int tipo) {
    return {QString::fromUtf8(sector), QString::fromUtf8(fraccion), tipo};
}

}  // namespace

TEST(BrelotQuestionnaire, NothingRecorded) {
    const QString text = composeBrelotQuestionnaire({}, on(2024, 1, 5));
    EXPECT_TRUE(sameText(golden("vacio.txt"), text));
    EXPECT_FALSE(text.endsWith(u'\n'));
    // The heading, centred when printed, is the first lines up to the blank line after
    // "DATOS DE LA SOLICITUD ".
    EXPECT_EQ(text.left(brelotHeadingLength()),
              QStringLiteral("RUVANA\nCUESTIONARIO DE SOLICITUD DE PROGRAMA DE BRELOT (BRELOT)\n\nDATOS DE LA SOLICITUD \n\n"));
}

TEST(BrelotQuestionnaire, SectorsAndGoodsInterleaved) {
    BrelotQuestionnaireInput in;
    ApplicantData& a = in.applicant;
    a.rfc = QStringLiteral(" ABC010101XY1");
    a.razonSocial = QStringLiteral("COMERCIALIZADORA DEL NORTE SA DE CV");
    a.sectorCodigo = 2;
    a.sectorTexto = QStringLiteral("INDUSTRIA ELECTRÓNICA");
    a.domicilioFiscal = address("AV REFORMA 123", "06700", "MEXICO", "JUAREZ", "5555555555", "contacto@norte.mx",
                                "CIUDAD DE MEXICO", "CUAUHTEMOC", "5555555556");
    a.representante = {QStringLiteral("JUAN"),       QStringLiteral("PEREZ"),           QStringLiteral("LOPEZ"),
                       QStringLiteral("5511112222"), QStringLiteral("DIRECTOR GENERAL"), QStringLiteral("juan@norte.mx")};
    a.plantas = {address("CALLE 1 NO 10", "64000", "MONTERREY", "CENTRO", "8181818181", "planta@norte.mx", "NUEVO LEON",
                         "MONTERREY", nullptr),
                 address("KM 5 CARRETERA", nullptr, nullptr, nullptr, "4444", nullptr, nullptr, nullptr, "4445")};
    // In key order as text: 1, 12, 15, 2, 3.
    in.sectors = {{QStringLiteral("1"), QStringLiteral("INDUSTRIA ELÉCTRICA")},
                  {QStringLiteral("12"), QStringLiteral("INDUSTRIA TEXTIL")},
                  {QStringLiteral("15"), QStringLiteral("INDUSTRIA AUTOMOTRIZ")},
                  {QStringLiteral("2"), QStringLiteral("INDUSTRIA ELECTRÓNICA")},
                  {QStringLiteral("3"), QStringLiteral("INDUSTRIA DEL MUEBLE")}};
    // Goods of sectors not listed (05, 11, 17, 25, 99) come before, between and after.
    in.goods = {good("05", "11111111", 1), good("1", "85010001", 1),  good("1", "85010002", 1),
                good("1", "85010003", 1),  good("1", "84000001", 2),  good("11", "22222222", 1),
                good("15", "87080001", 2), good("15", "87080002", 3), good("17", "33333333", 1),
                good("2", "85420001", 1),  good("25", "44444444", 2), good("99", "55555555", 1)};
    EXPECT_TRUE(sameText(golden("varios_sectores.txt"), composeBrelotQuestionnaire(in, on(2024, 2, 29))));

    // A sector whose goods are the last rows and are all goods to import still says that it
    // records no goods to produce, under that heading, as a sector in the middle does.
    in.sectors = {{QStringLiteral("15"), QStringLiteral("INDUSTRIA AUTOMOTRIZ")}};
    in.goods = {good("15", "87080001", 2)};
    EXPECT_TRUE(composeBrelotQuestionnaire(in, on(2024, 2, 29))
                    .contains(QStringLiteral("SECTOR 15     INDUSTRIA AUTOMOTRIZ\n\n     MERCANCIAS A PRODUCIR\n"
                                             "        NO REGISTRO MERCANCIAS\n\n     BIENES A IMPORTAR\n"
                                             "       87080001\n\n\n\n         MANIFIESTO")));
    // A good to produce listed after the goods to import (another programme type sorts
    // between them) still stands on the line of the goods to produce.
    in.goods = {good("15", "87080001", 1), good("15", "87080002", 2), good("15", "87080003", 1)};
    EXPECT_TRUE(composeBrelotQuestionnaire(in, on(2024, 2, 29))
                    .contains(QStringLiteral("     MERCANCIAS A PRODUCIR\n       87080001       87080003\n\n"
                                             "     BIENES A IMPORTAR\n       87080002\n")));
}

// The sector walk alone: every sector gets its heading, its goods to produce on one line,
// its goods to import under their heading, and each "NO REGISTRO" line on a line of its own
// by its own count, wherever the sector's goods stand in the goods query.
TEST(BrelotQuestionnaire, TheSectorWalk) {
    auto part = [](const QList<BrelotSector>& sectors, const QList<BrelotGood>& goods) {
        BrelotQuestionnaireInput in;
        in.sectors = sectors;
        in.goods = goods;
        const QString text = composeBrelotQuestionnaire(in, on(2024, 1, 5));
        const qsizetype from = text.indexOf(QStringLiteral("PRODUCTOR DIRECTO\n"));
        const qsizetype to = text.indexOf(QStringLiteral("         MANIFIESTO"));
        return from < 0 || to < 0 ? QString() : text.mid(from, to - from);
    };
    const BrelotSector s1{QStringLiteral("1"), QStringLiteral("UNO")}, s2{QStringLiteral("2"), QStringLiteral("DOS")},
        s3{QStringLiteral("3"), QStringLiteral("TRES")};
    const QString head = QStringLiteral("PRODUCTOR DIRECTO\n____________________\n");
    auto sector = [](const BrelotSector& s) {
        return QStringLiteral("\n\nSECTOR ") + s.cveSector + QStringLiteral("     ") + s.descripcion +
               QStringLiteral("\n\n     MERCANCIAS A PRODUCIR\n");
    };
    const QString noGoods = QStringLiteral("        NO REGISTRO MERCANCIAS\n");
    const QString noImports = QStringLiteral("        NO REGISTRO BIENES\n");
    const QString imports = QStringLiteral("\n\n     BIENES A IMPORTAR\n");

    // No goods at all: every sector says it records neither.
    EXPECT_EQ(part({s1, s2}, {}), head + sector(s1) + noGoods + noImports + sector(s2) + noGoods + noImports +
                                      QStringLiteral("\n\n\n\n"));

    // Three goods to produce on one line, 7 blanks before each; the sector is the last of the
    // goods query and has nothing to import.
    EXPECT_EQ(part({s1, s2}, {good("2", "11111111", 1), good("2", "22222222", 1), good("2", "33333333", 1)}),
              head + sector(s1) + noGoods + noImports + sector(s2) +
                  QStringLiteral("       11111111       22222222       33333333\n") + noImports + QStringLiteral("\n\n\n\n"));

    // Goods to import only, the sector's goods ending the query: no goods to produce is said
    // under its heading, then the goods to import; a sector in the middle alike.
    EXPECT_EQ(part({s1, s2, s3}, {good("1", "44444444", 2), good("1", "55555555", 3), good("3", "66666666", 2)}),
              head + sector(s1) + noGoods + QStringLiteral("\n     BIENES A IMPORTAR\n       44444444       55555555") +
                  sector(s2) + noGoods + noImports + sector(s3) + noGoods +
                  QStringLiteral("\n     BIENES A IMPORTAR\n       66666666") + QStringLiteral("\n\n\n\n"));

    // Both kinds: the line of goods to produce ends before the heading of the goods to import.
    EXPECT_EQ(part({s1}, {good("1", "11111111", 1), good("1", "22222222", 2)}),
              head + sector(s1) + QStringLiteral("       11111111") + imports + QStringLiteral("       22222222") +
                  QStringLiteral("\n\n\n\n"));

    // Goods of sectors not listed, before, between and after the listed ones, appear nowhere
    // and take nothing from their neighbours.
    const QString unlisted = part({s1, s3}, {good("0", "90000000", 1), good("1", "11111111", 1), good("2", "90000001", 2),
                                             good("2", "90000002", 1), good("3", "33333333", 2), good("4", "90000003", 1)});
    EXPECT_FALSE(unlisted.contains(QStringLiteral("9000000")));
    EXPECT_EQ(unlisted, head + sector(s1) + QStringLiteral("       11111111\n") + noImports + sector(s3) + noGoods +
                            QStringLiteral("\n     BIENES A IMPORTAR\n       33333333") + QStringLiteral("\n\n\n\n"));

    // Whatever the mix, a "NO REGISTRO" line stands alone on its line.
    for (const QString& text : {unlisted, part({s1, s2, s3}, {good("1", "1", 1), good("2", "2", 2), good("3", "3", 1)})}) {
        for (const QString& line : text.split(u'\n')) {
            if (line.contains(QStringLiteral("NO REGISTRO"))) {
                EXPECT_TRUE(line == noGoods.chopped(1) || line == noImports.chopped(1)) << line.toStdString();
            }
        }
    }

    // Without plants, "PLANTAS" is followed by the line breaks that open the sectors.
    EXPECT_TRUE(composeBrelotQuestionnaire({}, on(2024, 1, 5))
                    .contains(QStringLiteral("NUMERO DE ACREDITAMIENTO : \n\nPLANTAS\n\n\nPRODUCTOR DIRECTO\n")));
}

TEST(BrelotQuestionnaire, LongTexts) {
    BrelotQuestionnaireInput in;
    ApplicantData& a = in.applicant;
    a.rfc = QStringLiteral("ABCD010101XY1");
    a.razonSocial = fill(QStringLiteral("INDUSTRIAS Y SERVICIOS INTEGRALES DE MANUFACTURA DE EXPORTACION "), 254);
    a.sectorTexto = fill(QStringLiteral("ACTIVIDAD "), 120);
    const QString calle = fill(QStringLiteral("BOULEVARD INDUSTRIAL DE LAS AMERICAS NUMERO 12345 "), 100);
    a.domicilioFiscal = {calle,
                         QStringLiteral("99999"),
                         fill(QStringLiteral("CIUDAD "), 60),
                         fill(QStringLiteral("COL "), 30),
                         fill(QStringLiteral("5"), 25),
                         fill(QStringLiteral("correo."), 50),
                         fill(QStringLiteral("EDO "), 30),
                         fill(QStringLiteral("MUN "), 40),
                         fill(QStringLiteral("6"), 16)};
    a.plantas = {{calle, QStringLiteral("00001"), fill(QStringLiteral("X"), 60), fill(QStringLiteral("C"), 30),
                  fill(QStringLiteral("1"), 25), QVariant(), fill(QStringLiteral("E"), 30), fill(QStringLiteral("M"), 40),
                  fill(QStringLiteral("2"), 16)}};
    a.representante = {fill(QStringLiteral("N"), 25), fill(QStringLiteral("P"), 25), fill(QStringLiteral("M"), 25),
                       fill(QStringLiteral("3"), 25), fill(QStringLiteral("CARGO "), 40), fill(QStringLiteral("rep."), 50)};
    in.sectors = {{QStringLiteral("24"), fill(QStringLiteral("FABRICACION DE PARTES Y COMPONENTES "), 200)}};
    for (int i = 0; i < 12; ++i) in.goods << BrelotGood{QStringLiteral("24"), QString::number(10000000 + i), 1};
    for (int i = 0; i < 3; ++i) in.goods << BrelotGood{QStringLiteral("24"), QString::number(20000000 + i), 2};
    EXPECT_TRUE(sameText(golden("textos_largos.txt"), composeBrelotQuestionnaire(in, on(2023, 12, 31))));
}

TEST(BrelotQuestionnaire, AccentsEnyeAndLetterCaseOfKeys) {
    BrelotQuestionnaireInput in;
    ApplicantData& a = in.applicant;
    a.rfc = QStringLiteral("PEÑ0102039Z8");
    a.razonSocial = QStringLiteral("PEÑA Y ÁLVAREZ, S.A. DE C.V.");
    a.sectorTexto = QStringLiteral("ELABORACIÓN DE PAN Y TORTILLAS");
    a.domicilioFiscal = address("CALLE ÑANDÚ 5", "58000", "PÁTZCUARO", "AÑIL", "(443) 123-4567", "ventas@peña.mx",
                                "MICHOACÁN", "PÁTZCUARO", "");
    a.plantas = {address("AV. DEL NIÑO PERDIDO 12 \"B\"", "58010", "MORELIA", "SEÑORÍO", "443", nullptr, "MICHOACÁN",
                         "MORELIA", "444")};
    a.representante = {QStringLiteral("JOSÉ ÁNGEL"),   QStringLiteral("MUÑOZ"),             QStringLiteral("O'HARA"),
                       QStringLiteral("443 000 0000"), QStringLiteral("DIRECCIÓN GENERAL"), QStringLiteral("jose.muñoz@peña.mx")};
    in.sectors = {{QStringLiteral("ab"), QStringLiteral("INDUSTRIA DEL JUGUETE Y ARTÍCULOS DEPORTIVOS")},
                  {QStringLiteral("Ñ1"), QStringLiteral("AÑADIDOS")}};
    // The goods' keys differ in letter case and in blanks around them; the tariff item
    // "null" is the one a service row holds.
    in.goods = {good(" AB", "95030001", 1), good("ñ1 ", "null", 2)};
    EXPECT_TRUE(sameText(golden("acentos.txt"), composeBrelotQuestionnaire(in, on(2025, 9, 9))));
}

TEST(BrelotQuestionnaire, DatesCarryTheSpanishMonth) {
    const char* months[] = {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"};
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(brelotDate(QDate(2001, m, 7)), QStringLiteral("07/%1/2001").arg(QLatin1String(months[m - 1])));
    EXPECT_EQ(brelotDate(QDate(987, 3, 14)), QStringLiteral("14/mar/0987"));
}

// The input as the tables give it: the sectors with a key and programme type 1 in key
// order, the goods of annex 1 with a sector and non-zero programme type and kind in sorted
// order; and the stored application.
TEST(BrelotQuestionnaire, ReadsTheSectoralTablesAndTheStoredApplication) {
    test::TestFolder folder;
    Database db;
    QString error;
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    auto run = [&](const QString& sql, const QVariantList& params = {}) {
        ASSERT_TRUE(db.execute(sql, params, &error)) << sql.toStdString() << ": " << error.toStdString();
    };
    run(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '2', 'INDUSTRIA ELECTRÓNICA')"));
    run(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, null, 'SIN CLAVE')"));
    run(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (2, '3', 'OTRO PROGRAMA')"));
    run(QStringLiteral("insert into sector (idsector, cve_sector, descripcio) values (1, '12', 'INDUSTRIA TEXTIL')"));
    const char* goods = "insert into mercbi (idsector, tipo_progr, fraccion, anexo, tipobien) values (?, ?, ?, ?, ?)";
    auto g = [&](const QVariant& sector, const QVariant& programa, const char* fraccion, const QVariant& anexo,
                 const QVariant& tipo) {
        run(QString::fromLatin1(goods), {sector, programa, QString::fromLatin1(fraccion), anexo, tipo});
    };
    g(QStringLiteral("2"), 1, "22222222", 1, 2);
    g(QStringLiteral("2"), 1, "11111111", 1, 1);
    g(QStringLiteral("12"), 2, "33333333", 1, 1);
    g(QStringLiteral("12"), 1, "44444444", 1, 1);
    g(QStringLiteral("2"), 0, "00000001", 1, 1);  // no programme type
    g(QStringLiteral("2"), 1, "00000002", 2, 1);  // another annex
    g(QStringLiteral("2"), 1, "00000003", 1, 0);  // no kind
    g(QVariant(), 1, "00000004", 1, 1);           // no sector
    g(QStringLiteral("2"), 1, "00000005", 1, QVariant());

    ApplicantData applicant;
    applicant.rfc = QStringLiteral("XYZ");
    BrelotQuestionnaireInput in;
    ASSERT_TRUE(readBrelotQuestionnaireInput(db, applicant, &in, &error)) << error.toStdString();
    EXPECT_EQ(in.applicant.rfc, QStringLiteral("XYZ"));
    QStringList sectors, read;
    for (const BrelotSector& s : in.sectors) sectors << s.cveSector + u'|' + s.descripcion;
    EXPECT_EQ(sectors, (QStringList{QStringLiteral("12|INDUSTRIA TEXTIL"), QStringLiteral("2|INDUSTRIA ELECTRÓNICA")}));
    for (const BrelotGood& x : in.goods) read << x.idSector + u'|' + x.fraccion + u'|' + x.tipoBien.toString();
    EXPECT_EQ(read, (QStringList{QStringLiteral("12|44444444|1"), QStringLiteral("12|33333333|1"),
                                 QStringLiteral("2|11111111|1"), QStringLiteral("2|22222222|2")}));

    // The stored application: header, its sector's text, fiscal address, representative, plants.
    run(QStringLiteral("update imdint set rfc = ' ABC010101XY1', apepatraz = 'EMPRESA', idsectorm = 2"));
    run(QStringLiteral("insert into imdir (iddir, calleyno, cp, edo) values ('PL', 'PLANTA UNO', '01000', 'JALISCO')"));
    run(QStringLiteral("insert into imdir (iddir, calleyno, cp) values ('FL', 'FISCAL 1', '06700')"));
    run(QStringLiteral("insert into imdir (iddir, calleyno) values ('PC', 'DE OTRA EMPRESA')"));
    run(QStringLiteral("insert into imdir (iddir, calleyno, fax) values ('PL', 'PLANTA DOS', '555')"));
    run(QStringLiteral("insert into imrlegal (nomrepleg, apepatrep, mail) values ('ANA', 'RUIZ', 'ana@x.mx')"));
    ApplicantData stored;
    ASSERT_TRUE(readStoredApplicant(db, &stored, &error)) << error.toStdString();
    EXPECT_EQ(stored.rfc, QStringLiteral(" ABC010101XY1"));
    EXPECT_EQ(stored.razonSocial, QStringLiteral("EMPRESA"));
    EXPECT_EQ(stored.sectorCodigo.toInt(), 2);
    EXPECT_EQ(stored.sectorTexto, QStringLiteral("INDUSTRIA ELECTRÓNICA"));
    EXPECT_EQ(stored.domicilioFiscal.calleYNo.toString(), QStringLiteral("FISCAL 1"));
    EXPECT_EQ(stored.domicilioFiscal.cp.toString(), QStringLiteral("06700"));
    EXPECT_TRUE(stored.domicilioFiscal.fax.isNull());
    EXPECT_EQ(stored.representante.nomRepLeg.toString(), QStringLiteral("ANA"));
    EXPECT_EQ(stored.representante.mail.toString(), QStringLiteral("ana@x.mx"));
    ASSERT_EQ(stored.plantas.size(), 2);
    EXPECT_EQ(stored.plantas[0].calleYNo.toString(), QStringLiteral("PLANTA UNO"));
    EXPECT_EQ(stored.plantas[0].edo.toString(), QStringLiteral("JALISCO"));
    EXPECT_EQ(stored.plantas[1].fax.toString(), QStringLiteral("555"));
}

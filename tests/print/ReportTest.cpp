// The printed application: golden files written from the layout of the form, the pieces the
// print window reads, the annex walk, the date line, and the snapshot read from the tables.

#include "core/TextFiles.h"
#include "print/FormateaInf.h"
#include "print/Snapshots.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kalto;
using namespace kalto::test;

namespace {

ReportText compose(const ReportSnapshot& s, const QDate& today = QDate(2024, 3, 5)) {
    ReportText r;
    QString error;
    EXPECT_TRUE(FormateaInf(s, today, &r, &error)) << error.toStdString();
    return r;
}

// The first line where two texts differ, for a readable failure.
std::string firstDifference(const QByteArray& got, const QByteArray& want) {
    const QList<QByteArray> a = got.split('\n'), b = want.split('\n');
    for (int i = 0; i < std::max(a.size(), b.size()); ++i)
        if (a.value(i) != b.value(i))
            return "line " + std::to_string(i + 1) + "\n  got:  [" + a.value(i).toStdString() + "]\n  want: [" +
                   b.value(i).toStdString() + "]";
    return "same lines";
}

}  // namespace

TEST(ApplicationReport, GoldenFiles) {
    const bool update = !qEnvironmentVariableIsEmpty("KALTO_UPDATE_GOLDEN");
    for (const GoldenCase& c : goldenCases()) {
        SCOPED_TRACE(c.golden);
        const QByteArray got = compose(c.snapshot, c.today).full.toUtf8();
        if (update) {
            QFile f(goldenPath(c.golden));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(got);
            continue;
        }
        const QByteArray want = readGolden(c.golden);
        ASSERT_FALSE(want.isEmpty()) << "falta el archivo";
        EXPECT_EQ(got, want) << firstDifference(got, want);
        EXPECT_FALSE(got.contains('\r'));
    }
}

TEST(ApplicationReport, PiecesAreThoseOfTheFullText) {
    const GoldenCase c = newIndustrial();
    const ReportText r = compose(c.snapshot, c.today);
    EXPECT_EQ(r.header, QStringLiteral("RUVANA\nSOLICITUD DE AUTORIZACIÓN DE PROGRAMA KALTO\n\nDATOS GENERALES"));
    EXPECT_TRUE(r.full.startsWith(r.header + QStringLiteral("\n\nTIPO DE TRAMITE:    Programa Nuevo\n")));
    EXPECT_TRUE(r.full.endsWith(r.closing));
    // In the order of the form, each exactly once.
    qsizetype at = 0;
    for (const QString* piece : {&r.header, &r.addresses, &r.products, &r.annexes, &r.closing}) {
        const qsizetype found = r.full.indexOf(*piece, at);
        ASSERT_GE(found, at);
        EXPECT_EQ(r.full.indexOf(*piece, found + 1), -1);
        at = found + piece->size();
    }
    // Only the fiscal block ends with the character 11; the plants follow it.
    EXPECT_EQ(r.full.count(QChar(11)), 1);
    EXPECT_TRUE(r.addresses.contains(QStringLiteral("E-MAIL  contacto@pena.mx\x0b\nDOMICILIO DE PLANTA 1\n")));
    EXPECT_TRUE(r.groupCompanies.isEmpty());  // not a "Controladora" request

    const GoldenCase g = newControladora();
    const ReportText rg = compose(g.snapshot, g.today);
    EXPECT_TRUE(rg.groupCompanies.startsWith(QStringLiteral("E M P R E S A S   C O N T R O L A D A S\n\n\n")));
    EXPECT_EQ(rg.groupCompanies.count(QStringLiteral("REGISTRO KALTO")), 1);  // the second company has no number
    EXPECT_TRUE(rg.full.contains(rg.groupCompanies + rg.products));

    const ReportText re = compose(extensionIndustrial().snapshot);
    EXPECT_EQ(re.header, QStringLiteral("RUVANA\nSOLICITUD DE AMPLIACIÓN DE PROGRAMA KALTO\n\nDATOS GENERALES"));
    EXPECT_FALSE(re.full.contains(QStringLiteral("DOMICILIO DE PLANTA")));
    EXPECT_FALSE(re.full.contains(QStringLiteral("NO SE IMPRIME")));
}

TEST(ApplicationReport, NoProcedureChosen) {
    // Neither list has a selection: the extension's layout, the export products described by text.
    ReportSnapshot s = header(-1, -1);
    s.registrationYear = QStringLiteral("2015");
    s.plants = newIndustrial().snapshot.plants;
    s.services = {{n(1), t("SERVICIO SIN TRÁMITE")}};
    s.annexes = {{n(1), n(1), t("DESCRIPCIÓN"), t("12345678"), n(0)}, {n(2), n(1), null(), t("87654321"), n(0)}};
    const ReportText r = compose(s);
    EXPECT_TRUE(r.header.contains(QStringLiteral("SOLICITUD DE AMPLIACIÓN DE PROGRAMA KALTO")));
    EXPECT_TRUE(r.full.contains(QStringLiteral("\nTIPO DE TRAMITE:            REGISTRO KALTO :2015\n")));
    EXPECT_TRUE(r.full.contains(QStringLiteral("\nRAZON SOCIAL\nSECTOR\n\n\nP R O D U C T O S")));
    EXPECT_FALSE(r.full.contains(QStringLiteral("MODALIDAD DEL PROGRAMA")));
    EXPECT_FALSE(r.full.contains(QStringLiteral("DOMICILIO DE PLANTA")));
    EXPECT_FALSE(r.full.contains(QStringLiteral("S E R V I C I O S")));  // only for an extension or "Servicios"
    EXPECT_TRUE(r.annexes.contains(QString(30, ' ') + QStringLiteral("1     DESCRIPCIÓN\n") + QString(30, ' ') +
                                   QStringLiteral("2     87654321\n")));
}

TEST(ApplicationReport, AnnexValuesAreTheStoredFields) {
    // A service's export product holds the tariff item "null": it prints as stored unless the
    // programme is described by text. A container or tool without tariff item prints its
    // description; one with neither prints nothing after its number.
    ReportSnapshot s = header(0, 0);
    s.annexes = {{n(1), n(1), t("SERVICIO"), t("null"), n(0)},
                 {n(2), n(2), t("TAMBO"), QVariant(), n(0)},
                 {n(3), n(3), QVariant(), QVariant(), n(0)}};
    const ReportText r = compose(s);
    EXPECT_TRUE(r.annexes.contains(QString(30, ' ') + QStringLiteral("1     null\n")));
    EXPECT_TRUE(r.annexes.contains(QStringLiteral("Contenedores\n") + QString(30, ' ') + QStringLiteral("1     TAMBO\n")));
    EXPECT_TRUE(r.annexes.contains(QStringLiteral("Herramientas\n") + QString(30, ' ') + QStringLiteral("1     \n")));
}

TEST(ApplicationReport, AnnexKindWithoutGroupStopsTheComposition) {
    ReportSnapshot s = newIndustrial().snapshot;
    s.annexes.append({n(11), n(5), t("OTRO"), t("99999999"), n(0)});
    ReportText r;
    QString error;
    EXPECT_FALSE(FormateaInf(s, QDate(2024, 3, 5), &r, &error));
    EXPECT_TRUE(error.contains(QLatin1String("5")));
    EXPECT_TRUE(r.full.isEmpty());
    EXPECT_FALSE(r.header.isEmpty());
    EXPECT_FALSE(r.products.isEmpty());

    // Kinds 0, negative or empty are left out of the annexes without stopping anything.
    s.annexes.removeLast();
    s.annexes.append({n(12), n(0), t("CERO"), t("11111111"), n(0)});
    s.annexes.append({n(13), n(-2), t("NEGATIVO"), t("22222222"), n(0)});
    ASSERT_TRUE(FormateaInf(s, QDate(2024, 3, 5), &r, &error));
    EXPECT_EQ(r.full.toUtf8(), readGolden("nuevo_industrial.txt"));
}

TEST(ApplicationReport, DateLineInSpanishWhateverTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* const months[] = {"enero", "febrero", "marzo",      "abril",   "mayo",      "junio",
                                  "julio", "agosto",  "septiembre", "octubre", "noviembre", "diciembre"};
    const ReportSnapshot s = header(0, 0);
    for (int m = 1; m <= 12; ++m) {
        const QDate day(2031, m, m == 2 ? 28 : 5 + m);
        const ReportText r = compose(s, day);
        const QString line = QString(110, ' ') + QStringLiteral("FECHA %1 DE %2 DE 2031.").arg(day.day())
                                                     .arg(QString::fromLatin1(months[m - 1]));
        EXPECT_TRUE(r.closing.contains(QLatin1Char('\n') + line + QString(6, QLatin1Char('\n')))) << m;
    }
    QLocale::setDefault(saved);
}

TEST(ReportSnapshot, RowsReadFromTheTablesGiveTheSameForm) {
    TestFolder folder;
    Database db;
    QString error;
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    const GoldenCase c = newIndustrial();
    const ReportSnapshot& s = c.snapshot;
    auto insert = [&](const char* table, const QVariantList& row) {
        QStringList marks;
        for (int i = 0; i < row.size(); ++i) marks << QStringLiteral("?");
        ASSERT_TRUE(db.execute(QStringLiteral("insert into %1 values (%2)").arg(QLatin1String(table), marks.join(',')),
                               row, &error))
            << table << ": " << error.toStdString();
    };
    // Rows of other kinds between them: the addresses and companies of related companies.
    insert("imdir", s.plants[0]);
    insert("imdir", {t("FC"), t("DOMICILIO DE OTRA EMPRESA"), null(), null(), null(), null(), null(), null(), null(),
                     null(), t("OTR010101AA1")});
    insert("imdir", s.fiscalAddresses[0]);
    insert("imdir", s.plants[1]);
    for (const auto* rows : {&s.submanufacturingCompanies, &s.controlledCompanies, &s.outsourcingCompanies})
        for (const QVariantList& row : *rows) insert("impects", row);
    for (const QVariantList& row : s.services) insert("imserv", row);
    for (const QVariantList& row : s.products) insert("improd", row);
    for (const QVariantList& row : s.annexes) insert("imanexos", row);
    insert("imrlegal", s.legalRepresentative);

    ReportSnapshot loaded;
    ASSERT_TRUE(loadReportRows(db, loaded, &error)) << error.toStdString();
    EXPECT_EQ(loaded.fiscalAddresses.size(), 1);
    EXPECT_EQ(loaded.plants.size(), 2);
    EXPECT_EQ(loaded.controlledCompanies.size(), 1);
    EXPECT_EQ(loaded.serviceCompanies.size(), 0);
    for (ReportSnapshot* h : {&loaded}) {
        h->procedure = s.procedure;
        h->procedureText = s.procedureText;
        h->modality = s.modality;
        h->modalityText = s.modalityText;
        h->sectorText = s.sectorText;
        h->rfc = s.rfc;
        h->companyName = s.companyName;
        h->prevention = s.prevention;
        h->folioYear = s.folioYear;
        h->folioNumber = s.folioNumber;
    }
    const QByteArray got = compose(loaded, c.today).full.toUtf8();
    EXPECT_EQ(got, readGolden(c.golden)) << firstDifference(got, readGolden(c.golden));
}

TEST(ReportSnapshot, HeaderFromTheStoredRequest) {
    TestFolder folder;
    Database db;
    QString error;
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    struct Case { QVariant idtra, idmoda, sector; int procedure, modality; const char* sectorText; };
    const Case cases[] = {
        {null(), null(), null(), 0, 0, ""},
        {n(4), n(3), n(2), 0, 3, "INDUSTRIA ELECTRÓNICA"},
        {n(5), n(1), n(1), 0, 1, "INDUSTRIA ELÉCTRICA"},
        {n(2), n(9), n(999), 1, 4, ""},  // a code beyond the list shows its last entry; an unknown sector none
        {n(3), n(2), null(), 1, 2, ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(db.execute(QStringLiteral("update imdint set idtra = ?, idmoda = ?, idsectorm = ?, rfc = ' ABC010101AB1', "
                                              "apepatraz = 'NOMBRE Ñ', numekalto = '45', aniokalto = '2009', "
                                              "dprev = ?, numefola = '12', aniofola = '2010'"),
                               {c.idtra, c.idmoda, c.sector, QVariant(c.procedure == 1)}, &error))
            << error.toStdString();
        ReportSnapshot s;
        ASSERT_TRUE(loadReportHeader(db, s, &error)) << error.toStdString();
        EXPECT_EQ(s.procedure, c.procedure);
        EXPECT_EQ(s.modality, c.modality);
        EXPECT_EQ(s.procedureText, c.procedure == 0 ? QStringLiteral("Programa Nuevo") : QStringLiteral("Ampliación"));
        EXPECT_EQ(s.sectorText, QString::fromUtf8(c.sectorText));
        EXPECT_EQ(s.rfc, QStringLiteral(" ABC010101AB1"));
        EXPECT_EQ(s.companyName, QStringLiteral("NOMBRE Ñ"));
        EXPECT_EQ(s.registrationYear + s.registrationNumber, QStringLiteral("200945"));
        EXPECT_EQ(s.prevention, c.procedure == 1);
        EXPECT_EQ(s.folioYear + s.folioNumber, QStringLiteral("201012"));
    }
    EXPECT_EQ(header(3, 2).modalityText, QStringLiteral("Terciarización"));
}

TEST(Considerations, FileFoundAndDecoded) {
    QTemporaryDir dir;
    EXPECT_EQ(considerationsFile(dir.path()), dir.filePath(QStringLiteral("CONSIDERA.TXT")));
    QFile f(dir.filePath(QStringLiteral("considera.txt")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("A\xD1O \xC9XITO\r\nsegunda\rtercera");  // Windows-1252, CR LF and CR
    f.close();
    EXPECT_EQ(considerationsFile(dir.path()), f.fileName());
    QString text;
    ASSERT_TRUE(readTextFile(f.fileName(), &text));
    EXPECT_EQ(text, QStringLiteral("AÑO ÉXITO\nsegunda\ntercera"));

    EXPECT_EQ(decodeText(QByteArray("\xEF\xBB\xBF" "A\xC3\x91O")), QStringLiteral("AÑO"));
    EXPECT_EQ(decodeText(QByteArray("A\xC3\x91O \xE2\x82\xAC")), QStringLiteral("AÑO €"));
    EXPECT_EQ(decodeText(QByteArray("\x80 \x93x\x94")), QStringLiteral("€ “x”"));
    EXPECT_FALSE(readTextFile(dir.filePath(QStringLiteral("no-existe.txt")), &text));
}

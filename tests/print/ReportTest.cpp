// The printed application: golden files written from the layout of the form (their dates
// spanning the twelve months), and the rows read from the tables.

#include "data/Database.h"
#include "print/FormateaInf.h"
#include "print/Snapshots.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;
using namespace kalto::test;

namespace {

QString compose(const ReportSnapshot& s, const QDate& today = QDate(2024, 3, 5)) {
    ReportText r;
    EXPECT_TRUE(FormateaInf(s, today, &r));
    return r.full;
}

}  // namespace

TEST(ApplicationReport, GoldenFiles) {
    const bool update = !qEnvironmentVariableIsEmpty("KALTO_UPDATE_GOLDEN");
    const QList<GoldenCase> cases = goldenCases();
    ASSERT_EQ(cases.size(), 12);
    for (const GoldenCase& c : cases) {
        const QByteArray got = compose(c.snapshot, c.today).toUtf8();
        if (QFile f(goldenPath(c.golden)); update && f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(got);
        EXPECT_EQ(got.toStdString(), readGolden(c.golden).toStdString()) << c.golden.toStdString();
    }
}

TEST(ReportSnapshot, EachListIsReadFromItsOwnSource) {
    TestFolder folder;
    Database db;
    QString error;
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    // Rows of every kind, each with its own name; the addresses of a related company among them.
    const char* const statements[] = {
        "insert into imdir (IDDIR, CALLEYNO) values ('PL', 'PLANTA 1'), ('FC', 'OTRA'), ('FL', 'FISCAL'), ('PL', 'PLANTA 2')",
        "insert into impects (RSOCIAL, IDMCTS) values ('SUBMANUFACTURA', 'M'), ('CONTROLADA', 'C'), "
        "('TERCIARIZACION', 'T'), ('SERVIDA', 'S'), ('TERCIARIZACION 2', 'T')",
        "insert into imserv (IDSERV, SERVICIO) values (3, 'SERVICIO')",
        "insert into improd (ID_PROD, FRACCION) values (1, 'PRODUCTO')",
        "insert into imanexos (ID_PROD, DESCRIP) values (2, 'ANEXO 1'), (1, 'ANEXO 2')",
        "insert into imrlegal (NOMREPLEG) values ('REPRESENTANTE'), ('OTRO')"};
    for (const char* sql : statements) ASSERT_TRUE(db.execute(QString::fromUtf8(sql), {}, &error)) << error.toStdString();
    ReportSnapshot s;
    ASSERT_TRUE(loadReportRows(db, s, &error)) << error.toStdString();
    QString names;
    for (const auto& [rows, column] : {std::pair{&s.fiscalAddresses, 1}, {&s.plants, 1}, {&s.controlledCompanies, 0},
                                       {&s.outsourcingCompanies, 0}, {&s.serviceCompanies, 0},
                                       {&s.submanufacturingCompanies, 0}, {&s.services, 1}, {&s.products, 1},
                                       {&s.annexes, 2}})
        for (const QVariantList& row : *rows) names += row.value(column).toString() + (&row == &rows->last() ? "; " : " ");
    EXPECT_EQ(names + s.legalRepresentative.value(0).toString(),
              QStringLiteral("FISCAL; PLANTA 1 PLANTA 2; CONTROLADA; TERCIARIZACION TERCIARIZACION 2; SERVIDA; "
                             "SUBMANUFACTURA; SERVICIO; PRODUCTO; ANEXO 1 ANEXO 2; REPRESENTANTE"));

    // The outsourcing companies read from the tables are those the form prints.
    s.procedure = 0;
    s.modality = 2;
    EXPECT_TRUE(compose(s).contains(QStringLiteral("\nEMPRESA DE TERCIARIZACIÓN : 2\nRAZON SOCIAL         : TERCIARIZACION 2\n")));
}

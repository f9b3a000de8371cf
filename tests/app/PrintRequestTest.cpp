// The request the print window composes from: the header as the window shows it and the rows
// of the window's sources, read again so that statements run behind them are seen.

#include "app/PrintRequest.h"
#include "print/FormateaInf.h"
#include "support/RequestFixture.h"

using namespace kalto;

using PrintRequestTest = test::RequestFixture;

TEST_F(PrintRequestTest, TheSnapshotHoldsWhatTheTablesHoldNow) {
    complete();
    exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, idmcts) values ('CONTROLADA UNO', 'BBB010101BB1', 10, 'C')"));
    estado.modalidad = kControladora;
    // Written behind the sources (as the annex and product bookkeeping does): still printed.
    QString err;
    for (const char* sql : {"update imdir set calleyno = 'INSURGENTES 5' where iddir = 'FL'",
                            "insert into imdir (iddir, calleyno) values ('PL', 'SUR 3')",
                            "insert into imanexos values (3, 1, null, '11111111', 0)"})
        ASSERT_TRUE(db.execute(QString::fromLatin1(sql), {}, &err)) << err.toStdString();

    ReportSnapshot s;
    const QVariantList rep{QStringLiteral("ANA"), QStringLiteral("PEREZ"), QStringLiteral("LOPEZ"),
                           QStringLiteral("5552"), QStringLiteral("DIRECTORA"), QStringLiteral("ana@b.mx")};
    ASSERT_TRUE(fillReportSnapshot(*fuentes, estado, {QStringLiteral("Programa Nuevo"), QStringLiteral("Controladora"),
                                                      QStringLiteral("TEXTIL")}, rep, s, &err)) << err.toStdString();
    EXPECT_TRUE(s.rfc == "AAAA010101AA1" && s.modality == kControladora && s.sectorText == "TEXTIL");
    EXPECT_EQ(s.plants.size(), 2);
    EXPECT_EQ(s.products.size(), 1);
    EXPECT_EQ(s.annexes.size(), 3);
    ReportText text;
    ASSERT_TRUE(FormateaInf(s, QDate(2024, 3, 5), &text, &err)) << err.toStdString();
    for (const char* shown : {"CALLE Y NUMERO   INSURGENTES 5", "NOMBRE(S) : ANA PEREZ LOPEZ",
                              "RAZON SOCIAL         : CONTROLADA UNO", "DOMICILIO DE PLANTA 2", "11111111"})
        EXPECT_TRUE(text.full.contains(QString::fromUtf8(shown))) << shown;
}

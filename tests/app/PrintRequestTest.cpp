// The request the print window composes from: the header as the window shows it and the rows
// of the window's sources, read again so that statements run behind them are seen.

#include "app/MainDataSources.h"
#include "app/PrintRequest.h"
#include "app/RequestRules.h"
#include "data/Database.h"
#include "print/FormateaInf.h"
#include "support/RecordingMessages.h"
#include "support/RequestFixture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kalto;

using PrintRequestTest = test::RequestFixture;

TEST_F(PrintRequestTest, TheSnapshotHoldsWhatTheTablesHoldNow) {
    QString err;
    MainDataSources& fuentes = *this->fuentes;
    estado.tramite = kProgramaNuevo;
    estado.modalidad = kControladora;
    ASSERT_TRUE(rules->storeField(HeaderField::Rfc, QStringLiteral("AAAA010101AA1")));
    ASSERT_TRUE(rules->storeField(HeaderField::CompanyName, QStringLiteral("EMPRESA DE PRUEBA")));
    for (const char* sql :
         {"insert into imdir (iddir, calleyno, cp) values ('FL', 'REFORMA 1', '06600')",
          "insert into imdir (iddir, calleyno) values ('PL', 'NORTE 2')",
          "insert into impects (rsocial, rfc, montoexp, idmcts) values ('CONTROLADA UNO', 'BBB010101BB1', 10, 'C')",
          "insert into improd (id_prod, fraccion, descprod) values (1, '12345678', 'TELA')",
          "insert into imanexos values (1, 1, null, '12345678', 0)"})
        ASSERT_TRUE(db.execute(QString::fromLatin1(sql), {}, &err)) << err.toStdString();
    // Written behind the sources (as the annex and product bookkeeping does): still printed.
    fuentes.refreshAll();
    ASSERT_TRUE(db.execute(QStringLiteral("update imdir set calleyno = 'INSURGENTES 5' where iddir = 'FL'"), {}, &err));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (iddir, calleyno) values ('PL', 'SUR 3')"), {}, &err));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (2, 1, null, '87654321', 0)"), {}, &err));

    ReportSnapshot s;
    const QVariantList rep{QStringLiteral("ANA"), QStringLiteral("PEREZ"), QStringLiteral("LOPEZ"),
                           QStringLiteral("5552"), QStringLiteral("DIRECTORA"), QStringLiteral("ana@b.mx")};
    ASSERT_TRUE(fillReportSnapshot(fuentes, estado, {QStringLiteral("Programa Nuevo"), QStringLiteral("Controladora"),
                                                     QStringLiteral("TEXTIL")},
                                   rep, s, &err))
        << err.toStdString();
    EXPECT_EQ(s.rfc, QStringLiteral("AAAA010101AA1"));
    EXPECT_EQ(s.modality, kControladora);
    EXPECT_EQ(s.sectorText, QStringLiteral("TEXTIL"));
    ASSERT_EQ(s.fiscalAddresses.size(), 1);
    EXPECT_EQ(s.fiscalAddresses[0].value(1).toString(), QStringLiteral("INSURGENTES 5"));
    EXPECT_EQ(s.plants.size(), 2);
    EXPECT_EQ(s.controlledCompanies.size(), 1);
    EXPECT_EQ(s.products.size(), 1);
    EXPECT_EQ(s.annexes.size(), 2);

    ReportText text;
    ASSERT_TRUE(FormateaInf(s, QDate(2024, 3, 5), &text, &err)) << err.toStdString();
    EXPECT_TRUE(text.full.contains(QStringLiteral("CALLE Y NUMERO   INSURGENTES 5")));
    EXPECT_TRUE(text.full.contains(QStringLiteral("NOMBRE(S) : ANA PEREZ LOPEZ")));
    EXPECT_TRUE(text.full.contains(QStringLiteral("RAZON SOCIAL         : CONTROLADA UNO")));
    EXPECT_TRUE(text.full.contains(QStringLiteral("DOMICILIO DE PLANTA 2")));
    EXPECT_TRUE(text.full.contains(QStringLiteral("87654321")));
}

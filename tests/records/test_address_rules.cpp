// The address grids (the applicant's and a related company's) and the legal representative.

#include "support/RecordingMessages.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "records/AddressRule.h"
#include "records/CompanyAddresses.h"
#include "records/LegalRepresentativeRule.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;

namespace {

class Records : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    }
    void address(const char* kind, const QVariant& rfc = QVariant()) {
        ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (IDDIR, CALLEYNO, RFC) values (?, 'CALLE', ?)"),
                               {QString::fromLatin1(kind), rfc}));
    }
    static GridRow emptyRow(int columns) { return GridRow(QVariantList(columns), true); }
    test::TestFolder folder;
    Database db;
    RecordingMessages messages;
};

const QString kOneFiscal =
    QStringLiteral("Solo puedes ingresar un domicilio fiscal de la empresa. Rectifica por favor");

}  // namespace

TEST_F(Records, LengthLimitsAndCase) {
    // Exactly the maximum is silent; one more gives the column's message and the value stays as typed.
    AddressRule plant(messages, AddressRule::kPlanta);
    LegalRepresentativeRule rep(messages, [] { return 0; });
    struct Limit { GridRule* rule; int column, max; const char* what; };
    const Limit limits[] = {
        {&plant, 0, 100, "La calle"},  {&plant, 1, 5, "El código postal"}, {&plant, 2, 60, "La ciudad"},
        {&plant, 3, 30, "La colonia"}, {&plant, 4, 25, "El teléfono"},     {&plant, 5, 30, "El estado"},
        {&plant, 6, 40, "La delegación o municipio"}, {&plant, 7, 16, "El fax"}, {&plant, 8, 50, "El e-mail"},
        {&rep, 0, 25, "El nombre del representante legal"},  {&rep, 3, 25, "El teléfono"},
        {&rep, 4, 40, "El cargo del representante legal"},  {&rep, 5, 50, "El e-mail"},
    };
    GridRow row = emptyRow(10);
    for (const auto& l : limits) {
        row.setValue(l.column, QString(l.max, QLatin1Char('1')));
        l.rule->cellAccepted(row, l.column);
        row.setValue(l.column, QString(l.max + 1, QLatin1Char('1')));
        l.rule->cellAccepted(row, l.column);
        EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("%1 puede contener como máximo %2 caracteres. Rectifica "
                                                               "por favor").arg(QString::fromUtf8(l.what)).arg(l.max)});
        EXPECT_EQ(row.text(l.column).size(), l.max + 1) << l.what;
        messages.clear();
    }
    // The applicant's postal code need not be numeric.
    row.setValue(1, QStringLiteral("1234A"));
    plant.cellAccepted(row, 1);
    EXPECT_TRUE(messages.entries.isEmpty());
    // Case while typing: names upper, e-mail lower, telephone as typed.
    struct Case { GridRule* rule; int column; const char *typed, *shown; };
    const Case cases[] = {{&plant, 3, "col. ñandú", "COL. ÑANDÚ"}, {&plant, 8, "VENTAS@ALFA.MX", "ventas@alfa.mx"},
                          {&plant, 4, "ext abc", "ext abc"},       {&rep, 4, "director", "DIRECTOR"},
                          {&rep, 5, "JUAN@ALFA.MX", "juan@alfa.mx"},
                          // µ and ƒ have no capital the tables can hold: they stay as typed.
                          {&plant, 0, "calle µ 5 ƒ", "CALLE µ 5 ƒ"}};
    for (const auto& c : cases) {
        QString text = QString::fromUtf8(c.typed);
        c.rule->textChanged(row, c.column, text);
        EXPECT_EQ(text, QString::fromUtf8(c.shown));
    }
}

TEST_F(Records, OneFiscalAddressAndOneRepresentative) {
    DataSource fiscal(QStringLiteral("dtsDireccion"), &db, AddressRule::recordSource(AddressRule::kFiscal));
    DataSource rep(QStringLiteral("dtsRepLegal"), &db, LegalRepresentativeRule::kRecordSource);
    AddressRule fiscalRule(messages, AddressRule::kFiscal, [&] { return fiscal.recordSet().count(); });
    LegalRepresentativeRule repRule(messages, [&] { return rep.recordSet().count(); });
    // Plants and related-company addresses do not count as the fiscal address.
    address("PL");
    address("FC", QStringLiteral(" ABC010101XY1"));
    ASSERT_TRUE(fiscal.refresh() && rep.refresh());
    GridRow row = emptyRow(10);
    fiscalRule.newRow(row);
    EXPECT_EQ(row.text(9), QStringLiteral("FL"));
    EXPECT_TRUE(fiscalRule.beforeInsert(row) && repRule.beforeInsert(row));
    EXPECT_TRUE(messages.entries.isEmpty());
    address("FL");
    address("PL");
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imrlegal (NOMREPLEG) values ('ANA')")));
    ASSERT_TRUE(fiscal.refresh() && rep.refresh());
    EXPECT_FALSE(fiscalRule.beforeInsert(row) || repRule.beforeInsert(row));
    EXPECT_EQ(messages.texts(), (QStringList{kOneFiscal, QStringLiteral("Solo puedes ingresar un representante legal. "
                                                                        "Rectifica por favor")}));
}

TEST_F(Records, RelatedCompanyAddresses) {
    const QString rfcA = QStringLiteral(" O'H010101AB1");  // a quote never breaks the statement
    const CompanyAddressKind kind = companyAddressKind(CompanyKind::Outsourcing);
    DataSource fiscal(QStringLiteral("dtsFiscalEC"), &db, QString());
    fiscal.setRecordSource(kCompanyAddressSource, companyAddressParams(kind.fiscalCode, rfcA));
    address("FT", rfcA);
    address("FT", QStringLiteral(" BBB020202BB2"));
    address("PT", rfcA);
    address("FS", rfcA);
    ASSERT_TRUE(fiscal.refresh());
    ASSERT_EQ(fiscal.recordSet().count(), 1);  // the other company's and the other kinds' addresses are not shown
    // New rows carry the kind code and the company's RFC; one fiscal address per company.
    CompanyAddressRule fiscalRule(messages, kind.fiscalCode, rfcA, [&] { return fiscal.recordSet().count(); });
    CompanyAddressRule plantRule(messages, kind.plantCode, rfcA);
    GridRow row = emptyRow(11);
    plantRule.newRow(row);
    EXPECT_EQ(row.text(9), QStringLiteral("PT"));
    EXPECT_EQ(row.text(10), rfcA);
    EXPECT_FALSE(fiscalRule.beforeInsert(row));
    EXPECT_EQ(messages.texts(), QStringList{kOneFiscal});
    // Postal code: a number of at most 5 characters; anything else is announced and emptied.
    const QString notNumeric = QStringLiteral("El código postal debe ser númerico. Rectifica por favor");
    struct Case { QVariant typed; QString message, left; };
    const Case cases[] = {
        {QStringLiteral("1234A"), notNumeric, {}}, {QString(), notNumeric, {}},
        {QStringLiteral("123456"), QStringLiteral("El código postal puede contener como máximo 5 caracteres. "
                                                  "Rectifica por favor"), {}},
        {QStringLiteral(" 44100 "), {}, QStringLiteral("44100")},
    };
    for (const auto& c : cases) {
        messages.clear();
        row.setValue(1, c.typed);
        plantRule.cellAccepted(row, 1);
        EXPECT_EQ(messages.texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(row.text(1), c.left) << c.typed.toString().toStdString();
    }
    // No window without a selected company, nor under a blank RFC or the "0" a rejected one leaves.
    messages.clear();
    EXPECT_FALSE(canShowCompanyAddresses(QString(), rfcA, messages));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Debes seleccionar una empresa para verificar su "
                                                           "información de domicilio fiscal y de plantas.")});
    for (const char* rfc : {"  ", "0"}) EXPECT_FALSE(canShowCompanyAddresses("ALFA", rfc, messages)) << rfc;
    for (const char* rfc : {"ABCD010101XY1", " ABC010101XY1"})
        EXPECT_TRUE(canShowCompanyAddresses("ALFA", rfc, messages)) << rfc;
    EXPECT_EQ(messages.entries.size(), 3);
}

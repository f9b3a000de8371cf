// The address grids (the applicant's and a related company's) and the legal representative.

#include "app/rules/RecordingMessages.h"
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
    void exec(const QString& sql, const QVariantList& params = {}) {
        QString error;
        ASSERT_TRUE(db.execute(sql, params, &error)) << sql.toStdString() << ": " << error.toStdString();
    }
    void address(const QString& kind, const QString& street, const QVariant& rfc = QVariant()) {
        exec(QStringLiteral("insert into imdir (IDDIR, CALLEYNO, RFC) values (?, ?, ?)"), {kind, street, rfc});
    }
    static GridRow emptyRow(int columns) {
        QVariantList values;
        for (int i = 0; i < columns; ++i) values << QVariant();
        return GridRow(values, true);
    }

    test::TestFolder folder;
    Database db;
    RecordingMessages messages;
};

const QString kOneFiscal = QStringLiteral("Solo puedes ingresar un domicilio fiscal de la empresa. Rectifica por favor");

}  // namespace

TEST_F(Records, AddressColumnsLimitsAndCase) {
    const auto columns = AddressRule::columns();
    ASSERT_EQ(columns.size(), 10);
    EXPECT_EQ(columns[0].caption, QStringLiteral("Calle y No."));
    EXPECT_EQ(columns[6].caption, QStringLiteral("Delegación / Municipio"));
    EXPECT_EQ(columns[9].field, QStringLiteral("IDDIR"));
    // Every field named exists in imdir.
    for (const auto& c : CompanyAddressRule::columns())
        EXPECT_GE(db.table(QStringLiteral("imdir"))->fieldIndex(c.field), 0) << c.field.toStdString();

    // Each limited column: exactly the maximum is silent, one more gives its message and
    // the value stays as typed.
    const struct {
        int column;
        int max;
        const char* message;
    } limits[] = {
        {0, 100, "La calle puede contener como máximo 100 caracteres. Rectifica por favor"},
        {1, 5, "El código postal puede contener como máximo 5 caracteres. Rectifica por favor"},
        {2, 60, "La ciudad puede contener como máximo 60 caracteres. Rectifica por favor"},
        {3, 30, "La colonia puede contener como máximo 30 caracteres. Rectifica por favor"},
        {4, 25, "El teléfono puede contener como máximo 25 caracteres. Rectifica por favor"},
        {5, 30, "El estado puede contener como máximo 30 caracteres. Rectifica por favor"},
        {6, 40, "La delegación o municipio puede contener como máximo 40 caracteres. Rectifica por favor"},
        {7, 16, "El fax puede contener como máximo 16 caracteres. Rectifica por favor"},
        {8, 50, "El e-mail puede contener como máximo 50 caracteres. Rectifica por favor"},
    };
    AddressRule plant(messages, AddressRule::kPlanta);
    for (const auto& l : limits) {
        GridRow row = emptyRow(10);
        row.setValue(l.column, QString(l.max, QLatin1Char('1')));
        plant.cellAccepted(row, l.column);
        EXPECT_TRUE(messages.entries.isEmpty()) << l.column;
        const QString longer(l.max + 1, QLatin1Char('1'));
        row.setValue(l.column, longer);
        plant.cellAccepted(row, l.column);
        EXPECT_EQ(messages.texts(), QStringList{QString::fromUtf8(l.message)}) << l.column;
        EXPECT_EQ(row.text(l.column), longer);
        messages.clear();
    }
    // The applicant's postal code need not be numeric.
    GridRow row = emptyRow(10);
    row.setValue(1, QStringLiteral("1234A"));
    plant.cellAccepted(row, 1);
    EXPECT_TRUE(messages.entries.isEmpty());
    EXPECT_EQ(row.text(1), QStringLiteral("1234A"));

    // Case while typing: names upper, e-mail lower, telephone as typed.
    QString text = QStringLiteral("col. centro");
    plant.textChanged(row, 3, text);
    EXPECT_EQ(text, QStringLiteral("COL. CENTRO"));
    text = QStringLiteral("VENTAS@ALFA.MX");
    plant.textChanged(row, 8, text);
    EXPECT_EQ(text, QStringLiteral("ventas@alfa.mx"));
    text = QStringLiteral("ext abc");
    plant.textChanged(row, 4, text);
    EXPECT_EQ(text, QStringLiteral("ext abc"));
    // A pasted value gets the same case when accepted.
    row.setValue(8, QStringLiteral("A@B.MX"));
    plant.cellAccepted(row, 8);
    EXPECT_EQ(row.text(8), QStringLiteral("a@b.mx"));

    // New rows carry the grid's kind code.
    plant.newRow(row);
    EXPECT_EQ(row.text(9), QStringLiteral("PL"));
    AddressRule fiscal(messages, AddressRule::kFiscal, [] { return 0; });
    fiscal.newRow(row);
    EXPECT_EQ(row.text(9), QStringLiteral("FL"));
}

TEST_F(Records, OneFiscalAddressForTheApplicant) {
    DataSource fiscal(QStringLiteral("dtsDireccion"), &db, AddressRule::recordSource(AddressRule::kFiscal));
    DataSource plants(QStringLiteral("dtsPlanta"), &db, AddressRule::recordSource(AddressRule::kPlanta));
    AddressRule fiscalRule(messages, AddressRule::kFiscal, [&] { return fiscal.recordSet().count(); });
    AddressRule plantRule(messages, AddressRule::kPlanta);

    // Plants and related-company addresses do not count as a fiscal address.
    address(QStringLiteral("PL"), QStringLiteral("PLANTA 1"));
    address(QStringLiteral("FC"), QStringLiteral("CONTROLADA"), QStringLiteral(" ABC010101XY1"));
    ASSERT_TRUE(fiscal.refresh());
    ASSERT_TRUE(plants.refresh());
    EXPECT_EQ(plants.recordSet().count(), 1);
    GridRow row = emptyRow(10);
    fiscalRule.newRow(row);
    EXPECT_TRUE(fiscalRule.beforeInsert(row));
    EXPECT_TRUE(messages.entries.isEmpty());

    address(QStringLiteral("FL"), QStringLiteral("FISCAL"));
    ASSERT_TRUE(fiscal.refresh());
    ASSERT_EQ(fiscal.recordSet().count(), 1);
    EXPECT_FALSE(fiscalRule.beforeInsert(row));
    EXPECT_EQ(messages.texts(), QStringList{kOneFiscal});
    EXPECT_EQ(row.text(9), QStringLiteral("FL"));  // the row is left for the user
    // Changing the stored fiscal address is not an insertion; plants take any number.
    messages.clear();
    EXPECT_TRUE(fiscalRule.beforeUpdate(row));
    address(QStringLiteral("PL"), QStringLiteral("PLANTA 2"));
    ASSERT_TRUE(plants.refresh());
    EXPECT_TRUE(plantRule.beforeInsert(row));
    EXPECT_TRUE(messages.entries.isEmpty());
}

TEST_F(Records, LegalRepresentative) {
    DataSource rep(QStringLiteral("dtsRepLegal"), &db, LegalRepresentativeRule::kRecordSource);
    LegalRepresentativeRule rule(messages, [&] { return rep.recordSet().count(); });
    const auto columns = LegalRepresentativeRule::columns();
    ASSERT_EQ(columns.size(), 6);
    for (const auto& c : columns)
        EXPECT_GE(db.table(QStringLiteral("imrlegal"))->fieldIndex(c.field), 0) << c.field.toStdString();
    EXPECT_EQ(columns[4].caption, QStringLiteral("Cargo / Puesto"));

    GridRow row = emptyRow(6);
    row.setValue(0, QString(25, QLatin1Char('N')));
    rule.cellAccepted(row, 0);
    EXPECT_TRUE(messages.entries.isEmpty());
    row.setValue(0, QString(26, QLatin1Char('N')));
    rule.cellAccepted(row, 0);
    row.setValue(4, QString(41, QLatin1Char('C')));
    rule.cellAccepted(row, 4);
    row.setValue(5, QString(51, QLatin1Char('m')));
    rule.cellAccepted(row, 5);
    EXPECT_EQ(messages.texts(),
              (QStringList{QStringLiteral("El nombre del representante legal puede contener como máximo 25 caracteres. "
                                          "Rectifica por favor"),
                           QStringLiteral("El cargo del representante legal puede contener como máximo 40 caracteres. "
                                          "Rectifica por favor"),
                           QStringLiteral("El e-mail puede contener como máximo 50 caracteres. Rectifica por favor")}));
    EXPECT_EQ(row.text(4).size(), 41);

    QString text = QStringLiteral("JUAN@ALFA.MX");
    rule.textChanged(row, 5, text);
    EXPECT_EQ(text, QStringLiteral("juan@alfa.mx"));
    text = QStringLiteral("director general");
    rule.textChanged(row, 4, text);
    EXPECT_EQ(text, QStringLiteral("DIRECTOR GENERAL"));

    // One representative only.
    messages.clear();
    ASSERT_TRUE(rep.refresh());
    EXPECT_TRUE(rule.beforeInsert(row));
    exec(QStringLiteral("insert into imrlegal (NOMREPLEG, MAIL) values (?, ?)"),
         {QStringLiteral("ANA"), QStringLiteral("ana@alfa.mx")});
    ASSERT_TRUE(rep.refresh());
    EXPECT_FALSE(rule.beforeInsert(row));
    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("Solo puedes ingresar un representante legal. Rectifica por favor")});
}

TEST_F(Records, RelatedCompanyAddresses) {
    const QString rfcA = QStringLiteral(" O'H010101AB1");  // a quote never breaks the statement
    const QString rfcB = QStringLiteral(" BBB020202BB2");
    const CompanyAddressKind kind = companyAddressKind(CompanyKind::Outsourcing);
    EXPECT_EQ(kind.fiscalCode, QStringLiteral("FT"));
    EXPECT_EQ(kind.plantCode, QStringLiteral("PT"));
    EXPECT_EQ(companyAddressKind(CompanyKind::Controlled).plantCode, QStringLiteral("PC"));
    EXPECT_EQ(companyAddressKind(CompanyKind::Submanufacturing).fiscalCode, QStringLiteral("FS"));
    EXPECT_EQ(companyAddressCaption(CompanyKind::Controlled, QStringLiteral("ALFA"), rfcB),
              QStringLiteral("Empresa Controlada : ALFA - RFC :  BBB020202BB2"));

    DataSource fiscal(QStringLiteral("dtsFiscalEC"), &db, QString());
    fiscal.setRecordSource(kCompanyAddressSource, companyAddressParams(kind.fiscalCode, rfcA));
    DataSource plants(QStringLiteral("dtsPlantaEC"), &db, QString());
    plants.setRecordSource(kCompanyAddressSource, companyAddressParams(kind.plantCode, rfcA));

    address(QStringLiteral("FT"), QStringLiteral("FISCAL A"), rfcA);
    address(QStringLiteral("FT"), QStringLiteral("FISCAL B"), rfcB);
    address(QStringLiteral("PT"), QStringLiteral("PLANTA A"), rfcA);
    address(QStringLiteral("PS"), QStringLiteral("SUBMANUFACTURA A"), rfcA);
    address(QStringLiteral("PL"), QStringLiteral("PROPIA"));
    QString error;
    ASSERT_TRUE(fiscal.refresh(&error)) << error.toStdString();
    ASSERT_TRUE(plants.refresh(&error)) << error.toStdString();
    ASSERT_EQ(fiscal.recordSet().count(), 1);
    EXPECT_EQ(fiscal.recordSet().valueAt(0, fiscal.recordSet().columnIndex(QStringLiteral("CALLEYNO"))).toString(),
              QStringLiteral("FISCAL A"));
    ASSERT_EQ(plants.recordSet().count(), 1);
    EXPECT_EQ(plants.recordSet().valueAt(0, plants.recordSet().columnIndex(QStringLiteral("RFC"))).toString(), rfcA);

    // New rows: the kind code and the company's RFC.
    CompanyAddressRule fiscalRule(messages, kind.fiscalCode, rfcA, [&] { return fiscal.recordSet().count(); });
    CompanyAddressRule plantRule(messages, kind.plantCode, rfcA);
    ASSERT_EQ(CompanyAddressRule::columns().size(), 11);
    EXPECT_EQ(CompanyAddressRule::columns()[10].field, QStringLiteral("RFC"));
    GridRow row = emptyRow(11);
    plantRule.newRow(row);
    EXPECT_EQ(row.text(9), QStringLiteral("PT"));
    EXPECT_EQ(row.text(10), rfcA);

    // One fiscal address per company: refused for A, accepted for another company.
    EXPECT_FALSE(fiscalRule.beforeInsert(row));
    EXPECT_EQ(messages.texts(), QStringList{kOneFiscal});
    messages.clear();
    fiscal.setRecordSource(kCompanyAddressSource, companyAddressParams(kind.fiscalCode, QStringLiteral(" CCC030303CC3")));
    ASSERT_TRUE(fiscal.refresh());
    EXPECT_TRUE(fiscalRule.beforeInsert(row));
    EXPECT_TRUE(plantRule.beforeInsert(row));
    EXPECT_TRUE(messages.entries.isEmpty());

    // Postal code: a number of at most 5 characters; anything else is announced and emptied.
    const QString notNumeric = QStringLiteral("El código postal debe ser númerico. Rectifica por favor");
    const QString tooLong = QStringLiteral("El código postal puede contener como máximo 5 caracteres. Rectifica por favor");
    const struct {
        QVariant typed;
        QString message;
        QString left;
    } cases[] = {
        {QStringLiteral("1234A"), notNumeric, QString()},
        {QStringLiteral("123456"), tooLong, QString()},
        {QString(), notNumeric, QString()},
        {QStringLiteral("01234"), QString(), QStringLiteral("01234")},
        {QStringLiteral(" 44100 "), QString(), QStringLiteral("44100")},
    };
    for (const auto& c : cases) {
        messages.clear();
        row.setValue(1, c.typed);
        plantRule.cellAccepted(row, 1);
        EXPECT_EQ(messages.texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message})
            << c.typed.toString().toStdString();
        EXPECT_EQ(row.text(1), c.left) << c.typed.toString().toStdString();
    }
    // The other columns warn as in the applicant's grids and keep the value.
    messages.clear();
    row.setValue(3, QString(31, QLatin1Char('C')));
    plantRule.cellAccepted(row, 3);
    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("La colonia puede contener como máximo 30 caracteres. Rectifica por favor")});
    EXPECT_EQ(row.text(3).size(), 31);
    messages.clear();
    plantRule.cellAccepted(row, 10);
    plantRule.cellAccepted(row, 9);
    EXPECT_TRUE(messages.entries.isEmpty());
}

TEST_F(Records, OpeningNeedsASelectedCompanyWithRfc) {
    EXPECT_FALSE(canShowCompanyAddresses(QString(), QStringLiteral(" ABC010101XY1"), messages));
    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("Debes seleccionar una empresa para verificar su información de domicilio "
                                         "fiscal y de plantas.")});
    messages.clear();
    // Addresses stored without the company's RFC could never be shown again.
    EXPECT_FALSE(canShowCompanyAddresses(QStringLiteral("ALFA"), QStringLiteral("  "), messages));
    EXPECT_EQ(messages.entries.size(), 1);
    messages.clear();
    // Nor under the 0 a rejected RFC leaves, which every such company would share.
    EXPECT_FALSE(canShowCompanyAddresses(QStringLiteral("ALFA"), QStringLiteral("0"), messages));
    EXPECT_EQ(messages.entries.size(), 1);
    messages.clear();
    EXPECT_TRUE(canShowCompanyAddresses(QStringLiteral("ALFA"), QStringLiteral("ABCD010101XY1"), messages));
    EXPECT_TRUE(messages.entries.isEmpty());
    EXPECT_TRUE(canShowCompanyAddresses(QStringLiteral("ALFA"), QStringLiteral(" ABC010101XY1"), messages));
    EXPECT_TRUE(messages.entries.isEmpty());
}

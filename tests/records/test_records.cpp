// The record grids: addresses (the applicant's and a related company's), the legal
// representative, and the related companies (controlled, outsourcing, submanufacturing, served).

#include "data/DataSource.h"
#include "data/Database.h"
#include "records/AddressRule.h"
#include "records/CompanyAddresses.h"
#include "records/CompanyRules.h"
#include "records/LegalRepresentativeRule.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;

namespace {

struct Records : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(folder.open(db)); }
    test::TestFolder folder;
    Database db;
    RecordingMessages messages;
    GridRow row{QVariantList(11), true};
};

QString rectifica(const char* text) { return QString::fromUtf8(text) + QStringLiteral(" Rectifica por favor"); }
const QString kYear2006 = rectifica("El año del programa KALTO debe ser igual o superior a 2006.");
const QString kPercent =
    rectifica("El porcentaje de participación con respecto a la empresa controlada no debe exceder el 100%.");

// Accepts `value` into `column` of a new row of the grid: the messages shown and the value left
// ("0" after a failed check: the number in a numeric column, the text in a text one).
std::pair<QStringList, QString> accept(const CompanyGrid& grid, int column, const QVariant& value) {
    RecordingMessages m;
    CompanyRule rule(m, grid);
    GridRow row(QVariantList(grid.columns.size()), true);
    rule.newRow(row);
    row.setValue(column, value);
    rule.cellAccepted(row, column);
    return {m.texts(), row.text(column) + (row.value(column).typeId() == QMetaType::QString ? "" : "#")};
}

}  // namespace

TEST_F(Records, LengthLimitsAndCase) {
    // Exactly the maximum is silent; one more gives the column's message and the value stays as typed.
    AddressRule plant(messages, AddressRule::kPlanta);
    LegalRepresentativeRule rep(messages, [] { return 0; });
    const struct { GridRule* rule; int column, max; const char* what; } limits[] = {
        {&plant, 0, 100, "La calle"},  {&plant, 1, 5, "El código postal"}, {&plant, 2, 60, "La ciudad"},
        {&plant, 3, 30, "La colonia"}, {&plant, 4, 25, "El teléfono"},     {&plant, 5, 30, "El estado"},
        {&plant, 6, 40, "La delegación o municipio"}, {&plant, 7, 16, "El fax"}, {&plant, 8, 50, "El e-mail"},
        {&rep, 0, 25, "El nombre del representante legal"},  {&rep, 3, 25, "El teléfono"},
        {&rep, 4, 40, "El cargo del representante legal"},  {&rep, 5, 50, "El e-mail"}};
    for (const auto& l : limits) {
        messages.clear();
        for (int size : {l.max, l.max + 1})  // letters: the applicant's postal code need not be numeric
            row.setValue(l.column, QString(size, QLatin1Char('A'))), l.rule->cellAccepted(row, l.column);
        EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("%1 puede contener como máximo %2 caracteres. Rectifica "
                                                               "por favor").arg(QString::fromUtf8(l.what)).arg(l.max)});
        EXPECT_EQ(row.text(l.column).size(), l.max + 1) << l.what;
    }
    // Case while typing: names upper (µ and ƒ, without a capital the tables hold, as typed), e-mail
    // lower, telephone as typed.
    const struct { GridRule* rule; int column; const char *typed, *shown; } cases[] = {
        {&plant, 3, "col. ñandú", "COL. ÑANDÚ"}, {&plant, 8, "VENTAS@ALFA.MX", "ventas@alfa.mx"},
        {&plant, 4, "ext abc", "ext abc"},       {&rep, 4, "director", "DIRECTOR"},
        {&rep, 5, "JUAN@ALFA.MX", "juan@alfa.mx"}, {&plant, 0, "calle µ 5 ƒ", "CALLE µ 5 ƒ"}};
    for (const auto& c : cases) {
        QString text = QString::fromUtf8(c.typed);
        c.rule->textChanged(row, c.column, text);
        EXPECT_EQ(text, QString::fromUtf8(c.shown));
    }
}

TEST_F(Records, TheFiscalSourceAndOneRepresentative) {
    // Plants and related-company addresses are not the applicant's fiscal address.
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (IDDIR, CALLEYNO, RFC) values ('PL', 'P', null), "
                                          "('FC', 'C', ' ABC010101XY1'), ('FL', 'F', null)")));
    DataSource fiscal(QStringLiteral("dtsDireccion"), &db, AddressRule::recordSource(AddressRule::kFiscal));
    ASSERT_TRUE(fiscal.refresh());
    EXPECT_EQ(fiscal.recordSet().count(), 1);
    int stored = 0;
    LegalRepresentativeRule rep(messages, [&stored] { return stored; });
    EXPECT_TRUE(rep.beforeInsert(row));
    stored = 1;
    EXPECT_FALSE(rep.beforeInsert(row));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Solo puedes ingresar un representante legal. Rectifica por favor")});
}

TEST_F(Records, RelatedCompanyAddresses) {
    // Postal code: a number of at most 5 characters; anything else is announced and emptied.
    CompanyAddressRule plantRule(messages, QStringLiteral("PT"), QStringLiteral(" ABC010101XY1"));
    const QString notNumeric = QStringLiteral("El código postal debe ser númerico. Rectifica por favor");
    const struct { QVariant typed; QString message, left; } cases[] = {
        {QStringLiteral("1234A"), notNumeric, {}}, {QString(), notNumeric, {}},
        {QStringLiteral("123456"), QStringLiteral("El código postal puede contener como máximo 5 caracteres. "
                                                  "Rectifica por favor"), {}},
        {QStringLiteral(" 44100 "), {}, QStringLiteral("44100")}};
    for (const auto& c : cases) {
        messages.clear();
        row.setValue(1, c.typed);
        plantRule.cellAccepted(row, 1);
        EXPECT_EQ(messages.texts(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(row.text(1), c.left) << c.typed.toString().toStdString();
    }
    // No window under a blank RFC, the "0" a rejected one leaves or a partial one.
    for (const char* bad : {"  ", "0", "ABC010101XY"}) EXPECT_FALSE(canShowCompanyAddresses("ALFA", bad, messages));
    for (const char* good : {"ABCD010101XY1", " ABC010101XY1"}) EXPECT_TRUE(canShowCompanyAddresses("ALFA", good, messages));
    EXPECT_EQ(messages.texts(), QStringList(3, QStringLiteral("Debes capturar el RFC de la empresa para verificar su "
                                                              "información de domicilio fiscal y de plantas. Rectifica "
                                                              "por favor")));
}

TEST(CompanyRules, NumericColumnsTextOrNumber) {
    const CompanyGrid g = CompanyGrid::controlled();
    const QString notNumeric = rectifica("Debes colocar un valor númerico en esta columna.");
    const struct { int column; double number; QString message; } cases[] = {  // no message: kept; otherwise 0 left
        {2, 999999.99, {}}, {2, 1234567.5, {}},
        {2, 12345678.9, rectifica("El monto de exportación no debe exceder la cantidad de 999999.99.")},
        {3, 9999, {}},      {3, 0, rectifica("El número del programa KALTO debe ser mayor a 0.")},
        {3, 12345, rectifica("El número del programa KALTO no debe exceder los cuatro digitos.")},
        {4, 2006, {}},      {4, 2005, kYear2006},
        {4, 20061, rectifica("El año del programa KALTO no debe exceder los cuatro digitos.")},
        {5, 100, {}},       {5, 100.5, kPercent}, {6, 100, {}}, {6, 100.5, kPercent},
        // Not numeric, empty included: the numeric message, in every numeric column.
        {2, qQNaN(), notNumeric}, {3, qQNaN(), notNumeric}, {4, qQNaN(), notNumeric}, {5, qQNaN(), notNumeric},
        {6, qQNaN(), notNumeric}};
    for (const auto& c : cases) {  // as the number the grid may hand over and as typed text
        const QString typed = qIsNaN(c.number) ? QStringLiteral("12A") : QString::number(c.number, 'g', 10);
        for (const QVariant& v : {qIsNaN(c.number) ? QVariant() : QVariant(c.number), QVariant(typed)}) {
            const auto [messages, left] = accept(g, c.column, v);
            EXPECT_EQ(messages, c.message.isEmpty() ? QStringList() : QStringList{c.message}) << c.column << typed.toStdString();
            EXPECT_EQ(left, c.message.isEmpty() ? v.toString() + (v.typeId() == QMetaType::QString ? "" : "#") : "0#");
        }
    }
    // Blanks are not characters; the served companies' year has the same rule.
    EXPECT_EQ(accept(g, 4, QStringLiteral(" 2010 ")).first + accept(CompanyGrid::serviceCompanies(), 4, 2005).first,
              QStringList{kYear2006});
}

TEST(CompanyRules, NamesAndRfcPerGrid) {
    const CompanyGrid controlled = CompanyGrid::controlled(), outsourcing = CompanyGrid::outsourcing(),
                      sub = CompanyGrid::submanufacturing(), served = CompanyGrid::serviceCompanies();
    const auto length = [](const char* company, const char* lengths) {
        return QStringLiteral("El RFC de la empresa %1 debe contener %2 caracteres. Rectifica por favor")
            .arg(QString::fromUtf8(company), QString::fromUtf8(lengths));
    };
    const struct { const CompanyGrid& grid; int column; QString typed, message, left; } cases[] = {
        {controlled, 1, "  ABC010101XY1 ", {}, " ABC010101XY1"},  // held with its leading blank
        {controlled, 1, "ABC010101XY", length("controlada", "12"), "0"},
        {controlled, 1, "ABCD010101XY1", length("controlada", "12"), "0"},
        {outsourcing, 1, "ABCD010101XY1", length("de terciarización", "12"), "0"},
        {sub, 1, "ABCD010101XY1", {}, "ABCD010101XY1"},
        {served, 1, "ABC010101XY", length("de servicios", "12"), "0"},
        {sub, 1, "ABC010101XY", length("de submanufactura", "12 ó 13"), "0"},
        // The date is checked after the length; its message empties the cell.
        {sub, 1, "ABCD011301XY1", "El valor del mes del RFC es incorrecto.Rectifica por favor", {}},
        // Company names: 254 characters pass, 255 give the grid's message and leave 0.
        {controlled, 0, QString(254, 'N'), {}, QString(254, 'N')},
        {controlled, 0, QString(255, 'N'),
         rectifica("La Razón social de la empresa controlada puede contener como máximo 254 caracteres."), "0"},
        {outsourcing, 0, QString(255, 'N'), rectifica("La Razón social de la empresa de terciarización  puede "
                                                      "contener como máximo 254 caracteres."), "0"},
        {sub, 0, QString(255, 'N'), rectifica("La Razón social de la empresa de submanufactura  puede contener "
                                              "como máximo 254 caracteres."), "0"},
        {controlled, 7, "XYZ", {}, "XYZ"}};  // the kind code has no rule
    for (const auto& c : cases) {
        const auto [messages, left] = accept(c.grid, c.column, c.typed);
        EXPECT_EQ(messages, c.message.isEmpty() ? QStringList() : QStringList{c.message}) << c.typed.toStdString();
        EXPECT_EQ(left, c.left) << c.typed.toStdString();
    }
}

TEST_F(Records, EachCompanyGridStoresAndShowsItsOwnKind) {
    const CompanyGrid grids[] = {CompanyGrid::controlled(), CompanyGrid::outsourcing(), CompanyGrid::submanufacturing(),
                                 CompanyGrid::serviceCompanies()};
    for (const CompanyGrid& g : grids) {  // a new row carries the kind code: stored, the grid's statement finds it
        GridRow newRow(QVariantList(g.columns.size()), true);
        CompanyRule(messages, g).newRow(newRow);
        ASSERT_TRUE(db.execute(QStringLiteral("insert into impects (RSOCIAL, IDMCTS) values (?, ?)"),
                               {g.kindCode, newRow.value(g.kindColumn)}));
    }
    for (const CompanyGrid& g : grids) {
        DataSource source(QStringLiteral("dts"), &db, g.recordSource());
        EXPECT_TRUE(source.refresh() && source.recordSet().count() == 1 && source.recordSet().valueAt(0, 0) == g.kindCode);
    }
}

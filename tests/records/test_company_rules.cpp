// The related-company grids: controlled, outsourcing, submanufacturing (and served) companies.

#include "support/RecordingMessages.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "records/CompanyRules.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;

namespace {

QString rectifica(const char* text) { return QString::fromUtf8(text) + QStringLiteral(" Rectifica por favor"); }
const QString kNotNumeric = rectifica("Debes colocar un valor númerico en esta columna.");
const QString kYear2006 = rectifica("El año del programa KALTO debe ser igual o superior a 2006.");
const QString kPercent =
    rectifica("El porcentaje de participación con respecto a la empresa controlada no debe exceder el 100%.");

// Accepts `value` into `column` of a new row of the grid: the messages shown and the value left in the cell.
std::pair<QStringList, QVariant> accept(const CompanyGrid& grid, int column, const QVariant& value) {
    RecordingMessages m;
    CompanyRule rule(m, grid);
    GridRow row(QVariantList(grid.columns.size()), true);
    rule.newRow(row);
    row.setValue(column, value);
    rule.cellAccepted(row, column);
    return {m.texts(), row.value(column)};
}
// What a failed check leaves: the number 0 in a numeric column, the text "0" in a text one (QVariant's == mixes them).
bool zero(const QVariant& v, bool text) { return (v.typeId() == QMetaType::QString) == text && v.toString() == "0"; }

}  // namespace

TEST(CompanyRules, NumericColumnsTextOrNumber) {
    const CompanyGrid g = CompanyGrid::controlled();
    struct Case { int column; double number; QString message; };  // no message: kept; otherwise 0 is left
    const Case cases[] = {
        {2, 999999.99, {}}, {2, 1234567.5, {}},
        {2, 12345678.9, rectifica("El monto de exportación no debe exceder la cantidad de 999999.99.")},
        {3, 9999, {}},      {3, 0, rectifica("El número del programa KALTO debe ser mayor a 0.")},
        {3, 12345, rectifica("El número del programa KALTO no debe exceder los cuatro digitos.")},
        {4, 2006, {}},      {4, 2005, kYear2006},
        {4, 20061, rectifica("El año del programa KALTO no debe exceder los cuatro digitos.")},
        {5, 100, {}},       {5, 100.5, kPercent}, {6, 100, {}}, {6, 100.5, kPercent},
    };
    for (const auto& c : cases) {  // as the number the grid may hand over and as typed text
        for (const QVariant& v : {QVariant(c.number), QVariant(QString::number(c.number, 'g', 10))}) {
            const auto [messages, left] = accept(g, c.column, v);
            SCOPED_TRACE(v.toString().toStdString() + " in column " + std::to_string(c.column));
            EXPECT_EQ(messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
            EXPECT_TRUE(c.message.isEmpty() ? left == v : zero(left, false));
        }
    }
    // Not numeric, empty included: the numeric message and the number 0, in every numeric column.
    for (int column : {2, 3, 4, 5, 6}) {
        for (const QVariant& v : {QVariant(QStringLiteral("12A")), QVariant(QString()), QVariant()}) {
            const auto [messages, left] = accept(g, column, v);
            EXPECT_TRUE(messages == QStringList{kNotNumeric} && zero(left, false)) << column;
        }
    }
    EXPECT_TRUE(accept(g, 4, QStringLiteral(" 2010 ")).first.isEmpty());  // blanks are not characters
    EXPECT_EQ(accept(CompanyGrid::serviceCompanies(), 4, 2005).first, QStringList{kYear2006});  // served: the same
}

TEST(CompanyRules, NamesAndRfcPerGrid) {
    const CompanyGrid controlled = CompanyGrid::controlled(), outsourcing = CompanyGrid::outsourcing(),
                      sub = CompanyGrid::submanufacturing(), served = CompanyGrid::serviceCompanies();
    const auto rfcLength = [](const char* company, const char* lengths) {
        return QStringLiteral("El RFC de la empresa %1 debe contener %2 caracteres. Rectifica por favor")
            .arg(QString::fromUtf8(company), QString::fromUtf8(lengths));
    };
    struct Rfc { const CompanyGrid& grid; const char* typed; QString message, left; };
    const Rfc rfcs[] = {
        {controlled, "  ABC010101XY1 ", {}, QStringLiteral(" ABC010101XY1")},  // held with its leading blank
        {controlled, "ABC010101XY", rfcLength("controlada", "12"), QStringLiteral("0")},
        {controlled, "ABCD010101XY1", rfcLength("controlada", "12"), QStringLiteral("0")},
        {outsourcing, "ABCD010101XY1", rfcLength("de terciarización", "12"), QStringLiteral("0")},
        {sub, "ABCD010101XY1", {}, QStringLiteral("ABCD010101XY1")},
        {served, "ABC010101XY", rfcLength("de servicios", "12"), QStringLiteral("0")},
        {sub, "ABC010101XY", rfcLength("de submanufactura", "12 ó 13"), QStringLiteral("0")},
        // The date is checked after the length; its message empties the cell.
        {sub, "ABCD011301XY1", QStringLiteral("El valor del mes del RFC es incorrecto.Rectifica por favor"), {}},
    };
    for (const auto& r : rfcs) {
        const auto [messages, left] = accept(r.grid, 1, QString::fromLatin1(r.typed));
        EXPECT_EQ(messages, r.message.isEmpty() ? QStringList() : QStringList{r.message}) << r.typed;
        EXPECT_EQ(left.toString(), r.left) << r.typed;
    }
    // Company names: 254 characters pass, 255 give the grid's message and leave 0.
    const std::pair<const CompanyGrid&, QString> names[] = {
        {controlled, rectifica("La Razón social de la empresa controlada puede contener como máximo 254 caracteres.")},
        {outsourcing, rectifica("La Razón social de la empresa de terciarización  puede contener como máximo 254 "
                                "caracteres.")},
        {sub, rectifica("La Razón social de la empresa de submanufactura  puede contener como máximo 254 caracteres.")},
    };
    for (const auto& [grid, message] : names) {
        EXPECT_EQ(accept(grid, 0, QString(254, QLatin1Char('N'))).first, QStringList());
        const auto [messages, left] = accept(grid, 0, QString(255, QLatin1Char('N')));
        EXPECT_EQ(messages, QStringList{message});
        EXPECT_TRUE(zero(left, true));
    }
    EXPECT_TRUE(accept(controlled, 7, QStringLiteral("XYZ")).first.isEmpty());  // the kind code has no rule
}

TEST(CompanyRules, EachGridStoresAndShowsItsOwnKind) {
    test::TestFolder folder;
    Database db;
    QString error;
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    RecordingMessages m;
    const QList<CompanyGrid> grids{CompanyGrid::controlled(), CompanyGrid::outsourcing(),
                                   CompanyGrid::submanufacturing(), CompanyGrid::serviceCompanies()};
    for (const CompanyGrid& g : grids) {
        // A new row carries the kind code; stored, it is what the grid's statement finds.
        GridRow row(QVariantList(g.columns.size()), true);
        CompanyRule(m, g).newRow(row);
        EXPECT_EQ(row.text(g.kindColumn), g.kindCode);
        ASSERT_TRUE(db.execute(QStringLiteral("insert into impects (RSOCIAL, IDMCTS) values (?, ?)"),
                               {QStringLiteral("EMPRESA ") + g.kindCode, row.value(g.kindColumn)}, &error))
            << error.toStdString();
    }
    for (const CompanyGrid& g : grids) {
        DataSource source(QStringLiteral("dts"), &db, g.recordSource());
        ASSERT_TRUE(source.refresh(&error)) << error.toStdString();
        ASSERT_EQ(source.recordSet().count(), 1) << g.kindCode.toStdString();
        EXPECT_EQ(source.recordSet().valueAt(0, source.recordSet().columnIndex(QStringLiteral("RSOCIAL"))).toString(),
                  QStringLiteral("EMPRESA ") + g.kindCode);
    }
}

// The related-company grids: controlled, outsourcing, submanufacturing (and served) companies.

#include "app/rules/RecordingMessages.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "records/CompanyRules.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;

namespace {

const QString kNotNumeric = QStringLiteral("Debes colocar un valor númerico en esta columna. Rectifica por favor");
const QString kAmount = QStringLiteral("El monto de exportación no debe exceder la cantidad de 999999.99. Rectifica por favor");
const QString kNumberDigits =
    QStringLiteral("El número del programa KALTO no debe exceder los cuatro digitos. Rectifica por favor");
const QString kYearDigits = QStringLiteral("El año del programa KALTO no debe exceder los cuatro digitos. Rectifica por favor");
const QString kYear2006 = QStringLiteral("El año del programa KALTO debe ser igual o superior a 2006. Rectifica por favor");
const QString kNumberPositive = QStringLiteral("El número del programa KALTO debe ser mayor a 0. Rectifica por favor");
const QString kPercent = QStringLiteral(
    "El porcentaje de participación con respecto a la empresa controlada no debe exceder el 100%. Rectifica por favor");

struct Outcome {
    QStringList messages;
    QVariant left;
};

// Accepts `value` into `column` of a new row of the grid and reports what the rule did.
Outcome accept(const CompanyGrid& grid, int column, const QVariant& value) {
    RecordingMessages m;
    CompanyRule rule(m, grid);
    QVariantList values;
    for (int i = 0; i < grid.columns.size(); ++i) values << QVariant();
    GridRow row(values, true);
    rule.newRow(row);
    row.setValue(column, value);
    rule.cellAccepted(row, column);
    return {m.texts(), row.value(column)};
}

bool isZero(const QVariant& v) {
    return v.isValid() && !v.isNull() && v.toString() == QStringLiteral("0");
}

}  // namespace

TEST(CompanyRules, ControlledNumericColumnsTextOrNumber) {
    const CompanyGrid g = CompanyGrid::controlled();
    // Each value is tried both as typed text and as the number the grid may hand over.
    const struct {
        int column;
        double number;
        const char* text;
        QString message;
    } cases[] = {
        {2, 999999.99, "999999.99", QString()},
        {2, 1234567.5, "1234567.5", QString()},
        {2, 12345678.9, "12345678.9", kAmount},
        {3, 1, "1", QString()},
        {3, 9999, "9999", QString()},
        {3, 0, "0", kNumberPositive},
        {3, -5, "-5", kNumberPositive},
        {3, 12345, "12345", kNumberDigits},
        {4, 2006, "2006", QString()},
        {4, 2005, "2005", kYear2006},
        {4, 20061, "20061", kYearDigits},
        {5, 100, "100", QString()},
        {5, 100.5, "100.5", kPercent},
        {6, 100, "100", QString()},
        {6, 100.5, "100.5", kPercent},
    };
    for (const auto& c : cases) {
        for (const QVariant& v : {QVariant(c.number), QVariant(QString::fromLatin1(c.text))}) {
            const Outcome o = accept(g, c.column, v);
            EXPECT_EQ(o.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message})
                << c.column << " " << c.text;
            if (c.message.isEmpty())
                EXPECT_EQ(o.left, v) << c.column << " " << c.text;
            else
                EXPECT_TRUE(isZero(o.left)) << c.column << " " << c.text;
        }
    }
    // Not numeric, empty included: the numeric message and 0, in every numeric column.
    for (int column : {2, 3, 4, 5, 6}) {
        for (const QVariant& v : {QVariant(QStringLiteral("12A")), QVariant(QString()), QVariant()}) {
            const Outcome o = accept(g, column, v);
            EXPECT_EQ(o.messages, QStringList{kNotNumeric}) << column;
            EXPECT_TRUE(isZero(o.left)) << column;
            // The 0 left is a number, not a text.
            EXPECT_NE(o.left.typeId(), QMetaType::QString) << column;
        }
    }
    // A 0 left in the programme number or year is refused again on the next edit.
    EXPECT_EQ(accept(g, 3, 0).messages, QStringList{kNumberPositive});
    EXPECT_EQ(accept(g, 4, 0).messages, QStringList{kYear2006});
    // Blanks around a typed number do not count as characters.
    EXPECT_TRUE(accept(g, 4, QStringLiteral(" 2010 ")).messages.isEmpty());
}

TEST(CompanyRules, NamesAndRfcPerGrid) {
    const CompanyGrid controlled = CompanyGrid::controlled();
    const CompanyGrid outsourcing = CompanyGrid::outsourcing();
    const CompanyGrid sub = CompanyGrid::submanufacturing();
    const CompanyGrid served = CompanyGrid::serviceCompanies();

    const QString rfc12 = QStringLiteral("ABC010101XY1");
    const QString rfc13 = QStringLiteral("ABCD010101XY1");
    const QString rfc11 = QStringLiteral("ABC010101XY");

    // 12 characters with blanks around: the length rule passes and the check holds it
    // with its leading blank.
    Outcome o = accept(controlled, 1, QStringLiteral("  ") + rfc12 + QStringLiteral(" "));
    EXPECT_TRUE(o.messages.isEmpty());
    EXPECT_EQ(o.left.toString(), QStringLiteral(" ") + rfc12);

    const QString controlledRfc = QStringLiteral("El RFC de la empresa controlada debe contener 12 caracteres. Rectifica por favor");
    const QString outsourcingRfc =
        QStringLiteral("El RFC de la empresa de terciarización debe contener 12 caracteres. Rectifica por favor");
    const QString subRfc =
        QStringLiteral("El RFC de la empresa de submanufactura debe contener 12 ó 13 caracteres. Rectifica por favor");
    for (const auto& [grid, message] : {std::pair{controlled, controlledRfc}, std::pair{outsourcing, outsourcingRfc},
                                        std::pair{served, QStringLiteral("El RFC de la empresa de servicios debe "
                                                                         "contener 12 caracteres. Rectifica por favor")}}) {
        for (const QString& bad : {rfc11, rfc13}) {
            o = accept(grid, 1, bad);
            EXPECT_EQ(o.messages, QStringList{message}) << bad.toStdString();
            EXPECT_EQ(o.left.toString(), QStringLiteral("0"));
        }
    }
    // Submanufacturing takes 13 characters, and checks them as such.
    o = accept(sub, 1, rfc13);
    EXPECT_TRUE(o.messages.isEmpty());
    EXPECT_EQ(o.left.toString(), rfc13);
    o = accept(sub, 1, rfc12);
    EXPECT_EQ(o.left.toString(), QStringLiteral(" ") + rfc12);
    o = accept(sub, 1, QStringLiteral("ABCD011301XY1"));
    EXPECT_EQ(o.messages, QStringList{QStringLiteral("El valor del mes del RFC es incorrecto.Rectifica por favor")});
    EXPECT_EQ(o.left.toString(), QString());  // the RFC check empties the cell
    o = accept(sub, 1, rfc11);
    EXPECT_EQ(o.messages, QStringList{subRfc});
    EXPECT_EQ(o.left.toString(), QStringLiteral("0"));
    // A wrong date in a 12-character RFC of the controlled grid.
    o = accept(controlled, 1, QStringLiteral("ABC010229XY1"));
    EXPECT_EQ(o.messages,
              QStringList{QStringLiteral("El mes que has escrito no tiene más de 28 días. Rectifica por favor")});

    // Company names: 254 characters pass, 255 give the grid's message and leave 0.
    const QString name254(254, QLatin1Char('N'));
    const QString name255(255, QLatin1Char('N'));
    const struct {
        CompanyGrid grid;
        QString message;
    } names[] = {
        {controlled, QStringLiteral("La Razón social de la empresa controlada puede contener como máximo 254 caracteres. "
                                    "Rectifica por favor")},
        {outsourcing, QStringLiteral("La Razón social de la empresa de terciarización  puede contener como máximo 254 "
                                     "caracteres. Rectifica por favor")},
        {sub, QStringLiteral("La Razón social de la empresa de submanufactura  puede contener como máximo 254 "
                             "caracteres. Rectifica por favor")},
    };
    for (const auto& n : names) {
        o = accept(n.grid, 0, name254);
        EXPECT_TRUE(o.messages.isEmpty());
        EXPECT_EQ(o.left.toString(), name254);
        o = accept(n.grid, 0, name255);
        EXPECT_EQ(o.messages, QStringList{n.message});
        EXPECT_EQ(o.left.toString(), QStringLiteral("0"));
    }
    // The kind-code column has no rule.
    EXPECT_TRUE(accept(outsourcing, 2, QStringLiteral("XYZ")).messages.isEmpty());
    EXPECT_TRUE(accept(controlled, 7, QStringLiteral("XYZ")).messages.isEmpty());
    // The served companies' programme columns follow the controlled ones' rules.
    EXPECT_EQ(accept(served, 4, 2005).messages, QStringList{kYear2006});
    EXPECT_EQ(accept(served, 3, QStringLiteral("1A")).messages, QStringList{kNotNumeric});
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
        for (const GridColumn& c : g.columns)
            EXPECT_GE(db.table(QStringLiteral("impects"))->fieldIndex(c.field), 0) << c.field.toStdString();
        // A new row carries the kind code; stored, it is what the grid's statement finds.
        CompanyRule rule(m, g);
        QVariantList values;
        for (int i = 0; i < g.columns.size(); ++i) values << QVariant();
        GridRow row(values, true);
        rule.newRow(row);
        EXPECT_EQ(row.text(g.kindColumn), g.kindCode);
        ASSERT_TRUE(db.execute(QStringLiteral("insert into impects (RSOCIAL, IDMCTS) values (?, ?)"),
                               {QStringLiteral("EMPRESA ") + g.kindCode, row.value(g.kindColumn)}, &error))
            << error.toStdString();
    }
    EXPECT_EQ(CompanyGrid::controlled().columns[7].field, QStringLiteral("IDMCTS"));
    for (const CompanyGrid& g : grids) {
        DataSource source(QStringLiteral("dts"), &db, g.recordSource());
        ASSERT_TRUE(source.refresh(&error)) << error.toStdString();
        ASSERT_EQ(source.recordSet().count(), 1) << g.kindCode.toStdString();
        EXPECT_EQ(source.recordSet().valueAt(0, source.recordSet().columnIndex(QStringLiteral("RSOCIAL"))).toString(),
                  QStringLiteral("EMPRESA ") + g.kindCode);
    }
    EXPECT_TRUE(m.entries.isEmpty());
}

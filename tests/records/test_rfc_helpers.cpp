// The RFC check and the shared grid helpers.

#include "app/rules/GridHelpers.h"
#include "app/rules/RecordingMessages.h"
#include "app/rules/VerificaRFC.h"

#include <gtest/gtest.h>

using namespace kalto;

namespace {

const QString kMonth = QStringLiteral("El valor del mes del RFC es incorrecto.Rectifica por favor");
QString days(int n) {
    return QStringLiteral("El mes que has escrito no tiene más de %1 días. Rectifica por favor").arg(n);
}

struct Checked {
    bool accepted;
    QString value;
    QStringList messages;
};

Checked check(const QString& input, int kind) {
    RecordingMessages m;
    QString value = input;
    const bool accepted = VerificaRFC(value, kind, m);
    return {accepted, value, m.texts()};
}

}  // namespace

TEST(VerificaRFC, DateOfIncorporationIsChecked) {
    // 2001 is no leap year: February has 28 days, and the field is emptied.
    auto r = check(QStringLiteral(" ABC010229XY1"), RfcHeld13);
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(r.messages, QStringList{days(28)});
    EXPECT_EQ(r.value, QString());

    // Year 00 counts as divisible by 4.
    r = check(QStringLiteral(" ABC000229XY1"), RfcHeld13);
    EXPECT_TRUE(r.accepted);
    EXPECT_TRUE(r.messages.isEmpty());
    EXPECT_EQ(r.value, QStringLiteral(" ABC000229XY1"));

    r = check(QStringLiteral(" ABC011301XY1"), RfcHeld13);
    EXPECT_EQ(r.messages, QStringList{kMonth});
    EXPECT_EQ(r.value, QString());

    // Month 00 has no days at all.
    r = check(QStringLiteral(" ABC010001XY1"), RfcHeld13);
    EXPECT_EQ(r.messages, QStringList{days(0)});
    EXPECT_EQ(r.value, QString());

    r = check(QStringLiteral(" ABC010431XY1"), RfcHeld13);
    EXPECT_EQ(r.messages, QStringList{days(30)});
    r = check(QStringLiteral(" ABC010430XY1"), RfcHeld13);
    EXPECT_TRUE(r.accepted);
    r = check(QStringLiteral(" ABC011231XY1"), RfcHeld13);
    EXPECT_TRUE(r.accepted);
    r = check(QStringLiteral(" ABC011232XY1"), RfcHeld13);
    EXPECT_EQ(r.messages, QStringList{days(31)});

    // A 13-character RFC has its date in the same positions.
    r = check(QStringLiteral("ABCD040229XY1"), Rfc12Or13);
    EXPECT_TRUE(r.accepted);
    r = check(QStringLiteral("ABCD050229XY1"), Rfc12Or13);
    EXPECT_EQ(r.messages, QStringList{days(28)});
}

TEST(VerificaRFC, LengthAndHeldForm) {
    // 12 characters get the leading blank, for both kinds.
    auto r = check(QStringLiteral("ABC010101XY1"), RfcHeld13);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.value, QStringLiteral(" ABC010101XY1"));
    r = check(QStringLiteral("ABC010101XY1"), Rfc12Or13);
    EXPECT_EQ(r.value, QStringLiteral(" ABC010101XY1"));

    // 13 characters pass kind 1 unchanged.
    r = check(QStringLiteral("ABCD010101XY1"), RfcHeld13);
    EXPECT_TRUE(r.accepted);
    EXPECT_TRUE(r.messages.isEmpty());
    EXPECT_EQ(r.value, QStringLiteral("ABCD010101XY1"));

    // Blanks typed around the identifier do not make it too long.
    r = check(QStringLiteral("ABC010101XY1  "), RfcHeld13);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.value, QStringLiteral(" ABC010101XY1"));

    r = check(QStringLiteral("ABC01010XY1"), RfcHeld13);
    EXPECT_EQ(r.messages, QStringList{QStringLiteral("El RFC sólo puede ser de 12 caracteres. Rectifica por favor.")});
    EXPECT_EQ(r.value, QString());
    r = check(QStringLiteral("ABCDE010101XY1"), Rfc12Or13);
    EXPECT_EQ(r.messages,
              QStringList{QStringLiteral("El RFC sólo puede ser de 12 ó 13 caracteres. Rectifica por favor.")});
    EXPECT_EQ(r.value, QString());

    // Nothing typed: nothing to say.
    r = check(QStringLiteral("   "), RfcHeld13);
    EXPECT_TRUE(r.accepted);
    EXPECT_TRUE(r.messages.isEmpty());

    // Messages are exclamations titled KALTO.
    RecordingMessages m;
    QString v = QStringLiteral("X");
    VerificaRFC(v, RfcHeld13, m);
    ASSERT_EQ(m.entries.size(), 1);
    EXPECT_EQ(m.entries[0].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_EQ(m.entries[0].title, QStringLiteral("KALTO"));

    // On a grid cell the cell receives the held form or is emptied.
    GridRow row({QStringLiteral("ALFA"), QStringLiteral("ABC010101XY1")}, true);
    EXPECT_TRUE(VerificaRFC(row, 1, RfcHeld13, m));
    EXPECT_EQ(row.text(1), QStringLiteral(" ABC010101XY1"));
    row.setValue(1, QStringLiteral("ABC011301XY1"));
    EXPECT_FALSE(VerificaRFC(row, 1, RfcHeld13, m));
    EXPECT_EQ(row.text(1), QString());
}

TEST(GridHelpers, LengthWarningCaseAndNumbers) {
    RecordingMessages m;
    GridRow row({QString(100, QLatin1Char('A'))}, true);
    EXPECT_FALSE(MensajeLongGrid(row, 0, 100, QStringLiteral("La calle."), m));
    EXPECT_TRUE(m.entries.isEmpty());
    row.setValue(0, QString(101, QLatin1Char('A')));
    EXPECT_TRUE(MensajeLongGrid(row, 0, 100, QStringLiteral("La calle."), m));
    EXPECT_EQ(m.texts(), QStringList{QStringLiteral("La calle. Rectifica por favor")});
    EXPECT_EQ(row.text(0).size(), 101);  // kept as typed

    QString t = QStringLiteral("Año Ñandú");
    FomateaLetra(t, 1);
    EXPECT_EQ(t, QStringLiteral("AÑO ÑANDÚ"));
    FomateaLetra(t, 2);
    EXPECT_EQ(t, QStringLiteral("año ñandú"));

    // Text and numbers held by a cell.
    EXPECT_TRUE(isNumericValue(QStringLiteral(" 12 ")));
    EXPECT_TRUE(isNumericValue(QStringLiteral("-1.5")));
    EXPECT_TRUE(isNumericValue(QStringLiteral(".5")));
    EXPECT_TRUE(isNumericValue(999999.99));
    EXPECT_TRUE(isNumericValue(0));
    EXPECT_FALSE(isNumericValue(QString()));
    EXPECT_FALSE(isNumericValue(QVariant()));
    EXPECT_FALSE(isNumericValue(QStringLiteral("12A")));
    EXPECT_FALSE(isNumericValue(QStringLiteral("1.2.3")));
    EXPECT_FALSE(isNumericValue(QStringLiteral("1 2")));
    EXPECT_EQ(cellText(999999.99), QStringLiteral("999999.99"));
    EXPECT_EQ(cellText(1e10), QStringLiteral("10000000000"));
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral(" 100.5%")), 100.5);
    EXPECT_DOUBLE_EQ(leadingNumber(QStringLiteral("A1")), 0.0);
}

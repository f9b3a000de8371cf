// The rules of the sectoral grids and the look-ups of their pick lists, over the delivered
// sector catalogue in a temporary data folder.

#include "sectoral/BrelotGrids.h"

#include "data/Database.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;

namespace {

class BrelotGridsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.open(db, &error)) << error.toStdString(); }
    void run(const QString& sql) { ASSERT_TRUE(db.execute(sql, {}, &error)) << error.toStdString(); }

    test::TestFolder folder;
    Database db;
    QString error;
    RecordingMessages messages;
};

}  // namespace

TEST(BrelotKeys, OnlyTheKeyCharactersAndBackspacePass) {
    for (QChar ch : QStringLiteral("/. 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcxyz")) EXPECT_TRUE(brelotKeyAdmitted(ch)) << int(ch.unicode());
    EXPECT_TRUE(brelotKeyAdmitted(QChar(8)));
    for (QChar ch : QStringLiteral("ñÑáÉü,-'\"_%*ß\t\r")) EXPECT_FALSE(brelotKeyAdmitted(ch)) << int(ch.unicode());

    // Both grids filter the same way and leave an admitted character as typed.
    RecordingMessages m;
    Database unused;
    BrelotLookups lookups(unused);
    SectorGridRule sectors(lookups, {});
    GoodsGridRule goods(m, {});
    QChar a = QLatin1Char('a'), enye = QChar(0xF1);
    EXPECT_TRUE(sectors.keyTyped({}, 1, a));
    EXPECT_TRUE(goods.keyTyped({}, 8, a));
    EXPECT_EQ(a, QLatin1Char('a'));
    EXPECT_FALSE(sectors.keyTyped({}, 2, enye));
    EXPECT_FALSE(goods.keyTyped({}, 2, enye));
}

TEST_F(BrelotGridsTest, PickListsHoldWhatTheTablesHold) {
    BrelotLookups lookups(db);
    const QStringList keys = lookups.catalogueKeys();
    ASSERT_EQ(keys.size(), 24);
    EXPECT_EQ(keys.mid(0, 3), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));

    // Sectors entered, in table order; a deleted one or one without a key is not offered.
    run(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '7'), (1, null), (1, '12'), (1, '3')"));
    run(QStringLiteral("delete from sector where cve_sector = '12'"));
    EXPECT_EQ(lookups.enteredSectorKeys(), (QStringList{QStringLiteral("7"), QStringLiteral("3")}));

    // The export products' tariff items once each, the placeholder of a service included.
    run(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values "
                       "(1, 1, 'null ', '39011001', 0), (2, 1, 'null ', '39011001', 0), (3, 1, 'SERV', 'null', 0), "
                       "(4, 1, 'insumo', '11111111', 1), (5, 2, 'contenedor', '22222222', 0)"));
    QStringList items = lookups.exportTariffItems();
    items.sort();
    EXPECT_EQ(items, (QStringList{QStringLiteral("39011001"), QStringLiteral("null")}));

    // The searches while typing: the first key that begins with the text.
    EXPECT_EQ(lookups.findCatalogueKey(QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(lookups.findCatalogueKey(QStringLiteral("1")), QStringLiteral("1"));
    EXPECT_EQ(lookups.findCatalogueKey(QStringLiteral("2")), QStringLiteral("2"));
    EXPECT_EQ(lookups.findCatalogueKey(QStringLiteral("9")), QStringLiteral("9"));
    EXPECT_EQ(lookups.findCatalogueKey(QStringLiteral("25")), QString());
    run(QStringLiteral("insert into improd (fraccion) values ('85011002'), ('85011001'), ('39011001')"));
    EXPECT_EQ(lookups.findProductTariffItem(QStringLiteral("8501")), QStringLiteral("85011002"));
    EXPECT_EQ(lookups.findProductTariffItem(QStringLiteral("9")), QString());

    EXPECT_EQ(lookups.sectorDescription(QStringLiteral("4")), QVariant(QStringLiteral("INDUSTRIA DEL JUGUETE Y ARTÍCULOS DEPORTIVOS")));
    EXPECT_TRUE(lookups.sectorDescription(QStringLiteral("99")).isNull());
}

TEST_F(BrelotGridsTest, ASectorRowTakesTheChosenKeyAndItsDescription) {
    BrelotLookups lookups(db);
    QString selected = QStringLiteral("12");
    SectorGridRule rule(lookups, [&] { return selected; });
    GridRow row({QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}, true);
    rule.newRow(row);
    EXPECT_EQ(row.value(0), QVariant(1));
    EXPECT_TRUE(row.value(1).isNull());

    // The end of the edit writes the selected key, whatever was typed, and the description.
    row.setValue(1, QStringLiteral("1"));
    rule.cellAccepted(row, 1);
    EXPECT_EQ(row.text(1), QStringLiteral("12"));
    EXPECT_EQ(row.text(2), QStringLiteral("INDUSTRIA DE MANUFACTURAS DEL CAUCHO Y PLÁSTICO"));
    // Other columns are left alone.
    row.setValue(3, true);
    rule.cellAccepted(row, 2);
    EXPECT_EQ(row.text(1), QStringLiteral("12"));

    // No selection (an empty catalogue): the typed key stays, and a key the catalogue lacks
    // leaves no description of the key before it.
    selected.clear();
    row.setValue(1, QStringLiteral("XX"));
    rule.cellAccepted(row, 1);
    EXPECT_EQ(row.text(1), QStringLiteral("XX"));
    EXPECT_TRUE(row.value(2).isNull());

    rule.chooseKey(row, QStringLiteral("1"));
    EXPECT_EQ(row.text(1), QStringLiteral("1"));
    EXPECT_EQ(row.text(2), QStringLiteral("INDUSTRIA ELÉCTRICA"));
}

TEST_F(BrelotGridsTest, AGoodsRowGetsItsCodesItsSectorAndTheTariffItemCheck) {
    QString selected = QStringLiteral("7");
    GoodsGridRule rule(messages, [&] { return selected; });
    GridRow row(QVariantList(13), true);
    rule.newRow(row);
    EXPECT_EQ(row.value(1), QVariant(1));
    EXPECT_EQ(row.value(3), QVariant(1));
    EXPECT_EQ(row.value(12), QVariant(1));
    EXPECT_TRUE(row.value(0).isNull() && row.value(2).isNull());

    row.setValue(0, QStringLiteral("2"));
    rule.cellAccepted(row, 0);
    EXPECT_EQ(row.text(0), QStringLiteral("7"));
    selected.clear();  // an empty list: the typed value stays
    row.setValue(0, QStringLiteral("5"));
    rule.cellAccepted(row, 0);
    EXPECT_EQ(row.text(0), QStringLiteral("5"));

    // A tariff item of 7 or 9 characters gives the message once and stays as typed.
    for (const char* typed : {"1234567", "123456789", "12345678"}) {
        messages.clear();
        row.setValue(2, QString::fromLatin1(typed));
        rule.cellAccepted(row, 2);
        EXPECT_EQ(row.text(2), QString::fromLatin1(typed));
        const QStringList expected =
            qstrlen(typed) == 8 ? QStringList() : QStringList{brelotTariffLengthMessage()};
        EXPECT_EQ(messages.texts(), expected) << typed;
    }
    EXPECT_EQ(brelotTariffLengthMessage(),
              QStringLiteral("La longitud de la fracción sólo puede ser de 8 digitos.  Rectifica por favor"));
    messages.clear();
    rule.cellAccepted(row, 8);
    EXPECT_TRUE(messages.entries.isEmpty());
}

// The rules of the sectoral grids, by their accepted and refused values, and the look-ups of
// their pick lists over the delivered sector catalogue.

#include "sectoral/BrelotGrids.h"

#include "sectoral/Fixture.h"

using namespace kalto;

namespace {

class BrelotGrids : public test::SectoralTest {
protected:
    BrelotLookups lookups{db};
    QString selected;
    SectorGridRule sectors{lookups, [this] { return selected; }};
    GoodsGridRule goods{messages, [this] { return selected; }};
};

}  // namespace

TEST_F(BrelotGrids, BothGridsAdmitOnlyTheKeyCharactersAsTyped) {
    const QString admitted = QStringLiteral("/. 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcxyz\b");
    for (QChar ch : admitted + QStringLiteral("ñÑáÉü,-'\"_%*ß\t\r")) {
        for (GridRule* rule : std::initializer_list<GridRule*>{&sectors, &goods}) {
            QChar typed = ch;
            EXPECT_EQ(rule->keyTyped({}, 2, typed), admitted.contains(ch)) << int(ch.unicode());
            EXPECT_EQ(typed, ch);
        }
    }
}

TEST_F(BrelotGrids, PickListsHoldWhatTheTablesHold) {
    const QStringList keys = lookups.catalogueKeys();
    ASSERT_EQ(keys.size(), 24);
    EXPECT_EQ(keys.mid(0, 3), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    // Sectors entered, in table order; a deleted one or one without a key is not offered.
    sql(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '7'), (1, null), (1, '12'), (1, '3')"));
    sql(QStringLiteral("delete from sector where cve_sector = '12'"));
    EXPECT_EQ(lookups.enteredSectorKeys(), (QStringList{QStringLiteral("7"), QStringLiteral("3")}));
    // The export products' tariff items once each, the placeholder of a service included.
    sql(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values "
                       "(1, 1, 'a', '39011001', 0), (2, 1, 'b', '39011001', 0), (3, 1, 'SERV', 'null', 0), "
                       "(4, 1, 'insumo', '11111111', 1), (5, 2, 'contenedor', '22222222', 0)"));
    QStringList items = lookups.exportTariffItems();
    items.sort();
    EXPECT_EQ(items, (QStringList{QStringLiteral("39011001"), QStringLiteral("null")}));
    sql(QStringLiteral("insert into improd (fraccion) values ('85011002'), ('85011001'), ('39011001')"));

    // The searches while typing: the first entry that begins with the text.
    const char* const searches[][3] = {{"12", "12", ""}, {"1", "1", ""}, {"2", "2", ""},
                                       {"9", "9", ""}, {"25", "", ""}, {"8501", "", "85011002"}, {"3901", "", "39011001"}};
    for (const auto& [typed, key, item] : searches) {
        EXPECT_EQ(lookups.findCatalogueKey(QString::fromLatin1(typed)), QString::fromLatin1(key)) << typed;
        EXPECT_EQ(lookups.findProductTariffItem(QString::fromLatin1(typed)), QString::fromLatin1(item)) << typed;
    }
    EXPECT_EQ(lookups.sectorDescription(QStringLiteral("4")), QVariant(QStringLiteral("INDUSTRIA DEL JUGUETE Y ARTÍCULOS DEPORTIVOS")));
    EXPECT_TRUE(lookups.sectorDescription(QStringLiteral("99")).isNull());
}

TEST_F(BrelotGrids, ASectorRowTakesTheSelectedKeyAndItsDescription) {
    GridRow row(QVariantList(6), true);
    sectors.newRow(row);
    EXPECT_EQ(row.values(), (QVariantList{1, {}, {}, {}, {}, {}}));
    // selected in the list, typed → key and description; an empty list keeps what was typed.
    const char* const cases[][4] = {{"12", "1", "12", "INDUSTRIA DE MANUFACTURAS DEL CAUCHO Y PLÁSTICO"},
                                    {"", "XX", "XX", nullptr},
                                    {"", "1", "1", "INDUSTRIA ELÉCTRICA"}};
    for (const auto& [list, typed, key, description] : cases) {
        selected = QString::fromLatin1(list);
        row.setValue(SectorGridRule::CveSector, QString::fromUtf8(typed));
        sectors.cellAccepted(row, SectorGridRule::CveSector);
        EXPECT_EQ(row.text(SectorGridRule::CveSector), QString::fromLatin1(key));
        EXPECT_EQ(row.value(SectorGridRule::Descripcion), description ? QVariant(QString::fromUtf8(description)) : QVariant());
    }
    // Other columns are left alone.
    selected = QStringLiteral("3");
    sectors.cellAccepted(row, SectorGridRule::Descripcion);
    EXPECT_EQ(row.text(SectorGridRule::CveSector), QStringLiteral("1"));
}

TEST_F(BrelotGrids, AGoodsRowGetsItsCodesItsSectorAndTheTariffItemCheck) {
    GridRow row(QVariantList(13), true);
    goods.newRow(row);
    EXPECT_EQ(row.values(), (QVariantList{{}, 1, {}, 1, {}, {}, {}, {}, {}, {}, {}, {}, 1}));
    // column, selected in the list, typed → value kept, whether the length message is shown.
    const std::tuple<int, const char*, const char*, const char*, bool> cases[] = {
        {0, "7", "2", "7", false},       {0, "", "5", "5", false},          {2, "", "1234567", "1234567", true},
        {2, "", "123456789", "123456789", true}, {2, "", "12345678", "12345678", false}, {8, "", "abc", "abc", false}};
    for (const auto& [column, list, typed, kept, message] : cases) {
        messages.clear();
        selected = QString::fromLatin1(list);
        row.setValue(column, QString::fromLatin1(typed));
        goods.cellAccepted(row, column);
        EXPECT_EQ(row.text(column), QString::fromLatin1(kept)) << typed;
        EXPECT_EQ(messages.texts(), message ? QStringList{brelotTariffLengthMessage()} : QStringList()) << typed;
    }
    EXPECT_EQ(brelotTariffLengthMessage(),
              QStringLiteral("La longitud de la fracción sólo puede ser de 8 digitos.  Rectifica por favor"));
}

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
    EXPECT_EQ(lookups.catalogueKeys().join(u' '), QStringLiteral("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24"));
    // Sectors entered, in table order; a deleted one or one without a key is not offered.
    sql(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '7'), (1, null), (1, '12'), (1, '3')"));
    sql(QStringLiteral("delete from sector where cve_sector = '12'"));
    EXPECT_EQ(lookups.enteredSectorKeys().join(u' '), QStringLiteral("7 3"));
    // The export products' tariff items once each, the placeholder of a service included.
    sql(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) values "
                       "(1, 1, 'a', '39011001', 0), (2, 1, 'b', '39011001', 0), (3, 1, 'SERV', 'null', 0), "
                       "(4, 1, 'insumo', '11111111', 1), (5, 2, 'contenedor', '22222222', 0)"));
    QStringList items = lookups.exportTariffItems();
    items.sort();
    EXPECT_EQ(items.join(u' '), QStringLiteral("39011001 null"));
    // The searches while typing: the first entry that begins with the text.
    sql(QStringLiteral("insert into improd (fraccion) values ('85011002'), ('85011001'), ('39011001')"));
    const char* const searches[][3] = {{"12", "12", ""}, {"1", "1", ""},   {"2", "2", ""},        {"9", "9", ""},
                                       {"25", "", ""},   {"8501", "", "85011002"}, {"3901", "", "39011001"}};
    for (const auto& [typed, key, item] : searches) {
        EXPECT_EQ(lookups.findCatalogueKey(QString::fromLatin1(typed)), QString::fromLatin1(key)) << typed;
        EXPECT_EQ(lookups.findProductTariffItem(QString::fromLatin1(typed)), QString::fromLatin1(item)) << typed;
    }
}

// A new row's values; then, after a cell is accepted with an entry selected in its list (or
// none: an empty list), the value it keeps, the sector's description, the length message.
TEST_F(BrelotGrids, RowsGetTheirCodesTheSelectedEntryAndTheTariffItemCheck) {
    GridRow sector(QVariantList(6), true), good(QVariantList(13), true);
    sectors.newRow(sector);
    goods.newRow(good);
    EXPECT_EQ(sector.values(), (QVariantList{1, {}, {}, {}, {}, {}}));
    EXPECT_EQ(good.values(), (QVariantList{{}, 1, {}, 1, {}, {}, {}, {}, {}, {}, {}, {}, 1}));
    const std::tuple<GridRow*, int, const char*, const char*, const char*, const char*> cases[] = {
        {&sector, 1, "12", "1", "12", "INDUSTRIA DE MANUFACTURAS DEL CAUCHO Y PLÁSTICO"},
        {&sector, 1, "", "XX", "XX", nullptr},
        {&sector, 1, "", "1", "1", "INDUSTRIA ELÉCTRICA"},
        {&sector, 2, "3", "OTRA", "OTRA", nullptr},  // the description column is left alone
        {&good, 0, "7", "2", "7", nullptr},
        {&good, 0, "", "5", "5", nullptr},
        {&good, 2, "", "1234567", "1234567", "!"},
        {&good, 2, "", "123456789", "123456789", "!"},
        {&good, 2, "", "12345678", "12345678", nullptr},
        {&good, 8, "3", "abc", "abc", nullptr}};
    for (const auto& [row, column, list, typed, kept, more] : cases) {
        messages.clear();
        selected = QString::fromLatin1(list);
        row->setValue(column, QString::fromUtf8(typed));
        (row == &sector ? static_cast<GridRule&>(sectors) : goods).cellAccepted(*row, column);
        EXPECT_EQ(row->text(column), QString::fromUtf8(kept)) << typed;
        if (row == &sector && column == 1) {
            EXPECT_EQ(row->value(2), more ? QVariant(QString::fromUtf8(more)) : QVariant()) << typed;
        }
        EXPECT_EQ(messages.texts(), QString::fromLatin1(more) == u'!' ? QStringList{brelotTariffLengthMessage()} : QStringList())
            << typed;
    }
    EXPECT_EQ(brelotTariffLengthMessage(),
              QStringLiteral("La longitud de la fracción sólo puede ser de 8 digitos.  Rectifica por favor"));
}

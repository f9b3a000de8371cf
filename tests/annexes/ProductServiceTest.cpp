// The export products grid (improd) with the export-product row each product keeps in
// imanexos, and the services grid (imserv) with the export product of a service numbered
// from 13 on.

#include "annexes/AnnexFixture.h"

using namespace kalto;
using namespace kalto::test;

TEST_F(AnnexFixture, EveryProductWithATariffItemKeepsOneExportProductRow) {
    int avisos = 0;
    QObject::connect(&estado, &RequestState::changed, [&] { ++avisos; });
    estado.tramite = kProgramaNuevo;
    auto typed = [&](const QString& item) {
        GridRow row = newRow(producto, 6);
        row.setValue(0, item);
        EXPECT_TRUE(store(producto, row, kProductos));
        return row;
    };
    // The first product: identifier 1, described by the text null, stored with the product.
    GridRow a = typed(QStringLiteral("84713001"));
    EXPECT_EQ(annexes(), QStringLiteral("1|1|null|84713001|0"));
    EXPECT_EQ(a.value(5).toInt(), 1);
    EXPECT_EQ(mpeShown, 1);
    // Changed (in an extension: no new product), it updates that same row; the same tariff
    // item again is another product with its own row.
    estado.tramite = kAmpliacion;
    a.setValue(0, QStringLiteral("84713002"));
    ASSERT_TRUE(store(producto, a, kProductos));
    EXPECT_TRUE(estado.paginas[kPagContenedores]);
    EXPECT_EQ(typed(QStringLiteral("84713002")).value(5).toInt(), 2);
    // A new product in an extension takes away the containers page only.
    EXPECT_EQ(avisos, 1);
    for (int p = 0; p < kNumPaginas; ++p) EXPECT_EQ(estado.paginas[p], p != kPagContenedores) << p;

    // Without a tariff item: stored, told, no annex row; it gets one with its first item.
    messages.clear();
    GridRow c = typed(QString());
    EXPECT_EQ(messages.texts(), QStringList{ProductRule::kMsgSinFraccion});
    EXPECT_TRUE(c.value(5).isNull());
    c.setValue(0, QStringLiteral("61091001"));
    ASSERT_TRUE(store(producto, c, kProductos));
    EXPECT_EQ(c.value(5).toInt(), 3);
    // One whose row was deleted in the annexes gets a new one; two products holding one
    // identifier (an imported list) do not share a row.
    exec(QStringLiteral("delete from imanexos where id_prod = 1"));
    ASSERT_TRUE(store(producto, a, kProductos));
    exec(QStringLiteral("insert into improd (fraccion, id_prod) values ('39269099', 4)"));
    GridRow d = storedRow(kProductos);
    ASSERT_TRUE(store(producto, d, kProductos));
    EXPECT_EQ(annexes(), QStringLiteral("2|1|null|84713002|0;3|1|null|61091001|0;4|1|null|84713002|0;"
                                        "5|1|null|39269099|0"));
    EXPECT_EQ(rows(QStringLiteral("select id_prod from improd")), QStringLiteral("4;2;3;5"));
}

TEST_F(AnnexFixture, ProductWithInputsIsNotDeleted) {
    for (const char* sql : {"insert into improd (fraccion, id_prod) values ('84713001', 1)",
                            "insert into improd (fraccion, id_prod) values ('84713002', 2)",
                            "insert into improd (fraccion, id_prod) values ('84713003', null)",
                            "insert into imanexos values (1, 1, 'null ', '84713001', 0)",
                            "insert into imanexos values (2, 1, 'null ', '84713002', 0)",
                            "insert into imanexos values (3, 1, null, '61091001', 1)"})
        exec(QString::fromLatin1(sql));
    EXPECT_FALSE(remove(producto, storedRow(kProductos, 1), kProductos));
    EXPECT_EQ(messages.texts(), QStringList{ProductRule::kMsgConInsumos});
    // Without inputs it goes with its export-product row; one without identifier (whatever
    // the grid still shows) takes nothing with it.
    EXPECT_TRUE(remove(producto, storedRow(kProductos, 2), kProductos));
    GridRow shown = storedRow(kProductos, 3);
    shown.setValue(5, 1);
    EXPECT_TRUE(remove(producto, shown, kProductos));
    EXPECT_EQ(annexes(), QStringLiteral("1|1|null|84713001|0;3|1|~|61091001|1"));
    EXPECT_EQ(messages.texts().size(), 1);
}

TEST_F(AnnexFixture, UnitIsTheListsEntryOrACatalogueName) {
    GridRow row = newRow(producto, 6);
    unidades.shown = true;
    unidades.selectText(QStringLiteral("METRO CÚBICO"));
    EXPECT_TRUE(accept(producto, row, ProductRule::Um, QStringLiteral("XYZ")).isEmpty());
    EXPECT_EQ(row.text(2) + row.text(1), QStringLiteral("METRO CÚBICO5"));
    EXPECT_FALSE(unidades.shown);
    unidades.selectText(QStringLiteral("PIEZA"));
    EXPECT_EQ(producto.chosenUnit()->name + producto.chosenUnit()->code.toString(), QStringLiteral("PIEZA6"));
    // Without a current entry only a catalogue name is taken; anything else leaves no unit.
    unidades.current = -1;
    EXPECT_FALSE(producto.chosenUnit().has_value());
    accept(producto, row, ProductRule::Um, QStringLiteral("litro"));
    EXPECT_EQ(row.text(2) + row.text(1), QStringLiteral("LITRO8"));
    accept(producto, row, ProductRule::Um, QStringLiteral("LITROS"));
    EXPECT_TRUE(row.value(2).isNull() && row.value(1).isNull());
}

TEST_F(AnnexFixture, ServiceFrom13OnIsItsOwnExportProduct) {
    estado.paginas.fill(false);
    exec(QStringLiteral("insert into imanexos values (7, 2, 'CAJA', null, 0)"));
    // Chosen with Enter in the list: its text and position (12, catalogue number 13).
    lista.current = 12;
    const auto choice = servicio.choose();
    ASSERT_TRUE(choice.has_value());
    GridRow row = newRow(servicio, 2);
    row.setValue(0, choice->position);
    row.setValue(1, choice->text);
    ASSERT_TRUE(store(servicio, row, kImserv));
    const QString texto = QStringLiteral("REPARACIÓN DE EQUIPO ELECTRÓNICO Y DE CÓMPUTO");
    EXPECT_EQ(rows(QStringLiteral("select idserv, servicio from imserv")), QStringLiteral("13|") + texto);
    EXPECT_EQ(annexes(), QStringLiteral("7|2|CAJA|~|0;8|1|") + texto + QStringLiteral("|null|0"));
    EXPECT_TRUE(estado.descripcionEnAnxMPE && estado.paginas[kPagMateriasPrimas]);
    EXPECT_EQ(mpeShown + servicesShown, 2);
    // One service per request: the list refuses a second choice, and a second row is refused.
    EXPECT_FALSE(servicio.choose().has_value());
    GridRow segundo = newRow(servicio, 2);
    segundo.setValue(0, 3);
    segundo.setValue(1, QStringLiteral("OTRO"));
    EXPECT_FALSE(store(servicio, segundo, kImserv));
    EXPECT_EQ(messages.texts(), QStringList(2, ServiceRule::kMsgUnServicio));
    // With inputs on its export product it is not deleted: told, and taken to their page.
    exec(QStringLiteral("insert into imanexos values (9, 1, null, '61091002', 8)"));
    EXPECT_FALSE(remove(servicio, row, kImserv));
    EXPECT_EQ(messages.last(), ServiceRule::kMsgConInsumos);
    EXPECT_EQ(page, kPagMateriasPrimas);
    // Without them it goes with its export product only; tariff items are shown again.
    exec(QStringLiteral("delete from imanexos where id_prod = 9"));
    EXPECT_TRUE(remove(servicio, row, kImserv));
    EXPECT_EQ(annexes(), QStringLiteral("7|2|CAJA|~|0"));
    EXPECT_FALSE(estado.descripcionEnAnxMPE);
    // Number 12 has no export product; on an empty imanexos number 21 gets identifier 1.
    exec(QStringLiteral("delete from imanexos"));
    for (int position : {11, 20}) {
        row = newRow(servicio, 2);
        row.setValue(0, position);
        row.setValue(1, QStringLiteral("SERVICIO"));
        ASSERT_TRUE(store(servicio, row, kImserv));
        EXPECT_EQ(annexes(), position == 11 ? QString() : QStringLiteral("1|1|SERVICIO|null|0"));
        if (position == 11) {
            ASSERT_TRUE(remove(servicio, row, kImserv));
        }
    }
    EXPECT_EQ(rows(QStringLiteral("select idserv from imserv")), QStringLiteral("21"));
}

TEST_F(AnnexFixture, ServiceCellTakesTheListsEntry) {
    lista.shown = true;
    lista.current = 3;
    GridRow row = newRow(servicio, 2);
    EXPECT_TRUE(accept(servicio, row, 1, QStringLiteral("ETIQ")).isEmpty());
    EXPECT_EQ(row.text(1) + row.text(0), QStringLiteral("ETIQUETADO Y MARCADO DE MERCANCÍAS3"));
    EXPECT_FALSE(lista.shown);
    ASSERT_TRUE(store(servicio, row, kImserv));
    // In the stored row the text follows the list and the number stays, also when the grid
    // still shows the position the list gave before the row was stored.
    lista.current = 7;
    row.setValue(0, 3);
    accept(servicio, row, 1, QStringLiteral("PINT"));
    ASSERT_TRUE(store(servicio, row, kImserv));
    EXPECT_EQ(rows(QStringLiteral("select idserv, servicio from imserv")),
              QStringLiteral("4|PINTURA Y RECUBRIMIENTO DE PIEZAS"));
    // A row without a service chosen from the list is refused.
    exec(QStringLiteral("delete from imserv"));
    GridRow vacio = newRow(servicio, 2);
    vacio.setValue(1, QStringLiteral("ALGO"));
    messages.clear();
    EXPECT_FALSE(store(servicio, vacio, kImserv));
    EXPECT_EQ(messages.texts(), QStringList{ServiceRule::kMsgEligeServicio});
}

// The export products grid: cell checks, the unit list, and the export-product row each
// product keeps in imanexos.

#include "annexes/AnnexFixture.h"
#include "annexes/ProductRule.h"

using namespace kalto;
using namespace kalto::test;

namespace {

const QString kLongitud = QStringLiteral("La longitud de la fracción sólo puede ser de 8 digitos.  Rectifica por favor");
const QString kDigitos = QStringLiteral("Debes ingresar números en este campo. Rectifica por favor");
const QString kNumerico = QStringLiteral("Debes colocar un valor númerico en esta columna. Rectifica por favor.");
const QString kVolumen = QStringLiteral("El volúmen no puede ser mayor a 999,999,999. Rectifica por favor.");
const QString kPorcentaje = QStringLiteral(
    "El porcentaje utilizado sobre la capacida instalada debe encontrarse entre el 1 y el 100%. Rectifica por favor.");
const QString kSinFraccion = QStringLiteral(
    "El producto no sera ingresado en los anexos hasta colocar fraccion y descripcion del producto. Rectifica por "
    "favor");
const QString kConInsumos = QStringLiteral(
    "Existen insumos asociados a este producto de exportacion. Debes eliminarlos para borrar este producto. Rectifica "
    "por favor");

const Fields kProducto{"FRACCION", "UMID", "UM", "VOLUMEN", "PORCUT", "ID_PROD"};

class Products : public AnnexFixture {
protected:
    void SetUp() override {
        AnnexFixture::SetUp();
        unidades.fill(db, QStringLiteral("select u_medida, cast(cve_med as integer) from imunidmd"));
        events.exportProductsChanged = [this] { ++refrescos; };
    }
    ProductRule rule() { return ProductRule(db, messages, estado, &unidades, events); }
    // A new product with this tariff item, stored.
    GridRow product(ProductRule& r, const QString& item) {
        GridRow row = newRow(r, 6);
        row.setValue(0, item);
        EXPECT_TRUE(store(r, row, QStringLiteral("improd"), kProducto));
        return row;
    }
    QString annexes() { return rows(QStringLiteral("select id_prod, tipo_reg, descrip, fraccion, id_subord from imanexos")); }

    FakePickList unidades;
    AnnexEvents events;
    int refrescos = 0;
};

}  // namespace

TEST_F(Products, CellChecksAndWhatTheyLeave) {
    ProductRule r = rule();
    GridRow row = newRow(r, 6);
    struct Case {
        int column;
        QVariant typed;
        QString message;  // empty: accepted as typed
        QVariant left;    // what a rejected value leaves
    };
    const Case cases[] = {
        {0, "1234567", kLongitud, {}},        {0, "123456789", kLongitud, {}},  {0, "1234567A", kDigitos, {}},
        {0, "1234 567", kDigitos, {}},        {0, "84713001", {}, {}},
        {3, QString(12, '9'), {}, {}},        {3, 999999999999.0, {}, {}},      {3, QString(13, '9'), kVolumen, 0},
        {3, 9999999999999.0, kVolumen, 0},    {3, "ABC", kNumerico, {}},        {3, QVariant(), kNumerico, {}},
        {4, 1, {}, {}},                       {4, "100", {}, {}},               {4, 0, kPorcentaje, {}},
        {4, "0.5", kPorcentaje, {}},          {4, 101, kPorcentaje, {}},        {4, "X", kNumerico, {}},
        {1, "ABC", {}, {}},                   {5, "ZZ", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toString().toStdString() + " in column " + std::to_string(c.column));
        EXPECT_EQ(accept(r, row, c.column, c.typed), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        if (c.message.isEmpty()) {
            EXPECT_EQ(row.value(c.column), c.typed);
        } else {
            EXPECT_EQ(row.value(c.column).isNull(), c.left.isNull());
            if (!c.left.isNull()) {
                EXPECT_EQ(row.value(c.column).toString(), c.left.toString());
            }
        }
    }
    // The identifier is written by the program only; other columns take every key.
    EXPECT_EQ(keys(r, row, 5, "12"), QString());
    EXPECT_EQ(keys(r, row, 0, "12"), QStringLiteral("12"));
}

TEST_F(Products, UnitComesFromTheListThatFollowsTheTyping) {
    ProductRule r = rule();
    GridRow row = newRow(r, 6);
    unidades.current = 0;
    // Closed list: typing does not move it.
    QString text = QStringLiteral("PIE");
    r.textChanged(row, 2, text);
    EXPECT_EQ(unidades.currentText(), QStringLiteral("KILOGRAMO"));
    // Open: the first unit whose name begins with the text, letter case ignored.
    unidades.shown = true;
    for (const auto& [typed, expected] : {std::pair{"pie", "PIEZA"}, {"KILOW", "KILOWATT"}, {"KILO", "KILOGRAMO"},
                                          {"METRO C", "METRO CUADRADO"}, {"METRO CÚ", "METRO CÚBICO"},
                                          {"XYZ", "METRO CÚBICO"}, {"%", "METRO CÚBICO"}}) {
        text = QString::fromUtf8(typed);
        r.textChanged(row, 2, text);
        EXPECT_EQ(unidades.currentText(), QString::fromUtf8(expected)) << typed;
    }
    // Accepting the cell takes the list's entry, name and code, whatever was typed, and closes it.
    EXPECT_TRUE(accept(r, row, 2, QStringLiteral("XYZ")).isEmpty());
    EXPECT_EQ(row.text(2), QStringLiteral("METRO CÚBICO"));
    EXPECT_EQ(row.value(1).toInt(), 5);
    EXPECT_FALSE(unidades.shown);
    // Enter in the list gives the same pair.
    unidades.selectText(QStringLiteral("PIEZA"));
    const auto chosen = r.chosenUnit();
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->name, QStringLiteral("PIEZA"));
    EXPECT_EQ(chosen->code.toInt(), 6);

    // Without a current entry only a catalogue name is taken; anything else leaves no unit.
    unidades.current = -1;
    EXPECT_FALSE(r.chosenUnit().has_value());
    accept(r, row, 2, QStringLiteral("litro"));
    EXPECT_EQ(row.text(2), QStringLiteral("LITRO"));
    EXPECT_EQ(row.value(1).toInt(), 8);
    accept(r, row, 2, QStringLiteral("LITROS"));
    EXPECT_TRUE(row.value(2).isNull() && row.value(1).isNull());
}

TEST_F(Products, EveryProductWithATariffItemKeepsOneExportProductRow) {
    ProductRule r = rule();
    // The first product: identifier 1, the text "null " as description, stored with the product.
    GridRow a = product(r, QStringLiteral("84713001"));
    EXPECT_EQ(annexes(), QStringLiteral("1|1|null|84713001|0"));
    EXPECT_EQ(a.value(5).toInt(), 1);
    // The description is the text null (dBase keeps no trailing blank), not an absent value.
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos where descrip = 'null'")), 1);
    EXPECT_EQ(refrescos, 1);
    // Changing its tariff item (or anything else) updates that same row.
    a.setValue(0, QStringLiteral("84713002"));
    ASSERT_TRUE(store(r, a, QStringLiteral("improd"), kProducto));
    a.setValue(3, 50);
    ASSERT_TRUE(store(r, a, QStringLiteral("improd"), kProducto));
    EXPECT_EQ(annexes(), QStringLiteral("1|1|null|84713002|0"));
    // The same tariff item twice: two rows.
    GridRow b = product(r, QStringLiteral("84713002"));
    EXPECT_EQ(b.value(5).toInt(), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos where fraccion = '84713002'")), 2);

    // Without a tariff item: stored, told, no annex row; it gets one with its first item.
    messages.clear();
    GridRow c = product(r, QString());
    EXPECT_EQ(messages.texts(), QStringList{kSinFraccion});
    EXPECT_TRUE(c.value(5).isNull());
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 2);
    c.setValue(0, QStringLiteral("61091001"));
    ASSERT_TRUE(store(r, c, QStringLiteral("improd"), kProducto));
    EXPECT_EQ(c.value(5).toInt(), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos where id_prod = 3 and fraccion = '61091001'")), 1);

    // A product whose export-product row was deleted in the annexes gets a new one when it
    // is next stored (the update alone would have found nothing to change).
    exec(QStringLiteral("delete from imanexos where id_prod = 1"));
    a.setValue(0, QStringLiteral("84713009"));
    ASSERT_TRUE(store(r, a, QStringLiteral("improd"), kProducto));
    EXPECT_EQ(a.value(5).toInt(), 4);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos where id_prod = 4 and fraccion = '84713009' and "
                                   "tipo_reg = 1 and id_subord = 0")),
              1);
    // Two products holding the same identifier (an imported list) do not share one row.
    exec(QStringLiteral("insert into improd (fraccion, id_prod) values ('39269099', 4)"));
    GridRow d = storedRow(QStringLiteral("improd"), kProducto, lastRecno(QStringLiteral("improd")));
    ASSERT_TRUE(store(r, d, QStringLiteral("improd"), kProducto));
    EXPECT_EQ(d.value(5).toInt(), 5);
    EXPECT_EQ(rows(QStringLiteral("select id_prod, fraccion from imanexos where id_prod >= 4 order by id_prod")),
              QStringLiteral("4|84713009;5|39269099"));
}

TEST_F(Products, IdentifierPastTheLimitIsRefusedAndNothingIsWritten) {
    ProductRule r = rule();
    exec(QStringLiteral("insert into imanexos values (32767, 2, 'CAJA', null, 0)"));
    GridRow row = newRow(r, 6);
    row.setValue(0, QStringLiteral("84713001"));
    messages.clear();
    EXPECT_FALSE(r.beforeInsert(row));
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.last().contains(QStringLiteral("32767"))) << messages.last().toStdString();
    EXPECT_TRUE(row.value(5).isNull());
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 1);
    // A product that already has its row is stored as ever.
    exec(QStringLiteral("insert into imanexos values (7, 1, 'null ', '84713001', 0)"));
    exec(QStringLiteral("insert into improd (fraccion, id_prod) values ('84713001', 7)"));
    GridRow stored = storedRow(QStringLiteral("improd"), kProducto, lastRecno(QStringLiteral("improd")));
    stored.setValue(0, QStringLiteral("84713005"));
    ASSERT_TRUE(store(r, stored, QStringLiteral("improd"), kProducto));
    EXPECT_EQ(scalar(QStringLiteral("select fraccion from imanexos where id_prod = 7")).toString(),
              QStringLiteral("84713005"));
}

TEST_F(Products, NewProductInAnExtensionTakesAwayTheContainersPage) {
    ProductRule r = rule();
    int avisos = 0;
    QObject::connect(&estado, &RequestState::changed, [&] { ++avisos; });
    estado.tramite = kProgramaNuevo;
    GridRow a = product(r, QStringLiteral("84713001"));
    EXPECT_TRUE(estado.paginas[kPagContenedores]);
    estado.tramite = kAmpliacion;
    a.setValue(0, QStringLiteral("84713002"));  // an update is not a new product
    ASSERT_TRUE(store(r, a, QStringLiteral("improd"), kProducto));
    EXPECT_TRUE(estado.paginas[kPagContenedores]);
    EXPECT_EQ(avisos, 0);
    product(r, QStringLiteral("84713003"));
    EXPECT_FALSE(estado.paginas[kPagContenedores]);
    EXPECT_EQ(avisos, 1);
    for (int p = 0; p < kNumPaginas; ++p)
        if (p != kPagContenedores) {
            EXPECT_TRUE(estado.paginas[p]) << p;
        }
}

TEST_F(Products, ProductWithInputsIsNotDeleted) {
    ProductRule r = rule();
    GridRow a = product(r, QStringLiteral("84713001"));
    GridRow b = product(r, QStringLiteral("84713002"));
    exec(QStringLiteral("insert into imanexos values (3, 1, null, '61091001', 1)"));
    messages.clear();
    EXPECT_FALSE(remove(r, a, QStringLiteral("improd")));
    EXPECT_EQ(messages.texts(), QStringList{kConInsumos});
    EXPECT_EQ(count(QStringLiteral("select count(*) from improd")), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 3);
    // Without inputs the product goes with its export-product row, and nothing else.
    EXPECT_TRUE(remove(r, b, QStringLiteral("improd")));
    EXPECT_EQ(annexes(), QStringLiteral("1|1|null|84713001|0;3|1|~|61091001|1"));
    // A product without identifier is just deleted.
    GridRow c = product(r, QString());
    messages.clear();
    EXPECT_TRUE(remove(r, c, QStringLiteral("improd")));
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 2);
}

TEST_F(Products, DeletedProductGoesByTheIdentifierTheTableHolds) {
    // The product lost its export-product row on the annexes page (its link emptied) while
    // the grid still shows identifier 1, which a new export product took since.
    exec(QStringLiteral("insert into improd (fraccion, id_prod) values ('84713001', null)"));
    exec(QStringLiteral("insert into imanexos values (1, 1, 'null ', '84713009', 0)"));
    exec(QStringLiteral("insert into imanexos values (2, 1, null, '61091001', 1)"));
    ProductRule r = rule();
    GridRow shown = storedRow(QStringLiteral("improd"), kProducto, 1);
    shown.setValue(5, 1);
    messages.clear();
    EXPECT_TRUE(remove(r, shown, QStringLiteral("improd")));
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_EQ(annexes(), QStringLiteral("1|1|null|84713009|0;2|1|~|61091001|1"));
}

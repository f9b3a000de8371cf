// The annex grids over imanexos: the export products (dbAnxMPE) and the inputs, containers,
// tools and rework (dbAnx): how their rows are stamped, refused and deleted.

#include "annexes/AnnexFixture.h"

using namespace kalto;
using namespace kalto::test;

namespace {

const QString kCapture8 = QStringLiteral("Capture 8 digitos en la fraccion");
const QString kCaptureDescripcion = QStringLiteral("Capture descripcion");

}  // namespace

TEST_F(AnnexFixture, AnnexRowsAreStampedOrRefused) {
    // The inputs grid is entered only with an export product selected; the others always.
    EXPECT_FALSE(anx[0].gridEntered());
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Plain);
    EXPECT_EQ(messages.entries[0].text, QStringLiteral("Seleccione un registro"));
    EXPECT_TRUE(anx[3].gridEntered());
    exec(QStringLiteral("insert into imanexos values (1, 1, 'null ', '84713001', 0)"));
    seleccion = {1, QStringLiteral("84713001")};
    EXPECT_TRUE(anx[0].gridEntered());

    // A new row gets the next identifier (not one typed over it), its kind, and as parent the
    // selected export product (inputs) or 0; a stored row keeps its identifier.
    GridRow input = newRow(anx[0], 4);
    input.setValue(2, QStringLiteral("84713003"));
    input.setValue(0, 1);
    ASSERT_TRUE(store(anx[0], input, kInsumos));
    input.setValue(0, 1);
    input.setValue(2, QStringLiteral("847130"));  // six digits are taken
    ASSERT_TRUE(store(anx[0], input, kInsumos));
    auto typed = [&](GridRule& rule, const Grid& g, int column, const char* value) {
        GridRow row = newRow(rule, g.fields.size());
        row.setValue(column, QString::fromLatin1(value));
        row.setValue(g.fields.size() - 1, 9);
        return store(rule, row, g);
    };
    ASSERT_TRUE(typed(anx[1], kContenedores, 3, "CAJA"));
    ASSERT_TRUE(typed(anx[2], kContenedores, 3, "TORNO"));
    ASSERT_TRUE(typed(anx[3], kInsumos, 2, "84713005"));
    ASSERT_TRUE(typed(mpe, kMPE, 3, "61091001"));
    EXPECT_EQ(annexes(), QStringLiteral("1|1|null|84713001|0;2|1|~|847130|1;3|2|CAJA|~|0;4|3|TORNO|~|0;"
                                        "5|4|~|84713005|0;6|1|~|61091001|0"));

    // Refused, nothing written: an input without a tariff item of 6 or 8 digits, or without an
    // export product (none selected, one deleted since, or an identifier another row holds).
    messages.clear();
    for (const auto& [parent, item] :
         {std::pair{1, ""}, {1, "8471300"}, {0, "84713004"}, {7, "84713004"}, {2, "84713004"}}) {
        seleccion = {parent ? QVariant(parent) : QVariant(), QStringLiteral("84713001")};
        GridRow row = newRow(anx[0], 4);
        row.setValue(2, QString::fromLatin1(item));
        EXPECT_FALSE(store(anx[0], row, kInsumos)) << parent << item;
    }
    EXPECT_FALSE(typed(anx[1], kContenedores, 3, ""));
    EXPECT_EQ(messages.texts(), (QStringList{kCapture8, kCapture8, kCaptureDescripcion, kCaptureDescripcion,
                                             kCaptureDescripcion, kCaptureDescripcion}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 6);
}

TEST_F(AnnexFixture, NoIdentifierPast32767InAnyGrid) {
    exec(QStringLiteral("insert into imanexos values (32766, 1, 'null ', '84713001', 0)"));
    seleccion = {32766, QStringLiteral("84713001")};
    GridRow input = newRow(anx[0], 4);
    input.setValue(2, QStringLiteral("84713003"));
    ASSERT_TRUE(store(anx[0], input, kInsumos));  // 32767 is the last one
    input.setValue(2, QStringLiteral("84713009"));
    ASSERT_TRUE(store(anx[0], input, kInsumos));  // and a stored row is still changed
    // Every new row that needs an identifier is refused, told, and keeps none.
    GridRule* rules[] = {&anx[0], &mpe, &anx[1], &producto, &servicio};
    const int columns[][2] = {{2, 4}, {3, 5}, {3, 5}, {0, 6}, {1, 2}};
    for (int i = 0; i < 5; ++i) {
        GridRow row = newRow(*rules[i], columns[i][1]);
        row.setValue(columns[i][0], QStringLiteral("84713004"));
        if (rules[i] == &servicio) row.setValue(0, 12);
        messages.clear();
        EXPECT_FALSE(rules[i]->beforeInsert(row)) << i;
        EXPECT_EQ(messages.texts(), QStringList{annexmsg::kSinIdentificadores}) << i;
        EXPECT_TRUE(row.value(rules[i] == &producto ? 5 : 0).isNull() || rules[i] == &servicio) << i;
    }
    // A service numbered below 13 needs none.
    GridRow doce = newRow(servicio, 2);
    doce.setValue(0, 11);
    doce.setValue(1, QStringLiteral("ACONDICIONAMIENTO"));
    EXPECT_TRUE(store(servicio, doce, kImserv));
    EXPECT_EQ(annexes(), QStringLiteral("32766|1|null|84713001|0;32767|1|~|84713009|32766"));
}

TEST_F(AnnexFixture, DeletedExportProductTakesItsOwnInputsOnly) {
    for (const char* sql : {"insert into imanexos values (1, 1, 'null ', '84713001', 0)",
                            "insert into imanexos values (2, 1, 'null ', '84713002', 0)",
                            "insert into imanexos values (3, 1, null, '61091001', 1)",
                            "insert into imanexos values (4, 1, null, '61091002', 2)",
                            "insert into imanexos values (5, 2, 'CAJA', null, 0)",
                            "insert into imanexos values (0, 1, 'null ', '84713003', 0)",
                            "insert into imanexos values (7, 1, 'null ', '84713007', 0)",
                            "insert into improd (fraccion, id_prod) values ('84713001', 1)",
                            "insert into improd (fraccion, id_prod) values ('84713002', 2)"})
        exec(QString::fromLatin1(sql));
    // The row in edit shows another product's identifier typed over its own: it goes by the
    // one the table holds, with its own inputs; the product that had it loses its link.
    GridRow primero = storedRow(kMPE, 1);
    primero.setValue(0, 2);
    EXPECT_TRUE(remove(mpe, primero, kMPE));
    EXPECT_EQ(rows(QStringLiteral("select fraccion, id_prod from improd")), QStringLiteral("84713001|~;84713002|2"));
    EXPECT_EQ(inputsShown, 1);
    EXPECT_EQ(productsShown, 1);
    // Identifier 0 names no product (the top-level rows stay); a row without a product
    // behind it does not show the products again.
    EXPECT_TRUE(remove(mpe, storedRow(kMPE, 6), kMPE));
    EXPECT_TRUE(remove(mpe, storedRow(kMPE, 7), kMPE));
    EXPECT_EQ(productsShown, 1);
    EXPECT_EQ(annexes(), QStringLiteral("2|1|null|84713002|0;4|1|~|61091002|2;5|2|CAJA|~|0"));
    EXPECT_TRUE(messages.texts().isEmpty());  // no question without services
}

TEST_F(AnnexFixture, DeletingWithServicesAsksAboutTheService) {
    for (const char* sql :
         {"insert into imserv values (13, 'REPARACION')", "insert into imanexos values (1, 1, 'REPARACION', 'null', 0)",
          "insert into imanexos values (2, 1, null, '61091001', 1)",
          "insert into imanexos values (3, 1, 'null ', '84713001', 0)",
          "insert into imanexos values (4, 1, null, '61091002', 3)"})
        exec(QString::fromLatin1(sql));
    estado.descripcionEnAnxMPE = true;
    const QString pregunta = QStringLiteral("Se borrará el servicio en la ceja correspondiente. Estas de acuerdo?");
    // No (what Enter alone answers): the service stays; the row goes with its own inputs.
    messages.answers = {false};
    EXPECT_TRUE(remove(mpe, storedRow(kMPE, 3), kMPE));
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].text, pregunta);
    EXPECT_EQ(messages.entries[0].presetAnswer, Messages::Answer::No);
    EXPECT_EQ(annexes(), QStringLiteral("1|1|REPARACION|null|0;2|1|~|61091001|1"));
    EXPECT_TRUE(estado.descripcionEnAnxMPE);
    EXPECT_EQ(servicesShown, 0);
    // Yes: the service and its inputs go, and export products are named by tariff item again.
    messages.answers = {true};
    EXPECT_TRUE(remove(mpe, storedRow(kMPE, 1), kMPE));
    EXPECT_EQ(
        count(QStringLiteral("select count(*) from imanexos")) + count(QStringLiteral("select count(*) from imserv")),
        0);
    EXPECT_FALSE(estado.descripcionEnAnxMPE);
    EXPECT_EQ(servicesShown, 1);
    // Without inputs on the service's product there is no question.
    exec(QStringLiteral("insert into imserv values (14, 'OTRO')"));
    exec(QStringLiteral("insert into imanexos values (1, 1, 'OTRO', 'null', 0)"));
    messages.clear();
    EXPECT_TRUE(remove(mpe, storedRow(kMPE), kMPE));
    EXPECT_TRUE(messages.texts().isEmpty());
}

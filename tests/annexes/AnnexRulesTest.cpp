// The annex grids: export products (dbAnxMPE) and the array dbAnx of inputs, containers,
// tools and rework.

#include "annexes/AnnexFixture.h"
#include "annexes/AnnexRules.h"

using namespace kalto;
using namespace kalto::test;

namespace {

const QString kLongitud = QStringLiteral("La longitud de la fracción sólo puede ser de 8 digitos.  Rectifica por favor");
const QString kDigitos = QStringLiteral("Debes ingresar números en este campo. Rectifica por favor");
const QString kRango72 = QStringLiteral(
    "La fracción de exportación no debe estar en el rango(72000000 Y 72999999),Necesita ingresar una solitud de "
    "ampliacion sensible a través de escrito libre en base a las reglas 3.3.1 a 3.3.6, según corresponda ");
const QString kSensible = QStringLiteral(
    "Necesita ingresar una solitud de ampliación sensible a través de escrito libre en base a las reglas 3.3.1 a "
    "3.3.6, según corresponda");
const QString kSensible72 = QStringLiteral(
    "Necesita ingresar una solitud de ampliacion sensible a través de escrito libre en base a las reglas 3.3.1 a "
    "3.3.6, según corresponda");
const QString kNoNecesario = QStringLiteral("No es necesario solicitar ampliacón para este tipo de fraccion");

const Fields kMPE{"ID_PROD", "TIPO_REG", "DESCRIP", "FRACCION", "ID_SUBORD"};
const Fields kInsumo{"ID_PROD", "TIPO_REG", "FRACCION", "ID_SUBORD"};
const Fields kContenedor{"ID_PROD", "TIPO_REG", "", "DESCRIP", "ID_SUBORD"};
const QString kAnexos = QStringLiteral("imanexos");

class Annexes : public AnnexFixture {
protected:
    void SetUp() override {
        AnnexFixture::SetUp();
        events.inputsChanged = [this] { ++insumosMostrados; };
        events.servicesChanged = [this] { ++serviciosMostrados; };
        events.exportProductsChanged = [this] { ++productosMostrados; };
        events.productsChanged = [this] { ++improdMostrado; };
    }
    AnnexRule grid(int index) {
        return AnnexRule(db, messages, estado, index, [this] { return seleccion; });
    }
    ExportProductAnnexRule mpe() { return ExportProductAnnexRule(db, messages, estado, events); }
    static int columns(int index) { return index == 1 || index == 2 ? 5 : 4; }
    QString all() { return rows(QStringLiteral("select id_prod, tipo_reg, descrip, fraccion, id_subord from imanexos")); }

    ExportProductSelection seleccion;
    AnnexEvents events;
    int insumosMostrados = 0, serviciosMostrados = 0, productosMostrados = 0, improdMostrado = 0;
};

}  // namespace

TEST_F(Annexes, ExportProductTariffItem) {
    ExportProductAnnexRule r = mpe();
    GridRow row = newRow(r, 5);
    for (const auto& [typed, message] : {std::pair{"72000000", kRango72}, {"72999999", kRango72},
                                         {"71999999", QString()}, {"73000000", QString()}, {"7200000", kLongitud},
                                         {"72A00000", kDigitos}}) {
        const QStringList shown = accept(r, row, 3, QString::fromLatin1(typed));
        EXPECT_EQ(shown, message.isEmpty() ? QStringList() : QStringList{message}) << typed;
        EXPECT_EQ(row.value(3).isNull(), !message.isEmpty()) << typed;
    }
    // Other columns have no check.
    EXPECT_TRUE(accept(r, row, 2, QStringLiteral("72000000")).isEmpty());
    // Digits only, Backspace and letters discarded; with a service of number 13 or more, nothing.
    EXPECT_EQ(keys(r, row, 3, QStringLiteral("7a2\b-9 ")), QStringLiteral("729"));
    exec(QStringLiteral("insert into imserv values (13, 'SERVICIO')"));
    EXPECT_EQ(keys(r, row, 3, QStringLiteral("729")), QString());
    EXPECT_EQ(keys(r, row, 2, QStringLiteral("ABC")), QString());
    exec(QStringLiteral("update imserv set idserv = 12"));
    EXPECT_EQ(keys(r, row, 3, QStringLiteral("729")), QStringLiteral("729"));
}

TEST_F(Annexes, InputTariffItemByProcedure) {
    struct Case {
        int tramite;
        const char* exportacion;  // the selected export product's tariff item
        const char* typed;
        QString message;  // empty: accepted
    };
    const Case cases[] = {
        // Extension: only chapters 50 to 63 that are neither sensitive nor caught by chapter 72.
        {kAmpliacion, "84713001", "61091001", {}},
        {kAmpliacion, "84713001", "50000000", {}},
        {kAmpliacion, "84713001", "63999999", {}},
        {kAmpliacion, "84713001", "84713003", kNoNecesario},
        {kAmpliacion, "84713001", "49999999", kNoNecesario},
        {kAmpliacion, "84713001", "17011101", kSensible},  // and no second message
        {kAmpliacion, "84713001", "40122001", kSensible},
        {kAmpliacion, "72011001", "72081001", kSensible72},
        {kAmpliacion, "84713001", "72081001", kNoNecesario},
        // New programme: chapter 72 under a chapter-72 product, and the sensitive list.
        {kProgramaNuevo, "84713001", "84713003", {}},
        {kProgramaNuevo, "72011001", "72081001", kSensible},
        {kProgramaNuevo, "84713001", "72081001", {}},
        {kProgramaNuevo, "84713001", "21069005", kSensible},
        {kProgramaNuevo, "84713001", "21069006", {}},
        // No procedure: the length and digits only.
        {-1, "72011001", "17011101", {}},
        {-1, "72011001", "1701110", kLongitud},
        {kAmpliacion, "84713001", "1701110A", kDigitos},
        {kAmpliacion, "84713001", "", kLongitud},
    };
    for (int index : {0, 3}) {
        AnnexRule r = grid(index);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.typed) + " under " + c.exportacion + ", procedure " + std::to_string(c.tramite) +
                         ", grid " + std::to_string(index));
            estado.tramite = c.tramite;
            seleccion = {1, QString::fromLatin1(c.exportacion)};
            GridRow row = newRow(r, 4);
            row.setValue(3, 1);
            EXPECT_EQ(accept(r, row, 2, QString::fromLatin1(c.typed)),
                      c.message.isEmpty() ? QStringList() : QStringList{c.message});
            EXPECT_EQ(row.value(2).isNull(), !c.message.isEmpty());
            EXPECT_TRUE(row.value(3).isNull());  // the parent link is stamped again on storing
        }
        // Inputs and rework take digits only; containers and tools any character.
        EXPECT_EQ(keys(r, GridRow(), 2, QStringLiteral("8a4\b.7")), QStringLiteral("847"));
    }
    AnnexRule contenedores = grid(1), herramientas = grid(2);
    EXPECT_EQ(keys(contenedores, GridRow(), 3, QStringLiteral("Caja 1\b")), QStringLiteral("Caja 1\b"));
    EXPECT_EQ(keys(herramientas, GridRow(), 2, QStringLiteral("X")), QStringLiteral("X"));
}

TEST_F(Annexes, TariffItemAndDescriptionExcludeEachOther) {
    AnnexRule contenedores = grid(1);
    GridRow row = newRow(contenedores, 5);
    accept(contenedores, row, 3, QStringLiteral("CAJA"));
    EXPECT_TRUE(accept(contenedores, row, 2, QStringLiteral("ABC")).isEmpty());  // no check on containers
    EXPECT_TRUE(row.value(3).isNull());
    EXPECT_EQ(row.text(2), QStringLiteral("ABC"));
    accept(contenedores, row, 3, QStringLiteral("CAJA"));
    EXPECT_TRUE(row.value(2).isNull());
    // A description of 255 characters is told and kept; 254 pass.
    EXPECT_TRUE(accept(contenedores, row, 3, QString(254, 'D')).isEmpty());
    EXPECT_EQ(accept(contenedores, row, 3, QString(255, 'D')),
              QStringList{QStringLiteral("La descripción del producto sólo puede ser máximo de 254 caracteres. "
                                         "Rectifica por favor")});
    EXPECT_EQ(row.text(3).size(), 255);
    // In the inputs grid column 3 is the parent link: typing there empties the tariff item.
    AnnexRule insumos = grid(0);
    GridRow input = newRow(insumos, 4);
    accept(insumos, input, 2, QStringLiteral("84713001"));
    EXPECT_TRUE(accept(insumos, input, 3, QStringLiteral("5")).isEmpty());
    EXPECT_TRUE(input.value(2).isNull());
}

TEST_F(Annexes, RowsAreStampedOrRefusedBeforeTheyAreStored) {
    exec(QStringLiteral("insert into imanexos values (1, 1, 'null ', '84713001', 0)"));
    seleccion = {1, QStringLiteral("84713001")};
    // An input: next identifier, kind 1, the selected export product as parent.
    AnnexRule insumos = grid(0);
    GridRow input = newRow(insumos, 4);
    accept(insumos, input, 2, QStringLiteral("84713003"));
    input.setValue(0, 1);  // typed over the identifier: not taken
    ASSERT_TRUE(store(insumos, input, kAnexos, kInsumo));
    EXPECT_EQ(rows(QStringLiteral("select id_prod, tipo_reg, fraccion, id_subord from imanexos where id_prod = 2")),
              QStringLiteral("2|1|84713003|1"));
    // A stored row keeps its identifier, whatever is typed over it.
    input.setValue(0, 1);
    input.setValue(2, QStringLiteral("847130"));  // six characters are taken
    ASSERT_TRUE(store(insumos, input, kAnexos, kInsumo));
    EXPECT_EQ(rows(QStringLiteral("select id_prod, fraccion from imanexos where id_subord = 1")),
              QStringLiteral("2|847130"));

    // Refusals: no tariff item, one of another length, no selected product (empty parent).
    messages.clear();
    GridRow sinFraccion = newRow(insumos, 4);
    EXPECT_FALSE(store(insumos, sinFraccion, kAnexos, kInsumo));
    sinFraccion.setValue(2, QStringLiteral("8471300"));
    EXPECT_FALSE(store(insumos, sinFraccion, kAnexos, kInsumo));
    seleccion = {};
    sinFraccion.setValue(2, QStringLiteral("84713004"));
    EXPECT_FALSE(store(insumos, sinFraccion, kAnexos, kInsumo));
    EXPECT_EQ(messages.texts(), (QStringList{"Capture 8 digitos en la fraccion", "Capture 8 digitos en la fraccion",
                                             "Capture descripcion"}));
    // A container without description is refused; with one it is kind 2 with parent 0.
    AnnexRule contenedores = grid(1);
    GridRow caja = newRow(contenedores, 5);
    messages.clear();
    EXPECT_FALSE(store(contenedores, caja, kAnexos, kContenedor));
    EXPECT_EQ(messages.texts(), QStringList{"Capture descripcion"});
    caja.setValue(3, QStringLiteral("CAJA"));
    ASSERT_TRUE(store(contenedores, caja, kAnexos, kContenedor));
    GridRow torno = newRow(contenedores, 5);
    torno.setValue(3, QStringLiteral("TORNO"));
    AnnexRule herramientas = grid(2);
    ASSERT_TRUE(store(herramientas, torno, kAnexos, kContenedor));
    AnnexRule retrabajo = grid(3);
    GridRow pieza = newRow(retrabajo, 4);
    pieza.setValue(2, QStringLiteral("84713005"));
    ASSERT_TRUE(store(retrabajo, pieza, kAnexos, kInsumo));
    EXPECT_EQ(rows(QStringLiteral("select id_prod, tipo_reg, descrip, fraccion, id_subord from imanexos where id_prod "
                                  "> 2")),
              QStringLiteral("3|2|CAJA|~|0;4|3|TORNO|~|0;5|4|~|84713005|0"));

    // An export product typed in the annexes: kind 1, parent 0.
    ExportProductAnnexRule r = mpe();
    GridRow producto = newRow(r, 5);
    producto.setValue(3, QStringLiteral("61091001"));
    producto.setValue(4, 9);
    ASSERT_TRUE(store(r, producto, kAnexos, kMPE));
    EXPECT_EQ(rows(QStringLiteral("select id_prod, tipo_reg, fraccion, id_subord from imanexos where id_prod = 6")),
              QStringLiteral("6|1|61091001|0"));
}

TEST_F(Annexes, IdentifierPastTheLimitIsRefusedInEveryGrid) {
    exec(QStringLiteral("insert into imanexos values (32766, 1, 'null ', '84713001', 0)"));
    seleccion = {32766, QStringLiteral("84713001")};
    AnnexRule insumos = grid(0);
    GridRow input = newRow(insumos, 4);
    input.setValue(2, QStringLiteral("84713003"));
    ASSERT_TRUE(store(insumos, input, kAnexos, kInsumo));  // 32767 is the last one
    EXPECT_EQ(input.value(0).toInt(), 32767);
    // The stored row is still changed under its own identifier.
    input.setValue(2, QStringLiteral("84713009"));
    ASSERT_TRUE(store(insumos, input, kAnexos, kInsumo));
    ExportProductAnnexRule r = mpe();
    AnnexRule contenedores = grid(1);
    GridRow otro = newRow(insumos, 4);
    otro.setValue(2, QStringLiteral("84713004"));
    GridRow producto = newRow(r, 5);
    GridRow caja = newRow(contenedores, 5);
    caja.setValue(3, QStringLiteral("CAJA"));
    for (auto [rule, row] : {std::pair<GridRule*, GridRow*>{&insumos, &otro}, {&r, &producto}, {&contenedores, &caja}}) {
        messages.clear();
        EXPECT_FALSE(rule->beforeInsert(*row));
        ASSERT_EQ(messages.texts().size(), 1);
        EXPECT_TRUE(messages.last().contains(QStringLiteral("32767"))) << messages.last().toStdString();
        EXPECT_TRUE(row->value(0).isNull());
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 2);
    EXPECT_EQ(scalar(QStringLiteral("select fraccion from imanexos where id_prod = 32767")).toString(),
              QStringLiteral("84713009"));
}

TEST_F(Annexes, InputsGridNeedsASelectedExportProduct) {
    AnnexRule insumos = grid(0);
    EXPECT_FALSE(insumos.gridEntered());
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Plain);
    EXPECT_EQ(messages.entries[0].text, QStringLiteral("Seleccione un registro"));
    EXPECT_TRUE(messages.entries[0].title.isEmpty());
    messages.clear();
    seleccion = {3, QStringLiteral("84713001")};
    EXPECT_TRUE(insumos.gridEntered());
    seleccion = {};
    EXPECT_TRUE(grid(3).gridEntered());  // the other grids need none
    EXPECT_TRUE(messages.texts().isEmpty());
}

TEST_F(Annexes, DeletedExportProductTakesItsInputsOnly) {
    for (const char* sql : {"insert into imanexos values (1, 1, 'null ', '84713001', 0)",
                            "insert into imanexos values (2, 1, 'null ', '84713002', 0)",
                            "insert into imanexos values (3, 1, null, '61091001', 1)",
                            "insert into imanexos values (4, 1, null, '61091002', 1)",
                            "insert into imanexos values (5, 1, null, '61091003', 2)",
                            "insert into imanexos values (6, 2, 'CAJA', null, 0)",
                            "insert into imanexos values (0, 1, 'null ', '84713003', 0)"})
        exec(QString::fromLatin1(sql));
    ExportProductAnnexRule r = mpe();
    GridRow primero = storedRow(kAnexos, kMPE, 1);
    EXPECT_TRUE(remove(r, primero, kAnexos));
    EXPECT_EQ(all(), QStringLiteral("2|1|null|84713002|0;5|1|~|61091003|2;6|2|CAJA|~|0;0|1|null|84713003|0"));
    EXPECT_EQ(insumosMostrados, 1);
    EXPECT_TRUE(messages.texts().isEmpty());  // no question without services
    // A row whose identifier is 0 names no product: the top-level rows stay.
    GridRow cero = storedRow(kAnexos, kMPE, 7);
    EXPECT_TRUE(remove(r, cero, kAnexos));
    EXPECT_EQ(all(), QStringLiteral("2|1|null|84713002|0;5|1|~|61091003|2;6|2|CAJA|~|0"));
}

TEST_F(Annexes, DeletedExportProductGoesByItsStoredIdentifier) {
    for (const char* sql : {"insert into imanexos values (1, 1, 'null ', '84713001', 0)",
                            "insert into imanexos values (2, 1, 'null ', '84713002', 0)",
                            "insert into imanexos values (3, 1, null, '61091001', 1)",
                            "insert into imanexos values (4, 1, null, '61091002', 2)",
                            "insert into improd (fraccion, id_prod) values ('84713001', 1)",
                            "insert into improd (fraccion, id_prod) values ('84713002', 2)"})
        exec(QString::fromLatin1(sql));
    ExportProductAnnexRule r = mpe();
    // The row in edit shows another product's identifier typed over its own: the row goes
    // with its own inputs, the other product's stay.
    GridRow primero = storedRow(kAnexos, kMPE, 1);
    primero.setValue(0, 2);
    EXPECT_TRUE(remove(r, primero, kAnexos));
    EXPECT_EQ(all(), QStringLiteral("2|1|null|84713002|0;4|1|~|61091002|2"));
    // The product that had that row keeps no link to it; the other product keeps its own.
    EXPECT_EQ(rows(QStringLiteral("select fraccion, id_prod from improd")),
              QStringLiteral("84713001|~;84713002|2"));
    EXPECT_EQ(improdMostrado, 1);
    // Without a product behind it, the products grid is not shown again.
    exec(QStringLiteral("insert into imanexos values (5, 1, 'null ', '84713005', 0)"));
    EXPECT_TRUE(remove(r, storedRow(kAnexos, kMPE, lastRecno(kAnexos)), kAnexos));
    EXPECT_EQ(improdMostrado, 1);
}

TEST_F(Annexes, InputUnderAnExportProductDeletedMeanwhileIsRefused) {
    exec(QStringLiteral("insert into imanexos values (1, 1, 'null ', '84713001', 0)"));
    exec(QStringLiteral("insert into imanexos values (2, 1, null, '61091001', 1)"));
    // The page still shows product 3, deleted since, or an identifier an input now holds.
    AnnexRule insumos = grid(0);
    for (int padre : {3, 2}) {
        seleccion = {padre, QStringLiteral("84713003")};
        GridRow input = newRow(insumos, 4);
        accept(insumos, input, 2, QStringLiteral("61091005"));
        messages.clear();
        EXPECT_FALSE(store(insumos, input, kAnexos, kInsumo)) << padre;
        EXPECT_EQ(messages.texts(), QStringList{"Capture descripcion"}) << padre;
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 2);
}

TEST_F(Annexes, DeletingWithServicesAsksAboutTheService) {
    for (const char* sql : {"insert into imserv values (13, 'REPARACION')",
                            "insert into imanexos values (1, 1, 'REPARACION', 'null', 0)",
                            "insert into imanexos values (2, 1, null, '61091001', 1)",
                            "insert into imanexos values (3, 1, 'null ', '84713001', 0)",
                            "insert into imanexos values (4, 1, null, '61091002', 3)"})
        exec(QString::fromLatin1(sql));
    estado.descripcionEnAnxMPE = true;
    ExportProductAnnexRule r = mpe();
    const QString pregunta = QStringLiteral("Se borrará el servicio en la ceja correspondiente. Estas de acuerdo?");
    // No: the service stays; the chosen row goes with its own inputs.
    messages.answers = {false};
    EXPECT_TRUE(remove(r, storedRow(kAnexos, kMPE, 3), kAnexos));
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Question);
    EXPECT_EQ(messages.entries[0].text, pregunta);
    EXPECT_EQ(messages.defaultAnswers, QList<Messages::Answer>{Messages::Answer::No});  // Enter alone keeps the service
    EXPECT_EQ(all(), QStringLiteral("1|1|REPARACION|null|0;2|1|~|61091001|1"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from imserv")), 1);
    EXPECT_TRUE(estado.descripcionEnAnxMPE);
    EXPECT_EQ(serviciosMostrados, 0);
    // Yes: the service and its inputs go, and the export products are named by tariff item again.
    messages.clear();
    messages.answers = {true};
    EXPECT_TRUE(remove(r, storedRow(kAnexos, kMPE, 1), kAnexos));
    EXPECT_EQ(messages.texts(), QStringList{pregunta});
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imserv")), 0);
    EXPECT_FALSE(estado.descripcionEnAnxMPE);
    EXPECT_EQ(serviciosMostrados, 1);
    // Without inputs on the service's product there is no question.
    exec(QStringLiteral("insert into imserv values (14, 'OTRO')"));
    exec(QStringLiteral("insert into imanexos values (1, 1, 'OTRO', 'null', 0)"));
    messages.clear();
    EXPECT_TRUE(remove(r, storedRow(kAnexos, kMPE, lastRecno(kAnexos)), kAnexos));
    EXPECT_TRUE(messages.texts().isEmpty());
}

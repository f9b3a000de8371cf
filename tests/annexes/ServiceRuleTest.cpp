// The services grid: the one service chosen from the catalogue, its catalogue number, and
// the export-product row of a service from number 13 on.

#include "annexes/AnnexFixture.h"
#include "annexes/ServiceRule.h"

using namespace kalto;
using namespace kalto::test;

namespace {

const QString kUnServicio = QStringLiteral(
    "Has dado de alta previamente algún servicio. Sólo se puede presentar un servicio por solicitud. Rectifica por "
    "favor");
const QString kConInsumos =
    QStringLiteral("Tienes insumos dados de alta a este servicio. Debes eliminarlos. Rectifica por favor");
const Fields kServicio{"IDSERV", "SERVICIO"};
const QString kImserv = QStringLiteral("imserv");

class Services : public AnnexFixture {
protected:
    void SetUp() override {
        AnnexFixture::SetUp();
        lista.fill(db, QStringLiteral("select descserv, idcserv from imcserv"));
        events.exportProductsChanged = [this] { ++productosMostrados; };
        events.servicesChanged = [this] { ++serviciosMostrados; };
        events.selectPage = [this](int p) { pagina = p; };
        estado.paginas.fill(false);
    }
    ServiceRule rule() { return ServiceRule(db, messages, estado, &lista, events); }
    // Picks catalogue entry `position` (0-based) with Enter in the list, into a new row, and
    // stores the row.
    GridRow pick(ServiceRule& r, int position) {
        GridRow row = newRow(r, 2);
        lista.shown = true;
        lista.current = position;
        const auto choice = r.choose();
        EXPECT_TRUE(choice.has_value());
        if (!choice) return row;
        lista.hide();
        row.setValue(1, choice->text);
        row.setValue(0, choice->position);
        EXPECT_TRUE(store(r, row, kImserv, kServicio));
        return row;
    }

    FakePickList lista;
    AnnexEvents events;
    int productosMostrados = 0, serviciosMostrados = 0, pagina = -1;
};

}  // namespace

TEST_F(Services, ThirteenthServiceIsItsOwnExportProduct) {
    ServiceRule r = rule();
    exec(QStringLiteral("insert into imanexos values (7, 2, 'CAJA', null, 0)"));
    GridRow row = pick(r, 12);
    const QString texto = QStringLiteral("REPARACIÓN DE EQUIPO ELECTRÓNICO Y DE CÓMPUTO");
    EXPECT_EQ(rows(QStringLiteral("select idserv, servicio from imserv")), QStringLiteral("13|") + texto);
    EXPECT_EQ(rows(QStringLiteral("select id_prod, tipo_reg, descrip, fraccion, id_subord from imanexos where "
                                  "tipo_reg = 1")),
              QStringLiteral("8|1|") + texto + QStringLiteral("|null|0"));
    EXPECT_TRUE(estado.descripcionEnAnxMPE);
    EXPECT_TRUE(estado.paginas[kPagMateriasPrimas]);
    EXPECT_EQ(productosMostrados, 1);
    EXPECT_EQ(serviciosMostrados, 1);  // the grid shows the number counted from 1

    // One service per request: the list refuses a second choice, and a second row is refused.
    messages.clear();
    lista.current = 3;
    EXPECT_FALSE(r.choose().has_value());
    EXPECT_EQ(messages.texts(), QStringList{kUnServicio});
    GridRow segundo = newRow(r, 2);
    segundo.setValue(0, 3);
    segundo.setValue(1, QStringLiteral("OTRO"));
    EXPECT_FALSE(store(r, segundo, kImserv, kServicio));
    EXPECT_EQ(count(QStringLiteral("select count(*) from imserv")), 1);

    // Deleted without inputs: imserv empty, the export product gone, tariff items shown again.
    EXPECT_TRUE(remove(r, row, kImserv));
    EXPECT_EQ(count(QStringLiteral("select count(*) from imserv")), 0);
    EXPECT_EQ(rows(QStringLiteral("select id_prod, tipo_reg from imanexos")), QStringLiteral("7|2"));
    EXPECT_FALSE(estado.descripcionEnAnxMPE);
}

TEST_F(Services, TwelfthServiceHasNoExportProduct) {
    ServiceRule r = rule();
    pick(r, 11);
    EXPECT_EQ(scalar(QStringLiteral("select idserv from imserv")).toInt(), 12);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 0);
    EXPECT_FALSE(estado.descripcionEnAnxMPE);
    EXPECT_TRUE(estado.paginas[kPagMateriasPrimas]);
    EXPECT_EQ(productosMostrados, 0);
    // On an empty imanexos a service from 13 on gets identifier 1.
    remove(r, storedRow(kImserv, kServicio, lastRecno(kImserv)), kImserv);
    pick(r, 20);
    EXPECT_EQ(rows(QStringLiteral("select id_prod, idserv from imanexos, imserv")), QStringLiteral("1|21"));
}

TEST_F(Services, ServiceWithInputsIsNotDeleted) {
    // A product of the products grid (described by the text "null ") with an input comes
    // first in the table; it is not taken for the service's export product.
    exec(QStringLiteral("insert into imanexos values (1, 1, 'null ', '84713001', 0)"));
    exec(QStringLiteral("insert into imanexos values (2, 1, null, '61091001', 1)"));
    ServiceRule r = rule();
    GridRow row = pick(r, 13);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos where id_prod = 3 and fraccion = 'null'")), 1);
    exec(QStringLiteral("insert into imanexos values (4, 1, null, '61091002', 3)"));
    messages.clear();
    EXPECT_FALSE(remove(r, row, kImserv));
    EXPECT_EQ(messages.texts(), QStringList{kConInsumos});
    EXPECT_EQ(pagina, kPagMateriasPrimas);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imserv")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 4);
    EXPECT_TRUE(estado.descripcionEnAnxMPE);
    // Once its inputs are gone the service goes, with its export product only.
    exec(QStringLiteral("delete from imanexos where id_prod = 4"));
    messages.clear();
    EXPECT_TRUE(remove(r, row, kImserv));
    EXPECT_TRUE(messages.texts().isEmpty());
    EXPECT_EQ(rows(QStringLiteral("select id_prod from imanexos")), QStringLiteral("1;2"));
    EXPECT_FALSE(estado.descripcionEnAnxMPE);
}

TEST_F(Services, ListFollowsTheTypingAndTheCellTakesItsEntry) {
    ServiceRule r = rule();
    GridRow row = newRow(r, 2);
    lista.current = 0;
    QString text = QStringLiteral("REPAR");
    r.textChanged(row, 1, text);
    EXPECT_EQ(lista.current, 0);  // the list is closed
    lista.shown = true;
    for (const auto& [typed, position] : {std::pair{"repar", 12}, {"REPARACIÓN Y", 13}, {"reparación de equipo m", 15},
                                          {"REPARACIÓN DE EQUIPO E", 12}, {"ZZZ", 12}, {"ETIQUETADO", 3}}) {
        text = QString::fromUtf8(typed);
        r.textChanged(row, 1, text);
        EXPECT_EQ(lista.current, position) << typed;
    }
    // Accepting the cell: the entry's text, and in a new row its catalogue position.
    EXPECT_TRUE(accept(r, row, 1, QStringLiteral("ETIQ")).isEmpty());
    EXPECT_EQ(row.text(1), QStringLiteral("ETIQUETADO Y MARCADO DE MERCANCÍAS"));
    EXPECT_EQ(row.value(0).toInt(), 3);
    EXPECT_FALSE(lista.shown);
    ASSERT_TRUE(store(r, row, kImserv, kServicio));
    EXPECT_EQ(scalar(QStringLiteral("select idserv from imserv")).toInt(), 4);
    // In the stored row the text follows the list, the number stays: also when the grid
    // still shows the position the list gave before the row was stored.
    lista.current = 7;
    const QVariant antes = row.value(0);
    accept(r, row, 1, QStringLiteral("PINT"));
    EXPECT_EQ(row.text(1), QStringLiteral("PINTURA Y RECUBRIMIENTO DE PIEZAS"));
    EXPECT_EQ(row.value(0), antes);
    ASSERT_TRUE(store(r, row, kImserv, kServicio));
    EXPECT_EQ(rows(QStringLiteral("select idserv, servicio from imserv")),
              QStringLiteral("4|PINTURA Y RECUBRIMIENTO DE PIEZAS"));
    // The catalogue number is never typed, and a row without a chosen service is refused.
    EXPECT_EQ(keys(r, row, 0, QStringLiteral("13")), QString());
    EXPECT_EQ(keys(r, row, 1, QStringLiteral("AB")), QStringLiteral("AB"));
    exec(QStringLiteral("delete from imserv"));
    GridRow vacio = newRow(r, 2);
    vacio.setValue(1, QStringLiteral("ALGO"));
    messages.clear();
    EXPECT_FALSE(store(r, vacio, kImserv, kServicio));
    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("Debes elegir el servicio de la lista del catálogo. Rectifica por favor")});
}

TEST_F(Services, IdentifierPastTheLimitRefusesOnlyAServiceThatNeedsOne) {
    ServiceRule r = rule();
    exec(QStringLiteral("insert into imanexos values (32767, 2, 'CAJA', null, 0)"));
    GridRow row = newRow(r, 2);
    row.setValue(0, 12);
    row.setValue(1, QStringLiteral("REPARACIÓN DE EQUIPO ELECTRÓNICO Y DE CÓMPUTO"));
    messages.clear();
    EXPECT_FALSE(store(r, row, kImserv, kServicio));
    ASSERT_EQ(messages.texts().size(), 1);
    EXPECT_TRUE(messages.last().contains(QStringLiteral("32767")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from imserv")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 1);
    pick(r, 11);
    EXPECT_EQ(scalar(QStringLiteral("select idserv from imserv")).toInt(), 12);
}

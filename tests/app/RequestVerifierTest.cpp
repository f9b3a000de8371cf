// "Verificar solicitud" over a temporary data folder: every missing item and every rejected
// cell of the stored request at once, with the page, grid, row and column and the message
// the same check gives elsewhere, and the tables left byte for byte as they were.

#include "annexes/AnnexRules.h"
#include "app/DiskGeneration.h"
#include "app/RequestVerifier.h"
#include "records/CompanyRules.h"
#include "support/RequestFixture.h"

using namespace kalto;
using namespace Qt::StringLiterals;

namespace {

class VerificaTest : public test::RequestFixture {
protected:
    QHash<QString, QByteArray> tableBytes() const { return test::requestTableBytes(db); }
};

const QString kReq = u" es Requerido"_s;

}  // namespace

TEST_F(VerificaTest, EveryFindingOfTheRequestAtOnce) {
    complete();
    EXPECT_TRUE(RequestVerifier(*rules).verify().isEmpty());

    // The folio of the desahogo box, and one item missing on four pages: the fiscal address's
    // fax, the plants, the products' capacity, the annexes; and two controlled companies whose
    // RFC is of the wrong length, the second not the current row.
    estado.desahogo = true;
    exec(u"update imdint set dprev = 1"_s);
    exec(u"update imdir set fax = null where iddir = 'FL'"_s);
    exec(u"delete from imdir where iddir = 'PL'"_s);
    exec(u"update improd set volumen = null"_s);
    exec(u"delete from imanexos"_s);
    for (const char* rfc : {"ABC", "ABCD0101"})
        exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, porcont, porcext, idmcts) "
                            "values ('EMPRESA', ?, 0, 50, 10, 'C')"), {QString::fromLatin1(rfc)});
    const QHash<QString, QByteArray> before = tableBytes();
    const QString rfcMsg = CompanyGrid::controlled().rfcMessage + u" Rectifica por favor"_s;

    const QList<RequestFinding> found = RequestVerifier(*rules).verify();
    const QList<RequestFinding> expected = {
        {-1, u"txtADSol"_s, -1, -1, u"El Siguiente campo Año de folio a deshogar"_s + kReq},
        {-1, u"txtNDSol"_s, -1, -1, u"El Siguiente campo Número de folio a deshogar"_s + kReq},
        {kPagDomicilioFiscal, u"dbDomFiscal"_s, 0, 7, u"El Siguiente campo Fax de la tabla Direccion Fiscal"_s + kReq},
        {kPagPlantas, u"dbPlanta"_s, -1, -1,
         u"Debes ingresar por lo menos un registro en la tabla de  domicilio de planta"_s + kReq},
        {kPagProductos, u"dbProducto"_s, 0, 3, u"El Siguiente campo Capacidad Instalada de la tabla "_s + kReq},
        {kPagMateriasPrimas, u"dbAnxMPE"_s, -1, -1, DiskGeneration::kMsgAnexos},
        {kPagControladas, u"dbControl"_s, 0, 1, rfcMsg}, {kPagControladas, u"dbControl"_s, 1, 1, rfcMsg},
    };
    ASSERT_EQ(found.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(found[i], expected[i]) << i << ": " << found[i].object.toStdString() << " " << found[i].row << ","
                                         << found[i].column << " " << found[i].message.toStdString();
    // Nothing was shown, nothing written: the cell checks rewrote only their copies.
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
    EXPECT_EQ(tableBytes(), before);
}

TEST_F(VerificaTest, ContainersToolsOrReworkAloneAreAnnexes) {
    complete();
    for (int kind : {2, 3, 4}) {
        exec(u"delete from imanexos"_s);
        exec(u"insert into imanexos values (1, ?, 'CAJA', null, 0)"_s, {kind});
        for (const RequestFinding& f : RequestVerifier(*rules).verify())
            EXPECT_NE(f.message, DiskGeneration::kMsgAnexos) << kind;
    }
}

TEST_F(VerificaTest, EachInputIsJudgedAgainstItsOwnExportProduct) {
    // A second export product of chapter 72, not the selected one, with an input of chapter 72:
    // wrong under that product only.
    complete();
    exec(u"insert into imanexos values (3, 1, null, '72011111', 0)"_s);
    exec(u"insert into imanexos values (4, 1, null, '72022222', 3)"_s);
    ASSERT_EQ(fuentes->dtsAnxMPE()->recordSet().position(), 0);
    const QHash<QString, QByteArray> before = tableBytes();
    const RequestFinding product{kPagMateriasPrimas, u"dbAnxMPE"_s, 1, ExportProductAnnexRule::Fraccion,
                                 ExportProductAnnexRule::kMsgRango72};
    EXPECT_EQ(RequestVerifier(*rules).verify(), (QList<RequestFinding>{product, {kPagMateriasPrimas, u"dbAnx_0"_s, 0, 2,
                                               AnnexRule::kMsgSensible, 1}}));
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
    EXPECT_EQ(tableBytes(), before);
    // Under the selected product, of another chapter, the same input is right.
    exec(u"update imanexos set id_subord = 1 where id_prod = 4"_s);
    EXPECT_EQ(RequestVerifier(*rules).verify(), QList<RequestFinding>{product});
}

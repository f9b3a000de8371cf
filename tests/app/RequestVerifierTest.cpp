// "Verificar solicitud" over a temporary data folder: every missing item and every rejected
// cell of the stored request at once, with the page, grid, row and column and the message
// the same check gives elsewhere, and the tables left byte for byte as they were.

#include "annexes/AnnexRules.h"
#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/RequestRules.h"
#include "app/RequestVerifier.h"
#include "data/Database.h"
#include "data/TableCatalogue.h"
#include "records/CompanyRules.h"
#include "support/RecordingMessages.h"
#include "support/RequestFixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <memory>

using namespace kalto;

namespace {

class VerificaTest : public test::RequestFixture {
protected:
    QHash<QString, QByteArray> tableBytes() const { return test::requestTableBytes(db); }
};

const QString kReq = QStringLiteral(" es Requerido");

}  // namespace

TEST_F(VerificaTest, EveryFindingOfTheRequestAtOnce) {
    complete();
    EXPECT_TRUE(RequestVerifier(*rules).verify().isEmpty());

    // One item missing on four pages: the fiscal address's fax, the plants, the products'
    // capacity, the annexes; and two controlled companies whose RFC is of the wrong length.
    exec(QStringLiteral("update imdir set fax = null where iddir = 'FL'"));
    exec(QStringLiteral("delete from imdir where iddir = 'PL'"));
    exec(QStringLiteral("update improd set volumen = null"));
    exec(QStringLiteral("delete from imanexos"));
    for (const char* rfc : {"ABC", "ABCD0101"})
        exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, porcont, porcext, idmcts) "
                            "values ('EMPRESA', ?, 0, 50, 10, 'C')"),
             {QString::fromLatin1(rfc)});
    const QHash<QString, QByteArray> before = tableBytes();
    const QString rfcMsg = CompanyGrid::controlled().rfcMessage + QStringLiteral(" Rectifica por favor");

    const QList<RequestFinding> found = RequestVerifier(*rules).verify();
    const QList<RequestFinding> expected = {
        {kPagDomicilioFiscal, QStringLiteral("dbDomFiscal"), 0, 7,
         QStringLiteral("El Siguiente campo Fax de la tabla Direccion Fiscal") + kReq},
        {kPagPlantas, QStringLiteral("dbPlanta"), -1, -1,
         QStringLiteral("Debes ingresar por lo menos un registro en la tabla de  domicilio de planta") + kReq},
        {kPagProductos, QStringLiteral("dbProducto"), 0, 3,
         QStringLiteral("El Siguiente campo Capacidad Instalada de la tabla ") + kReq},
        {kPagMateriasPrimas, QStringLiteral("dbAnxMPE"), -1, -1, DiskGeneration::kMsgAnexos},
        {kPagControladas, QStringLiteral("dbControl"), 0, 1, rfcMsg},
        {kPagControladas, QStringLiteral("dbControl"), 1, 1, rfcMsg},
    };
    ASSERT_EQ(found.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(found[i], expected[i]) << i << ": " << found[i].object.toStdString() << " " << found[i].row << ","
                                         << found[i].column << " " << found[i].message.toStdString();
    }
    // Nothing was shown, nothing written: the cell checks rewrote only their copies.
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
    EXPECT_EQ(tableBytes(), before);
}

TEST_F(VerificaTest, HeaderAndEveryRowOfAGrid) {
    // The header's items, and a required column missing in a row other than the current one.
    complete();
    estado.desahogo = true;
    exec(QStringLiteral("update imdint set dprev = 1"));
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('PL', 'NORTE 2')"));
    const QList<RequestFinding> found = RequestVerifier(*rules).verify();
    ASSERT_GE(found.size(), 3);
    EXPECT_EQ(found[0], (RequestFinding{-1, QStringLiteral("txtADSol"), -1, -1,
                                        QStringLiteral("El Siguiente campo Año de folio a deshogar") + kReq}));
    EXPECT_EQ(found[1].object, QStringLiteral("txtNDSol"));
    // The second plant lacks every column but the street, each named on its own.
    int plantFindings = 0;
    for (const RequestFinding& f : found) {
        if (f.object != QStringLiteral("dbPlanta")) continue;
        EXPECT_EQ(f.row, 1);
        EXPECT_NE(f.column, 0);
        ++plantFindings;
    }
    EXPECT_EQ(plantFindings, 8);
}

TEST_F(VerificaTest, ControladoraRulesAreFindingsToo) {
    // A new "Controladora" programme whose one controlled company exports too little.
    complete();
    exec(QStringLiteral("update imdint set idmoda = 3"));
    exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, porcont, porcext, idmcts) "
                        "values ('EMPRESA', ' AAA010101AA1', 1000, 50, 10, 'C')"));
    reload();
    EXPECT_EQ(RequestVerifier(*rules).verify(), (QList<RequestFinding>{{kPagControladas, QStringLiteral("dbControl"), -1,
                                                                         -1, RequestRules::kMsgMontoControladora}}));
    EXPECT_TRUE(msgs.entries.isEmpty());
}

TEST_F(VerificaTest, ContainersToolsOrReworkAloneAreAnnexes) {
    complete();
    for (int kind : {2, 3, 4}) {
        exec(QStringLiteral("delete from imanexos"));
        exec(QStringLiteral("insert into imanexos values (1, ?, 'CAJA', null, 0)"), {kind});
        for (const RequestFinding& f : RequestVerifier(*rules).verify())
            EXPECT_NE(f.message, DiskGeneration::kMsgAnexos) << kind;
    }
}

TEST_F(VerificaTest, EachInputIsJudgedAgainstItsOwnExportProduct) {
    // A second export product of chapter 72, not the selected one, with an input of chapter 72:
    // wrong under that product only.
    complete();
    exec(QStringLiteral("insert into imanexos values (3, 1, null, '72011111', 0)"));
    exec(QStringLiteral("insert into imanexos values (4, 1, null, '72022222', 3)"));
    ASSERT_EQ(fuentes->dtsAnxMPE()->recordSet().position(), 0);
    const QHash<QString, QByteArray> before = tableBytes();
    const RequestFinding product{kPagMateriasPrimas, QStringLiteral("dbAnxMPE"), 1, ExportProductAnnexRule::Fraccion,
                                 ExportProductAnnexRule::kMsgRango72};
    EXPECT_EQ(RequestVerifier(*rules).verify(),
              (QList<RequestFinding>{product, {kPagMateriasPrimas, QStringLiteral("dbAnx_0"), 0, 2,
                                               AnnexRule::kMsgSensible, 1}}));
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
    EXPECT_EQ(tableBytes(), before);
    // Under the selected product, of another chapter, the same input is right.
    exec(QStringLiteral("update imanexos set id_subord = 1 where id_prod = 4"));
    EXPECT_EQ(RequestVerifier(*rules).verify(), QList<RequestFinding>{product});
}

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
    estado.modalidad = kControladora;
    exec(QStringLiteral("update imdint set idmoda = ?"), {kControladora});
    exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, porcont, porcext, idmcts) "
                        "values ('EMPRESA', 'AAA010101AA1', 1000, 50, 10, 'C')"));
    const QList<RequestFinding> found = RequestVerifier(*rules).verify();
    ASSERT_EQ(found.size(), 1) << found.value(0).message.toStdString();
    EXPECT_EQ(found[0], (RequestFinding{kPagControladas, QStringLiteral("dbControl"), -1, -1,
                                        RequestRules::kMsgMontoControladora}));
    EXPECT_TRUE(msgs.entries.isEmpty());
}

TEST_F(VerificaTest, InputsOfEveryExportProduct) {
    // Two export products; the inputs grid shows those of the first, selected one. The bad
    // input (a sensitive tariff item in a new programme) is the second of the other product.
    complete();
    exec(QStringLiteral("insert into imanexos values (3, 1, null, '87654321', 0)"));
    exec(QStringLiteral("insert into imanexos values (4, 1, null, '11111111', 1)"));
    exec(QStringLiteral("insert into imanexos values (5, 1, null, '22222222', 3)"));
    exec(QStringLiteral("insert into imanexos values (6, 1, null, '17011101', 3)"));
    fuentes->dtsAnxMPI()->setRecordSource(QStringLiteral("select * from imanexos where tipo_reg=1 and id_subord=?"),
                                          {qint64(1)});
    ASSERT_TRUE(fuentes->dtsAnxMPI()->refresh());
    fuentes->dtsAnxMPE()->recordSet().moveFirst();
    ASSERT_EQ(fuentes->dtsAnxMPE()->recordSet().valueAt(1, 0).toInt(), 3);
    const QHash<QString, QByteArray> before = tableBytes();

    const QList<RequestFinding> found = RequestVerifier(*rules).verify();
    ASSERT_EQ(found.size(), 1) << found.value(0).message.toStdString();
    EXPECT_EQ(found[0], (RequestFinding{kPagMateriasPrimas, QStringLiteral("dbAnx_0"), 1, 2, AnnexRule::kMsgSensible, 1}));
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
    EXPECT_EQ(tableBytes(), before);

    // The same input under the selected product is found with that product's row.
    exec(QStringLiteral("update imanexos set id_subord = 1 where id_prod = 6"));
    ASSERT_TRUE(fuentes->dtsAnxMPI()->refresh());
    const QList<RequestFinding> again = RequestVerifier(*rules).verify();
    ASSERT_EQ(again.size(), 1);
    EXPECT_EQ(again[0], (RequestFinding{kPagMateriasPrimas, QStringLiteral("dbAnx_0"), 2, 2, AnnexRule::kMsgSensible, 0}));
}

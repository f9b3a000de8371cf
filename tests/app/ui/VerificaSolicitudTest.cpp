// "Verificar solicitud" through the real main window: the findings listed at once, a double
// click taking the window to each one's page, row and cell, a complete request told so, and
// the tables untouched.

#include "WindowFixture.h"

#include "app/RequestRules.h"
#include "app/RequestVerifier.h"
#include "app/ui/frmVerificaSolicitud.h"
#include "core/GridHelpers.h"
#include "core/RequestState.h"
#include "data/TableCatalogue.h"

#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QToolButton>

namespace kalto::test {
namespace {

class VerificaVentanaTest : public WindowTest {
protected:
    void exec(const QString& sql) {
        QString err;
        ASSERT_TRUE(db.execute(sql, {}, &err)) << sql.toStdString() << ": " << err.toStdString();
    }
    // A new "Industrial" programme with everything required, stored before the window opens.
    void complete() {
        exec(QStringLiteral("update imdint set idtra = 0, idmoda = 0, dprev = 0"));
        exec(QStringLiteral("update imdint set %1 = 'AAAA010101AA1', %2 = 'EMPRESA'")
                 .arg(headerColumn(HeaderField::Rfc), headerColumn(HeaderField::CompanyName)));
        for (const char* kind : {"FL", "PL"})
            exec(QStringLiteral("insert into imdir (iddir, calleyno, cp, ciudad, colonia, telefono, email, edo, delmun, "
                                "fax) values ('%1', 'REFORMA 1', '06600', 'MEXICO', 'JUAREZ', '5551', 'a@b.mx', "
                                "'CDMX', 'CUAUHTEMOC', '5555')")
                     .arg(QString::fromLatin1(kind)));
        exec(QStringLiteral("insert into imrlegal values ('ANA', 'PEREZ', 'LOPEZ', '5552', 'DIRECTOR', 'ana@b.mx')"));
        exec(QStringLiteral("insert into improd (id_prod, fraccion, volumen, porcut, umid, um) "
                            "values (1, '12345678', 100, 50, 1, 'PIEZA')"));
        exec(QStringLiteral("insert into imanexos values (1, 1, null, '12345678', 0)"));
    }
    QList<QByteArray> tableBytes() {
        QList<QByteArray> out;
        for (const QString& t : requestTables()) {
            QFile f(db.tablePath(t));
            out << (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>"));
        }
        return out;
    }
    frmVerificaSolicitud* verify() {
        click(QStringLiteral("cmdVerificar"));
        QApplication::processEvents();
        const auto all = window->findChildren<frmVerificaSolicitud*>();
        EXPECT_EQ(all.size(), 1);
        return all.isEmpty() ? nullptr : all.last();
    }
};

TEST_F(VerificaVentanaTest, EachFindingTakesTheWindowToItsCell) {
    auto* boton = find<QToolButton>(QStringLiteral("cmdVerificar"));
    ASSERT_NE(boton, nullptr);
    EXPECT_EQ(boton->toolTip(), QStringLiteral("Verificar solicitud"));
    EXPECT_FALSE(boton->icon().isNull());
    EXPECT_GT(boton->x(), find<QToolButton>(QStringLiteral("cmdKALTO_4"))->x());

    complete();
    exec(QStringLiteral("update imdir set fax = null where iddir = 'FL'"));
    exec(QStringLiteral("insert into imdir (iddir, calleyno, cp, ciudad, colonia, telefono, email, edo, delmun, fax) "
                        "values ('PL', 'NORTE 2', '06600', 'MEXICO', null, '5551', 'a@b.mx', 'CDMX', 'CUAUHTEMOC', "
                        "'5555')"));
    exec(QStringLiteral("update improd set volumen = null"));
    reopen();
    const QList<QByteArray> before = tableBytes();

    frmVerificaSolicitud* w = verify();
    ASSERT_NE(w, nullptr);
    auto* lista = w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"));
    ASSERT_NE(lista, nullptr);
    const QList<RequestFinding> f = w->findings();
    ASSERT_EQ(f.size(), 3);
    ASSERT_EQ(lista->rowCount(), 3);
    EXPECT_EQ(lista->item(0, 4)->text(), QStringLiteral("El Siguiente campo Fax de la tabla Direccion Fiscal es Requerido"));
    const struct {
        int page;
        const char* grid;
        int row, column;
    } esperados[] = {{0, "dbDomFiscal", 0, 7}, {1, "dbPlanta", 1, 3}, {3, "dbProducto", 0, 3}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f[i].object, QString::fromLatin1(esperados[i].grid));
        lista->scrollToItem(lista->item(i, 0));
        const QPoint centro = lista->visualItemRect(lista->item(i, 0)).center();
        QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QApplication::processEvents();
        EXPECT_EQ(find<QTabWidget>(QStringLiteral("SSTabKALTO"))->currentIndex(), esperados[i].page) << i;
        BoundGrid* g = grid(QString::fromLatin1(esperados[i].grid));
        EXPECT_EQ(g->currentRow(), esperados[i].row) << i;
        EXPECT_EQ(g->currentColumn(), esperados[i].column) << i;
    }
    w->close();
    QApplication::processEvents();
    EXPECT_EQ(tableBytes(), before);
}

TEST_F(VerificaVentanaTest, AnInputOfAnotherExportProduct) {
    // The first export product is selected; the bad input (a sensitive tariff item in a new
    // programme) is the second input of the other one.
    complete();
    exec(QStringLiteral("insert into imanexos values (3, 1, null, '87654321', 0)"));
    exec(QStringLiteral("insert into imanexos values (4, 1, null, '11111111', 1)"));
    exec(QStringLiteral("insert into imanexos values (5, 1, null, '22222222', 3)"));
    exec(QStringLiteral("insert into imanexos values (6, 1, null, '17011101', 3)"));
    reopen();
    BoundGrid* productos = grid(QStringLiteral("dbAnxMPE"));
    BoundGrid* insumos = grid(QStringLiteral("dbAnx_0"));
    ASSERT_EQ(productos->currentRow(), 0);
    ASSERT_EQ(insumos->rowCount(), 1);
    const QList<QByteArray> before = tableBytes();

    frmVerificaSolicitud* w = verify();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->findings().size(), 1) << w->findings().value(0).message.toStdString();
    EXPECT_EQ(w->findings()[0].parentRow, 1);
    auto* lista = w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"));
    EXPECT_EQ(lista->item(0, 2)->text(), QStringLiteral("2 (del producto de exportación 2)"));
    const QPoint centro = lista->visualItemRect(lista->item(0, 0)).center();
    QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, centro);
    QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, centro);
    QApplication::processEvents();
    EXPECT_EQ(find<QTabWidget>(QStringLiteral("SSTabKALTO"))->currentIndex(), kPagMateriasPrimas);
    EXPECT_EQ(productos->currentRow(), 1);
    ASSERT_EQ(insumos->rowCount(), 2);
    EXPECT_EQ(insumos->currentRow(), 1);
    EXPECT_EQ(insumos->currentColumn(), 2);
    EXPECT_EQ(cellText(insumos->cellValue(1, 2)), QStringLiteral("17011101"));
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join('|').toStdString();
    w->close();
    QApplication::processEvents();
    EXPECT_EQ(tableBytes(), before);
}

TEST_F(VerificaVentanaTest, ACompleteRequestIsToldSo) {
    complete();
    reopen();
    const QList<QByteArray> before = tableBytes();
    frmVerificaSolicitud* w = verify();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->findings().isEmpty());
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblResumen"))->text(), RequestVerifier::kMsgCompleta);
    EXPECT_TRUE(w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"))->isHidden());
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join('|').toStdString();
    w->close();
    EXPECT_EQ(tableBytes(), before);
}

}  // namespace
}  // namespace kalto::test

// "Verificar solicitud" through the real main window: the findings the verifier gives are
// listed, a double click takes the window to each one's page, row and cell (an input under an
// export product other than the selected one included), a complete request is told so, and
// the tables stay untouched. Which findings a request has is the verifier's own tests' business.

#include "WindowFixture.h"

#include "app/RequestVerifier.h"
#include "app/ui/frmVerificaSolicitud.h"
#include "core/RequestState.h"
#include "support/RequestFixture.h"

#include <QLabel>
#include <QTableWidget>
#include <QToolButton>

namespace kalto::test {
namespace {

class VerificaVentanaTest : public WindowTest {
protected:
    // The complete request with `changes` made to it, the window opened on it.
    void stored(const QStringList& changes) {
        ASSERT_TRUE(writeCompleteRequest(db));
        for (const QString& sql : changes) ASSERT_TRUE(db.execute(sql)) << sql.toStdString();
        reopen();
        before = requestTableBytes(db);
    }
    frmVerificaSolicitud* verify() {
        click(QStringLiteral("cmdVerificar"));
        QApplication::processEvents();
        const auto all = window->findChildren<frmVerificaSolicitud*>();
        EXPECT_EQ(all.size(), 1);
        return all.isEmpty() ? nullptr : all.last();
    }
    // Double-clicks finding `i` and says where the window went: "page grid row column".
    QString go(frmVerificaSolicitud* w, int i) {
        auto* lista = w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"));
        const QPoint centro = lista->visualItemRect(lista->item(i, 0)).center();
        QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QApplication::processEvents();
        BoundGrid* g = grid(w->findings()[i].object);
        return QStringLiteral("%1 %2 %3").arg(tab()->currentIndex()).arg(g->currentRow()).arg(g->currentColumn());
    }
    void TearDown() override {
        if (window) {
            EXPECT_EQ(requestTableBytes(db), before);
        }
        WindowTest::TearDown();
    }
    QHash<QString, QByteArray> before;
};

TEST_F(VerificaVentanaTest, EachFindingTakesTheWindowToItsCell) {
    // A fiscal address without its fax, a second plant without its colonia, and under the
    // second export product (not the selected one) an input of a sensitive item.
    stored({QStringLiteral("update imdir set fax = null where iddir = 'FL'"),
            QStringLiteral("insert into imdir (iddir, calleyno, cp, ciudad, colonia, telefono, email, edo, delmun, "
                           "fax) values ('PL', 'NORTE 2', '06600', 'MEXICO', null, '5551', 'a@b.mx', 'CDMX', "
                           "'CUAUHTEMOC', '5555')"),
            QStringLiteral("insert into imanexos values (3, 1, null, '87654321', 0)"),
            QStringLiteral("insert into imanexos values (5, 1, null, '22222222', 3)"),
            QStringLiteral("insert into imanexos values (6, 1, null, '17011101', 3)")});
    ASSERT_EQ(grid(QStringLiteral("dbAnxMPE"))->currentRow(), 0);
    frmVerificaSolicitud* w = verify();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->findings().size(), 3);
    auto* lista = w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"));
    ASSERT_EQ(lista->rowCount(), 3);
    EXPECT_EQ(lista->item(0, 4)->text(), QStringLiteral("El Siguiente campo Fax de la tabla Direccion Fiscal es Requerido"));
    EXPECT_EQ(lista->item(2, 2)->text(), QStringLiteral("2 (del producto de exportación 2)"));
    EXPECT_EQ(go(w, 0), QStringLiteral("0 0 7"));
    EXPECT_EQ(go(w, 1), QStringLiteral("1 1 3"));
    EXPECT_EQ(go(w, 2), QStringLiteral("7 1 2"));
    EXPECT_EQ(grid(QStringLiteral("dbAnxMPE"))->currentRow(), 1);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join('|').toStdString();
    w->close();
    QApplication::processEvents();
}

TEST_F(VerificaVentanaTest, ACompleteRequestIsToldSoWithTheRowBeingTyped) {
    stored({QStringLiteral("delete from imrlegal")});
    typeRow(grid(QStringLiteral("dbRepLegal")), {QStringLiteral("ana"), QStringLiteral("perez"), QStringLiteral("lopez"),
                                                 QStringLiteral("5552"), QStringLiteral("directora"),
                                                 QStringLiteral("ana@b.mx")});
    frmVerificaSolicitud* w = verify();
    before = requestTableBytes(db);  // the typed row was stored first
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->findings().isEmpty());
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblResumen"))->text(), RequestVerifier::kMsgCompleta);
    EXPECT_TRUE(w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"))->isHidden());
    w->close();
}

}  // namespace
}  // namespace kalto::test

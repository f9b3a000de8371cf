// Through the real main window: "Cambios desde el último disco" says so when no disk was
// written, lists the changes since the copy kept and takes the window to each changed cell on a
// double click; "Verificar solicitud" lists a wrong RFC check digit apart, as a warning, and
// takes the window to it. Which changes and warnings are found is the rules' tests' business.

#include "WindowFixture.h"

#include "app/RequestChanges.h"
#include "app/RequestVerifier.h"
#include "app/ui/frmVerificaSolicitud.h"
#include "support/RequestFixture.h"

#include <QTableWidget>

namespace kalto::test {
namespace {

class ChangesWindowTest : public WindowTest {
protected:
    frmVerificaSolicitud* open(const QString& button) {
        click(button);
        QApplication::processEvents();
        const auto all = window->findChildren<frmVerificaSolicitud*>();
        return all.isEmpty() ? nullptr : all.last();
    }
    // Double-clicks row `i` of `list` and says where the window went: "page object row column".
    QString go(frmVerificaSolicitud* w, const char* list, int i) {
        auto* lista = w->findChild<QTableWidget*>(QString::fromLatin1(list));
        const QPoint centro = lista->visualItemRect(lista->item(i, 0)).center();
        QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QApplication::processEvents();
        QWidget* f = window->focusWidget();  // the grid or field, or a cell editor inside the grid
        while (f && !qobject_cast<BoundGrid*>(f) && !qobject_cast<QLineEdit*>(f)) f = f->parentWidget();
        auto* g = qobject_cast<BoundGrid*>(f);
        return QStringLiteral("%1 %2 %3 %4").arg(tab()->currentIndex()).arg(f ? f->objectName() : QString())
            .arg(g ? g->currentRow() : -1).arg(g ? g->currentColumn() : -1);
    }
};

TEST_F(ChangesWindowTest, TheChangesAndTheWarningsTakeTheWindowToTheirCells) {
    ASSERT_TRUE(writeCompleteRequest(db));
    reopen();
    EXPECT_EQ(open(QStringLiteral("cmdCambios")), nullptr);
    EXPECT_EQ(messages.texts(), QStringList{RequestChanges::kMsgSinDisco});

    // A disk written, then the fiscal address's fax and the input's tariff item changed.
    QString error;
    ASSERT_TRUE(RequestChanges::keepDiskCopy(db, &error)) << error.toStdString();
    ASSERT_TRUE(db.execute(QStringLiteral("update imdir set fax = '5556' where iddir = 'FL'")));
    ASSERT_TRUE(db.execute(QStringLiteral("update imanexos set fraccion = '87654322' where id_prod = 2")));
    reopen();
    frmVerificaSolicitud* w = open(QStringLiteral("cmdCambios"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Cambios desde el último disco"));
    ASSERT_EQ(w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"))->rowCount(), 2);
    EXPECT_EQ(go(w, "lstHallazgos", 0), QStringLiteral("0 dbDomFiscal 0 7"));
    EXPECT_EQ(go(w, "lstHallazgos", 1), QStringLiteral("7 dbAnx_0 0 2"));
    w->close();

    // The applicant's RFC ends in 1 where 0 belongs: a warning only.
    w = open(QStringLiteral("cmdVerificar"));
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->findings().isEmpty());
    auto* avisos = w->findChild<QTableWidget*>(QStringLiteral("lstAvisos"));
    ASSERT_TRUE(avisos->rowCount() == 1 && !avisos->isHidden());
    EXPECT_EQ(avisos->item(0, 4)->text(), RequestVerifier::kMsgDigitoRfc.arg(QStringLiteral("AAAA010101AA1"), QStringLiteral("0")));
    EXPECT_EQ(go(w, "lstAvisos", 0), QStringLiteral("7 txtRFC -1 -1"));  // the header is on no page: 7 stays
    w->close();
}

}  // namespace
}  // namespace kalto::test

// Through the real main window: "Cambios desde el último disco" says so when no disk was
// written, lists the changes since the copy kept and takes the window to each changed cell on a
// double click; "Verificar solicitud" lists a wrong RFC check digit apart, as a warning, and
// takes the window to it. Which changes and warnings are found is the rules' tests' business.

#include "WindowFixture.h"

#include "app/RequestChanges.h"
#include "app/ui/frmVerificaSolicitud.h"
#include "support/RequestFixture.h"

#include <QTableWidget>

namespace kalto::test {
namespace {

class ChangesWindowTest : public WindowTest {
protected:
    // Clicks `button`; the list `list` of the window of findings it opened (null when none).
    QTableWidget* open(const QString& button, const char* list = "lstHallazgos") {
        click(button);
        QApplication::processEvents();
        const auto all = window->findChildren<frmVerificaSolicitud*>();
        return all.isEmpty() ? nullptr : all.last()->findChild<QTableWidget*>(QString::fromLatin1(list));
    }
    // Double-clicks row `i` of `list` and says where the window went: "page object row column".
    QString go(QTableWidget* list, int i) {
        const QPoint centro = list->visualItemRect(list->item(i, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centro);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centro);
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
    shut();
    WindowTest::open();
    EXPECT_TRUE(open(QStringLiteral("cmdCambios")) == nullptr && messages.texts() == QStringList{RequestChanges::kMsgSinDisco});

    // A second export product with an input; a disk written, then the fiscal address's fax and
    // that input's tariff item changed.
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (3, 1, null, '87654321', 0)")));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (4, 1, null, '22222222', 3)")));
    QString error;
    ASSERT_TRUE(RequestChanges::keepDiskCopy(db, &error)) << error.toStdString();
    ASSERT_TRUE(db.execute(QStringLiteral("update imdir set fax = '5556' where iddir = 'FL'")));
    ASSERT_TRUE(db.execute(QStringLiteral("update imanexos set fraccion = '22222229' where id_prod = 4")));
    shut();
    WindowTest::open();
    QTableWidget* list = open(QStringLiteral("cmdCambios"));
    ASSERT_TRUE(list && list->rowCount() == 2 && list->window()->windowTitle() == QStringLiteral("Cambios desde el último disco"));
    EXPECT_EQ(list->item(0, 4)->text(), QStringLiteral("Fax: antes «5555», ahora «5556» (REFORMA 1)."));
    EXPECT_EQ(go(list, 0), QStringLiteral("0 dbDomFiscal 0 7"));
    EXPECT_EQ(go(list, 1), QStringLiteral("7 dbAnx_0 0 2"));
    EXPECT_EQ(grid(QStringLiteral("dbAnxMPE"))->currentRow(), 1);  // its export product first

    // The applicant's RFC ends in 1 where 0 belongs: a warning only, the request complete.
    list = open(QStringLiteral("cmdVerificar"), "lstAvisos");
    ASSERT_TRUE(list && list->rowCount() == 1 && !list->isHidden());
    EXPECT_EQ(list->window()->findChild<QObject*>(QStringLiteral("lblResumen"))->property("text").toString(), RequestVerifier::kMsgCompleta);
    EXPECT_EQ(go(list, 0), QStringLiteral("7 txtRFC -1 -1"));  // the header is on no page: 7 stays
}

}  // namespace
}  // namespace kalto::test

// The toolbar's request buttons on the real main window, on the complete request with a row
// still being typed (each button stores it first): the disk names the first
// missing item on its page or writes drive A: after the wait window, the restore puts back the
// request of the folder picked (starting at drive A:), the print window previews the composed
// text, and "Verificar solicitud" lists the verifier's findings and takes the window to each.
// Which findings a request has, and what the disk holds, is the rules' own tests' business.

#include "WindowFixture.h"

#include "app/DiskGeneration.h"
#include "app/RequestRestore.h"
#include "app/RequestVerifier.h"
#include "app/ui/frmVerificaSolicitud.h"
#include "core/RequestState.h"
#include "data/Dbf.h"
#include "print/ui/frmImpSolKALTO.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>

namespace kalto::test {

namespace {

using Kind = RecordingMessages::Kind;

class ToolbarTest : public WindowTest {
protected:
    frmVerificaSolicitud* verify() {
        click(QStringLiteral("cmdVerificar"));
        QApplication::processEvents();
        const auto all = window->findChildren<frmVerificaSolicitud*>();
        EXPECT_EQ(all.size(), 1);
        return all.isEmpty() ? nullptr : all.last();
    }
    // Double-clicks finding `i` and says where the window went: "page row column".
    QString go(frmVerificaSolicitud* w, int i) {
        auto* lista = w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"));
        const QPoint centro = lista->visualItemRect(lista->item(i, 0)).center();
        QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QApplication::processEvents();
        BoundGrid* g = grid(w->findings()[i].object);
        return QStringLiteral("%1 %2 %3").arg(tab()->currentIndex()).arg(g->currentRow()).arg(g->currentColumn());
    }
};

}  // namespace

TEST_F(ToolbarTest, AnIncompleteRequestNamesItsFirstMissingItemAndShowsItsPage) {
    // With the header typed in, the fiscal address is missing: its page is shown.
    tab()->setCurrentIndex(kPagProductos);
    fill(QStringLiteral("txtRFC"), QStringLiteral(" abc000229xy1"));
    fill(QStringLiteral("txtRSocial"), QStringLiteral("EMPRESA"));
    messages.clear();
    click(QStringLiteral("cmdKALTO_2"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Debes ingresar por lo menos un registro en la tabla de  "
                                                           "Direccion Fiscal es Requerido")});
    EXPECT_EQ(tab()->currentIndex(), kPagDomicilioFiscal);
    EXPECT_TRUE(driveA.files().isEmpty());
}

TEST_F(ToolbarTest, TheRequestWrittenToDriveAComesBackOverTheOneShown) {
    storedRequest({QStringLiteral("delete from imrlegal")});
    typeRepresentative(QStringLiteral("ana"));
    messages.answers = {true};
    QString wait;
    EXPECT_TRUE(inModal<QDialog>([&] { click(QStringLiteral("cmdKALTO_2")); }, [&](QDialog* w) { wait = w->objectName(); }));
    EXPECT_EQ(wait, QStringLiteral("frmEspera"));
    EXPECT_EQ(messages.texts(), QStringList{DiskGeneration::kMsgDisco});
    EXPECT_EQ(messages.entries.value(0).kind, Kind::Question);
    // The typed row was stored before the disk was written, and the window shows it again.
    EXPECT_EQ(scalar(QStringLiteral("select nomrepleg from imrlegal")).toString(), QStringLiteral("ANA"));
    EXPECT_EQ(driveA.files().size(), 7);
    EXPECT_EQ(column(grid(QStringLiteral("dbRepLegal"))), QStringList{QStringLiteral("ANA")});

    // Cleared, a new representative typed, and the disk taken back from the folder picked.
    messages.answers = {true};
    click(QStringLiteral("cmdKALTO_0"));
    ASSERT_TRUE(text(QStringLiteral("txtRSocial")).isEmpty());
    typeRepresentative(QStringLiteral("luis"));
    QString start;
    window->setRestoreFolderChooser([&](const QString& from) { return start = from; });
    messages.clear();
    messages.answers = {true};
    click(QStringLiteral("cmdRecupera"));
    EXPECT_EQ(QDir(start).canonicalPath(), QDir(driveA.path()).canonicalPath());
    ASSERT_EQ(messages.entries.size(), 2) << messages.texts().join('|').toStdString();
    EXPECT_TRUE(messages.entries[0].kind == Kind::Question && messages.entries[0].text.contains("EMPRESA DE PRUEBA"));
    EXPECT_EQ(messages.entries[1].kind, Kind::Information);
    EXPECT_EQ(text(QStringLiteral("txtRFC")), QStringLiteral("AAAA010101AA1"));
    EXPECT_EQ(text(QStringLiteral("txtRSocial")), QStringLiteral("EMPRESA DE PRUEBA"));
    EXPECT_EQ(column(grid(QStringLiteral("dbDomFiscal"))), QStringList{QStringLiteral("REFORMA 1")});
    EXPECT_EQ(column(grid(QStringLiteral("dbRepLegal"))), QStringList{QStringLiteral("ANA")});
    // The row being typed was stored first: it is kept with the request replaced.
    const QDir backups(QDir(folder.path()).filePath(RequestRestore::kBackups));
    const QStringList kept = backups.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(kept.size(), 1);
    const auto rep = DbfTable::open(QDir(backups.filePath(kept[0])).filePath(QFileInfo(db.tablePath("imrlegal")).fileName()),
                                    nullptr, DbfAccess::ReadOnly);
    QStringList names;
    for (int r = 0; rep && r < rep->recordCount(); ++r)
        if (!rep->isDeleted(r)) names << rep->value(r, 0).toString();
    EXPECT_EQ(names, QStringList{QStringLiteral("LUIS")});
    // The request check finds it complete.
    frmVerificaSolicitud* w = verify();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->findings().isEmpty() && w->findChild<QTableWidget*>(QStringLiteral("lstHallazgos"))->isHidden());
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblResumen"))->text(), RequestVerifier::kMsgCompleta);
}

TEST_F(ToolbarTest, ThePrintWindowPreviewsTheComposedApplication) {
    storedRequest({QStringLiteral("delete from imdir where iddir = 'PL'")});
    tab()->setCurrentIndex(kPagPlantas);
    typeRow(grid(QStringLiteral("dbPlanta")), {QStringLiteral("sur 3"), QStringLiteral("72000")});
    QString considerations, preview;
    EXPECT_TRUE(inModal<frmImpSolKALTO>([&] { click(QStringLiteral("cmdKALTO_3")); }, [&](frmImpSolKALTO* w) {
        auto* pane = w->findChild<QTextEdit*>(QStringLiteral("RTUltima"));
        considerations = pane->toPlainText();
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
        preview = pane->toPlainText();
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // closed by its own button
    EXPECT_FALSE(considerations.trimmed().isEmpty());
    EXPECT_TRUE(preview.contains(QStringLiteral("EMPRESA DE PRUEBA"))) << preview.toStdString();
    EXPECT_TRUE(preview.contains(QStringLiteral("NOMBRE(S) : ANA PEREZ LOPEZ")));
    EXPECT_TRUE(preview.contains(QStringLiteral("SUR 3")));  // the plant being typed was stored first
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join('|').toStdString();
}

TEST_F(ToolbarTest, EachFindingTakesTheWindowToItsCell) {
    // A fiscal address without its fax, a second plant without its colonia, and under the
    // second export product (not the selected one) an input of a sensitive item; the
    // representative being typed is stored first (it is no finding).
    storedRequest({QStringLiteral("delete from imrlegal"),
                   QStringLiteral("update imdir set fax = null where iddir = 'FL'"),
                   QStringLiteral("insert into imdir (iddir, calleyno, cp, ciudad, colonia, telefono, email, edo, delmun, "
                                  "fax) values ('PL', 'NORTE 2', '06600', 'MEXICO', null, '5551', 'a@b.mx', 'CDMX', "
                                  "'CUAUHTEMOC', '5555')"),
                   QStringLiteral("insert into imanexos values (3, 1, null, '87654321', 0)"),
                   QStringLiteral("insert into imanexos values (5, 1, null, '22222222', 3)"),
                   QStringLiteral("insert into imanexos values (6, 1, null, '17011101', 3)")});
    typeRepresentative(QStringLiteral("ana"));
    ASSERT_EQ(grid(QStringLiteral("dbAnxMPE"))->currentRow(), 0);
    frmVerificaSolicitud* w = verify();
    const QHash<QString, QByteArray> before = requestTableBytes(db);
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
    EXPECT_EQ(requestTableBytes(db), before);
    w->close();
}

}  // namespace kalto::test

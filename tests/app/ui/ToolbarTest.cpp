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
#include "data/Dbf.h"
#include "print/ui/frmImpSolKALTO.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>

namespace kalto::test {

namespace {

using namespace Qt::StringLiterals;
using Kind = RecordingMessages::Kind;

class ToolbarTest : public WindowTest {
protected:
    frmVerificaSolicitud* verify() {
        click(u"cmdVerificar"_s);
        QApplication::processEvents();
        const auto all = window->findChildren<frmVerificaSolicitud*>();
        EXPECT_EQ(all.size(), 1);
        return all.isEmpty() ? nullptr : all.last();
    }
    // Double-clicks finding `i` and says where the window went: "page row column".
    QString go(frmVerificaSolicitud* w, int i) {
        auto* lista = w->findChild<QTableWidget*>(u"lstHallazgos"_s);
        const QPoint centro = lista->visualItemRect(lista->item(i, 0)).center();
        QTest::mouseClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, centro);
        QApplication::processEvents();
        BoundGrid* g = grid(w->findings()[i].object);
        return u"%1 %2 %3"_s.arg(tab()->currentIndex()).arg(g->currentRow()).arg(g->currentColumn());
    }
};

}  // namespace

TEST_F(ToolbarTest, TheRequestWrittenToDriveAComesBackOverTheOneShown) {
    storedRequest({u"delete from imrlegal"_s});
    typeRepresentative(u"ana"_s);
    messages.answers = {true};
    QString wait;
    EXPECT_TRUE(inModal<QDialog>([&] { click(u"cmdKALTO_2"_s); }, [&](QDialog* w) { wait = w->objectName(); }));
    EXPECT_EQ(wait, u"frmEspera"_s);
    EXPECT_EQ(messages.texts(), QStringList{DiskGeneration::kMsgDisco});
    // The typed row was stored before the disk was written, and the window shows it again.
    EXPECT_EQ(scalar(u"select nomrepleg from imrlegal"_s).toString(), u"ANA"_s);
    EXPECT_EQ(driveA.files().size(), 7);
    EXPECT_EQ(column(grid(u"dbRepLegal"_s)), QStringList{u"ANA"_s});

    // Cleared, a new representative typed, and the disk taken back from the folder picked.
    messages.answers = {true};
    click(u"cmdKALTO_0"_s);
    ASSERT_TRUE(text(u"txtRSocial"_s).isEmpty());
    typeRepresentative(u"luis"_s);
    QString start;
    window->setRestoreFolderChooser([&](const QString& from) { return start = from; });
    messages.clear();
    messages.answers = {true};
    click(u"cmdRecupera"_s);
    EXPECT_EQ(QDir(start).canonicalPath(), QDir(driveA.path()).canonicalPath());
    ASSERT_EQ(messages.entries.size(), 2) << messages.texts().join('|').toStdString();
    EXPECT_EQ(messages.entries[1].kind, Kind::Information);
    EXPECT_EQ(text(u"txtRFC"_s) + text(u"txtRSocial"_s), u"AAAA010101AA1EMPRESA DE PRUEBA"_s);
    EXPECT_EQ(column(grid(u"dbDomFiscal"_s)), QStringList{u"REFORMA 1"_s});
    EXPECT_EQ(column(grid(u"dbRepLegal"_s)), QStringList{u"ANA"_s});
    // The row being typed was stored first: it is kept with the request replaced.
    const QDir backups(QDir(folder.path()).filePath(RequestRestore::kBackups));
    QStringList kept = backups.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    kept.removeIf([](const QString& name) { return name.startsWith(u"disco-"_s); });  // the disk's own copy
    ASSERT_EQ(kept.size(), 1);
    const auto rep = DbfTable::open(QDir(backups.filePath(kept[0])).filePath(QFileInfo(db.tablePath("imrlegal")).fileName()),
                                    nullptr, DbfAccess::ReadOnly);
    QStringList names;
    for (int r = 0; rep && r < rep->recordCount(); ++r)
        if (!rep->isDeleted(r)) names << rep->value(r, 0).toString();
    EXPECT_EQ(names, QStringList{u"LUIS"_s});
    // The request check finds it complete.
    frmVerificaSolicitud* w = verify();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->findings().isEmpty() && w->findChild<QTableWidget*>(u"lstHallazgos"_s)->isHidden());
    EXPECT_EQ(w->findChild<QLabel*>(u"lblResumen"_s)->text(), RequestVerifier::kMsgCompleta);
}

TEST_F(ToolbarTest, EachFindingTakesTheWindowToItsCellAndTheDiskShowsTheFirst) {
    // A fiscal address without its fax, a second plant without its colonia, and under the
    // second export product (not the selected one) an input of a sensitive item; the
    // representative being typed is stored first (it is no finding).
    storedRequest({u"delete from imrlegal"_s, u"update imdir set fax = null where iddir = 'FL'"_s,
                   u"insert into imdir (iddir, calleyno, cp, ciudad, colonia, telefono, email, edo, delmun, fax) values "
                   u"('PL', 'NORTE 2', '06600', 'MEXICO', null, '5551', 'a@b.mx', 'CDMX', 'CUAUHTEMOC', '5555')"_s,
                   u"insert into imanexos values (3, 1, null, '87654321', 0)"_s,
                   u"insert into imanexos values (5, 1, null, '22222222', 3)"_s,
                   u"insert into imanexos values (6, 1, null, '17011101', 3)"_s});
    typeRepresentative(u"ana"_s);
    ASSERT_EQ(grid(u"dbAnxMPE"_s)->currentRow(), 0);
    frmVerificaSolicitud* w = verify();
    const QHash<QString, QByteArray> before = requestTableBytes(db);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->findings().size(), 3);
    auto* lista = w->findChild<QTableWidget*>(u"lstHallazgos"_s);
    ASSERT_EQ(lista->rowCount(), 3);
    const QString fax = u"El Siguiente campo Fax de la tabla Direccion Fiscal es Requerido"_s;
    EXPECT_EQ(lista->item(0, 4)->text(), fax);
    EXPECT_EQ(lista->item(2, 2)->text(), u"2 (del producto de exportación 2)"_s);
    EXPECT_EQ(go(w, 0), u"0 0 7"_s);
    EXPECT_EQ(go(w, 1), u"1 1 3"_s);
    EXPECT_EQ(go(w, 2), u"7 1 2"_s);
    EXPECT_EQ(grid(u"dbAnxMPE"_s)->currentRow(), 1);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join('|').toStdString();
    EXPECT_EQ(requestTableBytes(db), before);
    w->close();
    // The disk stops at the first of them and shows its page; drive A: is left alone.
    click(u"cmdKALTO_2"_s);
    EXPECT_EQ(messages.texts(), QStringList{fax});
    EXPECT_EQ(tab()->currentIndex(), kPagDomicilioFiscal);
    EXPECT_TRUE(driveA.files().isEmpty());
}

TEST_F(ToolbarTest, ThePrintWindowPreviewsTheComposedApplication) {
    // The header as shown, the representative's row, and a plant being typed, stored first.
    storedRequest({u"delete from imdir where iddir = 'PL'"_s});
    tab()->setCurrentIndex(kPagPlantas);
    typeRow(grid(u"dbPlanta"_s), {u"sur 3"_s, u"72000"_s});
    QString preview;
    EXPECT_TRUE(inModal<frmImpSolKALTO>([&] { click(u"cmdKALTO_3"_s); }, [&](frmImpSolKALTO* w) {
        QTest::mouseClick(w->findChild<QPushButton*>(u"Command3"_s), Qt::LeftButton);
        preview = w->findChild<QTextEdit*>(u"RTUltima"_s)->toPlainText();
    }));
    for (const QString& shown : {u"EMPRESA DE PRUEBA"_s, u"NOMBRE(S) : ANA PEREZ LOPEZ"_s, u"SUR 3"_s})
        EXPECT_TRUE(preview.contains(shown)) << shown.toStdString() << " in " << preview.toStdString();
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join('|').toStdString();
}

}  // namespace kalto::test

// The toolbar's disk and print buttons on the real main window: the completeness check names
// the first missing item, a complete request (with a row still being typed) reaches a
// temporary drive A: after the wait window, and the print window previews the composed text.

#include "app/DiskGeneration.h"
#include "data/TableCatalogue.h"
#include "print/ui/frmImpSolKALTO.h"
#include "WindowFixture.h"
#include "support/RequestFixture.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <functional>

namespace kalto::test {

namespace {

using Kind = RecordingMessages::Kind;

class DiskAndPrintTest : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(disk.isValid());
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        qunsetenv("KALTO_UNIDAD_A");
    }
    // The complete request stored but for its legal representative, which is being typed in
    // the window opened on it.
    void storedRequest() {
        ASSERT_TRUE(writeCompleteRequest(db, QStringLiteral("EMPRESA DE PRUEBA")));
        ASSERT_TRUE(db.execute(QStringLiteral("delete from imrlegal")));
        reopen();
        messages.clear();
        typeRow(grid(QStringLiteral("dbRepLegal")),
                {QStringLiteral("ana"), QStringLiteral("perez"), QStringLiteral("lopez"), QStringLiteral("5552"),
                 QStringLiteral("directora"), QStringLiteral("ana@b.mx")});
    }
    // Calls `act` on the modal window of type T once it is up (the caller then opens it).
    template <class T>
    void whenModal(std::function<void(T*)> act) {
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
            if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                act(w);
            }
        });
        poll->start(20);
    }

    QTemporaryDir disk;
};

}  // namespace

TEST_F(DiskAndPrintTest, AnIncompleteRequestNamesItsFirstMissingItemAndShowsItsPage) {
    // With the header filled in, the fiscal address is missing: its page is shown.
    tab()->setCurrentIndex(3);
    fill(QStringLiteral("txtRFC"), QStringLiteral(" abc000229xy1"));
    fill(QStringLiteral("txtRSocial"), QStringLiteral("EMPRESA"));
    messages.clear();
    click(QStringLiteral("cmdKALTO_2"));
    ASSERT_EQ(messages.entries.size(), 1) << messages.texts().join('|').toStdString();
    EXPECT_EQ(messages.entries[0].text,
              QStringLiteral("Debes ingresar por lo menos un registro en la tabla de  Direccion Fiscal es Requerido"));
    EXPECT_EQ(tab()->currentIndex(), 0);
    EXPECT_TRUE(QDir(disk.path()).isEmpty());
}

TEST_F(DiskAndPrintTest, ACompleteRequestIsWrittenToDriveAWithTheRowBeingTyped) {
    storedRequest();
    bool waitShown = false;
    whenModal<QDialog>([&](QDialog* w) { waitShown = w->objectName() == QStringLiteral("frmEspera"); });
    messages.answers = {true};
    click(QStringLiteral("cmdKALTO_2"));

    ASSERT_EQ(messages.entries.size(), 1) << messages.texts().join('|').toStdString();
    EXPECT_EQ(messages.entries[0].kind, Kind::Question);
    EXPECT_EQ(messages.entries[0].text, DiskGeneration::kMsgDisco);
    EXPECT_TRUE(waitShown);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // the wait window closed itself
    // The row being typed was stored before the disk was written.
    EXPECT_EQ(count(QStringLiteral("select count(*) from imrlegal where mail = 'ana@b.mx'")), 1);
    EXPECT_FALSE(QDir(disk.path()).isEmpty());
    // The window shows the stored request again.
    EXPECT_EQ(grid(QStringLiteral("dbRepLegal"))->rowCount(), 1);
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("txtRSocial"))->text(), QStringLiteral("EMPRESA DE PRUEBA"));
}

TEST_F(DiskAndPrintTest, ThePrintWindowPreviewsTheComposedApplication) {
    storedRequest();
    QString considerations, preview;
    whenModal<frmImpSolKALTO>([&](frmImpSolKALTO* w) {
        auto* pane = w->findChild<QTextEdit*>(QStringLiteral("RTUltima"));
        considerations = pane->toPlainText();
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
        preview = pane->toPlainText();
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    });
    click(QStringLiteral("cmdKALTO_3"));

    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(considerations.trimmed().isEmpty());
    EXPECT_TRUE(preview.contains(QStringLiteral("EMPRESA DE PRUEBA"))) << preview.toStdString();
    EXPECT_TRUE(preview.contains(QStringLiteral("NOMBRE(S) : ANA PEREZ LOPEZ")));
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join('|').toStdString();
}

}  // namespace kalto::test

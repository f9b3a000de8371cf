// The toolbar's restore button on the real main window: the folder asked for starts at drive
// A:, the request found there replaces the one shown (a row still being typed is stored first
// and kept with the replaced request) and the window shows the restored request.

#include "app/DiskGeneration.h"
#include "app/RequestRestore.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"
#include "WindowFixture.h"
#include "support/RequestFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QToolButton>

namespace kalto::test {

namespace {

using Kind = RecordingMessages::Kind;

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

class RestoreFromDiskTest : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(driveA.isValid());
        ASSERT_TRUE(picked.isValid());
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(driveA.path()));
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        qunsetenv("KALTO_UNIDAD_A");
    }
    QTemporaryDir driveA;
    QTemporaryDir picked;
};

TEST_F(RestoreFromDiskTest, TheRequestOfThePickedFolderReplacesTheOneShown) {
    // A request stored, its tables copied to the folder the user will pick, then cleared.
    ASSERT_TRUE(writeCompleteRequest(db, QStringLiteral("EMPRESA DE PRUEBA")));
    QHash<QString, QByteArray> onDisk;
    for (const QString& t : requestTables()) {
        const QString target = QDir(picked.path()).filePath(DiskGeneration::diskFileName(t));
        ASSERT_TRUE(QFile::copy(db.tablePath(t), target));
        onDisk[t] = bytes(target);
    }
    for (const char* sql : {"delete from imdir", "delete from imrlegal", "delete from improd", "delete from imanexos",
                            "update imdint set rfc = null, apepatraz = null"})
        ASSERT_TRUE(db.execute(QString::fromLatin1(sql)));
    reopen();
    messages.clear();
    EXPECT_TRUE(find<QLineEdit>(QStringLiteral("txtRFC"))->text().isEmpty());

    EXPECT_EQ(find<QToolButton>(QStringLiteral("cmdRecupera"))->toolTip(), QStringLiteral("Recuperar solicitud de un disco"));

    // A representative still being typed when the button is clicked.
    typeRow(grid(QStringLiteral("dbRepLegal")), {QStringLiteral("LUIS"), QStringLiteral("GOMEZ"), QStringLiteral("DIAZ"),
                                                 QStringLiteral("5553"), QStringLiteral("GERENTE"),
                                                 QStringLiteral("l@b.mx")});

    QString start;
    window->setRestoreFolderChooser([&](const QString& from) {
        start = from;
        return picked.path();
    });
    messages.answers = {true};
    click(QStringLiteral("cmdRecupera"));

    EXPECT_EQ(QDir(start).canonicalPath(), QDir(driveA.path()).canonicalPath());
    ASSERT_EQ(messages.entries.size(), 2) << messages.texts().join('|').toStdString();
    EXPECT_EQ(messages.entries[0].kind, Kind::Question);
    EXPECT_TRUE(messages.entries[0].text.contains(QStringLiteral("EMPRESA DE PRUEBA")));
    EXPECT_EQ(messages.entries[1].kind, Kind::Information);

    // The window shows the restored request.
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("txtRFC"))->text(), QStringLiteral("AAAA010101AA1"));
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("txtRSocial"))->text(), QStringLiteral("EMPRESA DE PRUEBA"));
    EXPECT_EQ(streets(grid(QStringLiteral("dbDomFiscal"))), QStringList{QStringLiteral("REFORMA 1")});
    EXPECT_EQ(grid(QStringLiteral("dbRepLegal"))->cellValue(0, 0).toString(), QStringLiteral("ANA"));
    for (const QString& t : requestTables()) EXPECT_EQ(bytes(db.tablePath(t)), onDisk[t]) << t.toStdString();

    // The replaced request, with the row that was being typed, is in the dated folder.
    const QDir backups(QDir(folder.path()).filePath(RequestRestore::kBackups));
    const QStringList kept = backups.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(kept.size(), 1);
    QString err;
    std::unique_ptr<DbfTable> rep =
        DbfTable::open(QDir(backups.filePath(kept[0])).filePath(QFileInfo(db.tablePath(QStringLiteral("imrlegal"))).fileName()),
                       &err, DbfAccess::ReadOnly);
    ASSERT_TRUE(rep) << err.toStdString();
    ASSERT_EQ(rep->recordCount() - rep->deletedCount(), 1);
    EXPECT_EQ(rep->value(0, 0).toString(), QStringLiteral("LUIS"));
}

}  // namespace

}  // namespace kalto::test

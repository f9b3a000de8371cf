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
#include <QTemporaryDir>

namespace kalto::test {

using namespace Qt::StringLiterals;

namespace {

using Kind = RecordingMessages::Kind;

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
    for (const QString& t : requestTables())
        ASSERT_TRUE(QFile::copy(db.tablePath(t), QDir(picked.path()).filePath(DiskGeneration::diskFileName(t))));
    for (const char* sql : {"delete from imdir", "delete from imrlegal", "delete from improd", "delete from imanexos",
                            "update imdint set rfc = null, apepatraz = null"})
        ASSERT_TRUE(db.execute(QString::fromLatin1(sql)));
    reopen();
    messages.clear();
    EXPECT_TRUE(find<QLineEdit>(QStringLiteral("txtRFC"))->text().isEmpty());

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

    // The row that was being typed was stored before the request was replaced: it is kept with it.
    const QDir backups(QDir(folder.path()).filePath(RequestRestore::kBackups));
    const QStringList kept = backups.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(kept.size(), 1);
    QString err;
    const auto rep = DbfTable::open(QDir(backups.filePath(kept[0])).filePath(QFileInfo(db.tablePath(u"imrlegal"_s)).fileName()),
                                    &err, DbfAccess::ReadOnly);
    ASSERT_TRUE(rep) << err.toStdString();
    EXPECT_EQ(rep->value(0, 0).toString(), u"LUIS"_s);
}

}  // namespace

}  // namespace kalto::test

// The toolbar's restore button on the real main window: the folder asked for starts at drive
// A:, the request found there replaces the one shown (a row still being typed is stored first
// and kept with the replaced request) and the window shows the restored request.

#include "app/DiskGeneration.h"
#include "app/RequestRestore.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"
#include "WindowFixture.h"

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
    void exec(const char* sql) {
        QString err;
        ASSERT_TRUE(db.execute(QString::fromUtf8(sql), {}, &err)) << sql << ": " << err.toStdString();
    }

    QTemporaryDir driveA;
    QTemporaryDir picked;
};

TEST_F(RestoreFromDiskTest, TheRequestOfThePickedFolderReplacesTheOneShown) {
    // A request stored, its tables copied to the folder the user will pick, then cleared.
    exec("update imdint set idtra = 0, idmoda = 0, rfc = 'AAAA010101AA1', apepatraz = 'EMPRESA DE PRUEBA'");
    exec("insert into imdir (iddir, calleyno, cp) values ('FL', 'REFORMA 1', '06600')");
    exec("insert into imrlegal values ('ANA', 'PEREZ', 'LOPEZ', '5552', 'DIRECTOR', 'a@b.mx')");
    exec("insert into improd (id_prod, fraccion, volumen, porcut, umid, um) values (1, '12345678', 100, 50, 1, 'PIEZA')");
    QHash<QString, QByteArray> onDisk;
    for (const QString& t : requestTables()) {
        const QString target = QDir(picked.path()).filePath(DiskGeneration::diskFileName(t));
        ASSERT_TRUE(QFile::copy(db.tablePath(t), target));
        onDisk[t] = bytes(target);
    }
    exec("delete from imdir");
    exec("delete from imrlegal");
    exec("delete from improd");
    exec("update imdint set rfc = null, apepatraz = null");
    reopen();
    messages.clear();
    EXPECT_TRUE(find<QLineEdit>(QStringLiteral("txtRFC"))->text().isEmpty());

    auto* button = find<QToolButton>(QStringLiteral("cmdRecupera"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Recuperar solicitud de un disco"));

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
    EXPECT_EQ(count(QStringLiteral("select count(*) from imrlegal")), 1);
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

// Taking a request back from a disk written by the disk generation, over a temporary data
// folder and a temporary drive A:: the tables come back byte for byte with the previous request
// kept in a dated folder; a truncated or foreign table is refused by name and leaves the data
// folder as it was.

#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/RequestRestore.h"
#include "app/RequestRules.h"
#include "core/Drives.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"
#include "support/RecordingMessages.h"
#include "support/RequestFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sys/stat.h>

using namespace kalto;

namespace {

using Kind = RecordingMessages::Kind;

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

class RestoreTest : public test::RequestFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(disk.isValid());
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
        RequestFixture::SetUp();
    }
    void TearDown() override { qunsetenv("KALTO_UNIDAD_A"); }

    // A request in every table (with a service of code 13: procedure code 4), one of its rows
    // deleted (the disk receives the tables packed), written to drive A: by the disk generation.
    void writeDisk() {
        QString err;
        ASSERT_TRUE(test::writeCompleteRequest(db, QStringLiteral("EMPRESA ÑANDÚ"), &err)) << err.toStdString();
        exec(QStringLiteral("update imdint set idtra = 4, idmoda = 1"));
        exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, idmcts) values ('FILIAL', 'BBB010101BB1', 12.5, 'C')"));
        exec(QStringLiteral("insert into imserv values (13, 'REPARACION')"));
        exec(QStringLiteral("insert into imanexos values (3, 2, NULL, '11111111', 1)"));
        exec(QStringLiteral("delete from imanexos where id_prod = 3"));
        SourceRequestView view(*fuentes, estado);
        const Drives drives(folder.path());
        const DiskGeneration::CopyResult r =
            DiskGeneration(*rules, view, msgs, drives).CopiaBasesADisco(static_cast<int>(requestTables().size()));
        ASSERT_TRUE(r.ok()) << r.notPrepared.toStdString();
        for (const QString& t : requestTables()) written[t] = bytes(diskFile(t));
    }
    void clearRequest() {
        msgs.answers = {true};
        ASSERT_TRUE(rules->LimpiaInformacion());
        ASSERT_TRUE(rules->EstableceLigas(nullptr));
        msgs.clear();
    }
    QHash<QString, QByteArray> dataFolder() const { return test::requestTableBytes(db); }
    QString diskFile(const QString& table) const {
        return QDir(disk.path()).filePath(DiskGeneration::diskFileName(table));
    }
    RequestRestore restorer() {
        RestoreHooks hooks;
        hooks.storePending = [this] {
            ++stores;
            return true;
        };
        hooks.rebind = [this] {
            ++rebinds;
            rules->EstableceLigas(nullptr);
        };
        return RequestRestore(db, msgs, hooks);
    }
    QStringList backups() const {
        return QDir(QDir(folder.path()).filePath(RequestRestore::kBackups)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }
    // A refused disk: the message names the table, the data folder keeps every byte, nothing is kept aside.
    void expectRefused(const QString& table, const char* why) {
        const QHash<QString, QByteArray> before = dataFolder();
        msgs.clear();
        msgs.answers = {true};
        EXPECT_EQ(restorer().restore(disk.path()), RestoreOutcome::Refused);
        ASSERT_EQ(msgs.entries.size(), 1) << msgs.texts().join('|').toStdString();
        EXPECT_EQ(msgs.entries[0].kind, Kind::Exclamation);
        EXPECT_TRUE(msgs.last().contains(DiskGeneration::diskFileName(table))) << msgs.last().toStdString();
        EXPECT_TRUE(msgs.last().contains(QString::fromUtf8(why))) << msgs.last().toStdString();
        EXPECT_TRUE(msgs.last().contains(QStringLiteral("No se reemplazó nada")));
        EXPECT_EQ(dataFolder(), before);
        EXPECT_TRUE(backups().isEmpty());
        EXPECT_EQ(stores, 0);
        EXPECT_EQ(rebinds, 0);
    }

    QTemporaryDir disk;
    QHash<QString, QByteArray> written;
    int stores = 0;
    int rebinds = 0;
};

TEST_F(RestoreTest, TheWrittenDiskComesBackByteForByteAndThePreviousRequestIsKept) {
    writeDisk();
    clearRequest();
    const QHash<QString, QByteArray> cleared = dataFolder();
    ASSERT_EQ(fuentes->dtsDireccion()->recordSet().count(), 0);

    // What the disk holds is shown before anything is replaced; No keeps the cleared request.
    msgs.answers = {false};
    EXPECT_EQ(restorer().restore(disk.path()), RestoreOutcome::Declined);
    ASSERT_EQ(msgs.entries.size(), 1);
    const RecordingMessages::Entry question = msgs.entries[0];
    EXPECT_EQ(question.kind, Kind::Question);
    EXPECT_EQ(question.presetAnswer, Messages::Answer::No);
    for (const char* shown : {"RFC: AAAA010101AA1", "EMPRESA ÑANDÚ", "imdir.DBF: 2 renglones", "imrlegal.DBF: 1 renglón",
                              "impects.DBF: 1 renglón", "improd.DBF: 1 renglón", "imserv.DBF: 1 renglón",
                              "imanexos.DBF: 2 renglones", "imdint.DBF: 1 renglón"})
        EXPECT_TRUE(question.text.contains(QString::fromUtf8(shown))) << shown << " in " << question.text.toStdString();
    EXPECT_EQ(dataFolder(), cleared);
    EXPECT_TRUE(backups().isEmpty());

    msgs.clear();
    msgs.answers = {true};
    RequestRestore r = restorer();
    EXPECT_EQ(r.restore(disk.path()), RestoreOutcome::Restored);
    EXPECT_EQ(stores, 1);
    EXPECT_EQ(rebinds, 1);
    ASSERT_EQ(msgs.entries.size(), 2) << msgs.texts().join('|').toStdString();
    EXPECT_EQ(msgs.entries[1].kind, Kind::Information);

    // Every table is the one written, even after the window's sources were bound again.
    for (const QString& t : requestTables()) EXPECT_EQ(bytes(db.tablePath(t)), written[t]) << t.toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("select apepatraz from imdint")).toString(), QStringLiteral("EMPRESA ÑANDÚ"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from imanexos")).toInt(), 2);
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().count(), 1);  // the fiscal address

    // The restored tables take writes in their new files.
    exec(QStringLiteral("insert into imserv values (14, 'OTRO')"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from imserv")).toInt(), 2);
    std::unique_ptr<DbfTable> reread = DbfTable::open(db.tablePath(QStringLiteral("imserv")), nullptr, DbfAccess::ReadOnly);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->recordCount(), 2);

    // The cleared request is in the dated folder, byte for byte.
    ASSERT_EQ(backups().size(), 1);
    EXPECT_TRUE(QDir(backups()[0]).dirName().contains(QRegularExpression(QStringLiteral("^\\d{8}-\\d{6}$"))));
    EXPECT_EQ(QDir(r.backupFolder()).dirName(), backups()[0]);
    for (const QString& t : requestTables())
        EXPECT_EQ(bytes(QDir(r.backupFolder()).filePath(QFileInfo(db.tablePath(t)).fileName())), cleared[t])
            << t.toStdString();
    EXPECT_TRUE(msgs.last().contains(QDir::toNativeSeparators(r.backupFolder())));
}

TEST_F(RestoreTest, AHostileDiskIsRefusedByNameAndNothingIsReplaced) {
    writeDisk();
    clearRequest();
    auto path = [this](const char* file) { return disk.filePath(QString::fromLatin1(file)); };
    auto write = [](const QString& file, const QByteArray& data) {
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    };
    // Changes a disk table through the table reader; false when it could not.
    auto edit = [&](const char* table, const std::function<bool(DbfTable&)>& change) {
        std::unique_ptr<DbfTable> t = DbfTable::open(diskFile(QString::fromLatin1(table)), nullptr);
        return t && change(*t);
    };
    auto annex = [](qint64 id) {
        return [id](DbfTable& t) { return t.append({id, 1, QVariant(), QStringLiteral("44011001"), 0}, nullptr, nullptr); };
    };
    const struct {
        std::function<bool()> spoil;
        const char* table;   // the file the message names
        const char* why;     // and what it says of it
        const char* also;    // a second file the message names, if any
    } cases[] = {
        {[&] { return QFile(diskFile("imanexos")).resize(written["imanexos"].size() - 10); }, "imanexos", "dañad", ""},
        {[&] { return QFile::remove(diskFile("imanexos")); }, "imanexos", "no se encuentra", ""},
        {[&] {
             return QFile::remove(diskFile("imserv")) &&
                    DbfTable::create(diskFile("imserv"), {{"IDSERV", DbfType::Numeric, 3, 0}, {"SERVICIO", DbfType::Character, 200, 0}},
                                     nullptr);
         },
         "imserv", "sus columnas no son", ""},
        {[&] { return write(diskFile("imserv"), QByteArray(40, 'x')); }, "imserv", "dañad", ""},
        // The header row deleted, or a second one.
        {[&] { return edit("imdint", [](DbfTable& t) { return t.remove(0, nullptr); }); }, "imdint", "no tiene el renglón", ""},
        {[&] { return edit("imdint", [](DbfTable& t) { return t.append({QStringLiteral("OTRA")}, nullptr, nullptr); }); },
         "imdint", "el renglón 2 sobra", ""},
        // Annex identifiers past 16 bits, or one shared by two rows.
        {[&] { return edit("imanexos", annex(40000)); }, "imanexos", "renglón 3: El identificador 40000", ""},
        {[&] { return edit("imanexos", annex(1)); }, "imanexos", "renglón 3: el identificador ID_PROD 1 ya es del renglón 1", ""},
        // Two spellings of one table, on the disk or in the data folder.
        {[&] { return write(path("IMDIR.DBF"), written["imdir"]); }, "imdir", "dos maneras", "IMDIR.DBF"},
        {[&] { return write(folder.file("IMSERV.DBF"), written["imserv"]); }, "imserv", "dos maneras", "IMSERV.DBF"},
        // What is no table file: a device, a FIFO, a folder, a huge file with a small header.
        {[&] { return QFile::remove(diskFile("imserv")) && QFile::link("/dev/zero", diskFile("imserv")); }, "imserv",
         "es un dispositivo", ""},
        {[&] { return QFile::remove(diskFile("imserv")) && ::mkfifo(QFile::encodeName(diskFile("imserv")), 0644) == 0; },
         "imserv", "tubería", ""},
        {[&] { return QFile::remove(diskFile("imserv")) && QDir().mkdir(diskFile("imserv")); }, "imserv", "es una carpeta", ""},
        {[&] { return QFile(diskFile("imserv")).resize(qint64(1) << 32); }, "imserv", "más de lo que puede medir", ""},
        {[&] { return QFile(diskFile("imserv")).resize(10 << 20); }, "imserv", "mide 10485760 bytes y su encabezado", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(c.spoil());
        expectRefused(QString::fromLatin1(c.table), c.why);
        EXPECT_TRUE(msgs.last().contains(QLatin1String(c.also))) << msgs.last().toStdString();
        // The disk as written, for the next case.
        for (const QString& f : QDir(disk.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            QFile::remove(disk.filePath(f));
            QDir(disk.filePath(f)).removeRecursively();
        }
        QFile::remove(folder.file("IMSERV.DBF"));
        for (const QString& t : requestTables()) ASSERT_TRUE(write(diskFile(t), written[t]));
    }
}

TEST_F(RestoreTest, RestoredTablesAreReadAsTheDataFolderReadsThemAndTakeWrites) {
    // The header of a read-only disk written in UTF-8, as its .cpg says, into a data folder
    // whose imdint is read in MS-DOS 850, as its own .cpg says.
    writeDisk();
    clearRequest();
    fuentes->closeAll();
    db.close();
    for (const auto& [path, page] : {std::pair{folder.file("imdint.cpg"), "850"}, {disk.filePath("imdint.cpg"), "UTF-8"}}) {
        QFile cpg(path);
        ASSERT_TRUE(cpg.open(QIODevice::WriteOnly) && cpg.write(page) > 0);
    }
    ASSERT_TRUE(folder.open(db));
    reload();
    const QString dint = diskFile(QStringLiteral("imdint"));
    ASSERT_TRUE(DbfTable::create(dint, findTableDef(QStringLiteral("imdint"))->fields, nullptr));
    std::unique_ptr<DbfTable> t = DbfTable::open(dint, nullptr);
    ASSERT_TRUE(t && t->append({QStringLiteral("AAAA010101AA1"), QStringLiteral("EMPRESA ÑANDÚ")}, nullptr, nullptr));
    t.reset();
    for (const QString& f : QDir(disk.path()).entryList(QDir::Files))
        QFile::setPermissions(disk.filePath(f), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

    msgs.answers = {true};
    ASSERT_EQ(restorer().restore(disk.path()), RestoreOutcome::Restored) << msgs.last().toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("select apepatraz from imdint")).toString(), QStringLiteral("EMPRESA ÑANDÚ"));
    EXPECT_EQ(db.table(QStringLiteral("imdint"))->codePage(), DbfCodePage::Dos850);
    for (const QString& t : requestTables())
        EXPECT_TRUE(QFile::permissions(db.tablePath(t)) & QFile::WriteOwner) << t.toStdString();
    exec(QStringLiteral("update imdint set apepatraz = 'OTRA'"));
    std::unique_ptr<DbfTable> reread = DbfTable::open(db.tablePath(QStringLiteral("imdint")), nullptr, DbfAccess::ReadOnly);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->value(0, 1).toString(), QStringLiteral("OTRA"));
}

TEST_F(RestoreTest, AFailureAfterTheFirstTableIsReplacedPutsEveryTableBack) {
    writeDisk();
    clearRequest();
    const QHash<QString, QByteArray> cleared = dataFolder();
    // The annexes' row in edit cannot be stored when imanexos, the sixth table, is replaced.
    QObject::connect(fuentes->dtsAnxMPE(), &DataSource::commitRequested, [](bool* committed) { *committed = false; });
    msgs.answers = {true};
    EXPECT_EQ(restorer().restore(disk.path()), RestoreOutcome::Failed);
    EXPECT_TRUE(msgs.last().contains(QStringLiteral("imanexos")) && msgs.last().contains(QStringLiteral("No se cambió nada")))
        << msgs.last().toStdString();
    EXPECT_EQ(dataFolder(), cleared);
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().count(), 0);
    EXPECT_EQ(rebinds, 1);
}

}  // namespace

// Writing the request to drive A: and taking it back, over a temporary data folder and a
// temporary drive: the completeness messages in their order with the page they show, the seven
// tables on the disk (packed, read back byte for byte), failures that name the file and claim
// nothing, and a damaged or foreign disk refused by name with the data folder left as it was.

#include "app/DiskGeneration.h"
#include "app/RequestRestore.h"
#include "app/RequestVerifier.h"
#include "core/Drives.h"
#include "data/Dbf.h"
#include "support/FileBytes.h"
#include "support/RequestFixture.h"

#include <cerrno>

using namespace kalto;
using namespace Qt::StringLiterals;

namespace {

using Kind = RecordingMessages::Kind;
using test::readFile;
using test::writeFile;

// The rules over a data folder, drive A: on a temporary folder, the generation and the restore
// with hooks that count what they ask of the window.
class DiskTest : public test::RequestFixture {
protected:
    void SetUp() override {
        RequestFixture::SetUp();
        view = std::make_unique<SourceRequestView>(*fuentes, estado);
    }
    DiskGeneration generation(const Drives* other = nullptr) {
        DiskGenerationHooks hooks;
        hooks.showPage = [this](int p) { pages << p; };
        hooks.showWait = [this] { ++waits; };
        hooks.rebind = rebind;
        return DiskGeneration(*rules, *view, msgs, other ? *other : drives, hooks);
    }
    RequestRestore restorer() {
        RestoreHooks hooks;
        hooks.storePending = [this] { return ++stores > 0; };
        hooks.rebind = rebind;
        return RequestRestore(db, msgs, hooks);
    }
    QString diskFile(const QString& table) const { return disk.file(DiskGeneration::diskFileName(table)); }
    // Calls `commit` refused on the annexes' source: a row in edit there cannot be stored.
    void annexRowCannotBeStored() {
        QObject::connect(fuentes->dtsAnxMPE(), &DataSource::commitRequested, [](bool* committed) { *committed = false; });
    }

    test::TestDrive disk;
    const Drives drives{folder.path()};
    std::unique_ptr<SourceRequestView> view;
    const std::function<void()> rebind = [this] {
        ++rebinds;
        rules->EstableceLigas(nullptr);
    };
    QList<int> pages;
    int waits = 0, rebinds = 0, stores = 0;
};

// One step of the completeness check, as tests/app/completeness_steps.txt lists them.
struct Step { QString message; int page; bool atStart; QString fix; };

// The steps of `scenario` and, in *start, the statements that come before them.
QList<Step> readSteps(const QString& scenario, QString* start) {
    const QByteArray text = readFile(QStringLiteral(KALTO_SOURCE_DIR "/tests/app/completeness_steps.txt"));
    QList<Step> steps;
    bool in = false;
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('['))) in = line == QLatin1Char('[') + scenario + QLatin1Char(']');
        else if (!in || line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty()) continue;
        else if (line.startsWith(u"= "_s)) *start = line.mid(2);
        else {
            const QStringList p = line.split(u" | "_s);
            steps.append({p.value(2), p.value(0).toInt(), p.value(1) == u"*"_s, p.value(3)});
        }
    }
    EXPECT_FALSE(steps.isEmpty()) << scenario.toStdString();
    return steps;
}

// Walks the steps: at each one the disk generation stops at that message and selects its page,
// and the request check gives it first; before the first fix the request check lists every
// step marked atStart, in order; after the last both find the request complete.
class CompletenessTest : public DiskTest {
protected:
    void walk(const QString& scenario) {
        QString start;
        const QList<Step> steps = readSteps(scenario, &start);
        run(start);
        QStringList atStart;
        for (const Step& s : steps)
            if (s.atStart) atStart << s.message;
        EXPECT_EQ(verifierMessages(), atStart) << verifierMessages().join('|').toStdString();
        for (const Step& s : steps) {
            SCOPED_TRACE(s.message.toStdString());
            msgs.clear();
            pages.clear();
            EXPECT_FALSE(generation().verificaSolicitud());
            ASSERT_EQ(msgs.entries.size(), 1) << msgs.texts().join('|').toStdString();
            EXPECT_EQ(msgs.last(), s.message);
            const bool rule = s.message == RequestRules::kMsgMontoControladora ||
                              s.message == RequestRules::kMsgEmpresasControladora;
            EXPECT_EQ(msgs.entries[0].kind, rule ? Kind::Exclamation : Kind::Stop);
            EXPECT_EQ(pages.value(0, -1), rule ? -1 : s.page);
            msgs.clear();
            const QList<RequestFinding> found = RequestVerifier(*rules).verify();
            EXPECT_TRUE(msgs.entries.isEmpty());  // the request check shows nothing
            EXPECT_TRUE(found.value(0).message == s.message && found.value(0).page == s.page);
            run(s.fix);
        }
        EXPECT_TRUE(generation().verificaSolicitud());
        EXPECT_EQ(verifierMessages(), QStringList());
    }
    void run(const QString& statements) {
        for (const QString& sql : statements.split(u"; "_s, Qt::SkipEmptyParts)) exec(sql);
        if (statements.contains(u"imdint"_s)) reload();  // the header as loaded
    }
    QStringList verifierMessages() {
        QStringList out;
        for (const RequestFinding& f : RequestVerifier(*rules).verify()) out << f.message;
        return out;
    }
};

}  // namespace

TEST_F(CompletenessTest, AnExtensionOfServicesWithTheDesahogoBox) { walk(u"extension"_s); }

TEST_F(CompletenessTest, ANewControladoraProgrammeThenAnOutsourcingOne) { walk(u"controladora"_s); }

TEST_F(DiskTest, TheSevenTablesReachTheDiskPackedAndTheWindowIsBoundAgain) {
    complete();
    exec(u"insert into imanexos values (3, 3, 'TALADRO', null, 0)"_s);
    exec(u"delete from imanexos where id_prod = 3"_s);  // a deleted record in the file
    ASSERT_TRUE(writeFile(diskFile(u"imdir"_s), "disco anterior"));  // an older disk's table

    msgs.answers = {true};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::Written);
    ASSERT_EQ(msgs.entries.size(), 1) << msgs.texts().join('|').toStdString();
    EXPECT_TRUE(msgs.entries[0].kind == Kind::Question && waits == 1 && rebinds == 1);
    EXPECT_EQ(disk.files().size(), 7);  // nothing else: no temporary file left
    for (const QString& t : requestTables()) EXPECT_EQ(readFile(diskFile(t)), readFile(db.tablePath(t))) << t.toStdString();
    EXPECT_EQ(db.table(u"imanexos"_s)->recordCount(), 2);  // packed first
    EXPECT_EQ(fuentes->dtsAnxMPE()->recordSet().count(), 1);          // the sources read the packed tables

    // No to the question: the disk stays as it is, the window is bound again all the same.
    const QByteArray before = readFile(diskFile(u"imdint"_s));
    exec(u"update imdint set apepatraz = 'OTRA'"_s);
    msgs.answers = {false};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::Declined);
    EXPECT_TRUE(readFile(diskFile(u"imdint"_s)) == before && waits == 1 && rebinds == 2);
}

TEST_F(DiskTest, AFailedCopyNamesTheFileAndClaimsNothing) {
    // A disk that fills up while imanexos is written: the other six are written, imanexos
    // keeps its older copy whole and no temporary file is left.
    complete();
    ASSERT_TRUE(writeFile(diskFile(u"imanexos"_s), "anexos del disco anterior"));
    Drives full(folder.path());
    full.setFault([](Drives::Step step, const QString& name) {
        return step == Drives::Step::Write && name == u"imanexos.DBF"_s ? ENOSPC : 0;
    });
    msgs.answers = {true};
    EXPECT_EQ(generation(&full).GeneraDisco(), DiskOutcome::CopyFailed);
    ASSERT_EQ(msgs.entries.size(), 2);
    const QString said = msgs.entries[1].text;
    EXPECT_TRUE(said.contains(u"imanexos.DBF"_s) && said.contains(u"el disco está lleno"_s) &&
                !said.contains(u"imdir.DBF"_s)) << said.toStdString();
    EXPECT_TRUE(msgs.entries[1].kind == Kind::Exclamation && waits == 0 && rebinds == 1 && disk.files().size() == 7);
    EXPECT_EQ(readFile(diskFile(u"imanexos"_s)), QByteArray("anexos del disco anterior"));
    EXPECT_EQ(readFile(diskFile(u"imdir"_s)), readFile(db.tablePath(u"imdir"_s)));

    // A row in edit over imanexos that cannot be stored: the table is not packed, nothing copied.
    for (const QString& f : disk.files()) QFile::remove(disk.file(f));
    annexRowCannotBeStored();
    msgs.clear();
    msgs.answers = {true};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::NotPrepared);
    ASSERT_EQ(msgs.entries.size(), 2);
    EXPECT_TRUE(msgs.last().contains(u"imanexos"_s) && msgs.last().endsWith(DiskGeneration::kMsgNoCopiado))
        << msgs.last().toStdString();
    EXPECT_TRUE(disk.files().isEmpty() && waits == 0 && rebinds == 2);

    // A drive A: that leads nowhere is told, before any table is touched.
    DriveSettings settings;
    settings.unidadA = disk.file(u"no-existe"_s);
    const Drives missing(folder.path(), settings);
    msgs.clear();
    msgs.answers = {true};
    EXPECT_EQ(generation(&missing).GeneraDisco(), DiskOutcome::NotPrepared);
    EXPECT_TRUE(msgs.last().contains(u"No se encuentra la unidad A:"_s)) << msgs.last().toStdString();
}

namespace {

// A request in every table (with a service of code 13: procedure code 4), one of its rows
// deleted (the disk receives the tables packed), written to drive A:, then cleared.
class RestoreTest : public DiskTest {
protected:
    void SetUp() override {
        DiskTest::SetUp();
        QString err;
        ASSERT_TRUE(test::writeCompleteRequest(db, u"EMPRESA ÑANDÚ"_s, &err)) << err.toStdString();
        exec(u"update imdint set idtra = 4, idmoda = 1"_s);
        exec(u"insert into impects (rsocial, rfc, montoexp, idmcts) values ('FILIAL', 'BBB010101BB1', 12.5, 'C')"_s);
        exec(u"insert into imserv values (13, 'REPARACION')"_s);
        exec(u"insert into imanexos values (3, 2, NULL, '11111111', 1)"_s);
        exec(u"delete from imanexos where id_prod = 3"_s);
        const DiskGeneration::CopyResult r = generation().CopiaBasesADisco(static_cast<int>(requestTables().size()));
        ASSERT_TRUE(r.ok()) << r.notPrepared.toStdString();
        for (const QString& t : requestTables()) written[t] = readFile(diskFile(t));
        msgs.answers = {true};
        ASSERT_TRUE(rules->LimpiaInformacion());
        ASSERT_TRUE(rules->EstableceLigas(nullptr));
        msgs.clear();
        cleared = test::requestTableBytes(db);
        rebinds = 0;
    }
    QStringList backups() const {
        return QDir(QDir(folder.path()).filePath(RequestRestore::kBackups)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    QHash<QString, QByteArray> written, cleared;
};

}  // namespace

TEST_F(RestoreTest, TheWrittenDiskComesBackByteForByteAndThePreviousRequestIsKept) {
    // What the disk holds is shown before anything is replaced; No keeps the cleared request.
    msgs.answers = {false};
    EXPECT_EQ(restorer().restore(disk.path()), RestoreOutcome::Declined);
    ASSERT_EQ(msgs.entries.size(), 1);
    EXPECT_TRUE(msgs.entries[0].kind == Kind::Question && msgs.entries[0].presetAnswer == Messages::Answer::No);
    for (const char* shown : {"RFC: AAAA010101AA1", "EMPRESA ÑANDÚ", "imdir.DBF: 2 renglones", "imrlegal.DBF: 1 renglón",
                              "imanexos.DBF: 2 renglones"})
        EXPECT_TRUE(msgs.last().contains(QString::fromUtf8(shown))) << shown << " in " << msgs.last().toStdString();
    EXPECT_TRUE(test::requestTableBytes(db) == cleared && backups().isEmpty());
    msgs.clear();
    msgs.answers = {true};
    RequestRestore r = restorer();
    EXPECT_EQ(r.restore(disk.path()), RestoreOutcome::Restored);
    ASSERT_EQ(msgs.entries.size(), 2) << msgs.texts().join('|').toStdString();
    EXPECT_TRUE(msgs.entries[1].kind == Kind::Information && stores == 1 && rebinds == 1);

    // Every table is the one written, even after the window's sources were bound again.
    for (const QString& t : requestTables()) EXPECT_EQ(readFile(db.tablePath(t)), written[t]) << t.toStdString();
    EXPECT_EQ(dint("apepatraz").toString(), u"EMPRESA ÑANDÚ"_s);
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().count(), 1);  // the fiscal address
    // The cleared request is in the dated folder, byte for byte.
    ASSERT_EQ(backups().size(), 1);
    EXPECT_EQ(QDir(r.backupFolder()).dirName(), backups()[0]);
    for (const QString& t : requestTables())
        EXPECT_EQ(readFile(QDir(r.backupFolder()).filePath(QFileInfo(db.tablePath(t)).fileName())), cleared[t]);
    EXPECT_TRUE(msgs.last().contains(QDir::toNativeSeparators(r.backupFolder())));
}

TEST_F(RestoreTest, AHostileDiskIsRefusedByNameAndNothingIsReplaced) {
    // Changes a disk table through the table reader; false when it could not.
    auto edit = [&](const char* table, const std::function<bool(DbfTable&)>& change) {
        std::unique_ptr<DbfTable> t = DbfTable::open(diskFile(QString::fromLatin1(table)), nullptr);
        return t && change(*t);
    };
    auto annex = [](qint64 id) {
        return [id](DbfTable& t) { return t.append({id, 1, QVariant(), u"44011001"_s, 0}, nullptr, nullptr); };
    };
    auto serv = [&] { return diskFile(u"imserv"_s); };
    const struct {
        std::function<bool()> spoil;
        const char* table;  // the file the message names
        const char* why;    // and what it says of it
        const char* also;   // a second file the message names, if any
    } cases[] = {
        {[&] { return QFile(diskFile("imanexos")).resize(written["imanexos"].size() - 10); }, "imanexos", "dañad", ""},
        {[&] { return QFile::remove(diskFile("imanexos")); }, "imanexos", "no se encuentra", ""},
        {[&] {
             return QFile::remove(serv()) &&
                    DbfTable::create(serv(), {{"IDSERV", DbfType::Numeric, 3, 0}, {"SERVICIO", DbfType::Character, 200, 0}},
                                     nullptr);
         }, "imserv", "sus columnas no son", ""},
        // The header row deleted, or a second one.
        {[&] { return edit("imdint", [](DbfTable& t) { return t.remove(0, nullptr); }); }, "imdint", "no tiene el renglón", ""},
        {[&] { return edit("imdint", [](DbfTable& t) { return t.append({u"OTRA"_s}, nullptr, nullptr); }); },
         "imdint", "el renglón 2 sobra", ""},
        // Annex identifiers past 16 bits, or one shared by two rows.
        {[&] { return edit("imanexos", annex(40000)); }, "imanexos", "renglón 3: El identificador 40000", ""},
        {[&] { return edit("imanexos", annex(1)); }, "imanexos", "renglón 3: el identificador ID_PROD 1 ya es del renglón 1", ""},
        // Two spellings of one table, on the disk or in the data folder.
        {[&] { return writeFile(disk.file("IMDIR.DBF"), written["imdir"]); }, "imdir", "dos maneras", "IMDIR.DBF"},
        {[&] { return writeFile(folder.file("IMSERV.DBF"), written["imserv"]); }, "imserv", "dos maneras", "IMSERV.DBF"},
        // What is no table file (which the table reader tells apart).
        {[&] { return QFile::remove(serv()) && QDir().mkdir(serv()); }, "imserv", "es una carpeta", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(c.spoil());
        // Refused: the message names the table, the data folder keeps every byte, nothing is kept aside.
        msgs.clear();
        msgs.answers = {true};
        EXPECT_EQ(restorer().restore(disk.path()), RestoreOutcome::Refused);
        ASSERT_EQ(msgs.entries.size(), 1) << msgs.texts().join('|').toStdString();
        EXPECT_EQ(msgs.entries[0].kind, Kind::Exclamation);
        for (const QString& said : {DiskGeneration::diskFileName(QString::fromLatin1(c.table)), QString::fromUtf8(c.why),
                                    u"No se reemplazó nada"_s, QString::fromLatin1(c.also)})
            EXPECT_TRUE(msgs.last().contains(said)) << said.toStdString() << " in " << msgs.last().toStdString();
        EXPECT_TRUE(test::requestTableBytes(db) == cleared && backups().isEmpty() && stores == 0 && rebinds == 0);
        // The disk as written, for the next case.
        ASSERT_TRUE(QDir(disk.path()).removeRecursively() && QDir().mkpath(disk.path()));
        QFile::remove(folder.file("IMSERV.DBF"));
        for (const QString& t : requestTables()) ASSERT_TRUE(writeFile(diskFile(t), written[t]));
    }
}

TEST_F(RestoreTest, RestoredTablesAreReadAsTheDataFolderReadsThemAndTakeWrites) {
    // The header of a read-only disk written in UTF-8, as its .cpg says, into a data folder
    // whose imdint is read in MS-DOS 850, as its own .cpg says.
    fuentes->closeAll();
    db.close();
    ASSERT_TRUE(writeFile(folder.file("imdint.cpg"), "850") && writeFile(disk.file("imdint.cpg"), "UTF-8"));
    ASSERT_TRUE(folder.open(db));
    reload();
    const QString header = diskFile(u"imdint"_s);
    ASSERT_TRUE(DbfTable::create(header, findTableDef(u"imdint"_s)->fields, nullptr));
    std::unique_ptr<DbfTable> t = DbfTable::open(header, nullptr);
    ASSERT_TRUE(t && t->append({u"AAAA010101AA1"_s, u"EMPRESA ÑANDÚ"_s}, nullptr, nullptr));
    t.reset();
    for (const QString& f : disk.files()) QFile::setPermissions(disk.file(f), QFile::ReadOwner | QFile::ReadGroup);

    msgs.answers = {true};
    ASSERT_EQ(restorer().restore(disk.path()), RestoreOutcome::Restored) << msgs.last().toStdString();
    EXPECT_EQ(dint("apepatraz").toString(), u"EMPRESA ÑANDÚ"_s);
    EXPECT_EQ(db.table(u"imdint"_s)->codePage(), DbfCodePage::Dos850);
    for (const QString& t : requestTables())
        EXPECT_TRUE(QFile::permissions(db.tablePath(t)) & QFile::WriteOwner) << t.toStdString();
    exec(u"update imdint set apepatraz = 'OTRA'"_s);
    std::unique_ptr<DbfTable> reread = DbfTable::open(db.tablePath(u"imdint"_s), nullptr, DbfAccess::ReadOnly);
    EXPECT_TRUE(reread && reread->value(0, 1).toString() == u"OTRA"_s);
}

TEST_F(RestoreTest, AFailureAfterTheFirstTableIsReplacedPutsEveryTableBack) {
    // The annexes' row in edit cannot be stored when imanexos, the sixth table, is replaced.
    annexRowCannotBeStored();
    msgs.answers = {true};
    EXPECT_EQ(restorer().restore(disk.path()), RestoreOutcome::Failed);
    EXPECT_TRUE(msgs.last().contains(u"imanexos"_s) && msgs.last().contains(u"No se cambió nada"_s))
        << msgs.last().toStdString();
    EXPECT_EQ(test::requestTableBytes(db), cleared);
    EXPECT_TRUE(fuentes->dtsDireccion()->recordSet().count() == 0 && rebinds == 1);
}

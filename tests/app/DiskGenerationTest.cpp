// Writing the request to drive A: over a temporary data folder and a temporary drive: the
// completeness messages in their order with the page they show, the "Controladora" rules,
// the question, the seven tables on the disk (packed, read back), and failures that name
// the file and never leave a half-written table or a claim of success.

#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/RequestRules.h"
#include "app/RequestVerifier.h"
#include "core/Drives.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"
#include "support/RecordingMessages.h"
#include "support/RequestFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

using namespace kalto;

namespace {

using Kind = RecordingMessages::Kind;

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

QStringList sevenOnDisk() {
    QStringList names;
    for (const QString& t : requestTables()) names << DiskGeneration::diskFileName(t);
    return names;
}

class DiscoTest : public test::RequestFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(disk.isValid());
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
        RequestFixture::SetUp();
        view = std::make_unique<SourceRequestView>(*fuentes, estado);
        drives = std::make_unique<Drives>(folder.path());
    }
    void TearDown() override { qunsetenv("KALTO_UNIDAD_A"); }

    DiskGeneration generation(const Drives* other = nullptr) {
        DiskGenerationHooks hooks;
        hooks.showPage = [this](int p) { pages << p; };
        hooks.showWait = [this] { ++waits; };
        hooks.rebind = [this] {
            ++rebinds;
            rules->EstableceLigas(nullptr);
        };
        return DiskGeneration(*rules, *view, msgs, other ? *other : *drives, hooks);
    }
    // The first message the check gives (empty when it passes) and the page it shows.
    QString firstMissing(int* page = nullptr, Kind* kind = nullptr) {
        msgs.clear();
        pages.clear();
        const bool ok = generation().verificaSolicitud();
        EXPECT_EQ(ok, msgs.entries.isEmpty());
        if (page) *page = pages.isEmpty() ? -1 : pages.last();
        if (kind && !msgs.entries.isEmpty()) *kind = msgs.entries.first().kind;
        EXPECT_LE(msgs.entries.size(), 1) << msgs.texts().join('|').toStdString();
        return msgs.entries.isEmpty() ? QString() : msgs.entries.first().text;
    }

    QStringList onDisk() const { return QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QString diskFile(const QString& name) const { return QDir(disk.path()).filePath(name); }

    QTemporaryDir disk;
    std::unique_ptr<SourceRequestView> view;
    std::unique_ptr<Drives> drives;
    QList<int> pages;
    int waits = 0;
    int rebinds = 0;
};

// One step of the completeness check, as tests/app/completeness_steps.txt lists them.
struct Step {
    QString message;
    int page;
    bool atStart;
    QString fix;
};

// The steps of `scenario` and, in *start, the statements that come before them.
QList<Step> readSteps(const QString& scenario, QString* start) {
    QFile f(QStringLiteral(KALTO_SOURCE_DIR "/tests/app/completeness_steps.txt"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QList<Step> steps;
    bool in = false;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('['))) in = line == QLatin1Char('[') + scenario + QLatin1Char(']');
        else if (!in || line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty()) continue;
        else if (line.startsWith(QStringLiteral("= "))) *start = line.mid(2);
        else {
            const QStringList p = line.split(QStringLiteral(" | "));
            steps.append({p.value(2), p.value(0).toInt(), p.value(1) == QStringLiteral("*"), p.value(3)});
        }
    }
    EXPECT_FALSE(steps.isEmpty()) << scenario.toStdString();
    return steps;
}

}  // namespace

// Walks the steps: at each one the disk generation stops at that message and selects its page,
// and the request check gives it first; before the first fix the request check lists every
// step marked atStart, in order; after the last both find the request complete.
class CompletenessTest : public DiscoTest {
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
            int page = -2;
            Kind kind = Kind::Plain;
            EXPECT_EQ(firstMissing(&page, &kind), s.message);
            const bool rule = s.message == RequestRules::kMsgMontoControladora ||
                              s.message == RequestRules::kMsgEmpresasControladora;
            EXPECT_EQ(kind, rule ? Kind::Exclamation : Kind::Stop);
            EXPECT_EQ(msgs.entries.value(0).title, QStringLiteral("KALTO"));
            EXPECT_EQ(page, rule ? -1 : s.page);
            msgs.clear();
            const QList<RequestFinding> found = RequestVerifier(*rules).verify();
            EXPECT_TRUE(msgs.entries.isEmpty());  // the request check shows nothing
            EXPECT_EQ(found.value(0).message, s.message);
            EXPECT_EQ(found.value(0).page, s.page);
            run(s.fix);
        }
        EXPECT_EQ(firstMissing(), QString());
        EXPECT_EQ(verifierMessages(), QStringList());
    }
    void run(const QString& statements) {
        for (const QString& sql : statements.split(QStringLiteral("; "), Qt::SkipEmptyParts)) exec(sql);
        if (statements.contains(QStringLiteral("imdint"))) reload();  // the header as loaded
    }
    QStringList verifierMessages() {
        QStringList out;
        for (const RequestFinding& f : RequestVerifier(*rules).verify()) out << f.message;
        return out;
    }
};

TEST_F(CompletenessTest, AnExtensionOfServicesWithTheDesahogoBox) { walk(QStringLiteral("extension")); }

TEST_F(CompletenessTest, ANewControladoraProgrammeThenAnOutsourcingOne) { walk(QStringLiteral("controladora")); }

TEST_F(DiscoTest, TheSevenTablesReachTheDiskPackedAndTheWindowIsBoundAgain) {
    complete();
    exec(QStringLiteral("insert into imanexos values (3, 3, 'TALADRO', null, 0)"));
    exec(QStringLiteral("delete from imanexos where id_prod = 3"));  // a deleted record in the file
    ASSERT_EQ(db.table(QStringLiteral("imanexos"))->recordCount(), 3);
    QFile old(diskFile(QStringLiteral("imdir.DBF")));  // an older disk: its tables are replaced
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("disco anterior") > 0);
    old.close();

    msgs.answers = {true};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::Written);
    ASSERT_EQ(msgs.entries.size(), 1) << msgs.texts().join('|').toStdString();
    EXPECT_EQ(msgs.entries[0].kind, Kind::Question);
    EXPECT_EQ(msgs.entries[0].text, QStringLiteral("Asegúrese de que el disco esté en la unidad A:. \n\n"
                                                   "Se continua con el proceso de guardado de la información?"));
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(rebinds, 1);
    QStringList expected = sevenOnDisk();
    expected.sort();
    EXPECT_EQ(onDisk(), expected);  // nothing else: no temporary file left
    for (const QString& t : requestTables())
        EXPECT_EQ(bytes(diskFile(DiskGeneration::diskFileName(t))), bytes(db.tablePath(t))) << t.toStdString();
    EXPECT_EQ(db.table(QStringLiteral("imanexos"))->recordCount(), 2);  // packed first
    EXPECT_EQ(fuentes->dtsAnxMPE()->recordSet().count(), 1);  // the sources read the packed tables

    // No to the question: the disk stays as it is, the window is bound again all the same.
    const QByteArray before = bytes(diskFile(QStringLiteral("imdint.DBF")));
    exec(QStringLiteral("update imdint set apepatraz = 'OTRA'"));
    msgs.clear();
    msgs.answers = {false};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::Declined);
    EXPECT_EQ(bytes(diskFile(QStringLiteral("imdint.DBF"))), before);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(rebinds, 2);

    // An incomplete request asks nothing and writes nothing.
    exec(QStringLiteral("delete from imanexos"));
    msgs.clear();
    msgs.answers = {true};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::Incomplete);
    EXPECT_EQ(msgs.texts(), QStringList{DiskGeneration::kMsgAnexos});
    EXPECT_EQ(rebinds, 2);
}

TEST_F(DiscoTest, AFailedCopyNamesTheFileAndClaimsNothing) {
    // A disk that fills up while imanexos is written: the other six are written, imanexos
    // keeps its older copy whole and no temporary file is left.
    complete();
    QFile old(diskFile(QStringLiteral("imanexos.DBF")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("anexos del disco anterior") > 0);
    old.close();
    Drives full(folder.path());
    full.setFault([](Drives::Step step, const QString& name) {
        return step == Drives::Step::Write && name == QStringLiteral("imanexos.DBF") ? ENOSPC : 0;
    });
    msgs.answers = {true};
    EXPECT_EQ(generation(&full).GeneraDisco(), DiskOutcome::CopyFailed);
    ASSERT_EQ(msgs.entries.size(), 2);
    const QString said = msgs.entries[1].text;
    EXPECT_EQ(msgs.entries[1].kind, Kind::Exclamation);
    EXPECT_TRUE(said.contains(QStringLiteral("imanexos.DBF")) && said.contains(QStringLiteral("el disco está lleno")) &&
                !said.contains(QStringLiteral("imdir.DBF")))
        << said.toStdString();
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(rebinds, 1);
    EXPECT_EQ(bytes(diskFile(QStringLiteral("imanexos.DBF"))), QByteArray("anexos del disco anterior"));
    EXPECT_EQ(onDisk().size(), 7);
    EXPECT_EQ(bytes(diskFile(QStringLiteral("imdir.DBF"))), bytes(db.tablePath(QStringLiteral("imdir"))));
}

TEST_F(DiscoTest, NothingIsCopiedWhenATableCannotBeReadied) {
    complete();
    // A row in edit over imanexos that cannot be stored: the table is not packed, the disk untouched.
    QObject::connect(fuentes->dtsAnxMPE(), &DataSource::commitRequested, [](bool* committed) { *committed = false; });
    msgs.answers = {true};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::NotPrepared);
    ASSERT_EQ(msgs.entries.size(), 2);
    EXPECT_TRUE(msgs.entries[1].text.contains(QStringLiteral("imanexos")) &&
                msgs.entries[1].text.endsWith(DiskGeneration::kMsgNoCopiado))
        << msgs.entries[1].text.toStdString();
    EXPECT_TRUE(onDisk().isEmpty());
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(rebinds, 1);

    // A drive A: that leads nowhere is told once, before any table is touched.
    DriveSettings settings;
    settings.unidadA = disk.filePath(QStringLiteral("no-existe"));
    Drives missing(folder.path(), settings);
    msgs.clear();
    msgs.answers = {true};
    EXPECT_EQ(generation(&missing).GeneraDisco(), DiskOutcome::NotPrepared);
    EXPECT_TRUE(msgs.last().contains(QStringLiteral("No se encuentra la unidad A:"))) << msgs.last().toStdString();
}

// The BRELOT generation's outcomes over a temporary data folder: the user's No, the six files
// on drive A:, a copy that fails, and a table that cannot be written.

#include "sectoral/GuardaBrelot.h"

#include "core/Drives.h"
#include "data/Dbf.h"
#include "sectoral/Fixture.h"

#include <QDir>
#include <QTemporaryDir>

#include <cerrno>

using namespace kalto;

namespace {

const QString kDone = QStringLiteral("Puede retirar el disco de la unidad A:");

class Waiting : public WaitIndicator {
public:
    explicit Waiting(RecordingMessages& m) : messages(m) {}
    void show() override { log << QStringLiteral("mostrada tras %1").arg(messages.entries.size()); }
    void close() override { log << QStringLiteral("cerrada tras %1").arg(messages.entries.size()); }
    RecordingMessages& messages;
    QStringList log;
};

class GuardaBrelotTest : public test::SectoralTest {
protected:
    void SetUp() override {
        test::SectoralTest::SetUp();
        settings.unidadA = disk.path();
        messages.defaultAnswer = true;
    }
    Drives drives() const { return Drives(folder.path(), settings); }
    // The output tables and the files of the disk, to tell whether anything changed.
    QStringList state() {
        QStringList out{QString::fromLatin1(test::fileBytes(db.tablePath(QStringLiteral("datoprov"))).toHex()),
                        QString::fromLatin1(test::fileBytes(db.tablePath(QStringLiteral("catdirpl"))).toHex())};
        for (const QString& f : QDir(disk.path()).entryList(QDir::Files))
            out << f + u':' + QString::fromLatin1(test::fileBytes(QDir(disk.path()).filePath(f)).toHex());
        return out;
    }

    QTemporaryDir disk;
    DriveSettings settings;
    ApplicantData applicant = test::readCase(QStringLiteral("varios_sectores")).applicant;
};

}  // namespace

TEST_F(GuardaBrelotTest, NoChangesNothing) {
    const QStringList before = state();
    messages.answers = {false};
    Waiting wait(messages);
    EXPECT_EQ(GuardaBrelot(db, messages, drives(), applicant, &wait), BrelotOutcome::Declined);
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Question);
    EXPECT_EQ(messages.last(), QStringLiteral("Se generará la información del prgrama BRELOT. Esta usted de acuerdo."));
    EXPECT_TRUE(wait.log.isEmpty());
    EXPECT_EQ(state(), before);
}

TEST_F(GuardaBrelotTest, TheSixFilesAsTheFolderHoldsThemPackedAndASecondRunReplacesTheRows) {
    // A sector row deleted in the window: the disk gets the table without it.
    sql(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '1'), (1, '2')"));
    sql(QStringLiteral("delete from sector where cve_sector = '1'"));
    Waiting wait(messages);
    ASSERT_EQ(GuardaBrelot(db, messages, drives(), applicant, &wait), BrelotOutcome::Written);
    ASSERT_EQ(messages.entries.size(), 2);
    EXPECT_EQ(messages.entries[1].kind, RecordingMessages::Kind::Plain);
    EXPECT_EQ(messages.last(), kDone);
    EXPECT_EQ(messages.entries[1].title, QStringLiteral("Disco grabado."));
    // The wait window is up while the files are written and gone before the closing message.
    EXPECT_EQ(wait.log, (QStringList{QStringLiteral("mostrada tras 1"), QStringLiteral("cerrada tras 1")}));
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files).size(), 6);
    for (const QString& name : brelotDiskFiles())
        EXPECT_EQ(test::fileBytes(disk.filePath(name)), test::fileBytes(db.tablePath(name.chopped(4)))) << name.toStdString();
    const std::unique_ptr<DbfTable> sector = DbfTable::open(disk.filePath(QStringLiteral("Sector.dbf")), &error, DbfAccess::ReadOnly);
    ASSERT_TRUE(sector);
    EXPECT_EQ(sector->recordCount(), 1);

    // Run again without plants: one datoprov row, no catdirpl row.
    ASSERT_EQ(GuardaBrelot(db, messages, drives(), {}), BrelotOutcome::Written);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) || ' ' || max(rfc is null) from datoprov")).toString(), QStringLiteral("1 1"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from catdirpl")).toInt(), 0);
}

TEST_F(GuardaBrelotTest, AFileThatCouldNotBeCopiedIsNamedInsteadOfTheClosingMessage) {
    Drives full = drives();
    full.setFault([](Drives::Step step, const QString& name) {
        return step == Drives::Step::Write && name == QStringLiteral("mercbi.dbf") ? ENOSPC : 0;
    });
    EXPECT_EQ(GuardaBrelot(db, messages, full, applicant), BrelotOutcome::CopyFailed);
    EXPECT_EQ(messages.texts().mid(1), QStringList{QStringLiteral("No se pudo grabar el archivo mercbi.dbf en la unidad A: "
                                                                  "(%1): el disco está lleno.")
                                                       .arg(QDir::toNativeSeparators(disk.path()))});
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files).size(), 5);
}

// A value datoprov cannot hold, or one catdirpl cannot hold in the second plant (after
// datoprov was written anew and catdirpl emptied and given its first plant): nothing is
// copied and both tables keep the rows of the run before.
TEST_F(GuardaBrelotTest, ATableThatCannotBeWrittenStopsBeforeAnyCopyAndKeepsThePreviousRows) {
    ASSERT_EQ(GuardaBrelot(db, messages, drives(), applicant), BrelotOutcome::Written);
    const QStringList before = state();
    ApplicantData wideSector = applicant, badPlant = applicant;
    wideSector.sectorCodigo = 12345678;
    badPlant.plantas[1].colonia = QStringLiteral("COLONIA Ω");
    const std::pair<ApplicantData, QString> cases[] = {{wideSector, QStringLiteral("datoprov")}, {badPlant, QStringLiteral("catdirpl")}};
    for (const auto& [bad, table] : cases) {
        messages.clear();
        Waiting wait(messages);
        EXPECT_EQ(GuardaBrelot(db, messages, drives(), bad, &wait), BrelotOutcome::TablesFailed);
        ASSERT_EQ(messages.entries.size(), 2);
        EXPECT_EQ(messages.entries[1].kind, RecordingMessages::Kind::Exclamation);
        EXPECT_TRUE(messages.last().startsWith(
            QStringLiteral("No se generó la información del programa BRELOT: no se pudo escribir la tabla %1.").arg(table)))
            << messages.last().toStdString();
        EXPECT_TRUE(messages.last().endsWith(QStringLiteral("No se copió nada a la unidad A:.")));
        EXPECT_EQ(wait.log.last(), QStringLiteral("cerrada tras 1"));
        EXPECT_EQ(state(), before) << table.toStdString();
        EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from catdirpl")).toInt(), 2);
    }
}

TEST(BrelotPostalCode, TheNumberItsLeadingDigitsMake) {
    const std::pair<QVariant, QVariant> cases[] = {{QStringLiteral(" 06700"), qint64(6700)}, {QStringLiteral("123AB"), qint64(123)},
                                                   {QStringLiteral("-5"), qint64(0)},        {QString(), QVariant()},
                                                   {QVariant(), QVariant()}};
    for (const auto& [cp, number] : cases) EXPECT_EQ(postalCodeNumber(cp), number) << cp.toString().toStdString();
}

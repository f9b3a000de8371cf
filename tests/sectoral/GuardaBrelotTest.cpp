// The BRELOT generation's failures over a temporary data folder: a copy that fails, the
// user's No and a table that cannot be written (what a run writes: BrelotCasesTest).

#include "sectoral/GuardaBrelot.h"

#include "core/Drives.h"
#include "sectoral/Fixture.h"

#include <QDir>
#include <QTemporaryDir>

#include <cerrno>

using namespace kalto;

namespace {

const QString kQuestion = QStringLiteral("Se generará la información del prgrama BRELOT. Esta usted de acuerdo.");

class GuardaBrelotTest : public test::SectoralTest {
protected:
    void SetUp() override {
        test::SectoralTest::SetUp();
        settings.unidadA = disk.path();
        messages.defaultAnswer = true;
    }
    BrelotOutcome run(const ApplicantData& a, const Drives* drives = nullptr) {
        messages.clear();
        return GuardaBrelot(db, messages, drives ? *drives : Drives(folder.path(), settings), a, &wait);
    }
    // The output tables and the files of the disk, to tell whether anything changed.
    QByteArrayList state() {
        return {test::readFile(db.tablePath(QStringLiteral("datoprov"))), test::readFile(db.tablePath(QStringLiteral("catdirpl"))),
                test::folderBytes(disk.path())};
    }

    QTemporaryDir disk;
    DriveSettings settings;
    test::Waiting wait{messages};
    ApplicantData applicant = test::readCase(QStringLiteral("varios_sectores")).applicant;
};

}  // namespace

TEST_F(GuardaBrelotTest, AFileThatCouldNotBeCopiedIsNamedInsteadOfTheClosingMessage) {
    Drives full(folder.path(), settings);
    full.setFault([](Drives::Step step, const QString& name) {
        return step == Drives::Step::Write && name == QStringLiteral("mercbi.dbf") ? ENOSPC : 0;
    });
    EXPECT_EQ(run(applicant, &full), BrelotOutcome::CopyFailed);
    EXPECT_EQ(messages.last(), QStringLiteral("No se pudo grabar el archivo mercbi.dbf en la unidad A: (%1): el disco está lleno.")
                                   .arg(QDir::toNativeSeparators(disk.path())));
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files).size(), 5);
}

// After a first run: the user's No; a value datoprov cannot hold; one catdirpl cannot hold in
// the second plant (after datoprov was written anew and catdirpl emptied and given its first
// plant). Nothing is copied and both tables keep the rows of the first run.
TEST_F(GuardaBrelotTest, NoOrATableThatCannotBeWrittenChangesNothingAndCopiesNothing) {
    ASSERT_EQ(run(applicant), BrelotOutcome::Written);
    const QByteArrayList before = state();
    messages.answers = {false};
    EXPECT_EQ(run({}), BrelotOutcome::Declined);
    EXPECT_EQ(messages.texts(), QStringList{kQuestion});
    EXPECT_EQ(state(), before);
    ApplicantData wideSector = applicant, badPlant = applicant;
    wideSector.sectorCodigo = 12345678;
    badPlant.plantas[1].colonia = QStringLiteral("COLONIA Ω");
    const std::pair<ApplicantData, QString> cases[] = {{wideSector, QStringLiteral("datoprov")}, {badPlant, QStringLiteral("catdirpl")}};
    for (const auto& [bad, table] : cases) {
        EXPECT_EQ(run(bad), BrelotOutcome::TablesFailed);
        EXPECT_EQ(messages.texts().mid(0, 3), (QStringList{kQuestion, QStringLiteral("+espera"), QStringLiteral("-espera")}));
        EXPECT_EQ(messages.entries.last().kind, RecordingMessages::Kind::Exclamation);
        EXPECT_TRUE(messages.last().startsWith(
            QStringLiteral("No se generó la información del programa BRELOT: no se pudo escribir la tabla %1.").arg(table)))
            << messages.last().toStdString();
        EXPECT_TRUE(messages.last().endsWith(QStringLiteral("No se copió nada a la unidad A:.")));
        EXPECT_EQ(state(), before) << table.toStdString();
    }
}

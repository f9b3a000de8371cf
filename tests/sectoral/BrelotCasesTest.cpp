// Every case of tests/sectoral/casos through the sectoral programme: the questionnaire
// composed from the tables, and the tables the generation writes to drive A: (after a run
// for another application) as the data folder holds them, against the golden files
// golden/<case>.txt and golden/<case>.tablas (the catalogues activida and prodabas left out);
// then the generation's failures: a copy that fails, the user's No, a table that cannot be written.

#include "sectoral/BrelotQuestionnaire.h"
#include "sectoral/GuardaBrelot.h"

#include "core/Drives.h"
#include "data/Dbf.h"
#include "sectoral/Fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>

using namespace kalto;

namespace {

// The records of a table file, one a line (a deleted one marked), as the codec reads it afresh.
QString dump(const QString& path) {
    QString error, out = QFileInfo(path).fileName() + u'\n';
    const std::unique_ptr<DbfTable> t = DbfTable::open(path, &error, DbfAccess::ReadOnly);
    for (int i = 0; t && i < t->recordCount(); ++i) {
        QStringList cells;
        for (const QVariant& v : t->record(i)) cells << (v.isNull() ? QStringLiteral("<nulo>") : v.toString());
        out += (t->isDeleted(i) ? QStringLiteral("(borrado) ") : QString()) + cells.join(QStringLiteral(" | ")) + u'\n';
    }
    return t ? out : error;
}

const QString kQuestion = QStringLiteral("Se generará la información del prgrama BRELOT. Esta usted de acuerdo.");

// Runs of the generation to drive A: (a temporary folder), the wait window told among the messages.
class BrelotRun : public test::SectoralTest {
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

    QTemporaryDir disk;
    DriveSettings settings;
    test::Waiting wait{messages};
    ApplicantData applicant = test::readCase(QStringLiteral("varios_sectores")).applicant;
};

class BrelotCases : public BrelotRun, public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(BrelotCases, QuestionnaireAndGeneratedTablesAsTheGoldenFiles) {
    const QString name = QString::fromLatin1(GetParam());
    const test::BrelotCase c = test::readCase(name);
    for (const QString& s : c.sql) sql(s);
    BrelotQuestionnaireInput input;
    ASSERT_TRUE(readBrelotQuestionnaireInput(db, c.applicant, &input, &error)) << error.toStdString();
    EXPECT_EQ(test::sectoralFile(QStringLiteral("golden/%1.txt").arg(name)).toStdString(),
              composeBrelotQuestionnaire(input, [&] { return c.date; }).toStdString());

    ASSERT_EQ(run(test::readCase(QStringLiteral("textos_largos")).applicant), BrelotOutcome::Written);
    ASSERT_EQ(run(c.applicant), BrelotOutcome::Written);
    EXPECT_EQ(messages.texts(), (QStringList{kQuestion, QStringLiteral("+espera"), QStringLiteral("-espera"),
                                             QStringLiteral("Puede retirar el disco de la unidad A:")}));
    EXPECT_EQ(messages.entries.last().title, QStringLiteral("Disco grabado."));
    QString tables;
    for (const QString& file : brelotDiskFiles()) {
        if (!file.startsWith(QStringLiteral("activida")) && !file.startsWith(QStringLiteral("prodabas"))) tables += dump(disk.filePath(file));
        EXPECT_EQ(test::readFile(disk.filePath(file)), test::readFile(db.tablePath(file.chopped(4)))) << file.toStdString();
    }
    EXPECT_EQ(test::sectoralFile(QStringLiteral("golden/%1.tablas").arg(name)).toStdString(), tables.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Casos, BrelotCases,
                         ::testing::Values("vacio", "varios_sectores", "recorridos", "textos_largos", "acentos"));

TEST_F(BrelotRun, AFileThatCouldNotBeCopiedIsNamedInsteadOfTheClosingMessage) {
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
TEST_F(BrelotRun, NoOrATableThatCannotBeWrittenChangesNothingAndCopiesNothing) {
    ASSERT_EQ(run(applicant), BrelotOutcome::Written);
    const auto state = [&] {  // the output tables and the files of the disk
        return QByteArrayList{test::readFile(db.tablePath(QStringLiteral("datoprov"))),
                              test::readFile(db.tablePath(QStringLiteral("catdirpl"))), test::folderBytes(disk.path())};
    };
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

TEST(BrelotQuestionnaire, DatesCarryTheSpanishMonth) {
    QStringList dates;
    for (int m = 1; m <= 12; ++m) dates << brelotDate(QDate(987 + m, m, m));
    EXPECT_EQ(dates.join(u' '), QStringLiteral("01/ene/0988 02/feb/0989 03/mar/0990 04/abr/0991 05/may/0992 06/jun/0993 "
                                               "07/jul/0994 08/ago/0995 09/sep/0996 10/oct/0997 11/nov/0998 12/dic/0999"));
}

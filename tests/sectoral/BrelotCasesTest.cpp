// Every case of tests/sectoral/casos through the sectoral programme: the questionnaire
// composed from the tables, and the tables the generation writes to drive A: (after a run
// for another application) as the data folder holds them, against the golden files
// golden/<case>.txt and golden/<case>.tablas (the catalogues activida and prodabas left out).

#include "sectoral/BrelotQuestionnaire.h"
#include "sectoral/GuardaBrelot.h"

#include "core/Drives.h"
#include "data/Dbf.h"
#include "sectoral/Fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

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

class BrelotCases : public test::SectoralTest, public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(BrelotCases, QuestionnaireAndGeneratedTablesAsTheGoldenFiles) {
    const QString name = QString::fromLatin1(GetParam());
    const test::BrelotCase c = test::readCase(name);
    for (const QString& s : c.sql) sql(s);
    BrelotQuestionnaireInput input;
    ASSERT_TRUE(readBrelotQuestionnaireInput(db, c.applicant, &input, &error)) << error.toStdString();
    EXPECT_EQ(test::sectoralFile(QStringLiteral("golden/%1.txt").arg(name)).toStdString(),
              composeBrelotQuestionnaire(input, [&] { return c.date; }).toStdString());

    QTemporaryDir disk;
    DriveSettings settings;
    settings.unidadA = disk.path();
    const Drives drives(folder.path(), settings);
    messages.defaultAnswer = true;
    ASSERT_EQ(GuardaBrelot(db, messages, drives, test::readCase(QStringLiteral("textos_largos")).applicant), BrelotOutcome::Written);
    messages.clear();
    test::Waiting wait(messages);
    ASSERT_EQ(GuardaBrelot(db, messages, drives, c.applicant, &wait), BrelotOutcome::Written);
    EXPECT_EQ(messages.texts(), (QStringList{QStringLiteral("Se generará la información del prgrama BRELOT. Esta usted de acuerdo."),
                                             QStringLiteral("+espera"), QStringLiteral("-espera"),
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

TEST(BrelotQuestionnaire, DatesCarryTheSpanishMonth) {
    QStringList dates;
    for (int m = 1; m <= 12; ++m) dates << brelotDate(QDate(987 + m, m, m));
    EXPECT_EQ(dates.join(u' '), QStringLiteral("01/ene/0988 02/feb/0989 03/mar/0990 04/abr/0991 05/may/0992 06/jun/0993 "
                                               "07/jul/0994 08/ago/0995 09/sep/0996 10/oct/0997 11/nov/0998 12/dic/0999"));
}

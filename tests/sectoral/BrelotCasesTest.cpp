// Every case of tests/sectoral/casos through the sectoral programme: the questionnaire
// composed from the tables, and the tables the generation writes to drive A:, each against
// its golden file (golden/<case>.txt and golden/<case>.tablas).

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

// Equal texts, or the first line that differs.
::testing::AssertionResult sameText(const QString& expected, const QString& actual) {
    const QStringList e = expected.split(u'\n'), a = actual.split(u'\n');
    for (int i = 0; i < std::max(e.size(), a.size()); ++i)
        if (i >= e.size() || i >= a.size() || e[i] != a[i])
            return ::testing::AssertionFailure() << "línea " << i + 1 << "\n  esperada: [" << e.value(i).toStdString()
                                                 << "]\n  obtenida: [" << a.value(i).toStdString() << "]";
    return ::testing::AssertionSuccess();
}

// A table file's live rows, one a line, as the codec reads it afresh.
QString dump(const QString& path) {
    QString error, out = QFileInfo(path).fileName() + u'\n';
    const std::unique_ptr<DbfTable> t = DbfTable::open(path, &error, DbfAccess::ReadOnly);
    for (int i = 0; t && i < t->recordCount(); ++i) {
        if (t->isDeleted(i)) continue;
        QStringList cells;
        for (const QVariant& v : t->record(i)) cells << (v.isNull() ? QStringLiteral("<nulo>") : v.toString());
        out += cells.join(QStringLiteral(" | ")) + u'\n';
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
    EXPECT_TRUE(sameText(test::sectoralFile(QStringLiteral("golden/%1.txt").arg(name)),
                         composeBrelotQuestionnaire(input, [&] { return c.date; })));

    QTemporaryDir disk;
    DriveSettings settings;
    settings.unidadA = disk.path();
    messages.answers = {true};
    ASSERT_EQ(GuardaBrelot(db, messages, Drives(folder.path(), settings), c.applicant), BrelotOutcome::Written);
    EXPECT_TRUE(sameText(test::sectoralFile(QStringLiteral("golden/%1.tablas").arg(name)),
                         dump(disk.filePath(QStringLiteral("datoprov.dbf"))) + dump(disk.filePath(QStringLiteral("catdirpl.dbf")))));
}

INSTANTIATE_TEST_SUITE_P(Casos, BrelotCases,
                         ::testing::Values("vacio", "varios_sectores", "recorridos", "textos_largos", "acentos"));

TEST(BrelotQuestionnaire, HeadingAndDates) {
    EXPECT_EQ(composeBrelotQuestionnaire({}, {}).left(brelotHeadingLength()),
              QStringLiteral("RUVANA\nCUESTIONARIO DE SOLICITUD DE PROGRAMA DE BRELOT (BRELOT)\n\nDATOS DE LA SOLICITUD \n\n"));
    QStringList dates;
    for (int m = 1; m <= 12; ++m) dates << brelotDate(QDate(987 + m, m, m));
    EXPECT_EQ(dates.join(u' '), QStringLiteral("01/ene/0988 02/feb/0989 03/mar/0990 04/abr/0991 05/may/0992 06/jun/0993 "
                                               "07/jul/0994 08/ago/0995 09/sep/0996 10/oct/0997 11/nov/0998 12/dic/0999"));
}

// What changed since the last disk: the disk generation keeps the tables it wrote, and random
// rows added, removed and changed on several pages afterwards are found, each once and nothing
// else, against the record of the edits made; rows only put in another order are no change.

#include "app/DiskGeneration.h"
#include "app/RequestChanges.h"
#include "data/Dbf.h"
#include "support/FileBytes.h"
#include "support/RequestFixture.h"

#include <QTemporaryDir>

#include <random>
#include <tuple>

using namespace kalto;
using namespace Qt::StringLiterals;

class ChangesTest : public test::RequestFixture {
protected:
    void prepareFolder() override { qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path())); }
    void TearDown() override { qunsetenv("KALTO_UNIDAD_A"); }
    void sql(const QString& s, const QVariantList& p = {}) { ASSERT_TRUE(db.execute(s, p)) << s.toStdString(); }
    QTemporaryDir disk;
};

// One change as the test made it: page, table, kind, record, column, old and new value as shown.
using Made = std::tuple<int, QString, RequestChange::Kind, int, QString, QString, QString>;

TEST_F(ChangesTest, EveryEditSinceTheDiskIsListedOnceAndNothingElse) {
    complete();
    for (int i = 10; i < 40; ++i) sql(QStringLiteral("insert into imanexos values (?, 1, 'PIEZA', '12345678', 0)"), {i});
    for (int i = 10; i < 18; ++i) {
        sql(QStringLiteral("insert into improd (id_prod, fraccion, volumen, porcut, umid, um) values (?, '12345678', 5, 1, 1, 'PIEZA')"), {i});
        sql(QStringLiteral("insert into impects (rsocial, rfc, porcont, idmcts) values ('UNO', ?, 50, 'C')"),
            {QStringLiteral(" R%1010101AB1").arg(i)});
    }
    sql(QStringLiteral("insert into imdir (iddir, calleyno) values ('PL', 'NORTE 2')"));
    msgs.answers = {true};
    SourceRequestView view(*fuentes, estado);
    const Drives drives(folder.path());
    ASSERT_EQ(DiskGeneration(*rules, view, msgs, drives).GeneraDisco(), DiskOutcome::Written);
    const QString kept = RequestChanges::lastDiskCopy(folder.path());
    ASSERT_FALSE(kept.isEmpty());
    for (const QString& t : requestTables())
        EXPECT_EQ(test::readFile(QDir(kept).filePath(QFileInfo(db.tablePath(t)).fileName())),
                  test::readFile(QDir(disk.path()).filePath(DiskGeneration::diskFileName(t))));

    // The addresses in another order, then one plant changed and another removed; the header and
    // the representative changed.
    const QString none = changeValueText({});  // the old and new value of a row added or removed
    QList<Made> made = {{-1, u"imdint"_s, RequestChange::Kind::Changed, 0, u"RFC"_s, u"AAAA010101AA1"_s, u"BBBB010101BB1"_s},
                        {0, u"imrlegal"_s, RequestChange::Kind::Changed, 0, u"CAREMP"_s, u"DIRECTOR"_s, u"GERENTE"_s},
                        {1, u"imdir"_s, RequestChange::Kind::Changed, 3, u"TELEFONO"_s, u"(vacío)"_s, u"9"_s},
                        {1, u"imdir"_s, RequestChange::Kind::Removed, 1, {}, none, none}};
    for (const QString& s : {u"update imdint set rfc = 'BBBB010101BB1'"_s, u"update imrlegal set caremp = 'GERENTE'"_s,
                             u"create temp table t as select * from imdir"_s, u"delete from imdir"_s,
                             u"insert into imdir select * from t order by rowid desc"_s, u"drop table t"_s,
                             u"update imdir set telefono = '9' where calleyno = 'NORTE 2'"_s,
                             u"delete from imdir where iddir = 'PL' and calleyno = 'REFORMA 1'"_s})
        sql(s);
    // Random rows of three tables (on four pages) added, removed or changed, each row once.
    std::mt19937 rng(20261207);
    const struct { int page, added; QString table; QStringList fields; QString insert; } tables[] = {
        {7, 8, u"imanexos"_s, {u"DESCRIP"_s, u"FRACCION"_s}, u"insert into imanexos values (?, 2, 'CAJA', null, 0)"_s},
        {3, 3, u"improd"_s, {u"DESCPROD"_s, u"VOLUMEN"_s}, u"insert into improd (id_prod, fraccion, um) values (?, '22222222', 'KG')"_s},
        {2, 4, u"impects"_s, {u"RSOCIAL"_s, u"PORCONT"_s}, u"insert into impects (rfc, rsocial, idmcts) values (?, 'NUEVA', 'T')"_s}};
    QSet<std::pair<QString, int>> touched;
    for (int i = 0; i < 30; ++i) {
        const auto& t = tables[rng() % 3];
        DbfTable* file = db.table(t.table);
        const int r = int(rng() % file->recordCount());
        if (file->isDeleted(r) || touched.contains({t.table, r})) continue;
        touched.insert({t.table, r});
        const QString field = t.fields[rng() % 2];
        switch (rng() % 3) {
        case 0:
            sql(t.insert, {t.table == u"impects"_s ? QVariant(QStringLiteral("N%1").arg(i)) : QVariant(500 + i)});
            touched.insert({t.table, file->recordCount() - 1});
            made << Made{t.added, t.table, RequestChange::Kind::Added, file->recordCount() - 1, {}, none, none};
            break;
        case 1:
            sql(QStringLiteral("delete from %1 where rowid = ?").arg(t.table), {r + 1});
            made << Made{t.page, t.table, RequestChange::Kind::Removed, r, {}, none, none};
            break;
        default:
            const QString before = changeValueText(file->value(r, file->fieldIndex(field)));
            sql(QStringLiteral("update %1 set %2 = ? where rowid = ?").arg(t.table, field), {QString::number(70 + i), r + 1});
            made << Made{t.page, t.table, RequestChange::Kind::Changed, r, field, before, QString::number(70 + i)};
        }
    }
    QList<RequestChange> found;
    QString error;
    ASSERT_TRUE(RequestChanges::compare(db, kept, &found, &error)) << error.toStdString();
    QList<Made> listed;
    for (const RequestChange& c : found)
        listed << Made{c.page, c.table, c.kind, c.record, c.column, changeValueText(c.before), changeValueText(c.after)};
    EXPECT_TRUE(std::is_permutation(listed.begin(), listed.end(), made.begin(), made.end()));
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end(), [](auto& a, auto& b) { return a.page < b.page; }));

    // Four disks more: the three newest copies are kept, each under a name of its own.
    QStringList names;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(RequestChanges::keepDiskCopy(db, &error)) << error.toStdString();
        names << QDir(RequestChanges::lastDiskCopy(folder.path())).dirName();
    }
    EXPECT_EQ(QDir(QFileInfo(kept).path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name), names.mid(1));
}

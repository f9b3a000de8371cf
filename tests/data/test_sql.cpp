// The SQL engine over the data folder: opening it, statements the program runs, record sets.
// (The rows statements give and leave behind are compared with native tables by the differential test.)

#include "data/DataSource.h"
#include "data/TableCatalogue.h"
#include "data/mdlKALTO.h"
#include "data/DbfTestFiles.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>


using namespace kalto;

namespace {

class Sql : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.open(db)); }
    void exec(const QString& sql) { ASSERT_TRUE(db.execute(sql)) << sql.toStdString(); }
    QString text(const QString& sql) { return db.scalar(sql).toString(); }

    test::TestFolder folder;
    Database db;
};

// Opening creates the missing tables with the layouts other programs read (table_layouts.txt),
// imdint with its single row, not added again on reopening; both spellings of a name reach one file.
TEST_F(Sql, OpeningCreatesMissingTablesAndTheSingleHeaderRow) {
    QString layouts;
    for (const TableDef& def : tableCatalogue()) {
        EXPECT_TRUE(db.table(def.name.toUpper()) && db.table(def.name.toLower())) << def.name.toStdString();
        for (const DbfField& f : db.table(def.name)->fields())
            layouts += QStringLiteral("%1 %2 %3 %4 %5\n").arg(def.name, f.name, QChar(char(f.type))).arg(f.width).arg(f.decimals);
    }
    EXPECT_EQ(layouts, QString::fromUtf8(test::readFile(KALTO_SOURCE_DIR "/tests/data/table_layouts.txt")));
    Database again;
    ASSERT_TRUE(folder.open(again));
    EXPECT_EQ(again.scalar("Select count(*) || '/' || idtra from IMDINT").toString(), "1/0");
    exec("insert into Sector (IDSECTOR, CVE_SECTOR) values (1, 'A')");
    EXPECT_EQ(text("select count(*) from sector where Cve_Sector = 'a'"), "1");
}

// A folder that cannot be used is refused naming what is wrong, and left as it was: a missing
// catalogue or folder, two spellings of one table, a table that is a link to a file elsewhere, a
// FIFO or a folder named as a table.
TEST(SqlFolder, UnusualDataFoldersAreRefusedByNameAndLeftAlone) {
    using Make = std::function<QStringList(QString& folder, const QString& annexes)>;  // what the message names
    const QList<Make> cases = {
        [](QString& f, const QString&) {
            for (const QString& n : QDir(f).entryList({"imunidmd.*"})) QFile::remove(f + u'/' + n);
            return QStringList{"imunidmd", QDir::toNativeSeparators(f)};
        },
        [](QString& f, const QString&) { return QStringList{f += "/no-existe"}; },
        [](QString& f, const QString& a) {  // neither spelled in small letters
            return QStringList{f + "/Imanexos.DBF", QFile::rename(a, f + "/Imanexos.DBF") && QFile::copy(f + "/Imanexos.DBF", f + "/IMANEXOS.dbf") ? f + "/IMANEXOS.dbf" : ""};
        },
        [](QString& f, const QString& a) {
            return QStringList{a, "enlace", QFile::rename(a, f + "/fuera.bin") && QFile::link(f + "/fuera.bin", a) ? f + "/fuera.bin" : ""};
        },
        [](QString&, const QString& a) { return QStringList{a, QFile::remove(a) && ::mkfifo(QFile::encodeName(a), 0644) == 0 ? "(FIFO)" : ""}; },
        [](QString&, const QString& a) { return QStringList{a, QFile::remove(a) && QDir().mkdir(a) ? "es una carpeta" : ""}; },
    };
    test::TestFolder folder;
    const QString annexes = folder.file("imanexos.DBF"), unit = folder.file("imunidmd.DBF");
    ASSERT_TRUE(DbfTable::create(annexes, findTableDef("imanexos")->fields, nullptr));
    const QByteArray stored = test::readFile(annexes), units = test::readFile(unit);
    const auto kind = [&] {
        struct stat st {};
        return ::lstat(QFile::encodeName(annexes), &st) == 0 ? st.st_mode : 0;
    };
    for (const Make& make : cases) {
        QString path = folder.path(), error;
        const QStringList named = make(path, annexes);
        const auto before = kind();
        Database db;
        EXPECT_FALSE(db.open(path, &error));
        for (const QString& n : named) EXPECT_TRUE(!n.isEmpty() && error.contains(n)) << error.toStdString() << " / " << n.toStdString();
        EXPECT_EQ(kind(), before);
        for (const QString& f : {annexes, folder.file("IMANEXOS.dbf"), folder.file("Imanexos.DBF"), folder.file("fuera.bin")}) QFile::remove(f);
        ASSERT_TRUE((QDir().rmdir(annexes) || true) && test::writeFile(annexes, stored) && test::writeFile(unit, units));
    }
}

// A table whose pack cannot be written (a full disk, here a folder in the way) opens unpacked and
// says so once; a later opening packs it.
TEST_F(Sql, ATableThatCannotBePackedOpensUnpackedAndSaysSo) {
    exec("insert into imanexos values (1, 1, 'UNO', '', 0), (2, 1, 'DOS', '', 0)");
    exec("delete from imanexos where id_prod = 1");
    db.close();
    const QString annexes = folder.file("imanexos.DBF");
    ASSERT_TRUE(QDir().mkdir(annexes + ".tmp"));
    ASSERT_TRUE(folder.open(db));
    EXPECT_TRUE(db.notice().contains(annexes)) << db.notice().toStdString();
    EXPECT_EQ(db.table("imanexos")->deletedCount(), 1);
    EXPECT_EQ(text("select group_concat(descrip) from imanexos"), "DOS");
    ASSERT_TRUE(QDir().rmdir(annexes + ".tmp") && folder.open(db));
    EXPECT_EQ(db.notice() + QString::number(db.table("imanexos")->recordCount()), "1");
}

// Every number is bound as a number, whatever its C++ type; a quote in a text quoted by the
// program is data; a double-quoted string is no literal and a second statement is refused, not
// silently run or dropped; equalities on integer key columns are answered from the index; the
// routine the windows call keeps its statement and reports its failure.
TEST_F(Sql, ValuesAreBoundAndQuotedAndKeysUseTheIndex) {
    for (const QVariant& n : {QVariant::fromValue(5L), QVariant::fromValue<quint8>(5), QVariant::fromValue(5ULL)})
        EXPECT_EQ(db.scalar("select typeof(?)", {n}).toString(), "integer") << n.typeName();
    exec(QStringLiteral("insert into imdir (IDDIR, CALLEYNO) values ('FL', %1)").arg(sqlQuote("O'HARA; --")));
    EXPECT_FALSE(db.execute("select * from imdir where iddir = \"FL\"") || db.execute("delete from imdir; delete from imrlegal"));
    EXPECT_EQ(text("select group_concat(calleyno) from imdir"), "O'HARA; --");
    for (const char* column : {"id_prod", "id_subord", "tipo_reg"}) {
        QString plan;
        db.query(QStringLiteral("explain query plan select * from imanexos where %1=3").arg(column), {},
                 [&](const QVariantList& r) { plan += r.last().toString(); return true; });
        EXPECT_TRUE(plan.contains("INDEX ") && !plan.contains("INDEX 0:")) << plan.toStdString();
    }
    QString last, error;
    EXPECT_TRUE(mdlKALTO::EjecutaSentencia(db, "delete from imserv", {}, nullptr, &last));
    EXPECT_EQ(last, "delete from imserv");
    EXPECT_FALSE(mdlKALTO::EjecutaSentencia(db, "delete from nada", {}, &error));
}

// Statements are kept prepared between calls: no call leaves its values to the next, and the same
// text run again from inside its own rows gets a statement of its own.
TEST_F(Sql, KeptStatementsCarryNothingFromOneCallToTheNext) {
    const QString insert = "insert into imanexos (id_prod, descrip, id_subord) values (?, ?, ?)";
    ASSERT_TRUE(db.execute(insert, {1, "UNO", 7}) && db.execute(insert, {2}));
    EXPECT_EQ(text("select ifnull(descrip, 'nulo') || ifnull(id_subord, 'nulo') from imanexos where id_prod = 2"), "nulonulo");
    const QString from = "select id_prod from imanexos where id_prod >= ? order by id_prod";
    QList<qint64> outer, inner;
    ASSERT_TRUE(db.query(from, {1}, [&](const QVariantList& row) {
        outer << row.value(0).toLongLong();
        return db.query(from, {2}, [&](const QVariantList& r) { return inner << r.value(0).toLongLong(), true; });
    }));
    EXPECT_EQ(outer, QList<qint64>({1, 2}));
    EXPECT_EQ(inner, QList<qint64>({2, 2}));
}

TEST_F(Sql, RecordSetOperations) {
    exec("insert into imanexos values (1, 2, 'CAJA 1', '', 0), (2, 2, 'CAJA 2', '', 0), (3, 2, 'CAJA 3', '', 0), "
         "(4, 3, 'TALADRO', '', 0)");
    RecordSet rs(&db, "Select * from imanexos where tipo_reg=2");
    ASSERT_TRUE(rs.open() && rs.isUpdatable());
    EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(rs.count()).arg(rs.columnCount()).arg(rs.columnName(2)), "3 5 DESCRIP");
    rs.moveFirst();
    EXPECT_EQ(rs.value("descrip").toString(), "CAJA 1");
    rs.moveLast();
    EXPECT_EQ(rs.value(0).toInt(), 3);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    ASSERT_TRUE(rs.findFirst("descrip", "caja 2*"));
    EXPECT_FALSE(rs.findFirst("descrip", "ZZ*"));
    EXPECT_EQ(rs.value(0).toInt(), 2);  // a search that fails stays where it was
    rs.edit();
    rs.setValue("DESCRIP", "CAJA DE CARTÓN");
    ASSERT_TRUE(rs.update());
    rs.addNew();
    for (const auto& [column, value] : QList<std::pair<int, QVariant>>{{0, 9}, {1, 2}, {2, "TARIMA"}, {4, 0}}) rs.setValue(column, value);
    ASSERT_TRUE(rs.update());
    EXPECT_EQ(rs.value(2).toString() + QString::number(rs.count()), "TARIMA4");
    rs.moveFirst();
    ASSERT_TRUE(rs.removeCurrent());
    EXPECT_EQ(text("select group_concat(id_prod || descrip) from imanexos"), "2CAJA DE CARTÓN,3CAJA 3,4TALADRO,9TARIMA");

    // Query sets are read only; an empty one is at its end.
    QString error;
    RecordSet agg(&db, "select tipo_reg, count(*) from imanexos group by tipo_reg"), empty(&db, "select * from imanexos where tipo_reg=5");
    ASSERT_TRUE(agg.open() && empty.open());
    EXPECT_FALSE(agg.isUpdatable() || agg.removeRow(0, &error));
    EXPECT_TRUE(agg.count() == 2 && empty.eof() && empty.count() == 0);

    // After a pack the record set reads its old copy; no write reaches the replaced file.
    ASSERT_TRUE(db.pack("imanexos", &error)) << error.toStdString();
    EXPECT_EQ(rs.value(2).toString(), "CAJA DE CARTÓN");
    EXPECT_FALSE(rs.table()->update(rs.recordNumber(0) - 1, rs.rowValues(0), &error));
    ASSERT_TRUE(rs.refresh());
    EXPECT_TRUE(rs.updateRow(0, rs.rowValues(0), &error)) << error.toStdString();
}

// A table packed under data sources: each first stores its grids' rows being typed (one that cannot
// refuses the pack), and the open ones read the packed table again.
TEST_F(Sql, PackingUnderDataSourcesWaitsForTypedRowsAndReadsTheTableAgain) {
    exec("insert into imanexos values (1, 1, 'UNO', '', 0), (2, 1, 'DOS', '', 0)");
    exec("delete from imanexos where id_prod = 1");
    DataSource annexes("dtsAnexos", &db, "imanexos");
    ASSERT_TRUE(annexes.refresh());
    bool stored = false;
    QObject::connect(&annexes, &DataSource::commitRequested, [&](bool* ok) { *ok = stored; });
    QString error, missing;
    EXPECT_FALSE(DataSource::packTable(&db, "imanexos", &error) || DataSource::packTable(&db, "nada", &missing));
    EXPECT_TRUE(error.contains("renglón en edición") && missing.contains("nada") && db.table("imanexos")->deletedCount() == 1);
    stored = true;
    ASSERT_TRUE(DataSource::packTable(&db, "imanexos", &error)) << error.toStdString();
    EXPECT_EQ(QStringLiteral("%1 %2").arg(annexes.recordSet().count()).arg(annexes.recordSet().recordNumber(0)), "1 1");
}

// Record sets keep annex identifiers within 16 bits, also a record written by its number (a grid
// row a refresh left out), which must exist.
TEST_F(Sql, RecordSetsKeepAnnexIdentifiersWithinSixteenBits) {
    QString error;
    exec("insert into imanexos values (32767, 1, 'X', '', 0)");
    RecordSet products(&db, "improd"), annexes(&db, "select * from imanexos where tipo_reg = 2");
    ASSERT_TRUE(products.open() && annexes.open());
    EXPECT_TRUE(!products.insertRow({70000, "12345678"}, nullptr, &error) && products.count() == 0);
    EXPECT_FALSE(annexes.updateRecord(1, {40000, 1, "X", QString(), 0}, &error));
    EXPECT_TRUE(annexes.updateRecord(1, {32767, 1, "Y", QString(), 0}, &error));
    EXPECT_EQ(text("select descrip from imanexos"), "Y");
    EXPECT_FALSE(annexes.updateRecord(9, {1, 1, "Z", QString(), 0}, &error));
}

// A table written by another program may hold a fraction or a very large number in a field
// declared without decimals: an equality finds it as a scan would.
TEST_F(Sql, EqualityFindsFractionsAndLargeNumbersInIntegerFields) {
    using test::right;
    ASSERT_TRUE(test::writeFile(folder.file("AJENO.DBF"), test::rawTable({{"CANT", 'N', 4}, {"GRANDE", 'N', 19}},
        {" " + right("2.5", 4) + right("1", 19), " " + right("7", 4) + right("1000000000000000000", 19)})));
    ASSERT_TRUE(folder.open(db));
    const QList<std::pair<const char*, int>> cases = {{"cant = 2.5", 1}, {"cant = '2.5'", 1}, {"cant = 7", 1}, {"cant = 2", 0},
        {"grande = 1e18", 1}, {"grande = 1000000000000000000", 1}, {"grande = 1 and cant = 2.5", 1}};
    for (const auto& [where, count] : cases) EXPECT_EQ(text(QStringLiteral("select count(*) from ajeno where %1").arg(where)), QString::number(count)) << where;
}

}  // namespace

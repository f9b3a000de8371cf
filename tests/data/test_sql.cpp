// The SQL engine over the data folder: opening it, statements the program issues, record sets.
// (The rows statements give and leave behind are compared with native tables by the differential test.)

#include "data/Database.h"
#include "data/RecordSet.h"
#include "data/TableCatalogue.h"
#include "data/mdlKALTO.h"
#include "data/DbfTestFiles.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

using namespace kalto;

namespace {

class Sql : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    }
    void exec(const QString& sql, const QVariantList& params = {}) {
        QString error;
        ASSERT_TRUE(db.execute(sql, params, &error)) << sql.toStdString() << ": " << error.toStdString();
    }
    QString text(const QString& sql) { return db.scalar(sql).toString(); }

    test::TestFolder folder;
    Database db;
};

TEST_F(Sql, OpeningCreatesMissingTablesAndTheSingleHeaderRow) {
    for (const TableDef& def : tableCatalogue())
        EXPECT_TRUE(db.table(def.name.toUpper()) && db.table(def.name.toLower())) << def.name.toStdString();
    Database again;  // reopening does not add the header row twice
    ASSERT_TRUE(folder.open(again));
    EXPECT_EQ(again.scalar(QStringLiteral("Select count(*) || '/' || idtra from IMDINT")).toString(), QStringLiteral("1/0"));
    exec(QStringLiteral("insert into Sector (IDSECTOR, CVE_SECTOR) values (1, 'A')"));  // either spelling, one file
    EXPECT_EQ(text(QStringLiteral("select count(*) from sector where Cve_Sector = 'a'")), QStringLiteral("1"));
}

// A folder that cannot be used is refused naming what is wrong, and left as it was: a missing
// catalogue or folder, two spellings of one table, a table that is a link to a file elsewhere, a
// FIFO or a folder named as a table.
TEST(SqlFolder, UnusualDataFoldersAreRefusedByNameAndLeftAlone) {
    using Make = std::function<QStringList(QString& folder, const QString& annexes)>;  // what the message names
    const QList<Make> cases = {
        [](QString& f, const QString&) {
            for (const QString& n : QDir(f).entryList({QStringLiteral("imunidmd.*")})) QFile::remove(f + u'/' + n);
            return QStringList{QStringLiteral("imunidmd"), QDir::toNativeSeparators(f)};
        },
        [](QString& f, const QString&) { return QStringList{f += QStringLiteral("/no-existe")}; },
        [](QString& f, const QString& a) { return QStringList{a, QFile::copy(a, f + "/IMANEXOS.dbf") ? f + "/IMANEXOS.dbf" : ""}; },
        [](QString& f, const QString& a) {
            return QStringList{a, QFile::rename(a, f + "/fuera.bin") && QFile::link(f + "/fuera.bin", a) ? f + "/fuera.bin" : "",
                               "enlace"};
        },
        [](QString&, const QString& a) {
            return QStringList{a, QFile::remove(a) && ::mkfifo(QFile::encodeName(a).constData(), 0644) == 0 ? "(FIFO)" : "-"};
        },
        [](QString&, const QString& a) { return QStringList{a, QFile::remove(a) && QDir().mkdir(a) ? "es una carpeta" : "-"}; },
    };
    for (const Make& make : cases) {
        test::TestFolder folder;
        QString path = folder.path(), error;
        const QString annexes = folder.file(QStringLiteral("imanexos.DBF"));
        Database db;
        ASSERT_TRUE(folder.open(db));
        db.close();
        const QStringList named = make(path, annexes);
        const auto kind = [&] {
            struct stat st {};
            return ::lstat(QFile::encodeName(annexes).constData(), &st) == 0 ? st.st_mode : 0;
        };
        const auto before = kind();
        EXPECT_FALSE(db.open(path, &error));
        for (const QString& n : named) EXPECT_TRUE(error.contains(n)) << error.toStdString() << " / " << n.toStdString();
        EXPECT_EQ(kind(), before);
    }
}

// A table whose pack cannot be written (a full disk, here a folder in the way) opens unpacked and
// says so once; a later opening packs it.
TEST_F(Sql, ATableThatCannotBePackedOpensUnpackedAndSaysSo) {
    exec(QStringLiteral("insert into imanexos values (1, 1, 'UNO', '', 0), (2, 1, 'DOS', '', 0)"));
    exec(QStringLiteral("delete from imanexos where id_prod = 1"));
    db.close();
    const QString annexes = folder.file(QStringLiteral("imanexos.DBF"));
    ASSERT_TRUE(QDir().mkdir(annexes + QStringLiteral(".tmp")));
    ASSERT_TRUE(folder.open(db));
    EXPECT_TRUE(db.notice().contains(annexes)) << db.notice().toStdString();
    EXPECT_EQ(db.table(QStringLiteral("imanexos"))->deletedCount(), 1);
    EXPECT_EQ(text(QStringLiteral("select group_concat(descrip) from imanexos")), QStringLiteral("DOS"));
    ASSERT_TRUE(QDir().rmdir(annexes + QStringLiteral(".tmp")));
    ASSERT_TRUE(folder.open(db));
    EXPECT_EQ(db.notice(), QString());
    EXPECT_EQ(db.table(QStringLiteral("imanexos"))->recordCount(), 1);
}

// Every number is bound as a number, whatever its C++ type; a quote in a text quoted by the
// program is data; a double-quoted string is no literal and a second statement is refused, not
// silently run or dropped; equalities on integer key columns are answered from the index.
TEST_F(Sql, ValuesAreBoundAndQuotedAndKeysUseTheIndex) {
    for (const QVariant& n : {QVariant::fromValue(5L), QVariant::fromValue<quint8>(5), QVariant::fromValue(5ULL)})
        EXPECT_EQ(db.scalar(QStringLiteral("select typeof(?)"), {n}).toString(), QStringLiteral("integer")) << n.typeName();
    exec(QStringLiteral("insert into imdir (IDDIR, CALLEYNO) values ('FL', %1)").arg(sqlQuote(QStringLiteral("O'HARA; --"))));
    EXPECT_EQ(text(QStringLiteral("select calleyno from imdir")), QStringLiteral("O'HARA; --"));
    EXPECT_FALSE(db.execute(QStringLiteral("select * from imdir where iddir = \"FL\"")));
    EXPECT_FALSE(db.execute(QStringLiteral("delete from imdir; delete from imrlegal")));
    EXPECT_EQ(text(QStringLiteral("select count(*) from imdir")), QStringLiteral("1"));
    for (const char* column : {"id_prod", "id_subord", "tipo_reg"}) {
        QString plan;
        db.query(QStringLiteral("explain query plan select * from imanexos where %1=3").arg(QLatin1String(column)), {},
                 [&](const QVariantList& r) { plan += r.last().toString(); return true; });
        EXPECT_TRUE(plan.contains(QStringLiteral("INDEX ")) && !plan.contains(QStringLiteral("INDEX 0:"))) << plan.toStdString();
    }
}

TEST_F(Sql, RecordSetOperations) {
    exec(QStringLiteral("insert into imanexos values (1, 2, 'CAJA 1', '', 0), (2, 2, 'CAJA 2', '', 0), "
                        "(3, 2, 'CAJA 3', '', 0), (4, 3, 'TALADRO', '', 0)"));
    RecordSet rs(&db, QStringLiteral("Select * from imanexos where tipo_reg=2"));
    ASSERT_TRUE(rs.open() && rs.isUpdatable());
    EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(rs.count()).arg(rs.columnCount()).arg(rs.columnName(2)), QStringLiteral("3 5 DESCRIP"));
    rs.moveFirst();
    EXPECT_EQ(rs.value(QStringLiteral("descrip")).toString(), QStringLiteral("CAJA 1"));
    rs.moveLast();
    EXPECT_EQ(rs.value(0).toInt(), 3);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    ASSERT_TRUE(rs.findFirst(QStringLiteral("descrip"), QStringLiteral("caja 2*")));
    EXPECT_FALSE(rs.findFirst(QStringLiteral("descrip"), QStringLiteral("ZZ*")));
    EXPECT_EQ(rs.value(0).toInt(), 2);  // a search that fails stays where it was

    rs.edit();
    rs.setValue(QStringLiteral("DESCRIP"), QStringLiteral("CAJA DE CARTÓN"));
    ASSERT_TRUE(rs.update());
    rs.addNew();
    for (const auto& [column, value] : QList<std::pair<int, QVariant>>{{0, 9}, {1, 2}, {2, "TARIMA"}, {4, 0}}) rs.setValue(column, value);
    ASSERT_TRUE(rs.update());
    EXPECT_EQ(rs.count(), 4);
    EXPECT_EQ(rs.value(2).toString(), QStringLiteral("TARIMA"));
    rs.moveFirst();
    ASSERT_TRUE(rs.removeCurrent());
    EXPECT_EQ(text(QStringLiteral("select group_concat(id_prod || descrip) from imanexos")),
              QStringLiteral("2CAJA DE CARTÓN,3CAJA 3,4TALADRO,9TARIMA"));

    // Read-only query sets hold their values; writes are refused.
    QString error;
    RecordSet agg(&db, QStringLiteral("select tipo_reg, count(*) from imanexos group by tipo_reg"));
    ASSERT_TRUE(agg.open());
    EXPECT_FALSE(agg.isUpdatable() || agg.removeRow(0, &error));
    EXPECT_EQ(agg.count(), 2);
    RecordSet empty(&db, QStringLiteral("select * from imanexos where tipo_reg=5"));
    ASSERT_TRUE(empty.open());
    EXPECT_TRUE(empty.eof() && empty.count() == 0);

    // After a pack the record set reads its old copy; no write reaches the replaced file.
    ASSERT_TRUE(db.pack(QStringLiteral("imanexos"), &error)) << error.toStdString();
    EXPECT_EQ(rs.value(2).toString(), QStringLiteral("CAJA DE CARTÓN"));
    EXPECT_FALSE(rs.table()->update(rs.recordNumber(0) - 1, rs.rowValues(0), &error));
    ASSERT_TRUE(rs.refresh());
    EXPECT_TRUE(rs.updateRow(0, rs.rowValues(0), &error)) << error.toStdString();

    // The routine the windows call keeps its statement and reports its failure.
    QString last;
    EXPECT_TRUE(mdlKALTO::EjecutaSentencia(db, QStringLiteral("delete from imserv"), {}, nullptr, &last));
    EXPECT_EQ(last, QStringLiteral("delete from imserv"));
    EXPECT_FALSE(mdlKALTO::EjecutaSentencia(db, QStringLiteral("delete from nada"), {}, &error));
}

// Record sets keep annex identifiers within 16 bits, also a record written by its number (a grid
// row a refresh left out), which must exist.
TEST_F(Sql, RecordSetsKeepAnnexIdentifiersWithinSixteenBits) {
    QString error;
    exec(QStringLiteral("insert into imanexos values (32767, 1, 'X', '', 0)"));
    RecordSet products(&db, QStringLiteral("improd"));
    ASSERT_TRUE(products.open());
    EXPECT_FALSE(products.insertRow({70000, QStringLiteral("12345678")}, nullptr, &error));
    EXPECT_EQ(products.count(), 0);
    RecordSet annexes(&db, QStringLiteral("select * from imanexos where tipo_reg = 2"));
    ASSERT_TRUE(annexes.open());
    EXPECT_FALSE(annexes.updateRecord(1, {40000, 1, QStringLiteral("X"), QString(), 0}, &error));
    EXPECT_TRUE(annexes.updateRecord(1, {32767, 1, QStringLiteral("Y"), QString(), 0}, &error));
    EXPECT_EQ(text(QStringLiteral("select descrip from imanexos")), QStringLiteral("Y"));
    EXPECT_FALSE(annexes.updateRecord(9, {1, 1, QStringLiteral("Z"), QString(), 0}, &error));
}

// A table written by another program may hold a fraction or a very large number in a field
// declared without decimals: an equality finds it as a scan would.
TEST_F(Sql, EqualityFindsFractionsAndLargeNumbersInIntegerFields) {
    using test::right;
    ASSERT_TRUE(test::writeFile(folder.file(QStringLiteral("AJENO.DBF")),
                                test::rawTable({{"CANT", 'N', 4}, {"GRANDE", 'N', 19}},
                                               {" " + right("2.5", 4) + right("1", 19), " " + right("7", 4) + right("1000000000000000000", 19)})));
    ASSERT_TRUE(folder.open(db));
    const QList<std::pair<const char*, int>> cases = {{"cant = 2.5", 1}, {"cant = '2.5'", 1}, {"cant = 7", 1}, {"cant = 2", 0},
        {"grande = 1e18", 1}, {"grande = 1000000000000000000", 1}, {"grande = 1 and cant = 2.5", 1}};
    for (const auto& [where, count] : cases)
        EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from ajeno where %1").arg(QLatin1String(where))).toInt(), count) << where;
}

}  // namespace

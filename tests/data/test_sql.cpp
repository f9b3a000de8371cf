// The SQL engine over the data folder: statements the program issues, record sets, routines.

#include "data/Database.h"
#include "data/DbfModule.h"
#include "data/RecordSet.h"
#include "data/TableCatalogue.h"
#include "data/mdlKALTO.h"
#include "data/DbfTestFiles.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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
    QList<QVariantList> rows(const QString& sql, const QVariantList& params = {}) {
        QList<QVariantList> out;
        QString error;
        EXPECT_TRUE(db.query(sql, params, [&](const QVariantList& r) { out << r; return true; }, &error))
            << sql.toStdString() << ": " << error.toStdString();
        return out;
    }
    void annex(int id, int kind, const QString& descrip, const QString& fraccion, int subord) {
        exec(QStringLiteral("insert into imanexos values (?,?,?,?,?)"), {id, kind, descrip, fraccion, subord});
    }

    test::TestFolder folder;
    Database db;
};

TEST_F(Sql, OpeningCreatesMissingTablesAndTheSingleHeaderRow) {
    for (const TableDef& def : tableCatalogue()) {
        EXPECT_NE(db.table(def.name.toUpper()), nullptr) << def.name.toStdString();
        EXPECT_NE(db.table(def.name.toLower()), nullptr) << def.name.toStdString();
    }
    EXPECT_EQ(db.scalar(QStringLiteral("Select count(*) from imdint")).toInt(), 1);
    EXPECT_EQ(db.scalar(QStringLiteral("select idtra from IMDINT")).toInt(), 0);
    // Reopening keeps the one header row; it is not added twice.
    Database again;
    ASSERT_TRUE(again.open(folder.path(), nullptr));
    EXPECT_EQ(again.scalar(QStringLiteral("Select count(*) from imdint")).toInt(), 1);

    // Both spellings of a table name reach the same file.
    exec(QStringLiteral("insert into Sector (IDSECTOR, CVE_SECTOR) values (1, 'A')"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from sector where Cve_Sector = 'a'")).toInt(), 1);
}

TEST_F(Sql, MissingCatalogueOrUnwritableFolderIsAClearError) {
    test::TestFolder other;
    QDir dir(other.path());
    for (const QString& f : dir.entryList({QStringLiteral("imunidmd.*")}, QDir::Files)) dir.remove(f);
    Database broken;
    QString error;
    EXPECT_FALSE(broken.open(other.path(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("imunidmd"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QDir::toNativeSeparators(other.path()))) << error.toStdString();

    EXPECT_FALSE(broken.open(other.path() + QStringLiteral("/no-existe"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no-existe"))) << error.toStdString();
}

// What a user may have put in the data folder is refused by name and left as it was: two spellings
// of one table, a table that is a link to a file elsewhere, a FIFO or a folder named as a table.
TEST_F(Sql, UnusualDataFoldersAreRefusedByNameAndLeftAlone) {
    db.close();
    const QString annexes = folder.file(QStringLiteral("imanexos.DBF"));
    const QString upper = folder.file(QStringLiteral("IMANEXOS.dbf")), outside = folder.file(QStringLiteral("fuera.bin"));
    const QByteArray stored = test::readFile(annexes);
    const QList<std::pair<std::function<void()>, QStringList>> cases = {  // the folder, what the message names
        {[&] { QFile::copy(annexes, upper); }, {annexes, upper}},
        {[&] { QFile::rename(annexes, outside) && QFile::link(outside, annexes); }, {annexes, outside, "enlace"}},
        {[&] { QFile::remove(annexes) && ::mkfifo(QFile::encodeName(annexes).constData(), 0644) == 0; }, {annexes, "(FIFO)"}},
        {[&] { QFile::remove(annexes) && QDir().mkdir(annexes); }, {annexes, "es una carpeta"}},
    };
    const auto kind = [&] {
        struct stat st {};
        return ::lstat(QFile::encodeName(annexes).constData(), &st) == 0 ? st.st_mode : 0;
    };
    for (const auto& [make, named] : cases) {
        make();
        const auto before = kind();
        QString error;
        EXPECT_FALSE(db.open(folder.path(), &error));
        for (const QString& n : named) EXPECT_TRUE(error.contains(n)) << error.toStdString();
        EXPECT_EQ(kind(), before);
        for (const QString& f : {annexes, upper, outside}) QFile::remove(f);
        QDir().rmdir(annexes);
        ASSERT_TRUE(test::writeFile(annexes, stored));
    }
    EXPECT_TRUE(db.open(folder.path(), nullptr));
}

// A table whose pack cannot be written (a full disk, here a folder in the way) opens unpacked and
// says so once; a later opening packs it.
TEST_F(Sql, ATableThatCannotBePackedOpensUnpackedAndSaysSo) {
    annex(1, 1, QStringLiteral("UNO"), QStringLiteral("11111111"), 0);
    annex(2, 1, QStringLiteral("DOS"), QStringLiteral("11111111"), 0);
    exec(QStringLiteral("delete from imanexos where id_prod = 1"));
    db.close();
    const QString annexes = folder.file(QStringLiteral("imanexos.DBF"));
    ASSERT_TRUE(QDir().mkdir(annexes + QStringLiteral(".tmp")));
    QString error;
    ASSERT_TRUE(db.open(folder.path(), &error)) << error.toStdString();
    EXPECT_TRUE(db.notice().contains(annexes)) << db.notice().toStdString();
    EXPECT_EQ(db.table(QStringLiteral("imanexos"))->deletedCount(), 1);
    EXPECT_EQ(rows(QStringLiteral("select descrip from imanexos")), QList<QVariantList>{{QStringLiteral("DOS")}});
    ASSERT_TRUE(QDir().rmdir(annexes + QStringLiteral(".tmp")));
    ASSERT_TRUE(db.open(folder.path(), &error)) << error.toStdString();
    EXPECT_EQ(db.notice(), QString());
    EXPECT_EQ(db.table(QStringLiteral("imanexos"))->recordCount(), 1);
}

TEST_F(Sql, NumbersAreBoundAsNumbersAndAnEmptySetIsAtItsEnd) {
    // Every number is bound as a number, whatever its C++ type.
    for (const QVariant& n : {QVariant::fromValue(5L), QVariant::fromValue<quint8>(5), QVariant::fromValue(5ULL)})
        EXPECT_EQ(db.scalar(QStringLiteral("select typeof(?)"), {n}).toString(), QStringLiteral("integer"))
            << n.typeName();
    RecordSet empty(&db, QStringLiteral("select * from imanexos where tipo_reg=2"));
    ASSERT_TRUE(empty.open());
    EXPECT_TRUE(empty.eof());
    EXPECT_EQ(empty.count(), 0);
}

// Equalities on the integer key columns are answered from the index (the rows they give are
// compared with native tables by the differential test).
TEST_F(Sql, IntegerKeyEqualitiesUseTheIndex) {
    for (const char* column : {"id_prod", "id_subord", "tipo_reg"}) {
        QString plan;
        db.query(QStringLiteral("explain query plan select * from imanexos where %1=3").arg(QLatin1String(column)), {},
                 [&](const QVariantList& r) { plan += r.last().toString(); return true; });
        EXPECT_FALSE(plan.contains(QStringLiteral("INDEX 0:"))) << column << ": " << plan.toStdString();
        EXPECT_TRUE(plan.contains(QStringLiteral("INDEX "))) << column << ": " << plan.toStdString();
    }
}

// A quote in a text quoted by the program is data; a double-quoted string is no literal and a
// second statement is refused, not silently run or dropped.
TEST_F(Sql, QuotesAreDataAndSecondStatementsAreRefused) {
    exec(QStringLiteral("insert into imdir (IDDIR, CALLEYNO) values ('FL', %1)").arg(sqlQuote(QStringLiteral("O'HARA; --"))));
    EXPECT_EQ(db.scalar(QStringLiteral("select calleyno from imdir")).toString(), QStringLiteral("O'HARA; --"));
    QString error;
    EXPECT_FALSE(db.execute(QStringLiteral("select * from imdir where iddir = \"FL\""), {}, &error));
    EXPECT_FALSE(db.execute(QStringLiteral("delete from imdir; delete from imrlegal"), {}, &error));
    EXPECT_EQ(rows(QStringLiteral("select * from imdir")).size(), 1);
}

// Statements are kept prepared between calls: no call leaves its values to the next, and the same
// text run again from inside its own rows gets a statement of its own.
TEST_F(Sql, KeptStatementsCarryNothingFromOneCallToTheNext) {
    const QString insert = QStringLiteral("insert into imanexos (id_prod, descrip, id_subord) values (?, ?, ?)");
    exec(insert, {1, QStringLiteral("UNO"), 7});
    exec(insert, {2});
    EXPECT_EQ(rows(QStringLiteral("select descrip, id_subord from imanexos where id_prod = 2")),
              QList<QVariantList>({{QVariant(), QVariant()}}));
    const QString from = QStringLiteral("select id_prod from imanexos where id_prod >= ? order by id_prod");
    QList<qint64> outer, inner;
    ASSERT_TRUE(db.query(from, {1}, [&](const QVariantList& row) {
        outer << row.value(0).toLongLong();
        for (const QVariantList& r : rows(from, {2})) inner << r.value(0).toLongLong();
        return true;
    }));
    EXPECT_EQ(outer, QList<qint64>({1, 2}));
    EXPECT_EQ(inner, QList<qint64>({2, 2}));
}

TEST_F(Sql, ChangesAreInTheFileWhenTheStatementReturnsAndDeletedRecordsGoOnReopening) {
    exec(QStringLiteral("insert into imrlegal (NOMREPLEG, CAREMP) values (' JOSÉ', 'DIRECTOR')"));
    exec(QStringLiteral("update imrlegal set caremp = 'GERENTE'"));
    exec(QStringLiteral("delete from imrlegal"));
    auto reader = DbfTable::open(db.tablePath(QStringLiteral("imrlegal")), nullptr);
    ASSERT_TRUE(reader && reader->recordCount() == 1);
    EXPECT_EQ(reader->value(0, 4).toString(), QStringLiteral("GERENTE"));
    EXPECT_TRUE(reader->isDeleted(0));
    db.close();
    Database reopened;
    ASSERT_TRUE(folder.open(reopened));
    EXPECT_EQ(reopened.table(QStringLiteral("imrlegal"))->recordCount(), 0);
}

TEST_F(Sql, RecordSetOperations) {
    for (int i = 1; i <= 3; ++i) annex(i, 2, QStringLiteral("CAJA %1").arg(i), QStringLiteral("4819100%1").arg(i), 0);
    annex(4, 3, QStringLiteral("TALADRO"), QStringLiteral("84672101"), 0);

    RecordSet rs(&db, QStringLiteral("Select * from imanexos where tipo_reg=2"));
    ASSERT_TRUE(rs.open());
    ASSERT_TRUE(rs.isUpdatable());
    EXPECT_EQ(rs.count(), 3);
    EXPECT_EQ(rs.columnCount(), 5);
    EXPECT_EQ(rs.columnName(2), QStringLiteral("DESCRIP"));
    rs.moveFirst();
    EXPECT_EQ(rs.value(QStringLiteral("descrip")).toString(), QStringLiteral("CAJA 1"));
    rs.moveLast();
    EXPECT_EQ(rs.value(0).toInt(), 3);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());

    ASSERT_TRUE(rs.findFirst(QStringLiteral("descrip"), QStringLiteral("caja 2*")));
    EXPECT_EQ(rs.value(0).toInt(), 2);
    EXPECT_FALSE(rs.findFirst(QStringLiteral("descrip"), QStringLiteral("ZZ*")));
    EXPECT_EQ(rs.value(0).toInt(), 2);

    rs.edit();
    rs.setValue(QStringLiteral("DESCRIP"), QStringLiteral("CAJA DE CARTÓN"));
    ASSERT_TRUE(rs.update());
    rs.addNew();
    rs.setValue(0, 9);
    rs.setValue(1, 2);
    rs.setValue(2, QStringLiteral("TARIMA"));
    rs.setValue(4, 0);
    ASSERT_TRUE(rs.update());
    EXPECT_EQ(rs.count(), 4);
    EXPECT_EQ(rs.value(2).toString(), QStringLiteral("TARIMA"));
    rs.moveFirst();
    ASSERT_TRUE(rs.removeCurrent());
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from imanexos where tipo_reg = 2")).toInt(), 3);
    EXPECT_EQ(db.scalar(QStringLiteral("select descrip from imanexos where id_prod = 2")).toString(),
              QStringLiteral("CAJA DE CARTÓN"));

    QString error;
    // Read-only query sets hold their values; writes are refused.
    RecordSet agg(&db, QStringLiteral("select tipo_reg, count(*) from imanexos group by tipo_reg"));
    ASSERT_TRUE(agg.open());
    EXPECT_FALSE(agg.isUpdatable());
    EXPECT_EQ(agg.count(), 2);
    EXPECT_FALSE(agg.removeRow(0, &error));

    // After a pack the record set reads its old copy; no write reaches the replaced file.
    ASSERT_TRUE(db.pack(QStringLiteral("imanexos"), &error)) << error.toStdString();
    EXPECT_EQ(rs.value(2).toString(), QStringLiteral("CAJA DE CARTÓN"));
    EXPECT_FALSE(rs.table()->update(rs.recordNumber(0) - 1, rs.rowValues(0), &error));
    ASSERT_TRUE(rs.refresh());
    EXPECT_TRUE(rs.updateRow(0, rs.rowValues(0), &error)) << error.toStdString();
}

TEST_F(Sql, StatementRoutineKeepsItsStatementAndItsFailure) {
    QString error;
    QString last;
    EXPECT_TRUE(mdlKALTO::EjecutaSentencia(db, QStringLiteral("delete from imserv"), {}, nullptr, &last));
    EXPECT_EQ(last, QStringLiteral("delete from imserv"));
    EXPECT_FALSE(mdlKALTO::EjecutaSentencia(db, QStringLiteral("delete from nada"), {}, &error));
}

TEST_F(Sql, AnnexIdentifiersStayWithinSixteenBits) {
    // Statements are checked by the differential and statement tests; here the record sets.
    QString error;
    annex(32767, 1, QStringLiteral("X"), QStringLiteral("12345678"), 0);
    RecordSet rs(&db, QStringLiteral("improd"));
    ASSERT_TRUE(rs.open());
    EXPECT_FALSE(rs.insertRow({70000, QStringLiteral("12345678")}, nullptr, &error));
    EXPECT_EQ(rs.count(), 0);

    // A record written by its number (a grid row a refresh left out) passes the same checks.
    RecordSet annexes(&db, QStringLiteral("select * from imanexos where tipo_reg = 2"));
    ASSERT_TRUE(annexes.open());
    EXPECT_EQ(annexes.count(), 0);
    EXPECT_FALSE(annexes.updateRecord(1, {40000, 1, QStringLiteral("X"), QStringLiteral("12345678"), 0}, &error));
    EXPECT_TRUE(annexes.updateRecord(1, {32767, 1, QStringLiteral("Y"), QStringLiteral("12345678"), 0}, &error));
    EXPECT_EQ(db.scalar(QStringLiteral("select descrip from imanexos")).toString(), QStringLiteral("Y"));
    EXPECT_FALSE(annexes.updateRecord(9, {1, 1, QStringLiteral("Z"), QString(), 0}, &error));
}

// A table written by another program may hold a fraction or a very large number in a field
// declared without decimals: an equality finds it as a scan would.
TEST_F(Sql, EqualityFindsFractionsAndLargeNumbersInIntegerFields) {
    using test::right;
    ASSERT_TRUE(test::writeFile(folder.file(QStringLiteral("AJENO.DBF")),
                                test::rawTable({{"CANT", 'N', 4}, {"GRANDE", 'N', 19}},
                                               {" " + right("2.5", 4) + right("1", 19),
                                                " " + right("7", 4) + right("1000000000000000000", 19)})));
    QString error;
    db.close();
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    const auto count = [&](const char* where) {
        return db.scalar(QStringLiteral("select count(*) from ajeno where %1").arg(QLatin1String(where))).toInt();
    };
    EXPECT_EQ(count("cant = 2.5"), 1);
    EXPECT_EQ(count("cant = '2.5'"), 1);
    EXPECT_EQ(count("cant = 7"), 1);
    EXPECT_EQ(count("cant = 2"), 0);
    EXPECT_EQ(count("grande = 1e18"), 1);
    EXPECT_EQ(count("grande = 1000000000000000000"), 1);
    EXPECT_EQ(count("grande = 1 and cant = 2.5"), 1);
}

}  // namespace

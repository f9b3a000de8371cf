// Explicit transactions, beyond what the differential test compares with native tables: a refused
// statement marks what was read as stale, ROLLBACK leaves the files byte for byte and no journal,
// a table first written after savepoints were opened goes back with ROLLBACK TO, COMMIT lasts.

#include "support/FileBytes.h"
#include "support/PrintQString.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;

TEST(Statements, ExplicitTransactionsAndSavepoints) {
    test::TestFolder folder;
    Database db;
    ASSERT_TRUE(folder.open(db));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (5, 1, 'CINCO', '', 0), (32767, 1, 'MAYOR', '', 0)")));
    const auto files = [&] { return test::readFile(db.tablePath("imanexos")) + test::readFile(db.tablePath("improd")); };
    const auto annexes = [](Database& d) {  // by a scan and by the index
        return d.scalar(QStringLiteral("select group_concat(id_prod || descrip) from imanexos")).toString() + u' ' +
               d.scalar(QStringLiteral("select count(*) from imanexos where id_prod = 5")).toString();
    };
    const QByteArray before = files();
    const QList<std::tuple<const char*, bool, QString>> steps = {  // statement, runs, annexes after it
        {"begin", true, "5CINCO,32767MAYOR 1"},
        {"update imanexos set id_prod = id_prod + 1", false, "5CINCO,32767MAYOR 1"},  // refused at 32768
        {"insert into improd (ID_PROD) values (7)", true, {}},
        {"delete from imanexos where id_prod = 5", true, "32767MAYOR 0"},
        {"rollback", true, "5CINCO,32767MAYOR 1"},
        {"begin", true, {}},
        {"savepoint uno", true, {}},
        {"delete from imanexos where id_prod = 5", true, "32767MAYOR 0"},  // joins at the statement's own savepoint
        {"rollback to uno", true, "5CINCO,32767MAYOR 1"},
        {"update imanexos set descrip = 'OTRO' where id_prod = 5", true, {}},
        {"commit", true, "5OTRO,32767MAYOR 1"},
    };
    for (const auto& [sql, runs, after] : steps) {
        SCOPED_TRACE(sql);
        const quint64 changes = db.table(QStringLiteral("imanexos"))->changeCount();
        QString error;
        ASSERT_EQ(db.execute(QString::fromUtf8(sql), {}, &error), runs) << error.toStdString();
        // What was read while a refused statement ran is stale: the count never goes back.
        EXPECT_TRUE(runs || (error.contains(QStringLiteral("32768")) && db.table("imanexos")->changeCount() > changes));
        if (!after.isEmpty()) { EXPECT_EQ(annexes(db), after); }
        const bool ends = QByteArray(sql) == "rollback" || QByteArray(sql) == "commit";
        EXPECT_TRUE(!ends || QDir(folder.path()).entryList({QStringLiteral("*.jnl"), QStringLiteral("*.JNL")}, QDir::Files).isEmpty());
        EXPECT_TRUE(QByteArray(sql) != "rollback" || files() == before);
    }
    Database again;
    ASSERT_TRUE(folder.open(again));
    EXPECT_EQ(annexes(again), QStringLiteral("5OTRO,32767MAYOR 1"));
}

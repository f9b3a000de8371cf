// Explicit transactions: BEGIN ... ROLLBACK takes every table back, a statement refused part way
// undoes only itself, ROLLBACK TO a savepoint undoes what followed it, COMMIT keeps everything; in
// the rows SQL sees (by a scan and by the index on id_prod), in the files, with no journal left.
// (Statements refused outside a transaction, and savepoints, are compared with native tables by
// the differential test.)

#include "data/Database.h"
#include "support/FileBytes.h"
#include "support/PrintQString.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;

namespace {

// Rows as SQL sees them, by a full scan and by the index on id_prod.
QString annexes(Database& db) {
    QStringList out;
    db.query(QStringLiteral("select id_prod, descrip from imanexos order by rowid"), {}, [&](const QVariantList& r) {
        out << r[0].toString() + u'=' + r[1].toString();
        return true;
    });
    for (const int id : {5, 6, 7, 32766, 32767, 32768})
        out << db.scalar(QStringLiteral("select count(*) from imanexos where id_prod = ?"), {id}).toString();
    return out.join(u' ') + QStringLiteral(" prod ") + db.scalar(QStringLiteral("select id_prod from improd")).toString();
}

TEST(Statements, ExplicitTransactionsAndSavepoints) {
    test::TestFolder folder;
    Database db;
    ASSERT_TRUE(folder.open(db));
    for (const int id : {5, 32766, 32767})
        ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (?, 1, ?, '3901', 0)"), {id, QStringLiteral("ANEXO %1").arg(id)}));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into improd (ID_PROD) values (7)")));
    const auto files = [&] { return test::readFile(db.tablePath("imanexos")) + test::readFile(db.tablePath("improd")); };
    const QByteArray before = files();
    const QString start = QStringLiteral("5=ANEXO 5 32766=ANEXO 32766 32767=ANEXO 32767 1 0 0 1 1 0 prod 7");
    const QString inside = QStringLiteral("32766=OTRO 32767=ANEXO 32767 7=NUEVO 0 0 1 1 1 0 prod 8");
    const QString committed = QStringLiteral("32766=OTRO 32767=ANEXO 32767 7=NUEVO 0 0 1 1 1 0 prod 7");
    const char* bump = "update imanexos set id_prod = id_prod + 1";  // refused at 32767, after the first rows
    const QList<std::tuple<const char*, bool, QString>> steps = {  // statement, runs, rows after it
        {"begin", true, start},
        {bump, false, start},  // the first write of the transaction
        {"delete from imanexos where id_prod = 5", true, {}},
        {"insert into imanexos values (7, 2, 'NUEVO', '', 0)", true, {}},
        {"update imanexos set descrip = 'OTRO' where id_prod = 32766", true, {}},
        {"update improd set ID_PROD = 8", true, inside},
        {bump, false, inside},
        {"savepoint uno", true, {}},
        {"delete from imanexos where id_prod = 7", true, {}},
        {"insert into imanexos values (6, 2, 'SEIS', '', 0)", true, {}},
        {"rollback to uno", true, {}},
        {"release uno", true, inside},
        {"rollback", true, start},
        {"begin", true, {}},
        {"savepoint uno", true, {}},
        {"delete from imanexos where id_prod = 5", true, {}},  // the table joins at the statement's own savepoint
        {"rollback to uno", true, start},
        {"delete from imanexos where id_prod = 5", true, {}},
        {"insert into imanexos values (7, 2, 'NUEVO', '', 0)", true, {}},
        {"update imanexos set descrip = 'OTRO' where id_prod = 32766", true, {}},
        {"commit", true, committed},
    };
    for (const auto& [sql, runs, after] : steps) {
        SCOPED_TRACE(sql);
        const quint64 changes = db.table(QStringLiteral("imanexos"))->changeCount();
        QString error;
        ASSERT_EQ(db.execute(QString::fromUtf8(sql), {}, &error), runs) << error.toStdString();
        // What was read while a refused statement ran is stale: the count never goes back.
        EXPECT_TRUE(runs || (error.contains(QStringLiteral("32768")) && db.table("imanexos")->changeCount() > changes));
        if (!after.isEmpty()) { EXPECT_EQ(annexes(db), after); }
        if (QByteArray(sql) == "rollback") { EXPECT_EQ(files(), before); }
        if (QByteArray(sql) == "rollback" || QByteArray(sql) == "commit") {
            EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("*.jnl"), QStringLiteral("*.JNL")}, QDir::Files), QStringList());
        }
    }
    Database again;
    ASSERT_TRUE(folder.open(again));
    EXPECT_EQ(annexes(again), committed);
}

}  // namespace

// Statements that fail part way, and explicit transactions: every table is left as it was before
// the statement (or the transaction), in the rows SQL sees, in the index and in the file.

#include "data/Database.h"
#include "data/DbfTestFiles.h"
#include "support/TestFolder.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace kalto;
using namespace kalto::test;

namespace {

class Statements : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        for (const int id : {5, 32766, 32767}) exec(QStringLiteral("insert into imanexos values (?, 1, ?, '3901', 0)"), {id, QStringLiteral("ANEXO %1").arg(id)});
        exec(QStringLiteral("insert into improd (ID_PROD) values (7)"));
    }
    void exec(const QString& sql, const QVariantList& params = {}) {
        QString error;
        ASSERT_TRUE(db.execute(sql, params, &error)) << sql.toStdString() << ": " << error.toStdString();
    }
    void refused(const QString& sql) {
        QString error;
        EXPECT_FALSE(db.execute(sql, {}, &error)) << sql.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("32768"))) << error.toStdString();
    }
    // Rows as SQL sees them, by a full scan and by the index on id_prod.
    QString annexes() {
        QStringList out;
        db.query(QStringLiteral("select id_prod, descrip from imanexos order by rowid"), {}, [&](const QVariantList& r) {
            out << r[0].toString() + u'=' + r[1].toString();
            return true;
        });
        for (const int id : {5, 6, 7, 32766, 32767, 32768})
            out << QString::number(db.scalar(QStringLiteral("select count(*) from imanexos where id_prod = ?"), {id}).toInt());
        return out.join(u' ');
    }
    QByteArray files() {
        return readFile(folder.file(QStringLiteral("imanexos.DBF"))) + readFile(folder.file(QStringLiteral("improd.DBF")));
    }
    QStringList journals() const {
        return QDir(folder.path()).entryList({QStringLiteral("*.jnl"), QStringLiteral("*.JNL")}, QDir::Files);
    }

    test::TestFolder folder;
    Database db;
};

const QString kStart = QStringLiteral("5=ANEXO 5 32766=ANEXO 32766 32767=ANEXO 32767 1 0 0 1 1 0");

}  // namespace

// Updates, inserts and deletes of a refused statement are undone, in memory and in the file.
TEST_F(Statements, AStatementRefusedPartWayChangesNothing) {
    ASSERT_EQ(annexes(), kStart);
    const QByteArray before = files();
    const quint64 changes = db.table(QStringLiteral("imanexos"))->changeCount();
    refused(QStringLiteral("update imanexos set id_prod = id_prod + 1"));
    EXPECT_EQ(annexes(), kStart);
    // What was read while the statement ran is stale: the count never goes back.
    EXPECT_GT(db.table(QStringLiteral("imanexos"))->changeCount(), changes);
    refused(QStringLiteral("update imanexos set id_prod = id_prod + 1, descrip = 'CAMBIADO'"));
    refused(QStringLiteral("insert into imanexos select id_prod + 1, 1, 'COPIA', '', 0 from imanexos"));
    EXPECT_EQ(annexes(), kStart);
    EXPECT_EQ(files(), before);
    EXPECT_EQ(journals(), QStringList());

    // The table goes on from there: record numbers, index and file agree.
    exec(QStringLiteral("update imanexos set descrip = 'SEIS', id_prod = 6 where id_prod = 5"));
    exec(QStringLiteral("delete from imanexos where id_prod = 32766"));
    EXPECT_EQ(annexes(), QStringLiteral("6=SEIS 32767=ANEXO 32767 0 1 0 0 1 0"));
    Database again;
    ASSERT_TRUE(folder.open(again));
    EXPECT_EQ(again.scalar(QStringLiteral("select group_concat(id_prod) from imanexos")).toString(),
              QStringLiteral("6,32767"));
}

// BEGIN ... ROLLBACK takes every table back; a statement refused inside the transaction undoes only
// itself; ROLLBACK TO a savepoint undoes what followed it; COMMIT keeps everything.
TEST_F(Statements, ExplicitTransactionsAndSavepoints) {
    const QByteArray before = files();
    exec(QStringLiteral("begin"));
    refused(QStringLiteral("update imanexos set id_prod = id_prod + 1"));  // the first write of the transaction
    EXPECT_EQ(annexes(), kStart);
    exec(QStringLiteral("delete from imanexos where id_prod = 5"));
    exec(QStringLiteral("insert into imanexos values (7, 2, 'NUEVO', '', 0)"));
    exec(QStringLiteral("update imanexos set descrip = 'OTRO' where id_prod = 32766"));
    exec(QStringLiteral("update improd set ID_PROD = 8"));
    const QString inside = QStringLiteral("32766=OTRO 32767=ANEXO 32767 7=NUEVO 0 0 1 1 1 0");
    EXPECT_EQ(annexes(), inside);
    refused(QStringLiteral("update imanexos set id_prod = id_prod + 1"));
    EXPECT_EQ(annexes(), inside);
    exec(QStringLiteral("savepoint uno"));
    exec(QStringLiteral("delete from imanexos where id_prod = 7"));
    exec(QStringLiteral("insert into imanexos values (6, 2, 'SEIS', '', 0)"));
    exec(QStringLiteral("rollback to uno"));
    exec(QStringLiteral("release uno"));
    EXPECT_EQ(annexes(), inside);
    exec(QStringLiteral("rollback"));
    EXPECT_EQ(annexes(), kStart);
    EXPECT_EQ(db.scalar(QStringLiteral("select ID_PROD from improd")).toInt(), 7);
    EXPECT_EQ(files(), before);
    EXPECT_EQ(journals(), QStringList());

    exec(QStringLiteral("begin"));
    exec(QStringLiteral("delete from imanexos where id_prod = 5"));
    exec(QStringLiteral("insert into imanexos values (7, 2, 'NUEVO', '', 0)"));
    exec(QStringLiteral("update imanexos set descrip = 'OTRO' where id_prod = 32766"));
    exec(QStringLiteral("commit"));
    EXPECT_EQ(journals(), QStringList());
    Database again;
    ASSERT_TRUE(folder.open(again));
    EXPECT_EQ(again.scalar(QStringLiteral("select group_concat(id_prod || descrip) from imanexos")).toString(),
              QStringLiteral("32766OTRO,32767ANEXO 32767,7NUEVO"));
}

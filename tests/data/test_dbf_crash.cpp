// A process killed while writing: the journal an update leaves puts the old record back, and a child
// process writing through Database, killed (SIGKILL) at random moments, leaves tables that open,
// hold every committed row and no record half old, half new.
//
// The kill test runs KALTO_CRASH_KILLS kills (60 by default); set it to some thousands for a
// longer run.

#include "data/DbfTestFiles.h"
#include "support/TestFolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace kalto;
using namespace kalto::test;

namespace {

QByteArray le(quint64 v, int size) { return QByteArray(reinterpret_cast<const char*>(&(v = qToLittleEndian(v))), size); }

// A journal written by hand: header ("KALTOJNL", version, header and record length, count, 0,
// FNV-1a), then one entry (offset, length, old bytes, new bytes, FNV-1a).
QByteArray journal(int headerLength, int recordLength, int count, qint64 offset, const QByteArray& before,
                   const QByteArray& after) {
    const auto sealed = [](const QByteArray& bytes) {
        quint32 h = 2166136261u;
        for (const char c : bytes) h = (h ^ quint8(c)) * 16777619u;
        return bytes + le(h, 4);
    };
    return sealed("KALTOJNL" + le(1, 4) + le(headerLength, 4) + le(recordLength, 4) + le(count, 4) + le(0, 4)) +
           sealed(le(quint64(offset), 8) + le(before.size(), 4) + before + after);
}

}  // namespace

// A torn record with its journal: the old record is read (read only) and put back (read-write),
// with the records inserted after the journal began taken away. A journal cut short or not
// matching the file is not applied, and removed.
TEST(DbfJournal, TheOldRecordIsPutBackAndAForeignJournalIgnored) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TABLA.DBF")), jnl = path + QStringLiteral(".jnl");
    constexpr int header = 32 * 4 + 1, length = 221, at = header + length;
    ASSERT_TRUE(DbfTable::create(path, {{"TOKA", DbfType::Character, 10, 0}, {"RELLENO", DbfType::Character, 200, 0},
                                        {"TOKB", DbfType::Character, 10, 0}}, nullptr));
    auto t = DbfTable::open(path, nullptr);
    for (const char* token : {"uno", "dos", "tres"}) ASSERT_TRUE(t->append({token, QString(), token}, nullptr, nullptr));
    ASSERT_TRUE(t->update(1, {QStringLiteral("nuevo"), QStringLiteral("x"), QStringLiteral("nuevo")}, nullptr));
    EXPECT_FALSE(QFile::exists(jnl));  // removed once the record is written
    const QByteArray newRecord = readFile(path).mid(at, length);
    ASSERT_TRUE(t->update(1, {QStringLiteral("dos"), QString(), QStringLiteral("dos")}, nullptr));
    t.reset();
    const QByteArray original = readFile(path), oldRecord = original.mid(at, length);
    const QByteArray torn = QByteArray(original).replace(at, 100, newRecord.left(100));
    QByteArray two = original.left(header + 2 * length) + '\x1A', foreign = oldRecord;
    two[4] = 2;
    foreign[211] = 'Z';  // TOKB, where the torn file holds the old bytes and the new ones differ
    const QByteArray good = journal(header, length, 3, at, oldRecord, newRecord);
    const QList<std::tuple<QByteArray, DbfAccess, const char*, int, QByteArray>> cases = {
        // journal, access, TOKA of the second record, records, the file after opening
        {good, DbfAccess::ReadOnly, "dos", 3, torn},
        {good, DbfAccess::ReadWrite, "dos", 3, original},
        {journal(header, length, 2, at, oldRecord, newRecord), DbfAccess::ReadWrite, "dos", 2, two},
        {good.chopped(1), DbfAccess::ReadWrite, "nuevo", 3, torn},
        {journal(header, length, 3, at, foreign, newRecord), DbfAccess::ReadWrite, "nuevo", 3, torn},
        {journal(header, length + 1, 3, at, oldRecord, newRecord), DbfAccess::ReadWrite, "nuevo", 3, torn},
    };
    for (const auto& [bytes, access, toka, records, after] : cases) {
        SCOPED_TRACE(toka);
        ASSERT_TRUE(writeFile(path, torn) && writeFile(jnl, bytes));
        QString error;
        t = DbfTable::open(path, &error, access);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_EQ(t->value(1, 0).toString() + QString::number(t->recordCount()), QLatin1String(toka) + QString::number(records));
        EXPECT_EQ(readFile(path), after);
        EXPECT_EQ(QFile::exists(jnl), access == DbfAccess::ReadOnly);
        t.reset();
    }
}

namespace {

// The child writes until killed, logging each operation before it starts ("B ...") and once
// committed ("C") with write(2): a kill loses nothing written. It writes the same token at either
// end of a record of datoprov (about 1,300 bytes, most straddling a 4 KiB page) and in between: a
// record half written shows two.
const char* kChildVariable = "KALTO_CRASH_CHILD";

class CrashChild : public ::testing::Test {
    void TestBody() override {
        const QStringList given = qEnvironmentVariable(kChildVariable).split(u'|');  // folder, seed, next id
        const QString& folder = given.at(0);
        QRandomGenerator random(given.at(1).toUInt());
        int next = given.at(2).toInt();
        const int log = ::open(QFile::encodeName(folder + QStringLiteral("/crash.log")).constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
        const auto say = [&](const QString& line) {
            const QByteArray b = (line + u'\n').toUtf8();
            ASSERT_EQ(::write(log, b.constData(), size_t(b.size())), b.size());
        };
        Database db;
        ASSERT_TRUE(log >= 0 && db.open(folder, nullptr));
        QList<int> ids;
        db.query(QStringLiteral("select idsector from datoprov"), {}, [&](const QVariantList& r) { ids << r[0].toInt(); return true; });
        say(QStringLiteral("R"));
        for (QString error;; say(QStringLiteral("C"))) {
            const int dice = random.bounded(100);
            const QString tok = QString::number(random.generate64(), 36).toUpper();
            if (ids.size() < 10 || dice < 12) {
                say(QStringLiteral("B I %1 %2").arg(next).arg(tok));
                ASSERT_TRUE(db.execute(QStringLiteral("insert into datoprov (idsector, rfc, rsocial, calle, nombre, estado) "
                                                      "values (?1, ?2, ?2, ?2, ?2, ?2)"), {next, tok}, &error)) << error.toStdString();
                ids << next++;
            } else if (dice < 24) {
                const int id = ids.takeAt(random.bounded(int(ids.size())));
                say(QStringLiteral("B D %1").arg(id));
                ASSERT_TRUE(db.execute(QStringLiteral("delete from datoprov where idsector = ?"), {id}, &error));
            } else {  // one record, or the six from the one picked (M)
                const int id = ids.at(random.bounded(int(ids.size()))), span = dice < 34 ? 5 : 0;
                say(QStringLiteral("B %1 %2 %3").arg(QChar(span ? u'M' : u'U')).arg(id).arg(tok));
                ASSERT_TRUE(db.execute(QStringLiteral("update datoprov set rfc = ?1, rsocial = ?1, calle = ?1, nombre = ?1, estado = ?1 "
                                                      "where idsector between ?2 and ?2 + ?3"), {tok, id, span}, &error));
            }
        }
    }
};

const bool kChildRegistered = [] {
    if (qEnvironmentVariableIsEmpty(kChildVariable)) return false;
    ::testing::RegisterTest("DbfCrashChild", "Run", nullptr, nullptr, __FILE__, __LINE__,
                            []() -> ::testing::Test* { return new CrashChild; });
    return true;
}();

using Rows = QHash<int, QString>;

// Applies one operation ("I id token", "D id", "U id token", "M id token") to `rows`.
void apply(const QStringList& op, Rows* rows) {
    const int id = op.at(1).toInt(), last = op[0] == u'M' ? id + 5 : id;
    if (op[0] == u'D') rows->remove(id);
    for (int k = id; op[0] != u'D' && k <= last; ++k)
        if (op[0] == u'I' || rows->contains(k)) rows->insert(k, op.value(2));
}

}  // namespace

TEST(DbfCrash, KilledWritersLeaveWholeTablesWithEveryCommittedRow) {
    const int kills = qEnvironmentVariableIsEmpty("KALTO_CRASH_KILLS") ? 60 : qEnvironmentVariableIntValue("KALTO_CRASH_KILLS");
    const test::TestFolder data;
    const QString folder = data.path(), log = data.file(QStringLiteral("crash.log"));
    Rows rows;
    int next = 1, inFlight = 0;
    QRandomGenerator random(20240611);
    for (int run = 0; run < kills; ++run) {
        SCOPED_TRACE(run);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("%1|%2|%3").arg(folder).arg(random.generate()).arg(next));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        QFile::remove(log);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=DbfCrashChild.Run")});
        ASSERT_TRUE(child.waitForStarted());
        if (random.bounded(5) == 0) {
            QThread::usleep(random.bounded(60000));  // while it opens the folder (repairs, journal, packing)
        } else {
            QElapsedTimer ready;
            ready.start();
            while (!readFile(log).startsWith("R\n") && child.state() == QProcess::Running && ready.elapsed() < 10000)
                QThread::usleep(500);
            ASSERT_TRUE(readFile(log).startsWith("R\n")) << child.readAll().toStdString();
            QThread::usleep(random.bounded(15000));
        }
        ASSERT_EQ(child.state(), QProcess::Running) << child.readAll().toStdString();
        child.kill();
        ASSERT_TRUE(child.waitForFinished());

        // What the child committed, and what it was doing when killed: either nothing of the
        // operation in flight is there, or all of it.
        QStringList pending;
        for (const QByteArray& line : readFile(log).split('\n')) {
            if (line.startsWith("B ")) pending = QString::fromUtf8(line.mid(2)).split(u' ');
            else if (line == "C" && !pending.isEmpty()) apply(std::exchange(pending, {}), &rows);
        }
        Rows done = rows;
        if (!pending.isEmpty()) {
            apply(pending, &done);
            ++inFlight;
        }
        Database db;
        QString error;
        ASSERT_TRUE(db.open(folder, &error)) << error.toStdString();
        Rows found;
        db.query(QStringLiteral("select idsector, rfc, estado, rsocial, calle, nombre from datoprov"), {}, [&](const QVariantList& r) {
            EXPECT_EQ(QVariantList(r.size() - 1, r[1]), r.mid(1)) << "registro partido: id " << r[0].toInt();
            EXPECT_FALSE(found.contains(r[0].toInt())) << r[0].toInt();
            found.insert(r[0].toInt(), r[1].toString());
            return true;
        });
        EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.jnl")}, QDir::Files), QStringList());
        ASSERT_TRUE(found == rows || found == done) << "operación en curso " << pending.join(u' ').toStdString() << ", "
                                                    << found.size() << " filas";
        rows = found;
        for (auto it = rows.cbegin(); it != rows.cend(); ++it) next = qMax(next, it.key() + 1);
    }
    std::printf("%d kills, %d with an operation in flight\n", kills, inFlight);
}

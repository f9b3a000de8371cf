// A process killed while writing: the journal an update leaves puts the old record back, and a child
// process writing through Database, killed (SIGKILL) at random moments, leaves tables that open,
// hold every committed row and no record half old, half new.
//
// The kill test runs KALTO_CRASH_KILLS kills (300 by default); set it to some thousands for a
// longer run.

#include "data/Database.h"
#include "data/Dbf.h"
#include "data/DbfTestFiles.h"
#include "support/TestFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace kalto;
using namespace kalto::test;

namespace {

// A journal written by hand: header ("KALTOJNL", version, header and record length, count, 0, FNV-1a),
// then one entry (offset, length, old bytes, new bytes, FNV-1a).

quint32 fnv(const QByteArray& bytes) {
    quint32 h = 2166136261u;
    for (const char c : bytes) h = (h ^ quint8(c)) * 16777619u;
    return h;
}

QByteArray le(quint64 v, int size) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

QByteArray journal(int headerLength, int recordLength, int count, qint64 offset, const QByteArray& before,
                   const QByteArray& after) {
    QByteArray head = "KALTOJNL" + le(1, 4) + le(headerLength, 4) + le(recordLength, 4) + le(count, 4) + le(0, 4);
    head += le(fnv(head), 4);
    QByteArray entry = le(quint64(offset), 8) + le(before.size(), 4) + before + after;
    entry += le(fnv(entry), 4);
    return head + entry;
}

}  // namespace

// A torn record with its journal: the old record is read (read only) and put back (read-write). A
// journal cut short or not matching the file is not applied.
TEST(DbfJournal, TheOldRecordIsPutBackAndAForeignJournalIgnored) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TABLA.DBF"));
    const QString jnl = path + QStringLiteral(".jnl");
    const QList<DbfField> fields = {{"TOKA", DbfType::Character, 10, 0}, {"RELLENO", DbfType::Character, 200, 0},
                                    {"TOKB", DbfType::Character, 10, 0}};
    constexpr int header = 32 * 4 + 1, length = 221;
    QString error;
    ASSERT_TRUE(DbfTable::create(path, fields, &error));
    auto t = DbfTable::open(path, &error);
    ASSERT_TRUE(t);
    for (const char* token : {"uno", "dos", "tres"})
        ASSERT_TRUE(t->append({token, QString(), token}, nullptr, &error));
    ASSERT_TRUE(t->update(1, {QStringLiteral("nuevo"), QStringLiteral("x"), QStringLiteral("nuevo")}, &error));
    EXPECT_FALSE(QFile::exists(jnl));  // removed once the record is written
    const QByteArray after = readFile(path);
    ASSERT_TRUE(t->update(1, {QStringLiteral("dos"), QString(), QStringLiteral("dos")}, &error));
    t.reset();
    const QByteArray original = readFile(path);
    const qint64 at = header + length;
    const QByteArray oldRecord = original.mid(at, length), newRecord = after.mid(at, length);
    const QByteArray torn = QByteArray(original).replace(at, 100, newRecord.left(100));
    const QByteArray good = journal(header, length, 3, at, oldRecord, newRecord);
    const QVariantList dos = {QStringLiteral("dos"), QVariant(), QStringLiteral("dos")};

    writeFile(path, torn);
    writeFile(jnl, good);
    t = DbfTable::open(path, &error, DbfAccess::ReadOnly);
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_EQ(t->record(1), dos);
    EXPECT_EQ(readFile(path), torn);
    EXPECT_EQ(readFile(jnl), good);
    t = DbfTable::open(path, &error);
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_EQ(t->record(1), dos);
    EXPECT_EQ(readFile(path), original);
    EXPECT_FALSE(QFile::exists(jnl));
    t.reset();

    // A journal begun before the third record was inserted: that record goes too.
    writeFile(path, torn);
    writeFile(jnl, journal(header, length, 2, at, oldRecord, newRecord));
    t = DbfTable::open(path, &error);
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_EQ(t->recordCount(), 2);
    QByteArray two = original.left(header + 2 * length) + '\x1A';
    two[4] = 2;
    EXPECT_EQ(readFile(path), two);
    t.reset();

    // Not applied: cut short, or another file's journal.
    QByteArray foreign = oldRecord;
    foreign[211] = 'Z';  // TOKB, where the torn file holds the old bytes and the new ones differ
    for (const QByteArray& bad : {good.left(good.size() - 1), journal(header, length, 3, at, foreign, newRecord),
                                  journal(header, length + 1, 3, at, oldRecord, newRecord)}) {
        writeFile(path, torn);
        writeFile(jnl, bad);
        t = DbfTable::open(path, &error);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_EQ(t->value(1, 0).toString(), QStringLiteral("nuevo"));
        EXPECT_EQ(readFile(path), torn);
        EXPECT_FALSE(QFile::exists(jnl));
        t.reset();
    }
}

namespace {

// The child writes until killed, logging each operation before it starts ("B ...") and once
// committed ("C") with write(2): a kill loses nothing written.

const char* kChildVariable = "KALTO_CRASH_CHILD";

// Tokens at either end of a 1,819-byte record (most straddle a 4 KiB page): a half-written record shows two.
QList<DbfField> crashFields() {
    QList<DbfField> f = {{"ID", DbfType::Numeric, 8, 0}, {"TOKA", DbfType::Character, 16, 0}};
    for (int i = 1; i <= 7; ++i) f.append({QStringLiteral("RELLENO%1").arg(i), DbfType::Character, 254, 0});
    f.append({"TOKB", DbfType::Character, 16, 0});
    return f;
}

QString token(QRandomGenerator& random) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString t;
    for (int i = 0; i < 16; ++i) t += QLatin1Char(digits[random.bounded(36)]);
    return t;
}

class CrashChild : public ::testing::Test {
    void TestBody() override {
        const QString folder = qEnvironmentVariable(kChildVariable);
        QRandomGenerator random(qEnvironmentVariable("KALTO_CRASH_SEED").toUInt());
        int next = qEnvironmentVariable("KALTO_CRASH_NEXT").toInt();
        const QByteArray logName = QFile::encodeName(folder + QStringLiteral("/../crash.log"));
        const int log = ::open(logName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
        ASSERT_GE(log, 0);
        auto say = [&](const QString& line) {
            const QByteArray b = (line + u'\n').toUtf8();
            ASSERT_EQ(::write(log, b.constData(), size_t(b.size())), b.size());
        };
        Database db;
        QString error;
        ASSERT_TRUE(db.open(folder, &error)) << error.toStdString();
        QList<int> ids;
        db.query(QStringLiteral("select id from prueba"), {}, [&](const QVariantList& r) {
            ids << r[0].toInt();
            return true;
        });
        say(QStringLiteral("R"));
        for (;;) {
            const int dice = random.bounded(100);
            const QString tok = token(random);
            if (ids.size() < 10 || dice < 12) {
                say(QStringLiteral("B I %1 %2").arg(next).arg(tok));
                ASSERT_TRUE(db.execute(QStringLiteral("insert into prueba (id, toka, relleno1, relleno4, relleno7, tokb) "
                                                      "values (?, ?, ?, ?, ?, ?)"),
                                       {next, tok, tok, tok, tok, tok}, &error))
                    << error.toStdString();
                ids << next++;
            } else if (dice < 24) {
                const int id = ids.takeAt(random.bounded(int(ids.size())));
                say(QStringLiteral("B D %1").arg(id));
                ASSERT_TRUE(db.execute(QStringLiteral("delete from prueba where id = ?"), {id}, &error));
            } else {  // one record, or the six from the one picked (M)
                const int id = ids.at(random.bounded(int(ids.size()))), span = dice < 34 ? 5 : 0;
                say(QStringLiteral("B %1 %2 %3").arg(QChar(span ? u'M' : u'U')).arg(id).arg(tok));
                ASSERT_TRUE(db.execute(QStringLiteral("update prueba set toka = ?1, relleno1 = ?1, relleno4 = ?1, relleno7 = ?1, "
                                                      "tokb = ?1 where id between ?2 and ?2 + ?3"),
                                       {tok, id, span}, &error));
            }
            say(QStringLiteral("C"));
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

struct Pending {
    QChar op;  // I, D, M, U; null when nothing was in flight
    int id = 0;
    QString token;
};

// Applies the committed operations of a log to `rows`; returns the one in flight, if any.
Pending replay(const QByteArray& log, Rows* rows) {
    Pending pending;
    for (const QByteArray& raw : log.split('\n')) {
        const QStringList w = QString::fromUtf8(raw).split(u' ');
        if (w.first() == QStringLiteral("B")) {
            pending = {w.at(1).at(0), w.at(2).toInt(), w.value(3)};
        } else if (w.first() == QStringLiteral("C") && !pending.op.isNull()) {
            switch (pending.op.unicode()) {
            case 'I':
            case 'U': rows->insert(pending.id, pending.token); break;
            case 'D': rows->remove(pending.id); break;
            case 'M':
                for (auto it = rows->begin(); it != rows->end(); ++it)
                    if (it.key() >= pending.id && it.key() <= pending.id + 5) it.value() = pending.token;
                break;
            }
            pending = {};
        }
    }
    return pending;
}

}  // namespace

TEST(DbfCrash, KilledWritersLeaveWholeTablesWithEveryCommittedRow) {
    const int kills = qEnvironmentVariableIsEmpty("KALTO_CRASH_KILLS") ? 300 : qEnvironmentVariableIntValue("KALTO_CRASH_KILLS");
    QTemporaryDir work;
    const QString folderPath = work.filePath(QStringLiteral("datos"));
    ASSERT_TRUE(QDir().mkpath(folderPath));
    {
        test::TestFolder catalogues;
        for (const QString& f : QDir(catalogues.path()).entryList(QDir::Files))
            ASSERT_TRUE(QFile::copy(catalogues.file(f), folderPath + u'/' + f));
    }
    const QString table = folderPath + QStringLiteral("/PRUEBA.DBF");
    QString error;
    ASSERT_TRUE(DbfTable::create(table, crashFields(), &error)) << error.toStdString();
    Rows rows;
    QRandomGenerator random(20240611);
    {
        auto t = DbfTable::open(table, &error);
        for (int id = 1; id <= 40; ++id) {
            const QString tok = token(random);
            ASSERT_TRUE(t->append({id, tok, tok, QString(), QString(), tok, QString(), QString(), tok, tok}, nullptr, &error));
            rows.insert(id, tok);
        }
    }
    int next = 41, killedWriting = 0, inFlight = 0;
    QElapsedTimer clock;
    clock.start();
    for (int run = 0; run < kills; ++run) {
        SCOPED_TRACE(run);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildVariable), folderPath);
        env.insert(QStringLiteral("KALTO_CRASH_SEED"), QString::number(random.generate()));
        env.insert(QStringLiteral("KALTO_CRASH_NEXT"), QString::number(next));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.setStandardOutputFile(work.filePath(QStringLiteral("child.out")));
        const QString log = work.filePath(QStringLiteral("crash.log"));
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
            ASSERT_TRUE(readFile(log).startsWith("R\n")) << readFile(work.filePath(QStringLiteral("child.out"))).toStdString();
            QThread::usleep(random.bounded(15000));
            ++killedWriting;
        }
        ASSERT_EQ(child.state(), QProcess::Running) << readFile(work.filePath(QStringLiteral("child.out"))).toStdString();
        child.kill();
        ASSERT_TRUE(child.waitForFinished());

        // What the child committed, and what it was doing when killed.
        const Pending pending = replay(readFile(log), &rows);
        inFlight += pending.op.isNull() ? 0 : 1;
        Rows done = rows;
        if (!pending.op.isNull()) replay("B " + QByteArray(1, char(pending.op.unicode())) + ' ' +
                                         QByteArray::number(pending.id) + ' ' + pending.token.toUtf8() + "\nC\n", &done);

        Database db;
        ASSERT_TRUE(db.open(folderPath, &error)) << error.toStdString();
        Rows found;
        db.query(QStringLiteral("select id, toka, tokb, relleno1, relleno4, relleno7 from prueba"), {}, [&](const QVariantList& r) {
            EXPECT_EQ(r[1], r[2]) << "registro partido: id " << r[0].toInt();
            for (int i = 3; i < 6; ++i) EXPECT_EQ(r[i], r[1]) << "registro partido: id " << r[0].toInt();
            EXPECT_FALSE(found.contains(r[0].toInt())) << r[0].toInt();
            found.insert(r[0].toInt(), r[1].toString());
            return true;
        });
        EXPECT_EQ(QDir(folderPath).entryList({QStringLiteral("*.jnl")}, QDir::Files), QStringList());
        // Either nothing of the operation in flight is there, or all of it.
        ASSERT_TRUE(found == rows || found == done) << "operación en curso " << QString(pending.op).toStdString() << ' '
                                                    << pending.id << ", " << found.size() << " filas";
        rows = found;
        for (auto it = rows.cbegin(); it != rows.cend(); ++it) next = qMax(next, it.key() + 1);
    }
    std::printf("%d kills (%d while writing, %d with an operation in flight) in %.1f s\n", kills, killedWriting, inFlight,
                clock.elapsed() / 1000.0);
}

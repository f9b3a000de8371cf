// libFuzzer target for the .DBF codec: any bytes are written to a file and opened as a
// table; every value is read, the table is written to (update, append, remove), looked up
// and packed, and what the file holds afterwards is checked against what the table said.
// A file refused is left as it was; a file repaired on opening leaves a copy of itself as it
// was, and no write leaves a journal behind. A broken promise aborts, so the fuzzer reports
// it like a crash.
//
// Build and run: fuzz/build.sh, then see fuzz/README.

#include "data/Dbf.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

using namespace kalto;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

QString folder() {
    static const QString dir = [] {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        QString d = QStringLiteral("%1/fuzz_dbf.%2").arg(QString::fromLatin1(base)).arg(::getpid());
        QByteArray native = QFile::encodeName(d);
        ::mkdir(native.constData(), 0700);
        return d;
    }();
    return dir;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString& path, const uint8_t* data, size_t size) {
    QFile f(path);
    check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input file");
    check(f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size), "short write of the input");
}

QList<QVariantList> everything(DbfTable* t) {
    QList<QVariantList> rows;
    for (int r = 0; r < t->recordCount(); ++r) {
        QVariantList row = t->record(r);
        for (int f = 0; f < t->fields().size(); ++f)
            check(row[f] == t->value(r, f), "record() and value() disagree");
        rows.append(row);
    }
    return rows;
}

// The copies of T.DBF kept by repairs (T.DBF.<date>.bak).
QStringList backups() {
    return QDir(folder()).entryList({QStringLiteral("T.DBF.*.bak")}, QDir::Files);
}

// Fields whose values come back unchanged from a rewrite (numbers may be rounded to the
// field's decimals, and a NULL logical is stored as F).
bool exactType(DbfType type) { return type == DbfType::Character || type == DbfType::Date; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = folder() + QStringLiteral("/T.DBF");
    const QString journal = path + QStringLiteral(".jnl");
    QFile::remove(path + QStringLiteral(".tmp"));
    QFile::remove(journal);
    for (const QString& b : backups())
        QFile::remove(folder() + u'/' + b);
    writeAll(path, data, size);
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));

    // Read only: nothing is written, not even a repair.
    QString error;
    auto t = DbfTable::open(path, &error, DbfAccess::ReadOnly);
    check(readAll(path) == input, "a read-only open changed the file");
    if (!t) {
        check(!error.isEmpty() && error.contains(path), "a refused file without a message naming it");
        check(!DbfTable::open(path, &error), "refused read only but opened read-write");
        check(readAll(path) == input, "a refused file was changed");
        check(backups().isEmpty(), "a refused file was copied");
        return 0;
    }
    check(!t->fields().isEmpty(), "a table without fields");
    int recordLength = 1;
    for (const DbfField& f : t->fields()) {
        check(f.width > 0 && !f.name.isEmpty(), "a field without width or name");
        recordLength += f.width;
    }
    check(qint64(t->recordCount()) * recordLength <= qint64(size), "more records than the file holds");
    const QList<QVariantList> before = everything(t.get());
    int deleted = 0;
    for (int r = 0; r < t->recordCount(); ++r)
        deleted += t->isDeleted(r) ? 1 : 0;
    check(deleted == t->deletedCount(), "deleted count");
    QString dummy;
    check(!t->append({}, nullptr, &dummy), "a read-only table accepted a write");
    t.reset();

    // Read and write: the same table, repaired on disk where needed.
    t = DbfTable::open(path, &error);
    check(t != nullptr, "opened read only but not read-write");
    check(everything(t.get()) == before, "read-write open reads other values");
    if (readAll(path) != input) {
        const QStringList kept = backups();
        check(kept.size() == 1 && readAll(folder() + u'/' + kept.first()) == input, "repaired without a copy of the file");
    }
    const int fieldCount = int(t->fields().size());

    int live = -1;
    for (int r = 0; r < t->recordCount() && live < 0; ++r)
        live = t->isDeleted(r) ? -1 : r;

    // Rewrite a live record with its own values; a refusal writes nothing.
    if (live >= 0) {
        const QByteArray file = readAll(path);
        const quint64 changes = t->changeCount();
        if (t->update(live, before[live], &error)) {
            check(t->changeCount() > changes, "update without a change count");
            for (int f = 0; f < fieldCount; ++f) {
                if (exactType(t->fields()[f].type))
                    check(t->value(live, f) == before[live][f], "a value changed by rewriting it");
            }
        } else {
            check(!error.isEmpty(), "a refused update without a message");
            check(readAll(path) == file, "a refused update changed the file");
            check(t->changeCount() == changes, "a refused update counted as a change");
        }
    }

    // Append a copy of the first record (or an empty one), then delete the original.
    const QVariantList copy = before.isEmpty() ? QVariantList() : before.first();
    int recno = -1;
    const int count = t->recordCount();
    if (t->append(copy, &recno, &error)) {
        check(recno == count && t->recordCount() == count + 1, "append numbering");
        for (int f = 0; f < fieldCount; ++f) {
            if (exactType(t->fields()[f].type))
                check(t->value(recno, f) == copy.value(f), "an appended value differs");
        }
    } else {
        check(!error.isEmpty(), "a refused append without a message");
        check(t->recordCount() == count, "a refused append counted");
    }
    if (live >= 0) {
        check(t->remove(live, &error), "removing a live record failed");
        check(t->isDeleted(live), "a removed record is not deleted");
        check(!t->remove(live, &error), "removed twice");
    }

    check(!QFile::exists(journal), "a write left its journal");

    // The index agrees with a scan.
    for (int f = 0; f < fieldCount; ++f) {
        const bool integer = t->isIntegerField(f);
        for (int r = 0; r < t->recordCount(); ++r) {
            const QVariant v = t->value(r, f);
            if (!integer || t->isDeleted(r) || v.typeId() != QMetaType::LongLong)
                continue;
            const QList<int>* hits = t->lookup(f, v.toLongLong());
            check(hits && hits->contains(r), "the index misses a record");
            for (int h : *hits)
                check(!t->isDeleted(h) && t->value(h, f).toLongLong() == v.toLongLong(), "the index holds a wrong record");
            check(std::is_sorted(hits->begin(), hits->end()), "the index is not in order");
        }
        if (!integer)
            check(t->lookup(f, 0) == nullptr, "an index on a field that is not an integer");
    }

    // What the file holds is what the table says.
    const QList<QVariantList> written = everything(t.get());
    QList<bool> flags;
    for (int r = 0; r < t->recordCount(); ++r)
        flags.append(t->isDeleted(r));
    t.reset();
    t = DbfTable::open(path, &error);
    check(t != nullptr, "the file written cannot be opened");
    check(everything(t.get()) == written, "the file holds other values than the table had");
    for (int r = 0; r < t->recordCount(); ++r)
        check(t->isDeleted(r) == flags[r], "deletion flags differ in the file");
    t.reset();

    // Packing keeps the live records in order.
    QList<QVariantList> kept;
    for (int r = 0; r < written.size(); ++r) {
        if (!flags[r])
            kept.append(written[r]);
    }
    check(DbfTable::pack(path, &error), "pack failed");
    t = DbfTable::open(path, &error);
    check(t != nullptr, "a packed file cannot be opened");
    check(t->deletedCount() == 0, "deleted records survived the pack");
    check(everything(t.get()) == kept, "pack changed the live records");
    return 0;
}

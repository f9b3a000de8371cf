// Transactions of a table: what each write changed is remembered, so that a rollback takes the
// table back in memory, in the file and in its indexes.

#include "data/Dbf.h"

#include <cstring>

#include <unistd.h>

namespace kalto {

using namespace dbf;

void DbfTable::remember(Undo::Kind kind, int recno, const QByteArray& bytes) {
    if (inTransaction_)
        undo_.append({kind, recno, bytes});
}

void DbfTable::beginTransaction() {
    if (inTransaction_)
        return;
    inTransaction_ = true;
    startCount_ = count_;
    undo_.clear();
    savepoints_.clear();
}

// A table joining a transaction is told only of the newest savepoint (often the statement's own,
// released when the statement ends): the ones below it, opened before the table was written,
// hold the same state, so that a later ROLLBACK TO one of them undoes the table's writes too.
void DbfTable::setSavepoint(int level) {
    releaseSavepoint(level);
    for (int l = savepoints_.isEmpty() ? 0 : savepoints_.constLast().first + 1; l <= level; ++l)
        savepoints_.append({l, undo_.size()});
}

void DbfTable::releaseSavepoint(int level) {
    while (!savepoints_.isEmpty() && savepoints_.constLast().first >= level)
        savepoints_.removeLast();
}

bool DbfTable::rollbackTo(int level, QString* error) {
    // Level -1 is the savepoint that began the transaction: everything the table wrote since.
    if (level < 0) {
        savepoints_.clear();
        return undoTo(0, error);
    }
    // The lowest savepoint at or above `level`: the table joined the transaction after any below.
    qsizetype mark = -1;
    for (const auto& [l, size] : std::as_const(savepoints_)) {
        if (l >= level) {
            mark = size;
            break;
        }
    }
    if (mark < 0)
        return true;
    releaseSavepoint(level + 1);
    if (savepoints_.isEmpty() || savepoints_.constLast().first != level)
        savepoints_.append({level, mark});
    return undoTo(mark, error);
}

bool DbfTable::commit(QString* error) {
    Q_UNUSED(error);
    journal_.end(path_, true);
    inTransaction_ = false;
    undo_.clear();
    savepoints_.clear();
    return true;
}

bool DbfTable::rollback(QString* error) {
    const bool ok = undoTo(0, error);
    journal_.end(path_, ok);  // when the file could not be put back, the journal does it at the next opening
    inTransaction_ = false;
    undo_.clear();
    savepoints_.clear();
    return ok;
}

// Undoes the writes remembered after the first `size`, newest first, in memory and in the file.
// Should the file refuse, the memory is put back all the same and the file is closed (every
// later write refused): the journal puts the records back when the table is opened again.
bool DbfTable::undoTo(qsizetype size, QString* error) {
    if (undo_.size() <= size)
        return true;
    const bool writable = fd_ >= 0;
    bool ok = true;
    int err = 0;
    int cut = -1;
    while (undo_.size() > size) {
        const Undo u = undo_.takeLast();
        switch (u.kind) {
        case Undo::Record:
            setRecord(u.recno, u.bytes.constData());
            if (writable && ok)
                ok = writeAll(fd_, headerLength_ + qint64(u.recno) * recordLength_, u.bytes.constData(), recordLength_, &err);
            break;
        case Undo::Append:
            indexRecord(u.recno, false);
            if (data_.at(qsizetype(u.recno) * recordLength_) == '*')
                --deleted_;
            data_.truncate(qsizetype(u.recno) * recordLength_);
            count_ = u.recno;
            cut = u.recno;
            break;
        case Undo::Date:
            std::memcpy(header_.data() + 1, u.bytes.constData(), 3);
            if (writable && ok)
                ok = head_.write(fd_, 1, header_.constData() + 1, 3, &err);
            break;
        }
    }
    if (cut >= 0) {
        // As when opening takes records off: end mark, count, length.
        writeU32(header_.data() + 4, quint32(count_));
        const qint64 end = headerLength_ + qint64(count_) * recordLength_;
        if (writable && ok)
            ok = writeAll(fd_, end, "\x1A", 1, &err) && head_.write(fd_, 4, header_.constData() + 4, 4, &err);
        if (writable && ok && ::ftruncate(fd_, off_t(end + 1)) != 0) {
            err = errno;
            ok = false;
        }
    }
    ++changes_;
    if (writable && ok)
        return true;
    setError(error, QStringLiteral("No se pudo deshacer el cambio en el archivo %1: %2. Se repondrá al volver a abrirlo.")
                        .arg(shownPath(path_), writable ? systemReason(err) : QStringLiteral("ya está cerrado")));
    if (writable) {
        journal_.end(path_, false);
        releaseFile();
    }
    return false;
}

}  // namespace kalto

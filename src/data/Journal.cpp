#include "data/Journal.h"

#include "data/FileAccess.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace kalto::dbf {

namespace {

constexpr char kJournalMagic[] = "KALTOJNL";
constexpr int kJournalHeader = 32;

quint32 fnv1a(const char* p, qsizetype n) {
    quint32 h = 2166136261u;
    for (qsizetype i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(p[i])) * 16777619u;
    return h;
}

// Puts back into `mended` the old bytes of every entry, newest first. False when an entry shows
// that the journal is not this file's; *matched tells whether any entry was checked.
bool undoEntries(const QList<JournalEntry>& entries, QByteArray* mended, bool* matched) {
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        const JournalEntry& e = entries[i];
        if (e.offset >= mended->size())
            continue;  // records taken off since
        const qsizetype n = qMin<qint64>(e.before.size(), mended->size() - e.offset);
        char* at = mended->data() + e.offset;
        *matched = true;
        for (qsizetype k = 0; k < n; ++k) {
            if (at[k] != e.before[k] && at[k] != e.after[k])
                return false;
        }
        std::memcpy(at, e.before.constData(), size_t(n));
    }
    return true;
}

// Writes the mended bytes of every entry to the file, and takes off the records inserted since
// the journal began when `cut` (the records then end at `end`).
bool writeMend(int fd, const QList<JournalEntry>& entries, const QByteArray& mended, bool cut, qint64 end, int* err) {
    bool ok = true;
    for (const JournalEntry& e : entries) {
        const qint64 n = qMin<qint64>(e.before.size(), mended.size() - e.offset);
        if (n > 0 && ok)
            ok = writeAll(fd, e.offset, mended.constData() + e.offset, n, err);
    }
    // Taking records off: the end mark first, then the count, then the length; the file reads
    // the same records after each step.
    if (cut && ok)
        ok = writeAll(fd, end, "\x1A", 1, err) && writeAll(fd, 4, mended.constData() + 4, 4, err);
    if (cut && ok && ::ftruncate(fd, off_t(end + 1)) != 0) {
        // The bytes past the end mark are not read.
    }
    return ok;
}

}  // namespace

QString journalPath(const QString& table) { return table + QStringLiteral(".jnl"); }

QByteArray journalHeader(int headerLength, int recordLength, int count) {
    QByteArray h(kJournalHeader, '\0');
    std::memcpy(h.data(), kJournalMagic, 8);
    writeU32(h.data() + 8, 1);
    writeU32(h.data() + 12, quint32(headerLength));
    writeU32(h.data() + 16, quint32(recordLength));
    writeU32(h.data() + 20, quint32(count));
    writeU32(h.data() + 28, fnv1a(h.constData(), 28));
    return h;
}

QByteArray journalEntry(qint64 offset, const QByteArray& before, const QByteArray& after) {
    QByteArray e(12, '\0');
    writeU32(e.data(), quint32(quint64(offset) & 0xFFFFFFFFu));
    writeU32(e.data() + 4, quint32(quint64(offset) >> 32));
    writeU32(e.data() + 8, quint32(before.size()));
    e += before;
    e += after;
    e.append(4, '\0');
    writeU32(e.data() + e.size() - 4, fnv1a(e.constData(), e.size() - 4));
    return e;
}

bool parseJournal(const QByteArray& j, int headerLength, int recordLength, QList<JournalEntry>* entries,
                  qint64* count) {
    const char* p = j.constData();
    if (j.size() < kJournalHeader || std::memcmp(p, kJournalMagic, 8) != 0 || readU32(p + 8) != 1 ||
        readU32(p + 28) != fnv1a(p, 28) || readU32(p + 12) != quint32(headerLength) ||
        readU32(p + 16) != quint32(recordLength))
        return false;
    *count = readU32(p + 20);
    qsizetype at = kJournalHeader;
    while (at + 16 <= j.size()) {
        const quint64 offset = quint64(readU32(p + at)) | quint64(readU32(p + at + 4)) << 32;
        const qint64 length = readU32(p + at + 8);
        if (length > recordLength || at + 16 + 2 * length > j.size())
            break;  // cut short: the write it announced never began
        const qsizetype sum = at + 12 + 2 * length;
        if (readU32(p + sum) != fnv1a(p + at, sum - at) || offset < quint64(headerLength) || offset > quint64(INT_MAX))
            break;
        entries->append({qint64(offset), j.mid(at + 12, length), j.mid(at + 12 + length, length)});
        at = sum + 4;
    }
    return true;
}

bool recoverJournal(const QString& path, int fd, bool readOnly, int headerLength, int recordLength, QByteArray* file,
                    QString* error) {
    const QString name = journalPath(path);
    QByteArray bytes;
    int err = 0;
    if (!readSmallFile(name, kMaxTableBytes, &bytes, &err)) {
        if (err == ENOENT || readOnly)
            return true;
        setError(error, QStringLiteral("No se pudo leer el diario %1 del archivo %2: %3.")
                            .arg(shownPath(name), shownPath(path), systemReason(err)));
        return false;
    }
    QList<JournalEntry> entries;
    qint64 began = 0;
    QByteArray mended = *file;
    bool matched = false;  // an entry was checked against the file's bytes
    const bool ours = parseJournal(bytes, headerLength, recordLength, &entries, &began) &&
                      undoEntries(entries, &mended, &matched);
    // Records inserted since the journal began go too, when the journal has shown it is this
    // file's: an entry always holds bytes that the write changed.
    const qint64 end = headerLength + began * recordLength;
    const bool cut = ours && matched && readU32(mended.constData() + 4) > began && end < mended.size();
    if (cut) {
        mended.truncate(end);
        mended.append('\x1A');
        writeU32(mended.data() + 4, quint32(began));
    }
    if (ours && !readOnly && !writeMend(fd, entries, mended, cut, end, &err)) {
        setError(error, QStringLiteral("No se pudieron reponer en el archivo %1 los registros que dejó a medias un "
                                       "cierre inesperado: %2.")
                            .arg(shownPath(path), systemReason(err)));
        return false;
    }
    if (ours)
        *file = mended;
    if (!readOnly)
        QFile::remove(name);
    return true;
}

bool Journal::write(const QString& table, int headerLength, int recordLength, int count, qint64 offset,
                    const QByteArray& before, const QByteArray& after, QString* error) {
    const QString name = journalPath(table);
    QByteArray bytes;
    if (fd_ < 0) {
        fd_ = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            setError(error, QStringLiteral("No se pudo guardar el cambio en el archivo %1: no se pudo crear su diario %2 (%3).")
                                .arg(shownPath(table), shownPath(name), systemReason(errno)));
            return false;
        }
        size_ = 0;
        bytes = journalHeader(headerLength, recordLength, count);
    }
    bytes += journalEntry(offset, before, after);
    int err = 0;
    if (!writeAll(fd_, size_, bytes.constData(), bytes.size(), &err)) {
        // A part of the entry may be there; later entries must not follow it.
        if (::ftruncate(fd_, off_t(size_)) != 0) {
            // A torn last entry is not applied; the next one is written over it.
        }
        if (size_ == 0)
            end(table, true);
        setError(error, QStringLiteral("No se pudo guardar el cambio en el archivo %1: no se pudo escribir su diario %2 (%3).")
                            .arg(shownPath(table), shownPath(name), systemReason(err)));
        return false;
    }
    size_ += bytes.size();
    return true;
}

void Journal::end(const QString& table, bool remove) {
    if (fd_ < 0)
        return;
    if (remove) {
        const QByteArray native = QFile::encodeName(journalPath(table));
        if (::unlink(native.constData()) != 0 && ::ftruncate(fd_, 0) != 0) {
            // Neither removed nor emptied: its entries match the file only where nothing changed
            // since, and opening checks every byte before applying one.
        }
    }
    ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

}  // namespace kalto::dbf

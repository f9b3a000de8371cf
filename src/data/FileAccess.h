#pragma once
// The table's files on disk: what a file's status says, reading and writing whole spans, the
// header's first bytes written through a map, a file replaced by rename, the copies kept before a
// file is repaired or written over, and the Spanish reasons of a failed system call.

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace kalto {

// Why a system call failed (an errno), in Spanish.
QString systemReason(int err);

namespace dbf {

constexpr qint64 kMaxTableBytes = qint64(1) << 30;  // far beyond any table of this program
constexpr int kKeptCopies = 3;                      // copies kept per table; older ones are removed

QString shownPath(const QString& path);  // as the user's system writes it
inline void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

// Little-endian fields of the header and the journal.
inline quint32 readU32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}
inline quint16 readU16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[0] | u[1] << 8);
}
inline void writeU32(char* p, quint32 v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
inline void writeU16(char* p, quint16 v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

// Why a file of this status cannot be a table; empty when it can be one.
QString notATable(const struct stat& st);
// The status of `path` (a link followed), refusing with a message what cannot be a table.
bool statTable(const QString& path, struct stat* st, QString* error);

// Appends to *out (or to `one` when out is null) up to `n` bytes read at `offset`; fewer at the
// end of the file.
bool readAt(int fd, qint64 offset, qint64 n, QByteArray* out, int* err, char* one = nullptr);
// Reads at most `limit` bytes of the regular file `path` (never blocking on a FIFO); false with
// the errno in *err (ENOENT when there is no such file, EINVAL when it is no regular file).
bool readSmallFile(const QString& path, qint64 limit, QByteArray* out, int* err);

// Writes all `size` bytes at `offset`, through interrupted and partial writes.
bool writeAll(int fd, qint64 offset, const char* data, qint64 size, int* err);
// The fixed start of a table's header (its date and record count, rewritten by every insert),
// written through a shared mapping of the file's first page where the system gives one. A store
// there lands in the same cached page a write would, at once and without a system call: another
// reader sees it, and a process killed after it loses nothing. Without a mapping (a file system
// that has none, no memory for it) the bytes go through writeAll.
class HeadBytes {
public:
    static constexpr qint64 kMapped = 32;  // the bytes before the first field descriptor

    HeadBytes() = default;
    HeadBytes(const HeadBytes&) = delete;
    HeadBytes& operator=(const HeadBytes&) = delete;
    ~HeadBytes() { detach(); }

    void attach(int fd);  // maps the first page of a file open for writing
    void detach();
    // Writes at any offset of the file: within the mapped bytes by a store, elsewhere by writeAll.
    bool write(int fd, qint64 offset, const char* data, qint64 size, int* err);

private:
    char* page_ = nullptr;
};

// Writes `bytes` to `path` + ".tmp", then renames it over `path`. The old file (if any)
// stays untouched unless the rename succeeds. `mode` gives the new file's permissions. The
// reason of a failure names `path`, the file the user knows.
bool replaceFile(const QString& path, const QByteArray& bytes, mode_t mode, QString* reason);
// Keeps a copy of the file open as `fd` (the table `path` as it is now) beside it, as
// NAME.DBF.AAAAMMDD-HHMMSS.bak (-2, -3... when a copy of that second exists), synced before the
// write it precedes, and removes all but the newest kKeptCopies.
bool keepCopy(const QString& path, int fd, mode_t mode, int* err);

}  // namespace dbf
}  // namespace kalto

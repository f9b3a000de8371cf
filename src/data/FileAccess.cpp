#include "data/FileAccess.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kalto {

// The reason of a failed system call, in Spanish: the user never reads the system's English.
QString systemReason(int err) {
    switch (err) {
    case ENOENT: return QStringLiteral("no existe");
    case EACCES:
    case EPERM: return QStringLiteral("no hay permiso para usarlo");
    case EROFS: return QStringLiteral("el disco es de solo lectura");
    case ENOSPC: return QStringLiteral("el disco está lleno");
#ifdef EDQUOT
    case EDQUOT: return QStringLiteral("se agotó el espacio permitido en el disco");
#endif
    case EISDIR: return QStringLiteral("es una carpeta");
    case ENOTDIR: return QStringLiteral("una parte de la ruta no es una carpeta");
    case EIO: return QStringLiteral("error de lectura o escritura en el disco");
    case EFBIG: return QStringLiteral("el archivo es demasiado grande");
    case EMFILE:
    case ENFILE: return QStringLiteral("hay demasiados archivos abiertos");
    case ENAMETOOLONG: return QStringLiteral("el nombre es demasiado largo");
    case ELOOP: return QStringLiteral("hay demasiados enlaces en la ruta");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("otro programa lo está usando");
    case EXDEV: return QStringLiteral("está en otro disco");
    case ENXIO:
    case ENODEV: return QStringLiteral("el dispositivo no está disponible");
    case ENOMEM: return QStringLiteral("no hay memoria suficiente");
    case EINVAL: return QStringLiteral("no es un archivo común");
    default: return QStringLiteral("error del sistema número %1").arg(err);
    }
}

namespace dbf {

namespace {

struct KeptCopy {
    QString stamp;  // AAAAMMDD-HHMMSS
    int number;     // 1, 2, 3... within that second
    QString path;
    bool operator<(const KeptCopy& o) const { return stamp != o.stamp ? stamp < o.stamp : number < o.number; }
};

// The copies kept beside `path`, oldest first (by the time in their names, then their number).
QList<KeptCopy> keptCopies(const QString& path) {
    const QFileInfo info(path);
    const QRegularExpression name(QStringLiteral("^%1\\.(\\d{8}-\\d{6})(?:-(\\d+))?\\.bak$")
                                      .arg(QRegularExpression::escape(info.fileName())));
    QList<KeptCopy> found;
    for (const QString& f : info.dir().entryList({info.fileName() + QStringLiteral(".*.bak")}, QDir::Files)) {
        const QRegularExpressionMatch m = name.match(f);
        if (m.hasMatch())
            found.append({m.captured(1), qMax(1, m.captured(2).toInt()), info.dir().filePath(f)});
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Copies the file open as `from` into the new file `temp`, synced.
bool copyFile(int from, const QByteArray& temp, mode_t mode, int* err) {
    const int out = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (out < 0) {
        *err = errno;
        return false;
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    bool ok = true;
    for (qint64 at = 0; ok;) {
        const ssize_t n = ::pread(from, buffer.data(), size_t(buffer.size()), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            *err = errno;
            break;
        }
        ok = writeAll(out, at, buffer.constData(), n, err);
        at += n;
    }
    if (ok && ::fsync(out) != 0) {
        *err = errno;
        ok = false;
    }
    return ::close(out) == 0 && ok;
}

}  // namespace

QString shownPath(const QString& path) { return QDir::toNativeSeparators(path); }

QString notATable(const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("es una carpeta, no una tabla");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("es una tubería (FIFO), no una tabla");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("es un dispositivo, no una tabla");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("no es un archivo común, no una tabla");
    if (st.st_size > kMaxTableBytes)
        return QStringLiteral("mide %1 bytes, más de lo que puede medir una tabla").arg(qint64(st.st_size));
    return {};
}

bool statTable(const QString& path, struct stat* st, QString* error) {
    if (::stat(QFile::encodeName(path).constData(), st) != 0) {
        if (errno == ENOENT)
            setError(error, QStringLiteral("No se encontró el archivo %1.").arg(shownPath(path)));
        else
            setError(error, QStringLiteral("No se pudo abrir el archivo %1: %2.").arg(shownPath(path), systemReason(errno)));
        return false;
    }
    const QString why = notATable(*st);
    if (!why.isEmpty())
        setError(error, QStringLiteral("No se puede abrir el archivo %1: %2.").arg(shownPath(path), why));
    return why.isEmpty();
}

bool readAt(int fd, qint64 offset, qint64 n, QByteArray* out, int* err, char* one) {
    QByteArray local;
    QByteArray& into = out ? *out : local;
    const qsizetype start = into.size();
    into.resize(start + qsizetype(std::max<qint64>(n, 0)));
    qint64 got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, into.data() + start + got, size_t(n - got), off_t(offset + got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            *err = errno;
            return false;
        }
        if (r == 0)
            break;
        got += r;
    }
    into.truncate(start + qsizetype(got));
    if (one && got > 0)
        *one = into.at(start);
    return true;
}

bool readSmallFile(const QString& path, qint64 limit, QByteArray* out, int* err) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *err = errno;
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok)
        *err = errno;
    else if (!S_ISREG(st.st_mode))
        *err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ok = ok && S_ISREG(st.st_mode) && readAt(fd, 0, std::min<qint64>(st.st_size, limit), out, err);
    ::close(fd);
    return ok;
}

bool writeAll(int fd, qint64 offset, const char* data, qint64 size, int* err) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        if (n == 0) {
            *err = EIO;
            return false;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

void HeadBytes::attach(int fd) {
    detach();
    void* page = ::mmap(nullptr, size_t(kMapped), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (page != MAP_FAILED)
        page_ = static_cast<char*>(page);
}

void HeadBytes::detach() {
    if (page_)
        ::munmap(page_, size_t(kMapped));
    page_ = nullptr;
}

bool HeadBytes::write(int fd, qint64 offset, const char* data, qint64 size, int* err) {
    if (!page_ || offset < 0 || offset + size > kMapped)
        return writeAll(fd, offset, data, size, err);
    std::memcpy(page_ + offset, data, size_t(size));
    return true;
}

bool replaceFile(const QString& path, const QByteArray& bytes, mode_t mode, QString* reason) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".tmp";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        *reason = QStringLiteral("no se pudo escribir %1 (%2)").arg(shownPath(path), systemReason(errno));
        return false;
    }
    int err = 0;
    bool ok = writeAll(fd, 0, bytes.constData(), bytes.size(), &err);
    if (ok && ::fchmod(fd, mode) != 0) {
        // The umask may have narrowed the permissions; failing to widen them is not fatal.
    }
    if (ok && ::fsync(fd) != 0) {
        err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (ok && ::rename(temp.constData(), target.constData()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.constData());
        *reason = QStringLiteral("no se pudo escribir %1 (%2)").arg(shownPath(path), systemReason(err));
    }
    return ok;
}

namespace {

// The name of a new copy of `path` kept now: after every copy of this second, so that the newest
// always has the highest number.
QString newCopyName(const QString& path) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    int n = 1;
    for (const KeptCopy& c : keptCopies(path))
        n = c.stamp == stamp ? qMax(n, c.number + 1) : n;
    return n == 1 ? QStringLiteral("%1.%2.bak").arg(path, stamp) : QStringLiteral("%1.%2-%3.bak").arg(path, stamp).arg(n);
}

}  // namespace

// The copy is written under a temporary name first, so that a copy under its own name is always
// whole.
bool keepCopy(const QString& path, int fd, mode_t mode, int* err) {
    const QByteArray temp = QFile::encodeName(path + QStringLiteral(".bak.tmp"));
    if (!copyFile(fd, temp, mode, err)) {
        ::unlink(temp.constData());
        return false;
    }
    const QString name = newCopyName(path);
    if (QFileInfo::exists(name) || ::rename(temp.constData(), QFile::encodeName(name).constData()) != 0) {
        *err = errno;
        ::unlink(temp.constData());
        return false;
    }
    const QList<KeptCopy> copies = keptCopies(path);
    for (qsizetype i = 0; i + kKeptCopies < copies.size(); ++i)
        QFile::remove(copies[i].path);
    return true;
}

}  // namespace dbf
}  // namespace kalto

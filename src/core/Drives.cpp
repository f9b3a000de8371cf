#include "core/Drives.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalto {

DriveSettings DriveSettings::fromSystem() {
    DriveSettings s;
    s.unidadA = qEnvironmentVariable("KALTO_UNIDAD_A");
    s.unidadC = qEnvironmentVariable("KALTO_UNIDAD_C");
    s.home = QDir::homePath();
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) s.user = QString::fromLocal8Bit(pw->pw_name);
    if (s.user.isEmpty()) s.user = qEnvironmentVariable("USER");
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady()) s.mountedVolumes << volume.rootPath();
    return s;
}

Drives::Drives(const QString& dataFolder, DriveSettings settings)
    : dataFolder_(dataFolder), settings_(std::move(settings)) {}

namespace {

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

// The removable volumes the desktop mounted for `user`: folders right under /media/<user>
// or /run/media/<user>.
QStringList removableVolumes(const DriveSettings& s) {
    QStringList found;
    if (s.user.isEmpty()) return found;
    const QStringList parents{QStringLiteral("/media/") + s.user, QStringLiteral("/run/media/") + s.user};
    for (const QString& root : s.mountedVolumes) {
        const QString clean = QDir::cleanPath(root);
        const QString parent = QFileInfo(clean).path();
        if (parents.contains(parent) && !found.contains(clean)) found << clean;
    }
    return found;
}

}  // namespace

QString Drives::folder(QChar letter, QString* error) const {
    auto fail = [&](const QString& message) {
        if (error) *error = message;
        return QString();
    };
    const QChar l = letter.toUpper();
    if (l == QLatin1Char('C')) {
        const QString path = settings_.unidadC.isEmpty() ? settings_.home : settings_.unidadC;
        if (path.isEmpty() || !QFileInfo(path).isDir())
            return fail(QStringLiteral("No se encuentra la unidad C: (la carpeta %1 no existe)").arg(native(path)));
        return QDir(path).absolutePath();
    }
    if (l != QLatin1Char('A')) return fail(QStringLiteral("La unidad %1: no existe").arg(letter));

    if (!settings_.unidadA.isEmpty()) {
        // A folder named by the user is never made: a disk that is not mounted must not
        // turn into an ordinary folder beneath its mount point.
        if (!QFileInfo(settings_.unidadA).isDir())
            return fail(QStringLiteral("No se encuentra la unidad A: (la carpeta %1 no existe; "
                                       "revise que el disco esté puesto)")
                            .arg(native(settings_.unidadA)));
        return QDir(settings_.unidadA).absolutePath();
    }
    const QStringList volumes = removableVolumes(settings_);
    if (volumes.size() == 1) return volumes.first();
    if (dataFolder_.isEmpty()) return fail(QStringLiteral("No se encuentra la unidad A:"));
    const QString path = QDir(dataFolder_).absoluteFilePath(QStringLiteral("A"));
    if (!QDir().mkpath(path) || !QFileInfo(path).isDir())
        return fail(QStringLiteral("No se pudo crear la carpeta %1 que hace de unidad A:").arg(native(path)));
    return path;
}

QString Drives::filePath(QChar letter, const QString& name, QString* error) const {
    const QString dir = folder(letter, error);
    return dir.isEmpty() ? QString() : QDir(dir).filePath(name);
}

QString Drives::describe(QChar letter) const {
    const QString dir = folder(letter);
    const QString drive = QString(letter.toUpper()) + QLatin1Char(':');
    return dir.isEmpty() ? drive : QStringLiteral("%1 (%2)").arg(drive, native(dir));
}

QString driveErrorReason(int e) {
    switch (e) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("el disco está lleno");
    case EFBIG:
        return QStringLiteral("el archivo es demasiado grande para el disco");
    case EROFS:
        return QStringLiteral("el disco está protegido contra escritura");
    case EACCES:
    case EPERM:
        return QStringLiteral("no hay permiso para escribir en el disco");
    case ENOENT:
        return QStringLiteral("el archivo o la carpeta no existe");
    case ENOTDIR:
        return QStringLiteral("la ruta de la unidad no es una carpeta");
    case EISDIR:
        return QStringLiteral("en el disco hay una carpeta con ese nombre");
    case EIO:
        return QStringLiteral("error de lectura o escritura en el disco");
    case ENODEV:
    case ENXIO:
#ifdef ENOMEDIUM
    case ENOMEDIUM:
#endif
        return QStringLiteral("no hay disco en la unidad");
    case ENAMETOOLONG:
        return QStringLiteral("el nombre del archivo es demasiado largo para el disco");
    case EBUSY:
        return QStringLiteral("el archivo está en uso");
    default:
        return QStringLiteral("error del sistema número %1 (%2)").arg(e).arg(QString::fromLocal8Bit(std::strerror(e)));
    }
}

bool Drives::copyFile(const QString& source, QChar letter, const QString& targetName, Failure* failure) const {
    auto fail = [&](const QString& reason) {
        if (failure) *failure = {targetName, reason};
        return false;
    };
    // Runs one step: the fault a test asked for, or the system call itself. -1 with errno set
    // on failure, as the system calls do.
    auto step = [&](Step s, auto&& call) -> decltype(call()) {
        if (fault_) {
            if (const int e = fault_(s, targetName)) {
                errno = e;
                return -1;
            }
        }
        return call();
    };

    if (targetName.isEmpty() || targetName.contains(QLatin1Char('/')))
        return fail(QStringLiteral("el nombre del archivo no es válido"));
    QString error;
    const QString dir = folder(letter, &error);
    if (dir.isEmpty()) return fail(error);

    const QByteArray sourcePath = QFile::encodeName(source);
    const int in = step(Step::OpenSource, [&] { return ::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC); });
    if (in < 0) {
        const int e = errno;
        return fail(QStringLiteral("no se pudo abrir el archivo de origen %1: %2")
                        .arg(native(source), e == EACCES || e == EPERM ? QStringLiteral("no hay permiso para leerlo")
                                                                       : driveErrorReason(e)));
    }

    struct stat sourceStat {};
    if (::fstat(in, &sourceStat) != 0) {
        const int e = errno;
        ::close(in);
        return fail(QStringLiteral("no se pudo leer el archivo de origen %1: %2").arg(native(source), driveErrorReason(e)));
    }
    auto isSource = [&](const struct stat& st) { return st.st_ino == sourceStat.st_ino && st.st_dev == sourceStat.st_dev; };

    const QString targetPath = QDir(dir).filePath(targetName);
    // A drive that leads to the source's own folder: the file is already there.
    if (struct stat st {}; ::stat(QFile::encodeName(targetPath).constData(), &st) == 0 && isSource(st)) {
        ::close(in);
        return true;
    }
    const QString tempPath = QDir(dir).filePath(QStringLiteral(".%1.%2.tmp").arg(targetName).arg(::getpid()));
    const QByteArray temp = QFile::encodeName(tempPath);
    const QByteArray target = QFile::encodeName(targetPath);
    int out = step(Step::CreateTemporary,
                   [&] { return ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644); });
    if (out < 0) {
        const int e = errno;
        ::close(in);
        return fail(driveErrorReason(e));
    }
    // From here a failure closes both files and takes the temporary file away.
    auto abandon = [&](const QString& reason) {
        ::close(in);
        if (out >= 0) ::close(out);
        ::unlink(temp.constData());
        return fail(reason);
    };

    char buffer[64 * 1024];
    qint64 copied = 0;
    for (;;) {
        const ssize_t n = step(Step::ReadSource, [&] { return ::read(in, buffer, sizeof buffer); });
        if (n < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            return abandon(QStringLiteral("no se pudo leer el archivo de origen %1: %2").arg(native(source), driveErrorReason(e)));
        }
        if (n == 0) break;
        ssize_t done = 0;
        while (done < n) {
            const ssize_t w = step(Step::Write, [&] { return ::write(out, buffer + done, size_t(n - done)); });
            if (w < 0) {
                if (errno == EINTR) continue;
                return abandon(driveErrorReason(errno));
            }
            if (w == 0) return abandon(driveErrorReason(ENOSPC));
            done += w;
        }
        copied += n;
    }
    if (step(Step::Flush, [&] { return ::fsync(out); }) != 0) return abandon(driveErrorReason(errno));
    struct stat written {};
    if (::fstat(out, &written) != 0) return abandon(driveErrorReason(errno));
    if (written.st_size != copied)
        return abandon(QStringLiteral("el disco guardó %1 bytes de %2").arg(qint64(written.st_size)).arg(copied));
    // The descriptor is released whatever close() (or a test's fault) reports.
    int closed = ::close(out);
    if (fault_ && closed == 0)
        if (const int e = fault_(Step::Close, targetName)) {
            errno = e;
            closed = -1;
        }
    out = -1;
    if (closed != 0) return abandon(driveErrorReason(errno));
    ::close(in);

    if (step(Step::Rename, [&] { return ::rename(temp.constData(), target.constData()); }) != 0) {
        const int e = errno;
        ::unlink(temp.constData());
        return fail(driveErrorReason(e));
    }
    // The rename must reach the disk too.
    if (const int d = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); d >= 0) {
        const int synced = ::fsync(d);
        const int e = errno;
        ::close(d);
        if (synced != 0 && e != EINVAL && e != EROFS)
            return fail(driveErrorReason(e));
    }

    // Another spelling of the same name (SECTOR.DBF beside Sector.dbf) is a stale copy that a
    // reader matching names without regard to case could take instead: it goes. On a disk
    // that ignores letter case it is the very file just written, and it stays; so does the
    // source itself (a drive that leads to the data folder).
    struct stat ours {};
    if (::stat(target.constData(), &ours) == 0) {
        const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& entry : entries) {
            if (entry == targetName || entry.compare(targetName, Qt::CaseInsensitive) != 0) continue;
            const QByteArray other = QFile::encodeName(QDir(dir).filePath(entry));
            struct stat st {};
            if (::stat(other.constData(), &st) == 0 && (st.st_ino != ours.st_ino || st.st_dev != ours.st_dev) &&
                !isSource(st))
                ::unlink(other.constData());
        }
    }
    return true;
}

QList<Drives::Failure> Drives::copyFiles(const QList<std::pair<QString, QString>>& files, QChar letter) const {
    QList<Failure> failures;
    for (const auto& [source, name] : files) {
        Failure f;
        if (!copyFile(source, letter, name, &f)) failures << f;
    }
    return failures;
}

QString Drives::failureMessage(const QList<Failure>& failures, QChar letter) const {
    if (failures.isEmpty()) return {};
    const QString drive = describe(letter);
    if (failures.size() == 1)
        return QStringLiteral("No se pudo grabar el archivo %1 en la unidad %2: %3.")
            .arg(failures.first().file, drive, failures.first().reason);
    QString text = QStringLiteral("No se pudieron grabar estos archivos en la unidad %1:").arg(drive);
    for (const Failure& f : failures) text += QStringLiteral("\n%1: %2.").arg(f.file, f.reason);
    return text;
}

}  // namespace kalto

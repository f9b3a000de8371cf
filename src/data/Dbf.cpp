#include "data/Dbf.h"

#include "data/Values.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalto {

namespace {

// ---------------------------------------------------------------------------------------------
// Windows-1252

// Bytes 0x80-0x9F. The five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 control of the same number, so that any byte read can be written back.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// The byte for `u`, or -1 when Windows-1252 cannot hold it.
int cp1252Byte(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == u)
            return 0x80 + i;
    }
    return -1;
}

// Bytes 0x80-0xFF of the MS-DOS code pages 437 and 850 (0x00-0x7F are ASCII in both).
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80-87
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88-8F
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90-97
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98-9F
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0-A7
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8-AF
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0-B7
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8-BF
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0-C7
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8-CF
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0-D7
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8-DF
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0-E7
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8-EF
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0-F7
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8-FF
};
constexpr char16_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80-87
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88-8F
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90-97
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  // 98-9F
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0-A7
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8-AF
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // B0-B7
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  // B8-BF
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // C0-C7
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  // C8-CF
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,  // D0-D7
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  // D8-DF
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // E0-E7
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  // E8-EF
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // F0-F7
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,  // F8-FF
};

const char16_t* dosHigh(DbfCodePage page) { return page == DbfCodePage::Dos437 ? kCp437High : kCp850High; }

// The byte for `u` in a single-byte code page, or -1 when the code page cannot hold it.
int codePageByte(DbfCodePage page, char16_t u) {
    if (u < 0x80)
        return u;
    switch (page) {
    case DbfCodePage::Windows1252:
        return cp1252Byte(u);
    case DbfCodePage::Latin1:
        return u <= 0xFF ? u : -1;
    case DbfCodePage::Dos437:
    case DbfCodePage::Dos850: {
        const char16_t* high = dosHigh(page);
        for (int i = 0; i < 128; ++i) {
            if (high[i] == u)
                return 0x80 + i;
        }
        return -1;
    }
    case DbfCodePage::Utf8:
        break;
    }
    return -1;
}

// Encodes `text`; on failure returns the position of the first character it cannot hold.
qsizetype encodeIn(DbfCodePage page, const QString& text, QByteArray* out) {
    if (page == DbfCodePage::Utf8) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            else if (text.at(i).isSurrogate())
                return i;  // half a character: UTF-8 has no bytes for it
        }
        *out = text.toUtf8();
        return -1;
    }
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* p = bytes.data();
    const QChar* s = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = codePageByte(page, s[i].unicode());
        if (b < 0)
            return i;
        p[i] = char(b);
    }
    *out = bytes;
    return -1;
}

QString decodeIn(DbfCodePage page, const char* bytes, int length) {
    switch (page) {
    case DbfCodePage::Windows1252:
        return fromCp1252(bytes, length);
    case DbfCodePage::Latin1:
        return QString::fromLatin1(bytes, length);
    case DbfCodePage::Utf8:
        return QString::fromUtf8(bytes, length);
    case DbfCodePage::Dos437:
    case DbfCodePage::Dos850:
        break;
    }
    const char16_t* high = dosHigh(page);
    QString text(qMax(0, length), Qt::Uninitialized);
    QChar* out = text.data();
    for (int i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(b >= 0x80 ? high[b - 0x80] : char16_t(b));
    }
    return text;
}

// The code page a language-driver byte stands for: those that mean 437, 850 or 1252 for the
// common readers, and 0 (no code page declared) for Windows-1252.
bool codePageOfDriver(unsigned char driver, DbfCodePage* page) {
    switch (driver) {
    case 0x00: case 0x03: case 0x57: case 0x58: case 0x59:
        *page = DbfCodePage::Windows1252;
        return true;
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18: case 0x19: case 0x1B:
        *page = DbfCodePage::Dos437;
        return true;
    case 0x02: case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A: case 0x1D: case 0x25:
    case 0x37:
        *page = DbfCodePage::Dos850;
        return true;
    default:
        return false;
    }
}

// The code page a .cpg file names, spelt as the GIS programs write it ("UTF-8", "1252",
// "ANSI 1252", "CP850", "OEM 437", "ISO-8859-1", "8859_1", ...).
bool codePageOfCpg(QByteArray contents, DbfCodePage* page) {
    if (contents.startsWith("\xEF\xBB\xBF"))
        contents.remove(0, 3);
    QString name = QString::fromLatin1(contents).trimmed().toUpper();
    name.remove(u' ');
    name.remove(u'-');
    name.remove(u'_');
    if (name == u"UTF8" || name == u"65001") {
        *page = DbfCodePage::Utf8;
        return true;
    }
    if (name == u"ISO88591" || name == u"88591" || name == u"LATIN1" || name == u"28591") {
        *page = DbfCodePage::Latin1;
        return true;
    }
    for (const char16_t* prefix : {u"WINDOWS", u"ANSI", u"OEM", u"IBM", u"MSDOS", u"DOS", u"CP"}) {
        if (name.startsWith(QStringView(prefix))) {
            name = name.mid(QStringView(prefix).size());
            break;
        }
    }
    const QList<QPair<QString, DbfCodePage>> numbers = {
        {QStringLiteral("1252"), DbfCodePage::Windows1252},
        {QStringLiteral("850"), DbfCodePage::Dos850},
        {QStringLiteral("437"), DbfCodePage::Dos437},
    };
    for (const auto& [number, p] : numbers) {
        if (name == number) {
            *page = p;
            return true;
        }
    }
    return false;
}

QString characterName(const QString& text, qsizetype at) {
    char32_t code = text.at(at).unicode();
    QString shown = text.mid(at, 1);
    if (text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text.at(at), text.at(at + 1));
        shown = text.mid(at, 2);
    }
    return QStringLiteral("«%1» (U+%2)").arg(shown, QString::number(uint(code), 16).toUpper().rightJustified(4, u'0'));
}

// ---------------------------------------------------------------------------------------------
// Messages

QString shownPath(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

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

namespace {

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

QString damaged(const QString& path, const QString& why) {
    return QStringLiteral("El archivo %1 está dañado: %2.").arg(shownPath(path), why);
}

// ---------------------------------------------------------------------------------------------
// Little-endian fields of the header

quint32 readU32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}
quint16 readU16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[0] | u[1] << 8);
}
void writeU32(char* p, quint32 v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}
void writeU16(char* p, quint16 v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

// Years since 1900, month, day.
void putDate(char* p, const QDate& d) {
    p[0] = char(std::clamp(d.year() - 1900, 0, 255));
    p[1] = char(d.month());
    p[2] = char(d.day());
}

// ---------------------------------------------------------------------------------------------
// File helpers

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

// Writes `bytes` to `path` + ".tmp", then renames it over `path`. The old file (if any)
// stays untouched unless the rename succeeds. `mode` gives the new file's permissions. The
// reason of a failure names `path`, the file the user knows.
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

constexpr int kKeptCopies = 3;  // copies kept per table; older ones are removed

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

// Keeps a copy of the file open as `fd` (the table `path` as it is now) beside it, as
// NAME.DBF.AAAAMMDD-HHMMSS.bak (-2, -3... when a copy of that second exists), synced before the
// write it precedes, and removes all but the newest kKeptCopies. It is written under a temporary
// name first, so that a copy under that name is always whole.
bool keepCopy(const QString& path, int fd, mode_t mode, int* err) {
    const QByteArray temp = QFile::encodeName(path + QStringLiteral(".bak.tmp"));
    const int out = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (out < 0) {
        *err = errno;
        return false;
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    bool ok = true;
    for (qint64 at = 0; ok;) {
        const ssize_t n = ::pread(fd, buffer.data(), size_t(buffer.size()), off_t(at));
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
    ok = ::close(out) == 0 && ok;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QList<KeptCopy> copies = keptCopies(path);
    int n = 1;  // after every copy of this second, so that the newest always has the highest number
    for (const KeptCopy& c : std::as_const(copies))
        n = c.stamp == stamp ? qMax(n, c.number + 1) : n;
    const QString name = n == 1 ? QStringLiteral("%1.%2.bak").arg(path, stamp)
                                : QStringLiteral("%1.%2-%3.bak").arg(path, stamp).arg(n);
    if (ok && !QFileInfo::exists(name) && ::rename(temp.constData(), QFile::encodeName(name).constData()) == 0) {
        copies = keptCopies(path);
        for (qsizetype i = 0; i + kKeptCopies < copies.size(); ++i)
            QFile::remove(copies[i].path);
        return true;
    }
    if (ok)
        *err = errno;
    ::unlink(temp.constData());
    return false;
}

constexpr qint64 kMaxTableBytes = qint64(1) << 30;  // far beyond any table of this program
constexpr qint64 kSlack = 4096;  // bytes after the records and the end mark that opening tolerates

// Why a file of this status cannot be a table; empty when it can be one.
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

// The status of `path` (a link followed), refusing with a message what cannot be a table.
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

// Appends to *out (or to `one` when out is null) up to `n` bytes read at `offset`; fewer at the
// end of the file.
bool readAt(int fd, qint64 offset, qint64 n, QByteArray* out, int* err, char* one = nullptr) {
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

// Reads at most `limit` bytes of the regular file `path` (never blocking on a FIFO); false with
// the errno in *err (ENOENT when there is no such file, EINVAL when it is no regular file).
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

// ---------------------------------------------------------------------------------------------
// The journal (its layout is described in Dbf.h)

constexpr char kJournalMagic[] = "KALTOJNL";
constexpr int kJournalHeader = 32;

quint32 fnv1a(const char* p, qsizetype n) {
    quint32 h = 2166136261u;
    for (qsizetype i = 0; i < n; ++i)
        h = (h ^ static_cast<unsigned char>(p[i])) * 16777619u;
    return h;
}

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

struct JournalEntry {
    qint64 offset;
    QByteArray before;
};

// Reads a journal for a table of these lengths: its whole entries and the record count when it
// began. False when it is not one (another table's, or cut before its header was whole).
bool parseJournal(const QByteArray& j, int headerLength, int recordLength, QList<JournalEntry>* entries,
                  qint64* count, QList<QByteArray>* after) {
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
        entries->append({qint64(offset), j.mid(at + 12, length)});
        after->append(j.mid(at + 12 + length, length));
        at = sum + 4;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Numbers as decimal text

struct Decimal {
    bool negative = false;
    QByteArray whole;     // digits before the point (may be empty)
    QByteArray fraction;  // digits after it
};

// A plain decimal number: optional sign, digits, optional '.' (or ',' when `comma`) and digits.
// At least one digit. No blanks inside, no exponent.
bool parseDecimal(const char* p, qsizetype n, bool comma, Decimal* out) {
    qsizetype i = 0;
    Decimal d;
    if (i < n && (p[i] == '-' || p[i] == '+')) {
        d.negative = p[i] == '-';
        ++i;
    }
    while (i < n && p[i] >= '0' && p[i] <= '9')
        d.whole.append(p[i++]);
    if (i < n && (p[i] == '.' || (comma && p[i] == ','))) {
        ++i;
        while (i < n && p[i] >= '0' && p[i] <= '9')
            d.fraction.append(p[i++]);
    }
    if (i != n || (d.whole.isEmpty() && d.fraction.isEmpty()))
        return false;
    *out = d;
    return true;
}

// The text of a number rounded to `decimals` places, half away from zero.
QByteArray formatDecimal(Decimal d, int decimals) {
    QByteArray digits = d.whole + d.fraction.left(decimals);
    digits.append(QByteArray(qMax(0, decimals - int(d.fraction.size())), '0'));
    const bool roundUp = d.fraction.size() > decimals && d.fraction.at(decimals) >= '5';
    if (roundUp) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                digits[i] = char(digits[i] + 1);
                break;
            }
        }
        if (i < 0)
            digits.prepend('1');
    }
    QByteArray whole = digits.left(digits.size() - decimals);
    const QByteArray fraction = digits.right(decimals);
    qsizetype lead = 0;
    while (lead < whole.size() && whole[lead] == '0')
        ++lead;
    whole = whole.mid(lead);
    if (whole.isEmpty())
        whole = "0";
    const bool zero = whole == "0" && fraction.count('0') == fraction.size();
    QByteArray text;
    if (d.negative && !zero)
        text.append('-');
    text.append(whole);
    if (decimals > 0) {
        text.append('.');
        text.append(fraction);
    }
    return text;
}

bool isBlank(const char* p, int n) {
    for (int i = 0; i < n; ++i) {
        if (p[i] != ' ')
            return false;
    }
    return true;
}

bool isTextVariant(const QVariant& v) {
    const int t = v.typeId();
    return t == QMetaType::QString || t == QMetaType::QByteArray || t == QMetaType::QChar;
}

bool isNumberVariant(const QVariant& v) { return isNumberValue(v) || v.typeId() == QMetaType::Bool; }

// ---------------------------------------------------------------------------------------------
// Field values

QVariant readNumeric(const char* p, int width, int decimals) {
    int b = 0, e = width;
    while (b < e && (p[b] == ' ' || p[b] == '\0'))
        ++b;
    while (e > b && (p[e - 1] == ' ' || p[e - 1] == '\0'))
        --e;
    if (b == e)
        return {};
    // The usual case, a plain integer, without building a decimal.
    if (e - b <= 18) {
        int i = b;
        const bool negative = p[i] == '-';
        if (negative)
            ++i;
        qint64 v = 0;
        while (i < e && p[i] >= '0' && p[i] <= '9')
            v = v * 10 + (p[i++] - '0');
        if (i == e && i > b + (negative ? 1 : 0))
            return decimals == 0 ? QVariant(negative ? -v : v) : QVariant(double(negative ? -v : v));
    }
    bool stars = true;
    for (int i = b; i < e; ++i)
        stars = stars && p[i] == '*';
    if (stars)
        return {};
    Decimal d;
    if (!parseDecimal(p + b, e - b, true, &d))
        return {};
    if (decimals == 0 && d.fraction.isEmpty() && d.whole.size() <= 18) {
        qint64 v = 0;
        for (char c : std::as_const(d.whole))
            v = v * 10 + (c - '0');
        return QVariant(d.negative ? -v : v);
    }
    QByteArray text = (d.negative ? "-" : "") + (d.whole.isEmpty() ? QByteArray("0") : d.whole);
    if (!d.fraction.isEmpty())
        text += '.' + d.fraction;
    double v = 0;
    const auto r = std::from_chars(text.constData(), text.constData() + text.size(), v);
    if (r.ec != std::errc())
        return {};
    return QVariant(v);
}

QVariant readDate(const char* p, int width) {
    if (width < 8 || isBlank(p, width))
        return {};
    int parts[3] = {0, 0, 0};
    const int sizes[3] = {4, 2, 2};
    int at = 0;
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < sizes[k]; ++i, ++at) {
            if (p[at] < '0' || p[at] > '9')
                return {};
            parts[k] = parts[k] * 10 + (p[at] - '0');
        }
    }
    const QDate date(parts[0], parts[1], parts[2]);
    return date.isValid() ? QVariant(date) : QVariant();
}

QString fieldMessage(const DbfField& f, const QString& what) {
    return QStringLiteral("No se puede guardar el campo %1: %2.").arg(f.name, what);
}

// Encodes `text` in `page`; a character the code page cannot hold (even once accents typed
// apart are joined to their letters) gives false and a message naming it.
bool encodeText(DbfCodePage page, const QString& text, QByteArray* out, QString* error) {
    QByteArray bytes;
    qsizetype bad = encodeIn(page, text, &bytes);
    QString normal;
    if (bad >= 0) {
        // Text pasted from elsewhere may hold a letter and its accent as two characters.
        normal = text.normalized(QString::NormalizationForm_C);
        bad = encodeIn(page, normal, &bytes);
    }
    if (bad >= 0) {
        if (page == DbfCodePage::Windows1252)
            setError(error, QStringLiteral("El carácter %1 no existe en Windows-1252, el juego de caracteres de las tablas.")
                                .arg(characterName(normal, bad)));
        else
            setError(error, QStringLiteral("El carácter %1 no existe en %2, el juego de caracteres de este archivo.")
                                .arg(characterName(normal, bad), codePageName(page)));
        return false;
    }
    if (out)
        *out = bytes;
    return true;
}

bool encodeCharacter(const DbfField& f, const QVariant& v, DbfCodePage page, char* dest, QString* error) {
    QString text = v.toString();
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    text.truncate(end);
    if (text.isEmpty())
        return true;
    QByteArray bytes;
    QString why;
    if (!encodeText(page, text, &bytes, &why)) {
        why[0] = why.at(0).toLower();
        if (why.endsWith(u'.'))
            why.chop(1);
        setError(error, fieldMessage(f, why));
        return false;
    }
    if (bytes.size() > f.width) {
        const QString what = page == DbfCodePage::Utf8 && bytes.size() != text.size()
                                 ? QStringLiteral("el texto ocupa %1 bytes en UTF-8 y el campo admite %2")
                                 : QStringLiteral("el texto tiene %1 caracteres y el campo admite %2");
        setError(error, fieldMessage(f, what.arg(bytes.size()).arg(f.width)));
        return false;
    }
    std::memcpy(dest, bytes.constData(), size_t(bytes.size()));
    return true;
}

bool encodeNumeric(const DbfField& f, const QVariant& v, char* dest, QString* error) {
    Decimal d;
    QString shown;
    if (isTextVariant(v)) {
        const QString text = v.toString().trimmed();
        if (text.isEmpty())
            return true;
        const QByteArray latin = text.toLatin1();
        if (!parseDecimal(latin.constData(), latin.size(), false, &d)) {
            setError(error, fieldMessage(f, QStringLiteral("el campo es numérico y «%1» no es un número").arg(text)));
            return false;
        }
        shown = text;
    } else if (isNumberVariant(v)) {
        QByteArray text;
        switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float: {
            const double x = v.toDouble();
            if (!std::isfinite(x)) {
                setError(error, fieldMessage(f, QStringLiteral("el valor no es un número")));
                return false;
            }
            text = QByteArray::number(x, 'f', QLocale::FloatingPointShortest);
            break;
        }
        case QMetaType::ULongLong:
        case QMetaType::ULong:
        case QMetaType::UInt:
            text = QByteArray::number(v.toULongLong());
            break;
        case QMetaType::Bool:
            text = v.toBool() ? "1" : "0";
            break;
        default:
            text = QByteArray::number(v.toLongLong());
            break;
        }
        parseDecimal(text.constData(), text.size(), false, &d);
        shown = v.toString();
    } else {
        setError(error, fieldMessage(f, QStringLiteral("el campo es numérico y «%1» no es un número").arg(v.toString())));
        return false;
    }
    QByteArray text = formatDecimal(d, f.decimals);
    if (text.size() > f.width && f.decimals > 0) {
        // "0.50" may still fit as ".50".
        const qsizetype zero = text.startsWith('-') ? 1 : 0;
        if (text.at(zero) == '0')
            text.remove(zero, 1);
    }
    if (text.size() > f.width) {
        const QString room = f.decimals > 0
                                 ? QStringLiteral("%1 posiciones con %2 decimales").arg(f.width).arg(f.decimals)
                                 : QStringLiteral("%1 posiciones sin decimales").arg(f.width);
        setError(error, fieldMessage(f, QStringLiteral("el número %1 no cabe en el campo (%2)").arg(shown, room)));
        return false;
    }
    std::memcpy(dest + (f.width - text.size()), text.constData(), size_t(text.size()));
    return true;
}

bool encodeLogical(const DbfField& f, const QVariant& v, char* dest, QString* error) {
    bool value = false;
    if (isNullValue(v)) {
        value = false;
    } else if (v.typeId() == QMetaType::Bool) {
        value = v.toBool();
    } else if (isNumberVariant(v)) {
        value = v.toDouble() != 0.0;
    } else if (isTextVariant(v)) {
        const QString t = v.toString().trimmed().toUpper();
        static const QStringList yes = {"T", "TRUE", "S", "SI", "SÍ", "Y", "YES", "V", "VERDADERO", "1", "-1"};
        static const QStringList no = {"", "F", "FALSE", "N", "NO", "FALSO", "0"};
        if (yes.contains(t)) {
            value = true;
        } else if (no.contains(t)) {
            value = false;
        } else {
            setError(error, fieldMessage(f, QStringLiteral("el campo es lógico (verdadero o falso) y no admite «%1»")
                                                .arg(v.toString())));
            return false;
        }
    } else {
        setError(error, fieldMessage(f, QStringLiteral("el campo es lógico (verdadero o falso) y no admite «%1»")
                                            .arg(v.toString())));
        return false;
    }
    dest[0] = value ? 'T' : 'F';
    return true;
}

bool encodeDate(const DbfField& f, const QVariant& v, char* dest, QString* error) {
    QDate date;
    if (v.typeId() == QMetaType::QDate) {
        date = v.toDate();
        if (!date.isValid())
            return true;  // an empty date
    } else if (v.typeId() == QMetaType::QDateTime) {
        date = v.toDateTime().date();
        if (!date.isValid())
            return true;
    } else if (isTextVariant(v)) {
        const QString t = v.toString().trimmed();
        if (t.isEmpty())
            return true;
        if (t.size() == 10 && t.at(4) == u'-' && t.at(7) == u'-')
            date = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
        else if (t.size() == 8)
            date = QDate::fromString(t, QStringLiteral("yyyyMMdd"));
        bool digits = true;
        for (QChar c : t)
            digits = digits && (c.isDigit() || c == u'-');
        if (!digits)
            date = QDate();
        if (!date.isValid()) {
            setError(error, fieldMessage(f, QStringLiteral("«%1» no es una fecha válida (AAAA-MM-DD)").arg(t)));
            return false;
        }
    } else {
        setError(error, fieldMessage(f, QStringLiteral("«%1» no es una fecha").arg(v.toString())));
        return false;
    }
    if (date.year() < 1 || date.year() > 9999) {
        setError(error, fieldMessage(f, QStringLiteral("el año %1 no cabe en una fecha").arg(date.year())));
        return false;
    }
    const QByteArray text = date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
    if (text.size() != 8 || f.width < 8) {
        setError(error, fieldMessage(f, QStringLiteral("la fecha no cabe en el campo")));
        return false;
    }
    std::memcpy(dest, text.constData(), 8);
    return true;
}

bool validName(const QString& name) {
    if (name.isEmpty() || name.size() > 10)
        return false;
    for (QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
        if (!ok)
            return false;
    }
    return true;
}

// Empty when the descriptor is sound for writing; otherwise what is wrong with it.
QString checkFieldForCreate(const DbfField& f) {
    if (!validName(f.name))
        return QStringLiteral("el nombre de campo «%1» no es válido (de 1 a 10 letras sin acentos, cifras o _)").arg(f.name);
    switch (f.type) {
    case DbfType::Character:
        if (f.width < 1 || f.width > 254)
            return QStringLiteral("el campo %1 debe medir de 1 a 254 caracteres").arg(f.name);
        if (f.decimals != 0)
            return QStringLiteral("el campo de texto %1 no lleva decimales").arg(f.name);
        break;
    case DbfType::Numeric:
        if (f.width < 1 || f.width > 20)
            return QStringLiteral("el campo numérico %1 debe medir de 1 a 20 posiciones").arg(f.name);
        if (f.decimals < 0 || f.decimals > 15 || (f.decimals > 0 && f.decimals > f.width - 2))
            return QStringLiteral("el campo numérico %1 tiene demasiados decimales para su ancho").arg(f.name);
        break;
    case DbfType::Logical:
        if (f.width != 1 || f.decimals != 0)
            return QStringLiteral("el campo lógico %1 debe medir 1 posición").arg(f.name);
        break;
    case DbfType::Date:
        if (f.width != 8 || f.decimals != 0)
            return QStringLiteral("el campo de fecha %1 debe medir 8 posiciones").arg(f.name);
        break;
    default:
        return QStringLiteral("el campo %1 es de un tipo desconocido").arg(f.name);
    }
    return {};
}

const QList<int> kNoRecords;

QString journalPath(const QString& path) { return path + QStringLiteral(".jnl"); }

// Applies the journal beside `path`, if there is one, to the bytes of the file read into `file`:
// the old bytes of every whole entry go back, newest first, and records inserted since the journal
// began (in the transaction that was not ended) are taken off. Unless `readOnly`, the file is mended the same way and the journal removed;
// a journal that is not this file's (its lengths differ, or the file holds at an entry's place
// bytes that are neither its old nor its new ones) is removed without being applied. False (with a
// message) only when the mend cannot be written; the journal then stays for the next opening.
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
    QList<QByteArray> afters;
    qint64 began = 0;
    bool ours = parseJournal(bytes, headerLength, recordLength, &entries, &began, &afters);
    QByteArray mended = *file;
    bool matched = false;  // an entry was checked against the file's bytes
    for (qsizetype i = entries.size() - 1; ours && i >= 0; --i) {
        const JournalEntry& e = entries[i];
        if (e.offset >= mended.size())
            continue;  // records taken off since
        const qsizetype n = qMin<qint64>(e.before.size(), mended.size() - e.offset);
        char* at = mended.data() + e.offset;
        for (qsizetype k = 0; k < n && ours; ++k)
            ours = at[k] == e.before[k] || at[k] == afters[i][k];
        if (ours)
            std::memcpy(at, e.before.constData(), size_t(n));
        matched = true;
    }
    // Records inserted since the journal began go too, when the journal has shown it is this
    // file's: an entry always holds bytes that the write changed.
    const qint64 end = headerLength + began * recordLength;
    const bool cut = ours && matched && readU32(mended.constData() + 4) > began && end < mended.size();
    if (cut) {
        mended.truncate(end);
        mended.append('\x1A');
        writeU32(mended.data() + 4, quint32(began));
    }
    if (readOnly) {
        if (ours)
            *file = mended;
        return true;
    }
    if (ours) {
        bool ok = true;
        for (const JournalEntry& e : std::as_const(entries)) {
            const qint64 n = qMin<qint64>(e.before.size(), mended.size() - e.offset);
            if (n > 0 && ok)
                ok = writeAll(fd, e.offset, mended.constData() + e.offset, n, &err);
        }
        // Taking records off: the end mark first, then the count, then the length; the file reads
        // the same records after each step.
        if (cut && ok)
            ok = writeAll(fd, end, "\x1A", 1, &err) && writeAll(fd, 4, mended.constData() + 4, 4, &err);
        if (cut && ok && ::ftruncate(fd, off_t(end + 1)) != 0) {
            // The bytes past the end mark are not read.
        }
        if (!ok) {
            setError(error, QStringLiteral("No se pudieron reponer en el archivo %1 los registros que dejó a medias un "
                                           "cierre inesperado: %2.")
                                .arg(shownPath(path), systemReason(err)));
            return false;
        }
        *file = mended;
    }
    QFile::remove(name);
    return true;
}

}  // namespace

QString cpgBeside(const QString& path) {
    const QFileInfo info(path);
    const QString base = info.dir().filePath(info.completeBaseName());
    for (const char* suffix : {".cpg", ".CPG", ".Cpg"}) {
        const QString cpg = base + QLatin1String(suffix);
        if (QFileInfo(cpg).isFile())
            return cpg;
    }
    return {};
}

// -------------------------------------------------------------------------------------------------

QString fromCp1252(const char* bytes, int length) {
    QString text(qMax(0, length), Qt::Uninitialized);
    QChar* out = text.data();
    for (int i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

bool toCp1252(const QString& text, QByteArray* out, QString* error) {
    return encodeText(DbfCodePage::Windows1252, text, out, error);
}

QString codePageName(DbfCodePage page) {
    switch (page) {
    case DbfCodePage::Windows1252: return QStringLiteral("Windows-1252");
    case DbfCodePage::Dos437: return QStringLiteral("MS-DOS 437");
    case DbfCodePage::Dos850: return QStringLiteral("MS-DOS 850");
    case DbfCodePage::Latin1: return QStringLiteral("ISO-8859-1");
    case DbfCodePage::Utf8: return QStringLiteral("UTF-8");
    }
    return {};
}

// -------------------------------------------------------------------------------------------------

DbfTable::~DbfTable() {
    // A transaction the engine never ended leaves its journal: the next opening undoes it.
    endJournal(!inTransaction_);
    if (fd_ >= 0)
        ::close(fd_);
}

bool DbfTable::inspect(const QString& path, QString* error) {
    struct stat st {};
    if (!statTable(path, &st, error))
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        setError(error, QStringLiteral("No se pudo abrir el archivo %1: %2.").arg(shownPath(path), systemReason(errno)));
        return false;
    }
    QByteArray head;
    char last = 0;
    int err = 0;
    const bool read = readAt(fd, 0, 32, &head, &err) && (st.st_size == 0 || readAt(fd, st.st_size - 1, 1, nullptr, &err, &last));
    ::close(fd);
    if (!read) {
        setError(error, QStringLiteral("No se pudo leer el archivo %1: %2.").arg(shownPath(path), systemReason(err)));
        return false;
    }
    if (head.size() < 32) {
        setError(error, damaged(path, QStringLiteral("es demasiado corto para ser una tabla dBase")));
        return false;
    }
    const qint64 expected = qint64(readU16(head.constData() + 8)) +
                            qint64(readU32(head.constData() + 4)) * qint64(readU16(head.constData() + 10));
    if (st.st_size == expected || (st.st_size == expected + 1 && last == '\x1A'))
        return true;
    setError(error, damaged(path, QStringLiteral("mide %1 bytes y su encabezado indica %2").arg(st.st_size).arg(expected)));
    return false;
}

std::unique_ptr<DbfTable> DbfTable::open(const QString& path, QString* error, DbfAccess access) {
    // Decided by the file's status first: a FIFO, a device or a folder is never opened for
    // reading, and no more than the header and the records it counts is ever read.
    struct stat st {};
    if (!statTable(path, &st, error))
        return nullptr;
    const QByteArray native = QFile::encodeName(path);
    bool readOnly = access == DbfAccess::ReadOnly;
    int fd = -1;
    if (!readOnly) {
        fd = ::open(native.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);  // a FIFO put there meanwhile must not hang us
        if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY))
            readOnly = true;
    }
    if (readOnly)
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            setError(error, QStringLiteral("No se encontró el archivo %1.").arg(shownPath(path)));
        else
            setError(error, QStringLiteral("No se pudo abrir el archivo %1: %2.").arg(shownPath(path), systemReason(err)));
        return nullptr;
    }
    std::unique_ptr<DbfTable> t(new DbfTable);
    t->fd_ = fd;
    t->path_ = path;
    t->readOnly_ = readOnly;

    if (::fstat(fd, &st) != 0) {
        setError(error, QStringLiteral("No se pudo abrir el archivo %1: %2.").arg(shownPath(path), systemReason(errno)));
        return nullptr;
    }
    if (const QString why = notATable(st); !why.isEmpty()) {
        setError(error, QStringLiteral("No se puede abrir el archivo %1: %2.").arg(shownPath(path), why));
        return nullptr;
    }
    // The header's first 32 bytes tell how much more to read: the descriptors, the records the
    // header counts, one record more (an interrupted insert) and the end mark.
    QByteArray file;
    int err = 0;
    bool read = readAt(fd, 0, 32, &file, &err);
    const qint64 fileSize = st.st_size;
    if (read && file.size() == 32) {
        const qint64 declared = readU32(file.constData() + 4);
        const qint64 length = readU16(file.constData() + 10);
        const qint64 wanted = readU16(file.constData() + 8) + (declared + 1) * length + 1;
        if (fileSize > wanted + kSlack) {
            setError(error, damaged(path, QStringLiteral("mide %1 bytes y su encabezado indica %2")
                                              .arg(fileSize)
                                              .arg(wanted - length - 1)));
            return nullptr;
        }
        read = readAt(fd, 32, std::min(fileSize, std::max<qint64>(wanted, 0x10000 + 64)) - 32, &file, &err);
    }
    if (!read) {
        setError(error, QStringLiteral("No se pudo leer el archivo %1: %2.").arg(shownPath(path), systemReason(err)));
        return nullptr;
    }
    qint64 size = file.size();
    const char* b = file.constData();

    if (size == 0) {
        setError(error, damaged(path, QStringLiteral("está vacío")));
        return nullptr;
    }
    if (size < 32) {
        setError(error, damaged(path, QStringLiteral("es demasiado corto para ser una tabla dBase")));
        return nullptr;
    }
    const int headerLength = readU16(b + 8);
    const int recordLength = readU16(b + 10);
    if (headerLength > size) {
        setError(error, damaged(path, QStringLiteral("la longitud de su encabezado (%1 bytes) pasa del final del archivo")
                                         .arg(headerLength)));
        return nullptr;
    }
    if (headerLength < 33) {
        setError(error, damaged(path, QStringLiteral("la longitud de su encabezado (%1 bytes) es menor que la mínima")
                                         .arg(headerLength)));
        return nullptr;
    }

    // Field descriptors: 32 bytes each from byte 32, up to the 0x0D that ends them, which must be
    // the last byte of the header. A header length that disagrees would read every record shifted.
    qint64 pos = 32;
    while (pos < headerLength - 1 && b[pos] != '\x0D')
        pos += 32;
    if (pos >= headerLength - 1 && (pos >= size || b[pos] != '\x0D')) {
        while (pos < size && b[pos] != '\x0D')  // a terminator further on: the length is too small
            pos += 32;
    }
    if (pos >= size) {
        setError(error, damaged(path, QStringLiteral("falta la marca (0x0D) que cierra la lista de campos")));
        return nullptr;
    }
    const int fieldCount = int((pos - 32) / 32);
    if (pos != headerLength - 1) {
        setError(error, damaged(path, QStringLiteral("la longitud de su encabezado (%1 bytes) no es la que piden sus "
                                                     "%2 campos (%3 bytes)")
                                         .arg(headerLength)
                                         .arg(fieldCount)
                                         .arg(pos + 1)));
        return nullptr;
    }
    if (fieldCount == 0) {
        setError(error, damaged(path, QStringLiteral("no tiene campos")));
        return nullptr;
    }
    if (recordLength == 0) {
        setError(error, damaged(path, QStringLiteral("la longitud del registro es cero")));
        return nullptr;
    }

    qint64 widthSum = 1;
    for (int i = 0; i < fieldCount; ++i) {
        const char* d = b + 32 + 32 * i;
        int nameLength = 0;
        while (nameLength < 11 && d[nameLength] != '\0')
            ++nameLength;
        while (nameLength > 0 && d[nameLength - 1] == ' ')
            --nameLength;
        bool ascii = true;
        for (int k = 0; k < nameLength; ++k) {
            const auto c = static_cast<unsigned char>(d[k]);
            ascii = ascii && c > 0x20 && c < 0x7F;
        }
        if (!ascii) {
            setError(error, damaged(path, QStringLiteral("el nombre del campo %1 no está escrito en ASCII").arg(i + 1)));
            return nullptr;
        }
        if (nameLength == 0) {
            setError(error, damaged(path, QStringLiteral("el campo %1 no tiene nombre").arg(i + 1)));
            return nullptr;
        }
        DbfField f;
        f.name = QString::fromLatin1(d, nameLength);
        const char type = d[11];
        f.width = static_cast<unsigned char>(d[16]);
        f.decimals = static_cast<unsigned char>(d[17]);
        switch (type) {
        case 'C': f.type = DbfType::Character; break;
        case 'N':
        case 'F': f.type = DbfType::Numeric; break;  // a dBase IV float is written as text like a numeric
        case 'L': f.type = DbfType::Logical; break;
        case 'D': f.type = DbfType::Date; break;
        default: {
            const auto u = static_cast<unsigned char>(type);
            const QString shown = u > 0x20 && u < 0x7F ? QStringLiteral("«%1»").arg(QLatin1Char(type))
                                                       : QStringLiteral("código %1").arg(u);
            setError(error, damaged(path, QStringLiteral("el campo %1 es de un tipo desconocido (%2)").arg(f.name, shown)));
            return nullptr;
        }
        }
        if (f.width == 0) {
            setError(error, damaged(path, QStringLiteral("el campo %1 tiene ancho cero").arg(f.name)));
            return nullptr;
        }
        if (f.type == DbfType::Logical && f.width != 1) {
            setError(error, damaged(path, QStringLiteral("el campo lógico %1 mide %2 bytes en lugar de 1").arg(f.name).arg(f.width)));
            return nullptr;
        }
        if (f.type == DbfType::Date && f.width != 8) {
            setError(error, damaged(path, QStringLiteral("el campo de fecha %1 mide %2 bytes en lugar de 8").arg(f.name).arg(f.width)));
            return nullptr;
        }
        if (f.type != DbfType::Numeric)
            f.decimals = 0;
        for (const DbfField& other : std::as_const(t->fields_)) {
            if (other.name.compare(f.name, Qt::CaseInsensitive) == 0) {
                setError(error, damaged(path, QStringLiteral("el campo %1 aparece dos veces").arg(f.name)));
                return nullptr;
            }
        }
        t->offsets_.append(int(widthSum));
        widthSum += f.width;
        t->fields_.append(f);
    }
    if (widthSum != recordLength) {
        setError(error, damaged(path, QStringLiteral("la longitud del registro no coincide con sus campos")));
        return nullptr;
    }

    // The code page: a .cpg file beside the table, or else the language-driver byte.
    const QString cpg = cpgBeside(path);
    if (!cpg.isEmpty()) {
        QByteArray contents;
        if (!readSmallFile(cpg, 4096, &contents, &err)) {
            setError(error, QStringLiteral("No se pudo leer el archivo %1: %2.").arg(shownPath(cpg), systemReason(err)));
            return nullptr;
        }
        if (!codePageOfCpg(contents, &t->codePage_)) {
            setError(error, QStringLiteral("No se puede abrir el archivo %1: el archivo %2 declara el juego de caracteres "
                                           "«%3», que este programa no sabe leer.")
                                .arg(shownPath(path), shownPath(cpg), QString::fromLatin1(contents).trimmed()));
            return nullptr;
        }
    } else if (!codePageOfDriver(static_cast<unsigned char>(b[29]), &t->codePage_)) {
        setError(error, QStringLiteral("No se puede abrir el archivo %1: declara el juego de caracteres 0x%2 (byte 29 "
                                       "del encabezado), que este programa no sabe leer.")
                            .arg(shownPath(path),
                                 QString::number(static_cast<unsigned char>(b[29]), 16).toUpper().rightJustified(2, u'0')));
        return nullptr;
    }

    // Records rewritten in place by a process that was killed: the journal puts them back.
    if (!recoverJournal(path, fd, readOnly, headerLength, recordLength, &file, error))
        return nullptr;
    size = file.size();
    b = file.constData();

    // Records. They end at the header's count, or at an end mark met before it (the end mark may
    // be followed by anything). An insert writes the record (and the end mark) first and the new
    // count afterwards, so a whole record past the count, or a torn one, is what an interrupted
    // insert left: that is repaired. Any other disagreement is refused and left alone.
    const qint64 declared = readU32(b + 4);
    const qint64 room = (size - headerLength) / recordLength;
    const qint64 partial = (size - headerLength) % recordLength;
    auto isFlag = [](char c) { return c == ' ' || c == '*'; };
    enum class Repair { None, Torn, TornCounted, Recovered } repair = Repair::None;
    qint64 count = 0;
    bool marked = false;
    for (const qint64 counted = std::min(declared, room); count < counted; ++count) {
        const char flag = b[headerLength + count * recordLength];
        if (flag == '\x1A') {
            marked = true;
            break;
        }
        if (!isFlag(flag)) {
            const auto u = static_cast<unsigned char>(flag);
            const QString shown = u > 0x20 && u < 0x7F ? QStringLiteral("«%1»").arg(QLatin1Char(flag))
                                                       : QStringLiteral("código %1").arg(u);
            setError(error, damaged(path, QStringLiteral("el registro %1 tiene una marca de borrado no válida (%2)")
                                             .arg(count + 1)
                                             .arg(shown)));
            return nullptr;
        }
    }
    const qint64 end = headerLength + count * recordLength;
    if (!marked && declared > room) {
        if (partial > 0 && b[end] == '\x1A') {
            // The end mark with less than a record after it: the records end there.
        } else if (declared == room + 1 && partial > 0 && isFlag(b[end])) {
            repair = Repair::TornCounted;
        } else {
            setError(error, damaged(path, QStringLiteral("declara %1 registros y solo contiene %2").arg(declared).arg(room)));
            return nullptr;
        }
    } else if (!marked && end < size && b[end] != '\x1A') {
        if (!isFlag(b[end])) {
            setError(error, damaged(path, QStringLiteral("después de sus %1 registros hay datos que no son registros ni la "
                                                         "marca de fin (0x1A)")
                                             .arg(count)));
            return nullptr;
        }
        if (size - end < recordLength) {
            repair = Repair::Torn;
        } else if (size - end == recordLength || b[end + recordLength] == '\x1A') {
            repair = Repair::Recovered;
            ++count;
        } else {
            setError(error, damaged(path, QStringLiteral("después de sus %1 registros hay más registros de los que "
                                                         "cuenta su encabezado")
                                             .arg(count)));
            return nullptr;
        }
    }

    t->headerLength_ = headerLength;
    t->recordLength_ = recordLength;
    t->header_ = file.left(headerLength);
    t->count_ = int(count);
    t->data_ = file.mid(headerLength, qsizetype(count * recordLength));
    for (int r = 0; r < t->count_; ++r) {
        if (t->data_.at(qsizetype(r) * recordLength) == '*')
            ++t->deleted_;
    }
    writeU32(t->header_.data() + 4, quint32(count));
    // Bytes the header counts as records after an end mark met before its count: the first write
    // that counts fewer records keeps a copy of the file before it writes over them.
    t->unkeptTail_ = !readOnly && declared > count && size > end + 1;

    // The repair, once a copy of the file as it was is kept. Each step leaves a file that opens
    // to the same records if the program stops in between. A repair that cannot be written now
    // is written by the next insert, which rewrites both the end of the records and the count.
    if (repair != Repair::None && !readOnly && keepCopy(path, fd, st.st_mode & 0666, &err)) {
        const qint64 last = headerLength + count * recordLength;
        switch (repair) {
        case Repair::Torn:
            if (::ftruncate(fd, off_t(last)) == 0)
                writeAll(fd, last, "\x1A", 1, &err);
            break;
        case Repair::TornCounted:
            if (writeAll(fd, last, "\x1A", 1, &err) && writeAll(fd, 4, t->header_.constData() + 4, 4, &err) &&
                ::ftruncate(fd, off_t(last + 1)) != 0) {
                // Left with the torn bytes after the end mark: they are not read.
            }
            break;
        case Repair::Recovered:
            if (writeAll(fd, 4, t->header_.constData() + 4, 4, &err) && ::fstat(fd, &st) == 0 && last == st.st_size)
                writeAll(fd, last, "\x1A", 1, &err);
            break;
        case Repair::None:
            break;
        }
    }
    return t;
}

bool DbfTable::create(const QString& path, const QList<DbfField>& fields, QString* error) {
    auto fail = [&](const QString& why) {
        setError(error, QStringLiteral("No se pudo crear la tabla %1: %2.").arg(shownPath(path), why));
        return false;
    };
    if (fields.isEmpty())
        return fail(QStringLiteral("no tiene campos"));
    qint64 recordLength = 1;
    for (int i = 0; i < fields.size(); ++i) {
        const QString why = checkFieldForCreate(fields[i]);
        if (!why.isEmpty())
            return fail(why);
        for (int j = 0; j < i; ++j) {
            if (fields[j].name.compare(fields[i].name, Qt::CaseInsensitive) == 0)
                return fail(QStringLiteral("el campo %1 aparece dos veces").arg(fields[i].name));
        }
        recordLength += fields[i].width;
    }
    const qint64 headerLength = 32 * (qint64(fields.size()) + 1) + 1;
    if (headerLength > 0xFFFF || recordLength > 0xFFFF)
        return fail(QStringLiteral("tiene demasiados campos"));

    QByteArray bytes(headerLength + 1, '\0');
    char* h = bytes.data();
    h[0] = '\x03';
    putDate(h + 1, QDate::currentDate());
    writeU32(h + 4, 0);
    writeU16(h + 8, quint16(headerLength));
    writeU16(h + 10, quint16(recordLength));
    h[29] = '\x03';  // language driver: Windows-1252
    for (int i = 0; i < fields.size(); ++i) {
        char* d = h + 32 + 32 * i;
        const QByteArray name = fields[i].name.toLatin1();
        std::memcpy(d, name.constData(), size_t(name.size()));
        d[11] = char(fields[i].type);
        d[16] = char(fields[i].width);
        d[17] = char(fields[i].decimals);
    }
    h[headerLength - 1] = '\x0D';
    h[headerLength] = '\x1A';

    QString reason;
    if (!replaceFile(path, bytes, 0644, &reason))
        return fail(reason);
    return true;
}

bool DbfTable::pack(const QString& path, QString* error) {
    QString why;
    auto table = open(path, &why);
    if (!table) {
        setError(error, QStringLiteral("No se pudo compactar %1. %2").arg(shownPath(path), why));
        return false;
    }
    if (table->deleted_ == 0)
        return true;
    if (table->readOnly_) {
        setError(error, QStringLiteral("No se pudo compactar el archivo %1: es de solo lectura.").arg(shownPath(path)));
        return false;
    }
    if (!table->keepTail(&why)) {
        setError(error, QStringLiteral("No se pudo compactar el archivo %1. %2").arg(shownPath(path), why));
        return false;
    }
    struct stat st {};
    mode_t mode = 0644;
    if (::fstat(table->fd_, &st) == 0)
        mode = st.st_mode & 07777;

    const int live = table->count_ - table->deleted_;
    table->stampDate();
    QByteArray bytes = table->header_;
    writeU32(bytes.data() + 4, quint32(live));
    bytes.reserve(bytes.size() + qsizetype(live) * table->recordLength_ + 1);
    for (int r = 0; r < table->count_; ++r) {
        const char* rec = table->data_.constData() + qsizetype(r) * table->recordLength_;
        if (rec[0] != '*')
            bytes.append(rec, table->recordLength_);
    }
    bytes.append('\x1A');
    table.reset();

    QString reason;
    if (!replaceFile(path, bytes, mode, &reason)) {
        setError(error, QStringLiteral("No se pudo compactar el archivo %1: %2. El archivo queda como estaba.")
                            .arg(shownPath(path), reason));
        return false;
    }
    return true;
}

int DbfTable::fieldIndex(const QString& name) const {
    for (int i = 0; i < fields_.size(); ++i) {
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool DbfTable::isDeleted(int recno) const {
    if (recno < 0 || recno >= count_)
        return true;
    return data_.at(qsizetype(recno) * recordLength_) == '*';
}

QVariant DbfTable::value(int recno, int field) const {
    if (recno < 0 || recno >= count_ || field < 0 || field >= fields_.size())
        return {};
    const DbfField& f = fields_[field];
    const char* p = data_.constData() + qsizetype(recno) * recordLength_ + offsets_[field];
    switch (f.type) {
    case DbfType::Character: {
        int n = f.width;
        while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0'))
            --n;
        if (n == 0)
            return {};
        return decodeIn(codePage_, p, n);
    }
    case DbfType::Numeric:
        return readNumeric(p, f.width, f.decimals);
    case DbfType::Logical:
        switch (p[0]) {
        case 'T': case 't': case 'Y': case 'y': return true;
        case 'F': case 'f': case 'N': case 'n': return false;
        default: return {};
        }
    case DbfType::Date:
        return readDate(p, f.width);
    }
    return {};
}

QVariantList DbfTable::record(int recno) const {
    QVariantList values;
    values.reserve(fields_.size());
    for (int i = 0; i < fields_.size(); ++i)
        values.append(value(recno, i));
    return values;
}

bool DbfTable::encode(const QVariantList& values, QByteArray* record, QString* error) const {
    if (values.size() > fields_.size()) {
        setError(error, QStringLiteral("No se puede guardar en %1: se dieron %2 valores y la tabla tiene %3 campos.")
                            .arg(shownPath(path_))
                            .arg(values.size())
                            .arg(fields_.size()));
        return false;
    }
    QByteArray rec(recordLength_, ' ');
    for (int i = 0; i < fields_.size(); ++i) {
        const DbfField& f = fields_[i];
        const QVariant v = i < values.size() ? values[i] : QVariant();
        char* dest = rec.data() + offsets_[i];
        if (f.type == DbfType::Logical) {
            if (!encodeLogical(f, v, dest, error))
                return false;
            continue;
        }
        if (isNullValue(v))
            continue;
        bool ok = true;
        switch (f.type) {
        case DbfType::Character: ok = encodeCharacter(f, v, codePage_, dest, error); break;
        case DbfType::Numeric: ok = encodeNumeric(f, v, dest, error); break;
        case DbfType::Date: ok = encodeDate(f, v, dest, error); break;
        case DbfType::Logical: break;
        }
        if (!ok)
            return false;
    }
    *record = rec;
    return true;
}

bool DbfTable::writeAt(qint64 offset, const char* data, qint64 size, QString* error) {
    int err = 0;
    if (writeAll(fd_, offset, data, size, &err))
        return true;
    setError(error, QStringLiteral("No se pudo escribir en el archivo %1: %2.").arg(shownPath(path_), systemReason(err)));
    return false;
}

bool DbfTable::keepTail(QString* error) {
    if (!unkeptTail_)
        return true;
    struct stat st {};
    int err = 0;
    if (::fstat(fd_, &st) != 0 || !keepCopy(path_, fd_, st.st_mode & 0666, &err)) {
        setError(error, QStringLiteral("No se guardó el cambio en el archivo %1: después de su marca de fin hay registros "
                                       "que cuenta su encabezado, y no se pudo guardar una copia del archivo antes de "
                                       "escribir sobre ellos (%2).")
                            .arg(shownPath(path_), systemReason(err ? err : errno)));
        return false;
    }
    unkeptTail_ = false;
    return true;
}

void DbfTable::closeFile() {
    endJournal(!inTransaction_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool DbfTable::checkWritable(int recno, bool existing, QString* error) const {
    if (fd_ < 0) {
        setError(error, QStringLiteral("No se pueden guardar cambios en el archivo %1: se volvió a abrir; "
                                       "vuelve a cargar los datos.").arg(shownPath(path_)));
        return false;
    }
    if (readOnly_) {
        setError(error, QStringLiteral("No se pueden guardar cambios en el archivo %1: es de solo lectura.").arg(shownPath(path_)));
        return false;
    }
    if (!existing)
        return true;  // a new record
    if (recno < 0 || recno >= count_) {
        setError(error, QStringLiteral("El registro %1 no existe en el archivo %2.").arg(recno + 1).arg(shownPath(path_)));
        return false;
    }
    if (isDeleted(recno)) {
        setError(error, QStringLiteral("El registro %1 del archivo %2 está borrado.").arg(recno + 1).arg(shownPath(path_)));
        return false;
    }
    return true;
}

bool DbfTable::stampDate() {
    char today[3];
    putDate(today, QDate::currentDate());
    if (std::memcmp(today, header_.constData() + 1, 3) == 0)
        return false;
    std::memcpy(header_.data() + 1, today, 3);
    return true;
}

void DbfTable::touchDate() {
    const QByteArray before = header_.mid(1, 3);
    if (!stampDate())
        return;
    remember(Undo::Date, -1, before);
    int err = 0;
    writeAll(fd_, 1, header_.constData() + 1, 3, &err);  // the date is not worth failing for
}

void DbfTable::remember(Undo::Kind kind, int recno, const QByteArray& bytes) {
    if (inTransaction_)
        undo_.append({kind, recno, bytes});
}

bool DbfTable::append(const QVariantList& values, int* recno, QString* error) {
    if (!checkWritable(-1, false, error))
        return false;
    if (count_ == INT_MAX || qint64(headerLength_) + (qint64(count_) + 1) * recordLength_ >= qint64(INT_MAX)) {
        setError(error, QStringLiteral("No caben más registros en el archivo %1.").arg(shownPath(path_)));
        return false;
    }
    QByteArray rec;
    if (!encode(values, &rec, error) || !keepTail(error))
        return false;
    rec.append('\x1A');
    const qint64 end = headerLength_ + qint64(count_) * recordLength_;
    if (!writeAt(end, rec.constData(), rec.size(), error)) {
        int err = 0;
        writeAll(fd_, end, "\x1A", 1, &err);  // best effort: keep the end where it was
        return false;
    }
    const QByteArray before = header_;
    stampDate();
    writeU32(header_.data() + 4, quint32(count_ + 1));
    if (!writeAt(1, header_.constData() + 1, 7, error)) {
        header_ = before;
        int err = 0;
        writeAll(fd_, end, "\x1A", 1, &err);
        return false;
    }
    if (before.mid(1, 3) != header_.mid(1, 3))
        remember(Undo::Date, -1, before.mid(1, 3));
    data_.append(rec.constData(), recordLength_);
    const int r = count_++;
    remember(Undo::Append, r, {});
    ++changes_;
    indexRecord(r, true);
    if (recno)
        *recno = r;
    return true;
}

bool DbfTable::update(int recno, const QVariantList& values, QString* error) {
    if (!checkWritable(recno, true, error))
        return false;
    QByteArray rec;
    if (!encode(values, &rec, error))
        return false;
    const QByteArray before = data_.mid(qsizetype(recno) * recordLength_, recordLength_);
    rec[0] = before[0];
    if (!writeInPlace(recno, rec, error))
        return false;
    remember(Undo::Record, recno, before);
    touchDate();
    setRecord(recno, rec.constData());
    ++changes_;
    return true;
}

bool DbfTable::remove(int recno, QString* error) {
    if (!checkWritable(recno, true, error))
        return false;
    const QByteArray before = data_.mid(qsizetype(recno) * recordLength_, recordLength_);
    QByteArray rec = before;
    rec[0] = '*';
    if (!writeInPlace(recno, rec, error))
        return false;
    remember(Undo::Record, recno, before);
    touchDate();
    setRecord(recno, rec.constData());
    ++changes_;
    return true;
}

void DbfTable::setRecord(int recno, const char* bytes) {
    char* at = data_.data() + qsizetype(recno) * recordLength_;
    indexRecord(recno, false);
    deleted_ += (bytes[0] == '*' ? 1 : 0) - (at[0] == '*' ? 1 : 0);
    std::memcpy(at, bytes, size_t(recordLength_));
    indexRecord(recno, true);
}

// The bytes that change are written to the journal first, then to the record; outside a
// transaction the journal is removed at once. Should the record's write fail, what it may have
// written is put back (and the journal kept when even that fails).
bool DbfTable::writeInPlace(int recno, const QByteArray& record, QString* error) {
    const char* old = data_.constData() + qsizetype(recno) * recordLength_;
    int from = 0, to = recordLength_;
    while (from < to && old[from] == record[from])
        ++from;
    while (to > from && old[to - 1] == record[to - 1])
        --to;
    if (from == to)
        return true;
    const qint64 at = headerLength_ + qint64(recno) * recordLength_ + from;
    const QByteArray before(old + from, to - from);
    if (!journal(at, before, record.mid(from, to - from), error))
        return false;
    if (!writeAt(at, record.constData() + from, to - from, error)) {
        int err = 0;
        const bool restored = writeAll(fd_, at, before.constData(), before.size(), &err);
        if (!inTransaction_)
            endJournal(restored);
        return false;
    }
    if (!inTransaction_)
        endJournal(true);
    return true;
}

bool DbfTable::journal(qint64 offset, const QByteArray& before, const QByteArray& after, QString* error) {
    const QString name = journalPath(path_);
    QByteArray bytes;
    if (journalFd_ < 0) {
        const QByteArray native = QFile::encodeName(name);
        journalFd_ = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (journalFd_ < 0) {
            setError(error, QStringLiteral("No se pudo guardar el cambio en el archivo %1: no se pudo crear su diario %2 (%3).")
                                .arg(shownPath(path_), shownPath(name), systemReason(errno)));
            return false;
        }
        journalSize_ = 0;
        bytes = journalHeader(headerLength_, recordLength_, inTransaction_ ? startCount_ : count_);
    }
    bytes += journalEntry(offset, before, after);
    int err = 0;
    if (!writeAll(journalFd_, journalSize_, bytes.constData(), bytes.size(), &err)) {
        // A part of the entry may be there; later entries must not follow it.
        if (::ftruncate(journalFd_, off_t(journalSize_)) != 0) {
            // A torn last entry is not applied; the next one is written over it.
        }
        if (journalSize_ == 0)
            endJournal(true);
        setError(error, QStringLiteral("No se pudo guardar el cambio en el archivo %1: no se pudo escribir su diario %2 (%3).")
                            .arg(shownPath(path_), shownPath(name), systemReason(err)));
        return false;
    }
    journalSize_ += bytes.size();
    return true;
}

void DbfTable::endJournal(bool remove) {
    if (journalFd_ < 0)
        return;
    if (remove) {
        const QByteArray native = QFile::encodeName(journalPath(path_));
        if (::unlink(native.constData()) != 0 && ::ftruncate(journalFd_, 0) != 0) {
            // Neither removed nor emptied: its entries match the file only where nothing changed
            // since, and opening checks every byte before applying one.
        }
    }
    ::close(journalFd_);
    journalFd_ = -1;
    journalSize_ = 0;
}

// -------------------------------------------------------------------------------------------------
// Transactions

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
    endJournal(true);
    inTransaction_ = false;
    undo_.clear();
    savepoints_.clear();
    return true;
}

bool DbfTable::rollback(QString* error) {
    const bool ok = undoTo(0, error);
    endJournal(ok);  // when the file could not be put back, the journal does it at the next opening
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
                ok = writeAll(fd_, 1, header_.constData() + 1, 3, &err);
            break;
        }
    }
    if (cut >= 0) {
        // As when opening takes records off: end mark, count, length.
        writeU32(header_.data() + 4, quint32(count_));
        const qint64 end = headerLength_ + qint64(count_) * recordLength_;
        if (writable && ok)
            ok = writeAll(fd_, end, "\x1A", 1, &err) && writeAll(fd_, 4, header_.constData() + 4, 4, &err);
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
        endJournal(false);
        ::close(fd_);
        fd_ = -1;
    }
    return false;
}

bool DbfTable::isIntegerField(int field) const {
    return field >= 0 && field < fields_.size() && fields_[field].type == DbfType::Numeric && fields_[field].decimals == 0;
}

bool DbfTable::integerKey(int recno, int field, qint64* key) const {
    const QVariant v = value(recno, field);
    if (v.typeId() == QMetaType::LongLong) {
        *key = v.toLongLong();
        return true;
    }
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 9.2e18) {
            *key = qint64(d);
            return true;
        }
    }
    return false;
}

void DbfTable::indexRecord(int recno, bool add) {
    if (indexes_.isEmpty() || isDeleted(recno))
        return;
    for (auto it = indexes_.begin(); it != indexes_.end(); ++it) {
        qint64 key = 0;
        if (!integerKey(recno, it.key(), &key))
            continue;
        QHash<qint64, QList<int>>& index = it.value();
        if (add) {
            QList<int>& list = index[key];
            if (list.isEmpty() || list.constLast() < recno)
                list.append(recno);
            else
                list.insert(std::lower_bound(list.begin(), list.end(), recno), recno);
        } else {
            auto found = index.find(key);
            if (found == index.end())
                continue;
            QList<int>& list = found.value();
            auto pos = std::lower_bound(list.begin(), list.end(), recno);
            if (pos != list.end() && *pos == recno)
                list.erase(pos);
            if (list.isEmpty())
                index.erase(found);
        }
    }
}

const QList<int>* DbfTable::lookup(int field, qint64 key) {
    if (!isIntegerField(field))
        return nullptr;
    auto it = indexes_.find(field);
    if (it == indexes_.end()) {
        QHash<qint64, QList<int>> index;
        index.reserve(count_ - deleted_);
        for (int r = 0; r < count_; ++r) {
            qint64 k = 0;
            if (!isDeleted(r) && integerKey(r, field, &k))
                index[k].append(r);
        }
        it = indexes_.insert(field, index);
    }
    auto found = it.value().constFind(key);
    return found == it.value().constEnd() ? &kNoRecords : &found.value();
}

}  // namespace kalto

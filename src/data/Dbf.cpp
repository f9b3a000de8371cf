#include "data/Dbf.h"

#include <QDate>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalto {

using namespace dbf;

namespace {

constexpr qint64 kSlack = 4096;  // bytes after the records and the end mark that opening tolerates

QString damaged(const QString& path, const QString& why) {
    return QStringLiteral("El archivo %1 está dañado: %2.").arg(shownPath(path), why);
}

// A byte of the file as a message shows it: «X» when printable, its code otherwise.
QString shownByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F ? QStringLiteral("«%1»").arg(QLatin1Char(c)) : QStringLiteral("código %1").arg(u);
}

// The date of the header: years since 1900, month, day.
void putDate(char* p, const QDate& d) {
    p[0] = char(std::clamp(d.year() - 1900, 0, 255));
    p[1] = char(d.month());
    p[2] = char(d.day());
}

// Today, as the header is stamped with it. Finding the local date reads the time zone again each
// time (a look at /etc/localtime), which costs more than the rest of an insert: the date is asked
// for again only once the clock has moved on to another second.
QDate today() {
    thread_local time_t second = -1;
    thread_local QDate date;
    const time_t now = ::time(nullptr);
    if (now != second) {
        second = now;
        date = QDate::currentDate();
    }
    return date;
}

// The field described by the 32 bytes at `d`, the `i`th (from 0); empty when it is sound,
// otherwise what is wrong with it.
QString readDescriptor(const char* d, int i, DbfField* f) {
    int nameLength = 0;
    while (nameLength < 11 && d[nameLength] != '\0')
        ++nameLength;
    while (nameLength > 0 && d[nameLength - 1] == ' ')
        --nameLength;
    for (int k = 0; k < nameLength; ++k) {
        const auto c = static_cast<unsigned char>(d[k]);
        if (c <= 0x20 || c >= 0x7F)
            return QStringLiteral("el nombre del campo %1 no está escrito en ASCII").arg(i + 1);
    }
    if (nameLength == 0)
        return QStringLiteral("el campo %1 no tiene nombre").arg(i + 1);
    f->name = QString::fromLatin1(d, nameLength);
    f->width = static_cast<unsigned char>(d[16]);
    f->decimals = static_cast<unsigned char>(d[17]);
    switch (d[11]) {
    case 'C': f->type = DbfType::Character; break;
    case 'N':
    case 'F': f->type = DbfType::Numeric; break;  // a dBase IV float is written as text like a numeric
    case 'L': f->type = DbfType::Logical; break;
    case 'D': f->type = DbfType::Date; break;
    default: return QStringLiteral("el campo %1 es de un tipo desconocido (%2)").arg(f->name, shownByte(d[11]));
    }
    if (f->width == 0)
        return QStringLiteral("el campo %1 tiene ancho cero").arg(f->name);
    if (f->type == DbfType::Logical && f->width != 1)
        return QStringLiteral("el campo lógico %1 mide %2 bytes en lugar de 1").arg(f->name).arg(f->width);
    if (f->type == DbfType::Date && f->width != 8)
        return QStringLiteral("el campo de fecha %1 mide %2 bytes en lugar de 8").arg(f->name).arg(f->width);
    if (f->type != DbfType::Numeric)
        f->decimals = 0;
    return {};
}

// Where the 0x0D that ends the field descriptors is (32 bytes each from byte 32): the last byte
// of the header, or a terminator further on when the header length is too small; `size` when
// there is none.
qint64 descriptorsEnd(const char* b, qint64 size, int headerLength) {
    qint64 pos = 32;
    while (pos < headerLength - 1 && b[pos] != '\x0D')
        pos += 32;
    if (pos >= headerLength - 1 && (pos >= size || b[pos] != '\x0D')) {
        while (pos < size && b[pos] != '\x0D')
            pos += 32;
    }
    return std::min(pos, size);
}

bool isFlag(char c) { return c == ' ' || c == '*'; }

}  // namespace

// What open() learns of the file, step by step.
struct DbfTable::Opening {
    struct stat st {};
    QByteArray file;      // the bytes read (the journal applied)
    qint64 declared = 0;  // the records the header counts
    qint64 count = 0;     // the records read
    qint64 end = 0;       // where the records read end, before a repair
    enum class Repair { None, Torn, TornCounted, Recovered } repair = Repair::None;
};

DbfTable::~DbfTable() {
    // A transaction the engine never ended leaves its journal: the next opening undoes it.
    journal_.end(path_, !inTransaction_);
    releaseFile();
}

void DbfTable::releaseFile() {
    head_.detach();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
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
    std::unique_ptr<DbfTable> t(new DbfTable);
    t->path_ = path;
    Opening o;
    if (!t->openFile(access, o, error) || !t->readFile(o, error) || !t->readLengths(o, error) ||
        !t->readFields(o, error) || !t->readCodePage(o, error) || !t->applyJournal(o, error) ||
        !t->findRecords(o, error))
        return nullptr;
    t->keepRecords(o);
    t->repair(o);
    if (!t->readOnly_)
        t->head_.attach(t->fd_);
    return t;
}

// Decided by the file's status first: a FIFO, a device or a folder is never opened for reading.
bool DbfTable::openFile(DbfAccess access, Opening& o, QString* error) {
    if (!statTable(path_, &o.st, error))
        return false;
    const QByteArray native = QFile::encodeName(path_);
    readOnly_ = access == DbfAccess::ReadOnly;
    if (!readOnly_) {
        fd_ = ::open(native.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);  // a FIFO put there meanwhile must not hang us
        if (fd_ < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY))
            readOnly_ = true;
    }
    if (readOnly_)
        fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        const int err = errno;
        if (err == ENOENT)
            setError(error, QStringLiteral("No se encontró el archivo %1.").arg(shownPath(path_)));
        else
            setError(error, QStringLiteral("No se pudo abrir el archivo %1: %2.").arg(shownPath(path_), systemReason(err)));
        return false;
    }
    if (::fstat(fd_, &o.st) != 0) {
        setError(error, QStringLiteral("No se pudo abrir el archivo %1: %2.").arg(shownPath(path_), systemReason(errno)));
        return false;
    }
    if (const QString why = notATable(o.st); !why.isEmpty()) {
        setError(error, QStringLiteral("No se puede abrir el archivo %1: %2.").arg(shownPath(path_), why));
        return false;
    }
    return true;
}

// The header's first 32 bytes tell how much more to read: the descriptors, the records the
// header counts, one record more (an interrupted insert) and the end mark.
bool DbfTable::readFile(Opening& o, QString* error) const {
    int err = 0;
    bool read = readAt(fd_, 0, 32, &o.file, &err);
    const qint64 fileSize = o.st.st_size;
    if (read && o.file.size() == 32) {
        const qint64 declared = readU32(o.file.constData() + 4);
        const qint64 length = readU16(o.file.constData() + 10);
        const qint64 wanted = readU16(o.file.constData() + 8) + (declared + 1) * length + 1;
        if (fileSize > wanted + kSlack) {
            setError(error, damaged(path_, QStringLiteral("mide %1 bytes y su encabezado indica %2")
                                               .arg(fileSize)
                                               .arg(wanted - length - 1)));
            return false;
        }
        read = readAt(fd_, 32, std::min(fileSize, std::max<qint64>(wanted, 0x10000 + 64)) - 32, &o.file, &err);
    }
    if (!read)
        setError(error, QStringLiteral("No se pudo leer el archivo %1: %2.").arg(shownPath(path_), systemReason(err)));
    return read;
}

bool DbfTable::readLengths(const Opening& o, QString* error) {
    const qint64 size = o.file.size();
    if (size == 0) {
        setError(error, damaged(path_, QStringLiteral("está vacío")));
        return false;
    }
    if (size < 32) {
        setError(error, damaged(path_, QStringLiteral("es demasiado corto para ser una tabla dBase")));
        return false;
    }
    headerLength_ = readU16(o.file.constData() + 8);
    recordLength_ = readU16(o.file.constData() + 10);
    if (headerLength_ > size) {
        setError(error, damaged(path_, QStringLiteral("la longitud de su encabezado (%1 bytes) pasa del final del archivo")
                                           .arg(headerLength_)));
        return false;
    }
    if (headerLength_ < 33) {
        setError(error, damaged(path_, QStringLiteral("la longitud de su encabezado (%1 bytes) es menor que la mínima")
                                           .arg(headerLength_)));
        return false;
    }
    return true;
}

// The field descriptors end with a 0x0D that must be the last byte of the header: a header length
// that disagrees would read every record shifted.
bool DbfTable::readFields(const Opening& o, QString* error) {
    const char* b = o.file.constData();
    const qint64 pos = descriptorsEnd(b, o.file.size(), headerLength_);
    if (pos >= o.file.size()) {
        setError(error, damaged(path_, QStringLiteral("falta la marca (0x0D) que cierra la lista de campos")));
        return false;
    }
    const int fieldCount = int((pos - 32) / 32);
    QString why;
    if (pos != headerLength_ - 1)
        why = QStringLiteral("la longitud de su encabezado (%1 bytes) no es la que piden sus %2 campos (%3 bytes)")
                  .arg(headerLength_)
                  .arg(fieldCount)
                  .arg(pos + 1);
    else if (fieldCount == 0)
        why = QStringLiteral("no tiene campos");
    else if (recordLength_ == 0)
        why = QStringLiteral("la longitud del registro es cero");
    qint64 widthSum = 1;
    for (int i = 0; i < fieldCount && why.isEmpty(); ++i) {
        DbfField f;
        why = readDescriptor(b + 32 + 32 * i, i, &f);
        if (why.isEmpty() && fieldIndex(f.name) >= 0)
            why = QStringLiteral("el campo %1 aparece dos veces").arg(f.name);
        offsets_.append(int(widthSum));
        widthSum += f.width;
        fields_.append(f);
    }
    if (why.isEmpty() && widthSum != recordLength_)
        why = QStringLiteral("la longitud del registro no coincide con sus campos");
    if (!why.isEmpty())
        setError(error, damaged(path_, why));
    return why.isEmpty();
}

// A .cpg file beside the table, or else the language-driver byte.
bool DbfTable::readCodePage(const Opening& o, QString* error) {
    const QString cpg = cpgBeside(path_);
    if (!cpg.isEmpty()) {
        QByteArray contents;
        int err = 0;
        if (!readSmallFile(cpg, 4096, &contents, &err)) {
            setError(error, QStringLiteral("No se pudo leer el archivo %1: %2.").arg(shownPath(cpg), systemReason(err)));
            return false;
        }
        if (!codePageOfCpg(contents, &codePage_)) {
            setError(error, QStringLiteral("No se puede abrir el archivo %1: el archivo %2 declara el juego de caracteres "
                                           "«%3», que este programa no sabe leer.")
                                .arg(shownPath(path_), shownPath(cpg), QString::fromLatin1(contents).trimmed()));
            return false;
        }
        return true;
    }
    const auto driver = static_cast<unsigned char>(o.file.at(29));
    if (!codePageOfDriver(driver, &codePage_)) {
        setError(error, QStringLiteral("No se puede abrir el archivo %1: declara el juego de caracteres 0x%2 (byte 29 "
                                       "del encabezado), que este programa no sabe leer.")
                            .arg(shownPath(path_), QString::number(driver, 16).toUpper().rightJustified(2, u'0')));
        return false;
    }
    return true;
}

// Records rewritten in place by a process that was killed: the journal puts them back.
bool DbfTable::applyJournal(Opening& o, QString* error) const {
    return recoverJournal(path_, fd_, readOnly_, headerLength_, recordLength_, &o.file, error);
}

// The records up to the header's count (`counted` of them fit in the file) or an end mark met
// before it (*marked), their deletion flags checked. -1 with a message at a flag that is none.
qint64 DbfTable::scanRecords(const Opening& o, qint64 counted, bool* marked, QString* error) const {
    const char* b = o.file.constData();
    for (qint64 count = 0; count < counted; ++count) {
        const char flag = b[headerLength_ + count * recordLength_];
        if (flag == '\x1A') {
            *marked = true;
            return count;
        }
        if (!isFlag(flag)) {
            setError(error, damaged(path_, QStringLiteral("el registro %1 tiene una marca de borrado no válida (%2)")
                                               .arg(count + 1)
                                               .arg(shownByte(flag))));
            return -1;
        }
    }
    return counted;
}

// The records end at the header's count, or at an end mark met before it (the end mark may be
// followed by anything). An insert writes the record (and the end mark) first and the new count
// afterwards, so a whole record past the count, or a torn one, is what an interrupted insert
// left: that is to be repaired. Any other disagreement is refused and left alone.
bool DbfTable::findRecords(Opening& o, QString* error) const {
    const char* b = o.file.constData();
    const qint64 size = o.file.size();
    o.declared = readU32(b + 4);
    const qint64 room = (size - headerLength_) / recordLength_;
    const qint64 partial = (size - headerLength_) % recordLength_;
    bool marked = false;
    o.count = scanRecords(o, std::min(o.declared, room), &marked, error);
    if (o.count < 0)
        return false;
    o.end = headerLength_ + o.count * recordLength_;
    const qint64 end = o.end;
    QString why;
    if (marked || (o.declared <= room && (end >= size || b[end] == '\x1A'))) {
        // The records end at the count or an end mark.
    } else if (o.declared > room) {
        if (partial > 0 && b[end] == '\x1A') {
            // The end mark with less than a record after it: the records end there.
        } else if (o.declared == room + 1 && partial > 0 && isFlag(b[end]))
            o.repair = Opening::Repair::TornCounted;
        else
            why = QStringLiteral("declara %1 registros y solo contiene %2").arg(o.declared).arg(room);
    } else if (!isFlag(b[end])) {
        why = QStringLiteral("después de sus %1 registros hay datos que no son registros ni la marca de fin (0x1A)")
                  .arg(o.count);
    } else if (size - end < recordLength_) {
        o.repair = Opening::Repair::Torn;
    } else if (size - end == recordLength_ || b[end + recordLength_] == '\x1A') {
        o.repair = Opening::Repair::Recovered;
        ++o.count;
    } else {
        why = QStringLiteral("después de sus %1 registros hay más registros de los que cuenta su encabezado").arg(o.count);
    }
    if (!why.isEmpty())
        setError(error, damaged(path_, why));
    return why.isEmpty();
}

void DbfTable::keepRecords(const Opening& o) {
    header_ = o.file.left(headerLength_);
    count_ = int(o.count);
    // With room for the records to come (an eighth more, and some): the first insert would
    // otherwise copy all the records to grow them. Room never written takes no memory.
    const qsizetype bytes = qsizetype(o.count * recordLength_);
    if (!readOnly_)
        data_.reserve(bytes + bytes / 8 + 64 * qsizetype(recordLength_));
    data_.append(o.file.constData() + headerLength_, bytes);
    for (int r = 0; r < count_; ++r) {
        if (data_.at(qsizetype(r) * recordLength_) == '*')
            ++deleted_;
    }
    writeU32(header_.data() + 4, quint32(o.count));
    // Bytes the header counts as records after an end mark met before its count: the first write
    // that counts fewer records keeps a copy of the file before it writes over them.
    unkeptTail_ = !readOnly_ && o.declared > o.count && o.file.size() > o.end + 1;
}

// The repair, once a copy of the file as it was is kept. Each step leaves a file that opens to the
// same records if the program stops in between. A repair that cannot be written now is written by
// the next insert, which rewrites both the end of the records and the count.
void DbfTable::repair(Opening& o) {
    int err = 0;
    if (o.repair == Opening::Repair::None || readOnly_ || !keepCopy(path_, fd_, o.st.st_mode & 0666, &err))
        return;
    const qint64 last = headerLength_ + o.count * recordLength_;
    switch (o.repair) {
    case Opening::Repair::Torn:
        if (::ftruncate(fd_, off_t(last)) == 0)
            writeAll(fd_, last, "\x1A", 1, &err);
        break;
    case Opening::Repair::TornCounted:
        if (writeAll(fd_, last, "\x1A", 1, &err) && writeAll(fd_, 4, header_.constData() + 4, 4, &err) &&
            ::ftruncate(fd_, off_t(last + 1)) != 0) {
            // Left with the torn bytes after the end mark: they are not read.
        }
        break;
    case Opening::Repair::Recovered:
        if (writeAll(fd_, 4, header_.constData() + 4, 4, &err) && ::fstat(fd_, &o.st) == 0 && last == o.st.st_size)
            writeAll(fd_, last, "\x1A", 1, &err);
        break;
    case Opening::Repair::None:
        break;
    }
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
    return readValue(fields_[field], codePage_, data_.constData() + qsizetype(recno) * recordLength_ + offsets_[field]);
}

dbf::SqlValue DbfTable::sqlValue(int recno, int field, QByteArray* buffer) const {
    if (recno < 0 || recno >= count_ || field < 0 || field >= fields_.size())
        return {};
    return dbf::readSqlValue(fields_[field], codePage_,
                             data_.constData() + qsizetype(recno) * recordLength_ + offsets_[field], buffer);
}

void DbfTable::prefetch(int recno) const {
    if (recno < 0 || recno >= count_)
        return;
    const char* p = data_.constData() + qsizetype(recno) * recordLength_;
    for (int at = 0; at < recordLength_; at += 64)
        __builtin_prefetch(p + at);
    __builtin_prefetch(p + recordLength_ - 1);
}

QVariantList DbfTable::record(int recno) const {
    QVariantList values;
    values.reserve(fields_.size());
    for (int i = 0; i < fields_.size(); ++i)
        values.append(value(recno, i));
    return values;
}

bool DbfTable::encode(const QVariantList& values, char* record, QString* error) const {
    if (values.size() > fields_.size()) {
        setError(error, QStringLiteral("No se puede guardar en %1: se dieron %2 valores y la tabla tiene %3 campos.")
                            .arg(shownPath(path_))
                            .arg(values.size())
                            .arg(fields_.size()));
        return false;
    }
    std::memset(record, ' ', size_t(recordLength_));
    for (int i = 0; i < fields_.size(); ++i) {
        if (!writeValue(fields_[i], codePage_, i < values.size() ? values[i] : QVariant(), record + offsets_[i], error))
            return false;
    }
    return true;
}

bool DbfTable::writeAt(qint64 offset, const char* data, qint64 size, QString* error) {
    int err = 0;
    if (head_.write(fd_, offset, data, size, &err))
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
    journal_.end(path_, !inTransaction_);
    releaseFile();
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
    char stamp[3];
    putDate(stamp, today());
    if (std::memcmp(stamp, header_.constData() + 1, 3) == 0)
        return false;
    std::memcpy(header_.data() + 1, stamp, 3);
    return true;
}

void DbfTable::touchDate() {
    const QByteArray before = header_.mid(1, 3);
    if (!stampDate())
        return;
    remember(Undo::Date, -1, before);
    int err = 0;
    head_.write(fd_, 1, header_.constData() + 1, 3, &err);  // the date is not worth failing for
}

bool DbfTable::append(const QVariantList& values, int* recno, QString* error) {
    if (!checkWritable(-1, false, error))
        return false;
    if (count_ == INT_MAX || qint64(headerLength_) + (qint64(count_) + 1) * recordLength_ >= qint64(INT_MAX)) {
        setError(error, QStringLiteral("No caben más registros en el archivo %1.").arg(shownPath(path_)));
        return false;
    }
    if (!keepTail(error))
        return false;
    // The record is encoded where it will stay, with the end mark after it for the one write of
    // both; the records grow by half again when they are full (reserve reallocates in place
    // where it can, where append would copy them all).
    const qsizetype at = data_.size();
    if (data_.capacity() - at <= recordLength_)
        data_.reserve(at + at / 2 + 64 * qsizetype(recordLength_));
    data_.resize(at + recordLength_ + 1);
    char* rec = data_.data() + at;
    rec[recordLength_] = '\x1A';
    if (!encode(values, rec, error)) {
        data_.truncate(at);
        return false;
    }
    const qint64 end = headerLength_ + qint64(count_) * recordLength_;
    if (!writeAt(end, rec, recordLength_ + 1, error)) {
        data_.truncate(at);
        int err = 0;
        writeAll(fd_, end, "\x1A", 1, &err);  // best effort: keep the end where it was
        return false;
    }
    data_.truncate(at + recordLength_);
    // Then the count and the date (a store into the header's map where there is one): a kill
    // between the two leaves a whole record past the count, which opening counts.
    char before[7];  // the date and the count, as the header had them
    std::memcpy(before, header_.constData() + 1, 7);
    const bool dated = stampDate();
    writeU32(header_.data() + 4, quint32(count_ + 1));
    if (!writeAt(1, header_.constData() + 1, 7, error)) {
        std::memcpy(header_.data() + 1, before, 7);
        data_.truncate(at);
        int err = 0;
        writeAll(fd_, end, "\x1A", 1, &err);
        return false;
    }
    if (dated)
        remember(Undo::Date, -1, QByteArray(before, 3));
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
    QByteArray rec(recordLength_, ' ');
    if (!encode(values, rec.data(), error))
        return false;
    rec[0] = data_.at(qsizetype(recno) * recordLength_);  // its deletion flag stays
    return rewrite(recno, rec, error);
}

bool DbfTable::remove(int recno, QString* error) {
    if (!checkWritable(recno, true, error))
        return false;
    QByteArray rec = data_.mid(qsizetype(recno) * recordLength_, recordLength_);
    rec[0] = '*';
    return rewrite(recno, rec, error);
}

bool DbfTable::rewrite(int recno, const QByteArray& record, QString* error) {
    const QByteArray before = data_.mid(qsizetype(recno) * recordLength_, recordLength_);
    if (!writeInPlace(recno, record, error))
        return false;
    remember(Undo::Record, recno, before);
    touchDate();
    setRecord(recno, record.constData());
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
    if (!journal_.write(path_, headerLength_, recordLength_, inTransaction_ ? startCount_ : count_, at, before,
                        record.mid(from, to - from), error))
        return false;
    if (!writeAt(at, record.constData() + from, to - from, error)) {
        int err = 0;
        const bool restored = writeAll(fd_, at, before.constData(), before.size(), &err);
        if (!inTransaction_)
            journal_.end(path_, restored);
        return false;
    }
    if (!inTransaction_)
        journal_.end(path_, true);
    return true;
}

}  // namespace kalto

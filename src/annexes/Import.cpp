#include "annexes/Import.h"

#include "annexes/ImportText.h"
#include "annexes/WorkbookLines.h"
#include "core/Drives.h"
#include "core/Numbers.h"
#include "data/Database.h"
#include "data/TableCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalto {

using namespace importmsg;

namespace {

constexpr int kProgressEvery = 100;

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

// The highest value of an integer column, 0 when there is none (or none above 0).
std::optional<qint64> highest(Database& db, const QString& sql, QString* error) {
    QString err;
    QVariant value;
    if (!db.query(sql, {}, [&](const QVariantList& row) {
            value = row.value(0);
            return false;
        }, &err)) {
        if (error) *error = QStringLiteral("No se pudo leer la tabla de anexos: %1").arg(err);
        return std::nullopt;
    }
    const qint64 max = value.isNull() ? 0 : static_cast<qint64>(leadingNumber(value));
    return max < 0 ? 0 : max;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Annexes

bool AnnexLineImport::start(QString* error) {
    const auto max = highest(db_, QStringLiteral("select max(id_prod) from imanexos"), error);
    if (!max) return false;
    base_ = *max;
    checks_.reset();
    parentId_ = 0;
    return true;
}

std::optional<Refusal> AnnexLineImport::store(int number, int kind, const QString& descrip, const QString& fraccion,
                                              int parent, const QString& value, int* id) {
    const qint64 wanted = base_ + number;
    if (wanted > kMaxAnnexId) return Refusal{value, kIdentificadorExcedido.arg(wanted)};
    QString error;
    if (!db_.execute(QStringLiteral("insert into imanexos values (?,?,?,?,?)"),
                     {wanted, kind, descrip, fraccion, parent}, &error))
        return Refusal{value, kNoSeGuardo.arg(error)};
    if (id) *id = static_cast<int>(wanted);
    return std::nullopt;
}

namespace {

// A line longer than what is read of it: refused with the value its checks give, when they
// pass, or the beginning of the line.
LineImport::Outcome tooLong(const QString& value, Refusal* refusal) {
    if (refusal) *refusal = Refusal{value, kRenglonLargo};
    return LineImport::Outcome::Refused;
}

}  // namespace

LineImport::Outcome AnnexLineImport::line(int number, const QString& text, Refusal* refusal, bool cut) {
    AnnexRow row;
    const Outcome outcome = checks_.check(text, &row, refusal);
    if (cut && outcome == Outcome::Blank) return tooLong(QString(), refusal);
    if (outcome != Outcome::Loaded) return outcome;
    if (cut) {
        if (row.exportProduct()) checks_.parentNotStored();
        return tooLong(row.value, refusal);
    }
    const std::optional<Refusal> refused =
        store(number, row.kind, row.descrip, row.fraccion, row.input ? parentId_ : 0, row.value,
              row.exportProduct() ? &parentId_ : nullptr);
    if (!refused) return Outcome::Loaded;
    if (row.exportProduct()) checks_.parentNotStored();
    if (refusal) *refusal = *refused;
    return Outcome::Refused;
}

// ---------------------------------------------------------------------------------------------
// Products

bool ProductLineImport::start(QString* error) {
    const auto max = highest(db_, QStringLiteral("select max(id_prod) from imanexos"), error);
    if (!max) return false;
    nextId_ = *max + 1;
    units_.clear();
    QString err;
    const bool ok = db_.query(QStringLiteral("select cve_med, u_medida from imunidmd"), {},
                              [&](const QVariantList& row) {
                                  const auto code = numberOf(row.value(0));
                                  if (code && code->integer && !units_.contains(*code->integer))
                                      units_.insert(*code->integer, row.value(1).toString());
                                  return true;
                              }, &err);
    if (!ok && error)
        *error = QStringLiteral("No se pudo leer el catálogo de unidades de medida (imunidmd): %1").arg(err);
    return ok;
}

LineImport::Outcome ProductLineImport::line(int, const QString& text, Refusal* refusal, bool cut) {
    ProductRow row;
    const Outcome outcome = checkProductLine(text, units_, &row, refusal);
    if (cut && outcome != Outcome::Refused) return tooLong(row.fraccion, refusal);
    if (outcome != Outcome::Loaded) return outcome;
    auto refuse = [&](const QString& value, const QString& message) {
        if (refusal) *refusal = Refusal{value, message};
        return Outcome::Refused;
    };
    const QString& fraccion = row.fraccion;

    // The product's export-product row, as a typed product gets it, then the product.
    if (nextId_ > kMaxAnnexId) return refuse(fraccion, kIdentificadorExcedido.arg(nextId_));
    const qint64 id = nextId_;
    QString error;
    if (!db_.execute(QStringLiteral("insert into imanexos values (?,1,'null ',?,0)"), {id, fraccion}, &error))
        return refuse(fraccion, kNoSeGuardo.arg(error));
    if (!db_.execute(QStringLiteral("insert into improd values (?,?,'',?,?,?,?)"),
                     {id, fraccion, row.volumen, row.porcut, row.umid, row.um}, &error)) {
        db_.execute(QStringLiteral("delete from imanexos where id_prod = ? and tipo_reg = 1 and id_subord = 0"), {id});
        return refuse(fraccion, kNoSeGuardo.arg(error));
    }
    ++nextId_;
    return Outcome::Loaded;
}

// ---------------------------------------------------------------------------------------------
// The run

namespace {

QString kindName(ImportResult::Kind kind) {
    return kind == ImportResult::Kind::Annexes ? QStringLiteral("anexos") : QStringLiteral("productos");
}

// The largest file an import reads: every line number fits an int.
constexpr qint64 kMaxInputBytes = 2000000000;

// What a file system entry is, when it is not a regular file ("una carpeta").
QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("una carpeta");
    if (S_ISFIFO(mode)) return QStringLiteral("una tubería con nombre (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("un dispositivo");
    if (S_ISSOCK(mode)) return QStringLiteral("un socket");
    return QStringLiteral("un archivo especial");
}

// Opens the input file for reading, and its size. Only a regular file: the kind is decided by
// stat before opening (opening a named pipe waits for a writer, a device never ends); false
// with the message when it cannot be read.
bool openInput(const QString& path, QFile* file, qint64* size, QString* error) {
    const QString name = native(path);
    const QString none = QStringLiteral(" No se importó ningún renglón.");
    const QByteArray encoded = QFile::encodeName(path);
    struct stat st {};
    if (::stat(encoded.constData(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT) {
            *error = QStringLiteral("No se encontró el archivo %1.").arg(name) + none;
        } else {
            *error = QStringLiteral("No se pudo abrir el archivo %1: %2.").arg(name, driveErrorReason(e)) + none;
        }
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        const QFileInfo link(path);
        if (link.isSymLink())
            *error = QStringLiteral("%1 es un enlace a %2, que es %3, no un archivo.")
                         .arg(name, native(link.symLinkTarget()), kindOf(st.st_mode)) + none;
        else
            *error = QStringLiteral("%1 es %2, no un archivo.").arg(name, kindOf(st.st_mode)) + none;
        return false;
    }
    // Not blocking, should the file have been replaced by a named pipe since.
    const int fd = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        const QString reason = e == EACCES ? QStringLiteral("no hay permiso para leerlo") : driveErrorReason(e);
        *error = QStringLiteral("No se pudo abrir el archivo %1: %2.").arg(name, reason) + none;
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("%1 cambió mientras se abría; no es un archivo.").arg(name) + none;
        return false;
    }
    if (st.st_size > kMaxInputBytes) {
        ::close(fd);
        *error = QStringLiteral("El archivo %1 es demasiado grande para importarse (%2 bytes; el máximo es "
                                "2,000,000,000).")
                     .arg(name)
                     .arg(qint64(st.st_size)) + none;
        return false;
    }
    if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = QStringLiteral("No se pudo abrir el archivo %1.").arg(name) + none;
        return false;
    }
    *size = st.st_size;
    return true;
}

// Writes all of `bytes` to `fd`; the errno of a failure otherwise.
int writeAll(int fd, QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += n;
    }
    return 0;
}

// The error file, written as the lines are refused.
class ErrorFile {
public:
    explicit ErrorFile(int fd) : fd_(fd) {}
    void add(const QString& line) {
        pending_ += errorFileLine(line);
        if (pending_.size() >= kFlushBytes) flush();
    }
    // Writes what is left and closes the file; the errno of the first failure, 0 otherwise.
    int close() {
        flush();
        if (error_ == 0 && ::fsync(fd_) != 0 && errno != EINVAL) error_ = errno;
        if (::close(fd_) != 0 && error_ == 0) error_ = errno;
        return error_;
    }

private:
    static constexpr qsizetype kFlushBytes = 64 * 1024;
    void flush() {
        if (error_ == 0) error_ = writeAll(fd_, pending_);
        pending_.resize(0);
    }
    int fd_;
    int error_ = 0;
    QByteArray pending_;
};

}  // namespace

ImportResult runImport(Database& db, LineImport& lines, const QString& inputPath, const QString& errorPath,
                       const ImportProgress& progress, ImportResult::Kind kind) {
    ImportResult result;
    result.kind = kind;
    result.inputPath = inputPath;
    result.errorPath = errorPath;

    QFile file;
    qint64 size = 0;
    if (!openInput(inputPath, &file, &size, &result.error)) return result;

    // The file is read through first: its encoding (or the workbook's sheet) and its lines.
    std::unique_ptr<LineSource> source;
    if (WorkbookLines::isWorkbook(inputPath))
        source = std::make_unique<WorkbookLines>(file, inputPath);
    else
        source = std::make_unique<ImportReader>(file, size, inputPath);
    LineSource& reader = *source;
    const ImportReader::Step scanned = reader.scan([&](qint64 counted) {
        return !progress || progress(0, int(counted));
    });
    if (scanned == ImportReader::Step::Stopped) {
        result.error = QStringLiteral("Importación de %1 cancelada. No se importó ningún renglón.").arg(kindName(kind));
        return result;
    }
    if (scanned == ImportReader::Step::Failed) {
        result.error = reader.error() + QStringLiteral(" No se importó ningún renglón.");
        return result;
    }
    result.total = int(reader.lineCount());
    QString error;
    if (!lines.start(&error)) {
        result.error = error + QStringLiteral(" No se importó ningún renglón.");
        return result;
    }

    // The error file is made anew before anything is stored, so that a drive that cannot
    // take it stops the import while the tables are still as they were.
    const QByteArray errorName = QFile::encodeName(errorPath);
    const int fd = ::open(errorName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        result.error = QStringLiteral("No se pudo crear el archivo de errores %1: %2. No se importó ningún renglón.")
                           .arg(native(errorPath), driveErrorReason(errno));
        return result;
    }
    ErrorFile refused(fd);

    // One transaction for the whole import (when one is already open, the rows join it).
    const bool transaction = db.execute(QStringLiteral("begin"));
    result.status = ImportResult::Status::Completed;
    auto going = [&](int read) { return !progress || progress(read, result.total); };
    if (!going(0)) result.status = ImportResult::Status::Cancelled;
    QString text;
    while (result.status == ImportResult::Status::Completed) {
        // Reading a long line reports too, so that a cancel is heard whatever the lines.
        const ImportReader::Step step = reader.next(&text, [&] { return going(result.read); });
        if (step == ImportReader::Step::End) break;
        if (step == ImportReader::Step::Stopped || step == ImportReader::Step::Failed) {
            result.status = ImportResult::Status::Cancelled;
            if (step == ImportReader::Step::Failed)
                result.error = reader.error() + QStringLiteral(" Los renglones siguientes no se leyeron.");
            break;
        }
        const int number = result.read + 1;
        Refusal refusal;
        switch (lines.line(number, text, &refusal, step == ImportReader::Step::LongLine)) {
        case LineImport::Outcome::Loaded:
            ++result.loaded;
            break;
        case LineImport::Outcome::Refused:
            ++result.refused;
            refused.add(errorLine(number, refusal));
            break;
        case LineImport::Outcome::Blank:
            ++result.blank;
            break;
        }
        result.read = number;
        if ((number % kProgressEvery == 0 || number == result.total) && !going(number) && number < result.total)
            result.status = ImportResult::Status::Cancelled;
    }
    if (transaction) {
        QString commitError;
        if (!db.execute(QStringLiteral("commit"), {}, &commitError)) {
            const QString why = QStringLiteral("No se pudo terminar la importación: %1").arg(commitError);
            result.error = result.error.isEmpty() ? why : why + QLatin1Char(' ') + result.error;
        }
    }

    if (const int e = refused.close()) {
        const QString why = QStringLiteral("No se pudo escribir el archivo de errores %1: %2; los renglones "
                                           "rechazados no quedaron anotados en él.")
                                .arg(native(errorPath), driveErrorReason(e));
        result.error = result.error.isEmpty() ? why : result.error + QLatin1Char(' ') + why;
    }
    return result;
}

QString ImportResult::summary() const {
    const QString what = kindName(kind);
    if (status == Status::NotRun) return error;
    QString text;
    if (status == Status::Cancelled)
        text = QStringLiteral("Importación de %1 cancelada después del renglón %2 de %3; los renglones siguientes no "
                              "se leyeron. Renglones cargados: %4 (se conservan).")
                   .arg(what)
                   .arg(read)
                   .arg(total)
                   .arg(loaded);
    else
        text = QStringLiteral("Importación de %1 terminada. Renglones cargados: %2.").arg(what).arg(loaded);
    text += QStringLiteral(" Renglones rechazados: %1").arg(refused);
    if (refused > 0)
        text += QStringLiteral("; cada uno está anotado con el motivo en el archivo de errores %1.")
                    .arg(native(errorPath));
    else
        text += QLatin1Char('.');
    if (blank > 0) text += QStringLiteral(" Renglones en blanco omitidos: %1.").arg(blank);
    if (!error.isEmpty()) text += QStringLiteral("\n\n") + error;
    return text;
}

// ---------------------------------------------------------------------------------------------
// The two imports

namespace {

// The text file in `folder`, else a workbook of its name (the .xlsx before the .ods); the
// text file's own path when there is neither.
QString sourceIn(const QString& folder, const QString& input) {
    const QFileInfo text(fileInFolder(folder, input));
    if (text.exists() || text.isSymLink()) return text.filePath();
    for (const char* ext : {".xlsx", ".ods"}) {
        const QFileInfo workbook(fileInFolder(folder, text.completeBaseName() + QLatin1String(ext)));
        if (workbook.exists() || workbook.isSymLink()) return workbook.filePath();
    }
    return text.filePath();
}

QString inputName(ImportResult::Kind kind) {
    return kind == ImportResult::Kind::Annexes ? QStringLiteral("anexo.csv") : QStringLiteral("prod.csv");
}

ImportResult importFrom(Database& db, LineImport& lines, const Drives& drives, const QString& chosen,
                        const ImportProgress& progress, ImportResult::Kind kind) {
    QString error;
    const QString folder = drives.folder(QLatin1Char('C'), &error);
    if (folder.isEmpty()) {
        ImportResult result;
        result.kind = kind;
        result.error = error + QStringLiteral(". No se importó ningún renglón.");
        return result;
    }
    const QString errors = QLatin1Char('e') + inputName(kind);
    const QString path = chosen.isEmpty() ? sourceIn(folder, inputName(kind)) : chosen;
    ImportResult result = runImport(db, lines, path, fileInFolder(folder, errors), progress, kind);
    if (result.status == ImportResult::Status::NotRun && !QFileInfo(path).exists() && !QFileInfo(path).isSymLink() &&
        chosen.isEmpty())
        result.error = QStringLiteral("No se encontró el archivo %1 ni un libro %2.xlsx o %2.ods en la misma "
                                      "carpeta. No se importó ningún renglón.")
                           .arg(native(path), QFileInfo(path).completeBaseName());
    return result;
}

}  // namespace

ImportResult importAnnexes(Database& db, const Drives& drives, const ImportProgress& progress, const QString& chosen) {
    AnnexLineImport lines(db);
    return importFrom(db, lines, drives, chosen, progress, ImportResult::Kind::Annexes);
}

ImportResult importProducts(Database& db, const Drives& drives, const ImportProgress& progress, const QString& chosen) {
    ProductLineImport lines(db);
    return importFrom(db, lines, drives, chosen, progress, ImportResult::Kind::Products);
}

QString importSourceOnDriveC(const Drives& drives, ImportResult::Kind kind) {
    const QString folder = drives.folder(QLatin1Char('C'));
    if (folder.isEmpty()) return {};
    const QString path = sourceIn(folder, inputName(kind));
    const QFileInfo found(path);
    return found.exists() || found.isSymLink() ? path : QString();
}

}  // namespace kalto

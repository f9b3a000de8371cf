#include "annexes/Import.h"

#include "annexes/ImportText.h"
#include "core/Drives.h"
#include "core/Numbers.h"
#include "data/Database.h"
#include "data/TableCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
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

LineImport::Outcome AnnexLineImport::line(int number, const QString& text, Refusal* refusal) {
    AnnexRow row;
    const Outcome outcome = checks_.check(text, &row, refusal);
    if (outcome != Outcome::Loaded) return outcome;
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

LineImport::Outcome ProductLineImport::line(int, const QString& text, Refusal* refusal) {
    ProductRow row;
    const Outcome outcome = checkProductLine(text, units_, &row, refusal);
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

// Reads the whole input file; false with the message when it cannot.
bool readInput(const QString& path, QByteArray* bytes, QString* error) {
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("No se encontró el archivo %1. No se importó ningún renglón.").arg(native(path));
        return false;
    }
    if (info.isDir()) {
        *error = QStringLiteral("%1 es una carpeta, no un archivo. No se importó ningún renglón.").arg(native(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString reason = !info.isReadable() ? QStringLiteral("no hay permiso para leerlo") : file.errorString();
        *error = QStringLiteral("No se pudo abrir el archivo %1: %2. No se importó ningún renglón.")
                     .arg(native(path), reason);
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("No se pudo leer el archivo %1: %2. No se importó ningún renglón.")
                     .arg(native(path), file.errorString());
        return false;
    }
    return true;
}

// Writes all of `bytes` to `fd`; the errno of a failure otherwise.
int writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += n;
    }
    return ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
}

}  // namespace

ImportResult runImport(Database& db, LineImport& lines, const QString& inputPath, const QString& errorPath,
                       const ImportProgress& progress, ImportResult::Kind kind) {
    ImportResult result;
    result.kind = kind;
    result.inputPath = inputPath;
    result.errorPath = errorPath;

    QByteArray bytes;
    if (!readInput(inputPath, &bytes, &result.error)) return result;
    const QStringList text = importLines(bytes);
    result.total = int(text.size());
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

    // One transaction for the whole import (when one is already open, the rows join it).
    const bool transaction = db.execute(QStringLiteral("begin"));
    QStringList refused;
    result.status = ImportResult::Status::Completed;
    if (progress && !progress(0, result.total)) result.status = ImportResult::Status::Cancelled;
    for (int i = 0; i < result.total && result.status == ImportResult::Status::Completed; ++i) {
        const int number = i + 1;
        Refusal refusal;
        switch (lines.line(number, text.at(i), &refusal)) {
        case LineImport::Outcome::Loaded:
            ++result.loaded;
            break;
        case LineImport::Outcome::Refused:
            ++result.refused;
            refused << errorLine(number, refusal);
            break;
        case LineImport::Outcome::Blank:
            ++result.blank;
            break;
        }
        result.read = number;
        if (progress && (number % kProgressEvery == 0 || number == result.total) && !progress(number, result.total)) {
            if (number < result.total) result.status = ImportResult::Status::Cancelled;
        }
    }
    if (transaction) {
        QString commitError;
        if (!db.execute(QStringLiteral("commit"), {}, &commitError))
            result.error = QStringLiteral("No se pudo terminar la importación: %1").arg(commitError);
    }

    const int e = writeAll(fd, errorFileBytes(refused));
    const int closed = ::close(fd) == 0 ? 0 : errno;
    if (e != 0 || closed != 0) {
        const QString why = QStringLiteral("No se pudo escribir el archivo de errores %1: %2; los renglones "
                                           "rechazados no quedaron anotados en él.")
                                .arg(native(errorPath), driveErrorReason(e != 0 ? e : closed));
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

ImportResult importFrom(Database& db, LineImport& lines, const Drives& drives, const QString& input,
                        const QString& errors, const ImportProgress& progress, ImportResult::Kind kind) {
    QString error;
    const QString folder = drives.folder(QLatin1Char('C'), &error);
    if (folder.isEmpty()) {
        ImportResult result;
        result.kind = kind;
        result.error = error + QStringLiteral(". No se importó ningún renglón.");
        return result;
    }
    return runImport(db, lines, fileInFolder(folder, input), fileInFolder(folder, errors), progress, kind);
}

}  // namespace

ImportResult importAnnexes(Database& db, const Drives& drives, const ImportProgress& progress) {
    AnnexLineImport lines(db);
    return importFrom(db, lines, drives, QStringLiteral("anexo.csv"), QStringLiteral("eanexo.csv"), progress,
                      ImportResult::Kind::Annexes);
}

ImportResult importProducts(Database& db, const Drives& drives, const ImportProgress& progress) {
    ProductLineImport lines(db);
    return importFrom(db, lines, drives, QStringLiteral("prod.csv"), QStringLiteral("eprod.csv"), progress,
                      ImportResult::Kind::Products);
}

}  // namespace kalto

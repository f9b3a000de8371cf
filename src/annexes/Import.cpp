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

namespace importmsg {
const QString kExportacionLongitud = QStringLiteral(" Fracción de exportación con longitud no válida.");
const QString kExportacionNumerico =
    QStringLiteral(" Valor que se intenta como fracción de exportación no es numerico.");
const QString kImportacionSinPadre = QStringLiteral(" Fracción de importación sin fracción de exportación padre.");
const QString kImportacionPadreConProblema =
    QStringLiteral(" Fracción de importación que depende de una fracción de exportación con problematica.");
const QString kImportacionLongitud = QStringLiteral(" Fracción de importación con longitud no válida.");
const QString kImportacionNumerico =
    QStringLiteral(" Valor que se intenta como fracción de importación no es numerico.");
const QString kLetraNoReconocida = QStringLiteral(
    " Letra no reconocida para ingresar un anexo. (Valores permitidos letras E, I, C y H).");
const QString kSinDescripcion =
    QStringLiteral(" Falta la descripción del contenedor o de la herramienta, maquinaria o equipo.");
const QString kDescripcionLarga = QStringLiteral(" La descripción excede el máximo de 254 caracteres.");

const QString kFraccionLongitud = QStringLiteral(" Fracción con longitud no válida.");
const QString kFraccionNumerico = QStringLiteral(" Valor que se intenta ingresar como fracción no es numerico.");
const QString kUnidadNumerico =
    QStringLiteral(" Valor que se intenta ingresar como unidad de medida no es numerico.");
const QString kUnidadNoEncontrada =
    QStringLiteral(" Valor no valido, no se encuentra en el catalogo de unidades de medida.");
const QString kCapacidadNumerico =
    QStringLiteral(" Valor que se intenta ingresar como capacidad instalada no es numerico.");
const QString kCapacidadMaximo = QStringLiteral(" Valor excede el maximo aceptado para este campo (99,999,9999).");
const QString kCapacidadDecimales =
    QStringLiteral(" Valor con más de 3 decimales, no se acepta como capacidad instalada.");
const QString kPorcentajeNumerico = QStringLiteral(" Valor que se intenta ingresar como porcentaje no es numerico.");
const QString kPorcentajeMaximo = QStringLiteral(" Valor excede el maximo aceptado para este campo (100).");
const QString kPorcentajeNegativo =
    QStringLiteral(" Valor que se intenta ingresar como porcentaje no puede ser negativo.");
const QString kPorcentajeDecimales = QStringLiteral(" Valor con más de 2 decimales, no se acepta como porcentaje.");
const QString kRenglonIncompleto = QStringLiteral(
    " Renglón incompleto: se esperan cuatro valores separados por comas (fracción, unidad de medida, capacidad "
    "instalada y porcentaje utilizado).");

const QString kIdentificadorExcedido =
    QStringLiteral(" Renglón no registrado: su identificador en los anexos sería %1 y el máximo es 32767.");
const QString kCaracterNoValido =
    QStringLiteral(" El carácter %1 no se puede guardar en las tablas (no existe en Windows-1252).");
const QString kNoSeGuardo = QStringLiteral(" No se pudo guardar el renglón: %1");
}  // namespace importmsg

using namespace importmsg;

namespace {

constexpr int kDescripMax = 254;
constexpr double kCapacidadTope = 99999999;
constexpr int kProgressEvery = 100;

bool eightDigits(const QString& item) {
    if (item.size() != 8) return false;
    for (const QChar c : item)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

// A value written as a spreadsheet writes a field holding a comma or a quote: between double
// quotes, its own quotes doubled. Any other value is itself.
QString unquoted(const QString& value) {
    if (value.size() < 2 || !value.startsWith(QLatin1Char('"')) || !value.endsWith(QLatin1Char('"'))) return value;
    const QString inner = value.mid(1, value.size() - 2);
    QString out;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner.at(i) != QLatin1Char('"')) {
            out += inner.at(i);
        } else if (i + 1 < inner.size() && inner.at(i + 1) == QLatin1Char('"')) {
            out += QLatin1Char('"');
            ++i;
        } else {
            return value;  // a lone quote inside: not a quoted field
        }
    }
    return out;
}

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

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

QString errorLine(int number, const Refusal& refusal) {
    return QStringLiteral("Renglon ") + QString::number(number) + QStringLiteral(". ") + refusal.value +
           refusal.message;
}

// ---------------------------------------------------------------------------------------------
// Annexes

bool AnnexLineImport::start(QString* error) {
    const auto max = highest(db_, QStringLiteral("select max(id_prod) from imanexos"), error);
    if (!max) return false;
    base_ = *max;
    parentOpen_ = parentFailed_ = false;
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
    if (isBlank(text)) return Outcome::Blank;
    const QChar letter = text.at(0);
    const QString value = unquoted(text.mid(2).trimmed());
    std::optional<Refusal> refused;

    switch (letter.unicode()) {
    case 'E': {
        parentOpen_ = true;
        parentFailed_ = false;
        if (value.size() != 8)
            refused = Refusal{value, kExportacionLongitud};
        else if (!eightDigits(value))
            refused = Refusal{value, kExportacionNumerico};
        else
            refused = store(number, 1, QString(), value, 0, value, &parentId_);
        if (refused) parentFailed_ = true;
        break;
    }
    case 'I':
        if (!parentOpen_)
            refused = Refusal{value, kImportacionSinPadre};
        else if (parentFailed_)
            refused = Refusal{value, kImportacionPadreConProblema};
        else if (value.size() != 8)
            refused = Refusal{value, kImportacionLongitud};
        else if (!eightDigits(value))
            refused = Refusal{value, kImportacionNumerico};
        else
            refused = store(number, 1, QString(), value, parentId_, value, nullptr);
        break;
    case 'C':
    case 'H':
        parentOpen_ = false;
        if (value.isEmpty())
            refused = Refusal{value, kSinDescripcion};
        else if (value.size() > kDescripMax)
            refused = Refusal{value, kDescripcionLarga};
        else if (const char32_t bad = firstNonCp1252(value))
            refused = Refusal{value, kCaracterNoValido.arg(characterCode(bad))};
        else
            refused = store(number, letter == QLatin1Char('C') ? 2 : 3, value, QString(), 0, value, nullptr);
        break;
    default:
        parentFailed_ = true;
        refused = Refusal{QString(letter), kLetraNoReconocida};
        break;
    }
    if (!refused) return Outcome::Loaded;
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
    if (isBlank(text)) return Outcome::Blank;
    auto refuse = [&](const QString& value, const QString& message) {
        if (refusal) *refusal = Refusal{value, message};
        return Outcome::Refused;
    };

    // Four values separated by commas; what follows a fourth comma is not read.
    QStringList fields = text.split(QLatin1Char(','));
    const bool complete = fields.size() >= 4;
    fields = fields.mid(0, 4);
    for (QString& f : fields) f = f.trimmed();

    // The values in their order; the first that fails refuses the line.
    const QString& fraccion = fields.at(0);
    if (fraccion.size() != 8) return refuse(fraccion, kFraccionLongitud);
    if (!eightDigits(fraccion)) return refuse(fraccion, kFraccionNumerico);

    if (fields.size() < 2) return refuse(text.trimmed(), kRenglonIncompleto);
    const QString& unidad = fields.at(1);
    const auto code = parseNumber(unidad);
    if (!code) return refuse(unidad, kUnidadNumerico);
    const auto unit = code->integer ? units_.constFind(*code->integer) : units_.cend();
    if (unit == units_.cend()) return refuse(unidad, kUnidadNoEncontrada);

    if (fields.size() < 3) return refuse(text.trimmed(), kRenglonIncompleto);
    const QString& volumen = fields.at(2);
    const auto capacity = parseNumber(volumen);
    if (!capacity) return refuse(volumen, kCapacidadNumerico);
    if (capacity->value > kCapacidadTope) return refuse(volumen, kCapacidadMaximo);
    if (capacity->decimals > 3) return refuse(volumen, kCapacidadDecimales);

    if (!complete) return refuse(text.trimmed(), kRenglonIncompleto);
    const QString& porcut = fields.at(3);
    const auto percentage = parseNumber(porcut);
    if (!percentage) return refuse(porcut, kPorcentajeNumerico);
    if (percentage->value > 100) return refuse(porcut, kPorcentajeMaximo);
    if (percentage->value < 0) return refuse(porcut, kPorcentajeNegativo);
    if (percentage->decimals > 2) return refuse(porcut, kPorcentajeDecimales);

    // The product's export-product row, as a typed product gets it, then the product.
    if (nextId_ > kMaxAnnexId) return refuse(fraccion, kIdentificadorExcedido.arg(nextId_));
    const qint64 id = nextId_;
    QString error;
    if (!db_.execute(QStringLiteral("insert into imanexos values (?,1,'null ',?,0)"), {id, fraccion}, &error))
        return refuse(fraccion, kNoSeGuardo.arg(error));
    if (!db_.execute(QStringLiteral("insert into improd values (?,?,'',?,?,?,?)"),
                     {id, fraccion, capacity->toVariant(), percentage->toVariant(), *code->integer, unit.value()},
                     &error)) {
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

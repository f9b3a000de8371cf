#include "app/RequestRestore.h"

#include "app/DiskGeneration.h"
#include "core/Drives.h"
#include "core/Messages.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kalto {

const QString RequestRestore::kBackups = QStringLiteral("respaldos");

namespace {

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

quint32 le(const QByteArray& b, int at, int size) {
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<quint8>(b[at + i]);
    return v;
}

// The file of `folder` named `name` without regard to case; empty when there is none.
QString findFile(const QString& folder, const QString& name) {
    const QDir dir(folder);
    for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden))
        if (f.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(f);
    return {};
}

// Why the file at `path` is not a whole table: its size must be what its header gives (the
// header, the records it counts and at most the end mark). Empty when it is whole.
QString wholeTable(const QString& path, const QString& name) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("la tabla %1 no se puede leer (%2)").arg(name, f.errorString());
    const QByteArray bytes = f.readAll();
    if (bytes.size() < 32) return QStringLiteral("la tabla %1 está dañada: el archivo está incompleto").arg(name);
    const qint64 expected = qint64(le(bytes, 8, 2)) + qint64(le(bytes, 4, 4)) * qint64(le(bytes, 10, 2));
    const qint64 size = bytes.size();
    if (size == expected || (size == expected + 1 && bytes.back() == '\x1a')) return {};
    return QStringLiteral("la tabla %1 está dañada: mide %2 bytes y su encabezado indica %3")
        .arg(name)
        .arg(size)
        .arg(expected);
}

bool sameFields(const QList<DbfField>& found, const QList<DbfField>& expected) {
    if (found.size() != expected.size()) return false;
    for (int i = 0; i < found.size(); ++i) {
        const DbfField& a = found[i];
        const DbfField& b = expected[i];
        if (a.name.compare(b.name, Qt::CaseInsensitive) != 0 || a.type != b.type || a.width != b.width ||
            (a.type == DbfType::Numeric && a.decimals != b.decimals))
            return false;
    }
    return true;
}

QString sentence(const QString& text) {
    QString s = text.trimmed();
    if (!s.isEmpty() && !s.endsWith(QLatin1Char('.'))) s += QLatin1Char('.');
    return s;
}

}  // namespace

RequestRestore::RequestRestore(Database& db, Messages& messages, RestoreHooks hooks)
    : db_(db), messages_(messages), hooks_(std::move(hooks)) {}

RestoreFound RequestRestore::inspect(const QString& folder) {
    RestoreFound found;
    found.folder = folder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        found.refused = QStringLiteral("la carpeta %1 no existe").arg(native(folder));
        return found;
    }
    for (const QString& table : requestTables()) {
        const QString name = DiskGeneration::diskFileName(table);
        RestoreFound::Table t{table, findFile(folder, name), 0};
        if (t.path.isEmpty()) {
            found.refused = QStringLiteral("no se encuentra la tabla %1").arg(name);
            return found;
        }
        found.refused = wholeTable(t.path, name);
        if (!found.refused.isEmpty()) return found;
        QString error;
        const std::unique_ptr<DbfTable> dbf = DbfTable::open(t.path, &error, DbfAccess::ReadOnly);
        if (!dbf) {
            found.refused = QStringLiteral("la tabla %1 está dañada: %2").arg(name, error);
            return found;
        }
        const TableDef* def = findTableDef(table);
        if (!def || !sameFields(dbf->fields(), def->fields)) {
            found.refused = QStringLiteral("la tabla %1 no es de una solicitud: sus columnas no son las de %2")
                                .arg(name, table);
            return found;
        }
        t.rows = dbf->recordCount() - dbf->deletedCount();
        if (table == QLatin1String("imdint")) {
            for (int r = 0; r < dbf->recordCount(); ++r) {
                if (dbf->isDeleted(r)) continue;
                found.rfc = dbf->value(r, dbf->fieldIndex(QStringLiteral("RFC"))).toString().trimmed();
                found.companyName = dbf->value(r, dbf->fieldIndex(QStringLiteral("APEPATRAZ"))).toString().trimmed();
                break;
            }
        }
        found.tables.append(t);
    }
    return found;
}

QString RequestRestore::question(const RestoreFound& found) {
    QString text = QStringLiteral("En %1 se encontró la solicitud de:\n\nRFC: %2\nNombre o razón social: %3\n\n")
                       .arg(native(found.folder), found.rfc.isEmpty() ? QStringLiteral("(sin RFC)") : found.rfc,
                            found.companyName.isEmpty() ? QStringLiteral("(sin nombre)") : found.companyName);
    for (const RestoreFound::Table& t : found.tables)
        text += QStringLiteral("%1: %2 %3\n")
                    .arg(DiskGeneration::diskFileName(t.table))
                    .arg(t.rows)
                    .arg(t.rows == 1 ? QStringLiteral("renglón") : QStringLiteral("renglones"));
    text += QStringLiteral("\n¿Deseas reemplazar con ella la solicitud actual? La solicitud actual se guardará "
                           "antes en la carpeta %1.")
                .arg(kBackups);
    return text;
}

QString RequestRestore::driveA(const Drives& drives) {
    QString error;
    const QString folder = drives.folder(QLatin1Char('A'), &error);
    if (folder.isEmpty()) messages_.exclamation(sentence(error));
    return folder;
}

bool RequestRestore::keepCurrent(QString* error) {
    const QString base = QDir(db_.folder()).filePath(kBackups);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString folder = QDir(base).filePath(stamp);
    for (int n = 2; QFileInfo::exists(folder); ++n) folder = QDir(base).filePath(stamp + QStringLiteral("-%1").arg(n));
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("No se pudo crear la carpeta %1").arg(native(folder));
        return false;
    }
    for (const QString& table : requestTables()) {
        const QString path = db_.tablePath(table);
        if (path.isEmpty()) continue;  // a table the folder lacks has nothing to keep
        const QString copy = QDir(folder).filePath(QFileInfo(path).fileName());
        QFile source(path);
        if (!source.copy(copy)) {
            *error = QStringLiteral("No se pudo copiar %1 a %2: %3").arg(native(path), native(folder), source.errorString());
            return false;
        }
    }
    backupFolder_ = folder;
    return true;
}

bool RequestRestore::replaceAll(const RestoreFound& found, QString* error) {
    // Every new file is first written beside its table under a temporary name: a copy that
    // fails leaves the request of the data folder untouched.
    QStringList temporaries;
    auto dropTemporaries = [&temporaries] {
        for (const QString& t : std::as_const(temporaries)) QFile::remove(t);
    };
    for (const RestoreFound::Table& t : found.tables) {
        const QString path = db_.tablePath(t.table);
        if (path.isEmpty()) {
            *error = QStringLiteral("No existe la tabla %1 en la carpeta de datos %2")
                         .arg(DiskGeneration::diskFileName(t.table), native(db_.folder()));
            dropTemporaries();
            return false;
        }
        const QString temporary = path + QStringLiteral(".recupera");
        QFile::remove(temporary);
        QFile source(t.path);
        if (!source.copy(temporary)) {
            *error = QStringLiteral("No se pudo copiar %1 a la carpeta de datos: %2")
                         .arg(native(t.path), source.errorString());
            dropTemporaries();
            return false;
        }
        temporaries << temporary;
    }
    for (int i = 0; i < found.tables.size(); ++i) {
        if (!DataSource::replaceTable(&db_, found.tables[i].table, temporaries[i], error)) {
            temporaries = temporaries.mid(i);
            dropTemporaries();
            return false;
        }
    }
    return true;
}

RestoreOutcome RequestRestore::restore(const QString& folder) {
    backupFolder_.clear();
    const RestoreFound found = inspect(folder);
    if (!found.ok()) {
        messages_.exclamation(QStringLiteral("No se puede recuperar la solicitud de %1: %2\n\nNo se reemplazó nada.")
                                  .arg(native(folder), sentence(found.refused)));
        return RestoreOutcome::Refused;
    }
    if (!messages_.askYesNo(question(found), true, QStringLiteral("KALTO"), Messages::Answer::No))
        return RestoreOutcome::Declined;
    if (hooks_.storePending && !hooks_.storePending()) return RestoreOutcome::NotStored;

    QString error;
    if (!keepCurrent(&error)) {
        messages_.exclamation(QStringLiteral("No se pudo guardar la solicitud actual: ") + sentence(error) +
                              QStringLiteral("\n\nNo se reemplazó nada."));
        return RestoreOutcome::Failed;
    }
    const bool replaced = replaceAll(found, &error);
    if (hooks_.rebind) hooks_.rebind();
    if (!replaced) {
        messages_.exclamation(QStringLiteral("No se pudo recuperar la solicitud: ") + sentence(error) +
                              QStringLiteral("\n\nLa solicitud anterior quedó guardada en %1.").arg(native(backupFolder_)));
        return RestoreOutcome::Failed;
    }
    messages_.information(QStringLiteral("Se recuperó la solicitud de %1. La solicitud anterior quedó guardada en %2.")
                              .arg(native(folder), native(backupFolder_)));
    return RestoreOutcome::Restored;
}

}  // namespace kalto

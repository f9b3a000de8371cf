#include "app/RequestRestore.h"

#include "app/DiskGeneration.h"
#include "core/Messages.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>


namespace kalto {

const QString RequestRestore::kBackups = QStringLiteral("respaldos");

namespace {

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

// The entries of `folder` named `name` without regard to case, whatever they are.
QStringList entriesNamed(const QString& folder, const QString& name) {
    QStringList out;
    const QDir dir(folder);
    for (const QString& f : dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot))
        if (f.compare(name, Qt::CaseInsensitive) == 0) out << f;
    return out;
}

// Why `folder` cannot be taken because it holds two spellings of `name`; empty when it holds one or none.
QString twoSpellings(const QString& folder, const QString& name) {
    QStringList found = entriesNamed(folder, name);
    if (found.size() < 2) return {};
    found.sort();
    return QStringLiteral("la carpeta %1 tiene la misma tabla escrita de dos maneras, %2 y %3; deja solo una")
        .arg(native(folder), found[0], found[1]);
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

// Why the live rows of `table` break what the program relies on; empty when they do not.
// Rows are counted from 1, as the user counts them.
QString rowRules(const QString& table, const QString& name, const QList<DbfField>& fields,
                 const QList<QVariantList>& records) {
    if (table == QLatin1String("imdint") && records.size() != 1)
        return records.isEmpty()
                   ? QStringLiteral("la tabla %1 no tiene el renglón con los datos de la solicitud").arg(name)
                   : QStringLiteral("la tabla %1 tiene más de un renglón con los datos de la solicitud "
                                    "(el renglón 2 sobra)")
                         .arg(name);
    const int idProd = table == QLatin1String("imanexos") ? 0 : -1;
    QHash<qint64, int> seen;
    for (int r = 0; r < records.size(); ++r) {
        const QString why = checkRow(table, fields, records[r]);
        if (!why.isEmpty()) return QStringLiteral("la tabla %1, renglón %2: %3").arg(name).arg(r + 1).arg(why);
        if (idProd < 0 || records[r].value(idProd).isNull()) continue;
        const qint64 id = records[r].value(idProd).toLongLong();
        if (seen.contains(id))
            return QStringLiteral("la tabla %1, renglón %2: el identificador ID_PROD %3 ya es del renglón %4")
                .arg(name)
                .arg(r + 1)
                .arg(id)
                .arg(seen.value(id) + 1);
        seen.insert(id, r);
    }
    return {};
}

// Compared a block at a time: a table can be far larger than what is worth holding twice.
bool sameBytes(const QString& a, const QString& b) {
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size()) return false;
    constexpr qint64 block = 256 * 1024;
    while (!fa.atEnd()) {
        const QByteArray x = fa.read(block);
        if (x.isEmpty() || x != fb.read(x.size())) return false;
    }
    return fb.atEnd();
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
        const QStringList files = entriesNamed(folder, name);
        if (files.isEmpty()) {
            found.refused = QStringLiteral("no se encuentra la tabla %1").arg(name);
            return found;
        }
        found.refused = twoSpellings(folder, name);
        if (!found.refused.isEmpty()) return found;
        RestoreFound::Table t{table, QDir(folder).filePath(files.first()), 0, {}};
        // Decided by the file's status and header before anything else of it is read.
        QString error;
        if (!DbfTable::inspect(t.path, &error)) {
            found.refused = error;
            return found;
        }
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
        for (int r = 0; r < dbf->recordCount(); ++r)
            if (!dbf->isDeleted(r)) t.records << dbf->record(r);
        t.rows = static_cast<int>(t.records.size());
        found.refused = rowRules(table, name, def->fields, t.records);
        if (!found.refused.isEmpty()) return found;
        if (table == QLatin1String("imdint")) {
            found.rfc = t.records[0].value(dbf->fieldIndex(QStringLiteral("RFC"))).toString().trimmed();
            found.companyName = t.records[0].value(dbf->fieldIndex(QStringLiteral("APEPATRAZ"))).toString().trimmed();
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

bool keepRequestTables(const Database& db, const QString& name, QString* error) {
    const QDir base(QDir(db.folder()).filePath(RequestRestore::kBackups));
    const QString temp = base.filePath(QLatin1Char('.') + name);
    QDir(temp).removeRecursively();
    bool ok = QDir().mkpath(temp);
    if (!ok) *error = QStringLiteral("no se pudo crear la carpeta %1.").arg(native(temp));
    for (const QString& table : requestTables()) {
        const QString path = db.tablePath(table);
        if (!ok || path.isEmpty()) continue;  // a table the folder lacks has nothing to keep
        QStringList files{path};
        if (!cpgBeside(path).isEmpty()) files << cpgBeside(path);
        for (const QString& f : files) {
            QFile source(f);
            if (ok && !source.copy(QDir(temp).filePath(QFileInfo(f).fileName()))) {
                *error = QStringLiteral("no se pudo copiar %1: %2.").arg(native(f), source.errorString());
                ok = false;
            }
        }
    }
    if (ok && !QDir().rename(temp, base.filePath(name))) {
        *error = QStringLiteral("no se pudo crear la carpeta %1.").arg(native(base.filePath(name)));
        ok = false;
    }
    if (!ok) QDir(temp).removeRecursively();
    return ok;
}

bool RequestRestore::keepCurrent(QString* error) {
    const QDir base(QDir(db_.folder()).filePath(kBackups));
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stamp;
    for (int n = 2; QFileInfo::exists(base.filePath(name)); ++n) name = stamp + QStringLiteral("-%1").arg(n);
    if (!keepRequestTables(db_, name, error)) return false;
    backupFolder_ = base.filePath(name);
    return true;
}

bool RequestRestore::writeNew(const RestoreFound& found, const QString& staging, QString* error) {
    if (!QDir().mkpath(staging)) {
        *error = QStringLiteral("No se pudo crear la carpeta %1").arg(native(staging));
        return false;
    }
    for (const RestoreFound::Table& t : found.tables) {
        const QString name = DiskGeneration::diskFileName(t.table);
        const QString current = db_.tablePath(t.table);
        if (current.isEmpty()) {
            *error = QStringLiteral("No existe la tabla %1 en la carpeta de datos %2").arg(name, native(db_.folder()));
            return false;
        }
        const QString path = QDir(staging).filePath(QFileInfo(current).fileName());
        const TableDef* def = findTableDef(t.table);
        QString why;
        // The new table is read through the .cpg of the data folder's table, as it will be there.
        const QString cpg = cpgBeside(current);
        const bool created = DbfTable::create(path, def->fields, &why) &&
                             (cpg.isEmpty() || QFile::copy(cpg, QDir(staging).filePath(QFileInfo(cpg).fileName())));
        std::unique_ptr<DbfTable> dbf = created ? DbfTable::open(path, &why) : nullptr;
        for (int r = 0; dbf && r < t.records.size(); ++r) {
            int recno = -1;
            if (!dbf->append(t.records[r], &recno, &why)) {
                *error = QStringLiteral("La tabla %1, renglón %2, no se puede guardar en la carpeta de datos: %3")
                             .arg(name)
                             .arg(r + 1)
                             .arg(why);
                return false;
            }
        }
        dbf.reset();
        const std::unique_ptr<DbfTable> back = created ? DbfTable::open(path, &why, DbfAccess::ReadOnly) : nullptr;
        if (!back) {
            *error = QStringLiteral("No se pudo escribir la tabla %1 en la carpeta de datos: %2").arg(name, why);
            return false;
        }
        for (int r = 0; r < t.records.size(); ++r) {
            if (back->record(r) != t.records[r]) {
                *error = QStringLiteral("La tabla %1, renglón %2, no se lee en la carpeta de datos como en el disco "
                                        "(¿letras que su página de códigos no tiene?)")
                             .arg(name)
                             .arg(r + 1);
                return false;
            }
        }
    }
    return true;
}

bool RequestRestore::replaceAll(const RestoreFound& found, const QString& staging, QString* error, bool* unchanged) {
    *unchanged = true;
    for (int i = 0; i < found.tables.size(); ++i) {
        const QString& table = found.tables[i].table;
        const QString path = QDir(staging).filePath(QFileInfo(db_.tablePath(table)).fileName());
        if (!DataSource::replaceTable(&db_, table, path, error)) {
            // The rename may have happened before the reopen failed: this table is put back too.
            QString why;
            if (!putBack(i, staging, &why)) {
                *error = sentence(*error) + QStringLiteral("\n") + why;
                *unchanged = false;
            }
            return false;
        }
    }
    return true;
}

bool RequestRestore::putBack(int upTo, const QString& staging, QString* error) {
    bool ok = true;
    for (int i = upTo; i >= 0; --i) {
        const QString& table = requestTables()[i];
        const QString name = QFileInfo(db_.tablePath(table)).fileName();
        const QString copy = QDir(staging).filePath(name);
        const QString kept = QDir(backupFolder_).filePath(name);
        if (i == upTo && sameBytes(kept, db_.tablePath(table))) continue;  // it failed before its rename
        QFile::remove(copy);
        QString why;
        if (!QFile::copy(kept, copy) ||
            !DataSource::replaceTable(&db_, table, copy, &why)) {
            QFile::remove(copy);
            *error += QStringLiteral("No se pudo volver a poner la tabla %1. %2\n").arg(name, sentence(why));
            ok = false;
        }
    }
    return ok;
}

RestoreOutcome RequestRestore::restore(const QString& folder) {
    backupFolder_.clear();
    RestoreFound found = inspect(folder);
    for (int i = 0; found.ok() && i < requestTables().size(); ++i)
        found.refused = twoSpellings(db_.folder(), DiskGeneration::diskFileName(requestTables()[i]));
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
    // The new tables are written beside the copy kept, on the data folder's disk, and renamed from there.
    const QString staging = QDir(backupFolder_).filePath(QStringLiteral("recuperada"));
    if (!writeNew(found, staging, &error)) {
        QDir(staging).removeRecursively();
        messages_.exclamation(QStringLiteral("No se puede recuperar la solicitud de %1: %2\n\nNo se reemplazó nada.")
                                  .arg(native(folder), sentence(error)));
        return RestoreOutcome::Refused;
    }
    bool unchanged = true;
    const bool replaced = replaceAll(found, staging, &error, &unchanged);
    QDir(staging).removeRecursively();
    if (hooks_.rebind) hooks_.rebind();
    if (!replaced) {
        messages_.exclamation(
            QStringLiteral("No se pudo recuperar la solicitud: ") + sentence(error) +
            (unchanged ? QStringLiteral("\n\nNo se cambió nada: la solicitud de la carpeta de datos quedó como estaba "
                                        "(también guardada en %1).")
                       : QStringLiteral("\n\nLa solicitud anterior está guardada en %1; cierra el programa y copia "
                                        "sus tablas a la carpeta de datos."))
                .arg(native(backupFolder_)));
        return RestoreOutcome::Failed;
    }
    messages_.information(QStringLiteral("Se recuperó la solicitud de %1. La solicitud anterior quedó guardada en %2.")
                              .arg(native(folder), native(backupFolder_)));
    return RestoreOutcome::Restored;
}

}  // namespace kalto

#include "data/Database.h"

#include "data/DbfModule.h"
#include "data/TableCatalogue.h"
#include "data/Values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <stdlib.h>
#include <unistd.h>

namespace kalto {

namespace {

bool bindAll(sqlite3_stmt* stmt, const QVariantList& params, QString* error) {
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& v = params[i];
        int rc;
        if (isNullValue(v)) {
            rc = sqlite3_bind_null(stmt, i + 1);
        } else if (v.typeId() == QMetaType::Bool) {
            rc = sqlite3_bind_int(stmt, i + 1, v.toBool() ? 1 : 0);
        } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            rc = sqlite3_bind_double(stmt, i + 1, v.toDouble());
        } else if (isNumberValue(v)) {
            rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
        } else {
            const QByteArray s = v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate).toUtf8()
                                                                : v.toString().toUtf8();
            rc = sqlite3_bind_text(stmt, i + 1, s.constData(), s.size(), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) {
            if (error) *error = QStringLiteral("No se pudo asignar el valor %1 de la sentencia.").arg(i + 1);
            return false;
        }
    }
    return true;
}

QVariant columnValue(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER: return QVariant(static_cast<qint64>(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT: return QVariant(sqlite3_column_double(stmt, i));
    case SQLITE_NULL: return QVariant();
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                 sqlite3_column_bytes(stmt, i));
    }
}

const QRegularExpression& identifier() {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re;
}

}  // namespace

Database::Database() = default;
Database::~Database() { close(); }

void Database::close() {
    dropStatements();
    ++generation_;
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    // Record sets may still hold these tables: they keep reading them but write no more.
    for (const auto& t : std::as_const(tables_)) t->closeFile();
    tables_.clear();
    names_.clear();
    unpacked_.clear();
}

namespace {

// The .DBF files of the folder, by lower-case table name, with the request tables it lacks
// created; an empty text, or what is wrong with the folder.
QString folderTables(const QDir& dir, const QString& native, QHash<QString, QString>* files) {
    // Every entry named like a table: a folder or a FIFO too, which opening then refuses by name,
    // rather than taking the table for missing.
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (!entry.endsWith(QStringLiteral(".dbf"), Qt::CaseInsensitive)) continue;
        const QString base = entry.left(entry.size() - 4);
        if (!identifier().match(base).hasMatch()) continue;
        const QString path = dir.filePath(entry);
        if (files->contains(base.toLower()))
            return (QStringLiteral("La carpeta de datos %1 tiene dos archivos de la misma tabla: %2 y %3. Deja solo "
                                       "uno de ellos y vuelve a abrir el programa.")
                            .arg(native, QDir::toNativeSeparators(files->value(base.toLower())),
                                 QDir::toNativeSeparators(path)));
        // A link would be replaced by a file of its own at the first pack: the file it points to
        // would silently stop changing.
        const QFileInfo info(path);
        if (info.isSymLink())
            return (QStringLiteral("La tabla %1 es un enlace a %2. Este programa no escribe a través de enlaces: pon "
                                       "en su lugar una copia del archivo y vuelve a abrir el programa.")
                            .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(info.symLinkTarget())));
        files->insert(base.toLower(), path);
    }

    QString err;
    for (const TableDef& def : tableCatalogue()) {
        const QString key = def.name.toLower();
        if (files->contains(key)) continue;
        if (def.group == TableGroup::Catalogue)
            return (QStringLiteral("No se encontró la tabla de catálogo %1 (%1.DBF) en la carpeta %2.")
                            .arg(def.name, native));
        const QString path = dir.filePath(def.name + QStringLiteral(".DBF"));
        if (!DbfTable::create(path, def.fields, &err))
            return err.isEmpty() ? QStringLiteral("No se pudo crear la tabla %1.").arg(QDir::toNativeSeparators(path)) : err;
        files->insert(key, path);
    }
    return {};
}

// The request header always has exactly one row: an empty one gets it.
bool ensureHeaderRow(DbfTable* header, QString* err) {
    if (!header || header->recordCount() - header->deletedCount() != 0) return true;
    const int idsectorm = header->fieldIndex(QStringLiteral("IDSECTORM"));
    const int idtra = header->fieldIndex(QStringLiteral("IDTRA"));
    const int idmoda = header->fieldIndex(QStringLiteral("IDMODA"));
    const int dprev = header->fieldIndex(QStringLiteral("DPREV"));
    QVariantList row;
    for (int i = 0; i < header->fields().size(); ++i) {
        if (i == idsectorm || i == idtra || i == idmoda) row << QVariant(qint64(0));
        else if (i == dprev) row << QVariant(false);
        else row << QVariant();
    }
    int recno;
    return header->append(row, &recno, err);
}

}  // namespace

bool Database::open(const QString& folder, QString* error) {
    close();
    auto fail = [&](const QString& message) {
        if (error) *error = message;
        close();
        return false;
    };
    const QString native = QDir::toNativeSeparators(folder);
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return fail(QStringLiteral("No existe la carpeta de datos %1.").arg(native));
    {
        QByteArray probe = QFile::encodeName(dir.filePath(QStringLiteral("kalto_XXXXXX")));
        const int fd = ::mkstemp(probe.data());
        if (fd < 0)
            return fail(QStringLiteral("No se puede escribir en la carpeta de datos %1: %2.").arg(native, systemReason(errno)));
        ::close(fd);
        ::unlink(probe.constData());
    }
    folder_ = dir.absolutePath();

    QHash<QString, QString> files;
    const QString wrong = folderTables(dir, native, &files);
    if (!wrong.isEmpty()) return fail(wrong);

    QString err;
    int rc = sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) return fail(QStringLiteral("No se pudo iniciar el motor de consultas."));
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    if (!registerDbfModule(db_, this, &err)) return fail(err);

    for (auto it = files.cbegin(); it != files.cend(); ++it)
        if (!registerTable(it.value(), &err)) return fail(err);

    if (!ensureHeaderRow(table(QStringLiteral("imdint")), &err)) return fail(err);
    return true;
}

QString Database::notice() const {
    if (unpacked_.isEmpty()) return {};
    return QStringLiteral("No se pudieron compactar %1 (%2): quedan sin compactar, con sus renglones borrados "
                          "ocupando espacio, y se compactarán al abrir el programa cuando haya lugar en el disco.")
        .arg(unpacked_.size() == 1 ? QStringLiteral("la tabla") : QStringLiteral("las tablas"),
             unpacked_.join(QStringLiteral(", ")));
}

bool Database::registerTable(const QString& path, QString* error) {
    std::unique_ptr<DbfTable> table = DbfTable::open(path, error);
    if (!table) return false;
    if (table->deletedCount() > 0 && !table->isReadOnly()) {
        // Packed at opening; when the packed file cannot be written (a full disk), the table is
        // used as it is, and packed at a later opening.
        table.reset();
        QString why;
        if (!DbfTable::pack(path, &why)) unpacked_ << QDir::toNativeSeparators(path);
        table = DbfTable::open(path, error);
        if (!table) return false;
    }
    const QString name = QFileInfo(path).completeBaseName();
    const QString key = name.toLower();
    tables_.insert(key, std::shared_ptr<DbfTable>(table.release()));
    names_.insert(key, name);
    ++generation_;
    char* msg = nullptr;
    const QByteArray decl = dbfTableDeclaration(name).toUtf8();
    if (sqlite3_exec(db_, decl.constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
        if (error)
            *error = QStringLiteral("No se pudo abrir la tabla %1: %2")
                         .arg(QDir::toNativeSeparators(path), QString::fromUtf8(msg));
        sqlite3_free(msg);
        return false;
    }
    return true;
}

DbfTable* Database::table(const QString& name) const {
    auto it = tables_.constFind(name.toLower());
    return it == tables_.cend() ? nullptr : it->get();
}

std::shared_ptr<DbfTable> Database::sharedTable(const QString& name) const {
    return tables_.value(name.toLower());
}

QString Database::tablePath(const QString& name) const {
    const DbfTable* t = table(name);
    return t ? t->path() : QString();
}

QString Database::tableName(const QString& name) const { return names_.value(name.toLower()); }

QStringList Database::tableNames() const {
    QStringList out = names_.values();
    out.sort(Qt::CaseInsensitive);
    return out;
}

// Statements kept prepared: the windows and the rules run the same few dozen texts again and
// again with other bound values, and preparing one costs more than running it.
constexpr qsizetype kCachedStatements = 64;

sqlite3_stmt* Database::prepare(const QString& sql, bool* cached, QString* error) {
    *cached = false;
    auto found = statements_.find(sql);
    if (found != statements_.end() && !sqlite3_stmt_busy(found->stmt)) {
        found->lastUse = ++uses_;
        *cached = true;
        return found->stmt;
    }
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &stmt, &tail) !=
        SQLITE_OK) {
        if (error) *error = QString::fromUtf8(sqlite3_errmsg(db_));
        return nullptr;
    }
    if (!stmt) {  // blank text
        if (error) *error = QStringLiteral("La sentencia está vacía.");
        return nullptr;
    }
    if (tail && QByteArray(tail).trimmed().replace(';', "").size() > 0) {
        sqlite3_finalize(stmt);
        if (error) *error = QStringLiteral("Sólo se puede ejecutar una sentencia a la vez.");
        return nullptr;
    }
    if (found != statements_.end()) return stmt;  // the cached one is running: this one is used once
    // A text is kept from its second time (or when it binds values): a run of statements that
    // each spell out their own values, never seen again, would only push the useful ones out.
    const size_t hash = qHash(sql);
    size_t& seen = seen_[hash % seen_.size()];
    const bool again = seen == hash;
    seen = hash;
    if (!again && sqlite3_bind_parameter_count(stmt) == 0) return stmt;
    if (statements_.size() >= kCachedStatements) {
        auto oldest = statements_.begin();
        for (auto it = statements_.begin(); it != statements_.end(); ++it)
            if (!sqlite3_stmt_busy(it->stmt) && (sqlite3_stmt_busy(oldest->stmt) || it->lastUse < oldest->lastUse))
                oldest = it;
        if (sqlite3_stmt_busy(oldest->stmt)) return stmt;  // every one is running
        sqlite3_finalize(oldest->stmt);
        statements_.erase(oldest);
    }
    statements_.insert(sql, Prepared{stmt, ++uses_});
    *cached = true;
    return stmt;
}

void Database::dropStatements() {
    for (const Prepared& p : std::as_const(statements_)) sqlite3_finalize(p.stmt);
    statements_.clear();
}

bool Database::query(const QString& sql, const QVariantList& params,
                     const std::function<bool(const QVariantList&)>& row, QString* error, QStringList* columns) {
    if (!db_) {
        if (error) *error = QStringLiteral("La base de datos no está abierta.");
        return false;
    }
    bool cached = false;
    sqlite3_stmt* stmt = prepare(sql, &cached, error);
    if (!stmt) return false;
    // A kept statement is reset and its values cleared whatever way this call ends, so that it
    // holds no cursor on a table and no value of this call afterwards.
    const auto done = [&] {
        if (!cached) {
            sqlite3_finalize(stmt);
            return;
        }
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    };
    if (!bindAll(stmt, params, error)) {
        done();
        return false;
    }
    const int n = sqlite3_column_count(stmt);
    if (columns) {
        columns->clear();
        for (int i = 0; i < n; ++i) *columns << QString::fromUtf8(sqlite3_column_name(stmt, i));
    }
    int rc;
    QVariantList values;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!row) continue;
        values.clear();
        values.reserve(n);
        for (int i = 0; i < n; ++i) values << columnValue(stmt, i);
        if (!row(values)) {
            rc = SQLITE_DONE;
            break;
        }
    }
    bool ok = rc == SQLITE_DONE;
    if (!ok && error) *error = QString::fromUtf8(sqlite3_errmsg(db_));
    done();
    return ok;
}

bool Database::execute(const QString& sql, const QVariantList& params, QString* error) {
    return query(sql, params, nullptr, error);
}

QVariant Database::scalar(const QString& sql, const QVariantList& params, QString* error) {
    QVariant result;
    query(sql, params, [&](const QVariantList& row) {
        if (!row.isEmpty()) result = row.first();
        return false;
    }, error);
    return result;
}

int Database::changes() const { return db_ ? sqlite3_changes(db_) : 0; }

bool Database::pack(const QString& name, QString* error) {
    const QString key = name.toLower();
    auto it = tables_.find(key);
    if (it == tables_.end()) {
        if (error) *error = QStringLiteral("No existe la tabla %1.").arg(name);
        return false;
    }
    if ((*it)->deletedCount() == 0) return true;
    const QString path = (*it)->path();
    (*it)->closeFile();  // record sets still holding it keep reading the old copy, never writing it
    tables_.erase(it);
    ++generation_;
    const bool packed = DbfTable::pack(path, error);
    QString reopenError;
    std::unique_ptr<DbfTable> table = DbfTable::open(path, &reopenError);
    if (!table) {
        if (error) *error = reopenError;
        return false;
    }
    tables_.insert(key, std::shared_ptr<DbfTable>(table.release()));
    return packed;
}

bool Database::replace(const QString& name, const QString& newFile, QString* error) {
    auto it = tables_.find(name.toLower());
    if (it == tables_.end()) {
        if (error) *error = QStringLiteral("No existe la tabla %1.").arg(name);
        return false;
    }
    const QString path = (*it)->path();
    if (std::rename(QFile::encodeName(newFile).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QStringLiteral("No se pudo poner %1 en lugar de %2: %3.")
                         .arg(QDir::toNativeSeparators(newFile), QDir::toNativeSeparators(path), systemReason(errno));
        return false;
    }
    (*it)->closeFile();  // record sets still holding it keep reading the old copy, never writing it
    ++generation_;
    std::unique_ptr<DbfTable> table = DbfTable::open(path, error);
    if (!table) return false;  // the old copy stays readable, and refuses every write
    *it = std::shared_ptr<DbfTable>(table.release());
    return true;
}

QString sqlQuote(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

}  // namespace kalto

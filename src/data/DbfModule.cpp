#include "data/DbfModule.h"

#include "data/Database.h"
#include "data/RecordSet.h"
#include "data/TableCatalogue.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kalto {

namespace {

struct DbfVtab {
    sqlite3_vtab base;
    Database* owner;
    QString key;  // lower-case table name
    // The table `key` named when last looked up, while the owner's tables stay the same.
    DbfTable* table = nullptr;
    quint64 generation = 0;
    QList<int> checked;   // the columns checkRow looks at in that table
    QVariantList values;  // a written row, kept for its room
};

struct DbfCursor {
    sqlite3_vtab_cursor base;
    DbfTable* table = nullptr;
    QList<int> recnos;  // used when answered from an index
    bool indexed = false;
    int pos = 0;        // index into recnos, or the record number of a full scan
    int end = 0;        // full scan: record count when the scan began
    QByteArray text;    // a value's text when it had to be converted to UTF-8
};

void setError(sqlite3_vtab* vtab, const QString& message) {
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("%s", message.toUtf8().constData());
}

DbfTable* tableOf(sqlite3_vtab* vtab) {
    auto* v = reinterpret_cast<DbfVtab*>(vtab);
    const quint64 generation = v->owner->tablesGeneration();
    if (!v->table || v->generation != generation) {
        v->table = v->owner->table(v->key);
        v->generation = generation;
        v->checked = v->table ? checkedColumns(v->key, v->table->fields()) : QList<int>();
    }
    return v->table;
}

QString columnDecl(const DbfField& f) {
    QString type;
    switch (f.type) {
    case DbfType::Character: type = QStringLiteral("TEXT COLLATE KALTO"); break;
    case DbfType::Numeric: type = f.decimals == 0 ? QStringLiteral("INTEGER") : QStringLiteral("REAL"); break;
    case DbfType::Logical: type = QStringLiteral("INTEGER"); break;
    case DbfType::Date: type = QStringLiteral("TEXT"); break;
    }
    return QStringLiteral("\"%1\" %2").arg(f.name, type);
}

int xConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err) {
    if (argc < 4) {
        *err = sqlite3_mprintf("falta el nombre de la tabla");
        return SQLITE_ERROR;
    }
    auto* owner = static_cast<Database*>(aux);
    QByteArray key = QByteArray(argv[3]).toLower();
    if (key.size() >= 2 && key.startsWith('"') && key.endsWith('"')) key = key.mid(1, key.size() - 2);
    DbfTable* table = owner->table(QString::fromUtf8(key));
    if (!table) {
        *err = sqlite3_mprintf("no existe la tabla %s", argv[3]);
        return SQLITE_ERROR;
    }
    QStringList cols;
    for (const auto& f : table->fields()) cols << columnDecl(f);
    QByteArray decl = QStringLiteral("CREATE TABLE x(%1)").arg(cols.join(QStringLiteral(", "))).toUtf8();
    int rc = sqlite3_declare_vtab(db, decl.constData());
    if (rc != SQLITE_OK) return rc;
    auto* vtab = new DbfVtab{};
    vtab->owner = owner;
    vtab->key = QString::fromUtf8(key);
    *out = &vtab->base;
    return SQLITE_OK;
}

int xDisconnect(sqlite3_vtab* vtab) {
    delete reinterpret_cast<DbfVtab*>(vtab);
    return SQLITE_OK;
}

// Equalities on integer columns are answered from the table's indexes: every one is passed
// to xFilter (idxNum holds their columns as bits, and the values come in the order of those
// columns, whatever the order the statement writes them in), which starts from the shortest
// list of records. The constraints are not omitted: SQLite checks them again, so a value that
// is no integer can scan instead.
int xBestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
    DbfTable* table = tableOf(vtab);
    const double rows = table ? table->recordCount() + 1.0 : 1e6;
    info->estimatedCost = rows;
    info->estimatedRows = static_cast<sqlite3_int64>(rows);
    info->idxNum = 0;
    int constraintOf[31];  // per column: the first usable equality on it
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ || c.iColumn < 0 || c.iColumn > 30) continue;
        if (!table || !table->isIntegerField(c.iColumn) || (info->idxNum & (1 << c.iColumn))) continue;
        info->idxNum |= 1 << c.iColumn;
        constraintOf[c.iColumn] = i;
    }
    int used = 0;
    for (int column = 0; column <= 30; ++column) {
        if (!(info->idxNum & (1 << column))) continue;
        info->aConstraintUsage[constraintOf[column]].argvIndex = ++used;
        info->aConstraintUsage[constraintOf[column]].omit = 0;
    }
    if (used) {
        info->estimatedCost = 10.0 / used;
        info->estimatedRows = 10;
    }
    return SQLITE_OK;
}

int xOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    auto* cur = new DbfCursor{};
    *out = &cur->base;
    return SQLITE_OK;
}

int xClose(sqlite3_vtab_cursor* cur) {
    delete reinterpret_cast<DbfCursor*>(cur);
    return SQLITE_OK;
}

// The record after the current one is fetched while the current one is read.
void prefetchNext(const DbfCursor* c) {
    if (c->indexed) {
        if (c->pos + 1 < c->recnos.size()) c->table->prefetch(c->recnos.at(c->pos + 1));
    } else {
        c->table->prefetch(c->pos + 1);
    }
}

void skipDeleted(DbfCursor* c) {
    if (!c->indexed)  // the index holds live records only
        while (c->pos < c->end && c->table->isDeleted(c->pos)) ++c->pos;
    prefetchNext(c);
}

// The integer key an equality constraint's value stands for; false when it is no integer the
// index can answer for (a fraction or a very large number, which a field written by another
// program may still hold: that column then does not narrow the records).
bool integerKey(sqlite3_value* v, qint64* key) {
    switch (sqlite3_value_numeric_type(v)) {
    case SQLITE_INTEGER:
        *key = sqlite3_value_int64(v);
        return true;
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(v);
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9e15) {
            *key = static_cast<qint64>(d);
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

int xFilter(sqlite3_vtab_cursor* cursor, int idxNum, const char*, int argc, sqlite3_value** argv) {
    auto* c = reinterpret_cast<DbfCursor*>(cursor);
    c->table = tableOf(cursor->pVtab);
    c->indexed = false;
    c->recnos.clear();
    c->pos = 0;
    c->end = c->table ? c->table->recordCount() : 0;
    if (!c->table) {
        setError(cursor->pVtab, QStringLiteral("La tabla ya no está abierta."));
        return SQLITE_ERROR;
    }
    // The arguments come in column order of the bits of idxNum.
    std::optional<dbf::DbfIndex::Records> shortest;
    int arg = 0;
    for (int column = 0; column <= 30 && arg < argc; ++column) {
        if (!(idxNum & (1 << column))) continue;
        qint64 key = 0;
        if (integerKey(argv[arg++], &key)) {
            const auto hits = c->table->lookup(column, key);
            if (hits && (!shortest || hits->size < shortest->size)) shortest = hits;
        }
    }
    if (shortest) {
        c->indexed = true;
        c->recnos = QList<int>(shortest->first, shortest->first + shortest->size);
        if (!c->recnos.isEmpty()) c->table->prefetch(c->recnos.first());
        prefetchNext(c);
        return SQLITE_OK;
    }
    skipDeleted(c);
    return SQLITE_OK;
}

int xNext(sqlite3_vtab_cursor* cursor) {
    auto* c = reinterpret_cast<DbfCursor*>(cursor);
    ++c->pos;
    skipDeleted(c);
    return SQLITE_OK;
}

int xEof(sqlite3_vtab_cursor* cursor) {
    auto* c = reinterpret_cast<DbfCursor*>(cursor);
    return c->indexed ? c->pos >= c->recnos.size() : c->pos >= c->end;
}

int currentRecno(const DbfCursor* c) { return c->indexed ? c->recnos.at(c->pos) : c->pos; }

// A value goes to SQLite straight from the record's bytes (or, for text that is not plain
// ASCII, from its UTF-8 form): no QVariant and no text of Qt's on the way.
int xColumn(sqlite3_vtab_cursor* cursor, sqlite3_context* ctx, int col) {
    auto* c = reinterpret_cast<DbfCursor*>(cursor);
    const dbf::SqlValue v = c->table->sqlValue(currentRecno(c), col, &c->text);
    switch (v.kind) {
    case dbf::SqlValue::Null: sqlite3_result_null(ctx); break;
    case dbf::SqlValue::Integer: sqlite3_result_int64(ctx, v.integer); break;
    case dbf::SqlValue::Real: sqlite3_result_double(ctx, v.real); break;
    case dbf::SqlValue::Text: sqlite3_result_text(ctx, v.text, v.length, SQLITE_TRANSIENT); break;
    }
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
    *rowid = currentRecno(reinterpret_cast<DbfCursor*>(cursor)) + 1;
    return SQLITE_OK;
}

QVariant toVariant(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return QVariant(static_cast<qint64>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT: return QVariant(sqlite3_value_double(v));
    case SQLITE_NULL: return QVariant();
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    }
}

int xUpdate(sqlite3_vtab* vtab, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
    DbfTable* table = tableOf(vtab);
    if (!table) {
        setError(vtab, QStringLiteral("La tabla ya no está abierta."));
        return SQLITE_ERROR;
    }
    QString error;
    if (argc == 1) {  // delete
        if (!table->remove(static_cast<int>(sqlite3_value_int64(argv[0]) - 1), &error)) {
            setError(vtab, error);
            return SQLITE_ERROR;
        }
        return SQLITE_OK;
    }
    QVariantList& values = reinterpret_cast<DbfVtab*>(vtab)->values;
    values.clear();
    for (int i = 2; i < argc; ++i) values << toVariant(argv[i]);
    const QString refused = checkRow(table->fields(), reinterpret_cast<DbfVtab*>(vtab)->checked, values);
    if (!refused.isEmpty()) {
        setError(vtab, refused);
        return SQLITE_ERROR;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {  // insert
        int recno = -1;
        if (!table->append(values, &recno, &error)) {
            setError(vtab, error);
            return SQLITE_ERROR;
        }
        *rowid = recno + 1;
        return SQLITE_OK;
    }
    const sqlite3_int64 oldRow = sqlite3_value_int64(argv[0]);
    if (sqlite3_value_type(argv[1]) != SQLITE_NULL && sqlite3_value_int64(argv[1]) != oldRow) {
        setError(vtab, QStringLiteral("El número de registro no se puede cambiar."));
        return SQLITE_ERROR;
    }
    if (!table->update(static_cast<int>(oldRow - 1), values, &error)) {
        setError(vtab, error);
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

// Transactions: SQLite begins one on a table before a statement writes to it, and ends it with
// commit, or rollback when the statement (or the transaction) fails, so that a statement refused
// half way leaves the table as it was. Savepoints (the engine's, and each statement's inside an
// explicit transaction) go back part of the way. The writes are already in the file: sync has
// nothing left to do.
int xBegin(sqlite3_vtab* vtab) {
    if (DbfTable* table = tableOf(vtab)) table->beginTransaction();
    return SQLITE_OK;
}

int xSync(sqlite3_vtab*) { return SQLITE_OK; }

int xCommit(sqlite3_vtab* vtab) {
    QString error;
    DbfTable* table = tableOf(vtab);
    if (table && !table->commit(&error)) {
        setError(vtab, error);
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int xRollback(sqlite3_vtab* vtab) {
    QString error;
    DbfTable* table = tableOf(vtab);
    if (table && !table->rollback(&error)) {
        setError(vtab, error);
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int xSavepoint(sqlite3_vtab* vtab, int level) {
    if (DbfTable* table = tableOf(vtab)) table->setSavepoint(level);
    return SQLITE_OK;
}

int xRelease(sqlite3_vtab* vtab, int level) {
    if (DbfTable* table = tableOf(vtab)) table->releaseSavepoint(level);
    return SQLITE_OK;
}

int xRollbackTo(sqlite3_vtab* vtab, int level) {
    QString error;
    DbfTable* table = tableOf(vtab);
    if (table && !table->rollbackTo(level, &error)) {
        setError(vtab, error);
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

sqlite3_module makeModule() {
    sqlite3_module m;
    std::memset(&m, 0, sizeof m);
    m.iVersion = 2;  // with savepoints
    m.xCreate = xConnect;
    m.xConnect = xConnect;
    m.xBestIndex = xBestIndex;
    m.xDisconnect = xDisconnect;
    m.xDestroy = xDisconnect;
    m.xOpen = xOpen;
    m.xClose = xClose;
    m.xFilter = xFilter;
    m.xNext = xNext;
    m.xEof = xEof;
    m.xColumn = xColumn;
    m.xRowid = xRowid;
    m.xUpdate = xUpdate;
    m.xBegin = xBegin;
    m.xSync = xSync;
    m.xCommit = xCommit;
    m.xRollback = xRollback;
    m.xSavepoint = xSavepoint;
    m.xRelease = xRelease;
    m.xRollbackTo = xRollbackTo;
    return m;
}

const sqlite3_module kModule = makeModule();

QString textArg(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

// The weight of a case-folded character when text is put in order: a letter with accents,
// a diaeresis or a cedilla weighs as its base letter, ñ as a letter of its own between n and
// o, every other character as itself.
quint32 primaryWeight(QChar c) {
    static const std::vector<quint32> weights = [] {
        std::vector<quint32> w(0x10000);
        for (quint32 u = 0; u < 0x10000; ++u) {
            char16_t base = static_cast<char16_t>(u);
            while (QChar(base).decompositionTag() == QChar::Canonical) {
                const QString parts = QChar(base).decomposition();
                if (parts.isEmpty() || parts.at(0).isSurrogate()) break;
                base = parts.at(0).unicode();
            }
            base = QChar(base).toCaseFolded().unicode();
            w[u] = u == 0xF1 ? 2u * 'n' + 1 : 2u * base;  // ñ
        }
        return w;
    }();
    return weights[c.unicode()];
}

// The KALTO collation. Two texts are equal when they are equal once letter case is folded
// (so "ARBOL" = "arbol" but "árbol" is another word, as LIKE has it too). The order is
// Spanish: first by letters weighed as above, letter case ignored, then, for texts that differ
// only in accents, by the folded characters themselves, which puts "arbol" right before
// "árbol". Both steps depend on the folded text alone, so the order is total and agrees with
// equality.
int collate(void*, int n1, const void* s1, int n2, const void* s2) {
    if (n1 == n2 && (n1 == 0 || std::memcmp(s1, s2, size_t(n1)) == 0)) return 0;
    // Plain ASCII, most texts: folding lowers A-Z only and every character weighs as itself,
    // so the order is that of the lowered bytes.
    const auto* p1 = static_cast<const unsigned char*>(s1);
    const auto* p2 = static_cast<const unsigned char*>(s2);
    bool ascii = true;
    for (int i = 0; i < n1 && ascii; ++i) ascii = p1[i] < 0x80;
    for (int i = 0; i < n2 && ascii; ++i) ascii = p2[i] < 0x80;
    if (ascii) {
        const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : int(c); };
        for (int i = 0; i < n1 && i < n2; ++i) {
            const int x = lower(p1[i]), y = lower(p2[i]);
            if (x != y) return x < y ? -1 : 1;
        }
        return n1 == n2 ? 0 : (n1 < n2 ? -1 : 1);
    }
    const QString a = foldCase(QString::fromUtf8(static_cast<const char*>(s1), n1));
    const QString b = foldCase(QString::fromUtf8(static_cast<const char*>(s2), n2));
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const quint32 wa = primaryWeight(a.at(i));
        const quint32 wb = primaryWeight(b.at(i));
        if (wa != wb) return wa < wb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    // like(pattern, text [, escape]); the escape character is honoured by doubling it out.
    QString pattern = textArg(argv[0]);
    const QString text = textArg(argv[1]);
    if (argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        const QString esc = textArg(argv[2]);
        if (esc.size() != 1) {
            sqlite3_result_error(ctx, "ESCAPE debe ser un solo carácter", -1);
            return;
        }
        // Replace escaped wildcards by private-use characters that match themselves.
        QString p;
        for (int i = 0; i < pattern.size(); ++i) {
            if (pattern[i] == esc[0] && i + 1 < pattern.size()) {
                QChar n = pattern[++i];
                p += n == QLatin1Char('%') ? QChar(0xE000) : n == QLatin1Char('_') ? QChar(0xE001) : n;
            } else {
                p += pattern[i];
            }
        }
        QString t = text;
        t.replace(QLatin1Char('%'), QChar(0xE000)).replace(QLatin1Char('_'), QChar(0xE001));
        sqlite3_result_int(ctx, likeMatch(p, t) ? 1 : 0);
        return;
    }
    sqlite3_result_int(ctx, likeMatch(pattern, text) ? 1 : 0);
}

}  // namespace

bool registerTextFunctions(sqlite3* db, QString* error) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_collation(db, "KALTO", SQLITE_UTF8, nullptr, collate);
    if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr);
    if (rc != SQLITE_OK && error) *error = QString::fromUtf8(sqlite3_errmsg(db));
    return rc == SQLITE_OK;
}

bool registerDbfModule(sqlite3* db, Database* owner, QString* error) {
    if (!registerTextFunctions(db, error)) return false;
    const int rc = sqlite3_create_module(db, "dbf", &kModule, owner);
    if (rc != SQLITE_OK && error) *error = QString::fromUtf8(sqlite3_errmsg(db));
    return rc == SQLITE_OK;
}

QString dbfTableDeclaration(const QString& name) {
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QStringLiteral("CREATE VIRTUAL TABLE \"%1\" USING dbf(\"%1\")").arg(quoted);
}

}  // namespace kalto

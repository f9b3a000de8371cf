// Random statements, savepoints among them, run on the DBF tables through Database and on native
// SQLite tables holding the same rows: both must give the same rows and leave the same rows behind.
// The native tables order and match text by a reference worked by hand (Spanish order: accents with
// their letter, Ñ between N and O, case ignored; equality keeps accents), not by the program's code.
// The statements come from the grammar in differential_texts.txt. KALTO_DIFF_STATEMENTS: how many
// statements (250 by default); KALTO_DIFF_SEED: the seed.

#include "data/RecordSet.h"
#include "data/TableCatalogue.h"
#include "data/Values.h"
#include "support/PrintQString.h"
#include "support/TestFolder.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <iostream>
#include <random>

using namespace kalto;

namespace {

enum class Kind { Int, Real, Text, Bool, Date, Any };

struct Column {
    QString name;
    DbfField field;
    Kind kind;
    bool id16;  // a 16-bit annex identifier
    qint64 hi;  // seeded values: 0 to hi (Int); largest seeded value times 10^decimals (Real)
};

struct SeededTable { QString name; int seedRows; QList<Column> columns; };

qint64 pow10(int n) { return n > 0 ? 10 * pow10(n - 1) : 1; }

// The sections of tests/data/differential_texts.txt: [words], [fractions], [alphabet], [rule NAME].
const QStringList& texts(const QString& section) {
    static QHash<QString, QStringList> all = [] {
        QHash<QString, QStringList> out;
        QFile file(QStringLiteral(KALTO_SOURCE_DIR "/tests/data/differential_texts.txt"));
        QString current;
        if (file.open(QIODevice::ReadOnly))
            for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
                if (line.startsWith(u'[')) current = line.mid(1).chopped(1);
                else if (!line.isEmpty() && !line.startsWith(u'#')) out[current] << line;
            }
        return out;
    }();
    return all[section];
}

// The value as compared: type and value; text folded where equal texts may come from any row.
QString canonicalRow(const QVariantList& row, bool fold) {
    QStringList parts;
    for (const QVariant& v : row) {
        if (isNullValue(v)) parts << QStringLiteral("∅");
        else if (v.typeId() == QMetaType::Double) parts << QStringLiteral("r") + QString::number(v.toDouble(), 'g', 17);
        else if (isNumberValue(v)) parts << QStringLiteral("i") + QString::number(v.toLongLong());
        else parts << QStringLiteral("t") + (fold ? foldCase(v.toString()) : v.toString());
    }
    return parts.join(QChar(0x1F));
}

// The reference order: a letter's place in the alphabet, then its form (a pair of small and capital).
struct Weight { int letter = -1, form = 0; };  // letter -1: a character the alphabet does not hold

Weight weight(QChar c) {
    static const QHash<QChar, Weight> table = [] {
        QHash<QChar, Weight> t;
        const QStringList& alphabet = texts(QStringLiteral("alphabet"));
        for (int l = 0; l < alphabet.size(); ++l)
            for (int f = 0; f < alphabet[l].size(); ++f) t.insert(alphabet[l][f], {l, f / 2});
        return t;
    }();
    return table.value(c);
}

// Letters first, then length, then forms.
int referenceOrder(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i)
        if (const int d = weight(a[i]).letter - weight(b[i]).letter) return d < 0 ? -1 : 1;
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (qsizetype i = 0; i < n; ++i)
        if (const int d = weight(a[i]).form - weight(b[i]).form) return d < 0 ? -1 : 1;
    return 0;
}

bool referenceLike(QStringView p, QStringView t, QChar escape) {
    if (p.isEmpty()) return t.isEmpty();
    if (p[0] == escape && p.size() > 1) return !t.isEmpty() && p[1] == t[0] && referenceLike(p.mid(2), t.mid(1), escape);
    if (p[0] == u'%') {
        for (qsizetype i = 0; i <= t.size(); ++i)
            if (referenceLike(p.mid(1), t.mid(i), escape)) return true;
        return false;
    }
    if (t.isEmpty()) return false;
    const Weight x = weight(p[0]), y = weight(t[0]);
    const bool same = x.letter < 0 || y.letter < 0 ? p[0] == t[0] : x.letter == y.letter && x.form == y.form;
    return (p[0] == u'_' || same) && referenceLike(p.mid(1), t.mid(1), escape);
}

QString argText(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

struct Result { bool ok; QString error; QList<QVariantList> rows; int changes; };

// The native copy: a plain in-memory connection with the reference order and LIKE.
class Native {
public:
    Native() {
        sqlite3_open(":memory:", &db_);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_create_collation(db_, "KALTO", SQLITE_UTF8, nullptr, [](void*, int n1, const void* s1, int n2, const void* s2) {
            return referenceOrder(QString::fromUtf8(static_cast<const char*>(s1), n1),
                                  QString::fromUtf8(static_cast<const char*>(s2), n2));
        });
        const auto like = [](sqlite3_context* ctx, int argc, sqlite3_value** argv) {
            for (int i = 0; i < argc; ++i)
                if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
            const QChar escape = argc == 3 ? argText(argv[2]).at(0) : QChar(0xFFFF);
            sqlite3_result_int(ctx, referenceLike(argText(argv[0]), argText(argv[1]), escape));
        };
        for (int args : {2, 3}) sqlite3_create_function(db_, "like", args, SQLITE_UTF8, nullptr, like, nullptr, nullptr);
    }
    ~Native() { sqlite3_close_v2(db_); }

    Result run(const QString& sql, const QVariantList& params = {}) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
            return {false, QString::fromUtf8(sqlite3_errmsg(db_)), {}, 0};
        for (int i = 0; i < params.size(); ++i) {
            const QVariant& v = params[i];
            if (isNullValue(v)) sqlite3_bind_null(stmt, i + 1);
            else if (v.typeId() == QMetaType::Double) sqlite3_bind_double(stmt, i + 1, v.toDouble());
            else if (isNumberValue(v)) sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
            else sqlite3_bind_text(stmt, i + 1, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
        }
        Result r{true, {}, {}, 0};
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                sqlite3_value* v = sqlite3_column_value(stmt, i);
                const int type = sqlite3_value_type(v);
                row << (type == SQLITE_INTEGER ? QVariant(qint64(sqlite3_value_int64(v)))
                        : type == SQLITE_FLOAT ? QVariant(sqlite3_value_double(v))
                        : type == SQLITE_NULL  ? QVariant()
                                               : QVariant(argText(v)));
            }
            r.rows << row;
        }
        r.ok = rc == SQLITE_DONE;
        if (!r.ok) r.error = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_finalize(stmt);
        r.changes = sqlite3_changes(db_);
        return r;
    }

private:
    sqlite3* db_ = nullptr;
};

Result runDbf(Database& db, const QString& sql, const QVariantList& params = {}) {
    Result r{true, {}, {}, 0};
    r.ok = db.query(sql, params, [&](const QVariantList& row) { r.rows << row; return true; }, &r.error);
    r.changes = db.changes();
    return r;
}

// The native table: the module's column types, with checks refusing what the DBF table refuses.
QString nativeDeclaration(const SeededTable& t) {
    QStringList cols;
    for (const Column& c : t.columns) {
        const qint64 whole = pow10(c.field.width - c.field.decimals - 1), max = c.id16 ? kMaxAnnexId : whole * 10 - 1;
        const QString& n = c.name;
        cols << (c.kind == Kind::Int    ? QStringLiteral("%1 INTEGER CHECK (%1 BETWEEN %2 AND %3)").arg(n).arg(c.id16 ? -max - 1 : -(whole - 1)).arg(max)
                 : c.kind == Kind::Real ? QStringLiteral("%1 REAL CHECK (%1 < %2 AND %1 > -%3)").arg(n).arg(whole).arg(whole / 10)
                 : c.kind == Kind::Text ? QStringLiteral("%1 TEXT COLLATE KALTO CHECK (length(%1) <= %2)").arg(n).arg(c.field.width)
                 : c.kind == Kind::Bool ? n + QStringLiteral(" INTEGER")
                                        : QStringLiteral("%1 TEXT CHECK (date(%1) IS %1)").arg(n));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(t.name, cols.join(QStringLiteral(", ")));
}

struct Statement { QString sql; QVariantList params; const SeededTable* table; };  // table: the one a change changes

// Statements from the grammar of the texts file (see there).
struct Generator {
    Generator(quint64 seed, const QList<SeededTable>& tables) : rng_(seed), tables_(tables) {}

    int pick(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng_)); }
    qint64 between(qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(100) < percent; }
    template <typename T> const T& any(const QList<T>& l) { return l.at(pick(int(l.size()))); }

    // A value the column may hold (what seeded rows, inserts and updates hold).
    QVariant value(const Column& c, bool nullable = true) {
        if (nullable && c.kind != Kind::Bool && chance(6)) return QVariant();
        const qint64 scale = pow10(c.field.decimals);
        switch (c.kind) {
        case Kind::Int: return QVariant(between(c.id16, c.hi));
        case Kind::Real:
            return double(chance(10) ? -between(0, pow10(c.field.width - c.field.decimals - 2) * scale - 1)
                                     : between(0, std::min(c.hi, pow10(c.field.width - 1) - 1))) / double(scale);
        case Kind::Text:
            for (;;)
                if (const QString w = any(texts(c.name == QLatin1String("FRACCION") ? "fractions" : "words")); w.size() <= c.field.width) return w;
        case Kind::Bool: return QVariant(qint64(pick(2)));
        default: return QDate(2015, 1, 1).addDays(between(0, 3650)).toString(Qt::ISODate);
        }
    }

    // A value to compare the column with (integers: rule "iv"). Texts: a word in some letter case,
    // half of one, or none the rows hold.
    QVariant operand(const Column& c) {
        const QString w = value(c, false).toString();
        return c.kind != Kind::Text ? value(c, false)
                                    : any(QStringList{w, w, w.toUpper(), w.toLower(), w.left(std::max<qsizetype>(1, w.size() / 2)), "zzz"});
    }

    QString likePattern(const Column& c) {
        QString w = operand(c).toString();
        const qsizetype half = std::max<qsizetype>(1, w.size() / 2);
        return any(QStringList{w.left(half) + u'%', u'%' + w.right(half), u'%' + w.mid(w.size() / 3, 2) + u'%',
                               QString(w).replace(pick(int(w.size())), 1, u'_'), "%ñ%", "_%", w, w});
    }

    // A value as SQL text; bound as a numbered parameter now and then.
    QString literal(const QVariant& v) {
        if (chance(15)) {
            params_ << v;
            return QStringLiteral("?%1").arg(params_.size());
        }
        if (isNullValue(v)) return QStringLiteral("NULL");
        if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble(), 'f', 6);  // a real, whatever its value
        return isNumberValue(v) ? QString::number(v.toLongLong()) : sqlQuote(v.toString());
    }

    // A query, a statement that changes a table, one on savepoints, or COMMIT.
    Statement statement(int kind) {
        Statement s{{}, {}, kind == 1 ? &any(tables_) : nullptr};
        changing_ = s.table;
        Scope scope{s.table ? s.table : &any(tables_), {}, 0, 0, {}};
        s.sql = expand(QStringList{"{select}", "{change}", "{savepoint}", "COMMIT"}.at(kind), scope);
        s.params = std::exchange(params_, {});
        return s;
    }

    struct Scope {
        const SeededTable* t;
        QString prefix;  // the table's alias and a dot
        int depth;       // of conditions: from 2, no more AND, OR and NOT
        int col;         // the column the words that follow speak of
        struct { const SeededTable* t; QString prefix; } outer;  // the scope a subquery or join is in
    };

    QString expand(const QString& form, Scope& s) {
        static const QRegularExpression word(QStringLiteral("\\{(\\w+)\\}"));
        QString out;
        qsizetype at = 0;
        for (auto it = word.globalMatch(form); it.hasNext();) {
            const auto m = it.next();
            out += form.mid(at, m.capturedStart() - at);
            at = m.capturedEnd();
            const QString name = m.captured(1) == QLatin1String("cond") && s.depth >= 2 ? QStringLiteral("leaf") : m.captured(1);
            const QStringList& forms = texts(QStringLiteral("rule ") + name);
            Scope inner{s.t, s.prefix, s.depth + (name == QLatin1String("cond")), s.col, s.outer};
            out += forms.isEmpty() ? this->word(name, s) : expand(any(forms), inner);
            if (!forms.isEmpty()) s.col = inner.col;
        }
        return out + form.mid(at);
    }

    int column(const SeededTable& t, Kind kind) {
        QList<int> of;
        for (int i = 0; i < t.columns.size(); ++i)
            if (kind == Kind::Any || t.columns[i].kind == kind) of << i;
        return of.isEmpty() ? column(t, Kind::Int) : any(of);
    }

    QString word(const QString& name, Scope& s) {
        static const QHash<QString, Kind> kinds = {
            {"i", Kind::Int}, {"t", Kind::Text}, {"r", Kind::Real}, {"d", Kind::Date}, {"x", Kind::Any}};
        const SeededTable& t = *s.t;
        if (kinds.contains(name)) s.col = column(t, kinds[name]);
        const Column& c = t.columns[s.col];
        const QHash<QString, std::function<QString()>> words = {
            {"i", [&] { return s.prefix + c.name.toLower(); }},
            {"T", [&] { return t.name; }},
            {"p", [&] { return s.prefix; }},
            {"none", [&] { return QString(); }},
            {"c", [&] { return c.name.toLower(); }},
            {"v", [&] { return c.kind == Kind::Int ? expand(QStringLiteral("{iv}"), s) : literal(operand(c)); }},
            {"near", [&] { return QString::number(between(-1, c.hi + 1)); }},
            {"val", [&] { return literal(value(c, s.depth == 0)); }},
            {"pat", [&] { return literal(likePattern(c)); }},
            {"spelt", [&] { return literal(QString::number(between(0, c.hi))); }},
            {"edge", [&] { return QString::number(pow10(c.field.width - c.field.decimals - 1)); }},
            {"n", [&] { return literal(between(1, t.seedRows + 5)); }},
            {"k", [&] { return QString::number(1 + pick(20)); }},
            {"small", [&] { return QString::number(between(-2, 4)); }},
            {"row", [&] {
                 QStringList values;
                 for (const Column& f : t.columns) values << (f.id16 && chance(5) ? QStringLiteral("32768") : literal(value(f)));
                 return QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')');
             }}};
        if (words.contains(name) || kinds.contains(name)) return words.value(kinds.contains(name) ? QStringLiteral("i") : name)();
        // Words that change the scope of the rest of their form: another table ({O} plain, {Oq} as q, {Ob}
        // as b), the same one as a ({Aa}), back to the one outside ({back}), and {outer}, an integer
        // column of the one outside. Native SQLite changes rows in one pass, so a correlated subquery
        // over the table being changed would see the rows already changed; the DBF tables are changed
        // only after every row was chosen. Such statements are left out.
        if (name == QLatin1String("outer"))
            return (s.outer.prefix.isEmpty() ? s.outer.t->name + u'.' : s.outer.prefix) + s.outer.t->columns[column(*s.outer.t, Kind::Int)].name;
        if (name == QLatin1String("back")) s = {s.outer.t, s.outer.prefix, 1, 0, {}};
        else if (name == QLatin1String("Aa")) s.prefix = QStringLiteral("a.");
        else {
            const SeededTable* o = nullptr;
            while (!o || (name == QLatin1String("Oq") && o == changing_)) o = &any(tables_);
            s = {o, name == QLatin1String("O") ? QString() : name.mid(1) + u'.', name == QLatin1String("Ob") ? 1 : 2, 0, {s.t, s.prefix}};
        }
        return {};
    }

    std::mt19937_64 rng_;
    QList<SeededTable> tables_;
    QVariantList params_;                  // the parameters of the statement being built
    const SeededTable* changing_ = nullptr;  // the table it changes
};

// The first row where two lists of rows differ, or an empty text.
QString firstDifference(const QString& what, const QList<QVariantList>& a, const QList<QVariantList>& b, bool fold,
                        bool sorted) {
    QStringList x[2];
    for (int k = 0; k < 2; ++k) {
        for (const QVariantList& r : k ? b : a) x[k] << canonicalRow(r, fold);
        if (sorted) std::sort(x[k].begin(), x[k].end());
    }
    qsizetype i = 0;
    while (i < x[0].size() && i < x[1].size() && x[0][i] == x[1][i]) ++i;
    return i == x[0].size() && i == x[1].size() ? QString()
        : QStringLiteral("%1: %2 rows against %3; first difference at %4: dbf %5, native %6")
              .arg(what).arg(x[0].size()).arg(x[1].size()).arg(i).arg(x[0].value(i, "(none)"), x[1].value(i, "(none)"));
}

class Differential : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.open(db));
        ASSERT_GT(texts(QStringLiteral("words")).size(), 50);
        for (const QString& w : texts(QStringLiteral("words")) + texts(QStringLiteral("fractions")))
            for (const QChar c : w) ASSERT_GE(weight(c).letter, 0) << QString(c).toStdString();
        // Seeded numbers: 0 to 6 (reals: up to 99999.99), annex identifiers 1 to 40, their subordinates 1 to 6.
        static const QHash<DbfType, Kind> kinds = {
            {DbfType::Character, Kind::Text}, {DbfType::Logical, Kind::Bool}, {DbfType::Date, Kind::Date}};
        for (const auto& [name, rows] : QList<std::pair<QString, int>>{{"imanexos", 150}, {"improd", 100}, {"mercbi", 100}}) {
            tables << SeededTable{name, rows, {}};
            for (const DbfField& f : db.table(name)->fields()) {
                const bool id = f.name == QLatin1String("ID_PROD"), sub = name == "imanexos" && f.name == QLatin1String("ID_SUBORD");
                tables.last().columns << Column{f.name, f, kinds.value(f.type, f.decimals == 0 ? Kind::Int : Kind::Real), id || sub,
                                                id ? 40 : f.decimals == 0 ? 6 : 9999999};
            }
            ASSERT_TRUE(native.run(nativeDeclaration(tables.last())).ok);
        }
    }

    // The DBF table emptied and packed, and both tables filled with the same seeded rows.
    QString reseed(Generator& gen, const SeededTable& t) {
        QString error;
        if (!db.execute(QStringLiteral("DELETE FROM %1").arg(t.name), {}, &error) || !db.pack(t.name, &error)) return error;
        const QString insert = QStringLiteral("INSERT INTO %1 VALUES (?%2)").arg(t.name, QStringLiteral(",?").repeated(int(t.columns.size()) - 1));
        for (int k = 0; k < t.seedRows; ++k) {
            QVariantList row;
            for (const Column& c : t.columns) row << gen.value(c);
            if (!db.execute(insert, row, &error) || !native.run(insert, row).ok) return QStringLiteral("seeding: ") + error;
        }
        return compareContents(t) + compareFile(t);
    }

    // The native copy takes the rows the DBF table holds.
    void copyBack(const SeededTable& t) {
        native.run(QStringLiteral("DELETE FROM %1").arg(t.name));
        QStringList names{QStringLiteral("rowid")};
        for (const Column& c : t.columns) names << c.name;
        const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (?%3)")
                                   .arg(t.name, names.join(u','), QStringLiteral(",?").repeated(names.size() - 1));
        for (const QVariantList& row : runDbf(db, QStringLiteral("SELECT rowid, * FROM %1").arg(t.name)).rows)
            native.run(insert, row);
    }

    // Same rows under the same record numbers (as a multiset after an insert).
    QString compareContents(const SeededTable& t, bool numbered = true) {
        const QString sql = numbered ? QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(t.name)
                                     : QStringLiteral("SELECT * FROM %1").arg(t.name);
        const Result a = runDbf(db, sql), b = native.run(sql);
        if (!a.ok || !b.ok) return QStringLiteral("contents unreadable: %1 / %2").arg(a.error, b.error);
        // The greatest key the integer index keeps, against the native table's max().
        DbfTable* live = db.table(t.name);
        for (const Column& c : t.columns) {
            const int f = live->fieldIndex(c.name);
            if (!live->isIntegerField(f)) continue;
            const std::optional<qint64> h = live->highestKey(f);
            const QVariant m = native.run(QStringLiteral("SELECT max(%1) FROM %2").arg(c.name, t.name)).rows.value(0).value(0);
            if (h ? m != QVariant(*h) : !m.isNull()) return QStringLiteral("%1.%2: highest key %3, max() %4").arg(t.name, c.name, h ? QString::number(*h) : QStringLiteral("none"), m.toString());
        }
        return firstDifference(t.name, a.rows, b.rows, false, !numbered);
    }

    // The file itself, read by a fresh reader, holds what the table holds in memory.
    QString compareFile(const SeededTable& t) {
        const auto file = DbfTable::open(db.tablePath(t.name), nullptr, DbfAccess::ReadOnly);
        const DbfTable* live = db.table(t.name);
        for (int r = 0; file && r < std::max(file->recordCount(), live->recordCount()); ++r)
            if (r >= std::min(file->recordCount(), live->recordCount()) || file->isDeleted(r) != live->isDeleted(r) ||
                file->record(r) != live->record(r))
                return QStringLiteral("%1: the file differs from the table at record %2").arg(t.name).arg(r + 1);
        return file ? QString() : t.name + QStringLiteral(": the file cannot be read");
    }

    // What is wrong with the DBF answer to `s`, or an empty text when it matches.
    static QString compare(const Statement& s, const Result& a, const Result& b) {
        if (a.ok != b.ok) return QStringLiteral("dbf %1, native %2").arg(a.ok ? "ran" : "failed: " + a.error, b.ok ? "ran" : "failed: " + b.error);
        if (a.ok && s.table && a.changes != b.changes) return QStringLiteral("dbf changed %1 rows, native %2").arg(a.changes).arg(b.changes);
        // Equal texts may come from any row of their group; without ORDER BY, rows come in any order.
        const bool fold = s.sql.contains(QStringLiteral("GROUP BY")) || s.sql.contains(QStringLiteral("DISTINCT"));
        return a.ok ? firstDifference(QStringLiteral("result"), a.rows, b.rows, fold, !s.sql.contains(QStringLiteral("ORDER BY"))) : QString();
    }

    test::TestFolder folder;
    Database db;
    Native native;
    QList<SeededTable> tables;
};

TEST_F(Differential, RandomStatementsGiveWhatNativeTablesGive) {
    const int total = qEnvironmentVariableIntValue("KALTO_DIFF_STATEMENTS") > 0 ? qEnvironmentVariableIntValue("KALTO_DIFF_STATEMENTS") : 250;
    const quint64 seed = qEnvironmentVariableIsSet("KALTO_DIFF_SEED") ? qEnvironmentVariable("KALTO_DIFF_SEED").toULongLong() : 20240611;
    Generator gen(seed, tables);
    int counts[3] = {}, failures = 0, changed = 0, mismatches = 0;  // queries, changes, savepoints
    for (const SeededTable& t : tables) ASSERT_EQ(reseed(gen, t), QString());
    for (int n = 0; n <= total; ++n) {  // then COMMIT, which ends a transaction savepoints began
        const int kind = n == total ? 3 : n > 0 && gen.chance(10) ? 2 : gen.chance(45);
        const Statement s = gen.statement(kind);
        const Result a = runDbf(db, s.sql, s.params), b = native.run(s.sql, s.params);
        // Every table after a change (a failed one changes nothing). New records' numbers may
        // differ (the DBF never reuses one): after an insert the native copy takes the DBF's.
        const bool inserts = s.sql.startsWith(QStringLiteral("INSERT"));
        QString what = compare(s, a, b);
        for (const SeededTable& t : tables) what += what.isEmpty() && kind > 0 ? compareContents(t, !inserts) : QString();
        if (inserts) copyBack(*s.table);
        if (!what.isEmpty()) {
            ADD_FAILURE() << "seed " << seed << ", statement " << n << ": " << s.sql.toStdString() << "  ["
                          << canonicalRow(s.params, false).toStdString() << "]\n  " << what.toStdString();
            if (++mismatches == 10) return;
            for (const SeededTable& t : tables) copyBack(t);  // go on from the same rows
        }
        EXPECT_TRUE(a.ok || kind > 0) << "a query failed: " << s.sql.toStdString() << ": " << a.error.toStdString();
        counts[std::min(kind, 2)]++;
        failures += kind == 1 && !a.ok;
        changed += kind == 1 && a.ok ? a.changes : 0;
    }
    for (const SeededTable& t : tables) EXPECT_EQ(compareFile(t), QString());
    std::cout << "[ differential ] " << total << " statements (" << counts[0] << " queries, " << counts[2]
              << " on savepoints, " << changed << " rows changed, " << failures << " failed part way or whole), seed " << seed << std::endl;
    // The generator does reach the cases it is there for.
    EXPECT_TRUE(counts[0] > total / 3 && failures > total / 200 && changed > total && counts[2] > total / 40);
}

}  // namespace

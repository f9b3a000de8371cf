// Random statements, savepoints among them, run on the DBF tables through Database and on native
// SQLite tables holding the same rows: both must give the same rows and leave the same rows behind.
// The native tables order and match text by a reference worked by hand (Spanish order: accents with
// their letter, Ñ between N and O, case ignored; equality keeps accents), not by the program's code.
// The statements come from the small grammar below. KALTO_DIFF_STATEMENTS: how many statements
// (250 by default); KALTO_DIFF_SEED: the seed.

#include "data/Database.h"
#include "data/RecordSet.h"
#include "data/TableCatalogue.h"
#include "data/Values.h"
#include "support/TestFolder.h"

#include <QElapsedTimer>
#include <QFile>
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
    Kind kind = Kind::Text;
    qint64 lo = 0, hi = 6;    // seeded values (Int); largest seeded value times 10^decimals (Real)
    qint64 min = 0, max = 0;  // what the field holds (Int)
    bool id16 = false;        // a 16-bit annex identifier
};

struct TableSpec {
    QString name;
    QList<Column> columns;
    int seedRows = 0;
};

qint64 pow10(int n) { return n > 0 ? 10 * pow10(n - 1) : 1; }

// The texts of tests/data/differential_texts.txt by section: [words], [fractions], [alphabet].
const QStringList& texts(const QString& section) {
    static QHash<QString, QStringList> all = [] {
        QHash<QString, QStringList> out;
        QFile file(QStringLiteral(KALTO_SOURCE_DIR "/tests/data/differential_texts.txt"));
        QString current;
        if (file.open(QIODevice::ReadOnly))
            for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
                if (line.startsWith(u'[')) current = line;
                else if (!line.isEmpty() && !line.startsWith(u'#')) out[current] << line;
            }
        return out;
    }();
    return all[section];
}
const QStringList& words() { return texts(QStringLiteral("[words]")); }
const QStringList& fractions() { return texts(QStringLiteral("[fractions]")); }

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

// The reference order: one entry per letter, its forms in pairs (see the texts file).
struct Weight {
    int letter = -1, form = 0;  // letter -1: a character the alphabet does not hold
};

Weight weight(QChar c) {
    static const QHash<QChar, Weight> table = [] {
        QHash<QChar, Weight> t;
        const QStringList& alphabet = texts(QStringLiteral("[alphabet]"));
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

bool sameLetter(QChar a, QChar b) {
    const Weight x = weight(a), y = weight(b);
    return x.letter < 0 || y.letter < 0 ? a == b : x.letter == y.letter && x.form == y.form;
}

bool referenceLike(QStringView p, QStringView t, QChar escape) {
    if (p.isEmpty()) return t.isEmpty();
    if (p[0] == escape && p.size() > 1) return !t.isEmpty() && p[1] == t[0] && referenceLike(p.mid(2), t.mid(1), escape);
    if (p[0] == u'%') {
        for (qsizetype i = 0; i <= t.size(); ++i)
            if (referenceLike(p.mid(1), t.mid(i), escape)) return true;
        return false;
    }
    return !t.isEmpty() && (p[0] == u'_' || sameLetter(p[0], t[0])) && referenceLike(p.mid(1), t.mid(1), escape);
}

QString argText(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

struct Result {
    bool ok = true;
    QString error;
    QList<QVariantList> rows;
    int changes = 0;
};

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
        Result r;
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
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                sqlite3_value* v = sqlite3_column_value(stmt, i);
                switch (sqlite3_value_type(v)) {
                case SQLITE_INTEGER: row << QVariant(qint64(sqlite3_value_int64(v))); break;
                case SQLITE_FLOAT: row << QVariant(sqlite3_value_double(v)); break;
                case SQLITE_NULL: row << QVariant(); break;
                default: row << argText(v);
                }
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
    Result r;
    r.ok = db.query(sql, params, [&](const QVariantList& row) { r.rows << row; return true; }, &r.error);
    r.changes = db.changes();
    return r;
}

// The native table: the module's column types, with checks refusing what the DBF table refuses.
QString nativeDeclaration(const TableSpec& t) {
    QStringList cols;
    for (const Column& c : t.columns) {
        const qint64 whole = pow10(c.field.width - c.field.decimals - 1);
        const QString& n = c.name;
        cols << (c.kind == Kind::Int    ? QStringLiteral("%1 INTEGER CHECK (%1 BETWEEN %2 AND %3)").arg(n).arg(c.min).arg(c.max)
                 : c.kind == Kind::Real ? QStringLiteral("%1 REAL CHECK (%1 < %2 AND %1 > -%3)").arg(n).arg(whole).arg(whole / 10)
                 : c.kind == Kind::Text ? QStringLiteral("%1 TEXT COLLATE KALTO CHECK (length(%1) <= %2)").arg(n).arg(c.field.width)
                 : c.kind == Kind::Bool ? n + QStringLiteral(" INTEGER")
                                        : QStringLiteral("%1 TEXT CHECK (date(%1) IS %1)").arg(n));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(t.name, cols.join(QStringLiteral(", ")));
}

// The grammar. A word in braces is a rule: one named here is replaced by one of its forms,
// picked at random (a form repeated weighs more); any other is computed by Generator::word. A
// column word ({i} integer, {t} text, {r} real, {d} date, {x} any) picks the column that {c},
// {v} (a value to compare it with) and {val} (a value it may hold) then speak of.
const QHash<QString, QStringList> kRules = {
    {"where", {"", " WHERE {cond}", " WHERE {cond}", " WHERE {cond}", " WHERE {cond}", " WHERE {cond}"}},
    {"cond", {"{leaf}", "{leaf}", "{leaf}", "{leaf}", "{leaf}", "{leaf}", "({cond} OR {cond})", "NOT ({cond})",
              "{cond} AND {cond}"}},
    {"leaf", {"{i} = {v}", "{i} = {v}", "{i} = {v}", "{i} = {v} AND {i} = {v}", "{i} = {v} AND {i} = {v} AND {i} = {v}",
              "{i} = {v} AND {leaf}", "{i} IN ({v}, {v}, {v})", "{i} NOT IN ({v}, {v})", "{i} {cmp} {v}",
              "{i} BETWEEN {v} AND {v}", "{x} IS NULL", "{x} IS NOT NULL", "{x} = NULL", "{i} = {i}", "{t} = {v}",
              "{t} {cmp} {v}", "{t} IN ({v}, {v})", "{t} LIKE {pat}", "{t} LIKE {pat}", "{t} NOT LIKE {pat}",
              "{t} LIKE '%\\%%' ESCAPE '\\'", "{p}rowid = {n}", "{p}rowid IN ({n}, {n})", "{p}rowid BETWEEN {n} AND {n}",
              "{r} > {val}", "{r} = {val}", "{d} < {val}", "{in}", "{exists}"}},
    {"cmp", {"<", "<=", ">", ">=", "<>"}},
    {"dir", {"", "", " DESC"}},
    {"set", {"{x} = {val}", "{x} = {val}", "{x} = {val}", "{i} = {c} + {small}", "{i} = {c} * {k}", "{i} = {c} * 1500",
             "{i} = {c} + 32740", "{i} = {c} - 60", "{i} = {i}", "{i} = {spelt}", "{r} = {c} * 2", "{r} = {edge}",
             "{t} = upper({c})", "{t} = {c} || 'ñ'"}},
    {"update", {"UPDATE {T} SET {set}", "UPDATE {T} SET {set} WHERE {cond}", "UPDATE {T} SET {set}, {set} WHERE {cond}"}},
};

// A statement's shape: its form, and how its rows compare.
struct Shape {
    const char* form;
    int order = 0;  // -1: ORDER BY orders every row; n > 0: the first n columns are its keys; 0: any order
    bool fold = false;     // equal texts may come from any row of their group
    bool modifies = false;
    bool inserts = false;  // new records: their numbers may differ (the DBF never reuses one)
};

const QList<Shape> kSelects = {
    {"SELECT rowid, * FROM {T}{where}"},
    {"SELECT rowid, * FROM {T}{where} ORDER BY {x}{dir}, {t}{dir}, rowid", -1},
    {"SELECT rowid, * FROM {T}{where} ORDER BY {t}{dir}, rowid LIMIT {k} OFFSET {small}", -1},
    {"SELECT {t}, {x}, rowid, * FROM {T}{where} ORDER BY 1{dir}, 2{dir}", 2},
    {"SELECT {t}, {x} FROM {T}{where} ORDER BY 1{dir}", 1},
    {"SELECT count(*), sum({i}), min({i}), max({i}) FROM {T}{where}", -1},
    {"SELECT {t}, count(*) FROM {T}{where} GROUP BY 1 ORDER BY 1", -1, true},
    {"SELECT {t}, count(*) FROM {T}{where} GROUP BY 1", 0, true},
    {"SELECT min({t}), max({t}), count(DISTINCT {t}) FROM {T}{where}", -1, true},
    {"{join}", -1},
    {"{join}", -1},
};
const QList<Shape> kChanges = {
    {"DELETE FROM {T} WHERE {cond}", 0, false, true},
    {"{update}", 0, false, true},
    {"{update}", 0, false, true},
    {"{update}", 0, false, true},
    {"INSERT INTO {T} VALUES {row}", 0, false, true, true},
    {"INSERT INTO {T} VALUES {row}, {row}", 0, false, true, true},
    {"INSERT INTO {T} SELECT * FROM {T} WHERE {cond} ORDER BY rowid LIMIT {k}", 0, false, true, true},
};

struct Statement {
    QString sql;
    QVariantList params;
    Shape shape;
    const TableSpec* table = nullptr;  // the table a modifying statement changes
};

class Generator {
public:
    Generator(quint64 seed, const QList<TableSpec>& tables) : rng_(seed), tables_(tables) {}

    int pick(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng_)); }
    qint64 between(qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(100) < percent; }
    template <typename T> const T& any(const QList<T>& l) { return l.at(pick(int(l.size()))); }

    // A value the column may hold (what seeded rows, inserts and updates hold).
    QVariant value(const Column& c, bool nullable = true) {
        if (nullable && c.kind != Kind::Bool && chance(6)) return QVariant();
        const qint64 scale = pow10(c.field.decimals);
        switch (c.kind) {
        case Kind::Int: return QVariant(between(c.lo, c.hi));
        case Kind::Real:
            return double(chance(10) ? -between(0, pow10(c.field.width - c.field.decimals - 2) * scale - 1)
                                     : between(0, std::min(c.hi, pow10(c.field.width - 1) - 1))) / double(scale);
        case Kind::Text: {
            QString w;
            do w = c.name == QLatin1String("FRACCION") ? any(fractions()) : any(words());
            while (w.size() > c.field.width);
            return w;
        }
        case Kind::Bool: return QVariant(qint64(pick(2)));
        default: return QDate(2015, 1, 1).addDays(between(0, 3650)).toString(Qt::ISODate);
        }
    }

    // A value to compare the column with. Integers: mostly one the rows hold, else one beside
    // them, a text or real that spells an integer, a fraction, NULL or a number far away. Texts: a
    // word in some letter case, half of one, or none the rows hold.
    QVariant operand(const Column& c) {
        if (c.kind == Kind::Text) {
            const QString w = value(c, false).toString();
            const QStringList forms = {w, w, w.toUpper(), w.toLower(), w.left(std::max<qsizetype>(1, w.size() / 2)), "zzz"};
            return any(forms);
        }
        if (c.kind != Kind::Int) return value(c, false);
        const qint64 v = between(c.lo - 1, c.hi + 1);
        const QVariantList odd = {QString::number(v), QStringLiteral("0%1").arg(std::abs(v)), double(v), v + 0.5,
                                  QVariant(), qint64(99999999999LL), QStringLiteral("%1.0").arg(v), QStringLiteral("x%1").arg(v)};
        return chance(70) ? QVariant(between(c.lo, c.hi)) : chance(50) ? QVariant(v) : any(odd);
    }

    QString likePattern(const Column& c) {
        QString w = operand(c).toString();
        const qsizetype half = std::max<qsizetype>(1, w.size() / 2);
        switch (pick(8)) {
        case 0: return w.left(half) + u'%';
        case 1: return u'%' + w.right(half);
        case 2: return u'%' + w.mid(w.size() / 3, 2) + u'%';
        case 3: return w.replace(pick(int(w.size())), 1, u'_');
        case 4: return QStringLiteral("%ñ%");
        case 5: return QStringLiteral("_%");
        default: return w;
        }
    }

    // A value as SQL text; bound as a numbered parameter now and then.
    QString literal(const QVariant& v) {
        if (chance(15)) {
            params_ << v;
            return QStringLiteral("?%1").arg(params_.size());
        }
        if (isNullValue(v)) return QStringLiteral("NULL");
        if (v.typeId() == QMetaType::Double) {
            const QString s = QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
            return s.contains(u'.') || s.contains(u'e') ? s : s + QStringLiteral(".0");
        }
        return isNumberValue(v) ? QString::number(v.toLongLong()) : sqlQuote(v.toString());
    }

    QVariantList row(const TableSpec& t) {
        QVariantList r;
        for (const Column& c : t.columns) r << value(c);
        return r;
    }

    Statement statement(const QList<Shape>& shapes) {
        Statement s{{}, {}, any(shapes), &any(tables_)};
        params_.clear();
        changing_ = s.shape.modifies ? s.table : nullptr;
        Scope scope{s.table, {}, 0, 0};
        s.sql = expand(QString::fromUtf8(s.shape.form), scope);
        s.params = params_;
        if (!s.shape.modifies) s.table = nullptr;
        return s;
    }

private:
    struct Scope {
        const TableSpec* t;
        QString prefix;
        int depth = 0;
        int col = 0;
    };

    QString expand(const QString& form, Scope& s) {
        static const QRegularExpression word(QStringLiteral("\\{(\\w+)\\}"));
        QString out;
        qsizetype at = 0;
        for (auto it = word.globalMatch(form); it.hasNext();) {
            const auto m = it.next();
            out += form.mid(at, m.capturedStart() - at);
            at = m.capturedEnd();
            QString name = m.captured(1);
            if (name == QLatin1String("cond") && s.depth >= 2) name = QStringLiteral("leaf");
            if (!kRules.contains(name)) {
                out += this->word(name, s);
                continue;
            }
            Scope inner = s;
            inner.depth += name == QLatin1String("cond");
            out += expand(any(kRules[name]), inner);
            s.col = inner.col;
        }
        return out + form.mid(at);
    }

    int column(const TableSpec& t, Kind kind) {
        QList<int> of;
        for (int i = 0; i < t.columns.size(); ++i)
            if (kind == Kind::Any || t.columns[i].kind == kind) of << i;
        return of.isEmpty() ? column(t, Kind::Int) : any(of);
    }

    QString word(const QString& name, Scope& s) {
        static const QHash<QString, Kind> kinds = {
            {"i", Kind::Int}, {"t", Kind::Text}, {"r", Kind::Real}, {"d", Kind::Date}, {"x", Kind::Any}};
        const TableSpec& t = *s.t;
        if (kinds.contains(name)) s.col = column(t, kinds[name]);
        const Column& c = t.columns[s.col];
        if (kinds.contains(name)) return s.prefix + c.name.toLower();
        if (name == QLatin1String("T")) return t.name;
        if (name == QLatin1String("p")) return s.prefix;
        if (name == QLatin1String("c")) return c.name.toLower();
        if (name == QLatin1String("v")) return literal(operand(c));
        if (name == QLatin1String("val")) return literal(value(c, s.depth == 0));
        if (name == QLatin1String("pat")) return literal(likePattern(c));
        if (name == QLatin1String("spelt")) return literal(QString::number(between(c.lo, c.hi)));
        if (name == QLatin1String("edge")) return QString::number(pow10(c.field.width - c.field.decimals - 1));
        if (name == QLatin1String("n")) return literal(between(1, t.seedRows + 5));
        if (name == QLatin1String("k")) return QString::number(1 + pick(20));
        if (name == QLatin1String("small")) return QString::number(between(-2, 4));
        if (name == QLatin1String("row")) {
            QStringList values;
            for (const Column& f : t.columns) values << (f.id16 && chance(5) ? QStringLiteral("32768") : literal(value(f)));
            return QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        // Another table's rows: a list of values, a correlated test, a join. Native SQLite changes
        // rows in one pass, so a correlated subquery over the table being changed would see the rows
        // already changed; the DBF tables are changed only after every row was chosen. Such
        // statements take the list of values instead.
        const TableSpec& o = any(tables_);
        const bool join = name == QLatin1String("join"), correlated = name == QLatin1String("exists") && &o != changing_;
        Scope q{&o, join ? QStringLiteral("b.") : correlated ? QStringLiteral("q.") : QString(), join ? 1 : 2, 0};
        const QString inner = expand(QStringLiteral("{i}"), q), where = join ? QString() : expand(QStringLiteral("{cond}"), q);
        const QString outer = s.prefix + t.columns[column(t, Kind::Int)].name;
        if (!join && !correlated) return QStringLiteral("%1 IN (SELECT %2 FROM %3 WHERE %4)").arg(outer, inner, o.name, where);
        if (!join)
            return QStringLiteral("EXISTS (SELECT 1 FROM %1 q WHERE %2 = %3 AND %4)")
                .arg(o.name, inner, s.prefix.isEmpty() ? t.name + u'.' + outer : outer, where);
        Scope a{&t, QStringLiteral("a."), 1, 0};
        QString sql = QStringLiteral("SELECT count(*), sum(a.rowid), sum(b.rowid), sum(a.rowid * b.rowid) FROM %1 a "
                                     "JOIN %2 b ON %3 = %4").arg(t.name, o.name, inner, expand(QStringLiteral("{i}"), a));
        if (chance(70)) sql += QStringLiteral(" AND ") + expand(QStringLiteral("{cond}"), q);
        if (chance(50)) sql += QStringLiteral(" WHERE ") + expand(QStringLiteral("{cond}"), a);
        return sql;
    }

    std::mt19937_64 rng_;
    QList<TableSpec> tables_;
    QVariantList params_;                  // the parameters of the statement being built
    const TableSpec* changing_ = nullptr;  // the table it changes
};

// Seeded values of numeric columns by name: 0 to 6 (reals: up to 99999.99) unless listed here.
TableSpec describe(const Database& db, const QString& name, int seedRows) {
    static const QHash<QString, std::pair<qint64, qint64>> ranges = {
        {"TIPO_REG", {1, 4}}, {"UMID", {1, 12}}, {"ANIOSOLBRE", {2018, 2024}}, {"ANIOBRELOT", {2018, 2024}},
        {"SOLBRELOT", {0, 30}}, {"NUMBRELOT", {0, 30}}, {"PORCUT", {0, 99999}}};
    static const QHash<DbfType, Kind> kinds = {
        {DbfType::Character, Kind::Text}, {DbfType::Logical, Kind::Bool}, {DbfType::Date, Kind::Date}};
    TableSpec t{name, {}, seedRows};
    for (const DbfField& f : db.table(name)->fields()) {
        Column c{f.name.toUpper(), f, kinds.value(f.type, f.decimals == 0 ? Kind::Int : Kind::Real)};
        c.max = pow10(f.width) - 1;
        c.min = -(pow10(f.width - 1) - 1);
        std::tie(c.lo, c.hi) = ranges.value(c.name, {0, f.decimals == 0 ? 6 : 9999999});
        c.id16 = c.name == QLatin1String("ID_PROD") || (name == QLatin1String("imanexos") && c.name == QLatin1String("ID_SUBORD"));
        if (c.id16) {
            c.min = -kMaxAnnexId - 1;
            c.max = kMaxAnnexId;
            c.lo = c.name == QLatin1String("ID_PROD") ? 1 : 0;
            c.hi = c.lo == 0 ? 6 : name == QLatin1String("imanexos") ? 40 : 60;
        }
        t.columns << c;
    }
    return t;
}

// The first row where two lists of rows differ, or an empty text.
QString firstDifference(const QString& what, const QList<QVariantList>& a, const QList<QVariantList>& b, bool fold,
                        bool sorted) {
    QStringList x, y;
    for (const QVariantList& r : a) x << canonicalRow(r, fold);
    for (const QVariantList& r : b) y << canonicalRow(r, fold);
    if (sorted) {
        std::sort(x.begin(), x.end());
        std::sort(y.begin(), y.end());
    }
    qsizetype i = 0;
    while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
    if (i == x.size() && i == y.size()) return {};
    return QStringLiteral("%1: %2 rows against %3; first difference at %4: dbf %5, native %6")
        .arg(what).arg(x.size()).arg(y.size()).arg(i).arg(x.value(i, "(none)"), y.value(i, "(none)"));
}

class Differential : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        ASSERT_TRUE(words().size() > 50 && fractions().size() > 5);
        for (const QString& w : words() + fractions())
            for (const QChar c : w) ASSERT_GE(weight(c).letter, 0) << QString(c).toStdString();
        tables = {describe(db, QStringLiteral("imanexos"), 150), describe(db, QStringLiteral("improd"), 100),
                  describe(db, QStringLiteral("mercbi"), 100)};
        for (const TableSpec& t : tables) {
            const Result r = native.run(nativeDeclaration(t));
            ASSERT_TRUE(r.ok) << r.error.toStdString();
        }
    }

    // The DBF table emptied, packed and filled with seeded rows, which the native copy then takes.
    QString reseed(Generator& gen, const TableSpec& t) {
        QString error;
        if (!db.execute(QStringLiteral("DELETE FROM %1").arg(t.name), {}, &error) || !db.pack(t.name, &error)) return error;
        QList<QVariantList> seeded;
        for (int k = 0; k < t.seedRows; ++k) {
            seeded << gen.row(t);
            const QString insert = QStringLiteral("INSERT INTO %1 VALUES (?%2)").arg(t.name, QStringLiteral(",?").repeated(int(t.columns.size()) - 1));
            if (!db.execute(insert, seeded.last(), &error)) return error;
        }
        copyBack(t);
        return firstDifference(t.name, runDbf(db, QStringLiteral("SELECT * FROM %1").arg(t.name)).rows, seeded, false, true) +
               compareFile(t);
    }

    // The native copy takes the rows the DBF table holds (compareFile checks them against the file).
    void copyBack(const TableSpec& t) {
        native.run(QStringLiteral("DELETE FROM %1").arg(t.name));
        QStringList names{QStringLiteral("rowid")};
        for (const Column& c : t.columns) names << c.name;
        const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (?%3)")
                                   .arg(t.name, names.join(u','), QStringLiteral(",?").repeated(names.size() - 1));
        for (const QVariantList& row : runDbf(db, QStringLiteral("SELECT rowid, * FROM %1").arg(t.name)).rows)
            native.run(insert, row);
    }

    // Same rows under the same record numbers (as a multiset after an insert).
    QString compareContents(const TableSpec& t, bool numbered = true) {
        const QString sql = numbered ? QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(t.name)
                                     : QStringLiteral("SELECT * FROM %1").arg(t.name);
        const Result a = runDbf(db, sql), b = native.run(sql);
        if (!a.ok || !b.ok) return QStringLiteral("contents unreadable: %1 / %2").arg(a.error, b.error);
        return firstDifference(t.name, a.rows, b.rows, false, !numbered);
    }

    // The file itself, read by a fresh reader, holds what the native copy holds.
    QString compareFile(const TableSpec& t) {
        QString error;
        auto file = DbfTable::open(db.tablePath(t.name), &error, DbfAccess::ReadOnly);
        if (!file) return error;
        QList<QVariantList> live;
        for (int r = 0; r < file->recordCount(); ++r) {
            if (file->isDeleted(r)) continue;
            QVariantList row{qint64(r + 1)};
            for (const QVariant& v : file->record(r)) {
                if (v.typeId() == QMetaType::Bool) row << QVariant(qint64(v.toBool() ? 1 : 0));
                else if (v.typeId() == QMetaType::QDate) row << v.toDate().toString(Qt::ISODate);
                else row << v;
            }
            live << row;
        }
        const Result b = native.run(QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(t.name));
        return firstDifference(t.name + QStringLiteral(" (file)"), live, b.rows, false, false);
    }

    // What is wrong with the DBF answer to `s`, or an empty text when it matches.
    static QString compare(const Statement& s, const Result& a, const Result& b) {
        if (a.ok != b.ok) return QStringLiteral("dbf %1, native %2").arg(a.ok ? "ran" : "failed: " + a.error, b.ok ? "ran" : "failed: " + b.error);
        if (!a.ok) return {};
        if (s.table && a.changes != b.changes) return QStringLiteral("dbf changed %1 rows, native %2").arg(a.changes).arg(b.changes);
        if (s.shape.order > 0 && a.rows.size() == b.rows.size()) {  // the keys of a partial order in the same order
            const auto keys = [&](QList<QVariantList> rows) {
                for (QVariantList& r : rows) r = r.mid(0, s.shape.order);
                return rows;
            };
            const QString order = firstDifference(QStringLiteral("order"), keys(a.rows), keys(b.rows), true, false);
            if (!order.isEmpty()) return order;
        }
        return firstDifference(QStringLiteral("result"), a.rows, b.rows, s.shape.fold, s.shape.order >= 0);
    }

    test::TestFolder folder;
    Database db;
    Native native;
    QList<TableSpec> tables;
};

TEST_F(Differential, RandomStatementsGiveWhatNativeTablesGive) {
    const int total = qEnvironmentVariableIntValue("KALTO_DIFF_STATEMENTS") > 0 ? qEnvironmentVariableIntValue("KALTO_DIFF_STATEMENTS") : 250;
    const quint64 seed = qEnvironmentVariableIsSet("KALTO_DIFF_SEED") ? qEnvironmentVariable("KALTO_DIFF_SEED").toULongLong() : 20240611;
    Generator gen(seed, tables);
    QElapsedTimer timer;
    timer.start();
    int failures = 0, selects = 0, changed = 0, savepoints = 0, mismatches = 0;
    const auto report = [&](int n, const Statement& s, const QString& what) {
        ADD_FAILURE() << "seed " << seed << ", statement " << n << ": " << s.sql.toStdString() << "  ["
                      << canonicalRow(s.params, false).toStdString() << "]\n  " << what.toStdString();
        return ++mismatches < 10;
    };
    for (const TableSpec& t : tables) {
        const QString diff = reseed(gen, t);
        ASSERT_TRUE(diff.isEmpty()) << diff.toStdString();
    }
    int depth = 0;  // savepoints s0.. open
    const auto savepoint = [&](int n, Statement& s, bool open) {  // run on both; every table must agree after it
        const Result a = runDbf(db, s.sql), b = native.run(s.sql);
        QString what = a.ok && b.ok ? QString() : a.error + QStringLiteral(" / ") + b.error;
        for (const TableSpec& t : tables)
            if (what.isEmpty() && !open) what = compareContents(t);
        ++savepoints;
        return what.isEmpty() || report(n, s, what);
    };
    for (int n = 0; n < total; ++n) {
        Statement s;
        if (n > 0 && gen.chance(8)) {  // a savepoint opened, rolled back to or released
            const int k = gen.pick(std::max(depth, 1));
            const bool open = depth == 0 || (depth < 3 && gen.chance(40)), back = gen.chance(50);
            s.sql = open ? QStringLiteral("SAVEPOINT s%1").arg(depth) : QString::fromLatin1(back ? "ROLLBACK TO s%1" : "RELEASE s%1").arg(k);
            depth = open ? depth + 1 : back ? k + 1 : k;
            if (!savepoint(n, s, open)) return;
            continue;
        }
        s = gen.statement(gen.chance(55) ? kSelects : kChanges);
        const Result a = runDbf(db, s.sql, s.params), b = native.run(s.sql, s.params);
        QString what = compare(s, a, b);
        if (what.isEmpty() && s.table) {
            what = compareContents(*s.table, !s.shape.inserts);  // a failed statement changes nothing
            if (s.shape.inserts) copyBack(*s.table);  // the native copy takes the DBF's record numbers
        }
        if (!what.isEmpty()) {
            if (!report(n, s, what)) return;
            if (s.table) copyBack(*s.table);  // go on from the same rows
        }
        EXPECT_TRUE(a.ok || s.table) << "a query failed: " << s.sql.toStdString() << ": " << a.error.toStdString();
        failures += !a.ok;
        changed += a.ok && s.table ? a.changes : 0;
        selects += !s.table;
    }
    Statement last;
    last.sql = QStringLiteral("RELEASE s0");
    if (depth > 0 && !savepoint(total, last, false)) return;
    for (const TableSpec& t : tables) {
        const QString file = compareFile(t);
        EXPECT_TRUE(file.isEmpty()) << file.toStdString();
    }
    std::cout << "[ differential ] " << total << " statements (" << selects << " queries, " << savepoints
              << " on savepoints, " << changed << " rows changed, " << failures << " failed part way or whole) in "
              << timer.elapsed() << " ms, seed " << seed << std::endl;
    // The generator does reach the cases it is there for.
    EXPECT_GT(selects, total / 3);
    EXPECT_GT(failures, total / 200);
    EXPECT_GT(changed, total);
    EXPECT_GT(savepoints, total / 40);
}

}  // namespace

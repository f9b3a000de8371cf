// Random statements, savepoints among them, run on the DBF tables through Database and on native
// SQLite tables holding the same rows: both must give the same rows and leave the same rows behind.
// The native tables order and match text by a reference worked by hand (Spanish order: accents with
// their letter, Ñ between N and O, case ignored; equality keeps accents), not by the program's code.
// KALTO_DIFF_STATEMENTS: how many statements (250 by default); KALTO_DIFF_SEED: the seed.

#include "data/Database.h"
#include "data/RecordSet.h"
#include "data/TableCatalogue.h"
#include "data/Values.h"
#include "support/TestFolder.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <iostream>
#include <random>

using namespace kalto;

namespace {

enum class Kind { Int, Real, Text, Bool, Date };

struct Column {
    QString name;
    DbfField field;
    Kind kind = Kind::Text;
    qint64 lo = 0, hi = 9;    // seeded values (Int); largest seeded value times 10^decimals (Real)
    qint64 min = 0, max = 0;  // what the field holds (Int)
    bool id16 = false;        // a 16-bit annex identifier
};

struct TableSpec {
    QString name;
    QList<Column> columns;
    int seedRows = 0;
    QList<int> of(Kind kind) const {
        QList<int> out;
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].kind == kind) out << i;
        return out;
    }
};

qint64 pow10(int n) {
    qint64 v = 1;
    while (n-- > 0) v *= 10;
    return v;
}

// Accents, Ñ, mixed case, quotes and LIKE wildcards; none empty or ending in a blank.
const QStringList& words() {
    static const QStringList w = [] {
        QStringList l;
        for (const char* s :
             {"árbol", "ARBOL", "Arbol", "arbol", "arco", "año", "Año", "AÑO", "ano", "anzuelo", "Ñandú", "ñandu",
              "NANDU", "nube", "niño", "Niño", "NIÑO", "nino", "Élite", "elite", "ÉLITE", "eco", "zapato", "Zapato",
              "ZAPATO", "ola", "Óleo", "oleo", "café", "CAFÉ", "cafe", "Über", "über", "uber", "señor", "SEÑOR",
              "Señora", "senor", "canción", "CANCION", "caja", "CAJA", "Caja 1", "caja 10", "caja 2", "O'HARA",
              "o'hara", "100%", "50% menos", "a_b", "a%b", " espacio", "peña", "PEÑA", "pena", "Peñalosa", "Šablon",
              "šablon", "œuvre", "ŒUVRE", "Ÿes", "ÿes", "straße", "STRASSE", "tornillo", "TUERCA", "tuerca",
              "Torreón", "TORREON", "Mérida", "merida", "León", "LEON", "leon", "calle Peña 10",
              "AV. PEÑA ÁLVAREZ 10", "1", "10", "2", "Z", "z", "a", "á", "Á", "ñ", "Ñ", "n", "o", "Ç", "ç"})
            l << QString::fromUtf8(s);
        return l;
    }();
    return w;
}

const QStringList& fractions() {
    static const QStringList f{QStringLiteral("84713001"), QStringLiteral("84713002"), QStringLiteral("73181501"),
                               QStringLiteral("73181601"), QStringLiteral("48191001"), QStringLiteral("00000001"),
                               QStringLiteral("1234567"),  QStringLiteral("ABC12345"), QStringLiteral("ñ1234567")};
    return f;
}

// The value as compared: type and value; text folded where equal texts may come from any row.
QString canonical(const QVariant& v, bool fold) {
    if (isNullValue(v)) return QStringLiteral("∅");
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int: return QStringLiteral("i") + QString::number(v.toLongLong());
    case QMetaType::Double: return QStringLiteral("r") + QString::number(v.toDouble(), 'g', 17);
    default: return QStringLiteral("t") + (fold ? foldCase(v.toString()) : v.toString());
    }
}

QString canonicalRow(const QVariantList& row, bool fold) {
    QStringList parts;
    for (const QVariant& v : row) parts << canonical(v, fold);
    return parts.join(QChar(0x1F));
}

// The reference order: one entry per letter, in Spanish order; within an entry its forms, each
// small letter before its capital, in the order texts differing only in that form take.
const QStringList kAlphabet = {
    QStringLiteral(" "), QStringLiteral("%"), QStringLiteral("'"), QStringLiteral("."), QStringLiteral("0"),
    QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
    QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("_"),
    QStringLiteral("aAàÀáÁâÂãÃäÄ"), QStringLiteral("bB"), QStringLiteral("cCçÇ"), QStringLiteral("dD"),
    QStringLiteral("eEèÈéÉêÊëË"), QStringLiteral("fF"), QStringLiteral("gG"), QStringLiteral("hH"),
    QStringLiteral("iIìÌíÍîÎïÏ"), QStringLiteral("jJ"), QStringLiteral("kK"), QStringLiteral("lL"), QStringLiteral("mM"),
    QStringLiteral("nN"), QStringLiteral("ñÑ"), QStringLiteral("oOòÒóÓôÔõÕöÖ"), QStringLiteral("pP"), QStringLiteral("qQ"),
    QStringLiteral("rR"), QStringLiteral("sSšŠ"), QStringLiteral("tT"), QStringLiteral("uUùÙúÚûÛüÜ"), QStringLiteral("vV"),
    QStringLiteral("wW"), QStringLiteral("xX"), QStringLiteral("yYýÝÿŸ"), QStringLiteral("zZžŽ"), QStringLiteral("ß"),
    QStringLiteral("œŒ")};

struct Weight {
    int letter = -1, form = 0;  // letter -1: a character the alphabet does not hold
};

Weight weight(QChar c) {
    static const QHash<QChar, Weight> table = [] {
        QHash<QChar, Weight> t;
        for (int l = 0; l < kAlphabet.size(); ++l)
            for (int f = 0; f < kAlphabet[l].size(); ++f) t.insert(kAlphabet[l][f], {l, f / 2});
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

void registerReference(sqlite3* db) {
    sqlite3_create_collation(db, "KALTO", SQLITE_UTF8, nullptr, [](void*, int n1, const void* s1, int n2, const void* s2) {
        return referenceOrder(QString::fromUtf8(static_cast<const char*>(s1), n1),
                              QString::fromUtf8(static_cast<const char*>(s2), n2));
    });
    const auto like = [](sqlite3_context* ctx, int argc, sqlite3_value** argv) {
        for (int i = 0; i < argc; ++i)
            if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return sqlite3_result_null(ctx);
        const QChar escape = argc == 3 ? argText(argv[2]).at(0) : QChar(0xFFFF);
        sqlite3_result_int(ctx, referenceLike(argText(argv[0]), argText(argv[1]), escape));
    };
    for (int args : {2, 3}) sqlite3_create_function(db, "like", args, SQLITE_UTF8, nullptr, like, nullptr, nullptr);
}

struct Result {
    bool ok = true;
    QString error;
    QList<QVariantList> rows;
    int changes = 0;
};

// The native copy: a plain in-memory connection with the program's text functions.
class Native {
public:
    Native() {
        sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        registerReference(db_);
    }
    ~Native() { sqlite3_close_v2(db_); }
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;

    Result run(const QString& sql, const QVariantList& params = {}) {
        Result r;
        sqlite3_stmt* stmt = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db_, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
            r.ok = false;
            r.error = QString::fromUtf8(sqlite3_errmsg(db_));
            return r;
        }
        for (int i = 0; i < params.size(); ++i) {
            const QVariant& v = params[i];
            if (isNullValue(v)) sqlite3_bind_null(stmt, i + 1);
            else if (v.typeId() == QMetaType::Double) sqlite3_bind_double(stmt, i + 1, v.toDouble());
            else if (isNumberValue(v)) sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
            else {
                const QByteArray s = v.toString().toUtf8();
                sqlite3_bind_text(stmt, i + 1, s.constData(), int(s.size()), SQLITE_TRANSIENT);
            }
        }
        int rc;
        const int n = sqlite3_column_count(stmt);
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < n; ++i) {
                switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_INTEGER: row << QVariant(qint64(sqlite3_column_int64(stmt, i))); break;
                case SQLITE_FLOAT: row << QVariant(sqlite3_column_double(stmt, i)); break;
                case SQLITE_NULL: row << QVariant(); break;
                default:
                    row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                             sqlite3_column_bytes(stmt, i));
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
        const QString n = QLatin1Char('"') + c.name + QLatin1Char('"');
        switch (c.kind) {
        case Kind::Int:
            cols << QStringLiteral("%1 INTEGER CHECK (%1 BETWEEN %2 AND %3)").arg(n).arg(c.min).arg(c.max);
            break;
        case Kind::Real: {
            const int whole = c.field.width - c.field.decimals - 1;
            cols << QStringLiteral("%1 REAL CHECK (%1 < %2 AND %1 > -%3)")
                        .arg(n).arg(pow10(whole)).arg(pow10(whole - 1));
            break;
        }
        case Kind::Text:
            cols << QStringLiteral("%1 TEXT COLLATE KALTO CHECK (length(%1) <= %2)").arg(n).arg(c.field.width);
            break;
        case Kind::Bool: cols << QStringLiteral("%1 INTEGER").arg(n); break;
        case Kind::Date: cols << QStringLiteral("%1 TEXT CHECK (date(%1) IS %1)").arg(n); break;
        }
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(t.name, cols.join(QStringLiteral(", ")));
}

struct Statement {
    QString sql;
    QVariantList params;
    bool modifies = false;
    bool inserts = false;   // new records: their numbers may differ (the DBF never reuses one)
    QString table;          // the table a modifying statement changes
    bool ordered = false;   // ORDER BY orders every row
    QList<int> keys;        // result columns of the ORDER BY keys when it orders them only partly
    bool fold = false;      // equal texts may come from any row of their group
};

class Generator {
public:
    Generator(quint64 seed, const QList<TableSpec>& tables) : rng_(seed), tables_(tables) {}

    int pick(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng_)); }
    qint64 between(qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(100) < percent; }
    template <typename T> const T& any(const QList<T>& l) { return l.at(pick(int(l.size()))); }

    // A stored value of the column (what seeded rows and updates hold).
    QVariant value(const Column& c, bool nullable = true) {
        if (nullable && c.kind != Kind::Bool && chance(6)) return QVariant();
        switch (c.kind) {
        case Kind::Int: return QVariant(between(c.lo, c.hi));
        case Kind::Real: {
            const qint64 scale = pow10(c.field.decimals);
            const qint64 k = chance(10) ? -between(0, pow10(c.field.width - c.field.decimals - 2) * scale - 1)
                                        : between(0, std::min<qint64>(c.hi, pow10(c.field.width - 1) - 1));
            return QVariant(double(k) / double(scale));
        }
        case Kind::Text: {
            if (c.name == QLatin1String("FRACCION")) return any(fractions());
            QString w;
            do w = any(words());
            while (w.size() > c.field.width);
            return w;
        }
        case Kind::Bool: return QVariant(qint64(pick(2)));
        case Kind::Date: return QDate(2015, 1, 1).addDays(between(0, 3650)).toString(Qt::ISODate);
        }
        return {};
    }

    QVariantList row(const TableSpec& t) {
        QVariantList r;
        for (const Column& c : t.columns) r << value(c);
        return r;
    }

    // A value as SQL text; bound as a numbered parameter now and then.
    QString literal(const QVariant& v, QVariantList* params) {
        if (params && chance(15)) {
            *params << v;
            return QStringLiteral("?%1").arg(params->size());
        }
        if (isNullValue(v)) return QStringLiteral("NULL");
        if (v.typeId() == QMetaType::Double) {
            const QString s = QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
            return s.contains(QLatin1Char('.')) || s.contains(QLatin1Char('e')) ? s : s + QStringLiteral(".0");
        }
        if (isNumberValue(v)) return QString::number(v.toLongLong());
        return sqlQuote(v.toString());
    }

    // A value to compare an integer column with: mostly one the rows hold, else one beside
    // them, a text or real that spells an integer, a fraction, NULL or a number far away.
    QVariant intOperand(const Column& c) {
        const qint64 v = between(c.lo - 1, c.hi + 1);
        switch (pick(20)) {
        case 0: return QString::number(v);
        case 1: return QStringLiteral("0") + QString::number(std::abs(v));
        case 2: return double(v);
        case 3: return double(v) + 0.5;
        case 4: return QVariant();
        case 5: return QVariant(qint64(99999999999LL));
        case 6: return QStringLiteral("%1.0").arg(v);
        case 7: return QStringLiteral("x%1").arg(v);
        default: return QVariant(v);
        }
    }

    // A text to compare a text column with: a word in some letter case.
    QString textOperand(const Column& c) {
        QString w = c.name == QLatin1String("FRACCION") ? any(fractions()) : any(words());
        switch (pick(5)) {
        case 0: return w.toUpper();
        case 1: return w.toLower();
        case 2: return chance(50) ? QStringLiteral("zzz") : w.left(std::max<qsizetype>(1, w.size() / 2));
        default: return w;
        }
    }

    QString likePattern(const Column& c) {
        QString w = textOperand(c);
        switch (pick(8)) {
        case 0: return w.left(std::max<qsizetype>(1, w.size() / 2)) + QLatin1Char('%');
        case 1: return QLatin1Char('%') + w.right(std::max<qsizetype>(1, w.size() / 2));
        case 2: return QLatin1Char('%') + w.mid(w.size() / 3, 2) + QLatin1Char('%');
        case 3: {
            const int i = pick(int(w.size()));
            w[i] = QLatin1Char('_');
            return w;
        }
        case 4: return QStringLiteral("%ñ%");
        case 5: return QStringLiteral("_%");
        default: return w;
        }
    }

    QString condition(const TableSpec& t, const QString& p, QVariantList* params, int depth = 0) {
        const QList<int> ints = t.of(Kind::Int);
        const QList<int> texts = t.of(Kind::Text);
        const auto col = [&](int i) { return p + t.columns[i].name.toLower(); };
        const int choice = pick(depth < 2 ? 16 : 12);
        switch (choice) {
        case 0: case 1: case 2: case 3: {  // equalities on several integer columns, in any order
            QList<int> cols = ints;
            std::shuffle(cols.begin(), cols.end(), rng_);
            const int r = pick(100);
            cols = cols.mid(0, std::min<int>(int(cols.size()), r < 45 ? 1 : r < 85 ? 2 : 3 + pick(2)));
            QStringList terms;
            for (int i : cols) {
                const Column& c = t.columns[i];
                const QVariant v = chance(85) ? QVariant(between(c.lo, c.hi)) : intOperand(c);
                terms << (chance(85) ? QStringLiteral("%1 = %2").arg(col(i), literal(v, params))
                                     : QStringLiteral("%2 = %1").arg(col(i), literal(v, params)));
            }
            if (chance(25)) terms << condition(t, p, params, 2);
            std::shuffle(terms.begin(), terms.end(), rng_);
            return terms.join(QStringLiteral(" AND "));
        }
        case 4: {  // IN lists, NOT IN
            const int i = any(ints);
            QStringList values;
            for (int k = 0, n = 1 + pick(4); k < n; ++k) values << literal(intOperand(t.columns[i]), params);
            const QString in = QStringLiteral("%1 %2IN (%3)").arg(col(i), chance(20) ? QStringLiteral("NOT ") : QString(),
                                                                  values.join(QStringLiteral(", ")));
            return chance(40) ? in + QStringLiteral(" AND ") + condition(t, p, params, 2) : in;
        }
        case 5: {  // ranges
            const int i = any(ints);
            const Column& c = t.columns[i];
            static const char* ops[] = {"<", "<=", ">", ">=", "<>"};
            if (chance(25))
                return QStringLiteral("%1 BETWEEN %2 AND %3").arg(col(i), literal(between(c.lo, c.hi), params),
                                                                   literal(between(c.lo, c.hi), params));
            return QStringLiteral("%1 %2 %3").arg(col(i), QLatin1String(ops[pick(5)]), literal(intOperand(c), params));
        }
        case 6: {  // NULL
            const Column& c = t.columns[pick(int(t.columns.size()))];
            static const char* forms[] = {"IS NULL", "IS NOT NULL", "= NULL", "<> NULL"};
            return QStringLiteral("%1%2 %3").arg(p, c.name.toLower(), QLatin1String(forms[pick(4)]));
        }
        case 7: {  // text equality and order
            if (texts.isEmpty()) return condition(t, p, params, depth);
            const int i = any(texts);
            static const char* ops[] = {"=", "=", "<>", "<", ">=", "IN"};
            const int op = pick(6);
            if (op == 5)
                return QStringLiteral("%1 IN (%2, %3)").arg(col(i), literal(textOperand(t.columns[i]), params),
                                                            literal(textOperand(t.columns[i]), params));
            return QStringLiteral("%1 %2 %3").arg(col(i), QLatin1String(ops[op]), literal(textOperand(t.columns[i]), params));
        }
        case 8: {  // LIKE
            if (texts.isEmpty()) return condition(t, p, params, depth);
            const int i = any(texts);
            if (chance(10))
                return QStringLiteral("%1 LIKE '%\\%%' ESCAPE '\\'").arg(col(i));
            return QStringLiteral("%1 %2LIKE %3").arg(col(i), chance(15) ? QStringLiteral("NOT ") : QString(),
                                                      literal(likePattern(t.columns[i]), params));
        }
        case 9: {  // record numbers
            const qint64 n = between(1, t.seedRows + 5);
            switch (pick(3)) {
            case 0: return QStringLiteral("%1rowid = %2").arg(p, literal(n, params));
            case 1: return QStringLiteral("%1rowid IN (%2, %3)").arg(p).arg(n).arg(between(1, t.seedRows));
            default: return QStringLiteral("%1rowid BETWEEN %2 AND %3").arg(p).arg(n).arg(n + pick(20));
            }
        }
        case 10: {  // two columns, reals, dates
            const QList<int> reals = t.of(Kind::Real), dates = t.of(Kind::Date);
            if (!reals.isEmpty() && chance(40)) {
                const int i = any(reals);
                return QStringLiteral("%1 %2 %3").arg(col(i), chance(50) ? QStringLiteral(">") : QStringLiteral("="),
                                                      literal(value(t.columns[i], false), params));
            }
            if (!dates.isEmpty() && chance(50))
                return QStringLiteral("%1 < %2").arg(col(any(dates)), literal(value(t.columns[any(dates)], false), params));
            return QStringLiteral("%1 = %2").arg(col(any(ints)), col(any(ints)));
        }
        case 11: {  // an equality whose value comes from another table
            const TableSpec& o = tables_.at(pick(int(tables_.size())));
            const QList<int> others = o.of(Kind::Int);
            const int i = any(ints);
            // Native SQLite changes rows in one pass, so a correlated subquery over the table
            // being changed would see the rows already changed; the DBF tables are changed
            // only after every row was chosen. Such statements are left out.
            if (chance(50) || o.name == changing_)
                return QStringLiteral("%1 IN (SELECT %2 FROM %3 WHERE %4)")
                    .arg(col(i), o.columns[any(others)].name.toLower(), o.name, condition(o, QString(), params, 2));
            // Correlated: the outer column named with its table, the inner table by its alias.
            const QString outer = p.isEmpty() ? t.name + QLatin1Char('.') + t.columns[i].name.toLower() : col(i);
            return QStringLiteral("EXISTS (SELECT 1 FROM %1 q WHERE q.%2 = %3 AND %4)")
                .arg(o.name, o.columns[any(others)].name.toLower(), outer, condition(o, QStringLiteral("q."), params, 2));
        }
        case 12: case 13:
            return QStringLiteral("(%1 OR %2)").arg(condition(t, p, params, depth + 1), condition(t, p, params, depth + 1));
        case 14: return QStringLiteral("NOT (%1)").arg(condition(t, p, params, depth + 1));
        default:
            return QStringLiteral("%1 AND %2").arg(condition(t, p, params, depth + 1), condition(t, p, params, depth + 1));
        }
    }

    Statement select() {
        const TableSpec& t = tables_.at(pick(int(tables_.size())));
        Statement s;
        const QList<int> ints = t.of(Kind::Int), texts = t.of(Kind::Text);
        const int form = pick(9);
        const QString where = form != 6 && chance(85) ? QStringLiteral(" WHERE ") + condition(t, QString(), &s.params)
                                                      : QString();
        switch (form) {
        case 0: case 1: case 2: case 3: {  // whole rows, in some order
            s.sql = QStringLiteral("SELECT rowid, * FROM %1%2").arg(t.name, where);
            if (chance(70)) {
                QStringList order;
                QList<int> cols;
                for (int k = 0, n = 1 + pick(3); k < n; ++k) {
                    const int i = chance(50) && !texts.isEmpty() ? any(texts) : pick(int(t.columns.size()));
                    order << t.columns[i].name.toLower() + (chance(30) ? QStringLiteral(" DESC") : QString());
                    s.keys << i + 1;
                }
                if (chance(50)) {
                    order << QStringLiteral("rowid");
                    s.ordered = true;
                    s.keys.clear();
                }
                s.sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
                if (s.ordered && chance(30)) s.sql += QStringLiteral(" LIMIT %1 OFFSET %2").arg(1 + pick(20)).arg(pick(5));
            }
            break;
        }
        case 4: s.sql = QStringLiteral("SELECT count(*), sum(%1), min(%2), max(%2) FROM %3%4")
                            .arg(t.columns[any(ints)].name, t.columns[any(ints)].name, t.name, where);
            break;
        case 5: {  // text aggregates and groups: equal texts may come from any row
            const QString c = t.columns[any(texts)].name;
            s.fold = true;
            s.sql = chance(50) ? QStringLiteral("SELECT %1, count(*) FROM %2%3 GROUP BY %1").arg(c, t.name, where)
                               : QStringLiteral("SELECT min(%1), max(%1), count(DISTINCT %1) FROM %2%3").arg(c, t.name, where);
            if (chance(50) && s.sql.contains(QLatin1String("GROUP BY"))) {
                s.sql += QStringLiteral(" ORDER BY 1");
                s.ordered = true;  // every group is one key
            }
            break;
        }
        case 6: {  // a join on integer columns
            const TableSpec& o = tables_.at(pick(int(tables_.size())));
            const QList<int> others = o.of(Kind::Int);
            s.sql = QStringLiteral("SELECT count(*), sum(a.rowid), sum(b.rowid), sum(a.rowid * b.rowid) FROM %1 a "
                                   "JOIN %2 b ON b.%3 = a.%4")
                        .arg(t.name, o.name, o.columns[any(others)].name, t.columns[any(ints)].name);
            if (chance(70)) s.sql += QStringLiteral(" AND ") + condition(o, QStringLiteral("b."), &s.params, 1);
            if (chance(50)) s.sql += QStringLiteral(" WHERE ") + condition(t, QStringLiteral("a."), &s.params, 1);
            break;
        }
        default: {  // a few columns, ordered by one of them
            const int a = pick(int(t.columns.size())), b = any(texts);
            s.sql = QStringLiteral("SELECT %1, %2 FROM %3%4").arg(t.columns[a].name, t.columns[b].name, t.name, where);
            if (chance(60)) {
                const bool first = chance(50);
                s.sql += QStringLiteral(" ORDER BY %1%2").arg(first ? 1 : 2).arg(chance(30) ? QStringLiteral(" DESC") : QString());
                s.keys << (first ? 0 : 1);
            }
        }
        }
        return s;
    }

    // An assignment; some of them fail for some rows (a number or text too wide for its
    // field, an annex identifier beyond 16 bits).
    QString assignment(const TableSpec& t, int i, QVariantList* params) {
        const Column& c = t.columns[i];
        const QString n = c.name.toLower();
        switch (c.kind) {
        case Kind::Int:
            switch (pick(8)) {
            case 0: return QStringLiteral("%1 = %1 + %2").arg(n).arg(between(-2, 3));
            case 1: return QStringLiteral("%1 = %1 * %2").arg(n).arg(c.id16 ? 1500 : between(2, 40));
            case 2: return c.id16 ? QStringLiteral("%1 = %1 + 32740").arg(n) : QStringLiteral("%1 = %1 - 60").arg(n);
            case 3: return QStringLiteral("%1 = %2").arg(n, t.columns[any(t.of(Kind::Int))].name);
            case 4: return QStringLiteral("%1 = %2").arg(n, literal(QString::number(between(c.lo, c.hi)), params));
            default: return QStringLiteral("%1 = %2").arg(n, literal(value(c), params));
            }
        case Kind::Real:
            switch (pick(5)) {
            case 0: return QStringLiteral("%1 = %1 * 2").arg(n);
            case 1: return QStringLiteral("%1 = %2").arg(n).arg(pow10(c.field.width - c.field.decimals - 1));
            default: return QStringLiteral("%1 = %2").arg(n, literal(value(c), params));
            }
        case Kind::Text:
            switch (pick(6)) {
            case 0: return QStringLiteral("%1 = upper(%1)").arg(n);
            case 1: return QStringLiteral("%1 = %1 || %2").arg(n, c.name == QLatin1String("FRACCION") ? QStringLiteral("'1'")
                                                                                                      : QStringLiteral("'ñ'"));
            default: return QStringLiteral("%1 = %2").arg(n, literal(value(c), params));
            }
        case Kind::Bool: return QStringLiteral("%1 = %2").arg(n).arg(pick(2));
        case Kind::Date: return QStringLiteral("%1 = %2").arg(n, literal(value(c), params));
        }
        return {};
    }

    Statement modify() {
        const TableSpec& t = tables_.at(pick(int(tables_.size())));
        Statement s;
        s.modifies = true;
        s.table = t.name;
        changing_ = t.name;
        const auto done = qScopeGuard([this] { changing_.clear(); });
        if (chance(25)) {
            s.sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(t.name, condition(t, QString(), &s.params));
            return s;
        }
        if (chance(12)) {
            s.inserts = true;
            if (chance(40)) {
                s.sql = QStringLiteral("INSERT INTO %1 SELECT * FROM %1 WHERE %2 ORDER BY rowid LIMIT %3")
                            .arg(t.name, condition(t, QString(), &s.params)).arg(1 + pick(20));
                return s;
            }
            QStringList rows;
            for (int k = 0, n = 1 + pick(3); k < n; ++k) {
                QStringList values;
                for (const Column& c : t.columns)
                    values << (c.id16 && chance(5) ? QStringLiteral("32768") : literal(value(c), &s.params));
                rows << QLatin1Char('(') + values.join(QStringLiteral(", ")) + QLatin1Char(')');
            }
            s.sql = QStringLiteral("INSERT INTO %1 VALUES %2").arg(t.name, rows.join(QStringLiteral(", ")));
            return s;
        }
        QStringList sets;
        QList<int> cols;
        for (int k = 0, n = 1 + pick(2); k < n; ++k) {
            const int i = pick(int(t.columns.size()));
            if (!cols.contains(i)) cols << i;
        }
        for (int i : cols) sets << assignment(t, i, &s.params);
        s.sql = QStringLiteral("UPDATE %1 SET %2").arg(t.name, sets.join(QStringLiteral(", ")));
        if (chance(90)) s.sql += QStringLiteral(" WHERE ") + condition(t, QString(), &s.params);
        return s;
    }

private:
    std::mt19937_64 rng_;
    QList<TableSpec> tables_;
    QString changing_;  // the table the statement being built changes
};

TableSpec describe(const Database& db, const QString& name, int seedRows) {
    TableSpec t;
    t.name = name;
    t.seedRows = seedRows;
    for (const DbfField& f : db.table(name)->fields()) {
        Column c;
        c.name = f.name.toUpper();
        c.field = f;
        switch (f.type) {
        case DbfType::Character: c.kind = Kind::Text; break;
        case DbfType::Logical: c.kind = Kind::Bool; break;
        case DbfType::Date: c.kind = Kind::Date; break;
        case DbfType::Numeric:
            c.kind = f.decimals == 0 ? Kind::Int : Kind::Real;
            c.max = pow10(f.width) - 1;
            c.min = -(pow10(f.width - 1) - 1);
            c.hi = f.decimals == 0 ? 6 : 9999999;
            break;
        }
        const bool annexes = name == QLatin1String("imanexos");
        c.id16 = c.name == QLatin1String("ID_PROD") || (annexes && c.name == QLatin1String("ID_SUBORD"));
        if (c.id16) {
            c.min = -kMaxAnnexId - 1;
            c.max = kMaxAnnexId;
            c.lo = c.name == QLatin1String("ID_PROD") ? 1 : 0;
            c.hi = c.name == QLatin1String("ID_PROD") ? (annexes ? 40 : 60) : 6;
        } else if (c.name == QLatin1String("TIPO_REG") || c.name == QLatin1String("UMID")) {
            c.lo = 1;
            c.hi = c.name == QLatin1String("UMID") ? 12 : 4;
        } else if (c.name.startsWith(QLatin1String("ANIO"))) {
            c.lo = 2018;
            c.hi = 2024;
        } else if (c.name.endsWith(QLatin1String("LOT"))) {
            c.hi = 30;
        } else if (c.name == QLatin1String("PORCUT")) {
            c.hi = 99999;
        }
        t.columns << c;
    }
    return t;
}

class Differential : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        for (const QString& w : words() + fractions())
            for (const QChar c : w) ASSERT_GE(weight(c).letter, 0) << QString(c).toStdString();
        tables = {describe(db, QStringLiteral("imanexos"), 150), describe(db, QStringLiteral("improd"), 100),
                  describe(db, QStringLiteral("mercbi"), 100)};
        for (const TableSpec& t : tables) {
            const Result r = native.run(nativeDeclaration(t));
            ASSERT_TRUE(r.ok) << r.error.toStdString();
        }
    }

    const TableSpec& tableShape(const QString& name) const {
        for (const TableSpec& t : tables)
            if (t.name == name) return t;
        return tables.first();
    }

    QString columnList(const TableSpec& t) const {
        QStringList names;
        for (const Column& c : t.columns) names << c.name;
        return names.join(QStringLiteral(", "));
    }

    // Both copies emptied (the DBF one packed) and filled with the same rows under the same numbers.
    bool reseed(Generator& gen, const TableSpec& t, QString* error) {
        if (!db.execute(QStringLiteral("DELETE FROM %1").arg(t.name), {}, error) || !db.pack(t.name, error)) return false;
        native.run(QStringLiteral("DELETE FROM %1").arg(t.name));
        const QString marks = QStringLiteral("?,").repeated(int(t.columns.size()));
        const QString insert = QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(t.name, marks.chopped(1));
        const QString nativeInsert =
            QStringLiteral("INSERT INTO %1 (rowid, %2) VALUES (?,%3)").arg(t.name, columnList(t), marks.chopped(1));
        for (int k = 0; k < t.seedRows; ++k) {
            const QVariantList row = gen.row(t);
            if (!db.execute(insert, row, error)) return false;
            const Result r = native.run(nativeInsert, QVariantList{qint64(sqlite3_last_insert_rowid(db.handle()))} + row);
            if (!r.ok) {
                *error = r.error;
                return false;
            }
        }
        return true;
    }

    // The native copy takes the rows the DBF table holds.
    void copyBack(const TableSpec& t) {
        native.run(QStringLiteral("DELETE FROM %1").arg(t.name));
        const QString marks = QStringLiteral("?,").repeated(int(t.columns.size()) + 1).chopped(1);
        const QString insert = QStringLiteral("INSERT INTO %1 (rowid, %2) VALUES (%3)").arg(t.name, columnList(t), marks);
        for (const QVariantList& row : runDbf(db, QStringLiteral("SELECT rowid, * FROM %1").arg(t.name)).rows)
            native.run(insert, row);
    }

    // The first row where two lists of rows differ, or an empty text.
    static QString firstDifference(const QString& what, QStringList x, QStringList y, bool sorted) {
        if (sorted) {
            std::sort(x.begin(), x.end());
            std::sort(y.begin(), y.end());
        }
        if (x == y) return {};
        qsizetype i = 0;
        while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
        return QStringLiteral("%1: %2 rows against %3; first difference at %4: dbf %5, native %6")
            .arg(what).arg(x.size()).arg(y.size()).arg(i)
            .arg(i < x.size() ? x[i] : QStringLiteral("(none)"), i < y.size() ? y[i] : QStringLiteral("(none)"));
    }
    static QStringList canonicalRows(const QList<QVariantList>& rows, bool fold) {
        QStringList out;
        for (const QVariantList& r : rows) out << canonicalRow(r, fold);
        return out;
    }

    // Same rows under the same record numbers (as a multiset after an insert).
    QString compareContents(const TableSpec& t, bool numbered = true) {
        const QString sql = numbered ? QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(t.name)
                                     : QStringLiteral("SELECT * FROM %1").arg(t.name);
        const Result a = runDbf(db, sql), b = native.run(sql);
        if (!a.ok || !b.ok) return QStringLiteral("contents unreadable: %1 / %2").arg(a.error, b.error);
        return firstDifference(t.name, canonicalRows(a.rows, false), canonicalRows(b.rows, false), !numbered);
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
        return firstDifference(t.name + QStringLiteral(" (file)"), canonicalRows(live, false),
                               canonicalRows(b.rows, false), false);
    }

    // What is wrong with the DBF answer to `s`, or an empty text when it matches.
    QString compare(const Statement& s, const Result& a, const Result& b) {
        if (a.ok != b.ok)
            return QStringLiteral("dbf %1, native %2").arg(a.ok ? QStringLiteral("ran") : QStringLiteral("failed: ") + a.error,
                                                           b.ok ? QStringLiteral("ran") : QStringLiteral("failed: ") + b.error);
        if (!a.ok) return {};
        if (s.modifies && a.changes != b.changes)
            return QStringLiteral("dbf changed %1 rows, native %2").arg(a.changes).arg(b.changes);
        if (!s.ordered && a.rows.size() == b.rows.size()) {  // the keys of a partial order in the same order
            const auto keys = [&](const QList<QVariantList>& rows) {
                QStringList out;
                for (const QVariantList& r : rows) {
                    QVariantList k;
                    for (int i : s.keys) k << r.value(i);
                    out << canonicalRow(k, true);
                }
                return out;
            };
            if (keys(a.rows) != keys(b.rows)) return QStringLiteral("the order differs");
        }
        return firstDifference(QStringLiteral("result"), canonicalRows(a.rows, s.fold), canonicalRows(b.rows, s.fold),
                               !s.ordered);
    }

    test::TestFolder folder;
    Database db;
    Native native;
    QList<TableSpec> tables;
};

int environmentNumber(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariable(name).toInt(&ok);
    return ok && v > 0 ? v : fallback;
}

TEST_F(Differential, RandomStatementsGiveWhatNativeTablesGive) {
    const int total = environmentNumber("KALTO_DIFF_STATEMENTS", 250);
    const quint64 seed = quint64(environmentNumber("KALTO_DIFF_SEED", 20240611));
    Generator gen(seed, tables);
    QElapsedTimer timer;
    timer.start();
    int failures = 0, failedStatements = 0, selects = 0, changed = 0, mismatches = 0;
    const auto report = [&](int n, const Statement& s, const QString& what) {
        QStringList params;
        for (const QVariant& v : s.params) params << canonical(v, false);
        ADD_FAILURE() << "seed " << seed << ", statement " << n << ": " << s.sql.toStdString() << "  ["
                      << params.join(QStringLiteral(", ")).toStdString() << "]\n  " << what.toStdString();
        return ++mismatches < 10;
    };
    int depth = 0, savepoints = 0;  // savepoints s0.. open; statements on them
    const auto savepoint = [&](int n, const QString& sql) {  // run on both; every table must agree after it
        const Result a = runDbf(db, sql), b = native.run(sql);
        QString what = a.ok && b.ok ? QString() : a.error + QStringLiteral(" / ") + b.error;
        for (const TableSpec& t : tables)
            if (what.isEmpty() && !sql.startsWith(u'S')) what = compareContents(t);
        ++savepoints;
        Statement s;
        s.sql = sql;
        return what.isEmpty() || report(n, s, what);
    };
    const int round = 250;
    for (int n = 0; n < total; ++n) {
        if (n % round == 0 && depth > 0 && !savepoint(n, QStringLiteral("RELEASE s0"))) return;
        depth = n % round == 0 ? 0 : depth;
        if (n % round != 0 && gen.chance(8)) {  // a savepoint opened, rolled back to or released
            const int k = gen.pick(std::max(depth, 1));
            QString sql = QStringLiteral("SAVEPOINT s%1").arg(depth);
            int next = depth + 1;
            if (depth > 0 && (depth == 3 || gen.chance(60))) {
                const bool back = gen.chance(50);
                sql = (back ? QStringLiteral("ROLLBACK TO s%1") : QStringLiteral("RELEASE s%1")).arg(k);
                next = back ? k + 1 : k;
            }
            depth = next;
            if (!savepoint(n, sql)) return;
            continue;
        }
        if (n % round == 0) {
            for (const TableSpec& t : tables) {
                if (n > 0) {
                    const QString file = compareFile(t);
                    if (!file.isEmpty() && !report(n, Statement{}, file)) return;
                }
                QString error;
                ASSERT_TRUE(reseed(gen, t, &error)) << error.toStdString();
                const QString diff = compareContents(t);
                ASSERT_TRUE(diff.isEmpty()) << diff.toStdString();
            }
        }
        const Statement s = gen.chance(55) ? gen.select() : gen.modify();
        const Result a = runDbf(db, s.sql, s.params);
        const Result b = native.run(s.sql, s.params);
        QString what = compare(s, a, b);
        if (what.isEmpty() && s.modifies) {
            what = compareContents(tableShape(s.table), !s.inserts);  // a failed statement changes nothing
            if (s.inserts) copyBack(tableShape(s.table));  // the native copy takes the DBF's record numbers
        }
        if (!what.isEmpty()) {
            if (!report(n, s, what)) return;
            if (s.modifies) copyBack(tableShape(s.table));  // go on from the same rows
        }
        if (!a.ok) ++failedStatements;
        else if (s.modifies) changed += a.changes;
        else ++selects;
        failures += !a.ok && s.modifies;
    }
    if (depth > 0 && !savepoint(total, QStringLiteral("RELEASE s0"))) return;
    for (const TableSpec& t : tables) {
        const QString file = compareFile(t);
        EXPECT_TRUE(file.isEmpty()) << file.toStdString();
    }
    std::cout << "[ differential ] " << total << " statements (" << selects << " queries, " << savepoints
              << " on savepoints, " << changed
              << " rows changed, " << failures << " failed part way or whole"
              << ") in " << timer.elapsed() << " ms, seed " << seed << std::endl;
    // The generator does reach the cases it is there for.
    EXPECT_GT(selects, total / 3);
    EXPECT_GT(failures, total / 200);
    EXPECT_GT(changed, total);
    EXPECT_GT(savepoints, total / 40);
    EXPECT_EQ(failedStatements, failures);  // no query fails
}

}  // namespace

// Figures of the data engine, each beside the same work on a native SQLite in-memory table:
//  (a) 30,000 single-statement inserts into imanexos, also beside a native table kept in a file
//      with the same promise (each statement in the file when it returns);
//  (b) 1,000 export products of 29 inputs each: "select * from imanexos where id_subord=" per product;
//  (c) opening that data folder and refreshing the 22 data sources of the main window;
//  (d) the 30,000 descriptions in order: the program's Spanish collation on the DBF table, the
//      same collation on a native table, and plain byte order on a native table.
// Each figure is printed with native's in the same run and their ratio, beside the goal. The
// queries of (b) and (d) are run once first (which builds the index of id_subord and lets the
// sorter find its memory), then nine times each, taking turns; the medians are compared.
// Usage: bench_data <folder holding the catalogue .DBF files>

#include "BenchFolder.h"
#include "app/MainDataSources.h"
#include "data/Database.h"
#include "data/DbfModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

using namespace kalto;

namespace {

constexpr int kProducts = 1000;
constexpr int kInputs = 29;

QString insertText(int id, int subord) {
    return QStringLiteral("insert into imanexos values (%1,1,'MATERIA PRIMA %1','3901100%2',%3)")
        .arg(id)
        .arg(id % 10)
        .arg(subord);
}

// Runs the 30,000 inserts of 1,000 products with 29 inputs each; returns the seconds taken.
template <typename Exec>
double insertAll(Exec exec) {
    QElapsedTimer t;
    t.start();
    int id = 1;
    for (int p = 0; p < kProducts; ++p) {
        const int product = id++;
        exec(insertText(product, 0));
        for (int i = 0; i < kInputs; ++i) exec(insertText(id++, product));
    }
    return t.nsecsElapsed() / 1e9;
}

double queryAll(sqlite3* db) {
    QElapsedTimer t;
    t.start();
    long rows = 0;
    for (int p = 0; p < kProducts; ++p) {
        const QByteArray sql = QStringLiteral("select * from imanexos where id_subord=%1").arg(p * 30 + 1).toUtf8();
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                sqlite3_column_text(stmt, c);
                ++rows;
            }
        sqlite3_finalize(stmt);
    }
    if (rows != long(kProducts) * kInputs * 5) std::printf("  (unexpected value count %ld)\n", rows);
    return t.nsecsElapsed() / 1e6;
}

constexpr int kTurns = 9;

// The median of kTurns runs of `a` and of `b`, run in turns after one run of each.
template <typename A, typename B>
std::pair<double, double> medians(A a, B b) {
    a();
    b();
    std::vector<double> ta, tb;
    for (int i = 0; i < kTurns; ++i) {
        ta.push_back(a());
        tb.push_back(b());
    }
    std::sort(ta.begin(), ta.end());
    std::sort(tb.begin(), tb.end());
    return {ta[kTurns / 2], tb[kTurns / 2]};
}

}  // namespace

// Steps through every row of a query; returns the milliseconds taken.
double stepAll(sqlite3* db, const char* sql) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    long rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) ++rows;
    sqlite3_finalize(stmt);
    if (rows != long(kProducts) * (kInputs + 1)) std::printf("  (unexpected row count %ld)\n", rows);
    return t.nsecsElapsed() / 1e6;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    bench::copyCatalogues(bench::catalogueFolder(argc, argv), dir.path());

    Database db;
    if (!bench::openData(db, dir.path())) return 1;
    sqlite3* native = nullptr;
    sqlite3_open(":memory:", &native);
    sqlite3_exec(native,
                 "create table imanexos(id_prod integer, tipo_reg integer, descrip text, fraccion text, "
                 "id_subord integer)",
                 nullptr, nullptr, nullptr);

    const int total = kProducts * (kInputs + 1);
    const double a = insertAll([&](const QString& sql) { db.execute(sql); });
    const double an = insertAll([&](const QString& sql) {
        sqlite3_exec(native, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    });
    std::printf("(a) %d inserts into imanexos: %.0f a second (%.2f s); native SQLite table: %.0f a second "
                "(%.2f of native; goal at least 0.50)\n",
                total, total / a, a, total / an, an / a);

    // The same inserts into a native table kept in a file with the promise ours keep: every
    // statement is in the file when it returns (a kill loses nothing committed), with no sync.
    sqlite3* file = nullptr;
    sqlite3_open(QFile::encodeName(dir.filePath(QStringLiteral("native.db"))).constData(), &file);
    sqlite3_exec(file,
                 "pragma journal_mode=wal; pragma synchronous=off; create table imanexos(id_prod integer, "
                 "tipo_reg integer, descrip text, fraccion text, id_subord integer)",
                 nullptr, nullptr, nullptr);
    const double af = insertAll([&](const QString& sql) {
        sqlite3_exec(file, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    });
    sqlite3_close(file);
    std::printf("    the same into a native SQLite table in a file, each statement in it when it returns (WAL, no "
                "sync): %.0f a second (ours %.1f times as fast)\n",
                total / af, af / a);

    sqlite3_exec(native, "create index ix_subord on imanexos(id_subord)", nullptr, nullptr, nullptr);
    const auto [b, bn] = medians([&] { return queryAll(db.handle()); }, [&] { return queryAll(native); });
    std::printf("(b) %d queries by id_subord: %.1f ms; native SQLite table with an index: %.1f ms "
                "(ratio %.2f; goal at most 1.50)\n",
                kProducts, b, bn, b / bn);

    registerTextFunctions(native, nullptr);
    sqlite3_exec(native,
                 "create table spanish(descrip text collate KALTO); insert into spanish select descrip from imanexos",
                 nullptr, nullptr, nullptr);
    const auto [d, dn] = medians([&] { return stepAll(db.handle(), "select descrip from imanexos order by descrip"); },
                                 [&] { return stepAll(native, "select descrip from spanish order by descrip"); });
    const double dbytes = stepAll(native, "select descrip from imanexos order by descrip");
    std::printf("(d) %d descriptions in order: %.1f ms; native table, same collation: %.1f ms (ratio %.2f; goal at "
                "most 1.30); native table, byte order: %.1f ms\n",
                total, d, dn, d / dn, dbytes);

    db.close();
    QElapsedTimer t;
    t.start();
    Database reopened;
    if (!bench::openData(reopened, dir.path())) return 1;
    MainDataSources sources(&reopened);
    sources.bind();
    sources.refreshAll();
    const double c = t.nsecsElapsed() / 1e6;
    t.restart();
    sources.refreshAll();
    const double c2 = t.nsecsElapsed() / 1e6;
    std::printf("(c) opening the folder and refreshing the %lld data sources: %.1f ms (a second refresh: %.1f ms)\n",
                static_cast<long long>(sources.all().size()), c, c2);
    sqlite3_close(native);
    return 0;
}

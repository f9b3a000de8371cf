// Figures of the printed application for a large request: 1,000 export products of 29 inputs
// each, 1,000 products, 300 containers, tools and rework rows, addresses and companies:
//  (a) reading the rows the report prints from the tables of a data folder (loadReportRows);
//  (b) composing the application from those rows (FormateaInf alone).
// Each is run several times; the best and the median are printed.
// Usage: bench_print <folder holding the catalogue .DBF files>

#include "BenchFolder.h"
#include "data/Database.h"
#include "print/FormateaInf.h"
#include "print/ReportSnapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kalto;

namespace {

constexpr int kExportProducts = 1000;
constexpr int kInputs = 29;
constexpr int kOthersPerKind = 100;  // containers, tools and rework
constexpr int kRuns = 7;

bool run(Database& db, const QString& sql, const QVariantList& params = {}) {
    QString error;
    if (db.execute(sql, params, &error)) return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(error));
    return false;
}

bool fill(Database& db) {
    const QString annex = QStringLiteral("insert into imanexos values (?,?,?,?,?)");
    int id = 1;
    for (int p = 0; p < kExportProducts; ++p) {
        const int product = id++;
        if (!run(db, annex, {product, 1, QStringLiteral("null "), QStringLiteral("8471%1").arg(p, 4, 10, QLatin1Char('0')), 0}))
            return false;
        for (int i = 0; i < kInputs; ++i, ++id)
            if (!run(db, annex, {id, 1, QStringLiteral("MATERIA PRIMA %1").arg(id),
                                 QStringLiteral("3901%1").arg(id % 10000, 4, 10, QLatin1Char('0')), product}))
                return false;
    }
    for (int kind = 2; kind <= 4; ++kind)
        for (int i = 0; i < kOthersPerKind; ++i, ++id)
            if (!run(db, annex, {id, kind, QStringLiteral("ARTÍCULO %1").arg(id),
                                 i % 10 == 0 ? QVariant() : QVariant(QStringLiteral("7309%1").arg(i, 4, 10, QLatin1Char('0'))),
                                 0}))
                return false;
    for (int p = 1; p <= kExportProducts; ++p)
        if (!run(db, QStringLiteral("insert into improd values (?,?,?,?,?,?,?)"),
                 {p, QStringLiteral("8471%1").arg(p, 4, 10, QLatin1Char('0')), QVariant(), 1000, 80, 1,
                  QStringLiteral("PIEZA")}))
            return false;
    const QString address = QStringLiteral("insert into imdir values (?,?,?,?,?,?,?,?,?,?,?)");
    if (!run(db, address, {QStringLiteral("FL"), QStringLiteral("AV. REFORMA 123"), QStringLiteral("06600"),
                           QStringLiteral("CIUDAD DE MÉXICO"), QStringLiteral("JUÁREZ"), QStringLiteral("5555-1234"),
                           QStringLiteral("a@b.mx"), QStringLiteral("CDMX"), QStringLiteral("CUAUHTÉMOC"), QVariant(),
                           QVariant()}))
        return false;
    for (int i = 0; i < 5; ++i)
        if (!run(db, address, {QStringLiteral("PL"), QStringLiteral("CALLE %1").arg(i), QStringLiteral("44100"),
                               QStringLiteral("GUADALAJARA"), QStringLiteral("CENTRO"), QVariant(), QVariant(),
                               QStringLiteral("JALISCO"), QStringLiteral("GUADALAJARA"), QVariant(), QVariant()}))
            return false;
    for (int i = 0; i < 20; ++i)
        if (!run(db, QStringLiteral("insert into impects values (?,?,?,?,?,?,?,?)"),
                 {QStringLiteral("EMPRESA %1").arg(i), QStringLiteral("EMP0101%1A1").arg(i, 2, 10, QLatin1Char('0')),
                  1000, i, 2010, 50, 50, QStringLiteral("CTSM").mid(i % 4, 1)}))
            return false;
    return run(db, QStringLiteral("insert into imrlegal values (?,?,?,?,?,?)"),
               {QStringLiteral("JOSÉ"), QStringLiteral("PEÑA"), QStringLiteral("MUÑOZ"), QStringLiteral("55"),
                QStringLiteral("DIRECTOR"), QVariant()});
}

struct Figures {
    double best, median;
};
Figures summary(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    bench::copyCatalogues(bench::catalogueFolder(argc, argv), dir.path());

    Database db;
    QString error;
    if (!db.open(dir.path(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer t;
    t.start();
    if (!fill(db)) return 1;
    std::printf("request written: %d annex rows, %d products (%.1f s)\n",
                kExportProducts * (kInputs + 1) + 3 * kOthersPerKind, kExportProducts, t.nsecsElapsed() / 1e9);

    ReportSnapshot snapshot;
    snapshot.procedure = 0;
    snapshot.procedureText = QStringLiteral("Programa Nuevo");
    snapshot.modality = 3;
    snapshot.modalityText = QStringLiteral("Controladora");
    snapshot.rfc = QStringLiteral(" ABC0102031A2");
    snapshot.companyName = QStringLiteral("PRODUCTOS PEÑA, S.A.");

    std::vector<double> load, compose, both;
    ReportText text;
    for (int i = 0; i < kRuns; ++i) {
        ReportSnapshot s = snapshot;
        t.restart();
        if (!loadReportRows(db, s, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const double a = t.nsecsElapsed() / 1e6;
        t.restart();
        if (!FormateaInf(s, QDate(2024, 3, 5), &text, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const double b = t.nsecsElapsed() / 1e6;
        load.push_back(a);
        compose.push_back(b);
        both.push_back(a + b);
    }
    const qsizetype lines = text.full.count(QLatin1Char('\n'));
    const Figures a = summary(load), b = summary(compose), c = summary(both);
    std::printf("(a) loadReportRows: best %.1f ms, median %.1f ms\n", a.best, a.median);
    std::printf("(b) FormateaInf: best %.1f ms, median %.1f ms (%lld characters, %lld lines)\n", b.best, b.median,
                static_cast<long long>(text.full.size()), static_cast<long long>(lines));
    std::printf("(a)+(b): best %.1f ms, median %.1f ms (target: under 200 ms)\n", c.best, c.median);
    return 0;
}

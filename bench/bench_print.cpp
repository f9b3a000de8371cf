// Figures of the printed application for a large request, at two sizes: 30,000 annex rows
// (1,000 export products of 29 inputs each and 300 containers, tools and rework rows) and
// 100,000 (3,325 export products of 29 inputs each and 250 other rows); as many products as
// export products, addresses and companies:
//  (a) reading the rows the report prints from the tables of a data folder (loadReportRows);
//  (b) composing the application from those rows (FormateaInf alone);
//  the peak memory of the process while it reads and composes (from the size it had before, the
//  data folder opened again after writing it), and its peak over the whole case, the writing
//  included.
// Each size runs in a process of its own, so that peaks do not mix; read and compose are run
// several times and the best and the median are printed.
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
#include <cstring>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kalto;

namespace {

constexpr int kInputs = 29;
constexpr int kRuns = 7;

struct Size {
    int exportProducts;
    int others;  // containers, tools and rework, in turn
};
constexpr Size kSizes[] = {{1000, 300}, {3325, 250}};

bool run(Database& db, const QString& sql, const QVariantList& params = {}) {
    QString error;
    if (db.execute(sql, params, &error)) return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(error));
    return false;
}

// Identifiers go up to 32,767: the export products take 1 to exportProducts, every other row one
// after those, over again from there when they run out (only products are looked up by theirs).
bool fill(Database& db, const Size& size) {
    const QString annex = QStringLiteral("insert into imanexos values (?,?,?,?,?)");
    int row = 0;
    const auto nextId = [&] { return size.exportProducts + 1 + row++ % (32767 - size.exportProducts); };
    for (int p = 0; p < size.exportProducts; ++p) {
        const int product = p + 1;
        if (!run(db, annex, {product, 1, QStringLiteral("null "), QStringLiteral("8471%1").arg(p, 4, 10, QLatin1Char('0')), 0}))
            return false;
        for (int i = 0; i < kInputs; ++i) {
            const int id = nextId();
            if (!run(db, annex, {id, 1, QStringLiteral("MATERIA PRIMA %1").arg(row),
                                 QStringLiteral("3901%1").arg(row % 10000, 4, 10, QLatin1Char('0')), product}))
                return false;
        }
    }
    for (int i = 0; i < size.others; ++i) {
        const int id = nextId();
        if (!run(db, annex, {id, 2 + i % 3, QStringLiteral("ARTÍCULO %1").arg(row),
                             i % 10 == 0 ? QVariant() : QVariant(QStringLiteral("7309%1").arg(i, 4, 10, QLatin1Char('0'))),
                             0}))
            return false;
    }
    for (int p = 1; p <= size.exportProducts; ++p)
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

// The process's peak resident size in MB (VmHWM), and how to start counting it again from the
// present size.
double peakMb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::atol(line + 6);
    std::fclose(f);
    return kb / 1024.0;
}
void resetPeak() {
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

int runCase(int argc, char** argv, const Size& size) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    bench::copyCatalogues(bench::catalogueFolder(argc, argv), dir.path());

    Database db;
    if (!bench::openData(db, dir.path())) return 1;
    QString error;
    QElapsedTimer t;
    t.start();
    if (!fill(db, size)) return 1;
    const int annexRows = size.exportProducts * (kInputs + 1) + size.others;
    std::printf("%d annex rows, %d products: request written in %.1f s\n", annexRows, size.exportProducts,
                t.nsecsElapsed() / 1e9);
    // Read again from the files, as the program finds them when it starts.
    db.close();
    if (!db.open(dir.path(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    ReportSnapshot snapshot;
    snapshot.procedure = 0;
    snapshot.procedureText = QStringLiteral("Programa Nuevo");
    snapshot.modality = 3;
    snapshot.modalityText = QStringLiteral("Controladora");
    snapshot.rfc = QStringLiteral(" ABC0102031A2");
    snapshot.companyName = QStringLiteral("PRODUCTOS PEÑA, S.A.");

    std::vector<double> load, compose, both;
    ReportText text;
    resetPeak();
    const double before = peakMb();
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
    const double printing = peakMb();
    const qsizetype lines = text.full.count(QLatin1Char('\n'));
    const Figures a = summary(load), b = summary(compose), c = summary(both);
    std::printf("  (a) loadReportRows: best %.1f ms, median %.1f ms\n", a.best, a.median);
    std::printf("  (b) FormateaInf: best %.1f ms, median %.1f ms (%lld characters, %lld lines)\n", b.best, b.median,
                static_cast<long long>(text.full.size()), static_cast<long long>(lines));
    std::printf("  (a)+(b): best %.1f ms, median %.1f ms (target: under 200 ms at 100,000 rows)\n", c.best, c.median);
    std::printf("  peak memory: %.0f MB while reading and composing (%.0f MB before), ", printing, before);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    for (const Size& size : kSizes) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child < 0) return 1;
        if (child == 0) _exit(runCase(argc, argv, size));
        int status = 0;
        struct rusage usage {};
        if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "the case of %d export products failed\n", size.exportProducts);
            return 1;
        }
        std::printf("%.0f MB over the whole case (target: under 120 MB at 100,000 rows)\n", usage.ru_maxrss / 1024.0);
    }
    return 0;
}

// Figures of the imports from drive C:
//  (a) the annex import of a 30,000-line file (1,000 export products with 29 inputs each)
//      into an empty data folder, beside the same file turned into a .DBF of the same fields
//      by a plain loop over the table codec (read, split into lines, one append per line, no
//      check and no SQL): what the checks, the SQL engine and the error file cost;
//  (b) the product import of a 5,000-line file (one line in 50 refused) into an empty data
//      folder, beside the same plain loop (one annex row and one product row per line);
//  (c) both imports of a 200 MB file (the first 32,767 lines stored, the rest refused into the
//      error file), each in a child process of its own: time and the child's peak memory
//      (getrusage ru_maxrss; the child starts with the parent's memory at the fork).
// Usage: bench_import [folder holding the catalogue .DBF files] (default: beside the program)

#include "BenchFolder.h"
#include "annexes/Import.h"
#include "core/Drives.h"
#include "core/TextFiles.h"
#include "data/Database.h"
#include "data/Dbf.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kalto;

namespace {

constexpr int kExportProducts = 1000;
constexpr int kInputsEach = 29;
constexpr int kProductLines = 5000;

QByteArray annexFile() {
    QByteArray out;
    for (int p = 0; p < kExportProducts; ++p) {
        out += "E,8471" + QByteArray::number(p).rightJustified(4, '0') + "\r\n";
        for (int i = 0; i < kInputsEach; ++i) out += "I,39011" + QByteArray::number(i).rightJustified(3, '0') + "\r\n";
    }
    return out;
}

QByteArray productFile() {
    QByteArray out;
    for (int n = 1; n <= kProductLines; ++n)
        out += n % 50 ? "8471" + QByteArray::number(n % 10000).rightJustified(4, '0') + "," +
                            QByteArray::number(1 + n % 19) + "," + QByteArray::number(n * 10) + ",75.5\r\n"
                      : QByteArray("84713001,999,10,10\r\n");  // refused: no such unit
    return out;
}

// A data folder holding only the catalogues; the request tables are made by Database::open.
bool makeFolder(const QString& catalogues, const QString& dir) {
    bench::copyCatalogues(catalogues, dir);
    return QFileInfo::exists(QDir(dir).filePath(QStringLiteral("imunidmd.DBF")));
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

// The lines of a file as a plain reader takes them: the whole text decoded and split.
QStringList linesOf(const QString& path) {
    QString text;
    if (!readTextFile(path, &text)) return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) lines.removeLast();
    return lines;
}

// Writes a file of about `bytes` bytes, a block of lines at a time: `line(n)` is line n.
void writeLarge(const QString& path, qint64 bytes, const std::function<QByteArray(int)>& line) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    QByteArray block;
    qint64 written = 0;
    for (int n = 1; written < bytes; ++n) {
        block += line(n);
        if (block.size() >= (1 << 20)) {
            written += f.write(block);
            block.clear();
        }
    }
    f.write(block);
}

// (c): one import of a large file in a child process; what it prints is its figures.
void large(const char* what, const QString& catalogues, const DriveSettings& settings, bool annexes) {
    bench::inChild([&] {
    QTemporaryDir data;
    makeFolder(catalogues, data.path());
    Database db;
    if (!bench::openData(db, data.path())) return 1;
    const QString input = QDir(settings.unidadC).filePath(annexes ? QStringLiteral("anexo.csv") : QStringLiteral("prod.csv"));
    const QByteArray description = " de cartón corrugado doble, con asas de plástico y tapa, para el embarque de las piezas";
    writeLarge(input, 200LL * 1000 * 1000, [&](int n) -> QByteArray {
        if (!annexes)
            return "8471" + QByteArray::number(n % 10000).rightJustified(4, '0') + "," + QByteArray::number(1 + n % 19) +
                   ",1000,75.5,producto de prueba " + QByteArray::number(n) + description + "\r\n";
        if (n % 30 == 1) return "E,8471" + QByteArray::number(n % 10000).rightJustified(4, '0') + "\r\n";
        if (n % 30 < 20) return "I,3901" + QByteArray::number(n % 10000).rightJustified(4, '0') + "\r\n";
        return (n % 2 ? "C,Caja " : "H,Herramienta ") + QByteArray::number(n) + description + "\r\n";
    });
    const qint64 size = QFileInfo(input).size();
    const long before = bench::peakKiB();
    QElapsedTimer t;
    t.start();
    int reports = 0;
    const auto progress = [&](int, int) { return ++reports > 0; };
    const ImportResult r = annexes ? importAnnexes(db, Drives(data.path(), settings), progress)
                                   : importProducts(db, Drives(data.path(), settings), progress);
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("%s, archivo de %.1f MB, %d renglones:\n", what, size / 1e6, r.total);
    std::printf("    %.2f s (%d cargados, %d rechazados; archivo de errores de %.1f MB), %d avisos de avance\n",
                seconds, r.loaded, r.refused, QFileInfo(r.errorPath).size() / 1e6, reports);
    std::printf("    memoria máxima del proceso: %.1f MB (%.1f MB antes de importar; meta: menos de 150 MB)\n",
                bench::peakKiB() / 1024.0, before / 1024.0);
    QFile::remove(input);
    QFile::remove(r.errorPath);
    return 0;
    });
}

// A new empty table at `path` with the fields of `name` in `db`.
std::unique_ptr<DbfTable> emptyLike(Database& db, const QString& name, const QString& path) {
    QString error;
    if (!DbfTable::create(path, db.table(name)->fields(), &error)) return nullptr;
    return DbfTable::open(path, &error);
}

struct Run {
    double importS = 0;
    double plainS = 0;
    int loaded = 0;
    int refused = 0;
    int appended = 0;
};

void print(const char* what, int lines, const Run& r) {
    std::printf("%s, %d renglones:\n", what, lines);
    std::printf("    importación a una carpeta vacía: %.3f s (%d cargados, %d rechazados, %.0f renglones/s)\n",
                r.importS, r.loaded, r.refused, lines / r.importS);
    std::printf("    ciclo simple sobre el códec .DBF: %.3f s (%d registros)\n", r.plainS, r.appended);
    std::printf("    proporción: %.2f veces el ciclo simple (meta: menos de 1 s y de 3 veces)\n", r.importS / r.plainS);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString catalogues = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath();
    QTemporaryDir driveC;
    DriveSettings settings = DriveSettings::fromSystem();
    settings.unidadC = driveC.path();
    QString error;

    // (a) Annexes.
    Run annex;
    {
        QTemporaryDir data, plain;
        if (!makeFolder(catalogues, data.path())) {
            std::printf("No se encontraron los catálogos .DBF en %s\n", qPrintable(catalogues));
            return 1;
        }
        const Drives drives(data.path(), settings);
        Database db;
        if (!db.open(data.path(), &error)) {
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
        const QString input = QDir(driveC.path()).filePath(QStringLiteral("anexo.csv"));
        put(input, annexFile());

        QElapsedTimer t;
        t.start();
        const ImportResult r = importAnnexes(db, drives);
        annex.importS = t.nsecsElapsed() / 1e9;
        annex.loaded = r.loaded;
        annex.refused = r.refused;

        auto table = emptyLike(db, QStringLiteral("imanexos"), QDir(plain.path()).filePath(QStringLiteral("imanexos.DBF")));
        if (!table) return 1;
        t.restart();
        const QStringList lines = linesOf(input);
        int parent = 0;
        for (int i = 0; i < lines.size(); ++i) {
            const QString& line = lines.at(i);
            const QString value = line.mid(2);
            const bool exportProduct = line.startsWith(QLatin1Char('E'));
            if (exportProduct) parent = i + 1;
            if (table->append({qint64(i + 1), 1, QString(), value, exportProduct ? 0 : parent}, nullptr, &error))
                ++annex.appended;
        }
        annex.plainS = t.nsecsElapsed() / 1e9;
    }
    print("(a) Anexos", kExportProducts * (1 + kInputsEach), annex);

    // (b) Products.
    Run product;
    {
        QTemporaryDir data, plain;
        makeFolder(catalogues, data.path());
        const Drives drives(data.path(), settings);
        Database db;
        if (!db.open(data.path(), &error)) {
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
        const QString input = QDir(driveC.path()).filePath(QStringLiteral("prod.csv"));
        put(input, productFile());

        QElapsedTimer t;
        t.start();
        const ImportResult r = importProducts(db, drives);
        product.importS = t.nsecsElapsed() / 1e9;
        product.loaded = r.loaded;
        product.refused = r.refused;

        auto annexes = emptyLike(db, QStringLiteral("imanexos"), QDir(plain.path()).filePath(QStringLiteral("imanexos.DBF")));
        auto products = emptyLike(db, QStringLiteral("improd"), QDir(plain.path()).filePath(QStringLiteral("improd.DBF")));
        if (!annexes || !products) return 1;
        t.restart();
        const QStringList lines = linesOf(input);
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList f = lines.at(i).split(QLatin1Char(','));
            if (f.size() < 4) continue;
            const qint64 id = i + 1;
            if (annexes->append({id, 1, QStringLiteral("null "), f.at(0), 0}, nullptr, &error) &&
                products->append({id, f.at(0), QString(), f.at(2).toDouble(), f.at(3).toDouble(), f.at(1).toLongLong(),
                                  QStringLiteral("PIEZA")},
                                 nullptr, &error))
                ++product.appended;
        }
        product.plainS = t.nsecsElapsed() / 1e9;
    }
    print("(b) Productos", kProductLines, product);

    // (c) 200 MB.
    large("(c) Anexos de 200 MB", catalogues, settings, true);
    large("(c) Productos de 200 MB", catalogues, settings, false);
    return 0;
}

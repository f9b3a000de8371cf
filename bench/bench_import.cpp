// Figures of the imports from drive C:
//  (a) reading a 20,000-line annex file (UTF-8 and Windows-1252) into lines;
//  (b) the annex import of those 20,000 lines (2,000 export products with 8 inputs each, a
//      container and one refused line per product) into an empty imanexos, in one transaction
//      as the program runs it, and the same lines stored statement by statement without one;
//  (c) the product import of 20,000 lines (one in 50 refused) into an empty improd.
// Usage: bench_import <folder holding the catalogue .DBF files>

#include "annexes/Import.h"
#include "annexes/ImportText.h"
#include "core/Drives.h"
#include "data/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace kalto;

namespace {

constexpr int kLines = 20000;

QByteArray annexFile() {
    QByteArray out;
    int n = 0;
    for (int p = 0; n < kLines; ++p) {
        out += "E,8471" + QByteArray::number(3000 + p % 1000).rightJustified(4, '0') + "\r\n";
        ++n;
        for (int i = 0; i < 8 && n < kLines; ++i, ++n) out += "I,3901100" + QByteArray::number(i) + "\r\n";
        if (n < kLines) {
            out += "C,Caja de cart\xF3n n\xFAmero " + QByteArray::number(p) + "\r\n";
            ++n;
        }
        if (n < kLines) {
            out += "I,390110\r\n";  // refused: seven characters
            ++n;
        }
    }
    return out;
}

QByteArray productFile() {
    QByteArray out;
    for (int n = 1; n <= kLines; ++n)
        out += n % 50 ? "8471" + QByteArray::number(n % 10000).rightJustified(4, '0') + "," +
                            QByteArray::number(1 + n % 19) + "," + QByteArray::number(n * 10) + ",75.5\r\n"
                      : QByteArray("84713001,999,10,10\r\n");  // refused: no such unit
    return out;
}

bool makeFolder(const QString& catalogues, const QTemporaryDir& dir) {
    for (const QString& f : QDir(catalogues).entryList({QStringLiteral("*.DBF")}, QDir::Files)) {
        const QString base = f.left(f.lastIndexOf(QLatin1Char('.'))).toLower();
        if (QStringList{"imsector", "imcserv", "imunidmd", "csector", "activida", "prodabas"}.contains(base))
            QFile::copy(QDir(catalogues).filePath(f), dir.filePath(f));
    }
    return QFileInfo::exists(dir.filePath(QStringLiteral("imunidmd.DBF")));
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString catalogues = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath();
    QTemporaryDir data, driveC;
    if (!makeFolder(catalogues, data)) {
        std::printf("No se encontraron los catálogos .DBF en %s\n", qPrintable(catalogues));
        return 1;
    }
    DriveSettings settings = DriveSettings::fromSystem();
    settings.unidadC = driveC.path();
    const Drives drives(data.path(), settings);

    const QByteArray annexes = annexFile();
    const QByteArray annexesUtf8 = QString::fromLatin1(annexes).toUtf8();
    std::printf("Importación, %d renglones por archivo\n", kLines);

    QElapsedTimer t;
    t.start();
    const QStringList lines = importLines(annexesUtf8);
    const double utf8Ms = t.nsecsElapsed() / 1e6;
    t.restart();
    importLines(annexes);
    const double cp1252Ms = t.nsecsElapsed() / 1e6;
    std::printf("(a) lectura en renglones: UTF-8 %.1f ms, Windows-1252 %.1f ms (%lld renglones)\n", utf8Ms, cp1252Ms,
                static_cast<long long>(lines.size()));

    QString error;
    {
        Database db;
        if (!db.open(data.path(), &error)) {
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
        put(QDir(driveC.path()).filePath(QStringLiteral("anexo.csv")), annexes);
        t.restart();
        const ImportResult r = importAnnexes(db, drives);
        const double s = t.nsecsElapsed() / 1e9;
        std::printf("(b) anexos, una transacción: %.2f s (%d cargados, %d rechazados, %.0f renglones/s)\n", s, r.loaded,
                    r.refused, r.read / s);

        db.execute(QStringLiteral("delete from imanexos"));
        AnnexLineImport each(db);
        each.start(&error);
        t.restart();
        int loaded = 0;
        for (int i = 0; i < lines.size(); ++i) {
            Refusal refusal;
            if (each.line(i + 1, lines.at(i), &refusal) == LineImport::Outcome::Loaded) ++loaded;
        }
        const double s2 = t.nsecsElapsed() / 1e9;
        std::printf("    anexos, sentencia por sentencia sin transacción: %.2f s (%d cargados)\n", s2, loaded);
    }
    {
        Database db;
        if (!db.open(data.path(), &error)) {  // packs the deleted annex rows
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
        db.execute(QStringLiteral("delete from imanexos"));
        put(QDir(driveC.path()).filePath(QStringLiteral("prod.csv")), productFile());
        t.restart();
        const ImportResult r = importProducts(db, drives);
        const double s = t.nsecsElapsed() / 1e9;
        std::printf("(c) productos, una transacción: %.2f s (%d cargados, %d rechazados, %.0f renglones/s)\n", s,
                    r.loaded, r.refused, r.read / s);
    }
    return 0;
}

#pragma once
// A data folder for a benchmark: the delivered catalogues copied into a temporary folder, so
// that Database::open creates empty request tables beside them.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

namespace kalto::bench {

// Where the catalogue .DBF files are: the first argument, or the benchmark's own folder.
inline QString catalogueFolder(int argc, char** argv) {
    return argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath();
}

inline void copyCatalogues(const QString& catalogues, const QString& folder) {
    for (const char* f : {"activida", "csector", "imcserv", "imsector", "imunidmd", "prodabas"}) {
        const QString file = QLatin1String(f) + QStringLiteral(".DBF");
        QFile::copy(QDir(catalogues).filePath(file), QDir(folder).filePath(file));
    }
}

}  // namespace kalto::bench

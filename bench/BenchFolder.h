#pragma once
// What the benchmarks share: a data folder (the delivered catalogues copied into a temporary
// folder, so that Database::open creates empty request tables beside them), the database opened
// on it, a case run in a child process of its own, and the process's peak memory.

#include "data/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Opens `db` on `folder`; false, with the reason on standard error, when it cannot.
inline bool openData(Database& db, const QString& folder) {
    QString error;
    if (db.open(folder, &error)) return true;
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
}

// The peak resident size of this process, in KiB (a child's starts from its parent's at the fork).
inline long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Runs `body` (returning an exit status) in a child process and waits for it: its memory is its
// own and what it prints comes in order. True when it ran and returned 0.
template <typename Body>
bool inChild(Body body) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        const int status = body();
        std::fflush(stdout);
        std::_Exit(status);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kalto::bench

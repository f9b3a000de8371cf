// Figures of "Cambios desde el último disco" on a large request: 100,000 annex rows kept as
// written to a disk, then 1,000 changed, 500 removed and 500 added; the time to keep the copy,
// the time of the comparison and the memory it takes (peak resident size before and after).
// Usage: bench_changes <folder holding the catalogue .DBF files>

#include "BenchFolder.h"
#include "app/RequestChanges.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace kalto;

namespace {

constexpr int kRows = 100000;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    bench::copyCatalogues(bench::catalogueFolder(argc, argv), folder.path());
    {
        // The annex table written directly: export products of 99 inputs each. Identifiers stop at
        // 32,767, so that past 30,000 rows they repeat (with other descriptions).
        QString error;
        const QString path = QDir(folder.path()).filePath(QStringLiteral("imanexos.DBF"));
        if (!DbfTable::create(path, findTableDef(QStringLiteral("imanexos"))->fields, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        auto table = DbfTable::open(path, &error);
        for (int row = 0; table && row < kRows; ++row) {
            const int id = row % 30000 + 1;
            const int product = (id - 1) / 100 * 100 + 1;
            table->append({id, 1, QStringLiteral("MATERIA PRIMA %1").arg(row), QStringLiteral("3901100%1").arg(row % 10),
                           id == product ? 0 : product},
                          nullptr, &error);
        }
    }
    Database db;
    if (!bench::openData(db, folder.path())) return 1;
    QString error;
    QElapsedTimer t;
    t.start();
    if (!RequestChanges::keepDiskCopy(db, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double keep = t.nsecsElapsed() / 1e9;

    bool ok = db.execute(QStringLiteral("update imanexos set descrip = 'CAMBIADA' where rowid % 100 = 7"), {}, &error) &&
              db.execute(QStringLiteral("delete from imanexos where rowid % 200 = 9"), {}, &error);
    for (int i = 0; ok && i < 500; ++i)
        ok = db.execute(QStringLiteral("insert into imanexos values (?, 2, 'CAJA', null, 0)"), {30001 + i}, &error);
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    const long before = bench::peakKiB();
    t.restart();
    QList<RequestChange> changes;
    if (!RequestChanges::compare(db, RequestChanges::lastDiskCopy(folder.path()), &changes, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double compare = t.nsecsElapsed() / 1e9;
    std::printf("copy kept of %d annex rows:        %.3f s\n", kRows, keep);
    std::printf("comparison (%lld changes found):   %.3f s\n", static_cast<long long>(changes.size()), compare);
    std::printf("peak resident size: %ld KiB before the comparison, %ld KiB after (+%ld KiB)\n", before, bench::peakKiB(),
                bench::peakKiB() - before);
    return 0;
}

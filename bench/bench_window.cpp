// Figures of the main window on a data folder with 30,000 annex rows (1,000 export products of
// 29 inputs each): time from start (opening the folder) to the window shown, and from a row
// left (the Down key in a grid) to its record in the file.
// Usage: QT_QPA_PLATFORM=offscreen bench_window <folder holding the catalogue .DBF files>

#include "BenchFolder.h"
#include "support/RecordingMessages.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/BoundGridModel.h"
#include "app/ui/frmKALTO.h"
#include "data/Database.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace kalto;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bench::copyCatalogues(bench::catalogueFolder(argc, argv), dir.path());
    {
        Database db;
        if (!bench::openData(db, dir.path())) return 1;
        int id = 1;
        for (int p = 0; p < 1000; ++p) {
            const int product = id++;
            db.execute(QStringLiteral("insert into imanexos values (?,1,'null ','3901100%1',0)").arg(p % 10), {product});
            for (int i = 0; i < 29; ++i)
                db.execute(QStringLiteral("insert into imanexos values (?,1,'MATERIA PRIMA','39011001',?)"), {id++, product});
        }
    }

    RecordingMessages messages;
    QElapsedTimer t;
    t.start();
    Database db;
    if (!bench::openData(db, dir.path())) return 1;
    QString error;
    const double opened = t.nsecsElapsed() / 1e6;
    frmKALTO window(db, messages);
    const double built = t.nsecsElapsed() / 1e6;
    if (!window.load(&error)) return 1;
    const double loaded = t.nsecsElapsed() / 1e6;
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return 1;
    const double shown = t.nsecsElapsed() / 1e6;
    std::printf("start to window shown, 30000 annex rows: %.1f ms (folder opened %.1f, window built %.1f, "
                "tables bound %.1f)\n", shown, opened, built - opened, loaded - built);

    auto* grid = window.findChild<BoundGrid*>(QStringLiteral("dbRepLegal"));
    if (!grid) return 1;
    grid->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    grid->setCurrentCell(grid->gridModel()->addNewRow(), 0);
    for (const QChar c : QStringLiteral("JUAN")) QTest::keyClicks(QApplication::focusWidget(), QString(c));
    QApplication::processEvents();
    t.restart();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    const double stored = t.nsecsElapsed() / 1e6;
    auto check = DbfTable::open(db.tablePath(QStringLiteral("imrlegal")), &error);
    const bool inFile = check && check->recordCount() == 1 && check->value(0, 0).toString() == QStringLiteral("JUAN");
    std::printf("row left to its record in the file: %.2f ms (%s)\n", stored, inFile ? "record found" : "NOT FOUND");
    return inFile ? 0 : 1;
}

// Figures of the annexes page of the main window on a data folder with 1,000 export products
// of 29 inputs each (30,000 annex rows): the time from a click on another export product to
// its inputs shown in the inputs grid, and from a new input row left (the Down key) to its
// record in the file.
// Usage: QT_QPA_PLATFORM=offscreen bench_annex_window <folder holding the catalogue .DBF files>

#include "BenchFolder.h"
#include "support/RecordingMessages.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/BoundGridModel.h"
#include "app/ui/frmKALTO.h"
#include "core/RequestState.h"
#include "data/Database.h"
#include "data/Dbf.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kalto;

namespace {

constexpr int kProducts = 1000;
constexpr int kInputs = 29;

struct Figures {
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        double sum = 0;
        for (double v : ms) sum += v;
        std::printf("%s: mean %.2f ms, median %.2f ms, max %.2f ms (%zu runs)\n", what, sum / ms.size(),
                    ms[ms.size() / 2], ms.back(), ms.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    bench::copyCatalogues(bench::catalogueFolder(argc, argv), dir.path());
    {
        Database db;
        if (!bench::openData(db, dir.path())) return 1;
        // Each product followed by its inputs, as they are typed.
        int id = 1;
        for (int p = 0; p < kProducts; ++p) {
            const int product = id++;
            db.execute(QStringLiteral("insert into imanexos values (?,1,'null ',?,0)"),
                       {product, QString::number(84000000 + p)});
            for (int i = 0; i < kInputs; ++i)
                db.execute(QStringLiteral("insert into imanexos values (?,1,null,?,?)"),
                           {id++, QString::number(61000000 + i), product});
        }
    }

    RecordingMessages messages;
    Database db;
    if (!bench::openData(db, dir.path())) return 1;
    QString error;
    frmKALTO window(db, messages);
    if (!window.load(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return 1;
    window.findChild<QTabWidget*>(QStringLiteral("SSTabKALTO"))->setCurrentIndex(kPagMateriasPrimas);
    QApplication::processEvents();
    auto* mpe = window.findChild<BoundGrid*>(QStringLiteral("dbAnxMPE"));
    BoundGrid* inputs = window.dbAnx(0);
    if (!mpe || !inputs || mpe->rowCount() != kProducts) {
        std::fprintf(stderr, "the export products are not shown\n");
        return 1;
    }

    // A click on another export product (spread over the table, so no cache helps) until
    // the inputs grid shows that product's 29 inputs.
    auto click = [&](int row) {
        mpe->scrollTo(mpe->model()->index(row, 0));
        QApplication::processEvents();
        const QPoint at = mpe->visualRect(mpe->model()->index(row, 0)).center();
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(mpe->viewport(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
        const double ms = t.nsecsElapsed() / 1e6;
        const int product = mpe->cellValue(row, 0).toInt();
        const bool ok = inputs->rowCount() == kInputs && inputs->cellValue(0, 3).toInt() == product;
        return ok ? ms : -1.0;
    };
    Figures clicks;
    for (int k = 0; k < 40; ++k) {
        const int row = (k * 379 + 17) % kProducts;
        const double ms = click(row);
        if (ms < 0) {
            std::fprintf(stderr, "the inputs of row %d were not shown\n", row);
            return 1;
        }
        clicks.add(ms);
    }
    clicks.print("click on another export product to its 29 inputs shown (30000 annex rows)");

    // New inputs typed under the selected product; the row left with Down until its record
    // is in the file.
    Figures stores;
    const QString path = db.tablePath(QStringLiteral("imanexos"));
    for (int k = 0; k < 20; ++k) {
        if (click((k * 211 + 5) % kProducts) < 0) return 1;
        inputs->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        inputs->setCurrentCell(inputs->gridModel()->addNewRow(), 2);
        const QString item = QString::number(62000000 + k);
        for (const QChar c : item) QTest::keyClicks(QApplication::focusWidget(), QString(c));
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        const double ms = t.nsecsElapsed() / 1e6;
        auto check = DbfTable::open(path, &error);
        const int last = check ? check->recordCount() - 1 : -1;
        if (last < 0 || check->value(last, 3).toString() != item) {
            std::fprintf(stderr, "input %s not in the file: %s\n", qPrintable(item),
                         qPrintable(messages.texts().join(QStringLiteral(" / "))));
            return 1;
        }
        stores.add(ms);
        mpe->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
    }
    stores.print("new input row left to its record in the file (30000 annex rows)");
    return 0;
}

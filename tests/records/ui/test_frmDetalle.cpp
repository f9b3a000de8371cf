// The related-company address window on its own, for a company whose RFC holds a quote: its
// grids wired to their rules and sources, and closing. The way there from the main window is
// tested with the main window.

#include "data/Database.h"
#include "records/ui/frmDetalle.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/BoundGridModel.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kalto;

TEST(AddressWindow, GridsOfTheCompanyAndClosingStoresTheRowInEdit) {
    test::TestFolder folder;
    Database db;
    RecordingMessages messages;
    ASSERT_TRUE(folder.open(db));
    const QString rfc = QStringLiteral(" O'H010101AB1");
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (IDDIR, CALLEYNO, RFC) values ('FC', 'UNO', ?), "
                                          "('FC', 'OTRA', ' OTR010101AB1')"), {rfc}));
    EXPECT_FALSE(frmDetalle::open(nullptr, db, messages, CompanyKind::Controlled, QString(), rfc));  // no company
    QString seen;  // the title and the fiscal rows shown
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<frmDetalle*>(QApplication::activeModalWidget());
        if (!w || !QTest::qWaitForWindowActive(w)) return;
        seen = w->windowTitle() + QStringLiteral(" (%1)").arg(w->dbFiscalEC()->rowCount());
        // A second fiscal address is refused when left (its rule knows the stored one).
        for (BoundGrid* g : {w->dbFiscalEC(), w->dbPlantaDC()}) {
            g->setFocus(Qt::MouseFocusReason);
            g->setCurrentCell(g->gridModel()->addNewRow(), 0);
            for (const QChar c : QStringLiteral("calle dos")) QTest::keyClicks(QApplication::focusWidget(), QString(c));
            QTest::keyClick(QApplication::focusWidget(), g == w->dbFiscalEC() ? Qt::Key_Down : Qt::Key_Tab);
        }
        w->dbFiscalEC()->discard();
        if (!w->close()) w->reject();  // closing stores the plant row in edit
    });
    EXPECT_TRUE(frmDetalle::open(nullptr, db, messages, CompanyKind::Controlled, QStringLiteral("O'HARA"), rfc));
    EXPECT_EQ(seen, QStringLiteral("Empresa Controlada : O'HARA - RFC :  O'H010101AB1 (1)"));
    EXPECT_EQ(messages.texts(), (QStringList{QStringLiteral("Debes seleccionar una empresa para verificar su información "
                                                            "de domicilio fiscal y de plantas."),
                                             QStringLiteral("Solo puedes ingresar un domicilio fiscal de la empresa. "
                                                            "Rectifica por favor")}));
    EXPECT_EQ(db.scalar(QStringLiteral("select group_concat(IDDIR || ' ' || CALLEYNO || ' ' || RFC, '|') from imdir "
                                       "where rfc = ?"), {rfc}).toString().toStdString(),
              "FC UNO  O'H010101AB1|PC CALLE DOS  O'H010101AB1");
}

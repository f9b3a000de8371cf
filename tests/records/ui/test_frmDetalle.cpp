// The related-company address window on its own, for a company whose RFC holds a quote: the
// rules its grids keep while typing and on closing. The way there from the main window, and
// which rows each company sees, are tested with the main window.

#include "support/RecordingMessages.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/BoundGridModel.h"
#include "data/Database.h"
#include "records/ui/frmDetalle.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace kalto;
using namespace Qt::StringLiterals;

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kRfc = u" O'H010101AB1"_s;
const QString kOneFiscal = u"Solo puedes ingresar un domicilio fiscal de la empresa. Rectifica por favor"_s;

class AddressWindow : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    }
    // Keys go where a user's keys go: to the widget with the focus (the cell editor once open).
    void type(const QString& text) {
        for (const QChar c : text) QTest::keyClicks(QApplication::focusWidget(), QString(c));
    }
    void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); }
    void startNewRow(BoundGrid* g) {
        g->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(g->setCurrentCell(g->gridModel()->addNewRow(), 0));
    }
    // Opens the window of O'HARA modally; `drive` works in it once it is up. A window left
    // open has its rows in edit dropped and is closed, so that a failure cannot hang the test.
    bool run(const std::function<void(frmDetalle*)>& drive) {
        QTimer::singleShot(0, [&] {
            auto* w = qobject_cast<frmDetalle*>(QApplication::activeModalWidget());
            ASSERT_NE(w, nullptr);
            EXPECT_TRUE(QTest::qWaitForWindowActive(w));
            drive(w);
            if (w->isVisible()) {
                ADD_FAILURE() << "the address window was left open";
                w->dbFiscalEC()->discard();
                w->dbPlantaDC()->discard();
                w->reject();
            }
        });
        return frmDetalle::open(nullptr, db, messages, CompanyKind::Controlled, u"O'HARA"_s, kRfc);
    }
    QString rows() {
        return db.scalar(u"select group_concat(IDDIR || ' ' || CALLEYNO || ' ' || ifnull(CP, ''), '|') from "
                         u"(select * from imdir where rfc = ? order by IDDIR)"_s,
                         {kRfc})
            .toString();
    }

    test::TestFolder folder;
    Database db;
    RecordingMessages messages;
};

}  // namespace

TEST_F(AddressWindow, OneFiscalAddressAndANumericPostalCodeForARfcWithAQuote) {
    ASSERT_TRUE(db.execute(u"insert into imdir (IDDIR, CALLEYNO, RFC) values ('FC', 'CALLE UNO', ?)"_s, {kRfc}));
    // A second fiscal address is refused when left and again on closing, which keeps the
    // window open; a postal code with a letter is announced and emptied.
    QString title;
    EXPECT_TRUE(run([&](frmDetalle* w) {
        title = w->windowTitle();
        BoundGrid* fiscal = w->dbFiscalEC();
        EXPECT_EQ(fiscal->rowCount(), 1);
        startNewRow(fiscal);
        type(u"calle dos"_s);
        key(Qt::Key_Down);
        w->close();
        EXPECT_TRUE(w->isVisible() && fiscal->isEditing());
        key(Qt::Key_Escape);
        EXPECT_FALSE(fiscal->isEditing());

        startNewRow(w->dbPlantaDC());
        type(u"planta norte"_s);
        key(Qt::Key_Tab);
        type(u"4410A"_s);
        key(Qt::Key_Tab);
        EXPECT_TRUE(w->dbPlantaDC()->currentValue(1).toString().isEmpty());
        key(Qt::Key_Backtab);
        type(u"45000"_s);
        w->close();  // stores the row in edit
    }));
    EXPECT_EQ(title, u"Empresa Controlada : O'HARA - RFC :  O'H010101AB1"_s);
    EXPECT_EQ(messages.texts(), (QStringList{kOneFiscal, kOneFiscal,
                                             u"El código postal debe ser númerico. Rectifica por favor"_s}));
    EXPECT_EQ(rows(), u"FC CALLE UNO |PC PLANTA NORTE 45000"_s);
}

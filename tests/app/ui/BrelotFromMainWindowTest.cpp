// The "B R E L O T" button of the real main window: a row the table refuses keeps the sectoral
// window closed; otherwise the rows being typed are stored first and the window opens with the
// applicant the main window shows, which its export writes to a temporary drive A:. What the
// sectoral window does by itself is its own tests' business.

#include "WindowFixture.h"

#include "core/RequestState.h"
#include "sectoral/ui/frmSolBrelot.h"
#include "toolkit/PickList.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace kalto::test {

namespace {

class BrelotFromMainWindow : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(disk.isValid());
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
        WindowTest::SetUp();
    }
    void TearDown() override {
        // A failed check inside the sectoral window must not leave it open over the next test.
        if (auto* w = qobject_cast<frmSolBrelot*>(QApplication::activeModalWidget())) w->reject();
        WindowTest::TearDown();
        qunsetenv("KALTO_UNIDAD_A");
    }
    // Presses "B R E L O T" and runs `act` on the sectoral window once it is up, then closes it.
    // False when the window did not open.
    bool inBrelot(const std::function<void(frmSolBrelot*)>& act) {
        bool opened = false;
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
            auto* w = qobject_cast<frmSolBrelot*>(QApplication::activeModalWidget());
            if (!w || !w->isVisible() || !w->isActiveWindow()) return;  // typing needs it active
            poll->stop();
            poll->deleteLater();
            opened = true;
            act(w);
            if (w->isVisible()) w->close();
        });
        poll->start(20);
        click(QStringLiteral("cmdBrelot"));
        if (!opened) delete poll;
        return opened;
    }
    QTemporaryDir disk;
};

}  // namespace

TEST_F(BrelotFromMainWindow, OpensWithWhatTheMainWindowShowsOnceItsRowsAreStored) {
    find<QComboBox>(QStringLiteral("cmbTramite"))->setCurrentIndex(kProgramaNuevo);
    find<QComboBox>(QStringLiteral("cmbModalidad"))->setCurrentIndex(kIndustrial);
    fill(QStringLiteral("txtRFC"), QStringLiteral(" abc000229xy1"));
    fill(QStringLiteral("txtRSocial"), QStringLiteral("llantas quimera"));

    // A fiscal-address row the table refuses stays in edit and the window does not open.
    BoundGrid* fiscal = grid(QStringLiteral("dbDomFiscal"));
    typeRow(fiscal, {QStringLiteral("calle \u03A9")});
    EXPECT_FALSE(inBrelot([](frmSolBrelot*) {}));
    EXPECT_TRUE(fiscal->isEditing());
    fiscal->discard();

    typeRow(fiscal, {QStringLiteral("reforma 1"), QStringLiteral("06700")});
    tab()->setCurrentIndex(kPagPlantas);
    addRow(grid(QStringLiteral("dbPlanta")), {QStringLiteral("norte 2"), QStringLiteral("06700")});
    tab()->setCurrentIndex(kPagProductos);
    BoundGrid* productos = grid(QStringLiteral("dbProducto"));
    typeRow(productos, {QStringLiteral("90189099")});
    messages.clear();
    QStringList fracciones;
    const bool opened = inBrelot([&](frmSolBrelot* w) {
        for (int i = 0; i < w->lstFraccion()->count(); ++i) fracciones << w->lstFraccion()->item(i)->text();
        messages.answers = {true};
        QTest::mouseClick(w->cmdAccion(0), Qt::LeftButton);
    });
    ASSERT_TRUE(opened);
    EXPECT_FALSE(productos->isEditing());
    EXPECT_EQ(fracciones, QStringList{QStringLiteral("90189099")});
    EXPECT_EQ(messages.last(), QStringLiteral("Puede retirar el disco de la unidad A:"));
    EXPECT_TRUE(QFile::exists(QDir(disk.path()).filePath(QStringLiteral("datoprov.dbf"))));
}

}  // namespace kalto::test

// "&Verifica Domicilio" from the real main window: a related company typed into its grid, its
// address window opened with the page's button, and on which company. What the address window does by itself is its own tests' business.

#include "WindowFixture.h"

#include "core/RequestState.h"
#include "records/ui/frmDetalle.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include <functional>

using namespace kalto;
using namespace Qt::StringLiterals;

namespace {

const QString kSeleccion =
    u"Debes seleccionar una empresa para verificar su información de domicilio fiscal y de plantas."_s;

class VerificaDomicilio : public kalto::test::WindowTest {
protected:
    void eligeTramiteYModalidad(int tramite, int modalidad) {
        find<QComboBox>(u"cmbTramite"_s)->setCurrentIndex(tramite);
        find<QComboBox>(u"cmbModalidad"_s)->setCurrentIndex(modalidad);
        messages.clear();  // the quiet save may ask for the two controlled companies
    }
    // Goes to a page with a click on its tab.
    void vePagina(int page) {
        QTabBar* barra = tab()->tabBar();
        QTest::mouseClick(barra, Qt::LeftButton, {}, barra->tabRect(page).center());
        ASSERT_EQ(tab()->currentIndex(), page);
    }
    // Runs `press` (a click or a key that may open the address window modally); once the window
    // is up, `drive` works in it. A window left open has its rows in edit dropped and is closed,
    // so that a failure cannot hang the test. Returns whether the window was shown.
    bool conVentana(const std::function<void()>& press, const std::function<void(frmDetalle*)>& drive) {
        bool abierta = false;
        QTimer espera;
        espera.setInterval(5);
        QObject::connect(&espera, &QTimer::timeout, [&] {
            auto* w = qobject_cast<frmDetalle*>(QApplication::activeModalWidget());
            if (!w) return;
            espera.stop();
            abierta = true;
            EXPECT_TRUE(QTest::qWaitForWindowActive(w));
            drive(w);
            if (w->isVisible()) {
                ADD_FAILURE() << "the address window was left open";
                w->dbFiscalEC()->discard();
                w->dbPlantaDC()->discard();
                w->reject();
            }
        });
        espera.start();
        press();
        espera.stop();
        // The offscreen platform does not give the main window back its activation.
        if (!QApplication::activeWindow()) {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        QApplication::processEvents();
        return abierta;
    }
    bool pulsa(const QString& boton, const std::function<void(frmDetalle*)>& drive) {
        return conVentana([&] { click(boton); }, drive);
    }
};

}  // namespace

TEST_F(VerificaDomicilio, EachCompanyPageOpensTheAddressWindowOfItsCompany) {
    // No company selected: the message, no window.
    eligeTramiteYModalidad(kProgramaNuevo, kControladora);
    vePagina(kPagControladas);
    ASSERT_TRUE(grid(u"dbControl"_s)->setCurrentCell(grid(u"dbControl"_s)->addNewRow(), 0));
    EXPECT_FALSE(pulsa(u"cmdVDomicilioC"_s, [](frmDetalle* w) { w->close(); }));
    EXPECT_EQ(messages.texts(), QStringList{kSeleccion});

    // The same company typed in each page and, without leaving its row, the page's button: the
    // row is stored first and the window opens on that company and kind.
    const struct {
        int modalidad, pagina;
        QString grid, boton, titulo;
    } casos[] = {{kControladora, kPagControladas, u"dbControl"_s, u"cmdVDomicilioC"_s, u"Empresa Controlada"_s},
                 {kTerciarizacion, kPagTerciarizacion, u"dbTerciarizacion"_s, u"cmdVDomicilioT"_s,
                  u"Empresa de Terciarización"_s},
                 {kTerciarizacion, kPagSubmanufactura, u"dbSubmanufactura"_s, u"cmdVDomicilioS"_s,
                  u"Empresa de Submanufactura"_s}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.grid.toStdString());
        eligeTramiteYModalidad(kProgramaNuevo, c.modalidad);
        vePagina(c.pagina);
        typeRow(grid(c.grid), {u"maquila norte"_s, u"mno030303ab3"_s});
        QString titulo;
        ASSERT_TRUE(pulsa(c.boton, [&](frmDetalle* w) {
            titulo = w->windowTitle();
            w->close();
        }));
        EXPECT_EQ(titulo, c.titulo + u" : MAQUILA NORTE - RFC :  MNO030303AB3"_s);
        EXPECT_FALSE(grid(c.grid)->isEditing());
        EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    }
}

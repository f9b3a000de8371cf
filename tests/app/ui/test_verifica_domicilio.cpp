// "&Verifica Domicilio" from the real main window: a related company typed into its grid, its
// address window opened with the page's button, addresses typed into that window's grids, and
// where they end up (imdir, the applicant's grids, other companies).

#include "WindowFixture.h"

#include "app/MainDataSources.h"
#include "core/RequestState.h"
#include "data/DataSource.h"
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
    // Chooses a procedure and a modality with the keyboard on the real lists.
    void eligeTramiteYModalidad(int tramite, int modalidad) {
        for (auto [nombre, indice] : {std::pair{u"cmbTramite"_s, tramite}, std::pair{u"cmbModalidad"_s, modalidad}}) {
            focus(find(nombre));
            key(Qt::Key_Home);
            for (int i = 0; i < indice; ++i) key(Qt::Key_Down);
            ASSERT_EQ(find<QComboBox>(nombre)->currentIndex(), indice) << nombre.toStdString();
        }
        messages.clear();  // the quiet save may ask for the two controlled companies
    }
    // Goes to a page with a click on its tab.
    void vePagina(int page) {
        QTabBar* barra = tab()->tabBar();
        QTest::mouseClick(barra, Qt::LeftButton, {}, barra->tabRect(page).center());
        ASSERT_EQ(tab()->currentIndex(), page);
    }
    // Clicks the first cell of `row`, as the user selects a company.
    void clicEnRenglon(BoundGrid* g, int row) {
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 0)).center());
        ASSERT_EQ(g->currentRow(), row);
    }
    // Runs `press` (a click or a key that may open the address window modally); once the window
    // is up, `drive` works in it. A window left open has its rows in edit dropped and is closed,
    // so that a failure cannot hang the test. Returns whether the window was shown.
    // `diferido`: the press takes effect later (a button's shortcut is an animated click).
    bool conVentana(const std::function<void()>& press, const std::function<void(frmDetalle*)>& drive,
                    bool diferido = false) {
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
        if (diferido) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return abierta; }, 2000));
        }
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
    // In an address window showing nothing yet: a fiscal address left with Down, a plant left
    // in edit (closing the window stores it).
    void tecleaDirecciones(frmDetalle* w, const QStringList& fiscal, const QStringList& planta) {
        ASSERT_EQ(w->dbFiscalEC()->rowCount() + w->dbPlantaDC()->rowCount(), 0);
        addRow(w->dbFiscalEC(), fiscal);
        EXPECT_FALSE(w->dbFiscalEC()->isEditing()) << messages.last().toStdString();
        typeRow(w->dbPlantaDC(), planta);
        w->close();
        EXPECT_FALSE(w->isVisible()) << messages.last().toStdString();
    }
    // "IDDIR|CALLEYNO|CP|RFC" of every row of imdir.
    QStringList direcciones() {
        QStringList out;
        EXPECT_TRUE(db.query(u"select IDDIR || '|' || CALLEYNO || '|' || ifnull(CP, '') || '|' || ifnull(RFC, '') "
                             u"from imdir order by IDDIR, CALLEYNO"_s,
                             {}, [&](const QVariantList& r) { out << r[0].toString(); return true; }));
        return out;
    }
};

}  // namespace

TEST_F(VerificaDomicilio, ControlledCompanyAddressesFromTheMainWindow) {
    eligeTramiteYModalidad(kProgramaNuevo, kControladora);
    vePagina(kPagPlantas);  // the applicant's own plant, to tell it from the companies' plants
    addRow(grid(u"dbPlanta"_s), {u"planta propia 1"_s, u"64000"_s});
    vePagina(kPagControladas);
    BoundGrid* dbControl = grid(u"dbControl"_s);
    EXPECT_EQ(find<QPushButton>(u"cmdVDomicilioC"_s)->text(), u"&Verifica Domicilio"_s);
    // No company selected (the add-new row under a company): the message, no window.
    addRow(dbControl, {u"alfa industrial"_s, u"abc010101xy1"_s});  // lower case, the RFC without its blank
    ASSERT_TRUE(dbControl->setCurrentCell(dbControl->addNewRow(), 0));
    EXPECT_FALSE(pulsa(u"cmdVDomicilioC"_s, [](frmDetalle* w) { w->close(); }));
    ASSERT_EQ(messages.texts(), QStringList{kSeleccion});
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Exclamation);
    messages.clear();

    const QString rfcA = u" ABC010101XY1"_s;
    clicEnRenglon(dbControl, 0);
    QString titulo;
    ASSERT_TRUE(pulsa(u"cmdVDomicilioC"_s, [&](frmDetalle* w) {
        titulo = w->windowTitle();
        tecleaDirecciones(w, {u"av. vallarta 3000"_s, u"44100"_s}, {u"carretera norte km 5"_s, u"45000"_s});
    }));
    EXPECT_EQ(titulo, u"Empresa Controlada : ALFA INDUSTRIAL - RFC : "_s + rfcA);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    EXPECT_EQ(direcciones(), (QStringList{u"FC|AV. VALLARTA 3000|44100|"_s + rfcA,
                                          u"PC|CARRETERA NORTE KM 5|45000|"_s + rfcA, u"PL|PLANTA PROPIA 1|64000|"_s}));

    // A second company typed and, without leaving its row, Alt+V: the row is stored, none of
    // ALFA's addresses are shown.
    typeRow(dbControl, {u"beta comercial"_s, u"bcd020202ab2"_s});
    QStringList vistas;
    auto mira = [&](frmDetalle* w) {  // notes what is shown; a company without addresses gets a fiscal one
        titulo = w->windowTitle();
        vistas = streets(w->dbFiscalEC()) + streets(w->dbPlantaDC());
        if (vistas.isEmpty()) addRow(w->dbFiscalEC(), {u"calle beta 7"_s});
        w->close();
    };
    ASSERT_TRUE(conVentana([&] { key(Qt::Key_V, Qt::AltModifier); }, mira, true));
    EXPECT_EQ(titulo, u"Empresa Controlada : BETA COMERCIAL - RFC :  BCD020202AB2"_s);
    EXPECT_EQ(vistas, QStringList());
    EXPECT_EQ(count(u"select count(*) from impects where idmcts = 'C'"_s), 2);
    EXPECT_EQ(count(u"select count(*) from imdir where iddir = 'FC' and rfc = ' BCD020202AB2'"_s), 1);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
}

TEST_F(VerificaDomicilio, OutsourcingAndSubmanufacturingCompanyAddresses) {
    // The same company both outsources and submanufactures: one RFC, two kinds. The second
    // window opens empty: the other kind's rows of the same RFC are not shown.
    eligeTramiteYModalidad(kProgramaNuevo, kTerciarizacion);
    const struct {
        int pagina;
        QString grid, boton, titulo, fiscal, planta;
    } casos[] = {
        {kPagTerciarizacion, u"dbTerciarizacion"_s, u"cmdVDomicilioT"_s, u"Terciarización"_s, u"FT"_s, u"PT"_s},
        {kPagSubmanufactura, u"dbSubmanufactura"_s, u"cmdVDomicilioS"_s, u"Submanufactura"_s, u"FS"_s, u"PS"_s}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.grid.toStdString());
        vePagina(c.pagina);
        addRow(grid(c.grid), {u"maquila norte"_s, u"mno030303ab3"_s});
        ASSERT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
        clicEnRenglon(grid(c.grid), 0);
        QString titulo;
        ASSERT_TRUE(pulsa(c.boton, [&](frmDetalle* w) {
            titulo = w->windowTitle();
            tecleaDirecciones(w, {u"fiscal "_s + c.fiscal}, {u"planta "_s + c.planta});
        }));
        EXPECT_EQ(titulo, u"Empresa de "_s + c.titulo + u" : MAQUILA NORTE - RFC :  MNO030303AB3"_s);
    }
    EXPECT_EQ(direcciones(), (QStringList{u"FS|FISCAL FS|| MNO030303AB3"_s, u"FT|FISCAL FT|| MNO030303AB3"_s,
                                          u"PS|PLANTA PS|| MNO030303AB3"_s, u"PT|PLANTA PT|| MNO030303AB3"_s}));
    EXPECT_EQ(count(u"select count(*) from impects where rsocial = 'MAQUILA NORTE' and idmcts in ('T', 'M')"_s), 2);
    ASSERT_TRUE(window->fuentes().dtsPlanta()->refresh());
    EXPECT_EQ(grid(u"dbPlanta"_s)->rowCount(), 0);
}

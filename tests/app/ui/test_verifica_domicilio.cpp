// "&Verifica Domicilio" from the real main window: a related company typed into its grid on
// the main window, its address window opened with the page's button, addresses typed into
// that window's grids, and where they end up (imdir, the applicant's grids, other companies).

#include "WindowFixture.h"

#include "app/rules/MainDataSources.h"
#include "app/rules/SolicitudState.h"
#include "data/DataSource.h"
#include "records/ui/frmDetalle.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <functional>

using namespace kalto;

namespace {

const QString kSeleccion =
    QStringLiteral("Debes seleccionar una empresa para verificar su información de domicilio fiscal y de plantas.");

const QString kDosControladas = QStringLiteral(
    "La modalidad KALTO seleccionada es Controladora de empresas. Deben registrarse por lo menos 2 empresas "
    "controladas. Rectifica por favor.");

struct Direccion {
    QString iddir, calle, cp, ciudad, rfc;
};

class VerificaDomicilio : public kalto::test::WindowTest {
protected:
    QTabWidget* tab() const { return find<QTabWidget>(QStringLiteral("SSTabKALTO")); }

    // Chooses a procedure and a modality as the user does: the keyboard on the real lists.
    void eligeTramiteYModalidad(int tramite, int modalidad) {
        for (auto [nombre, indice] : {std::pair{QStringLiteral("cmbTramite"), tramite},
                                      std::pair{QStringLiteral("cmbModalidad"), modalidad}}) {
            auto* combo = find<QComboBox>(nombre);
            ASSERT_NE(combo, nullptr);
            focus(combo);
            key(Qt::Key_Home);
            for (int i = 0; i < indice; ++i) key(Qt::Key_Down);
            ASSERT_EQ(combo->currentIndex(), indice) << nombre.toStdString();
        }
    }

    // Goes to a page with a click on its tab.
    void vePagina(int page) {
        QTabBar* barra = tab()->tabBar();
        ASSERT_TRUE(tab()->isTabEnabled(page)) << "page " << page;
        QTest::mouseClick(barra, Qt::LeftButton, {}, barra->tabRect(page).center());
        ASSERT_EQ(tab()->currentIndex(), page);
    }

    // Types the cells of a new row from column 0, Tab between them; the row is left in edit.
    void tecleaRenglon(BoundGrid* g, const QStringList& cells) {
        startNewRow(g, 0);
        for (int i = 0; i < cells.size(); ++i) {
            if (i > 0) key(Qt::Key_Tab);
            type(cells[i]);
        }
    }

    // Clicks the first cell of `row`, as the user selects a company.
    void clicEnRenglon(BoundGrid* g, int row) {
        const QRect celda = g->visualRect(g->model()->index(row, 0));
        ASSERT_TRUE(celda.isValid());
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, celda.center());
        ASSERT_EQ(g->currentRow(), row);
    }

    // Runs `press` (a click or a key that may open the address window modally). Once the
    // window is up, `drive` works in it; if it leaves the window open, its rows in edit are
    // dropped and it is closed, so that a failure cannot hang the test. Returns whether the
    // window was shown. `diferido`: the press takes effect later (a shortcut).
    bool conVentanaDomicilios(const std::function<void()>& press, const std::function<void(frmDetalle*)>& drive,
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
        // A button's shortcut clicks it a moment later (animateClick).
        if (diferido) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return abierta; }, 2000));
        }
        espera.stop();
        // The window system gives the main window back its activation when a modal window
        // closes; the offscreen platform does not.
        if (!QApplication::activeWindow()) {
            window->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        QApplication::processEvents();
        return abierta;
    }

    // Types a fiscal address into `fiscal` (left with Down) and a plant into `plants` (left
    // in edit: closing the window stores it).
    void tecleaDirecciones(frmDetalle* w, const QStringList& fiscal, const QStringList& planta) {
        BoundGrid* f = w->findChild<BoundGrid*>(QStringLiteral("dbFiscalEC"));
        BoundGrid* p = w->findChild<BoundGrid*>(QStringLiteral("dbPlantaDC"));
        ASSERT_NE(f, nullptr);
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(f->rowCount(), 0);
        ASSERT_EQ(p->rowCount(), 0);
        tecleaRenglon(f, fiscal);
        key(Qt::Key_Down);
        EXPECT_FALSE(f->isEditing()) << messages.last().toStdString();
        EXPECT_EQ(f->rowCount(), 1);
        tecleaRenglon(p, planta);
        EXPECT_TRUE(p->isEditing());
        w->close();
        EXPECT_FALSE(w->isVisible()) << messages.last().toStdString();
    }

    QList<Direccion> direcciones(const QString& where = QString()) {
        QList<Direccion> out;
        EXPECT_TRUE(db.query(QStringLiteral("select IDDIR, CALLEYNO, CP, CIUDAD, RFC from imdir ") + where +
                                 QStringLiteral(" order by IDDIR, CALLEYNO"),
                             {}, [&](const QVariantList& r) {
                                 out.append({r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString(),
                                             r[4].toString()});
                                 return true;
                             }));
        return out;
    }
    static QStringList calles(BoundGrid* g) {
        QStringList out;
        for (int r = 0; r < g->rowCount(); ++r) out << g->cellValue(r, 0).toString();
        return out;
    }
};

}  // namespace

TEST_F(VerificaDomicilio, ControlledCompanyAddressesFromTheMainWindow) {
    eligeTramiteYModalidad(kProgramaNuevo, kControladora);
    EXPECT_EQ(find<QComboBox>(QStringLiteral("cmbTramite"))->currentText(), QStringLiteral("Programa Nuevo"));
    EXPECT_EQ(find<QComboBox>(QStringLiteral("cmbModalidad"))->currentText(), QStringLiteral("Controladora"));
    // The quiet save of the modality asks at once for the two controlled companies.
    EXPECT_EQ(messages.texts(), QStringList{kDosControladas});
    messages.clear();

    // The applicant's own plant, to tell it from the companies' plants later.
    vePagina(kPagPlantas);
    BoundGrid* dbPlanta = grid(QStringLiteral("dbPlanta"));
    tecleaRenglon(dbPlanta, {QStringLiteral("planta propia 1"), QStringLiteral("64000")});
    key(Qt::Key_Down);
    ASSERT_FALSE(dbPlanta->isEditing()) << messages.last().toStdString();

    // A controlled company typed as the user does: lower case, the RFC without its blank.
    vePagina(kPagControladas);
    BoundGrid* dbControl = grid(QStringLiteral("dbControl"));
    auto* boton = find<QPushButton>(QStringLiteral("cmdVDomicilioC"));
    ASSERT_NE(boton, nullptr);
    EXPECT_EQ(boton->text(), QStringLiteral("&Verifica Domicilio"));
    tecleaRenglon(dbControl, {QStringLiteral("alfa industrial"), QStringLiteral("abc010101xy1"),
                              QStringLiteral("1500.5"), QStringLiteral("12"), QStringLiteral("2010"),
                              QStringLiteral("60"), QStringLiteral("40")});
    key(Qt::Key_Down);
    ASSERT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    ASSERT_FALSE(dbControl->isEditing());
    const QString rfcA = QStringLiteral(" ABC010101XY1");  // held with its leading blank
    QVariantList empresa;
    ASSERT_TRUE(db.query(QStringLiteral("select RSOCIAL, RFC, MONTOEXP, NUMPROG, ANOPROG, PORCONT, PORCEXT, IDMCTS "
                                        "from impects"),
                         {}, [&](const QVariantList& r) { empresa = r; return false; }));
    ASSERT_EQ(empresa.size(), 8);
    EXPECT_EQ(empresa[0].toString(), QStringLiteral("ALFA INDUSTRIAL"));
    EXPECT_EQ(empresa[1].toString(), rfcA);
    EXPECT_DOUBLE_EQ(empresa[2].toDouble(), 1500.5);
    EXPECT_EQ(empresa[3].toInt(), 12);
    EXPECT_EQ(empresa[4].toInt(), 2010);
    EXPECT_DOUBLE_EQ(empresa[5].toDouble(), 60.0);
    EXPECT_DOUBLE_EQ(empresa[6].toDouble(), 40.0);
    EXPECT_EQ(empresa[7].toString(), QStringLiteral("C"));

    // The company selected, its window opens on the button; a fiscal address and a plant typed.
    clicEnRenglon(dbControl, 0);
    QString titulo;
    const bool abierta = conVentanaDomicilios([&] { QTest::mouseClick(boton, Qt::LeftButton); },
                                              [&](frmDetalle* w) {
                                                  titulo = w->windowTitle();
                                                  tecleaDirecciones(w,
                                                                    {QStringLiteral("av. vallarta 3000"),
                                                                     QStringLiteral("44100"),
                                                                     QStringLiteral("guadalajara")},
                                                                    {QStringLiteral("carretera norte km 5"),
                                                                     QStringLiteral("45000"),
                                                                     QStringLiteral("zapopan")});
                                              });
    ASSERT_TRUE(abierta);
    EXPECT_EQ(titulo.toStdString(),
              (QStringLiteral("Empresa Controlada : ALFA INDUSTRIAL - RFC : ") + rfcA).toStdString());
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    const QList<Direccion> deAlfa = direcciones(QStringLiteral("where IDDIR in ('FC', 'PC')"));
    ASSERT_EQ(deAlfa.size(), 2);
    EXPECT_EQ(deAlfa[0].iddir, QStringLiteral("FC"));
    EXPECT_EQ(deAlfa[0].calle, QStringLiteral("AV. VALLARTA 3000"));
    EXPECT_EQ(deAlfa[0].cp, QStringLiteral("44100"));
    EXPECT_EQ(deAlfa[0].ciudad, QStringLiteral("GUADALAJARA"));
    EXPECT_EQ(deAlfa[1].iddir, QStringLiteral("PC"));
    EXPECT_EQ(deAlfa[1].calle, QStringLiteral("CARRETERA NORTE KM 5"));
    EXPECT_EQ(deAlfa[1].cp, QStringLiteral("45000"));
    for (const Direccion& d : deAlfa) EXPECT_EQ(d.rfc, rfcA) << d.iddir.toStdString();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imdir")).toInt(), 3);

    // A second company typed and, without leaving its row, Alt+V: the row is stored and its
    // own (empty) addresses are shown; a fiscal address of its own is accepted.
    tecleaRenglon(dbControl, {QStringLiteral("beta comercial"), QStringLiteral("bcd020202ab2")});
    ASSERT_TRUE(dbControl->isEditing());
    const QString rfcB = QStringLiteral(" BCD020202AB2");
    QStringList vistas;
    ASSERT_TRUE(conVentanaDomicilios([&] { key(Qt::Key_V, Qt::AltModifier); },
                                     [&](frmDetalle* w) {
                                         titulo = w->windowTitle();
                                         vistas << calles(w->dbFiscalEC()) << calles(w->dbPlantaDC());
                                         startNewRow(w->dbFiscalEC(), 0);
                                         type(QStringLiteral("calle beta 7"));
                                         key(Qt::Key_Down);
                                         EXPECT_FALSE(w->dbFiscalEC()->isEditing());
                                         w->close();
                                     },
                                     true));
    EXPECT_EQ(titulo.toStdString(),
              (QStringLiteral("Empresa Controlada : BETA COMERCIAL - RFC : ") + rfcB).toStdString());
    EXPECT_TRUE(vistas.isEmpty()) << vistas.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    EXPECT_FALSE(dbControl->isEditing());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from impects where idmcts = 'C'")).toInt(), 2);
    EXPECT_EQ(scalar(QStringLiteral("select rfc from imdir where calleyno = 'CALLE BETA 7'")).toString(), rfcB);
    EXPECT_EQ(scalar(QStringLiteral("select iddir from imdir where calleyno = 'CALLE BETA 7'")).toString(),
              QStringLiteral("FC"));

    // The applicant's grids read their tables again: only the applicant's own rows.
    ASSERT_TRUE(window->fuentes().dtsPlanta()->refresh());
    ASSERT_TRUE(window->fuentes().dtsDireccion()->refresh());
    vePagina(kPagPlantas);
    EXPECT_EQ(calles(dbPlanta), QStringList{QStringLiteral("PLANTA PROPIA 1")});
    vePagina(kPagDomicilioFiscal);
    BoundGrid* dbDomFiscal = grid(QStringLiteral("dbDomFiscal"));
    EXPECT_EQ(dbDomFiscal->rowCount(), 0);
    // The companies' fiscal addresses do not count as the applicant's one.
    tecleaRenglon(dbDomFiscal, {QStringLiteral("reforma 1")});
    key(Qt::Key_Down);
    EXPECT_FALSE(dbDomFiscal->isEditing());
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imdir where iddir = 'FL'")).toInt(), 1);

    // After a restart: the same separation, and ALFA's window shows ALFA's rows only.
    reopen();
    EXPECT_EQ(calles(grid(QStringLiteral("dbPlanta"))), QStringList{QStringLiteral("PLANTA PROPIA 1")});
    EXPECT_EQ(calles(grid(QStringLiteral("dbDomFiscal"))), QStringList{QStringLiteral("REFORMA 1")});
    // The modality is stored by the full save only: chosen again.
    eligeTramiteYModalidad(kProgramaNuevo, kControladora);
    messages.clear();
    vePagina(kPagControladas);
    dbControl = grid(QStringLiteral("dbControl"));
    ASSERT_EQ(dbControl->rowCount(), 2);
    const int filaAlfa = dbControl->cellValue(0, 1).toString() == rfcA ? 0 : 1;
    focus(dbControl);
    clicEnRenglon(dbControl, filaAlfa);
    QStringList fiscales, plantas;
    ASSERT_TRUE(conVentanaDomicilios(
        [&] { QTest::mouseClick(find<QPushButton>(QStringLiteral("cmdVDomicilioC")), Qt::LeftButton); },
        [&](frmDetalle* w) {
            fiscales = calles(w->dbFiscalEC());
            plantas = calles(w->dbPlantaDC());
            w->close();
        }));
    EXPECT_EQ(fiscales, QStringList{QStringLiteral("AV. VALLARTA 3000")});
    EXPECT_EQ(plantas, QStringList{QStringLiteral("CARRETERA NORTE KM 5")});
}

TEST_F(VerificaDomicilio, OutsourcingAndSubmanufacturingCompanyAddresses) {
    eligeTramiteYModalidad(kProgramaNuevo, kTerciarizacion);
    EXPECT_EQ(find<QComboBox>(QStringLiteral("cmbModalidad"))->currentText(), QStringLiteral("Terciarización"));

    // The same company both outsources and submanufactures: one RFC, two kinds.
    const QString rfc = QStringLiteral(" MNO030303AB3");
    struct Caso {
        int pagina;
        const char* grid;
        const char* boton;
        const char* nombre;
        const char* prefijo;
        const char* fiscal;
        const char* planta;
    };
    const Caso casos[] = {
        {kPagTerciarizacion, "dbTerciarizacion", "cmdVDomicilioT", "maquila norte", "Empresa de Terciarización : ",
         "FT", "PT"},
        {kPagSubmanufactura, "dbSubmanufactura", "cmdVDomicilioS", "maquila norte", "Empresa de Submanufactura : ",
         "FS", "PS"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.grid);
        vePagina(c.pagina);
        BoundGrid* g = grid(QString::fromLatin1(c.grid));
        ASSERT_NE(g, nullptr);
        tecleaRenglon(g, {QString::fromLatin1(c.nombre), QStringLiteral("mno030303ab3")});
        key(Qt::Key_Down);
        ASSERT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
        ASSERT_EQ(g->rowCount(), 1);
        EXPECT_EQ(g->cellValue(0, 1).toString(), rfc);
        clicEnRenglon(g, 0);

        QString titulo;
        ASSERT_TRUE(conVentanaDomicilios(
            [&] { QTest::mouseClick(find<QPushButton>(QString::fromLatin1(c.boton)), Qt::LeftButton); },
            [&](frmDetalle* w) {
                titulo = w->windowTitle();
                // The other kind's rows of the same RFC are not shown.
                tecleaDirecciones(w, {QStringLiteral("fiscal ") + QLatin1String(c.fiscal), QStringLiteral("20000")},
                                  {QStringLiteral("planta ") + QLatin1String(c.planta), QStringLiteral("20100")});
            }));
        EXPECT_EQ(titulo.toStdString(),
                  (QString::fromUtf8(c.prefijo) + QStringLiteral("MAQUILA NORTE - RFC : ") + rfc).toStdString());
        EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    }

    const QList<Direccion> todas = direcciones();
    ASSERT_EQ(todas.size(), 4);
    const QStringList tipos{QStringLiteral("FS"), QStringLiteral("FT"), QStringLiteral("PS"), QStringLiteral("PT")};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(todas[i].iddir, tipos[i]);
        EXPECT_EQ(todas[i].calle, (tipos[i].startsWith(QLatin1Char('F')) ? QStringLiteral("FISCAL ")
                                                                          : QStringLiteral("PLANTA ")) +
                                      tipos[i]);
        EXPECT_EQ(todas[i].rfc, rfc);
    }
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from impects where idmcts = 'T' and rsocial = 'MAQUILA NORTE'"))
                  .toInt(),
              1);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from impects where idmcts = 'M' and rsocial = 'MAQUILA NORTE'"))
                  .toInt(),
              1);

    // Opened again, each kind shows its own rows; the applicant's plants none of them.
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.grid);
        vePagina(c.pagina);
        clicEnRenglon(grid(QString::fromLatin1(c.grid)), 0);
        QStringList vistas;
        ASSERT_TRUE(conVentanaDomicilios(
            [&] { QTest::mouseClick(find<QPushButton>(QString::fromLatin1(c.boton)), Qt::LeftButton); },
            [&](frmDetalle* w) {
                vistas << calles(w->dbFiscalEC()) << calles(w->dbPlantaDC());
                w->close();
            }));
        EXPECT_EQ(vistas, (QStringList{QStringLiteral("FISCAL ") + QLatin1String(c.fiscal),
                                       QStringLiteral("PLANTA ") + QLatin1String(c.planta)}));
    }
    ASSERT_TRUE(window->fuentes().dtsPlanta()->refresh());
    vePagina(kPagPlantas);
    EXPECT_EQ(grid(QStringLiteral("dbPlanta"))->rowCount(), 0);
}

TEST_F(VerificaDomicilio, WithoutASelectedCompanyNothingOpens) {
    eligeTramiteYModalidad(kProgramaNuevo, kControladora);
    messages.clear();  // the two-companies rule of the quiet save
    vePagina(kPagControladas);
    BoundGrid* dbControl = grid(QStringLiteral("dbControl"));
    auto* boton = find<QPushButton>(QStringLiteral("cmdVDomicilioC"));
    auto pulsa = [&](QPushButton* b) {
        return conVentanaDomicilios([&] { QTest::mouseClick(b, Qt::LeftButton); },
                                    [](frmDetalle* w) { w->close(); });
    };

    // An empty grid.
    EXPECT_FALSE(pulsa(boton));
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].text, kSeleccion);
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_TRUE(window->findChildren<frmDetalle*>().isEmpty());

    // A stored company, and the add-new row under it selected.
    tecleaRenglon(dbControl, {QStringLiteral("gamma"), QStringLiteral("gam040404gg4")});
    key(Qt::Key_Down);
    ASSERT_FALSE(dbControl->isEditing());
    messages.clear();
    focus(dbControl);
    ASSERT_TRUE(dbControl->setCurrentCell(dbControl->addNewRow(), 0));
    EXPECT_FALSE(pulsa(boton));
    EXPECT_EQ(messages.texts(), QStringList{kSeleccion});
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imdir")).toInt(), 0);

    // The other two buttons, on their empty grids.
    eligeTramiteYModalidad(kProgramaNuevo, kTerciarizacion);
    for (auto [pagina, nombre] : {std::pair{kPagTerciarizacion, QStringLiteral("cmdVDomicilioT")},
                                  std::pair{kPagSubmanufactura, QStringLiteral("cmdVDomicilioS")}}) {
        messages.clear();
        vePagina(pagina);
        EXPECT_FALSE(pulsa(find<QPushButton>(nombre))) << nombre.toStdString();
        EXPECT_EQ(messages.texts(), QStringList{kSeleccion}) << nombre.toStdString();
    }
    EXPECT_TRUE(window->findChildren<frmDetalle*>().isEmpty());
}

// The main window driven through its real controls: key preview, header filters, the
// procedure/modality page table, rows stored and shown again after a restart.

#include "WindowFixture.h"

#include "app/rules/MainDataSources.h"
#include "app/toolkit/PickList.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

using namespace kalto;
using kalto::test::WindowTest;

namespace {

const QString kAyuda =
    QStringLiteral("<--  --> Desplazarse entre las columnas (Flecha arriba-Flecha abajo) Actualizar registro");

}  // namespace

TEST_F(WindowTest, LayoutNamesCaptionsAndAccessibility) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("K A L T O     2.0"));
    const char* const tips[5] = {"Limpia toda la informacion", "Guarda la informacion",
                                 "Exporta la informacion a disco", "Imprime la solicitud del tramite", "Acerca de..."};
    for (int i = 0; i < 5; ++i) {
        auto* b = find<QToolButton>(QStringLiteral("cmdKALTO_%1").arg(i));
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(tips[i]));
        EXPECT_EQ(b->property("index").toInt(), i);
        EXPECT_FALSE(b->icon().isNull());
    }
    EXPECT_EQ(find<QPushButton>(QStringLiteral("cmdBrelot"))->text(), QStringLiteral("B R E L O T"));

    auto* tab = find<QTabWidget>(QStringLiteral("SSTabKALTO"));
    const QStringList captions{QStringLiteral("1. Domicilio Fiscal / Rep Legal"), QStringLiteral("2. Domicilios Plantas"),
                               QStringLiteral("3. Empresas Controladas"),         QStringLiteral("4. Productos"),
                               QStringLiteral("5. Terciarización"),               QStringLiteral("6. Servicios"),
                               QStringLiteral("7. Submanufactura"),               QStringLiteral("8. Materias Primas"),
                               QStringLiteral("9. Contenedores / Herramientas")};
    ASSERT_EQ(tab->count(), 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(tab->tabText(i), captions[i]);
    EXPECT_EQ(tab->currentIndex(), 0);

    // Header limits and tooltips.
    struct Campo {
        const char* name;
        int max;
        const char* tip;
    };
    const Campo campos[] = {{"txtRFC", 13, "RFC de la empresa que esta presentando la solicitud"},
                            {"txtRSocial", 100, "Razón Social"},
                            {"txtNumKALTO", 8, "Número resgistro KALTO"},
                            {"txtAnioKALTO", 4, "Año resgistro KALTO"},
                            {"txtNDSol", 8, "Número de folio a deshogar"},
                            {"txtADSol", 4, "Año de folio a deshogar"}};
    for (const Campo& c : campos) {
        auto* t = find<QLineEdit>(QString::fromLatin1(c.name));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->maxLength(), c.max) << c.name;
        EXPECT_EQ(t->toolTip(), QString::fromUtf8(c.tip)) << c.name;
    }
    EXPECT_EQ(find<QCheckBox>(QStringLiteral("chkDesahogo"))->text(), QStringLiteral("Desahogo de prevención al folio"));

    // Every grid, and the hint under each page's grids.
    const char* const grids[] = {"dbDomFiscal",  "dbRepLegal",       "dbPlanta",    "dbControl", "dbProducto",
                                 "dbTerciarizacion", "dbServicios", "dbEServicios", "dbSubmanufactura",
                                 "dbAnxMPE",     "dbAnx_0",          "dbAnx_1",     "dbAnx_2",   "dbAnx_3"};
    for (const char* g : grids) EXPECT_NE(window->findChild<BoundGrid*>(QString::fromLatin1(g)), nullptr) << g;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(window->dbAnx(i)->property("index").toInt(), i);
    EXPECT_EQ(grid(QStringLiteral("dbDomFiscal"))->toolTip(), QStringLiteral("Direccion Fiscal"));
    EXPECT_EQ(grid(QStringLiteral("dbTerciarizacion"))->toolTip(), QStringLiteral("empresa de terciarización"));
    EXPECT_TRUE(grid(QStringLiteral("dbProducto"))->toolTip().isEmpty());
    for (int i = 0; i < 9; ++i) {
        int hints = 0;
        for (QLabel* l : tab->widget(i)->findChildren<QLabel*>())
            if (l->text() == kAyuda) ++hints;
        EXPECT_EQ(hints, 1) << "page " << i;
    }
    EXPECT_EQ(find<QLabel>(QStringLiteral("Label58"))->text(), kAyuda);
    EXPECT_EQ(grid(QStringLiteral("dbProducto"))->columnCaption(2), QStringLiteral("Unidad Medida"));
    EXPECT_EQ(grid(QStringLiteral("dbAnx_1"))->columnCaption(3), QStringLiteral("Descripcion"));

    // Every control can be named by a screen reader; nothing is clipped at the default size.
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QComboBox*>(w) || qobject_cast<BoundGrid*>(w);
        if (control && !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"))) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_GE(window->width(), 804);
    EXPECT_GE(window->height(), 552);
    for (auto* c : window->findChildren<QComboBox*>())
        if (c->objectName() != QLatin1String("cmbSector")) {
            EXPECT_GE(c->width(), c->sizeHint().width()) << c->objectName().toStdString();
        }
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->isVisible() && !l->wordWrap() && !l->text().isEmpty()) {
            EXPECT_GE(l->width(), l->sizeHint().width() - 1) << l->objectName().toStdString();
        }

    // The header's tab order runs top to bottom, left to right.
    const QStringList orden{QStringLiteral("cmbTramite"), QStringLiteral("cmbModalidad"), QStringLiteral("cmbSector"),
                            QStringLiteral("txtRFC"),     QStringLiteral("txtRSocial"),   QStringLiteral("txtNumKALTO"),
                            QStringLiteral("txtAnioKALTO"), QStringLiteral("chkDesahogo")};
    for (int i = 0; i + 1 < orden.size(); ++i) {
        QWidget* w = find(orden[i]);
        QWidget* next = w->nextInFocusChain();
        while (next && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
        EXPECT_EQ(next ? next->objectName() : QString(), orden[i + 1]);
    }
}

TEST_F(WindowTest, TypedLettersAreStoredUpperCase) {
    // A header field.
    auto* rsocial = find<QLineEdit>(QStringLiteral("txtRSocial"));
    focus(rsocial);
    type(QStringLiteral("acme, s.a. de c.v. ñandú"));
    EXPECT_EQ(rsocial->text(), QStringLiteral("ACME, S.A. DE C.V. ÑANDÚ"));
    key(Qt::Key_Tab);
    EXPECT_EQ(scalar(QStringLiteral("select apepatraz from imdint")).toString(),
              QStringLiteral("ACME, S.A. DE C.V. ÑANDÚ"));

    // A grid cell without a case rule of its own (the tariff item of a product).
    auto* tab = find<QTabWidget>(QStringLiteral("SSTabKALTO"));
    tab->setCurrentIndex(3);
    BoundGrid* productos = grid(QStringLiteral("dbProducto"));
    startNewRow(productos, 0);
    type(QStringLiteral("ab12cd34"));
    key(Qt::Key_Down);
    EXPECT_FALSE(productos->isEditing());
    EXPECT_EQ(scalar(QStringLiteral("select fraccion from improd")).toString(), QStringLiteral("AB12CD34"));

    // The address grid: the street upper case, the e-mail back to lower case by the grid.
    tab->setCurrentIndex(0);
    BoundGrid* fiscal = grid(QStringLiteral("dbDomFiscal"));
    startNewRow(fiscal, 0);
    type(QStringLiteral("av. juárez 5"));
    ASSERT_TRUE(fiscal->setCurrentCell(fiscal->currentRow(), 8));
    type(QStringLiteral("Ventas@Acme.mx"));
    key(Qt::Key_Down);
    EXPECT_EQ(scalar(QStringLiteral("select calleyno from imdir")).toString(), QStringLiteral("AV. JUÁREZ 5"));
    EXPECT_EQ(scalar(QStringLiteral("select email from imdir")).toString(), QStringLiteral("ventas@acme.mx"));
    EXPECT_EQ(scalar(QStringLiteral("select iddir from imdir")).toString(), QStringLiteral("FL"));
}

TEST_F(WindowTest, RfcIsFilteredByPositionAndCheckedOnLeaving) {
    auto* rfc = find<QLineEdit>(QStringLiteral("txtRFC"));
    auto* rsocial = find<QLineEdit>(QStringLiteral("txtRSocial"));
    focus(rfc);
    type(QStringLiteral("a"));  // position 1 takes a blank only
    EXPECT_EQ(rfc->text(), QString());
    type(QStringLiteral(" 1"));  // a digit cannot stand in the letters
    EXPECT_EQ(rfc->text(), QStringLiteral(" "));
    type(QStringLiteral("ab&x"));  // the fourth letter is position 5: a digit is required there
    EXPECT_EQ(rfc->text(), QStringLiteral(" AB&"));
    type(QStringLiteral("0a10229"));
    EXPECT_EQ(rfc->text(), QStringLiteral(" AB&010229"));
    type(QStringLiteral("k-9b1"));  // positions 11-12 letters or digits; 13 digits or A
    EXPECT_EQ(rfc->text(), QStringLiteral(" AB&010229K91"));
    EXPECT_EQ(rfc->cursorPosition(), rfc->text().size());

    // Enter moves to the company name; leaving checks the date: 2001 has no 29 February.
    key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), rsocial);
    EXPECT_EQ(messages.texts(),
              QStringList{QStringLiteral("El mes que has escrito no tiene más de 28 días. Rectifica por favor")});
    EXPECT_EQ(rfc->text(), QString());
    EXPECT_TRUE(scalar(QStringLiteral("select rfc from imdint")).isNull());

    messages.clear();
    focus(rfc);
    type(QStringLiteral(" abc000229xy1"));
    key(Qt::Key_Tab);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    EXPECT_EQ(scalar(QStringLiteral("select rfc from imdint")).toString(), QStringLiteral(" ABC000229XY1"));

    // A pasted text passes the same filter.
    rfc->clear();
    focus(rfc);
    QApplication::clipboard()->setText(QStringLiteral("x abc"));
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(rfc->text(), QStringLiteral(" ABC"));

    // Registration number and year take digits only.
    auto* tramite = find<QComboBox>(QStringLiteral("cmbTramite"));
    tramite->setCurrentIndex(1);
    auto* numero = find<QLineEdit>(QStringLiteral("txtNumKALTO"));
    ASSERT_TRUE(numero->isEnabled());
    focus(numero);
    type(QStringLiteral("12a-3 4"));
    EXPECT_EQ(numero->text(), QStringLiteral("1234"));
}

TEST_F(WindowTest, ProcedureAndModalityDecideTheAvailablePages) {
    auto* tramite = find<QComboBox>(QStringLiteral("cmbTramite"));
    auto* modalidad = find<QComboBox>(QStringLiteral("cmbModalidad"));
    auto* tab = find<QTabWidget>(QStringLiteral("SSTabKALTO"));
    ASSERT_EQ(tramite->count(), 2);
    ASSERT_EQ(modalidad->count(), 5);
    EXPECT_EQ(tramite->itemText(1), QStringLiteral("Ampliación"));
    EXPECT_EQ(modalidad->itemText(2), QStringLiteral("Terciarización"));

    // Unavailable pages for each procedure (rows) and modality (columns).
    const QList<QList<int>> nuevo{{2, 4, 5}, {2, 3, 4}, {2, 5}, {4, 5}, {2, 4, 5}};
    const QList<QList<int>> ampliacion{{1, 2, 4, 5, 6, 8}, {1, 2, 3, 4, 6, 8}, {1, 2, 4, 5, 6, 8},
                                       {1, 2, 4, 5, 6, 8}, {1, 2, 4, 5, 6, 8}};
    auto revisa = [&](const QList<int>& fuera, const char* caso, int m) {
        for (int p = 0; p < 9; ++p)
            EXPECT_EQ(tab->isTabEnabled(p), !fuera.contains(p)) << caso << " modality " << m << " page " << p;
    };
    for (int t = 0; t < 2; ++t) {
        focus(tramite);
        tramite->setCurrentIndex(t);
        for (int m = 0; m < 5; ++m) {
            focus(modalidad);
            modalidad->setCurrentIndex(m);
            revisa(t == 0 ? nuevo[m] : ampliacion[m], t == 0 ? "Programa Nuevo" : "Ampliación", m);
        }
    }
    // The keyboard on the real combo box: from "Ampliación"/"Albergue" up to "Controladora".
    focus(modalidad);
    key(Qt::Key_Up);
    EXPECT_EQ(modalidad->currentIndex(), 3);
    revisa(ampliacion[3], "Ampliación (teclado)", 3);
    focus(tramite);
    key(Qt::Key_Up);
    EXPECT_EQ(tramite->currentIndex(), 0);
    revisa(nuevo[3], "Programa Nuevo (teclado)", 3);
    // The current page is always an available one.
    EXPECT_TRUE(tab->isTabEnabled(tab->currentIndex()));
}

TEST_F(WindowTest, ProcedureEnablesOrEmptiesTheRegistration) {
    auto* tramite = find<QComboBox>(QStringLiteral("cmbTramite"));
    auto* numero = find<QLineEdit>(QStringLiteral("txtNumKALTO"));
    auto* anio = find<QLineEdit>(QStringLiteral("txtAnioKALTO"));
    tramite->setCurrentIndex(1);  // "Ampliación"
    EXPECT_TRUE(numero->isEnabled());
    EXPECT_TRUE(anio->isEnabled());
    focus(numero);
    type(QStringLiteral("4567"));
    key(Qt::Key_Tab);
    type(QStringLiteral("2009"));
    key(Qt::Key_Tab);
    EXPECT_EQ(scalar(QStringLiteral("select numekalto from imdint")).toString(), QStringLiteral("4567"));
    EXPECT_EQ(scalar(QStringLiteral("select aniokalto from imdint")).toString(), QStringLiteral("2009"));
    // The rework grid belongs to an extension; the service companies do not.
    EXPECT_TRUE(window->dbAnx(3)->isEnabled());
    EXPECT_FALSE(grid(QStringLiteral("dbEServicios"))->isEnabled());

    focus(tramite);
    tramite->setCurrentIndex(0);  // "Programa Nuevo"
    EXPECT_EQ(numero->text(), QString());
    EXPECT_EQ(anio->text(), QString());
    EXPECT_FALSE(numero->isEnabled());
    EXPECT_FALSE(anio->isEnabled());
    EXPECT_TRUE(scalar(QStringLiteral("select numekalto from imdint")).isNull());
    EXPECT_TRUE(scalar(QStringLiteral("select aniokalto from imdint")).isNull());
    EXPECT_FALSE(window->dbAnx(3)->isEnabled());

    // The desahogo box enables the folio; unchecking it empties the folio on screen and on file.
    auto* desahogo = find<QCheckBox>(QStringLiteral("chkDesahogo"));
    auto* folio = find<QLineEdit>(QStringLiteral("txtNDSol"));
    EXPECT_FALSE(folio->isEnabled());
    QTest::mouseClick(desahogo, Qt::LeftButton, {}, QPoint(5, desahogo->height() / 2));
    ASSERT_TRUE(folio->isEnabled());
    focus(folio);
    type(QStringLiteral("a77"));
    key(Qt::Key_Tab);
    EXPECT_EQ(scalar(QStringLiteral("select numefola from imdint")).toString(), QStringLiteral("A77"));
    QTest::mouseClick(desahogo, Qt::LeftButton, {}, QPoint(5, desahogo->height() / 2));
    EXPECT_EQ(folio->text(), QString());
    EXPECT_FALSE(folio->isEnabled());
    EXPECT_TRUE(scalar(QStringLiteral("select numefola from imdint")).isNull());
}

TEST_F(WindowTest, RowsAndHeaderAreShownAgainAfterARestart) {
    auto* tab = find<QTabWidget>(QStringLiteral("SSTabKALTO"));
    tab->setCurrentIndex(1);
    BoundGrid* plantas = grid(QStringLiteral("dbPlanta"));
    startNewRow(plantas, 0);
    type(QStringLiteral("norte 12"));
    key(Qt::Key_Tab);
    type(QStringLiteral("64000"));
    key(Qt::Key_Down);
    EXPECT_FALSE(plantas->isEditing());
    // A second row left by changing the page.
    startNewRow(plantas, 2);
    type(QStringLiteral("saltillo"));
    tab->setCurrentIndex(0);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imdir where iddir = 'PL'")).toInt(), 2);

    auto* rsocial = find<QLineEdit>(QStringLiteral("txtRSocial"));
    focus(rsocial);
    type(QStringLiteral("o'hara"));
    // The modality is stored by the save (toolbar button 1).
    find<QComboBox>(QStringLiteral("cmbModalidad"))->setCurrentIndex(4);
    auto* sector = find<QComboBox>(QStringLiteral("cmbSector"));
    ASSERT_GT(sector->count(), 3);
    sector->setCurrentIndex(2);
    const QString sectorElegido = sector->currentText();
    QTest::mouseClick(find<QToolButton>(QStringLiteral("cmdKALTO_1")), Qt::LeftButton);
    EXPECT_TRUE(messages.texts().contains(SolicitudRules::kMsgGuardado)) << messages.last().toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // hourglass taken off

    reopen();
    plantas = grid(QStringLiteral("dbPlanta"));
    ASSERT_EQ(plantas->rowCount(), 2);
    EXPECT_EQ(plantas->cellValue(0, 0).toString(), QStringLiteral("NORTE 12"));
    EXPECT_EQ(plantas->cellValue(0, 1).toString(), QStringLiteral("64000"));
    EXPECT_EQ(plantas->cellValue(1, 2).toString(), QStringLiteral("SALTILLO"));
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("txtRSocial"))->text(), QStringLiteral("O'HARA"));
    EXPECT_EQ(find<QComboBox>(QStringLiteral("cmbModalidad"))->currentIndex(), 4);
    EXPECT_EQ(find<QComboBox>(QStringLiteral("cmbSector"))->currentText(), sectorElegido);
    EXPECT_EQ(find<QTabWidget>(QStringLiteral("SSTabKALTO"))->currentIndex(), 0);
}

TEST_F(WindowTest, EscapeDiscardsAndARefusedRowStaysInEdit) {
    BoundGrid* fiscal = grid(QStringLiteral("dbDomFiscal"));
    startNewRow(fiscal, 0);
    type(QStringLiteral("calle perdida"));
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    EXPECT_FALSE(fiscal->isEditing());
    EXPECT_EQ(fiscal->rowCount(), 0);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imdir")).toInt(), 0);

    startNewRow(fiscal, 0);
    type(QStringLiteral("primera 1"));
    key(Qt::Key_Down);
    ASSERT_EQ(scalar(QStringLiteral("select count(*) from imdir")).toInt(), 1);
    startNewRow(fiscal, 0);
    type(QStringLiteral("segunda 2"));
    key(Qt::Key_Down);
    EXPECT_EQ(messages.last(),
              QStringLiteral("Solo puedes ingresar un domicilio fiscal de la empresa. Rectifica por favor"));
    EXPECT_TRUE(fiscal->isEditing());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imdir")).toInt(), 1);

    // The toolbar does not act over a refused row: it stays, and nothing is saved.
    messages.clear();
    QTest::mouseClick(find<QToolButton>(QStringLiteral("cmdKALTO_1")), Qt::LeftButton);
    EXPECT_FALSE(messages.texts().contains(SolicitudRules::kMsgGuardado));
    EXPECT_TRUE(fiscal->isEditing());
    EXPECT_EQ(fiscal->cellValue(1, 0).toString(), QStringLiteral("SEGUNDA 2"));

    // Nor does a change of page leave it behind.
    auto* tab = find<QTabWidget>(QStringLiteral("SSTabKALTO"));
    tab->setCurrentIndex(1);
    EXPECT_EQ(tab->currentIndex(), 0);
    EXPECT_TRUE(fiscal->isEditing());

    focus(fiscal);
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    EXPECT_FALSE(fiscal->isEditing());
    tab->setCurrentIndex(1);
    EXPECT_EQ(tab->currentIndex(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select calleyno from imdir")).toString(), QStringLiteral("PRIMERA 1"));
}

TEST_F(WindowTest, PickListsWriteIntoTheCurrentRow) {
    auto* tab = find<QTabWidget>(QStringLiteral("SSTabKALTO"));
    tab->setCurrentIndex(3);
    BoundGrid* productos = grid(QStringLiteral("dbProducto"));
    PickList* um = window->lstUM();
    ASSERT_FALSE(um->isVisible());
    startNewRow(productos, 2);
    key(Qt::Key_F4);
    ASSERT_TRUE(um->isVisible());
    ASSERT_GT(um->count(), 2);
    EXPECT_EQ(um->currentRow(), 0);
    EXPECT_EQ(QApplication::focusWidget(), um);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    const QString unidad = um->currentText();
    const int clave = um->currentData();
    key(Qt::Key_Return);
    EXPECT_FALSE(um->isVisible());
    EXPECT_EQ(productos->currentText(2), unidad);
    EXPECT_EQ(productos->currentValue(1).toInt(), clave);
    focus(productos);
    key(Qt::Key_Down);
    EXPECT_EQ(scalar(QStringLiteral("select um from improd")).toString(), unidad);
    EXPECT_EQ(scalar(QStringLiteral("select umid from improd")).toInt(), clave);

    // Escape closes the list without a change.
    ASSERT_TRUE(productos->setCurrentCell(0, 2));
    key(Qt::Key_F4);
    ASSERT_TRUE(um->isVisible());
    key(Qt::Key_Down);
    key(Qt::Key_Escape);
    EXPECT_FALSE(um->isVisible());
    EXPECT_EQ(productos->currentText(2), unidad);

    // The services list: one service per request.
    find<QComboBox>(QStringLiteral("cmbModalidad"))->setCurrentIndex(1);
    ASSERT_TRUE(tab->isTabEnabled(5));
    tab->setCurrentIndex(5);
    BoundGrid* servicios = grid(QStringLiteral("dbServicios"));
    PickList* lista = window->lstServicio();
    ASSERT_GE(lista->count(), 13);
    startNewRow(servicios, 1);
    key(Qt::Key_F4);
    ASSERT_TRUE(lista->isVisible());
    for (int i = 0; i < 4; ++i) key(Qt::Key_Down);
    const QString quinto = lista->currentText();
    key(Qt::Key_Return);
    EXPECT_EQ(servicios->currentText(1), quinto);
    EXPECT_EQ(servicios->currentValue(0).toInt(), 4);
    focus(servicios);
    key(Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(scalar(QStringLiteral("select idserv from imserv")).toInt(), 5);  // catalogue numbers count from 1
    EXPECT_EQ(scalar(QStringLiteral("select servicio from imserv")).toString(), quinto);

    startNewRow(servicios, 1);
    key(Qt::Key_F4);
    ASSERT_TRUE(lista->isVisible());
    key(Qt::Key_Return);
    EXPECT_EQ(messages.last(), QStringLiteral("Has dado de alta previamente algún servicio. Sólo se puede presentar "
                                              "un servicio por solicitud. Rectifica por favor"));
    EXPECT_FALSE(lista->isVisible());
    EXPECT_FALSE(servicios->isEditing());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imserv")).toInt(), 1);
}

TEST_F(WindowTest, RequiredValueCheck) {
    auto* rfc = find<QLineEdit>(QStringLiteral("txtRFC"));
    EXPECT_EQ(window->VerificaConValor(rfc), 1);
    EXPECT_EQ(messages.last(),
              QStringLiteral("El Siguiente campo RFC de la empresa que esta presentando la solicitud es Requerido"));
    EXPECT_EQ(messages.entries.last().kind, RecordingMessages::Kind::Stop);
    rfc->setText(QStringLiteral("   "));  // blanks count as text in a text box
    EXPECT_EQ(window->VerificaConValor(rfc), 0);

    auto* tab = find<QTabWidget>(QStringLiteral("SSTabKALTO"));
    tab->setCurrentIndex(3);
    BoundGrid* fiscal = grid(QStringLiteral("dbDomFiscal"));
    EXPECT_EQ(window->VerificaConValor(fiscal, 0, QStringLiteral("0,1,2")), 1);
    EXPECT_EQ(messages.last(),
              QStringLiteral("Debes ingresar por lo menos un registro en la tabla de  Direccion Fiscal es Requerido"));
    EXPECT_EQ(tab->currentIndex(), 0);

    startNewRow(fiscal, 1);
    type(QStringLiteral("06100"));
    key(Qt::Key_Down);
    tab->setCurrentIndex(3);
    EXPECT_EQ(window->VerificaConValor(fiscal, 0, QStringLiteral("1,0,2")), 1);
    EXPECT_EQ(messages.last(), QStringLiteral("El Siguiente campo Calle y No. de la tabla Direccion Fiscal es Requerido"));
    EXPECT_EQ(tab->currentIndex(), 0);
    messages.clear();
    EXPECT_EQ(window->VerificaConValor(fiscal, 0, QStringLiteral("1")), 0);
    EXPECT_TRUE(messages.entries.isEmpty());
}

TEST_F(WindowTest, ClearEmptiesTheRequestAfterConfirmation) {
    auto* rsocial = find<QLineEdit>(QStringLiteral("txtRSocial"));
    focus(rsocial);
    type(QStringLiteral("borrame"));
    key(Qt::Key_Tab);
    BoundGrid* fiscal = grid(QStringLiteral("dbDomFiscal"));
    startNewRow(fiscal, 0);
    type(QStringLiteral("calle 1"));
    key(Qt::Key_Down);
    ASSERT_EQ(scalar(QStringLiteral("select count(*) from imdir")).toInt(), 1);

    messages.answers = {false};
    QTest::mouseClick(find<QToolButton>(QStringLiteral("cmdKALTO_0")), Qt::LeftButton);
    EXPECT_EQ(messages.last(), SolicitudRules::kMsgLimpia);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imdir")).toInt(), 1);
    EXPECT_EQ(rsocial->text(), QStringLiteral("BORRAME"));

    messages.answers = {true};
    QTest::mouseClick(find<QToolButton>(QStringLiteral("cmdKALTO_0")), Qt::LeftButton);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imdir")).toInt(), 0);
    EXPECT_EQ(rsocial->text(), QString());
    EXPECT_TRUE(scalar(QStringLiteral("select apepatraz from imdint")).isNull());
    EXPECT_EQ(fiscal->rowCount(), 0);
    EXPECT_EQ(find<QComboBox>(QStringLiteral("cmbTramite"))->currentIndex(), 0);
    EXPECT_GT(find<QComboBox>(QStringLiteral("cmbSector"))->count(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, UnloadClosesEveryRecordSetWithoutSaving) {
    find<QComboBox>(QStringLiteral("cmbModalidad"))->setCurrentIndex(2);
    const QVariant antes = scalar(QStringLiteral("select idmoda from imdint"));
    MainDataSources& fuentes = window->fuentes();
    ASSERT_TRUE(fuentes.dtsDatosInt()->recordSet().isOpen());
    window->close();
    for (DataSource* s : fuentes.all()) EXPECT_FALSE(s->recordSet().isOpen()) << s->name().toStdString();
    EXPECT_EQ(scalar(QStringLiteral("select idmoda from imdint")), antes);  // the modality is stored by the save only
}

TEST_F(WindowTest, ClosingOverARefusedRowAsksFirst) {
    BoundGrid* rep = grid(QStringLiteral("dbRepLegal"));
    startNewRow(rep, 0);
    type(QStringLiteral("ana"));
    key(Qt::Key_Down);
    ASSERT_EQ(scalar(QStringLiteral("select count(*) from imrlegal")).toInt(), 1);
    startNewRow(rep, 0);
    type(QStringLiteral("otro"));
    key(Qt::Key_Down);
    ASSERT_EQ(messages.last(), QStringLiteral("Solo puedes ingresar un representante legal. Rectifica por favor"));

    messages.clear();
    messages.answers = {false};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(messages.entries.size(), 2);  // the refusal again, then the question
    EXPECT_EQ(messages.entries.last().kind, RecordingMessages::Kind::Question);
    EXPECT_TRUE(rep->isEditing());
    EXPECT_TRUE(window->fuentes().dtsRepLegal()->recordSet().isOpen());

    messages.answers = {true};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imrlegal")).toInt(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select nomrepleg from imrlegal")).toString(), QStringLiteral("ANA"));
}

TEST_F(WindowTest, StoredServiceAndProductsShapeTheAnnexGridsAtLoad) {
    // A services programme with a service from catalogue position 13, an export product
    // with two inputs, and a container.
    ASSERT_TRUE(db.execute(QStringLiteral("update imdint set idmoda = 1, idtra = 4")));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imserv values (13, 'SERVICIO TRECE')")));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (1, 1, 'SERVICIO TRECE', 'null', 0)")));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (2, 1, null, '84713001', 1)")));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (3, 1, null, '84713002', 1)")));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (4, 2, 'CAJA', null, 0)")));
    reopen();

    BoundGrid* mpe = grid(QStringLiteral("dbAnxMPE"));
    EXPECT_TRUE(mpe->isColumnVisible(2));   // "Descripción"
    EXPECT_FALSE(mpe->isColumnVisible(3));  // "Fraccion"
    EXPECT_EQ(find<QComboBox>(QStringLiteral("cmbModalidad"))->currentIndex(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imserv")).toInt(), 1);

    // The inputs grid shows the inputs of the export product, never the containers.
    BoundGrid* insumos = window->dbAnx(0);
    ASSERT_EQ(mpe->rowCount(), 1);
    ASSERT_EQ(insumos->rowCount(), 2);
    EXPECT_EQ(insumos->cellValue(0, 2).toString(), QStringLiteral("84713001"));
    EXPECT_EQ(window->dbAnx(1)->rowCount(), 1);

    // A new input typed for it gets the next identifier, kind 1 and the product as parent.
    find<QTabWidget>(QStringLiteral("SSTabKALTO"))->setCurrentIndex(7);
    startNewRow(insumos, 2);
    type(QStringLiteral("84713003"));
    key(Qt::Key_Down);
    EXPECT_FALSE(insumos->isEditing()) << messages.last().toStdString();
    EXPECT_EQ(scalar(QStringLiteral("select id_prod from imanexos where fraccion = '84713003'")).toInt(), 5);
    EXPECT_EQ(scalar(QStringLiteral("select tipo_reg from imanexos where fraccion = '84713003'")).toInt(), 1);
    EXPECT_EQ(scalar(QStringLiteral("select id_subord from imanexos where fraccion = '84713003'")).toInt(), 1);
}

TEST_F(WindowTest, InputsGridIsEmptyWithoutExportProducts) {
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (1, 2, 'TARIMA', null, 0)")));
    reopen();
    EXPECT_EQ(window->dbAnx(0)->rowCount(), 0);
    EXPECT_EQ(window->dbAnx(1)->rowCount(), 1);
    // An input typed without an export product is refused.
    find<QTabWidget>(QStringLiteral("SSTabKALTO"))->setCurrentIndex(7);
    startNewRow(window->dbAnx(0), 2);
    type(QStringLiteral("84713003"));
    key(Qt::Key_Down);
    EXPECT_EQ(messages.last(), QStringLiteral("Seleccione un registro"));
    EXPECT_TRUE(window->dbAnx(0)->isEditing());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from imanexos")).toInt(), 1);
}

TEST_F(WindowTest, HeaderTextTheTableCannotHoldIsReportedAndKept) {
    auto* rsocial = find<QLineEdit>(QStringLiteral("txtRSocial"));
    focus(rsocial);
    type(QStringLiteral("acme"));
    key(Qt::Key_Tab);
    ASSERT_EQ(scalar(QStringLiteral("select apepatraz from imdint")).toString(), QStringLiteral("ACME"));

    focus(rsocial);
    rsocial->end(false);
    type(QStringLiteral(" \u03A9"));  // a letter Windows-1252 cannot hold
    key(Qt::Key_Tab);
    ASSERT_FALSE(messages.entries.isEmpty());
    EXPECT_TRUE(messages.last().startsWith(QStringLiteral("No se pudo guardar el dato Razon Social"))) << messages.last().toStdString();
    EXPECT_EQ(rsocial->text(), QStringLiteral("ACME \u03A9"));  // what was typed stays on screen
    EXPECT_EQ(scalar(QStringLiteral("select apepatraz from imdint")).toString(), QStringLiteral("ACME"));
}

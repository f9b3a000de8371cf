// The main window driven through its real controls: the header's filters and stores, the
// procedure/modality pages, grid rows stored, refused, discarded and shown again, clearing and
// closing; its tab captions and typeface.

#include "WindowFixture.h"

#include "app/ui/InterfaceFont.h"
#include "app/ui/TabCaptions.h"

#include <QCheckBox>
#include <QToolButton>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

TEST_F(WindowTest, HeaderTextIsFilteredStoredUpperCaseAndCheckedOnLeaving) {
    // The RFC, typed through the position filter (the rules' own tests try each position).
    auto* rfc = find<QLineEdit>(u"txtRFC"_s);
    focus(rfc);
    type(u"a ab&x0a10229k-9b1"_s);
    EXPECT_EQ(rfc->text(), u" AB&010229K91"_s);
    // Enter moves on; leaving checks the date (2001 has no 29 February) and empties the field.
    key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), find(u"txtRSocial"_s));
    EXPECT_EQ(messages.texts(), QStringList{u"El mes que has escrito no tiene más de 28 días. Rectifica por favor"_s});
    EXPECT_TRUE(rfc->text().isEmpty() && scalar(u"select rfc from imdint"_s).isNull());
    // Letters are stored upper case.
    fill(u"txtRSocial"_s, u"acme, s.a. ñandú"_s);
    EXPECT_EQ(scalar(u"select apepatraz from imdint"_s).toString(), u"ACME, S.A. ÑANDÚ"_s);
    // A letter the table cannot hold is said (the store's own tests prove what is kept).
    fill(u"txtRSocial"_s, u" \u03A9"_s);
    EXPECT_TRUE(messages.last().startsWith(u"No se pudo guardar el dato Razon Social"_s))
        << messages.last().toStdString();
    // The header text that could not be stored is not passed over: no save is reported.
    messages.clear();
    click(u"cmdKALTO_1"_s);
    EXPECT_FALSE(messages.texts().contains(RequestRules::kMsgGuardado));
}

TEST_F(WindowTest, ProcedureAndModalityDecideThePagesAndTheRegistration) {
    auto* tramite = find<QComboBox>(u"cmbTramite"_s);
    EXPECT_EQ(QApplication::focusWidget(), tramite);  // the keyboard starts in the header
    // The page table is the rules' (tested there); the window shows it and keeps the page
    // shown while it stays available, else shows page 1.
    const struct { int tramite, modalidad, elegida, mostrada; } pasos[] = {
        {kAmpliacion, kServicios, kPagServicios, kPagServicios}, {kProgramaNuevo, kServicios, -1, kPagServicios},
        {kProgramaNuevo, kIndustrial, -1, kPagDomicilioFiscal}};
    for (const auto& c : pasos) {
        choose(c.tramite, c.modalidad);
        if (c.elegida >= 0) tab()->setCurrentIndex(c.elegida);
        EXPECT_EQ(tab()->currentIndex(), c.mostrada) << c.tramite << " " << c.modalidad;
        const PaginasDisponibles paginas = paginasDisponibles(c.tramite, c.modalidad);
        for (int p = 0; p < kNumPaginas; ++p) EXPECT_EQ(tab()->isTabEnabled(p), paginas[p]) << c.tramite << " " << p;
    }

    // Ampliación enables the registration and the rework grid; Programa Nuevo empties and
    // disables them.
    auto* numero = find<QLineEdit>(u"txtNumKALTO"_s);
    EXPECT_FALSE(numero->isEnabled());
    tramite->setCurrentIndex(kAmpliacion);
    ASSERT_TRUE(numero->isEnabled() && find(u"txtAnioKALTO"_s)->isEnabled() && window->dbAnx(3)->isEnabled());
    fill(u"txtNumKALTO"_s, u"4567"_s);
    fill(u"txtAnioKALTO"_s, u"2009"_s);
    tramite->setCurrentIndex(kProgramaNuevo);
    EXPECT_TRUE(numero->text().isEmpty() && text(u"txtAnioKALTO"_s).isEmpty());
    EXPECT_FALSE(numero->isEnabled() || find(u"txtAnioKALTO"_s)->isEnabled() || window->dbAnx(3)->isEnabled());

    // The desahogo box enables the folio; unchecking it empties the folio.
    auto* desahogo = find<QCheckBox>(u"chkDesahogo"_s);
    auto* folio = find<QLineEdit>(u"txtNDSol"_s);
    QTest::mouseClick(desahogo, Qt::LeftButton, {}, QPoint(5, desahogo->height() / 2));
    ASSERT_TRUE(folio->isEnabled());
    fill(u"txtNDSol"_s, u"a77"_s);
    QTest::mouseClick(desahogo, Qt::LeftButton, {}, QPoint(5, desahogo->height() / 2));
    EXPECT_FALSE(folio->isEnabled() || !folio->text().isEmpty());
}

TEST_F(WindowTest, RowsAndHeaderAreShownAgainAfterARestartAndClearedOnlyWhenConfirmed) {
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), u"&Deshacer"_s);  // Qt's own texts
    const int modalidadInicial = find<QComboBox>(u"cmbModalidad"_s)->currentIndex();
    tab()->setCurrentIndex(kPagPlantas);
    addRow(grid(u"dbPlanta"_s), {u"norte 12"_s, u"64000"_s});
    typeRow(grid(u"dbPlanta"_s), {u"saltillo"_s}, 2);  // left by changing the page
    tab()->setCurrentIndex(kPagDomicilioFiscal);
    EXPECT_EQ(count(u"select count(*) from imdir where iddir = 'PL'"_s), 2);

    fill(u"txtRSocial"_s, u"o'hara"_s);
    find<QComboBox>(u"cmbModalidad"_s)->setCurrentIndex(kAlbergue);  // stored by the save
    find<QComboBox>(u"cmbSector"_s)->setCurrentIndex(2);
    click(u"cmdKALTO_1"_s);
    EXPECT_TRUE(messages.texts().contains(RequestRules::kMsgGuardado)) << messages.last().toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // hourglass taken off

    shut();
    open();
    BoundGrid* plantas = grid(u"dbPlanta"_s);
    EXPECT_EQ(column(plantas, 2), (QStringList{QString(), u"SALTILLO"_s}));
    EXPECT_EQ(text(u"txtRSocial"_s), u"O'HARA"_s);
    EXPECT_TRUE(find<QComboBox>(u"cmbModalidad"_s)->currentIndex() == kAlbergue &&
                find<QComboBox>(u"cmbSector"_s)->currentIndex() == 2);

    // Clearing asks first: No keeps everything, Yes empties the screen, keeps the page and
    // puts the keyboard back in the header.
    tab()->setCurrentIndex(kPagPlantas);
    messages.clear();
    messages.answers = {false, true};
    click(u"cmdKALTO_0"_s);
    ASSERT_EQ(messages.texts(), QStringList{RequestRules::kMsgLimpia});
    EXPECT_TRUE(plantas->rowCount() == 2 && text(u"txtRSocial"_s) == u"O'HARA"_s);
    click(u"cmdKALTO_0"_s);
    EXPECT_TRUE(plantas->rowCount() == 0 && text(u"txtRSocial"_s).isEmpty());
    EXPECT_EQ(find<QComboBox>(u"cmbModalidad"_s)->currentIndex(), modalidadInicial);  // the lists shown again
    EXPECT_EQ(tab()->currentIndex(), kPagPlantas);
    EXPECT_EQ(QApplication::focusWidget(), find(u"cmbTramite"_s));
}

TEST_F(WindowTest, ARefusedRowStaysInEditAndClosingAsks) {
    BoundGrid* fiscal = grid(u"dbDomFiscal"_s);
    addRow(fiscal, {u"primera 1"_s});
    addRow(fiscal, {u"segunda 2"_s});
    EXPECT_EQ(messages.texts(),
              QStringList{u"Solo puedes ingresar un domicilio fiscal de la empresa. Rectifica por favor"_s});
    EXPECT_TRUE(fiscal->isEditing());
    EXPECT_EQ(count(u"select count(*) from imdir"_s), 1);
    // Neither the save nor a change of page leaves the refused row behind.
    messages.clear();
    click(u"cmdKALTO_1"_s);
    EXPECT_FALSE(messages.texts().contains(RequestRules::kMsgGuardado));
    tab()->setCurrentIndex(kPagPlantas);
    EXPECT_EQ(tab()->currentIndex(), kPagDomicilioFiscal);
    EXPECT_EQ(fiscal->cellValue(1, 0).toString(), u"SEGUNDA 2"_s);

    // Closing says why and asks: No keeps the window and the row; Yes drops the row and
    // closes every record set without saving the header.
    find<QComboBox>(u"cmbModalidad"_s)->setCurrentIndex(kTerciarizacion);
    const QVariant modalidad = scalar(u"select idmoda from imdint"_s);
    messages.clear();
    messages.answers = {false, true};
    EXPECT_FALSE(window->close());
    ASSERT_EQ(messages.entries.size(), 2);
    EXPECT_EQ(messages.entries.last().kind, RecordingMessages::Kind::Question);
    EXPECT_TRUE(fiscal->isEditing() && window->isVisible() && window->fuentes().dtsDireccion()->recordSet().isOpen());
    EXPECT_TRUE(window->close());
    for (DataSource* s : window->fuentes().all()) EXPECT_FALSE(s->recordSet().isOpen()) << s->name().toStdString();
    EXPECT_EQ(scalar(u"select group_concat(calleyno) from imdir"_s).toString(), u"PRIMERA 1"_s);
    EXPECT_EQ(scalar(u"select idmoda from imdint"_s), modalidad);
}

TEST_F(WindowTest, RequiredValueCheckNamesTheFieldAndShowsItsPage) {
    EXPECT_EQ(window->VerificaConValor(find<QLineEdit>(u"txtRFC"_s)), 1);  // named by its tooltip
    EXPECT_EQ(messages.last(), u"El Siguiente campo RFC de la empresa que esta presentando la solicitud es "
                               u"Requerido"_s);
    BoundGrid* fiscal = grid(u"dbDomFiscal"_s);
    addRow(fiscal, {u"06100"_s}, 1);
    tab()->setCurrentIndex(kPagProductos);
    EXPECT_EQ(window->VerificaConValor(fiscal, kPagDomicilioFiscal, u"1,0,2"_s), 1);
    EXPECT_EQ(messages.last(), u"El Siguiente campo Calle y No. de la tabla Direccion Fiscal es Requerido"_s);
    EXPECT_EQ(tab()->currentIndex(), kPagDomicilioFiscal);
    EXPECT_EQ(window->VerificaConValor(fiscal, kPagDomicilioFiscal, u"1"_s), 0);
}

TEST_F(WindowTest, TabCaptionsAreWholeAtTheWindowFontFrom1024PixelsOn) {
    auto* bar = qobject_cast<CaptionTabBar*>(tab()->tabBar());
    ASSERT_NE(bar, nullptr);
    const int margins = window->width() - tab()->width();
    // The window's width on a 1024-pixel screen, then wide enough for every caption on one line.
    for (int width : {1000, tabCaptionsWidth(tab()) + margins}) {
        window->resize(width, 700);
        QApplication::processEvents();
        ASSERT_EQ(window->width(), width);
        EXPECT_EQ(bar->font(), tab()->font());
        for (QToolButton* arrow : bar->findChildren<QToolButton*>()) EXPECT_FALSE(arrow->isVisible()) << width;
        EXPECT_TRUE(bar->tabRect(0).left() >= 0 && bar->tabRect(8).right() <= bar->width()) << width;
        int wrapped = 0;
        for (int i = 0; i < 9; ++i) {
            // The caption itself, on one line or broken at a blank, with room for every line.
            const QString shown = bar->shownText(i);
            EXPECT_EQ(QString(shown).replace(u'\n', u' '), bar->tabText(i));
            EXPECT_LE(shown.count(u'\n'), 1);
            wrapped += shown.contains(u'\n');
            const QSize size = bar->fontMetrics().size(0, shown);
            EXPECT_TRUE(bar->tabRect(i).width() >= size.width() && bar->tabRect(i).height() >= size.height()) << i;
        }
        EXPECT_EQ(wrapped > 0, width == 1000) << width;
    }
}

TEST(InterfaceFontTest, ChoosesAProportionalSansFamily) {
    const QStringList fixed{u"Liberation Mono"_s, u"DejaVu Sans Mono"_s, u"Monospace"_s};
    const auto isFixed = [&](const QString& f) { return fixed.contains(f); };
    const struct { QStringList installed; const char* expected; } cases[] = {
        {{"Liberation Mono", "Liberation Serif", "DejaVu Sans"}, "DejaVu Sans"},
        {{"Liberation Mono", "Liberation Sans", "Noto Sans"}, "Noto Sans"},
        {{"Liberation Mono", "DejaVu Sans Mono", "Liberation Serif", "Ubuntu"}, "Ubuntu"},
        {{"Monospace", "Liberation Serif"}, "Liberation Serif"}, {{"Liberation Mono", "Monospace"}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseInterfaceFamily(c.installed, isFixed), QString::fromLatin1(c.expected)) << c.expected;
}

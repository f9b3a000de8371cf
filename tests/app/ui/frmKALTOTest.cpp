// The main window driven through its real controls: layout, key preview, header filters, the
// procedure/modality page table, grid rows stored, refused, discarded and shown again.

#include "WindowFixture.h"

#include "app/MainDataSources.h"
#include "app/RequestRules.h"

#include <QCheckBox>
#include <QComboBox>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

TEST_F(WindowTest, TypedLettersAreStoredUpperCaseAndUnstorableTextIsKept) {
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

TEST_F(WindowTest, RfcIsFilteredByPositionAndCheckedOnLeaving) {
    auto* rfc = find<QLineEdit>(u"txtRFC"_s);
    focus(rfc);
    // Typed through the position filter (the rules' own tests try each position).
    type(u"a ab&x0a10229k-9b1"_s);
    EXPECT_EQ(rfc->text(), u" AB&010229K91"_s);
    // Enter moves on; leaving checks the date (2001 has no 29 February) and empties the field.
    key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), find(u"txtRSocial"_s));
    EXPECT_EQ(messages.texts(), QStringList{u"El mes que has escrito no tiene más de 28 días. Rectifica por favor"_s});
    EXPECT_EQ(rfc->text(), QString());
    EXPECT_TRUE(scalar(u"select rfc from imdint"_s).isNull());
    messages.clear();
    fill(u"txtRFC"_s, u" abc000229xy1"_s);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    EXPECT_EQ(scalar(u"select rfc from imdint"_s).toString(), u" ABC000229XY1"_s);
}

TEST_F(WindowTest, ProcedureAndModalityDecideThePagesAndTheRegistration) {
    auto* tramite = find<QComboBox>(u"cmbTramite"_s);
    auto* modalidad = find<QComboBox>(u"cmbModalidad"_s);
    // The page table is the rules' (tested there); the window shows it.
    const struct { int tramite, modalidad; QList<int> fuera; } casos[] = {{kProgramaNuevo, kServicios, {2, 3, 4}},
                                                                         {kAmpliacion, kIndustrial, {1, 2, 4, 5, 6, 8}}};
    for (const auto& c : casos) {
        tramite->setCurrentIndex(c.tramite);
        modalidad->setCurrentIndex(c.modalidad);
        for (int p = 0; p < 9; ++p) EXPECT_EQ(tab()->isTabEnabled(p), !c.fuera.contains(p)) << c.tramite << " " << p;
        EXPECT_TRUE(tab()->isTabEnabled(tab()->currentIndex()));
    }
    tramite->setCurrentIndex(kProgramaNuevo);

    // Ampliación enables the registration and the rework grid; Programa Nuevo empties and
    // disables them, on screen and on file.
    auto* numero = find<QLineEdit>(u"txtNumKALTO"_s);
    auto* anio = find<QLineEdit>(u"txtAnioKALTO"_s);
    EXPECT_FALSE(numero->isEnabled() || anio->isEnabled());
    tramite->setCurrentIndex(kAmpliacion);
    ASSERT_TRUE(numero->isEnabled() && anio->isEnabled() && window->dbAnx(3)->isEnabled());
    fill(u"txtNumKALTO"_s, u"4567"_s);
    fill(u"txtAnioKALTO"_s, u"2009"_s);
    EXPECT_EQ(scalar(u"select numekalto || '/' || aniokalto from imdint"_s).toString(), u"4567/2009"_s);
    tramite->setCurrentIndex(kProgramaNuevo);
    EXPECT_TRUE(numero->text().isEmpty() && anio->text().isEmpty());
    EXPECT_FALSE(numero->isEnabled() || anio->isEnabled() || window->dbAnx(3)->isEnabled());
    EXPECT_EQ(count(u"select count(*) from imdint where numekalto is null and aniokalto is null"_s), 1);

    // The desahogo box enables the folio; unchecking it empties the folio on screen and on file.
    auto* desahogo = find<QCheckBox>(u"chkDesahogo"_s);
    auto* folio = find<QLineEdit>(u"txtNDSol"_s);
    QTest::mouseClick(desahogo, Qt::LeftButton, {}, QPoint(5, desahogo->height() / 2));
    ASSERT_TRUE(folio->isEnabled());
    fill(u"txtNDSol"_s, u"a77"_s);
    QTest::mouseClick(desahogo, Qt::LeftButton, {}, QPoint(5, desahogo->height() / 2));
    EXPECT_FALSE(folio->isEnabled() || !folio->text().isEmpty());
    EXPECT_TRUE(scalar(u"select numefola from imdint"_s).isNull());
}

TEST_F(WindowTest, RowsAndHeaderAreShownAgainAfterARestartAndClearedOnlyWhenConfirmed) {
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

    reopen();
    BoundGrid* plantas = grid(u"dbPlanta"_s);
    ASSERT_EQ(plantas->rowCount(), 2);
    EXPECT_EQ(plantas->cellValue(1, 2).toString(), u"SALTILLO"_s);
    EXPECT_EQ(find<QLineEdit>(u"txtRSocial"_s)->text(), u"O'HARA"_s);
    EXPECT_EQ(find<QComboBox>(u"cmbModalidad"_s)->currentIndex(), kAlbergue);
    EXPECT_EQ(find<QComboBox>(u"cmbSector"_s)->currentIndex(), 2);

    // Clearing asks first: No keeps everything, Yes empties the tables and the screen.
    messages.answers = {false, true};
    click(u"cmdKALTO_0"_s);
    EXPECT_EQ(messages.last(), RequestRules::kMsgLimpia);
    EXPECT_EQ(count(u"select count(*) from imdir"_s), 2);
    EXPECT_EQ(find<QLineEdit>(u"txtRSocial"_s)->text(), u"O'HARA"_s);
    click(u"cmdKALTO_0"_s);
    EXPECT_EQ(count(u"select count(*) from imdir"_s), 0);
    EXPECT_EQ(plantas->rowCount(), 0);
    EXPECT_EQ(find<QLineEdit>(u"txtRSocial"_s)->text(), QString());
    EXPECT_TRUE(scalar(u"select apepatraz from imdint"_s).isNull());
    EXPECT_EQ(find<QComboBox>(u"cmbModalidad"_s)->currentIndex(), modalidadInicial);  // the lists shown again
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
    EXPECT_TRUE(fiscal->isEditing() && window->isVisible());
    EXPECT_TRUE(window->fuentes().dtsDireccion()->recordSet().isOpen());
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

TEST_F(WindowTest, AnnexGridsFollowTheStoredProducts) {
    // Two export products stored; an input being typed when the other is clicked is stored
    // under its own, and the inputs grid shows the other's.
    for (const QString& sql : {u"insert into imanexos values (1, 1, null, '84713001', 0)"_s,
                               u"insert into imanexos values (9, 1, 'OTRO', null, 0)"_s})
        ASSERT_TRUE(db.execute(sql)) << sql.toStdString();
    reopen();
    BoundGrid* mpe = grid(u"dbAnxMPE"_s);
    BoundGrid* insumos = window->dbAnx(0);
    tab()->setCurrentIndex(kPagMateriasPrimas);
    ASSERT_EQ(mpe->rowCount(), 2);
    ASSERT_EQ(mpe->currentRow(), 0);
    typeRow(insumos, {u"84713004"_s}, 2);
    QTest::mouseClick(mpe->viewport(), Qt::LeftButton, {}, mpe->visualRect(mpe->model()->index(1, 0)).center());
    QApplication::processEvents();
    EXPECT_EQ(count(u"select count(*) from imanexos where fraccion = '84713004' and id_subord = 1"_s), 1);
    EXPECT_EQ(insumos->rowCount(), 0);
}

// The main window's rules over a real data folder: binding, header handlers, saving, clearing.

#include "app/rules/MainDataSources.h"
#include "app/rules/RecordingMessages.h"
#include "app/rules/SolicitudRules.h"
#include "data/Database.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kalto;

namespace {

std::string s(const QString& t) { return t.toStdString(); }

class SolicitudTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString err;
        ASSERT_TRUE(folder.open(db, &err)) << s(err);
        fuentes = std::make_unique<MainDataSources>(&db);
        rules = std::make_unique<SolicitudRules>(db, *fuentes, estado, msgs);
        ASSERT_TRUE(rules->EstableceLigas(&listas, &err)) << s(err);
        estado.ventanaMostrada = true;
        msgs.clear();
    }

    // Rebinds as at load, after the tables were prepared behind the window's back.
    void recarga() {
        estado.ventanaMostrada = false;
        QString err;
        ASSERT_TRUE(rules->EstableceLigas(&listas, &err)) << s(err);
        estado.ventanaMostrada = true;
        msgs.clear();
    }

    QVariant dint(const QString& columna) { return db.scalar(QStringLiteral("select %1 from imdint").arg(columna)); }
    int filas(const QString& tabla) { return db.scalar(QStringLiteral("select count(*) from %1").arg(tabla)).toInt(); }
    void exec(const QString& sql, const QVariantList& params = {}) {
        QString err;
        ASSERT_TRUE(db.execute(sql, params, &err)) << s(sql) << ": " << s(err);
    }
    void controlada(const QString& rfc, double monto) {
        exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, idmcts) values (?, ?, ?, 'C')"),
             {QStringLiteral("EMPRESA ") + rfc.trimmed(), rfc, monto});
    }
    void servicio(int idserv) {
        exec(QStringLiteral("insert into imserv (idserv, servicio) values (?, ?)"), {idserv, QStringLiteral("SERVICIO")});
    }
    QList<RecordingMessages::Kind> kinds() const {
        QList<RecordingMessages::Kind> out;
        for (const auto& e : msgs.entries) out << e.kind;
        return out;
    }

    test::TestFolder folder;
    Database db;
    SolicitudState estado;
    RecordingMessages msgs;
    std::unique_ptr<MainDataSources> fuentes;
    std::unique_ptr<SolicitudRules> rules;
    ListasEncabezado listas;
};

}  // namespace

TEST_F(SolicitudTest, DataSourcesInWalkOrderWithTagsAndBoundSources) {
    const QStringList esperadas{
        "dtsDatosInt", "dtsSector", "dtsAnxAux", "dtsAncAux2", "dtsAnxH", "dtsAnxC", "dtsAnxR", "dtsAnxMPI",
        "dtsAnxMPE", "dtsSubmanufactura", "dtsEServicios", "dtsTerciarizacion", "dtsUM", "dtsServicio",
        "dtsCServ", "dtsProducto", "dtsAux", "dtsAux2", "dtsControl", "dtsRepLegal", "dtsPlanta", "dtsDireccion"};
    QStringList nombres;
    QStringList marcadas;
    for (auto* f : fuentes->all()) {
        nombres << f->name();
        if (f->tag() == QLatin1String("C")) marcadas << f->name();
    }
    EXPECT_EQ(nombres, esperadas);
    EXPECT_EQ(MainDataSources::names(), esperadas);
    EXPECT_EQ(marcadas, (QStringList{"dtsDatosInt", "dtsAnxH", "dtsAnxC", "dtsAnxR", "dtsAnxMPI", "dtsAnxMPE",
                                     "dtsSubmanufactura", "dtsTerciarizacion", "dtsProducto", "dtsControl",
                                     "dtsRepLegal", "dtsPlanta", "dtsDireccion"}));
    EXPECT_EQ(fuentes->find(QStringLiteral("DTSPLANTA")), fuentes->dtsPlanta());
    EXPECT_EQ(fuentes->find(QStringLiteral("dtsNada")), nullptr);

    // The binding replaces the designed sources of these.
    EXPECT_EQ(fuentes->dtsServicio()->recordSource(), QStringLiteral("imserv"));
    EXPECT_EQ(fuentes->dtsCServ()->recordSource(), QStringLiteral("imcserv"));
    EXPECT_EQ(fuentes->dtsSector()->recordSource(), QStringLiteral("imsector"));
    EXPECT_EQ(fuentes->dtsRepLegal()->recordSource(), QStringLiteral("imrlegal"));

    // Fiscal and plant addresses are told apart by their kind; the related companies too.
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('FL', 'FISCAL 1')"));
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('PL', 'PLANTA 1')"));
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('PL', 'PLANTA 2')"));
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('FC', 'OTRA')"));
    exec(QStringLiteral("insert into impects (rsocial, idmcts) values ('S1', 'S')"));
    exec(QStringLiteral("insert into impects (rsocial, idmcts) values ('M1', 'M')"));
    QString err;
    ASSERT_TRUE(fuentes->refreshAll(&err)) << s(err);
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().count(), 1);
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().value(QStringLiteral("CALLEYNO")).toString(), "FISCAL 1");
    EXPECT_EQ(fuentes->dtsPlanta()->recordSet().count(), 2);
    EXPECT_EQ(fuentes->dtsEServicios()->recordSet().count(), 1);
    EXPECT_EQ(fuentes->dtsSubmanufactura()->recordSet().count(), 1);
    EXPECT_EQ(fuentes->dtsControl()->recordSet().count(), 0);

    fuentes->closeAll();
    for (auto* f : fuentes->all()) EXPECT_FALSE(f->recordSet().isOpen()) << s(f->name());
}

TEST_F(SolicitudTest, ListsFromTheCatalogues) {
    EXPECT_EQ(listas.tramites, (QStringList{"Programa Nuevo", "Ampliación"}));
    EXPECT_EQ(listas.modalidades,
              (QStringList{"Industrial", "Servicios", "Terciarización", "Controladora", "Albergue"}));
    ASSERT_EQ(listas.sectores.size(), filas(QStringLiteral("imsector")));
    EXPECT_EQ(listas.sectores.first().texto, QStringLiteral("INDUSTRIA ELÉCTRICA"));
    EXPECT_EQ(listas.sectores.first().codigo.toInt(), 1);
    ASSERT_EQ(listas.servicios.size(), filas(QStringLiteral("imcserv")));
    EXPECT_EQ(listas.servicios.first(), QStringLiteral("CLASIFICACIÓN DE MERCANCÍAS DE EXPORTACIÓN"));

    const QList<ListEntry> unidades = rules->LlenaListas();
    ASSERT_EQ(unidades.size(), filas(QStringLiteral("imunidmd")));
    EXPECT_EQ(unidades.first().texto, QStringLiteral("KILOGRAMO"));
    EXPECT_EQ(unidades.first().codigo.toString().trimmed(), QStringLiteral("1"));
}

TEST_F(SolicitudTest, LoadRestoresTheStoredHeader) {
    const int ultimo = static_cast<int>(listas.sectores.size()) - 1;
    const QVariant tercero = listas.sectores.at(2).codigo;

    // Procedure from idtra; modality by position; sector by item code.
    exec(QStringLiteral("update imdint set idtra = 4, idmoda = 2, idsectorm = ?, rfc = ' ABC010101XY1', dprev = 1,"
                        " numefola = '123', aniofola = '2004'"),
         {tercero});
    recarga();
    EXPECT_EQ(listas.tramiteIndice, kProgramaNuevo);
    EXPECT_EQ(listas.modalidadIndice, kTerciarizacion);
    EXPECT_EQ(listas.sectorIndice, 2);
    EXPECT_EQ(estado.tramite, kProgramaNuevo);
    EXPECT_EQ(estado.modalidad, kTerciarizacion);
    EXPECT_EQ(estado.sectorCodigo.toInt(), tercero.toInt());
    EXPECT_EQ(estado.rfc, QStringLiteral(" ABC010101XY1"));
    EXPECT_TRUE(estado.desahogo);
    EXPECT_TRUE(estado.folioHabilitado);
    EXPECT_EQ(estado.numFolio, QStringLiteral("123"));
    EXPECT_FALSE(estado.registroHabilitado);
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kTerciarizacion));
    EXPECT_TRUE(msgs.entries.isEmpty());
    // The quiet saves of the load keep the stored codes.
    EXPECT_EQ(dint(QStringLiteral("idtra")).toInt(), 4);
    EXPECT_EQ(dint(QStringLiteral("idmoda")).toInt(), 2);

    for (int code : {1, 2, 3}) {
        exec(QStringLiteral("update imdint set idtra = ?, idmoda = 9, idsectorm = 99999"), {code});
        recarga();
        EXPECT_EQ(listas.tramiteIndice, kAmpliacion) << code;
        EXPECT_TRUE(estado.registroHabilitado);
        EXPECT_EQ(listas.modalidadIndice, kAlbergue);  // no such position: the last
        EXPECT_EQ(listas.sectorIndice, ultimo);        // no such sector: the last
    }
    for (int code : {0, 5}) {
        exec(QStringLiteral("update imdint set idtra = ?, idmoda = null"), {code});
        recarga();
        EXPECT_EQ(listas.tramiteIndice, kProgramaNuevo) << code;
        EXPECT_EQ(listas.modalidadIndice, kIndustrial);  // null position: the first
    }

    // A stored new "Albergue" programme with no controlled companies opens without the
    // messages of the "Controladora" position passed on the way.
    exec(QStringLiteral("update imdint set idtra = 0, idmoda = 4"));
    recarga();
    EXPECT_EQ(estado.modalidad, kAlbergue);
    EXPECT_TRUE(msgs.entries.isEmpty()) << s(msgs.texts().join('|'));

    // A registered service of code 13 or more shows the description of the annex export products.
    EXPECT_FALSE(estado.descripcionEnAnxMPE);
    exec(QStringLiteral("update imdint set idmoda = 1"));
    servicio(13);
    recarga();
    EXPECT_TRUE(estado.descripcionEnAnxMPE);
}

TEST_F(SolicitudTest, IdtraStoredBySavePerProcedureAndServices) {
    struct Caso {
        int tramite;
        int idserv;  // 0: no service
        int idtra;
    };
    const Caso casos[] = {{kProgramaNuevo, 13, 4}, {kProgramaNuevo, 5, 5}, {kProgramaNuevo, 0, 0},
                          {kAmpliacion, 20, 2},    {kAmpliacion, 12, 3},    {kAmpliacion, 0, 1}};
    estado.modalidad = kIndustrial;
    for (const auto& c : casos) {
        exec(QStringLiteral("DELETE FROM imserv"));
        if (c.idserv) servicio(c.idserv);
        estado.tramite = c.tramite;
        msgs.clear();
        EXPECT_TRUE(rules->GuardaInformacion());
        EXPECT_EQ(dint(QStringLiteral("idtra")).toInt(), c.idtra) << c.tramite << " " << c.idserv;
        EXPECT_EQ(msgs.texts(), QStringList{SolicitudRules::kMsgGuardado});
    }
}

TEST_F(SolicitudTest, SaveWithoutSectorAndFolioYearKept) {
    // The user's folio year survives the save.
    rules->desahogoCambiado(true);
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::AnioFolio, QStringLiteral("2003")));
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::NumFolio, QStringLiteral("77")));

    estado.tramite = kProgramaNuevo;
    estado.modalidad = kAlbergue;
    estado.sectorCodigo = QVariant();
    exec(QStringLiteral("update imdint set idsectorm = 3"));
    exec(QStringLiteral("insert into imanexos (id_prod, descrip) values (7, 'SIN TIPO')"));
    msgs.clear();

    EXPECT_TRUE(rules->GuardaInformacion(QString()));
    EXPECT_EQ(dint(QStringLiteral("idsectorm")).toInt(), 0);
    EXPECT_EQ(dint(QStringLiteral("idmoda")).toInt(), kAlbergue);
    EXPECT_EQ(dint(QStringLiteral("idtra")).toInt(), 0);
    EXPECT_EQ(dint(QStringLiteral("aniofola")).toString(), QStringLiteral("2003"));
    EXPECT_EQ(dint(QStringLiteral("numefola")).toString(), QStringLiteral("77"));
    EXPECT_TRUE(dint(QStringLiteral("dprev")).toBool());
    // Annex rows without a kind become export products.
    EXPECT_EQ(db.scalar(QStringLiteral("select tipo_reg from imanexos where id_prod = 7")).toInt(), 1);
    ASSERT_EQ(msgs.entries.size(), 1);
    EXPECT_EQ(msgs.entries.first().kind, RecordingMessages::Kind::Exclamation);
    EXPECT_EQ(msgs.entries.first().text, QStringLiteral("La informacion ha sido guardada satisfactoriamente"));
    EXPECT_EQ(msgs.entries.first().title, QStringLiteral("KALTO"));
    EXPECT_EQ(rules->ultimaSentencia(), QStringLiteral("update imanexos set tipo_reg = 1 where tipo_reg is null"));

    // With a sector chosen its code is stored.
    estado.sectorCodigo = listas.sectores.at(1).codigo;
    EXPECT_TRUE(rules->GuardaInformacion());
    EXPECT_EQ(dint(QStringLiteral("idsectorm")).toInt(), listas.sectores.at(1).codigo.toInt());
    EXPECT_EQ(dint(QStringLiteral("aniofola")).toString(), QStringLiteral("2003"));
}

TEST_F(SolicitudTest, QuietSaveKeepsModalityAndShowsNothing) {
    exec(QStringLiteral("update imdint set idmoda = 2"));
    estado.tramite = kAmpliacion;
    estado.modalidad = kAlbergue;
    servicio(14);
    EXPECT_TRUE(rules->GuardaInformacion(QStringLiteral("0")));
    EXPECT_EQ(dint(QStringLiteral("idmoda")).toInt(), 2);
    EXPECT_EQ(dint(QStringLiteral("idtra")).toInt(), 2);  // the procedure code is stored in both modes
    EXPECT_TRUE(msgs.entries.isEmpty());
}

TEST_F(SolicitudTest, ControladoraRules) {
    estado.tramite = kProgramaNuevo;
    estado.modalidad = kControladora;
    exec(QStringLiteral("insert into imanexos (id_prod, descrip) values (3, 'SIN TIPO')"));

    // One cent under 500 million.
    controlada(QStringLiteral(" AAA010101AA1"), 250000000.00);
    controlada(QStringLiteral(" BBB010101BB2"), 249999999.99);
    EXPECT_FALSE(rules->GuardaInformacion());
    ASSERT_EQ(msgs.entries.size(), 1);
    EXPECT_EQ(msgs.entries.first().kind, RecordingMessages::Kind::Exclamation);
    EXPECT_EQ(msgs.last(), QStringLiteral("La modalidad KALTO seleccionada es Controladora de empresas. El monto de "
                                          "exportaciones debes ser mayor o igual a 500 millones. Rectifica por favor."));
    // Stopped before the annex normalisation; the codes before it are stored.
    EXPECT_TRUE(db.scalar(QStringLiteral("select tipo_reg from imanexos where id_prod = 3")).isNull());
    EXPECT_EQ(dint(QStringLiteral("idmoda")).toInt(), kControladora);

    // Exactly 500 million in two different companies passes both rules.
    exec(QStringLiteral("update impects set montoexp = 250000000 where rfc = ' BBB010101BB2'"));
    msgs.clear();
    EXPECT_TRUE(rules->GuardaInformacion());
    EXPECT_EQ(msgs.texts(), QStringList{SolicitudRules::kMsgGuardado});
    EXPECT_EQ(db.scalar(QStringLiteral("select tipo_reg from imanexos where id_prod = 3")).toInt(), 1);

    // 500 million from two rows of the same company: the amount passes, the RFC rule fails.
    exec(QStringLiteral("DELETE FROM impects"));
    controlada(QStringLiteral(" AAA010101AA1"), 300000000.00);
    controlada(QStringLiteral(" aaa010101aa1"), 200000000.00);
    msgs.clear();
    EXPECT_FALSE(rules->GuardaInformacion());
    EXPECT_EQ(msgs.texts(), QStringList{QStringLiteral(
                                "La modalidad KALTO seleccionada es Controladora de empresas. Deben registrarse por lo "
                                "menos 2 empresas controladas. Rectifica por favor.")});

    // Without controlled companies the empty sum passes; the RFC rule does not. The quiet
    // save of a modality change shows it at once.
    exec(QStringLiteral("DELETE FROM impects"));
    msgs.clear();
    rules->modalidadSeleccionada(kControladora);
    EXPECT_EQ(msgs.texts(), QStringList{SolicitudRules::kMsgEmpresasControladora});
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kControladora));

    // An extension skips both rules.
    controlada(QStringLiteral(" AAA010101AA1"), 1.00);
    estado.tramite = kAmpliacion;
    msgs.clear();
    EXPECT_TRUE(rules->GuardaInformacion());
    EXPECT_EQ(msgs.texts(), QStringList{SolicitudRules::kMsgGuardado});
}

TEST_F(SolicitudTest, BorraServiciosDecidesOnTheStoredModality) {
    estado.tramite = kProgramaNuevo;
    exec(QStringLiteral("update imdint set idmoda = 1"));
    servicio(5);

    // Stored "Servicios": the services stay, even when the screen shows another modality,
    // because the quiet save of the modality change does not store it.
    rules->BorraServicios();
    EXPECT_EQ(filas(QStringLiteral("imserv")), 1);
    rules->modalidadSeleccionada(kIndustrial);
    EXPECT_EQ(filas(QStringLiteral("imserv")), 1);
    EXPECT_EQ(dint(QStringLiteral("idmoda")).toInt(), 1);

    // After a full save of "Industrial" the next modality change removes them.
    ASSERT_TRUE(rules->GuardaInformacion());
    EXPECT_EQ(filas(QStringLiteral("imserv")), 1);
    rules->modalidadSeleccionada(kIndustrial);
    EXPECT_EQ(filas(QStringLiteral("imserv")), 0);
    EXPECT_EQ(fuentes->dtsServicio()->recordSet().count(), 0);

    for (int stored : {0, 2, 3, 4}) {
        servicio(20);
        exec(QStringLiteral("update imdint set idmoda = ?"), {stored});
        rules->BorraServicios();
        EXPECT_EQ(filas(QStringLiteral("imserv")), 0) << stored;
    }
}

TEST_F(SolicitudTest, ProcedureChoiceSetsFieldsGridsAndPages) {
    rules->tramiteSeleccionado(kAmpliacion);
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::NumKALTO, QStringLiteral("1234")));
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::AnioKALTO, QStringLiteral("2001")));
    EXPECT_TRUE(estado.registroHabilitado);
    EXPECT_TRUE(estado.retrabajoDisponible);
    EXPECT_FALSE(estado.eServiciosDisponible);
    EXPECT_EQ(dint(QStringLiteral("numekalto")).toString(), QStringLiteral("1234"));

    estado.modalidad = kServicios;
    rules->tramiteSeleccionado(kAmpliacion);
    EXPECT_EQ(estado.paginas, paginasDisponibles(kAmpliacion, kServicios));

    // Back to a new programme: registration emptied and disabled, rework unavailable, and
    // the service companies available again (a new "Servicios" programme needs them).
    rules->tramiteSeleccionado(kProgramaNuevo);
    EXPECT_FALSE(estado.registroHabilitado);
    EXPECT_TRUE(estado.numKALTO.isEmpty());
    EXPECT_TRUE(estado.anioKALTO.isEmpty());
    EXPECT_TRUE(dint(QStringLiteral("numekalto")).isNull());
    EXPECT_TRUE(dint(QStringLiteral("aniokalto")).isNull());
    EXPECT_FALSE(estado.retrabajoDisponible);
    EXPECT_TRUE(estado.eServiciosDisponible);
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kServicios));

    // Every row of the table through the handlers.
    for (int t : {kProgramaNuevo, kAmpliacion}) {
        rules->tramiteSeleccionado(t);
        for (int m = kIndustrial; m <= kAlbergue; ++m) {
            rules->modalidadSeleccionada(m);
            EXPECT_EQ(estado.paginas, paginasDisponibles(t, m)) << t << " " << m;
        }
    }
    EXPECT_EQ(fuentes->dtsAnxMPE()->recordSource(),
              QStringLiteral("Select * from imanexos where tipo_reg=1 and id_subord=0 "));
}

TEST_F(SolicitudTest, DesahogoUncheckedEmptiesTheFolio) {
    rules->desahogoCambiado(true);
    EXPECT_TRUE(estado.folioHabilitado);
    EXPECT_TRUE(dint(QStringLiteral("dprev")).toBool());
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::NumFolio, QStringLiteral("555")));
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::AnioFolio, QStringLiteral("2002")));
    EXPECT_EQ(dint(QStringLiteral("numefola")).toString(), QStringLiteral("555"));

    rules->desahogoCambiado(false);
    EXPECT_FALSE(estado.folioHabilitado);
    EXPECT_TRUE(estado.numFolio.isEmpty());
    EXPECT_TRUE(estado.anioFolio.isEmpty());
    EXPECT_FALSE(dint(QStringLiteral("dprev")).toBool());
    EXPECT_TRUE(dint(QStringLiteral("numefola")).isNull());
    EXPECT_TRUE(dint(QStringLiteral("aniofola")).isNull());
    EXPECT_EQ(rules->ultimaSentencia(), QStringLiteral("update imdint set numefola = null"));
    EXPECT_EQ(filas(QStringLiteral("imdint")), 1);
}

TEST_F(SolicitudTest, HeaderTextsAreBoundNotSpliced) {
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::RazonSocial, QStringLiteral("O'HARA Y ASOCIADOS")));
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::RFC, QStringLiteral(" OHA010101AB1")));
    EXPECT_EQ(dint(QStringLiteral("apepatraz")).toString(), QStringLiteral("O'HARA Y ASOCIADOS"));
    EXPECT_EQ(dint(QStringLiteral("rfc")).toString(), QStringLiteral(" OHA010101AB1"));
    EXPECT_EQ(estado.razonSocial, QStringLiteral("O'HARA Y ASOCIADOS"));
    ASSERT_TRUE(rules->guardaCampo(CampoEncabezado::RazonSocial, QString()));
    EXPECT_TRUE(dint(QStringLiteral("apepatraz")).isNull());
}

TEST_F(SolicitudTest, ClearingAnsweredNoChangesNothing) {
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('FL', 'CALLE 1')"));
    exec(QStringLiteral("insert into improd (id_prod, fraccion) values (1, '12345678')"));
    exec(QStringLiteral("update imdint set rfc = ' ABC010101XY1', idmoda = 2"));
    bool vaciados = false;
    rules->setVaciaTextos([&] { vaciados = true; });

    msgs.answers = {false};
    EXPECT_FALSE(rules->LimpiaInformacion());
    ASSERT_EQ(msgs.entries.size(), 1);
    EXPECT_EQ(msgs.entries.first().kind, RecordingMessages::Kind::Question);
    EXPECT_EQ(msgs.entries.first().text,
              QStringLiteral("Será eliminada toda la información de la solicitud. Estas seguro de continuar?"));
    EXPECT_FALSE(vaciados);
    EXPECT_EQ(filas(QStringLiteral("imdir")), 1);
    EXPECT_EQ(filas(QStringLiteral("improd")), 1);
    EXPECT_EQ(dint(QStringLiteral("rfc")).toString(), QStringLiteral(" ABC010101XY1"));
    EXPECT_EQ(dint(QStringLiteral("idmoda")).toInt(), 2);
}

TEST_F(SolicitudTest, ClearingAnsweredYesEmptiesTheRequest) {
    const QStringList catalogos{"imsector", "imcserv", "imunidmd", "csector", "activida", "prodabas"};
    QList<int> antes;
    for (const auto& c : catalogos) antes << filas(c);

    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('FL', 'CALLE 1')"));
    exec(QStringLiteral("insert into imrlegal (nomrepleg) values ('JUAN')"));
    controlada(QStringLiteral(" AAA010101AA1"), 10.0);
    exec(QStringLiteral("insert into improd (id_prod, fraccion) values (1, '12345678')"));
    servicio(3);
    exec(QStringLiteral("insert into imanexos (id_prod, tipo_reg, id_subord) values (1, 1, 0)"));
    exec(QStringLiteral("update imdint set rfc = ' ABC010101XY1', apepatraz = 'EMPRESA', idsectorm = 4, idtra = 3,"
                        " numekalto = '12', aniokalto = '2000', idmoda = 2, dprev = 1, numefola = '9',"
                        " aniofola = '2001'"));
    ASSERT_TRUE(fuentes->refreshAll());
    estado.rfc = QStringLiteral(" ABC010101XY1");
    bool vaciados = false;
    rules->setVaciaTextos([&] { vaciados = true; });

    msgs.answers = {true};
    EXPECT_TRUE(rules->LimpiaInformacion());
    EXPECT_TRUE(vaciados);
    EXPECT_TRUE(estado.rfc.isEmpty());
    for (const char* t : {"imdir", "imrlegal", "impects", "improd", "imserv", "imanexos"})
        EXPECT_EQ(filas(QString::fromLatin1(t)), 0) << t;
    for (int i = 0; i < catalogos.size(); ++i) EXPECT_EQ(filas(catalogos[i]), antes[i]) << s(catalogos[i]);

    ASSERT_EQ(filas(QStringLiteral("imdint")), 1);
    for (const char* c : {"idsectorm", "idtra", "idmoda"}) EXPECT_EQ(dint(QString::fromLatin1(c)).toInt(), 0) << c;
    EXPECT_FALSE(dint(QStringLiteral("dprev")).isNull());
    EXPECT_FALSE(dint(QStringLiteral("dprev")).toBool());
    for (const char* c : {"rfc", "apepatraz", "numekalto", "aniokalto", "numefola", "aniofola"})
        EXPECT_TRUE(dint(QString::fromLatin1(c)).isNull()) << c;
    // The grids' sources show the empty tables.
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().count(), 0);
    EXPECT_EQ(fuentes->dtsControl()->recordSet().count(), 0);

    // The window then rebinds: a new "Industrial" programme, the folio year left empty.
    ListasEncabezado l;
    ASSERT_TRUE(rules->EstableceLigas(&l));
    EXPECT_EQ(estado.tramite, kProgramaNuevo);
    EXPECT_EQ(estado.modalidad, kIndustrial);
    EXPECT_FALSE(estado.desahogo);
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kIndustrial));
    EXPECT_EQ(dint(QStringLiteral("idsectorm")).toInt(), l.sectores.at(l.sectorIndice).codigo.toInt());
    EXPECT_TRUE(dint(QStringLiteral("aniofola")).isNull());
    EXPECT_EQ(msgs.entries.size(), 1);  // only the question
}

TEST_F(SolicitudTest, BorraContenidoSolEmptiesTheFirstTables) {
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('FL', 'CALLE 1')"));
    exec(QStringLiteral("insert into imrlegal (nomrepleg) values ('JUAN')"));
    exec(QStringLiteral("insert into improd (id_prod, fraccion) values (1, '12345678')"));
    ASSERT_TRUE(fuentes->refreshAll());
    ASSERT_EQ(fuentes->dtsRepLegal()->recordSet().count(), 1);
    rules->BorraContenidoSol(2);
    EXPECT_EQ(filas(QStringLiteral("imdir")), 0);
    EXPECT_EQ(filas(QStringLiteral("imrlegal")), 0);
    EXPECT_EQ(filas(QStringLiteral("improd")), 1);
    EXPECT_EQ(fuentes->dtsRepLegal()->recordSet().count(), 0);
    EXPECT_EQ(rules->ultimaSentencia(), QStringLiteral("DELETE FROM imrlegal"));
}

TEST_F(SolicitudTest, TabChangeMovesTheFiscalAddressAndRerunsTheAnnexProducts) {
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('FL', 'UNO')"));
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('FL', 'DOS')"));
    ASSERT_TRUE(fuentes->refreshAll());
    estado.productoDisponible = false;
    exec(QStringLiteral("insert into imanexos (id_prod, tipo_reg, id_subord) values (1, 1, 0)"));

    rules->cambioPagina(kPagPlantas);
    EXPECT_TRUE(estado.productoDisponible);
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().value(QStringLiteral("CALLEYNO")).toString(), "DOS");
    EXPECT_EQ(fuentes->dtsAnxMPE()->recordSet().count(), 1);
    rules->cambioPagina(kPagDomicilioFiscal);
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().value(QStringLiteral("CALLEYNO")).toString(), "UNO");
}

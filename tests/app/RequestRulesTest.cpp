// The main window's rules over a real data folder: loading, saving, services, header handlers, clearing.

#include "support/RequestFixture.h"

#include <algorithm>

using namespace kalto;
using namespace Qt::StringLiterals;

namespace {

class SolicitudTest : public test::RequestFixture {
protected:
    void SetUp() override {
        RequestFixture::SetUp();
        reload(&listas);
    }
    void controlada(const char* rfc, double monto) {
        exec(u"insert into impects (rsocial, rfc, montoexp, idmcts) values ('E', ?, ?, 'C')"_s,
             {QString::fromLatin1(rfc), monto});
    }
    void servicio(int id) { exec(u"insert into imserv (idserv, servicio) values (?, 'S')"_s, {id}); }

    ListasEncabezado listas;
};

}  // namespace

TEST_F(SolicitudTest, LoadRestoresTheStoredHeader) {
    // Procedure from idtra; modality by position (unmatched: the last, null: the first); sector
    // by item code (unmatched: the last). The load's quiet saves keep the codes.
    const int last = int(listas.sectores.size()) - 1;
    const struct {
        const char* set;
        int sector, tramite, modalidad, sectorIndice;  // sector: an index of the list, -1 a code not in it
    } casos[] = {{"idtra = 3, idmoda = 9", -1, kAmpliacion, kAlbergue, last},
                 {"idtra = 5, idmoda = null", -1, kProgramaNuevo, kIndustrial, last},
                 {"idtra = 4, idmoda = 2, dprev = 1", 2, kProgramaNuevo, kTerciarizacion, 2}};
    for (const auto& c : casos) {
        const QVariant sector = c.sector < 0 ? QVariant(99999) : listas.sectores[c.sector].codigo;
        exec(u"update imdint set idsectorm = ?, "_s + QLatin1String(c.set), {sector});
        reload(&listas);
        EXPECT_TRUE(listas.tramiteIndice == c.tramite && listas.modalidadIndice == c.modalidad &&
                    listas.sectorIndice == c.sectorIndice) << c.set;
    }
    EXPECT_TRUE(estado.desahogo && estado.folioHabilitado && dint("idtra").toInt() == 4 && dint("idmoda").toInt() == 2);
    // A new "Albergue" opens without the messages of the "Controladora" position passed on the way.
    exec(u"update imdint set idtra = 0, idmoda = 4"_s);
    reload(&listas);
    EXPECT_EQ(estado.modalidad, kAlbergue);
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
}

TEST_F(SolicitudTest, SavingStoresTheHeader) {
    // idtra per procedure and registered services (code 13 and above, or below; 0: no service).
    const struct { int tramite, idserv, idtra; } casos[] = {
        {kProgramaNuevo, 13, 4}, {kProgramaNuevo, 5, 5}, {kProgramaNuevo, 0, 0},
        {kAmpliacion, 20, 2},    {kAmpliacion, 12, 3},    {kAmpliacion, 0, 1}};
    for (const auto& c : casos) {
        exec(u"DELETE FROM imserv"_s);
        if (c.idserv) servicio(c.idserv);
        estado.tramite = c.tramite;
        EXPECT_TRUE(rules->GuardaInformacion());
        EXPECT_EQ(dint("idtra").toInt(), c.idtra) << c.tramite << " " << c.idserv;
    }
    // No sector stores 0; the folio year typed by the user is not overwritten.
    rules->desahogoCambiado(true);
    ASSERT_TRUE(rules->storeField(HeaderField::FolioYear, u"2003"_s));
    estado.modalidad = kAlbergue;
    estado.sectorCodigo = QVariant();
    exec(u"update imdint set idsectorm = 3"_s);
    msgs.clear();
    EXPECT_TRUE(rules->GuardaInformacion());
    EXPECT_TRUE(dint("idsectorm").toInt() == 0 && dint("idmoda").toInt() == kAlbergue && dint("aniofola") == u"2003"_s);
    ASSERT_EQ(msgs.texts(), QStringList{RequestRules::kMsgGuardado});
    EXPECT_TRUE(msgs.entries[0].kind == RecordingMessages::Kind::Exclamation && msgs.entries[0].title == "KALTO");
    // A statement that fails (a code the table cannot hold) is told instead of the success message.
    estado.sectorCodigo = 1234567;
    msgs.clear();
    EXPECT_FALSE(rules->GuardaInformacion());
    ASSERT_EQ(msgs.entries.size(), 1);
    EXPECT_TRUE(msgs.last().startsWith(RequestRules::kMsgNoGuardado) && msgs.last().contains("IDSECTORM"))
        << msgs.last().toStdString();
    // The quiet save shows nothing and does not store the modality.
    estado.modalidad = kServicios;
    msgs.clear();
    EXPECT_TRUE(rules->GuardaInformacion(u"0"_s));
    EXPECT_TRUE(dint("idmoda").toInt() == kAlbergue && msgs.entries.isEmpty());
}

TEST_F(SolicitudTest, ControladoraRules) {
    // A new programme: one cent under 500 million; exactly 500 million in two companies; the
    // same company twice (case aside). An extension skips both rules.
    estado.modalidad = kControladora;
    controlada(" AAA010101AA1", 250000000.00);
    controlada(" BBB010101BB2", 249999999.99);
    const struct { const char* sql; int tramite; QString message; } casos[] = {
        {"", kProgramaNuevo, RequestRules::kMsgMontoControladora},
        {"update impects set montoexp = 250000000 where rfc = ' BBB010101BB2'", kProgramaNuevo, RequestRules::kMsgGuardado},
        {"update impects set rfc = ' aaa010101aa1' where rfc = ' BBB010101BB2'", kProgramaNuevo,
         RequestRules::kMsgEmpresasControladora},
        {"update impects set montoexp = 1", kAmpliacion, RequestRules::kMsgGuardado},
    };
    for (const auto& c : casos) {
        if (*c.sql) exec(QString::fromLatin1(c.sql));
        estado.tramite = c.tramite;
        msgs.clear();
        EXPECT_EQ(rules->GuardaInformacion(), c.message == RequestRules::kMsgGuardado) << c.sql;
        EXPECT_EQ(msgs.texts(), QStringList{c.message}) << c.sql;
    }
}

TEST_F(SolicitudTest, BorraServiciosDecidesOnTheStoredModality) {
    for (int stored : {0, 2, 3, 4, 1}) {  // ends with "Servicios" stored and its service kept
        exec(u"DELETE FROM imserv"_s);
        servicio(20);
        exec(u"update imdint set idmoda = ?"_s, {stored});
        rules->BorraServicios();
        EXPECT_EQ(rows(u"imserv"_s), stored == kServicios ? 1 : 0) << stored;
    }
    // "Servicios" stored: a modality change keeps the services until a full save stores "Industrial".
    estado.tramite = kProgramaNuevo;
    rules->modalidadSeleccionada(kIndustrial);
    EXPECT_EQ(rows(u"imserv"_s), 1);
    ASSERT_TRUE(rules->GuardaInformacion());
    rules->modalidadSeleccionada(kIndustrial);
    EXPECT_TRUE(rows(u"imserv"_s) == 0 && fuentes->dtsServicio()->recordSet().count() == 0);
}

TEST_F(SolicitudTest, HeaderHandlersNeverShowNoPage) {
    // At every notification some page is shown: otherwise the tab strip leaves the user's page.
    int none = 0;
    QObject::connect(&estado, &RequestState::changed, [&] {
        none += std::none_of(estado.paginas.begin(), estado.paginas.end(), [](bool p) { return p; });
    });
    // Extension: registration enabled, rework available, service companies not.
    rules->tramiteSeleccionado(kAmpliacion);
    ASSERT_TRUE(rules->storeField(HeaderField::RegistrationNumber, u"1234"_s));
    EXPECT_TRUE(estado.registroHabilitado && estado.retrabajoDisponible && !estado.eServiciosDisponible);
    // Back to a new programme: registration emptied, and the service companies available again.
    rules->modalidadSeleccionada(kServicios);
    rules->tramiteSeleccionado(kProgramaNuevo);
    EXPECT_FALSE(estado.registroHabilitado || estado.retrabajoDisponible);
    EXPECT_TRUE(estado.numKALTO.isEmpty() && dint("numekalto").isNull() && estado.eServiciosDisponible);
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kServicios));
    rules->modalidadSeleccionada(kControladora);
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kControladora));
    // Desahogo unchecked empties the folio on screen and in imdint.
    rules->desahogoCambiado(true);
    EXPECT_TRUE(dint("dprev").toBool());
    ASSERT_TRUE(rules->storeField(HeaderField::FolioNumber, u"555"_s));
    ASSERT_TRUE(rules->storeField(HeaderField::FolioYear, u"2002"_s));
    rules->desahogoCambiado(false);
    EXPECT_FALSE(estado.folioHabilitado || dint("dprev").toBool());
    EXPECT_TRUE(estado.numFolio.isEmpty() && estado.anioFolio.isEmpty() && dint("numefola").isNull() &&
                dint("aniofola").isNull());
    EXPECT_EQ(none, 0);
}

TEST_F(SolicitudTest, ClearingAsksFirst) {
    ASSERT_TRUE(test::writeCompleteRequest(db));
    controlada(" AAA010101AA1", 10.0);
    servicio(3);
    exec(QStringLiteral("update imdint set idsectorm = 4, idtra = 3, numekalto = '12', aniokalto = '2000', idmoda = 2, "
                        "dprev = 1, numefola = '9', aniofola = '2001'"));
    int vaciados = 0;
    rules->setVaciaTextos([&] { ++vaciados; });
    const QStringList tablas{"imdir", "imrlegal", "impects", "improd", "imserv", "imanexos"};
    // No (Enter's answer): nothing changes.
    msgs.answers = {false};
    EXPECT_FALSE(rules->LimpiaInformacion());
    ASSERT_EQ(msgs.texts(), QStringList{QStringLiteral("Será eliminada toda la información de la solicitud. "
                                                       "Estas seguro de continuar?")});
    EXPECT_TRUE(msgs.entries[0].presetAnswer == Messages::Answer::No && vaciados == 0);
    for (const auto& t : tablas) EXPECT_GT(rows(t), 0) << t.toStdString();
    // Yes: request tables empty, the one imdint row reset, the state as at a new request.
    msgs.answers = {true};
    EXPECT_TRUE(rules->LimpiaInformacion() && vaciados == 1);
    for (const auto& t : tablas) EXPECT_EQ(rows(t), 0) << t.toStdString();
    ASSERT_EQ(rows(u"imdint"_s), 1);
    for (const char* c : {"idsectorm", "idtra", "idmoda"}) EXPECT_EQ(dint(c).toInt(), 0) << c;
    EXPECT_FALSE(dint("dprev").isNull() || dint("dprev").toBool());
    for (const char* c : {"rfc", "apepatraz", "numekalto", "aniokalto", "numefola", "aniofola"})
        EXPECT_TRUE(dint(c).isNull()) << c;
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().count(), 0);
    ASSERT_TRUE(rules->EstableceLigas(&listas));
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kIndustrial));
}

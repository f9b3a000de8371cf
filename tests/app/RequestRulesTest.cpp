// The main window's rules over a real data folder: loading, saving, services, header handlers, clearing.

#include "app/MainDataSources.h"
#include "support/RecordingMessages.h"
#include "app/RequestRules.h"
#include "data/Database.h"
#include "support/RequestFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace kalto;

namespace {

class SolicitudTest : public test::RequestFixture {
protected:
    void SetUp() override {
        RequestFixture::SetUp();
        reload(&listas);
    }
    void recarga() { reload(&listas); }
    int filas(const QString& tabla) { return rows(tabla); }
    void controlada(const char* rfc, double monto) {
        exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, idmcts) values ('E', ?, ?, 'C')"),
             {QString::fromLatin1(rfc), monto});
    }
    void servicio(int id) { exec(QStringLiteral("insert into imserv (idserv, servicio) values (?, 'S')"), {id}); }

    ListasEncabezado listas;
};

const QString kGuardado = QStringLiteral("La informacion ha sido guardada satisfactoriamente");

}  // namespace

TEST_F(SolicitudTest, LoadRestoresTheStoredHeader) {
    // Procedure from idtra; modality by position; sector by item code. The load's quiet saves keep the codes.
    exec(QStringLiteral("update imdint set idtra = 4, idmoda = 2, idsectorm = ?, dprev = 1"),
         {listas.sectores[2].codigo});
    recarga();
    EXPECT_EQ(listas.tramiteIndice, kProgramaNuevo);
    EXPECT_EQ(listas.modalidadIndice, kTerciarizacion);
    EXPECT_EQ(listas.sectorIndice, 2);
    EXPECT_TRUE(estado.desahogo && estado.folioHabilitado);
    EXPECT_TRUE(dint("idtra").toInt() == 4 && dint("idmoda").toInt() == 2);
    // Unmatched modality and sector select the last entry; a null modality the first.
    exec(QStringLiteral("update imdint set idtra = 3, idmoda = 9, idsectorm = 99999"));
    recarga();
    EXPECT_EQ(listas.tramiteIndice, kAmpliacion);
    EXPECT_EQ(listas.modalidadIndice, kAlbergue);
    EXPECT_EQ(listas.sectorIndice, listas.sectores.size() - 1);
    exec(QStringLiteral("update imdint set idtra = 5, idmoda = null"));
    recarga();
    EXPECT_EQ(listas.tramiteIndice, kProgramaNuevo);
    EXPECT_EQ(listas.modalidadIndice, kIndustrial);
    // A new "Albergue" opens without the messages of the "Controladora" position passed on the way.
    exec(QStringLiteral("update imdint set idtra = 0, idmoda = 4"));
    recarga();
    EXPECT_EQ(estado.modalidad, kAlbergue);
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
}

TEST_F(SolicitudTest, SavingStoresTheHeader) {
    // idtra per procedure and registered services (code 13 and above, or below).
    const struct {
        int tramite, idserv, idtra;  // idserv 0: no service
    } casos[] = {{kProgramaNuevo, 13, 4}, {kProgramaNuevo, 5, 5}, {kProgramaNuevo, 0, 0},
                 {kAmpliacion, 20, 2},    {kAmpliacion, 12, 3},    {kAmpliacion, 0, 1}};
    for (const auto& c : casos) {
        exec(QStringLiteral("DELETE FROM imserv"));
        if (c.idserv) servicio(c.idserv);
        estado.tramite = c.tramite;
        EXPECT_TRUE(rules->GuardaInformacion());
        EXPECT_EQ(dint("idtra").toInt(), c.idtra) << c.tramite << " " << c.idserv;
    }
    // No sector stores 0; the folio year typed by the user is not overwritten.
    rules->desahogoCambiado(true);
    ASSERT_TRUE(rules->storeField(HeaderField::FolioYear, QStringLiteral("2003")));
    estado.modalidad = kAlbergue;
    estado.sectorCodigo = QVariant();
    exec(QStringLiteral("update imdint set idsectorm = 3"));
    msgs.clear();
    EXPECT_TRUE(rules->GuardaInformacion());
    EXPECT_EQ(dint("idsectorm").toInt(), 0);
    EXPECT_EQ(dint("idmoda").toInt(), kAlbergue);
    EXPECT_EQ(dint("aniofola").toString(), QStringLiteral("2003"));
    ASSERT_EQ(msgs.texts(), QStringList{kGuardado});
    EXPECT_TRUE(msgs.entries[0].kind == RecordingMessages::Kind::Exclamation && msgs.entries[0].title == "KALTO");
    // A statement that fails (a code the table cannot hold) is told instead of the success message.
    estado.sectorCodigo = 1234567;
    msgs.clear();
    EXPECT_FALSE(rules->GuardaInformacion());
    ASSERT_EQ(msgs.entries.size(), 1);
    EXPECT_TRUE(msgs.last().startsWith(RequestRules::kMsgNoGuardado) && msgs.last().contains("IDSECTORM"))
        << msgs.last().toStdString();
    EXPECT_EQ(dint("idsectorm").toInt(), 0);
    // The quiet save shows nothing and does not store the modality.
    estado.modalidad = kServicios;
    msgs.clear();
    EXPECT_TRUE(rules->GuardaInformacion(QStringLiteral("0")));
    EXPECT_EQ(dint("idmoda").toInt(), kAlbergue);
    EXPECT_TRUE(msgs.entries.isEmpty());
    // Header texts are bound, never spliced; an empty text stores null.
    ASSERT_TRUE(rules->storeField(HeaderField::CompanyName, QStringLiteral("O'HARA Y ASOCIADOS")));
    EXPECT_EQ(dint("apepatraz").toString(), QStringLiteral("O'HARA Y ASOCIADOS"));
    ASSERT_TRUE(rules->storeField(HeaderField::CompanyName, QString()));
    EXPECT_TRUE(dint("apepatraz").isNull());
}

TEST_F(SolicitudTest, ControladoraRules) {
    estado.tramite = kProgramaNuevo;
    estado.modalidad = kControladora;
    // One cent under 500 million.
    controlada(" AAA010101AA1", 250000000.00);
    controlada(" BBB010101BB2", 249999999.99);
    EXPECT_FALSE(rules->GuardaInformacion());
    EXPECT_EQ(msgs.texts(), QStringList{QStringLiteral("La modalidad KALTO seleccionada es Controladora de empresas. "
                                                       "El monto de exportaciones debes ser mayor o igual a 500 "
                                                       "millones. Rectifica por favor.")});
    // Exactly 500 million in two companies passes both rules.
    exec(QStringLiteral("update impects set montoexp = 250000000 where rfc = ' BBB010101BB2'"));
    msgs.clear();
    EXPECT_TRUE(rules->GuardaInformacion());
    EXPECT_EQ(msgs.texts(), QStringList{kGuardado});
    // Two rows of the same company (case aside): the amount passes, the RFC rule does not.
    exec(QStringLiteral("update impects set rfc = ' aaa010101aa1' where rfc = ' BBB010101BB2'"));
    msgs.clear();
    EXPECT_FALSE(rules->GuardaInformacion());
    EXPECT_EQ(msgs.texts(), QStringList{QStringLiteral("La modalidad KALTO seleccionada es Controladora de empresas. "
                                                       "Deben registrarse por lo menos 2 empresas controladas. "
                                                       "Rectifica por favor.")});
    // An extension skips both rules.
    exec(QStringLiteral("update impects set montoexp = 1"));
    estado.tramite = kAmpliacion;
    msgs.clear();
    EXPECT_TRUE(rules->GuardaInformacion());
    EXPECT_EQ(msgs.texts(), QStringList{kGuardado});
}

TEST_F(SolicitudTest, BorraServiciosDecidesOnTheStoredModality) {
    for (int stored : {0, 2, 3, 4, 1}) {  // ends with "Servicios" stored and its service kept
        exec(QStringLiteral("DELETE FROM imserv"));
        servicio(20);
        exec(QStringLiteral("update imdint set idmoda = ?"), {stored});
        rules->BorraServicios();
        EXPECT_EQ(filas(QStringLiteral("imserv")), stored == kServicios ? 1 : 0) << stored;
    }
    // "Servicios" stored: a modality change keeps the services until a full save stores "Industrial".
    estado.tramite = kProgramaNuevo;
    rules->modalidadSeleccionada(kIndustrial);
    EXPECT_EQ(filas(QStringLiteral("imserv")), 1);
    ASSERT_TRUE(rules->GuardaInformacion());
    rules->modalidadSeleccionada(kIndustrial);
    EXPECT_EQ(filas(QStringLiteral("imserv")), 0);
    EXPECT_EQ(fuentes->dtsServicio()->recordSet().count(), 0);
}

TEST_F(SolicitudTest, HeaderHandlers) {
    // Extension: registration enabled, rework available, service companies not.
    rules->tramiteSeleccionado(kAmpliacion);
    ASSERT_TRUE(rules->storeField(HeaderField::RegistrationNumber, QStringLiteral("1234")));
    EXPECT_TRUE(estado.registroHabilitado && estado.retrabajoDisponible);
    EXPECT_FALSE(estado.eServiciosDisponible);
    // Back to a new programme: registration emptied, and the service companies available again.
    estado.modalidad = kServicios;
    rules->tramiteSeleccionado(kProgramaNuevo);
    EXPECT_FALSE(estado.registroHabilitado || estado.retrabajoDisponible);
    EXPECT_TRUE(estado.numKALTO.isEmpty() && dint("numekalto").isNull());
    EXPECT_TRUE(estado.eServiciosDisponible);
    rules->modalidadSeleccionada(kControladora);
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kControladora));
    // Desahogo unchecked empties the folio on screen and in imdint.
    rules->desahogoCambiado(true);
    EXPECT_TRUE(dint("dprev").toBool());
    ASSERT_TRUE(rules->storeField(HeaderField::FolioNumber, QStringLiteral("555")));
    ASSERT_TRUE(rules->storeField(HeaderField::FolioYear, QStringLiteral("2002")));
    rules->desahogoCambiado(false);
    EXPECT_FALSE(estado.folioHabilitado || dint("dprev").toBool());
    EXPECT_TRUE(estado.numFolio.isEmpty() && estado.anioFolio.isEmpty());
    EXPECT_TRUE(dint("numefola").isNull() && dint("aniofola").isNull());
}

TEST_F(SolicitudTest, ClearingAsksFirst) {
    const QStringList catalogos{"imsector", "imcserv", "imunidmd", "csector", "activida", "prodabas"};
    QList<int> antes;
    for (const auto& c : catalogos) antes << filas(c);
    ASSERT_TRUE(test::writeCompleteRequest(db));
    controlada(" AAA010101AA1", 10.0);
    servicio(3);
    exec(QStringLiteral("update imdint set idsectorm = 4, idtra = 3, numekalto = '12', aniokalto = '2000', idmoda = 2, "
                        "dprev = 1, numefola = '9', aniofola = '2001'"));
    int vaciados = 0;
    rules->setVaciaTextos([&] { ++vaciados; });
    const QStringList tablas{"imdir", "imrlegal", "impects", "improd", "imserv", "imanexos"};
    // No: nothing changes.
    msgs.answers = {false};
    EXPECT_FALSE(rules->LimpiaInformacion());
    ASSERT_EQ(msgs.texts(), QStringList{QStringLiteral("Será eliminada toda la información de la solicitud. "
                                                       "Estas seguro de continuar?")});
    EXPECT_EQ(msgs.entries[0].kind, RecordingMessages::Kind::Question);
    EXPECT_EQ(msgs.entries[0].presetAnswer, Messages::Answer::No);  // Enter keeps the request
    EXPECT_EQ(vaciados, 0);
    for (const auto& t : tablas) EXPECT_GT(filas(t), 0) << t.toStdString();
    // Yes: request tables empty, catalogues untouched, the one imdint row reset.
    msgs.answers = {true};
    EXPECT_TRUE(rules->LimpiaInformacion());
    EXPECT_EQ(vaciados, 1);
    for (const auto& t : tablas) EXPECT_EQ(filas(t), 0) << t.toStdString();
    for (int i = 0; i < catalogos.size(); ++i) EXPECT_EQ(filas(catalogos[i]), antes[i]) << catalogos[i].toStdString();
    ASSERT_EQ(filas(QStringLiteral("imdint")), 1);
    for (const char* c : {"idsectorm", "idtra", "idmoda"}) EXPECT_EQ(dint(c).toInt(), 0) << c;
    EXPECT_FALSE(dint("dprev").isNull() || dint("dprev").toBool());
    for (const char* c : {"rfc", "apepatraz", "numekalto", "aniokalto", "numefola", "aniofola"})
        EXPECT_TRUE(dint(c).isNull()) << c;
    EXPECT_EQ(fuentes->dtsDireccion()->recordSet().count(), 0);
}

TEST_F(SolicitudTest, ThePagesShownNeverPassThroughNoneAvailable) {
    // Whatever the window shows at each notification: never a state without any page, which
    // would make the tab strip leave the page the user is on.
    int none = 0;
    QObject::connect(&estado, &RequestState::changed, [&] {
        none += std::none_of(estado.paginas.begin(), estado.paginas.end(), [](bool p) { return p; });
    });
    rules->tramiteSeleccionado(kAmpliacion);
    rules->modalidadSeleccionada(kServicios);
    rules->tramiteSeleccionado(kProgramaNuevo);
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kServicios));
    msgs.answers = {true};
    ASSERT_TRUE(rules->LimpiaInformacion());
    ASSERT_TRUE(rules->EstableceLigas(&listas));
    EXPECT_EQ(estado.paginas, paginasDisponibles(kProgramaNuevo, kIndustrial));
    EXPECT_EQ(none, 0);
}

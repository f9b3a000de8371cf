#include "app/RequestRules.h"

#include "app/MainDataSources.h"
#include "core/Messages.h"
#include "core/Numbers.h"
#include "data/Database.h"
#include "data/TableCatalogue.h"
#include "data/mdlKALTO.h"

#include <cmath>

namespace kalto {

const QString RequestRules::kMsgGuardado = QStringLiteral("La informacion ha sido guardada satisfactoriamente");
const QString RequestRules::kMsgNoGuardado =
    QStringLiteral("No se pudo guardar toda la información de la solicitud:\n");
const QString RequestRules::kMsgMontoControladora = QStringLiteral(
    "La modalidad KALTO seleccionada es Controladora de empresas. El monto de exportaciones debes ser mayor o "
    "igual a 500 millones. Rectifica por favor.");
const QString RequestRules::kMsgEmpresasControladora = QStringLiteral(
    "La modalidad KALTO seleccionada es Controladora de empresas. Deben registrarse por lo menos 2 empresas "
    "controladas. Rectifica por favor.");
const QString RequestRules::kMsgLimpia =
    QStringLiteral("Será eliminada toda la información de la solicitud. Estas seguro de continuar?");

// ----- free rules -----

namespace {

QString textoComparable(const QVariant& v) {
    if (v.isNull()) return QString();
    // Whole numbers stored as floating point compare as integers ("5", not "5.0").
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qlonglong>(d));
    }
    return v.toString().trimmed().toUpper();
}

// idtra stored by the save: procedure index and the counts of imserv rows with idserv >= 13
// and idserv < 13. "Programa Nuevo": 4, 5 or 0; "Ampliación": 2, 3 or 1.
int codigoTramite(int tramite, int serviciosMayores, int serviciosMenores) {
    const int base = tramite == kProgramaNuevo ? 0 : 1;
    if (serviciosMayores > 0) return tramite == kProgramaNuevo ? 4 : 2;
    if (serviciosMenores > 0) return tramite == kProgramaNuevo ? 5 : 3;
    return base;
}

// The procedure index restored from a stored idtra: 0 ("Programa Nuevo") for 0, 4, 5 and
// null; 1 ("Ampliación") otherwise.
int indiceTramite(const QVariant& idtra) {
    if (idtra.isNull()) return kProgramaNuevo;
    const int code = static_cast<int>(leadingNumber(textoComparable(idtra)));
    return (code == 0 || code == 4 || code == 5) ? kProgramaNuevo : kAmpliacion;
}

}  // namespace

int Busca(const QList<ListEntry>& entradas, const QVariant& valor, BuscaModo modo) {
    if (entradas.isEmpty()) return -1;
    const QVariant v = valor.isNull() ? QVariant(0) : valor;
    const QString buscado = textoComparable(v);
    const double posicion = leadingNumber(buscado);
    for (int i = 0; i < entradas.size(); ++i) {
        if (modo == BuscaModo::Item) {
            if (textoComparable(entradas[i].codigo) == buscado) return i;
        } else if (posicion == i) {
            return i;
        }
    }
    return static_cast<int>(entradas.size()) - 1;
}

int Busca(int numEntradas, const QVariant& valor) {
    QList<ListEntry> entradas;
    for (int i = 0; i < numEntradas; ++i) entradas.append({QString(), i});
    return Busca(entradas, valor, BuscaModo::Posicion);
}

PaginasDisponibles paginasDisponibles(int tramite, int modalidad) {
    PaginasDisponibles p;
    p.fill(true);
    if (tramite < 0 || modalidad < 0) return p;
    auto quita = [&p](std::initializer_list<int> paginas) {
        for (int n : paginas) p[n] = false;
    };
    if (tramite == kProgramaNuevo) {
        switch (modalidad) {
        case kIndustrial:
        case kAlbergue: quita({kPagControladas, kPagTerciarizacion, kPagServicios}); break;
        case kServicios: quita({kPagControladas, kPagProductos, kPagTerciarizacion}); break;
        case kTerciarizacion: quita({kPagControladas, kPagServicios}); break;
        case kControladora: quita({kPagTerciarizacion, kPagServicios}); break;
        default: break;
        }
    } else if (modalidad == kServicios) {
        quita({kPagPlantas, kPagControladas, kPagProductos, kPagTerciarizacion, kPagSubmanufactura,
               kPagContenedores});
    } else {
        quita({kPagPlantas, kPagControladas, kPagTerciarizacion, kPagServicios, kPagSubmanufactura,
               kPagContenedores});
    }
    return p;
}

QChar filtraTeclaRFC(const QString& texto, QChar tecla) {
    if (tecla.unicode() == 8) return tecla;
    const qsizetype posicion = texto.size() + 1;
    static const QString letras = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ&");
    static const QString digitos = QStringLiteral("0123456789");
    static const QString homoclave = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    static const QString verificador = QStringLiteral("0123456789A");
    const QChar mayuscula = tecla.toUpper();
    if (posicion == 1) return tecla == QLatin1Char(' ') ? tecla : QChar();
    if (posicion <= 4) return letras.contains(mayuscula) ? mayuscula : QChar();
    if (posicion <= 10) return digitos.contains(tecla) ? tecla : QChar();
    if (posicion <= 12) return homoclave.contains(mayuscula) ? mayuscula : QChar();
    if (posicion == 13) return verificador.contains(mayuscula) ? mayuscula : QChar();
    return mayuscula;
}

QString filtraTextoRFC(const QString& texto) {
    QString out;
    for (QChar c : texto) {
        if (c.unicode() == 8) continue;
        const QChar k = filtraTeclaRFC(out, c);
        if (!k.isNull()) out.append(k);
        if (out.size() >= 13) break;
    }
    return out;
}

QString headerColumn(HeaderField field) {
    switch (field) {
    case HeaderField::Rfc: return QStringLiteral("RFC");
    case HeaderField::CompanyName: return QStringLiteral("APEPATRAZ");
    case HeaderField::RegistrationNumber: return QStringLiteral("NUMEKALTO");
    case HeaderField::RegistrationYear: return QStringLiteral("ANIOKALTO");
    case HeaderField::FolioNumber: return QStringLiteral("NUMEFOLA");
    case HeaderField::FolioYear: return QStringLiteral("ANIOFOLA");
    }
    return QString();
}

namespace {

// The state's text of a header field (writable on a writable state).
template <class State>
auto& headerTextOf(State& state, HeaderField field) {
    switch (field) {
    case HeaderField::Rfc: return state.rfc;
    case HeaderField::CompanyName: return state.razonSocial;
    case HeaderField::RegistrationNumber: return state.numKALTO;
    case HeaderField::RegistrationYear: return state.anioKALTO;
    case HeaderField::FolioNumber: return state.numFolio;
    case HeaderField::FolioYear: break;
    }
    return state.anioFolio;
}

}  // namespace

QString headerText(const RequestState& state, HeaderField field) { return headerTextOf(state, field); }

// ----- RequestRules -----

RequestRules::RequestRules(Database& db, MainDataSources& fuentes, RequestState& estado, Messages& mensajes)
    : db_(db), fuentes_(fuentes), estado_(estado), mensajes_(mensajes) {}

bool RequestRules::EjecutaSentencia(const QString& sql, const QVariantList& params, QString* error) {
    return mdlKALTO::EjecutaSentencia(db_, sql, params, error);
}

bool RequestRules::EstableceLigas(ListasEncabezado* listas, QString* error) {
    fuentes_.bind(&db_);

    ListasEncabezado l;
    l.tramites = {QStringLiteral("Programa Nuevo"), QStringLiteral("Ampliación")};
    l.modalidades = {QStringLiteral("Industrial"), QStringLiteral("Servicios"), QStringLiteral("Terciarización"),
                     QStringLiteral("Controladora"), QStringLiteral("Albergue")};

    QString err;
    const bool ok = fuentes_.refreshAll(&err);

    RecordSet& sectores = fuentes_.dtsSector()->recordSet();
    if (sectores.isOpen()) {
        for (sectores.moveFirst(); !sectores.eof(); sectores.moveNext())
            l.sectores.append({sectores.value(1).toString(), sectores.value(0)});
        sectores.moveFirst();
    }

    RecordSet& servicios = fuentes_.dtsCServ()->recordSet();
    if (servicios.isOpen()) {
        for (servicios.moveFirst(); !servicios.eof(); servicios.moveNext())
            l.servicios << servicios.value(2).toString();
        servicios.moveFirst();
    }

    const RecordSet& dint = fuentes_.dtsDatosInt()->recordSet();
    const bool hayFila = dint.isOpen() && dint.count() > 0;
    const QVariant idsectorm = hayFila ? dint.valueAt(0, dint.columnIndex(QStringLiteral("IDSECTORM"))) : QVariant();
    const QVariant idtra = hayFila ? dint.valueAt(0, dint.columnIndex(QStringLiteral("IDTRA"))) : QVariant();
    const QVariant idmoda = hayFila ? dint.valueAt(0, dint.columnIndex(QStringLiteral("IDMODA"))) : QVariant();

    cargaEncabezado();

    l.sectorIndice = Busca(l.sectores, idsectorm, BuscaModo::Item);
    estado_.sectorCodigo = l.sectorIndice >= 0 ? l.sectores[l.sectorIndice].codigo : QVariant();

    serviciosMayores();  // which column dbAnxMPE shows

    // Restoring the procedure and the modality runs their handlers; the modality's steps run
    // once, for the stored position (not for every position passed on the way to it).
    l.tramiteIndice = indiceTramite(idtra);
    estado_.modalidad = -1;  // the modality list is filled again: nothing selected yet
    restaurando_ = true;
    tramiteSeleccionado(l.tramiteIndice);
    restaurando_ = false;
    l.modalidadIndice = Busca(static_cast<int>(l.modalidades.size()), idmoda);
    modalidadSeleccionada(l.modalidadIndice);

    if (listas) *listas = l;
    if (error) *error = ok ? QString() : QStringLiteral("No se pudieron abrir las tablas de la solicitud:\n") + err;
    estado_.notifyChanged();
    return ok;
}

void RequestRules::cargaEncabezado() {
    const RecordSet& dint = fuentes_.dtsDatosInt()->recordSet();
    const bool hayFila = dint.isOpen() && dint.count() > 0;
    auto texto = [&](const char* columna) {
        return hayFila ? dint.valueAt(0, dint.columnIndex(QString::fromLatin1(columna))).toString() : QString();
    };
    estado_.rfc = texto("RFC");
    estado_.razonSocial = texto("APEPATRAZ");
    estado_.numKALTO = texto("NUMEKALTO");
    estado_.anioKALTO = texto("ANIOKALTO");
    estado_.numFolio = texto("NUMEFOLA");
    estado_.anioFolio = texto("ANIOFOLA");
    estado_.desahogo = hayFila && dint.valueAt(0, dint.columnIndex(QStringLiteral("DPREV"))).toBool();
    estado_.folioHabilitado = estado_.desahogo;
}

QList<ListEntry> RequestRules::LlenaListas() {
    QList<ListEntry> out;
    DataSource* um = fuentes_.dtsUM();
    RecordSet& rs = um->recordSet();
    if (!rs.isOpen()) um->refresh();
    if (!rs.isOpen()) return out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) out.append({rs.value(1).toString(), rs.value(0)});
    return out;
}

int RequestRules::cuentaServicios(const QString& sql) {
    DataSource* aux = fuentes_.dtsAux();
    aux->setRecordSource(sql);
    if (!aux->refresh()) return 0;
    const RecordSet& rs = aux->recordSet();
    return rs.count() > 0 ? rs.valueAt(0, 0).toInt() : 0;
}

int RequestRules::serviciosMayores() {
    const int n = cuentaServicios(QStringLiteral("Select count(*) from imserv where idserv >= 13"));
    estado_.descripcionEnAnxMPE = n > 0;
    return n;
}

int RequestRules::serviciosMenores() {
    return cuentaServicios(QStringLiteral("Select count(*) from imserv where idserv < 13"));
}

void RequestRules::cambioPagina(int nueva) {
    estado_.productoDisponible = true;
    RecordSet& dir = fuentes_.dtsDireccion()->recordSet();
    if (dir.isOpen() && !dir.eof()) {
        if (nueva == kPagDomicilioFiscal) dir.moveFirst();
        else if (nueva == kPagPlantas) dir.moveLast();
    }
    DataSource* mpe = fuentes_.dtsAnxMPE();
    mpe->setRecordSource(MainDataSources::anxMPESource());
    mpe->refresh();
    estado_.notifyChanged();
}

// ----- header handlers -----

void RequestRules::tramiteSeleccionado(int indice) {
    estado_.tramite = indice;
    // Every page becomes unavailable here only to be set again by the modality's steps
    // below (a user's choice) or by the modality restored next (the binding): that passing
    // state is never shown, so the page the user is on stays whenever it is still available.
    estado_.registroHabilitado = false;
    const bool eleccion = estado_.ventanaMostrada && !restaurando_;
    if (indice == kProgramaNuevo) {
        if (eleccion) {
            storeField(HeaderField::RegistrationYear, QString());
            storeField(HeaderField::RegistrationNumber, QString());
        }
        estado_.retrabajoDisponible = false;
        // A new programme of modality "Servicios" needs its service companies: the grid comes
        // back when the user returns from "Ampliación".
        estado_.eServiciosDisponible = true;
    } else if (indice == kAmpliacion) {
        estado_.registroHabilitado = true;
        estado_.retrabajoDisponible = true;
        estado_.eServiciosDisponible = false;
    }
    // When the binding restores the procedure, the modality restored next sets the pages; a
    // user's choice sets them now.
    if (eleccion) modalidadSeleccionada(estado_.modalidad);
    estado_.notifyChanged();
}

void RequestRules::modalidadSeleccionada(int indice) {
    estado_.modalidad = indice;
    GuardaInformacion(QStringLiteral("0"));
    BorraServicios();
    DataSource* mpe = fuentes_.dtsAnxMPE();
    mpe->setRecordSource(QStringLiteral("Select * from imanexos where tipo_reg=1 and id_subord=0 "));
    mpe->refresh();
    estado_.paginas = paginasDisponibles(estado_.tramite, estado_.modalidad);
    estado_.notifyChanged();
}

void RequestRules::sectorSeleccionado(const QVariant& codigo) {
    estado_.sectorCodigo = codigo;
    estado_.notifyChanged();
}

void RequestRules::desahogoCambiado(bool marcado) {
    estado_.desahogo = marcado;
    estado_.folioHabilitado = marcado;
    if (marcado) {
        db_.execute(QStringLiteral("update imdint set dprev = ?"), {true});
    } else {
        estado_.numFolio.clear();
        estado_.anioFolio.clear();
        EjecutaSentencia(QStringLiteral("update imdint set dprev = null"));
        EjecutaSentencia(QStringLiteral("update imdint set aniofola = null"));
        EjecutaSentencia(QStringLiteral("update imdint set numefola = null"));
        fuentes_.dtsDatosInt()->refresh();
    }
    estado_.notifyChanged();
}

bool RequestRules::storeField(HeaderField field, const QString& text, QString* error) {
    const QVariant value = text.trimmed().isEmpty() ? QVariant() : QVariant(text);
    QString err;
    if (!db_.execute(QStringLiteral("update imdint set %1 = ?").arg(headerColumn(field)), {value}, &err)) {
        if (error) *error = err;
        return false;
    }
    headerTextOf(estado_, field) = text;
    estado_.notifyChanged();
    return true;
}

// ----- saving -----

bool RequestRules::GuardaInformacion(const QString& modo) {
    const bool completo = modo != QLatin1String("0");
    // A failing statement is skipped and the next one runs; the full save then tells what was
    // not stored instead of claiming success.
    QStringList fallos;
    auto ejecuta = [&](const QString& sql) {
        QString err;
        if (!EjecutaSentencia(sql, {}, &err)) fallos << err;
    };
    // The folio year of the desahogo is the user's: the save does not touch it.
    if (completo) ejecuta(QStringLiteral("update imdint set idmoda = %1").arg(estado_.modalidad));

    const int mayores = serviciosMayores();
    const int menores = serviciosMenores();
    if (estado_.ventanaMostrada)
        ejecuta(QStringLiteral("update imdint set idtra = %1").arg(codigoTramite(estado_.tramite, mayores, menores)));

    const auto codigo = numberOf(estado_.sectorCodigo);
    const qlonglong sector = codigo ? codigo->integer.value_or(static_cast<qlonglong>(codigo->value)) : 0;
    ejecuta(QStringLiteral("update imdint set idsectorm = %1").arg(sector));

    fuentes_.refreshAll();

    if (estado_.modalidad == kControladora && estado_.tramite == kProgramaNuevo && !verificaControladora())
        return false;

    ejecuta(QStringLiteral("update imanexos set tipo_reg = 1 where tipo_reg is null"));

    if (!completo) return true;
    if (!fallos.isEmpty()) {
        mensajes_.exclamation(kMsgNoGuardado + fallos.join(QLatin1Char('\n')));
        return false;
    }
    mensajes_.exclamation(kMsgGuardado);
    return true;
}

bool RequestRules::verificaControladora() { return verificaControladora(mensajes_); }

bool RequestRules::verificaControladora(Messages& mensajes) {
    DataSource* aux = fuentes_.dtsAux();
    const RecordSet& rs = aux->recordSet();

    aux->setRecordSource(QStringLiteral("Select sum(montoexp) from impects where idmcts = 'C' "));
    aux->refresh();
    const QVariant suma = rs.count() > 0 ? rs.valueAt(0, 0) : QVariant();
    // Compared in cents: a sum of amounts with cents must not miss the limit by a rounding error.
    if (!suma.isNull() && std::llround(suma.toDouble() * 100.0) < 50000000000LL) {
        mensajes.exclamation(kMsgMontoControladora);
        return false;
    }

    aux->setRecordSource(QStringLiteral("Select rfc, count(rfc) from impects where idmcts = 'C' group by rfc"));
    aux->refresh();
    if (rs.count() < 2) {
        mensajes.exclamation(kMsgEmpresasControladora);
        return false;
    }
    return true;
}

void RequestRules::BorraServicios() {
    DataSource* aux = fuentes_.dtsAux();
    aux->setRecordSource(QStringLiteral("Select idtra, idmoda  from imdint"));
    aux->refresh();
    const RecordSet& rs = aux->recordSet();
    const QVariant idmoda = rs.count() > 0 ? rs.valueAt(0, 1) : QVariant();
    if (idmoda.isNull() || idmoda.toInt() != kServicios) {
        EjecutaSentencia(QStringLiteral("DELETE FROM imserv"));
        fuentes_.dtsServicio()->refresh();
    }
}

// ----- clearing -----

bool RequestRules::LimpiaInformacion() {
    if (!mensajes_.askYesNo(kMsgLimpia, false, QStringLiteral("KALTO"), Messages::Answer::No)) return false;

    BorraContenidoSol(6);

    if (vaciaTextos_) vaciaTextos_();
    estado_.rfc.clear();
    estado_.razonSocial.clear();
    estado_.numKALTO.clear();
    estado_.anioKALTO.clear();
    estado_.numFolio.clear();
    estado_.anioFolio.clear();
    fuentes_.refreshAll();

    // The single imdint row, column by column.
    const RecordSet& dint = fuentes_.dtsDatosInt()->recordSet();
    QStringList columnas;
    for (int i = 0; i < dint.columnCount(); ++i) columnas << dint.columnName(i);
    if (columnas.isEmpty())
        for (const auto& f : findTableDef(QStringLiteral("imdint"))->fields) columnas << f.name;
    for (int i = 0; i < columnas.size(); ++i) {
        QString cola;
        if (i == 2 || i == 3 || i == 6) cola = QStringLiteral(" = 0");
        else if (i == 7) cola = QStringLiteral(" = false");
        else cola = QStringLiteral(" = null");
        EjecutaSentencia(QStringLiteral("update imdint set ") + columnas[i] + cola);
    }
    fuentes_.dtsDatosInt()->refresh();
    estado_.desahogo = false;
    estado_.folioHabilitado = false;
    estado_.notifyChanged();
    return true;
}

void RequestRules::BorraContenidoSol(int n) {
    const QStringList& tablas = requestTables();
    for (int i = 0; i < n && i < tablas.size(); ++i) EjecutaSentencia(QStringLiteral("DELETE FROM ") + tablas[i]);
    fuentes_.refreshTagged();
}

}  // namespace kalto

#pragma once
// The rules of the main window that need no display: binding the data sources and filling
// the header lists, the header's reactions to the procedure, modality and desahogo choices,
// saving, removing services that the stored modality does not allow, and clearing.

#include "core/RequestState.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace kalto {

class Database;
class MainDataSources;
class Messages;

// One entry of a list or combo box: its text and its item code.
struct ListEntry {
    QString texto;
    QVariant codigo;
};

// Busca: the index to select in a list whose entries are walked from the first. In item
// mode an entry matches when its code, trimmed and upper-cased, equals `valor` trimmed and
// upper-cased; in position mode when the leading number of `valor` equals the index. A null
// `valor` counts as 0. Without a match the last index; -1 for an empty list.
enum class BuscaModo { Item, Posicion };
int Busca(const QList<ListEntry>& entradas, const QVariant& valor, BuscaModo modo);
int Busca(int numEntradas, const QVariant& valor);  // position mode over `numEntradas` entries

// The tab pages available for a procedure and modality; all when either is -1.
PaginasDisponibles paginasDisponibles(int tramite, int modalidad);

// txtRFC key filter: `texto` is the current text, `tecla` the typed character (Enter is the
// window's). Returns the character to insert (upper-cased except in the digit positions),
// or a null QChar to discard it. Backspace (8) always passes.
QChar filtraTeclaRFC(const QString& texto, QChar tecla);
// A pasted text passed through the same filter, character by character.
QString filtraTextoRFC(const QString& texto);

// The header texts bound to imdint: txtRFC, txtRSocial, txtNumKALTO, txtAnioKALTO, txtNDSol,
// txtADSol.
enum class HeaderField { Rfc, CompanyName, RegistrationNumber, RegistrationYear, FolioNumber, FolioYear };
inline constexpr HeaderField kHeaderFields[] = {HeaderField::Rfc,
                                                HeaderField::CompanyName,
                                                HeaderField::RegistrationNumber,
                                                HeaderField::RegistrationYear,
                                                HeaderField::FolioNumber,
                                                HeaderField::FolioYear};
QString headerColumn(HeaderField field);  // "RFC", "APEPATRAZ", ...
// The text of `field` the state holds (the one stored last).
QString headerText(const RequestState& state, HeaderField field);

// What EstableceLigas gives the window to fill its lists with.
struct ListasEncabezado {
    QStringList tramites;       // "Programa Nuevo", "Ampliación"
    QStringList modalidades;    // "Industrial" ... "Albergue"
    QList<ListEntry> sectores;  // imsector: text column 2, code column 1
    QStringList servicios;      // lstServicio: imcserv column 3
    int sectorIndice = -1;      // the entries to select (also left in the state)
    int tramiteIndice = -1;
    int modalidadIndice = -1;
};

class RequestRules {
public:
    RequestRules(Database& db, MainDataSources& fuentes, RequestState& estado, Messages& mensajes);

    Database& database() { return db_; }
    MainDataSources& fuentes() { return fuentes_; }
    RequestState& estado() { return estado_; }

    // The window empties every text box when asked (clearing).
    void setVaciaTextos(std::function<void()> f) { vaciaTextos_ = std::move(f); }

    // ----- binding and lists -----
    // Binds and refreshes every source, reads the lists and the stored header, and restores
    // the procedure and modality into the state, running their handlers (the modality's once,
    // for the stored position). False, with a Spanish message in *error, when a source could
    // not be opened. The window fills its lists from *listas with its own signals blocked and
    // then shows the state.
    bool EstableceLigas(ListasEncabezado* listas, QString* error = nullptr);
    // The unit list lstUM: imunidmd, text column 2, code column 1.
    QList<ListEntry> LlenaListas();
    // Number of imserv rows with idserv >= 13 (load step 3: above 0, dbAnxMPE shows its
    // description column instead of the tariff item). Also sets the state's flag.
    int serviciosMayores();
    int serviciosMenores();
    // Tab page `nueva` was selected: products grid available again, the fiscal-address source
    // moved to its first (page 0) or last (page 1) row, dtsAnxMPE re-run. The window commits
    // the grids' pending rows first.
    void cambioPagina(int nueva);

    // ----- header handlers; the window puts the new index into the state first -----
    void tramiteSeleccionado(int indice);
    void modalidadSeleccionada(int indice);
    void sectorSeleccionado(const QVariant& codigo);
    // chkDesahogo clicked: unchecked empties the folio number and year on screen and in imdint.
    void desahogoCambiado(bool marcado);
    // Writes a header text to imdint (an empty text stores null) and keeps it in the state.
    // False with the reason in *error when the value could not be stored; the state then
    // keeps the text stored before.
    bool storeField(HeaderField field, const QString& text, QString* error = nullptr);

    // ----- saving -----
    // Full save with an empty mode, quiet save with "0". True when it ran to its end, false
    // when a "Controladora" rule stopped it (after its message) or, in the full save, when a
    // statement failed (told with kMsgNoGuardado and the reasons instead of kMsgGuardado).
    bool GuardaInformacion(const QString& modo = QString());
    // Deletes every imserv row when the stored modality is not "Servicios".
    void BorraServicios();
    // The two whole-request rules of a new "Controladora" programme; true when both pass,
    // otherwise false after the message. Also used by the disk generation and, with the
    // messages collected elsewhere, by the request verification.
    bool verificaControladora();
    bool verificaControladora(Messages& mensajes);

    // ----- clearing -----
    // Asks (No is the default answer); on Yes empties the request tables, the text boxes
    // and the imdint row. True when it cleared: the caller then runs EstableceLigas and fills
    // its lists again.
    bool LimpiaInformacion();
    // Empties the first n tables of the request-table list and refreshes the tagged sources.
    void BorraContenidoSol(int n);

    // ----- statements -----
    // Runs one statement (its failure is returned, never shown).
    bool EjecutaSentencia(const QString& sql, const QVariantList& params = {}, QString* error = nullptr);

    // The exact texts of this object's messages.
    static const QString kMsgGuardado;
    static const QString kMsgNoGuardado;
    static const QString kMsgMontoControladora;
    static const QString kMsgEmpresasControladora;
    static const QString kMsgLimpia;

private:
    int cuentaServicios(const QString& sql);
    void cargaEncabezado();

    Database& db_;
    MainDataSources& fuentes_;
    RequestState& estado_;
    Messages& mensajes_;
    std::function<void()> vaciaTextos_;
    bool restaurando_ = false;  // EstableceLigas is restoring the stored procedure
};

}  // namespace kalto

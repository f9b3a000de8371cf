#pragma once
// What the header of the main window holds, kept apart from its widgets: the rules read
// and change this object, the window shows it (on changed()) and writes the user's choices
// into it before calling a rule.

#include <QObject>
#include <QString>
#include <QVariant>

#include <array>

namespace kalto {

// Tab pages of the main window.
enum Pagina {
    kPagDomicilioFiscal = 0,
    kPagPlantas = 1,
    kPagControladas = 2,
    kPagProductos = 3,
    kPagTerciarizacion = 4,
    kPagServicios = 5,
    kPagSubmanufactura = 6,
    kPagMateriasPrimas = 7,
    kPagContenedores = 8,
    kNumPaginas = 9
};

// Procedure (cmbTramite) and modality (cmbModalidad) indexes; -1 is "none selected".
enum Tramite { kProgramaNuevo = 0, kAmpliacion = 1 };
enum Modalidad { kIndustrial = 0, kServicios = 1, kTerciarizacion = 2, kControladora = 3, kAlbergue = 4 };

using PaginasDisponibles = std::array<bool, kNumPaginas>;

class RequestState : public QObject {
    Q_OBJECT
public:
    explicit RequestState(QObject* parent = nullptr) : QObject(parent) { paginas.fill(true); }

    // The lists' selections.
    int tramite = -1;        // cmbTramite index
    int modalidad = -1;      // cmbModalidad index = idmoda
    QVariant sectorCodigo;   // item code of the cmbSector entry; null when none is selected

    // The header texts (as shown in the text boxes) and the desahogo box.
    QString rfc;         // txtRFC
    QString razonSocial; // txtRSocial
    QString numKALTO;    // txtNumKALTO
    QString anioKALTO;   // txtAnioKALTO
    bool desahogo = false;  // chkDesahogo
    QString numFolio;    // txtNDSol
    QString anioFolio;   // txtADSol

    // Availability of fields, pages and grids.
    bool registroHabilitado = false;  // txtNumKALTO and txtAnioKALTO enabled
    bool folioHabilitado = false;     // txtNDSol and txtADSol enabled
    PaginasDisponibles paginas{};     // SSTabKALTO pages
    bool retrabajoDisponible = true;  // grid dbAnx(3)
    bool eServiciosDisponible = true; // grid dbEServicios
    bool productoDisponible = true;   // grid dbProducto
    bool descripcionEnAnxMPE = false; // dbAnxMPE shows "Descripción" (col 2) instead of "Fraccion" (col 3)

    // True once the main window is shown: the load's own selections run some steps less.
    bool ventanaMostrada = false;

    // The rules call this after they changed anything above.
    void notifyChanged() { emit changed(); }

signals:
    void changed();
};

}  // namespace kalto

#include "app/ui/frmKALTO.h"

#include "annexes/AnnexGrids.h"
#include "annexes/Import.h"
#include "app/AnnexInputsLink.h"
#include "app/DiskGeneration.h"
#include "app/RequestVerifier.h"
#include "app/ui/frmVerificaSolicitud.h"
#include "app/RequestRestore.h"
#include "app/MainDataSources.h"
#include "app/ui/AnnexPages.h"
#include "app/PrintRequest.h"
#include "app/ui/TabCaptions.h"
#include "core/Drives.h"
#include "core/GridHelpers.h"
#include "core/KeyFilters.h"
#include "core/LetterCase.h"
#include "core/Messages.h"
#include "core/RequestState.h"
#include "core/VerificaConValor.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/Hourglass.h"
#include "toolkit/PickList.h"
#include "toolkit/TextEntryFilter.h"
#include "toolkit/frmEspera.h"
#include "app/ui/frmInfoVersion.h"
#include "data/Database.h"
#include "data/mdlKALTO.h"
#include "core/TextFiles.h"
#include "print/ui/frmImpSolKALTO.h"
#include "records/AddressRule.h"
#include "records/CompanyRules.h"
#include "records/LegalRepresentativeRule.h"
#include "records/ui/frmDetalle.h"
#include "sectoral/ui/BrelotApplicant.h"
#include "sectoral/ui/frmSolBrelot.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace kalto {

namespace {

const QString kAyuda =
    QStringLiteral("<--  --> Desplazarse entre las columnas (Flecha arriba-Flecha abajo) Actualizar registro");
const QString kConsideraciones =
    QStringLiteral("Para verificar las consideraciones generales del llenado oprima el icono de impresión");
// Characters the tab strip admits from the keyboard (upper-cased), besides Backspace.
const QString kTeclasPestanas = QStringLiteral("/., 0123456789ABCDEFGHIJKLMNÑOPQRSTUVWXYZ");

constexpr int kAnchoCliente = 804;  // 12060 twips
constexpr int kAltoCliente = 552;   // 8280 twips

// Runs an import under the hourglass; a file of more than a few thousand lines shows its
// progress with a Cancelar button (what was stored before the cancel stays).
ImportResult importaConAvance(QWidget* parent, const std::function<ImportResult(const ImportProgress&)>& importa) {
    Hourglass reloj;
    std::unique_ptr<QProgressDialog> avance;
    return importa([&](int leidos, int total) {
        if (total <= kImportProgressLines) return true;
        if (!avance) {
            reloj.restore();
            avance = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancelar"), 0, total, parent);
            avance->setWindowTitle(QStringLiteral("KALTO"));
            avance->setWindowModality(Qt::WindowModal);
            avance->setMinimumDuration(0);
            avance->setAutoReset(false);
        }
        avance->setLabelText(QStringLiteral("Importando el renglón %1 de %2...").arg(leidos).arg(total));
        avance->setValue(leidos);
        return !avance->wasCanceled();
    });
}

QString sinAmpersand(QString text) { return text.remove(QLatin1Char('&')); }

QLabel* etiqueta(const QString& text, const QString& name, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAccessibleName(sinAmpersand(text));
    return l;
}

QPushButton* boton(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAccessibleName(sinAmpersand(text));
    return b;
}

// The export products grid and the inputs grid, as the annex link reads them.
class GridProductsView : public ExportProductsView {
public:
    GridProductsView(BoundGrid* products, BoundGrid* inputs) : products_(products), inputs_(inputs) {}
    int currentProductRow() const override { return products_->currentRow(); }
    int productRowCount() const override { return products_->rowCount(); }
    QVariant productCell(int row) const override { return products_->cellValue(row, 0); }
    bool inputInEdit() const override { return inputs_->isEditing(); }
    void selectProductRow(int row) override { products_->setCurrentRow(row); }

private:
    BoundGrid* products_;
    BoundGrid* inputs_;
};

// The header fields and the grids as the user sees them, for the check before a disk is
// written. A grid on its add-new row is checked on its first row.
class WindowRequestView : public RequestView {
public:
    using Grids = std::array<BoundGrid*, 14>;  // in the order of RequestGrid
    WindowRequestView(const std::array<QLineEdit*, std::size(kHeaderFields)>& header, const Grids& grids)
        : header_(header), grids_(grids) {}

    QString headerText(HeaderField field) const override { return edit(field)->text(); }
    QString headerTooltip(HeaderField field) const override { return edit(field)->toolTip(); }
    int rowCount(RequestGrid grid) const override { return at(grid)->rowCount(); }
    QVariant currentValue(RequestGrid grid, int column) const override {
        BoundGrid* g = at(grid);
        int row = g->currentRow();
        if (row < 0 || row >= g->rowCount()) row = 0;
        return g->cellValue(row, column);
    }
    QString caption(RequestGrid grid, int column) const override { return at(grid)->columnCaption(column); }
    QString tooltip(RequestGrid grid) const override { return at(grid)->toolTip(); }

private:
    QLineEdit* edit(HeaderField field) const { return header_[static_cast<int>(field)]; }
    BoundGrid* at(RequestGrid grid) const { return grids_[static_cast<int>(grid)]; }

    std::array<QLineEdit*, std::size(kHeaderFields)> header_;
    Grids grids_;
};

}  // namespace

frmKALTO::frmKALTO(Database& db, Messages& messages, QWidget* parent)
    : QMainWindow(parent),
      db_(db),
      messages_(messages),
      fuentes_(std::make_unique<MainDataSources>(&db)),
      estado_(std::make_unique<RequestState>()),
      rules_(std::make_unique<RequestRules>(db, *fuentes_, *estado_, messages)),
      header_(std::make_unique<HeaderStore>(*rules_, messages)) {
    setObjectName(QStringLiteral("frmKALTO"));
    setWindowTitle(QStringLiteral("K A L T O     2.0"));
    setAccessibleName(QStringLiteral("KALTO 2.0"));
    buildUi();
    productsView_ = std::make_unique<GridProductsView>(dbAnxMPE_, dbAnx_[0]);
    inputsLink_ = std::make_unique<AnnexInputsLink>(*fuentes_->dtsAnxMPI(), *productsView_);
    bindGrids();
    wireHeader();
    rules_->setVaciaTextos([this] { clearTexts(); });
    connect(estado_.get(), &RequestState::changed, this, &frmKALTO::showState);
    // Key preview: the window sees every key typed into any of its controls first (and the
    // header fields' focus changes: no filter of their own, or each event would come twice).
    qApp->installEventFilter(this);
    setInitialGeometry();
}

frmKALTO::~frmKALTO() {
    qApp->removeEventFilter(this);
    // The grids go first: they use the data sources and the rules this window owns.
    delete about_;
    delete takeCentralWidget();
    if (!closed_) fuentes_->closeAll();
}

// ---------------------------------------------------------------- layout

void frmKALTO::buildUi() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* todo = new QVBoxLayout(central);
    todo->addWidget(buildToolbar());
    todo->addWidget(buildHeader());
    todo->addWidget(buildTabs(), 1);
    auto* pie = etiqueta(kConsideraciones, QStringLiteral("lblConsideraciones"), central);
    todo->addWidget(pie);
    setCentralWidget(central);

    // Pick lists float over the grids, hidden until a cell asks for them.
    lstUM_ = new PickList(central);
    lstUM_->setObjectName(QStringLiteral("lstUM"));
    lstUM_->setAccessibleName(QStringLiteral("Unidades de medida"));
    lstServicio_ = new PickList(central);
    lstServicio_->setObjectName(QStringLiteral("lstServicio"));
    lstServicio_->setAccessibleName(QStringLiteral("Catálogo de servicios"));
    lstUM_->hide();
    lstServicio_->hide();

    // Tab order: toolbar, then the header top to bottom and left to right, then the pages.
    QList<QWidget*> orden;
    for (auto* b : cmdKALTO_) orden << b;
    orden << cmdBrelot_ << cmbTramite_ << cmbModalidad_ << cmbSector_ << txtRFC_ << txtRSocial_ << txtNumKALTO_
          << txtAnioKALTO_ << chkDesahogo_ << txtNDSol_ << txtADSol_ << SSTabKALTO_;
    for (int i = 1; i < orden.size(); ++i) setTabOrder(orden[i - 1], orden[i]);
}

QWidget* frmKALTO::buildToolbar() {
    auto* barra = new QWidget(this);
    barra->setObjectName(QStringLiteral("picToolbar"));
    auto* fila = new QHBoxLayout(barra);
    fila->setContentsMargins(0, 0, 0, 0);
    static const char* const tooltips[5] = {"Limpia toda la informacion", "Guarda la informacion",
                                            "Exporta la informacion a disco", "Imprime la solicitud del tramite",
                                            "Acerca de..."};
    const QStyle::StandardPixmap iconos[5] = {QStyle::SP_TrashIcon, QStyle::SP_DialogApplyButton,
                                              QStyle::SP_DriveFDIcon, QStyle::SP_FileDialogDetailedView,
                                              QStyle::SP_MessageBoxInformation};
    // Every picture button of the toolbar: 500 twips square, a 16-pixel icon, reachable by keyboard.
    auto pictureButton = [this, barra](const QString& name, const QString& tooltip, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(barra);
        b->setObjectName(name);
        b->setToolTip(tooltip);
        b->setAccessibleName(tooltip);
        b->setIcon(style()->standardIcon(icon));
        b->setIconSize(QSize(16, 16));
        b->setFixedSize(33, 33);  // 500 twips
        b->setFocusPolicy(Qt::StrongFocus);
        return b;
    };
    for (int i = 0; i < 5; ++i) {
        auto* b = pictureButton(QStringLiteral("cmdKALTO_%1").arg(i), QString::fromUtf8(tooltips[i]), iconos[i]);
        b->setProperty("index", i);
        connect(b, &QToolButton::clicked, this, [this, i] { cmdKALTO_Click(i); });
        cmdKALTO_[i] = b;
        fila->addWidget(b);
    }
    // "Verificar solicitud" follows the five picture buttons, then "Recuperar solicitud de un disco".
    cmdVerificar_ = pictureButton(QStringLiteral("cmdVerificar"), QStringLiteral("Verificar solicitud"),
                                  QStyle::SP_DialogYesButton);
    connect(cmdVerificar_, &QToolButton::clicked, this, &frmKALTO::cmdVerificar_Click);
    fila->addWidget(cmdVerificar_);
    cmdRecupera_ = pictureButton(QStringLiteral("cmdRecupera"), QStringLiteral("Recuperar solicitud de un disco"),
                                 QStyle::SP_DialogOpenButton);
    connect(cmdRecupera_, &QToolButton::clicked, this, &frmKALTO::cmdRecupera_Click);
    fila->addWidget(cmdRecupera_);
    fila->addStretch(1);
    cmdBrelot_ = boton(QStringLiteral("B R E L O T"), QStringLiteral("cmdBrelot"), barra);
    cmdBrelot_->setMinimumSize(209, 33);  // 3135 by 495 twips
    connect(cmdBrelot_, &QPushButton::clicked, this, &frmKALTO::cmdBrelot_Click);
    fila->addWidget(cmdBrelot_);
    LbVersion_ = new QLabel(barra);
    LbVersion_->setObjectName(QStringLiteral("LbVersion"));
    LbVersion_->setAccessibleName(QStringLiteral("Versión"));
    fila->addWidget(LbVersion_);
    return barra;
}

QWidget* frmKALTO::buildHeader() {
    auto* marco = new QFrame(this);
    marco->setObjectName(QStringLiteral("fraEncabezado"));
    marco->setFrameShape(QFrame::StyledPanel);
    marco->setAccessibleName(QStringLiteral("Datos generales de la solicitud"));
    auto* g = new QGridLayout(marco);

    auto combo = [&](const QString& name, const QString& caption, const QString& labelName) {
        auto* c = new QComboBox(marco);
        c->setObjectName(name);
        c->setAccessibleName(caption);
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        auto* l = etiqueta(caption, labelName, marco);
        l->setBuddy(c);
        return std::make_pair(l, c);
    };
    auto texto = [&](HeaderField field, const QString& name, int maxLength, const QString& tooltip) {
        auto* t = new QLineEdit(marco);
        t->setObjectName(name);
        t->setMaxLength(maxLength);
        t->setToolTip(tooltip);
        t->setAccessibleName(HeaderStore::caption(field));
        headerEdits_[static_cast<int>(field)] = t;
        t->setAccessibleDescription(tooltip);
        const int chars = std::min(maxLength, 14) + 2;
        t->setMinimumWidth(t->fontMetrics().horizontalAdvance(QLatin1Char('W')) * chars);
        return t;
    };

    auto [lT, cT] = combo(QStringLiteral("cmbTramite"), QStringLiteral("Tramite"), QStringLiteral("lblTramite"));
    auto [lM, cM] = combo(QStringLiteral("cmbModalidad"), QStringLiteral("Modalidad"), QStringLiteral("lblModalidad"));
    auto [lS, cS] = combo(QStringLiteral("cmbSector"), QStringLiteral("Sector"), QStringLiteral("lblSector"));
    cmbTramite_ = cT;
    cmbModalidad_ = cM;
    cmbSector_ = cS;
    cmbSector_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbSector_->setMinimumContentsLength(30);

    txtRFC_ = texto(HeaderField::Rfc, QStringLiteral("txtRFC"), 13,
                    QStringLiteral("RFC de la empresa que esta presentando la solicitud"));
    txtRSocial_ = texto(HeaderField::CompanyName, QStringLiteral("txtRSocial"), 100, QStringLiteral("Razón Social"));
    txtNumKALTO_ = texto(HeaderField::RegistrationNumber, QStringLiteral("txtNumKALTO"), 8,
                         QStringLiteral("Número resgistro KALTO"));
    txtAnioKALTO_ = texto(HeaderField::RegistrationYear, QStringLiteral("txtAnioKALTO"), 4,
                          QStringLiteral("Año resgistro KALTO"));
    txtNDSol_ = texto(HeaderField::FolioNumber, QStringLiteral("txtNDSol"), 8,
                      QStringLiteral("Número de folio a deshogar"));
    txtADSol_ = texto(HeaderField::FolioYear, QStringLiteral("txtADSol"), 4, QStringLiteral("Año de folio a deshogar"));
    chkDesahogo_ = new QCheckBox(QStringLiteral("Desahogo de prevención al folio"), marco);
    chkDesahogo_->setObjectName(QStringLiteral("chkDesahogo"));
    chkDesahogo_->setAccessibleName(chkDesahogo_->text());

    auto* lRFC = etiqueta(QStringLiteral("RFC"), QStringLiteral("lblRFC"), marco);
    lRFC->setBuddy(txtRFC_);
    auto* lRS = etiqueta(QStringLiteral("Razon Social"), QStringLiteral("lblRSocial"), marco);
    lRS->setBuddy(txtRSocial_);

    auto* registro = new QGroupBox(QStringLiteral("Registro KALTO"), marco);
    registro->setObjectName(QStringLiteral("fraRegistroKALTO"));
    registro->setAccessibleName(registro->title());
    auto* gr = new QHBoxLayout(registro);
    auto* lNum = etiqueta(QStringLiteral("Número"), QStringLiteral("lblNumKALTO"), registro);
    lNum->setBuddy(txtNumKALTO_);
    auto* lAnio = etiqueta(QStringLiteral("Año"), QStringLiteral("lblAnioKALTO"), registro);
    lAnio->setBuddy(txtAnioKALTO_);
    txtNumKALTO_->setParent(registro);
    txtAnioKALTO_->setParent(registro);
    gr->addWidget(lNum);
    gr->addWidget(txtNumKALTO_);
    gr->addWidget(lAnio);
    gr->addWidget(txtAnioKALTO_);

    g->addWidget(lT, 0, 0);
    g->addWidget(cmbTramite_, 0, 1);
    g->addWidget(lM, 0, 2);
    g->addWidget(cmbModalidad_, 0, 3);
    g->addWidget(lS, 0, 4);
    g->addWidget(cmbSector_, 0, 5, 1, 3);
    g->addWidget(lRFC, 1, 0);
    g->addWidget(txtRFC_, 1, 1);
    g->addWidget(lRS, 1, 2);
    g->addWidget(txtRSocial_, 1, 3, 1, 5);
    g->addWidget(registro, 2, 0, 1, 4);
    auto* folio = new QHBoxLayout;
    folio->addWidget(chkDesahogo_);
    folio->addWidget(txtNDSol_);
    folio->addWidget(txtADSol_);
    folio->addStretch(1);
    g->addLayout(folio, 2, 4, 1, 4);
    g->setColumnStretch(5, 1);
    return marco;
}

BoundGrid* frmKALTO::makeGrid(const QString& name, const QString& tooltip, const QString& accessible) {
    auto* g = new BoundGrid(this);
    g->setObjectName(name);
    if (!tooltip.isEmpty()) g->setToolTip(tooltip);
    g->setAccessibleName(accessible.isEmpty() ? tooltip : accessible);
    g->setMinimumHeight(70);
    grids_.append(g);
    return g;
}

QWidget* frmKALTO::buildTabs() {
    auto* marco = new QFrame(this);
    marco->setObjectName(QStringLiteral("fraPaginas"));
    auto* ml = new QVBoxLayout(marco);
    ml->setContentsMargins(0, 0, 0, 0);
    SSTabKALTO_ = new QTabWidget(marco);
    SSTabKALTO_->setObjectName(QStringLiteral("SSTabKALTO"));
    SSTabKALTO_->setAccessibleName(QStringLiteral("Secciones de la solicitud"));
    SSTabKALTO_->tabBar()->setObjectName(QStringLiteral("SSTabKALTO_tabs"));
    SSTabKALTO_->tabBar()->setElideMode(Qt::ElideNone);
    SSTabKALTO_->tabBar()->setUsesScrollButtons(true);
    SSTabKALTO_->tabBar()->setExpanding(false);
    // Compact tabs, so that the nine captions fit side by side on an ordinary screen.
    SSTabKALTO_->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 4px 6px; }"));
    ml->addWidget(SSTabKALTO_);

    static const char* const captions[9] = {"1. Domicilio Fiscal / Rep Legal", "2. Domicilios Plantas",
                                            "3. Empresas Controladas",         "4. Productos",
                                            "5. Terciarización",               "6. Servicios",
                                            "7. Submanufactura",               "8. Materias Primas",
                                            "9. Contenedores / Herramientas"};
    auto pagina = [&](int i) {
        auto* p = new QWidget;
        p->setObjectName(QStringLiteral("SSTabKALTO_page%1").arg(i));
        p->setAccessibleName(QString::fromUtf8(captions[i]));
        SSTabKALTO_->addTab(p, QString::fromUtf8(captions[i]));
        return p;
    };
    auto ayuda = [&](QWidget* page, int i) {
        return etiqueta(kAyuda, i == 3 ? QStringLiteral("Label58") : QStringLiteral("lblAyuda%1").arg(i), page);
    };
    auto conEtiqueta = [&](QVBoxLayout* l, QWidget* page, const QString& text, const QString& name, BoundGrid* g) {
        auto* lab = etiqueta(text, name, page);
        lab->setBuddy(g);
        l->addWidget(lab);
        l->addWidget(g, 1);
    };

    // 0. Fiscal address and legal representative.
    {
        QWidget* p = pagina(0);
        auto* l = new QVBoxLayout(p);
        dbDomFiscal_ = makeGrid(QStringLiteral("dbDomFiscal"), QStringLiteral("Direccion Fiscal"), QString());
        dbRepLegal_ = makeGrid(QStringLiteral("dbRepLegal"), QString(), QStringLiteral("Representante Legal"));
        conEtiqueta(l, p, QStringLiteral("Domicilio Fiscal"), QStringLiteral("lblDomFiscal"), dbDomFiscal_);
        conEtiqueta(l, p, QStringLiteral("Representante Legal"), QStringLiteral("lblRepLegal"), dbRepLegal_);
        l->addWidget(ayuda(p, 0));
    }
    // 1. Plants.
    {
        QWidget* p = pagina(1);
        auto* l = new QVBoxLayout(p);
        dbPlanta_ = makeGrid(QStringLiteral("dbPlanta"), QStringLiteral("domicilio de planta"), QString());
        l->addWidget(dbPlanta_, 1);
        l->addWidget(ayuda(p, 1));
    }
    // 2, 4, 6. Related companies with their address button.
    auto empresas = [&](int i, const QString& name, const QString& tooltip, const QString& buttonName) {
        QWidget* p = pagina(i);
        auto* l = new QVBoxLayout(p);
        BoundGrid* g = makeGrid(name, tooltip, QString());
        l->addWidget(g, 1);
        auto* fila = new QHBoxLayout;
        fila->addWidget(ayuda(p, i), 1);
        QPushButton* b = boton(QStringLiteral("&Verifica Domicilio"), buttonName, p);
        fila->addWidget(b);
        l->addLayout(fila);
        return std::make_pair(g, b);
    };
    std::tie(dbControl_, cmdVDomicilioC_) =
        empresas(2, QStringLiteral("dbControl"), QStringLiteral("empresa controlada"), QStringLiteral("cmdVDomicilioC"));
    // 3. Products.
    {
        QWidget* p = pagina(3);
        auto* l = new QVBoxLayout(p);
        dbProducto_ = makeGrid(QStringLiteral("dbProducto"), QString(), QStringLiteral("Productos"));
        l->addWidget(dbProducto_, 1);
        auto* fila = new QHBoxLayout;
        fila->addWidget(ayuda(p, 3), 1);
        cmdImpProductos_ = boton(QStringLiteral("Importar Informacion Productos"), QStringLiteral("cmdImpProductos"), p);
        fila->addWidget(cmdImpProductos_);
        l->addLayout(fila);
    }
    std::tie(dbTerciarizacion_, cmdVDomicilioT_) =
        empresas(4, QStringLiteral("dbTerciarizacion"), QStringLiteral("empresa de terciarización"),
                 QStringLiteral("cmdVDomicilioT"));
    // 5. Services and the companies served.
    {
        QWidget* p = pagina(5);
        auto* l = new QVBoxLayout(p);
        dbServicios_ = makeGrid(QStringLiteral("dbServicios"), QStringLiteral("servicio"), QString());
        dbEServicios_ = makeGrid(QStringLiteral("dbEServicios"), QStringLiteral("empresa de servicios"), QString());
        l->addWidget(dbServicios_, 1);
        conEtiqueta(l, p, QStringLiteral("EMPRESAS A LAS QUE SE PRESTAN LOS SERVICIOS OBJETO DEL PROGRAMA"),
                    QStringLiteral("lblEServicios"), dbEServicios_);
        l->setStretch(0, 1);
        l->setStretch(2, 2);
        l->addWidget(ayuda(p, 5));
    }
    std::tie(dbSubmanufactura_, cmdVDomicilioS_) =
        empresas(6, QStringLiteral("dbSubmanufactura"), QStringLiteral("empresa de submanufactura"),
                 QStringLiteral("cmdVDomicilioS"));
    // 7. Raw materials: export products beside their imported inputs, rework below.
    {
        QWidget* p = pagina(7);
        auto* l = new QVBoxLayout(p);
        dbAnxMPE_ = makeGrid(QStringLiteral("dbAnxMPE"), QStringLiteral("Producto de Exportación"), QString());
        dbAnx_[0] = makeGrid(QStringLiteral("dbAnx_0"), QString(), QStringLiteral("Producto de Importación"));
        dbAnx_[3] = makeGrid(QStringLiteral("dbAnx_3"), QString(), QStringLiteral("Retrabajo"));
        auto* arriba = new QHBoxLayout;
        auto* izq = new QVBoxLayout;
        conEtiqueta(izq, p, QStringLiteral("Producto de Exportación"), QStringLiteral("lblAnxMPE"), dbAnxMPE_);
        auto* der = new QVBoxLayout;
        conEtiqueta(der, p, QStringLiteral("Producto de Importación"), QStringLiteral("lblAnx_0"), dbAnx_[0]);
        arriba->addLayout(izq, 1);
        arriba->addLayout(der, 1);
        l->addLayout(arriba, 2);
        auto* abajo = new QVBoxLayout;
        conEtiqueta(abajo, p, QStringLiteral("Retrabajo"), QStringLiteral("lblAnx_3"), dbAnx_[3]);
        l->addLayout(abajo, 1);
        auto* fila = new QHBoxLayout;
        fila->addWidget(ayuda(p, 7), 1);
        cmdImpAnexos_ = boton(QStringLiteral("Importar Anexos"), QStringLiteral("cmdImpAnexos"), p);
        fila->addWidget(cmdImpAnexos_);
        l->addLayout(fila);
    }
    // 8. Containers and tools.
    {
        QWidget* p = pagina(8);
        auto* l = new QVBoxLayout(p);
        dbAnx_[1] = makeGrid(QStringLiteral("dbAnx_1"), QString(), QStringLiteral("Contenedores"));
        dbAnx_[2] = makeGrid(QStringLiteral("dbAnx_2"), QString(), QStringLiteral("Herramientas, Maquinaria y Equipo"));
        conEtiqueta(l, p, QStringLiteral("Contenedores"), QStringLiteral("lblAnx_1"), dbAnx_[1]);
        conEtiqueta(l, p, QStringLiteral("Herramientas, Maquinaria y Equipo"), QStringLiteral("lblAnx_2"), dbAnx_[2]);
        l->addWidget(ayuda(p, 8));
    }
    for (int i = 0; i < 4; ++i) dbAnx_[i]->setProperty("index", i);
    return marco;
}

void frmKALTO::setInitialGeometry() {
    // The designed client area, larger when the text at the current font needs more room, and
    // wide enough for the whole tab strip where the screen allows it (on a narrower screen
    // the strip's captions get a smaller font, see fitTabCaptions).
    QSize size = centralWidget()->minimumSizeHint().expandedTo(QSize(kAnchoCliente, kAltoCliente));
    const QMargins margins = centralWidget()->layout()->contentsMargins();
    const int tabsWidth = tabCaptionsWidth(SSTabKALTO_) + margins.left() + margins.right();
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    constexpr int kFrame = 24;  // the window manager's borders
    size.setWidth(std::max(size.width(), std::min(tabsWidth, area.width() - kFrame)));
    size.setHeight(std::min(size.height(), std::max(kAltoCliente, area.height() * 95 / 100)));
    resize(size);
    // Centred on the screen.
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

// ---------------------------------------------------------------- grids

void frmKALTO::bindGrids() {
    MainDataSources& f = *fuentes_;
    auto cuenta = [](DataSource* s) {
        return [s] { return s->recordSet().isOpen() ? s->recordSet().count() : 0; };
    };
    auto regla = [this](GridRule* r) {
        gridRules_.emplace_back(r);
        return r;
    };

    dbDomFiscal_->bind(f.dtsDireccion(), AddressRule::columns(),
                       regla(new AddressRule(messages_, AddressRule::kFiscal, cuenta(f.dtsDireccion()))), &messages_);
    dbPlanta_->bind(f.dtsPlanta(), AddressRule::columns(), regla(new AddressRule(messages_, AddressRule::kPlanta)),
                    &messages_);
    dbRepLegal_->bind(f.dtsRepLegal(), LegalRepresentativeRule::columns(),
                      regla(new LegalRepresentativeRule(messages_, cuenta(f.dtsRepLegal()))), &messages_);
    auto empresa = [&](BoundGrid* g, DataSource* s, const CompanyGrid& def) {
        g->bind(s, def.columns, regla(new CompanyRule(messages_, def)), &messages_);
    };
    empresa(dbControl_, f.dtsControl(), CompanyGrid::controlled());
    empresa(dbTerciarizacion_, f.dtsTerciarizacion(), CompanyGrid::outsourcing());
    empresa(dbSubmanufactura_, f.dtsSubmanufactura(), CompanyGrid::submanufacturing());
    empresa(dbEServicios_, f.dtsEServicios(), CompanyGrid::serviceCompanies());

    // Products, services and annexes: their rules, lists and what the rules ask of the window.
    annexPages_ = std::make_unique<AnnexPages>(
        db_, messages_, *estado_,
        AnnexPages::Widgets{dbProducto_, dbServicios_, dbAnxMPE_, dbAnx_, lstUM_, lstServicio_, SSTabKALTO_},
        AnnexPages::Sources{f.dtsProducto(), f.dtsServicio(), f.dtsAnxMPE(),
                            {f.dtsAnxMPI(), f.dtsAnxC(), f.dtsAnxH(), f.dtsAnxR()}},
        [this] { return inputsLink_->parentOfInput(); },
        [this](BoundGrid* g, int column, PickList* list) { ColocaListaGrid(g, column, list); });

    // The inputs grid follows the export product selected (or just stored). An input in edit
    // is stored by its grid from the event loop, once it has lost the focus: the inputs
    // follow after that, never from inside this notification.
    auto follow = [this] {
        if (inputsLink_->follow()) QTimer::singleShot(0, this, [this] { inputsLink_->settle(); });
    };
    connect(dbAnxMPE_, &BoundGrid::currentRowChanged, this, follow);
    connect(dbAnxMPE_, &BoundGrid::rowStored, this, follow);

    // The address buttons open the selected company's addresses.
    auto domicilio = [this](QPushButton* b, BoundGrid* g, CompanyKind kind) {
        connect(b, &QPushButton::clicked, this, [this, g, kind] {
            if (!g->commit()) return;
            const int r = g->currentRow();
            const bool fila = r >= 0 && r < g->rowCount();
            frmDetalle::open(this, db_, messages_, kind, fila ? g->cellValue(r, 0).toString() : QString(),
                             fila ? g->cellValue(r, 1).toString() : QString());
        });
    };
    domicilio(cmdVDomicilioC_, dbControl_, CompanyKind::Controlled);
    domicilio(cmdVDomicilioT_, dbTerciarizacion_, CompanyKind::Outsourcing);
    domicilio(cmdVDomicilioS_, dbSubmanufactura_, CompanyKind::Submanufacturing);
    // The imports add what their files on drive C: hold (a row in edit is stored first); the
    // grids then show the rows, and a summary tells what was loaded and refused.
    auto importa = [this](bool anexos) {
        if (!commitGrids()) return;
        const Drives drives(db_.folder());
        const ImportResult r = importaConAvance(this, [&](const ImportProgress& avance) {
            return anexos ? importAnnexes(db_, drives, avance) : importProducts(db_, drives, avance);
        });
        if (r.changed()) {
            Hourglass reloj;
            if (anexos) {
                fuentes_->dtsAnxC()->refresh();
                fuentes_->dtsAnxH()->refresh();
            } else {
                fuentes_->dtsProducto()->refresh();
            }
            fuentes_->dtsAnxMPE()->refresh();
            inputsLink_->reset();
        }
        if (r.warns())
            messages_.exclamation(r.summary());
        else
            messages_.information(r.summary());
    };
    connect(cmdImpProductos_, &QPushButton::clicked, this, [importa] { importa(false); });
    connect(cmdImpAnexos_, &QPushButton::clicked, this, [importa] { importa(true); });
}

BoundGrid* frmKALTO::grid(const QString& name) const {
    for (BoundGrid* g : grids_)
        if (g->objectName() == name) return g;
    return nullptr;
}

BoundGrid* frmKALTO::dbAnx(int index) const { return index >= 0 && index < 4 ? dbAnx_[index] : nullptr; }

bool frmKALTO::commitGrids() {
    for (BoundGrid* g : grids_) {
        if (g->isEditing() || g->isCellEditorOpen()) {
            if (!g->commit()) {
                // Show the refused row to the user.
                for (int i = 0; i < SSTabKALTO_->count(); ++i)
                    if (SSTabKALTO_->widget(i)->isAncestorOf(g)) {
                        changingPage_ = true;
                        SSTabKALTO_->setCurrentIndex(i);
                        currentPage_ = SSTabKALTO_->currentIndex();
                        changingPage_ = false;
                    }
                g->setFocus();
                return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------- load and lists

bool frmKALTO::load(QString* error) {
    Hourglass reloj;
    ListasEncabezado listas;
    QString err;
    const bool ok = rules_->EstableceLigas(&listas, &err);
    fillLists(listas);
    SSTabKALTO_->setCurrentIndex(0);
    currentPage_ = 0;
    inputsLink_->reset();
    estado_->ventanaMostrada = true;
    showState();
    // The keyboard starts in the header, never on a toolbar button (the first of which clears).
    cmbTramite_->setFocus(Qt::OtherFocusReason);
    if (!ok && error) *error = err;
    return ok;
}

void frmKALTO::fillLists(const ListasEncabezado& listas) {
    const bool antes = synchronizing_;
    synchronizing_ = true;
    for (QComboBox* c : {cmbTramite_, cmbModalidad_, cmbSector_}) {
        c->blockSignals(true);
        c->clear();
    }
    cmbTramite_->addItems(listas.tramites);
    cmbModalidad_->addItems(listas.modalidades);
    for (const ListEntry& e : listas.sectores) cmbSector_->addItem(e.texto, e.codigo);
    cmbTramite_->setCurrentIndex(listas.tramiteIndice);
    cmbModalidad_->setCurrentIndex(listas.modalidadIndice);
    cmbSector_->setCurrentIndex(listas.sectorIndice);
    for (QComboBox* c : {cmbTramite_, cmbModalidad_, cmbSector_}) c->blockSignals(false);

    // The procedure and modality lists show their longest entry whole.
    for (QComboBox* c : {cmbTramite_, cmbModalidad_}) {
        c->setMinimumWidth(0);
        c->setMinimumWidth(c->sizeHint().width());
    }

    lstServicio_->clear();
    for (int i = 0; i < listas.servicios.size(); ++i) lstServicio_->addEntry(listas.servicios[i], i);
    synchronizing_ = antes;
}

void frmKALTO::LlenaListas() {
    lstUM_->clear();
    for (const ListEntry& e : rules_->LlenaListas())
        lstUM_->addEntry(e.texto, static_cast<int>(leadingNumber(e.codigo)));
}

// ---------------------------------------------------------------- header

void frmKALTO::wireHeader() {
    // A new procedure or modality first stores what is being typed; a refused row keeps the
    // lists where they were.
    auto cambio = [this](void (RequestRules::*handler)(int)) {
        return [this, handler](int i) {
            if (synchronizing_) return;
            if (!commitGrids()) {
                showState();
                return;
            }
            storeHeader();
            Hourglass reloj;
            (rules_.get()->*handler)(i);
        };
    };
    connect(cmbTramite_, &QComboBox::currentIndexChanged, this, cambio(&RequestRules::tramiteSeleccionado));
    connect(cmbModalidad_, &QComboBox::currentIndexChanged, this, cambio(&RequestRules::modalidadSeleccionada));
    connect(cmbSector_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (synchronizing_) return;
        rules_->sectorSeleccionado(cmbSector_->itemData(i));
    });
    connect(chkDesahogo_, &QCheckBox::clicked, this, [this](bool marcado) {
        storeHeader();
        rules_->desahogoCambiado(marcado);
    });
    // What the user types is the header store's until it is stored. The RFC is always shown
    // in upper case, with the caret at its end (FomateaLetra).
    for (HeaderField field : kHeaderFields) {
        QLineEdit* edit = headerEdit(field);
        connect(edit, &QLineEdit::textEdited, this, [this, field, edit](const QString& typed) {
            QString text = typed;
            if (field == HeaderField::Rfc) {
                text = upperCase(typed);
                if (text != typed) edit->setText(text);
                edit->setCursorPosition(text.size());
            }
            header_->edit(field, text);
        });
    }
    // The registration number and year take digits only, typed, pasted or dropped.
    for (QLineEdit* edit : {txtNumKALTO_, txtAnioKALTO_}) filterTextEntry(edit, digitAdmitted);
    connect(SSTabKALTO_, &QTabWidget::currentChanged, this, &frmKALTO::tabChanged);
}

void frmKALTO::showState() {
    static thread_local int profundidad = 0;
    if (profundidad > 0) {
        QTimer::singleShot(0, this, &frmKALTO::showState);
        return;
    }
    ++profundidad;
    const bool antes = synchronizing_;
    synchronizing_ = true;
    const RequestState& e = *estado_;
    for (QComboBox* c : {cmbTramite_, cmbModalidad_}) c->blockSignals(true);
    if (cmbTramite_->currentIndex() != e.tramite) cmbTramite_->setCurrentIndex(e.tramite);
    if (cmbModalidad_->currentIndex() != e.modalidad) cmbModalidad_->setCurrentIndex(e.modalidad);
    for (QComboBox* c : {cmbTramite_, cmbModalidad_}) c->blockSignals(false);

    chkDesahogo_->setChecked(e.desahogo);
    txtNumKALTO_->setEnabled(e.registroHabilitado);
    txtAnioKALTO_->setEnabled(e.registroHabilitado);
    txtNDSol_->setEnabled(e.folioHabilitado);
    txtADSol_->setEnabled(e.folioHabilitado);
    // A field the rules disabled (and emptied) keeps nothing typed.
    for (HeaderField field : kHeaderFields)
        if (!headerEdit(field)->isEnabled()) header_->discard(field);
    showHeaderTexts();

    showAvailablePages();
    dbAnx_[3]->setEnabled(e.retrabajoDisponible);
    dbEServicios_->setEnabled(e.eServiciosDisponible);
    dbProducto_->setEnabled(e.productoDisponible);
    dbAnxMPE_->setColumnVisible(2, e.descripcionEnAnxMPE);
    dbAnxMPE_->setColumnVisible(3, !e.descripcionEnAnxMPE);
    synchronizing_ = antes;
    --profundidad;
}

void frmKALTO::showAvailablePages() {
    const PaginasDisponibles& pages = estado_->paginas;
    // The page shown is moved only when it becomes unavailable, and before it does, so that
    // the tab strip never picks a page of its own; pages are made available before others
    // are made unavailable, so that there is always one to show.
    const int current = SSTabKALTO_->currentIndex();
    if (current >= 0 && current < kNumPaginas && !pages[current]) SSTabKALTO_->setCurrentIndex(kPagDomicilioFiscal);
    for (bool available : {true, false})
        for (int i = 0; i < kNumPaginas; ++i)
            if (pages[i] == available && SSTabKALTO_->isTabEnabled(i) != available)
                SSTabKALTO_->setTabEnabled(i, available);
}

void frmKALTO::showHeaderTexts() {
    for (HeaderField field : kHeaderFields) {
        QLineEdit* edit = headerEdit(field);
        const QString text = header_->text(field);
        if (edit->text() != text) edit->setText(text);
    }
}

void frmKALTO::clearTexts() {
    header_->discardPending();
    for (QLineEdit* t : headerEdits_) t->clear();
}

bool frmKALTO::storeHeader() {
    const bool ok = header_->storeAll();
    showHeaderTexts();
    return ok;
}

void frmKALTO::headerFocusOut(QLineEdit* edit, QFocusEvent* event) {
    const bool salida = event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
    if (edit == txtRFC_ && salida) header_->checkRfc(txtRFC_->text());
    for (HeaderField field : kHeaderFields)
        if (headerEdit(field) == edit) header_->store(field);
    showHeaderTexts();
}

bool frmKALTO::headerKey(QObject* watched, QKeyEvent* key) {
    if (watched == txtRFC_ && key->matches(QKeySequence::Paste)) {
        // A pasted text passes the same position filter as typed characters.
        QString texto = txtRFC_->text();
        const int inicio = txtRFC_->hasSelectedText() ? txtRFC_->selectionStart() : txtRFC_->cursorPosition();
        const int largo = txtRFC_->hasSelectedText() ? txtRFC_->selectedText().size() : 0;
        texto.replace(inicio, largo, QApplication::clipboard()->text());
        const QString filtrado = filtraTextoRFC(upperCase(texto));
        if (filtrado != txtRFC_->text()) {
            txtRFC_->setText(filtrado);
            header_->edit(HeaderField::Rfc, filtrado);
        }
        return true;
    }
    // Shortcuts (Ctrl+V, Alt+letter) are not typed characters.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const QString text = key->text();
    if (watched == txtRFC_) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            txtRSocial_->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (text.isEmpty() || !text.at(0).isPrint()) return false;
        const QChar c = filtraTeclaRFC(txtRFC_->text(), text.at(0));
        if (c.isNull()) return true;
        if (c != text.at(0)) {
            QKeyEvent otro(QEvent::KeyPress, key->key(), key->modifiers(), QString(c), key->isAutoRepeat(),
                           key->count());
            QCoreApplication::sendEvent(txtRFC_, &otro);
            return true;
        }
        return false;
    }
    if (watched == SSTabKALTO_->tabBar()) {
        if (text.isEmpty() || !text.at(0).isPrint()) return false;
        return !kTeclasPestanas.contains(upperCase(text.at(0)));
    }
    return false;
}

bool frmKALTO::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != this) break;
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        const QString mayusculas = upperCase(text);
        const bool atajo = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!atajo && !text.isEmpty() && mayusculas != text) {
            // Every letter typed in the window is upper case.
            QKeyEvent otro(QEvent::KeyPress, key->key(), key->modifiers(), key->nativeScanCode(),
                           key->nativeVirtualKey(), key->nativeModifiers(), mayusculas, key->isAutoRepeat(),
                           key->count());
            QCoreApplication::sendEvent(watched, &otro);
            event->setAccepted(otro.isAccepted());
            return true;
        }
        if (headerKey(watched, key)) return true;
        break;
    }
    case QEvent::FocusOut: {
        for (QLineEdit* t : headerEdits_)
            if (watched == t) headerFocusOut(t, static_cast<QFocusEvent*>(event));
        break;
    }
    case QEvent::Resize:
        if (watched == SSTabKALTO_) fitTabCaptions(SSTabKALTO_);
        break;
    case QEvent::FocusIn:
        if (watched == txtRFC_) txtRFC_->selectAll();  // SeleccionaTexto
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- pages

void frmKALTO::tabChanged(int page) {
    if (changingPage_ || page < 0) return;
    const int anterior = currentPage_;
    if (anterior != page && anterior >= 0 && anterior < SSTabKALTO_->count()) {
        QWidget* dejada = SSTabKALTO_->widget(anterior);
        for (BoundGrid* g : grids_) {
            if (!dejada->isAncestorOf(g) || g->commit()) continue;
            // The row was refused: back to it.
            if (SSTabKALTO_->isTabEnabled(anterior)) {
                changingPage_ = true;
                SSTabKALTO_->setCurrentIndex(anterior);
                changingPage_ = false;
                g->setFocus();
                return;
            }
        }
    }
    currentPage_ = page;
    rules_->cambioPagina(page);
}

// ---------------------------------------------------------------- toolbar

void frmKALTO::cmdBrelot_Click() {
    // The sectoral window works on the application as the main window shows it: the rows
    // being typed and the header are stored first.
    if (!commitGrids() || !storeHeader()) return;
    const ApplicantData applicant = applicantFromWindow(txtRFC_->text(), txtRSocial_->text(), *cmbSector_,
                                                        *dbDomFiscal_, *dbRepLegal_, *dbPlanta_);
    frmSolBrelot::openModal(this, db_, messages_, applicant);
}

void frmKALTO::cmdRecupera_Click() {
    RestoreHooks hooks;
    hooks.storePending = [this] { return commitGrids() && storeHeader(); };
    hooks.rebind = [this] {
        ListasEncabezado listas;
        QString err;
        const bool ok = rules_->EstableceLigas(&listas, &err);
        fillLists(listas);
        inputsLink_->reset();
        header_->discardPending();  // the texts shown are those of the restored request
        showState();
        if (!ok) messages_.exclamation(err);
    };
    RequestRestore restore(db_, messages_, std::move(hooks));
    const Drives drives(db_.folder());
    QString start = drives.folder(QLatin1Char('A'));
    if (start.isEmpty()) start = db_.folder();
    const QString folder = restoreFolderChooser_
                               ? restoreFolderChooser_(start)
                               : QFileDialog::getExistingDirectory(this, QStringLiteral("Recuperar solicitud de un disco"), start);
    if (folder.isEmpty()) return;
    Hourglass reloj;
    restore.restore(folder);
}

void frmKALTO::cmdVerificar_Click() {
    // What the grids and the header hold is checked: pending rows are stored first.
    if (!commitGrids() || !storeHeader()) return;
    QList<RequestFinding> findings;
    {
        Hourglass reloj;
        findings = RequestVerifier(*rules_).verify();
    }
    auto pageName = [this](int page) {
        return page < SSTabKALTO_->count() ? SSTabKALTO_->tabText(page).remove(QLatin1Char('&'))
                                           : QString::number(page + 1);
    };
    auto objectName = [this](const RequestFinding& f) {
        const QWidget* w = findChild<QWidget*>(f.object);
        if (!w) return f.object;
        if (!w->accessibleName().isEmpty()) return w->accessibleName();
        return w->toolTip().isEmpty() ? f.object : w->toolTip();
    };
    auto* ventana = new frmVerificaSolicitud(findings, pageName, objectName,
                                             [this](const RequestFinding& f) { showFinding(f); }, this);
    ventana->setAttribute(Qt::WA_DeleteOnClose);
    ventana->show();
}

void frmKALTO::showFinding(const RequestFinding& f) {
    if (f.page >= 0 && f.page < SSTabKALTO_->count()) SSTabKALTO_->setCurrentIndex(f.page);
    if (auto* g = findChild<BoundGrid*>(f.object)) {
        if (f.row >= 0 && f.column >= 0) g->setCurrentCell(f.row, f.column);
        else if (f.row >= 0) g->setCurrentRow(f.row);
        g->setFocus(Qt::OtherFocusReason);
    } else if (auto* t = findChild<QLineEdit*>(f.object)) {
        t->setFocus(Qt::OtherFocusReason);
        t->selectAll();
    }
}

void frmKALTO::cmdKALTO_Click(int index) {
    switch (index) {
    case 0: {
        if (!commitGrids()) return;
        storeHeader();
        Hourglass reloj;
        if (!rules_->LimpiaInformacion()) return;
        ListasEncabezado listas;
        QString err;
        const bool ok = rules_->EstableceLigas(&listas, &err);
        fillLists(listas);
        inputsLink_->reset();
        clearTexts();
        showState();
        cmbTramite_->setFocus(Qt::OtherFocusReason);  // a new request begins in the header
        if (!ok) messages_.exclamation(err);
        break;
    }
    case 1: {
        // A header text the table could not take is not reported as saved.
        if (!commitGrids() || !storeHeader()) return;
        Hourglass reloj;
        rules_->GuardaInformacion(QString());
        break;
    }
    case 2: {
        // The disk receives what the grids and the header hold: pending rows are stored first.
        if (!commitGrids() || !storeHeader()) return;
        Hourglass reloj;
        WindowRequestView view(headerEdits_, {dbDomFiscal_, dbRepLegal_, dbPlanta_, dbControl_, dbProducto_,
                                              dbTerciarizacion_, dbServicios_, dbEServicios_, dbSubmanufactura_,
                                              dbAnxMPE_, dbAnx_[0], dbAnx_[1], dbAnx_[2], dbAnx_[3]});
        DiskGenerationHooks hooks;
        hooks.showPage = [this](int page) { SSTabKALTO_->setCurrentIndex(page); };
        hooks.showWait = [this] { frmEspera::showModal(this); };
        hooks.rebind = [this] {
            ListasEncabezado listas;
            QString err;
            const bool ok = rules_->EstableceLigas(&listas, &err);
            fillLists(listas);
            inputsLink_->reset();
            showState();
            if (!ok) messages_.exclamation(err);
        };
        const Drives drives(db_.folder());
        DiskGeneration(*rules_, view, messages_, drives, std::move(hooks)).GeneraDisco();
        break;
    }
    case 3: {
        // The print window composes what the grids and the header hold when a preview is asked.
        if (!commitGrids() || !storeHeader()) return;
        auto source = [this](ReportSnapshot& snapshot, QString& error) {
            Hourglass reloj;
            QVariantList representative;
            const int rows = dbRepLegal_->rowCount();
            int row = dbRepLegal_->currentRow();
            if (row < 0 || row >= rows) row = 0;
            for (int c = 0; rows > 0 && c < dbRepLegal_->columnCount(); ++c)
                representative << dbRepLegal_->cellValue(row, c);
            return fillReportSnapshot(*fuentes_, *estado_,
                                      {cmbTramite_->currentText(), cmbModalidad_->currentText(),
                                       cmbSector_->currentText()},
                                      representative, snapshot, &error);
        };
        frmImpSolKALTO::openModal(this, source, considerationsFile(db_.folder()), messages_);
        break;
    }
    case 4: {
        Hourglass reloj;
        if (!about_) about_ = new frmInfoVersion(messages_, this);
        about_->show();
        about_->raise();
        about_->activateWindow();
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------- shared grid operations

int frmKALTO::VerificaConValor(QLineEdit* texto) {
    return verificaconvalor::textoRequerido(texto->text(), texto->toolTip(), messages_);
}

int frmKALTO::VerificaConValor(BoundGrid* grid, int tab, const QString& campos) {
    int fila = grid->currentRow();
    if (fila < 0 || fila >= grid->rowCount()) fila = 0;  // on the add-new row: the first row
    const int r = verificaconvalor::gridRequerido(
        grid->rowCount(), [grid, fila](int c) { return grid->cellValue(fila, c); },
        [grid](int c) { return grid->columnCaption(c); }, grid->toolTip(), campos, messages_);
    if (r == 1 && tab >= 0 && tab < SSTabKALTO_->count()) SSTabKALTO_->setCurrentIndex(tab);
    return r;
}

void frmKALTO::ColocaListaGrid(BoundGrid* grid, int column, PickList* list) {
    if (!grid || !list) return;
    LlenaListas();
    kalto::ColocaListaGrid(grid, column, list);
}

// ---------------------------------------------------------------- unload

void frmKALTO::closeEvent(QCloseEvent* event) {
    QList<BoundGrid*> rechazados;
    for (BoundGrid* g : grids_)
        if ((g->isEditing() || g->isCellEditorOpen()) && !g->commit()) rechazados << g;
    const bool encabezado = storeHeader();
    // Leaving drops what could not be stored: only when the user says so (No is the default).
    const QString question =
        !rechazados.isEmpty() ? QStringLiteral("Hay un renglón que no se pudo guardar.")
        : !encabezado         ? QStringLiteral("Hay un dato del encabezado que no se pudo guardar.")
                              : QString();
    if (!question.isEmpty() &&
        !messages_.askYesNo(question + QStringLiteral(" ¿Deseas salir de todos modos y descartarlo?"), true,
                            QStringLiteral("KALTO"), Messages::Answer::No)) {
        event->ignore();
        return;
    }
    for (BoundGrid* g : rechazados) g->discard();
    if (about_) about_->close();
    fuentes_->closeAll();
    closed_ = true;
    event->accept();
}

}  // namespace kalto

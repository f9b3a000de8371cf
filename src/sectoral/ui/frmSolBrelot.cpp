#include "sectoral/ui/frmSolBrelot.h"

#include "toolkit/WindowPlacement.h"
#include "core/Drives.h"
#include "core/Messages.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "sectoral/GuardaBrelot.h"
#include "sectoral/ui/frmImpSolBrelot.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/Hourglass.h"
#include "toolkit/frmEspera.h"
#include "toolkit/PickList.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <optional>

namespace kalto {

namespace {

QList<GridColumn> sectorColumns() {
    return {{QStringLiteral("IDSECTOR"), QStringLiteral("IDSECTOR"), true, 70},
            {QStringLiteral("Cve Sector"), QStringLiteral("CVE_SECTOR"), true, 80},
            {QStringLiteral("Descripción"), QStringLiteral("DESCRIPCIO"), true, 250},
            {QStringLiteral("ACTIVO"), QStringLiteral("ACTIVO"), true, 55},
            {QStringLiteral("FECACTUALI"), QStringLiteral("FECACTUALI"), true, 85},
            {QStringLiteral("FECCREACIO"), QStringLiteral("FECCREACIO"), true, 85}};
}

QList<GridColumn> goodsColumns() {
    return {{QStringLiteral("Sector"), QStringLiteral("IDSECTOR"), true, 60},
            {QStringLiteral("TIPO_PROGR"), QStringLiteral("TIPO_PROGR"), true, 85},
            {QStringLiteral("Fracción"), QStringLiteral("FRACCION"), true, 75},
            {QStringLiteral("ANEXO"), QStringLiteral("ANEXO"), true, 50},
            {QStringLiteral("SOLBRELOT"), QStringLiteral("SOLBRELOT"), true, 80},
            {QStringLiteral("ANIOSOLBRE"), QStringLiteral("ANIOSOLBRE"), true, 90},
            {QStringLiteral("NUMBRELOT"), QStringLiteral("NUMBRELOT"), true, 85},
            {QStringLiteral("ANIOBRELOT"), QStringLiteral("ANIOBRELOT"), true, 90},
            {QStringLiteral("DESCRIPCIO"), QStringLiteral("DESCRIPCIO"), true, 200},
            {QStringLiteral("ACTIVO"), QStringLiteral("ACTIVO"), true, 55},
            {QStringLiteral("FECCREACIO"), QStringLiteral("FECCREACIO"), true, 85},
            {QStringLiteral("FECACTUALI"), QStringLiteral("FECACTUALI"), true, 85},
            {QStringLiteral("TIPOBIEN"), QStringLiteral("TIPOBIEN"), true, 65}};
}

QFont arial(qreal points, bool bold = false) {
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The wait window shown while the BRELOT files are written.
class WaitWindow : public WaitIndicator {
public:
    explicit WaitWindow(QWidget* parent) : parent_(parent) {}
    ~WaitWindow() override { close(); }

    void show() override {
        if (window_) return;
        window_ = new frmEspera(parent_);
        window_->begin();
    }
    void close() override {
        if (!window_) return;
        window_->end();
        delete window_.data();
        // The window under it takes the keyboard again.
        if (parent_) parent_->window()->activateWindow();
    }

private:
    QWidget* parent_;
    QPointer<frmEspera> window_;
};

}  // namespace

frmSolBrelot::frmSolBrelot(Database& db, Messages& messages, const ApplicantData& applicant, QWidget* parent)
    : QDialog(parent), db_(db), messages_(messages), applicant_(applicant), lookups_(db) {
    setObjectName(QStringLiteral("frmSolBrelot"));
    setWindowTitle(QStringLiteral("K A L T O - B R E L O T"));
    setModal(true);

    dtsSectores_ = new DataSource(QStringLiteral("dtsSectores"), &db, QStringLiteral("Sector"), this);
    dtsMercancias_ = new DataSource(QStringLiteral("dtsMercancias"), &db, QStringLiteral("mercbi"), this);
    dtsCSectores_ = new DataSource(QStringLiteral("dtsCSectores"), &db, QStringLiteral("csector"), this);

    buildControls();
    sectorRule_ = std::make_unique<SectorGridRule>(lookups_, [this] { return lstSector_->currentText(); });
    goodsRule_ = std::make_unique<GoodsGridRule>(messages_, [this] { return lstSectorII_->currentText(); });
    QString error;
    if (!dtsSectores_->refresh(&error) || !dtsMercancias_->refresh(&error) || !dtsCSectores_->refresh(&error))
        messages_.exclamation(QStringLiteral("No se pudieron leer las tablas del programa BRELOT: ") + error);
    dbSectores_->bind(dtsSectores_, sectorColumns(), sectorRule_.get(), &messages_);
    dbMercancias_->bind(dtsMercancias_, goodsColumns(), goodsRule_.get(), &messages_);
    wireGrids();
}

frmSolBrelot::~frmSolBrelot() {
    // The grids hold pointers to the rules: let them go first.
    delete dbSectores_;
    delete dbMercancias_;
}

void frmSolBrelot::openModal(QWidget* parent, Database& db, Messages& messages, const ApplicantData& applicant) {
    frmSolBrelot window(db, messages, applicant, parent);
    window.exec();
}

void frmSolBrelot::buildControls() {
    auto tw = [this](int twips) { return twips * logicalDpiX() / 1440; };
    auto label = [this](const char* name, const QString& text, const QFont& font) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(font);
        l->adjustSize();
        return l;
    };
    Label1_ = label("Label1", QStringLiteral("PRODUCTOR DIRECTO"), arial(12, true));
    Label1_->move(tw(120), tw(120));
    Label2_ = label("Label2", QStringLiteral("SECTORES"), arial(9, true));
    Label2_->move(tw(120), tw(480));
    Label3_ = label("Label3", QStringLiteral("MERCANCÍAS A PRODUCIR"), arial(9, true));
    Label3_->move(tw(120), tw(2400));
    Label58_ = label("Label58",
                     QStringLiteral("<--  --> Desplazarse entre las columnas (Flecha arriba-Flecha abajo) Actualizar registro"),
                     arial(8));
    Label58_->move(tw(120), tw(4320));

    auto button = [&](int index, QStyle::StandardPixmap pixmap, const QString& tip, int left) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("cmdAccion_%1").arg(index));
        b->setIcon(style()->standardIcon(pixmap));
        b->setIconSize(QSize(16, 16));
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        b->setGeometry(tw(left), tw(120), tw(500), tw(500));
        return b;
    };
    export_ = button(0, QStyle::SP_DriveFDIcon, QStringLiteral("Exporta la informacion a disco"), 7800);
    print_ = button(1, QStyle::SP_FileDialogDetailedView, QStringLiteral("Imprime la solicitud del tramite"), 8520);
    connect(export_, &QToolButton::clicked, this, &frmSolBrelot::exportToDisk);
    connect(print_, &QToolButton::clicked, this, &frmSolBrelot::printQuestionnaire);

    dbSectores_ = new BoundGrid(this);
    dbSectores_->setObjectName(QStringLiteral("dbSectores"));
    dbSectores_->setGeometry(tw(120), tw(840), tw(9255), tw(1215));
    Label2_->setBuddy(dbSectores_);
    dbMercancias_ = new BoundGrid(this);
    dbMercancias_->setObjectName(QStringLiteral("dbMercancias"));
    dbMercancias_->setGeometry(tw(120), tw(2760), tw(9255), tw(1335));
    Label3_->setBuddy(dbMercancias_);

    auto list = [this](const char* name, const QString& accessible) {
        auto* l = new PickList(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setAccessibleName(accessible);
        l->resize(l->width(), 110);
        l->hide();
        return l;
    };
    lstSector_ = list("lstSector", QStringLiteral("Sectores del catálogo"));
    lstSectorII_ = list("lstSectorII", QStringLiteral("Sectores registrados"));
    lstFraccion_ = list("lstFraccion", QStringLiteral("Fracciones de los productos de exportación"));

    setFixedSize(tw(9510), tw(4740));
}

void frmSolBrelot::wireGrids() {
    // The pick lists open under their columns; the text typed in the cell selects in them.
    connect(dbSectores_, &BoundGrid::beforeEdit, this, [this](int c) { openList(dbSectores_, c, lstSector_); });
    connect(dbSectores_, &BoundGrid::columnButtonPressed, this,
            [this](int c) { openList(dbSectores_, c, lstSector_); });
    connect(dbSectores_, &BoundGrid::cellTextChanged, this, [this](int c, const QString& text) {
        if (c == SectorGridRule::CveSector && lstSector_->isVisible()) follow(lstSector_, lookups_.findCatalogueKey(text));
    });
    connect(dbSectores_, &BoundGrid::cellAccepted, this, [this](int c) {
        if (c == SectorGridRule::CveSector) lstSector_->hide();
    });
    connect(dbSectores_, &BoundGrid::gridClicked, this, [this] { lstSector_->hide(); });
    // The goods grid offers exactly the sectors entered so far.
    connect(dbSectores_, &BoundGrid::rowStored, this, &frmSolBrelot::fillEnteredSectors);
    connect(dbSectores_, &BoundGrid::rowDeleted, this, &frmSolBrelot::fillEnteredSectors);

    auto goodsList = [this](int c) {
        openList(dbMercancias_, c, lstSectorII_);
        openList(dbMercancias_, c, lstFraccion_);
    };
    connect(dbMercancias_, &BoundGrid::beforeEdit, this, goodsList);
    connect(dbMercancias_, &BoundGrid::columnButtonPressed, this, goodsList);
    connect(dbMercancias_, &BoundGrid::cellTextChanged, this, [this](int c, const QString& text) {
        if (c == GoodsGridRule::Sector && lstSectorII_->isVisible())
            follow(lstSectorII_, lookups_.findCatalogueKey(text));
        else if (c == GoodsGridRule::Fraccion && lstFraccion_->isVisible())
            follow(lstFraccion_, lookups_.findProductTariffItem(text));
    });
    connect(dbMercancias_, &BoundGrid::cellAccepted, this, [this](int c) {
        if (c == GoodsGridRule::Sector) lstSectorII_->hide();
        if (c == GoodsGridRule::Fraccion) lstFraccion_->hide();
    });
    // A click hides the sectors' list; a shown list of tariff items stays.
    connect(dbMercancias_, &BoundGrid::gridClicked, this, [this] { lstSectorII_->hide(); });

    // Enter or a double click in a list writes its entry into the cell.
    connect(lstSector_, &PickList::accepted, this, [this] {
        if (!lstSector_->hasCurrentEntry()) return;
        const QString key = lstSector_->currentText();
        if (dbSectores_->setCurrentValue(SectorGridRule::CveSector, key))
            dbSectores_->setCurrentValue(SectorGridRule::Descripcion, lookups_.sectorDescription(key));
    });
    connect(lstSectorII_, &PickList::accepted, this, [this] {
        if (lstSectorII_->hasCurrentEntry())
            dbMercancias_->setCurrentValue(GoodsGridRule::Sector, lstSectorII_->currentText());
    });
    connect(lstFraccion_, &PickList::accepted, this, [this] {
        if (lstFraccion_->hasCurrentEntry())
            dbMercancias_->setCurrentValue(GoodsGridRule::Fraccion, lstFraccion_->currentText());
    });
}

void frmSolBrelot::openList(BoundGrid* grid, int column, PickList* list) {
    const int wanted = list == lstSector_     ? int(SectorGridRule::CveSector)
                       : list == lstSectorII_ ? int(GoodsGridRule::Sector)
                                              : int(GoodsGridRule::Fraccion);
    if (column != wanted) return;
    // The list opens under the cell and the focus stays in the cell, so that what the user
    // types goes into the cell and selects in the list as it goes.
    placeUnderCell(grid, column, list, list == lstFraccion_);
}

void frmSolBrelot::follow(PickList* list, const QString& found) {
    if (found.isEmpty()) return;
    const QList<QListWidgetItem*> items = list->findItems(found, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!items.isEmpty()) list->setCurrentItem(items.first());
}

void frmSolBrelot::fillEnteredSectors() {
    lstSectorII_->clear();
    const QStringList keys = lookups_.enteredSectorKeys();
    for (int i = 0; i < keys.size(); ++i) lstSectorII_->addEntry(keys[i], i);
}

void frmSolBrelot::activate() {
    for (PickList* l : {lstSector_, lstSectorII_, lstFraccion_}) l->hide();
    QString error;
    bool ok = true;
    for (DataSource* s : {dtsSectores_, dtsMercancias_, dtsCSectores_}) ok = s->refresh(&error) && ok;
    if (!ok) messages_.exclamation(QStringLiteral("No se pudieron leer las tablas del programa BRELOT: ") + error);

    lstSector_->clear();
    RecordSet& catalogue = dtsCSectores_->recordSet();
    int i = 0;
    if (catalogue.isOpen())
        for (catalogue.moveFirst(); !catalogue.eof(); catalogue.moveNext())
            if (!catalogue.value(0).isNull()) lstSector_->addEntry(catalogue.value(0).toString(), i++);
    fillEnteredSectors();
    lstFraccion_->clear();
    const QStringList items = lookups_.exportTariffItems();
    for (int j = 0; j < items.size(); ++j) lstFraccion_->addEntry(items[j], j);
}

bool frmSolBrelot::commitGrids() {
    for (BoundGrid* g : {dbSectores_, dbMercancias_}) {
        if (!g->commit()) {
            g->setFocus();
            return false;
        }
    }
    return true;
}

void frmSolBrelot::exportToDisk() {
    if (!commitGrids()) return;
    for (PickList* l : {lstSector_, lstSectorII_, lstFraccion_}) l->hide();
    {
        WaitWindow wait(this);
        const Drives drives(db_.folder());
        GuardaBrelot(db_, messages_, drives, applicant_, &wait);
    }
    // Sector and mercbi may have been packed: the grids read them afresh.
    activate();
}

void frmSolBrelot::printQuestionnaire() {
    if (!commitGrids()) return;
    for (PickList* l : {lstSector_, lstSectorII_, lstFraccion_}) l->hide();
    frmImpSolBrelot::openModal(this, db_, messages_, applicant_, today_);
    activate();
}

void frmSolBrelot::done(int result) {
    if (!commitGrids()) return;
    dtsSectores_->close();
    dtsMercancias_->close();
    dtsCSectores_->close();
    QDialog::done(result);
}

void frmSolBrelot::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!opened_) {
        opened_ = true;
        centre();
        activate();
    }
}

void frmSolBrelot::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmSolBrelot::centre() { centreOnScreen(this); }

}  // namespace kalto

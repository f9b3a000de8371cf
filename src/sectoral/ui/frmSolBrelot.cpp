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
#include "ui_frmSolBrelot.h"

#include <QKeyEvent>
#include <QPointer>
#include <QStyle>
#include <QToolButton>

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
    : QDialog(parent), db_(db), messages_(messages), applicant_(applicant), lookups_(db), ui_(new Ui::frmSolBrelot) {

    dtsSectores_ = new DataSource(QStringLiteral("dtsSectores"), &db, QStringLiteral("Sector"), this);
    dtsMercancias_ = new DataSource(QStringLiteral("dtsMercancias"), &db, QStringLiteral("mercbi"), this);
    dtsCSectores_ = new DataSource(QStringLiteral("dtsCSectores"), &db, QStringLiteral("csector"), this);

    ui_->setupUi(this);
    ui_->cmdAccion_0->setIcon(style()->standardIcon(QStyle::SP_DriveFDIcon));
    ui_->cmdAccion_1->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    connect(ui_->cmdAccion_0, &QToolButton::clicked, this, &frmSolBrelot::exportToDisk);
    connect(ui_->cmdAccion_1, &QToolButton::clicked, this, &frmSolBrelot::printQuestionnaire);
    sectorRule_ = std::make_unique<SectorGridRule>(lookups_, [this] { return ui_->lstSector->currentText(); });
    goodsRule_ = std::make_unique<GoodsGridRule>(messages_, [this] { return ui_->lstSectorII->currentText(); });
    QString error;
    if (!dtsSectores_->refresh(&error) || !dtsMercancias_->refresh(&error) || !dtsCSectores_->refresh(&error))
        messages_.exclamation(QStringLiteral("No se pudieron leer las tablas del programa BRELOT: ") + error);
    ui_->dbSectores->bind(dtsSectores_, sectorColumns(), sectorRule_.get(), &messages_);
    ui_->dbMercancias->bind(dtsMercancias_, goodsColumns(), goodsRule_.get(), &messages_);
    wireGrids();
}

frmSolBrelot::~frmSolBrelot() {
    // The grids hold pointers to the rules: let them go first.
    delete ui_->dbSectores;
    delete ui_->dbMercancias;
}

BoundGrid* frmSolBrelot::dbSectores() const { return ui_->dbSectores; }
BoundGrid* frmSolBrelot::dbMercancias() const { return ui_->dbMercancias; }
PickList* frmSolBrelot::lstSector() const { return ui_->lstSector; }
PickList* frmSolBrelot::lstSectorII() const { return ui_->lstSectorII; }
PickList* frmSolBrelot::lstFraccion() const { return ui_->lstFraccion; }
QToolButton* frmSolBrelot::cmdAccion(int index) const {
    return index == 0 ? ui_->cmdAccion_0 : index == 1 ? ui_->cmdAccion_1 : nullptr;
}

void frmSolBrelot::openModal(QWidget* parent, Database& db, Messages& messages, const ApplicantData& applicant) {
    frmSolBrelot window(db, messages, applicant, parent);
    window.exec();
}

void frmSolBrelot::wireGrids() {
    // The pick lists open under their columns; the text typed in the cell selects in them.
    connect(ui_->dbSectores, &BoundGrid::beforeEdit, this, [this](int c) { openList(ui_->dbSectores, c, ui_->lstSector); });
    connect(ui_->dbSectores, &BoundGrid::columnButtonPressed, this,
            [this](int c) { openList(ui_->dbSectores, c, ui_->lstSector); });
    connect(ui_->dbSectores, &BoundGrid::cellTextChanged, this, [this](int c, const QString& text) {
        if (c == SectorGridRule::CveSector && ui_->lstSector->isVisible()) follow(ui_->lstSector, lookups_.findCatalogueKey(text));
    });
    connect(ui_->dbSectores, &BoundGrid::cellAccepted, this, [this](int c) {
        if (c == SectorGridRule::CveSector) ui_->lstSector->hide();
    });
    connect(ui_->dbSectores, &BoundGrid::gridClicked, this, [this] { ui_->lstSector->hide(); });
    // The goods grid offers exactly the sectors entered so far.
    connect(ui_->dbSectores, &BoundGrid::rowStored, this, &frmSolBrelot::fillEnteredSectors);
    connect(ui_->dbSectores, &BoundGrid::rowDeleted, this, &frmSolBrelot::fillEnteredSectors);

    auto goodsList = [this](int c) {
        openList(ui_->dbMercancias, c, ui_->lstSectorII);
        openList(ui_->dbMercancias, c, ui_->lstFraccion);
    };
    connect(ui_->dbMercancias, &BoundGrid::beforeEdit, this, goodsList);
    connect(ui_->dbMercancias, &BoundGrid::columnButtonPressed, this, goodsList);
    connect(ui_->dbMercancias, &BoundGrid::cellTextChanged, this, [this](int c, const QString& text) {
        if (c == GoodsGridRule::Sector && ui_->lstSectorII->isVisible())
            follow(ui_->lstSectorII, lookups_.findCatalogueKey(text));
        else if (c == GoodsGridRule::Fraccion && ui_->lstFraccion->isVisible())
            follow(ui_->lstFraccion, lookups_.findProductTariffItem(text));
    });
    connect(ui_->dbMercancias, &BoundGrid::cellAccepted, this, [this](int c) {
        if (c == GoodsGridRule::Sector) ui_->lstSectorII->hide();
        if (c == GoodsGridRule::Fraccion) ui_->lstFraccion->hide();
    });
    // A click hides the sectors' list; a shown list of tariff items stays.
    connect(ui_->dbMercancias, &BoundGrid::gridClicked, this, [this] { ui_->lstSectorII->hide(); });

    // Enter or a double click in a list writes its entry into the cell.
    connect(ui_->lstSector, &PickList::accepted, this, [this] {
        if (!ui_->lstSector->hasCurrentEntry()) return;
        const QString key = ui_->lstSector->currentText();
        if (ui_->dbSectores->setCurrentValue(SectorGridRule::CveSector, key))
            ui_->dbSectores->setCurrentValue(SectorGridRule::Descripcion, lookups_.sectorDescription(key));
    });
    connect(ui_->lstSectorII, &PickList::accepted, this, [this] {
        if (ui_->lstSectorII->hasCurrentEntry())
            ui_->dbMercancias->setCurrentValue(GoodsGridRule::Sector, ui_->lstSectorII->currentText());
    });
    connect(ui_->lstFraccion, &PickList::accepted, this, [this] {
        if (ui_->lstFraccion->hasCurrentEntry())
            ui_->dbMercancias->setCurrentValue(GoodsGridRule::Fraccion, ui_->lstFraccion->currentText());
    });
}

void frmSolBrelot::openList(BoundGrid* grid, int column, PickList* list) {
    const int wanted = list == ui_->lstSector     ? int(SectorGridRule::CveSector)
                       : list == ui_->lstSectorII ? int(GoodsGridRule::Sector)
                                              : int(GoodsGridRule::Fraccion);
    if (column != wanted) return;
    // The list opens under the cell and the focus stays in the cell, so that what the user
    // types goes into the cell and selects in the list as it goes.
    placeUnderCell(grid, column, list, list == ui_->lstFraccion);
}

void frmSolBrelot::follow(PickList* list, const QString& found) {
    if (found.isEmpty()) return;
    const QList<QListWidgetItem*> items = list->findItems(found, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!items.isEmpty()) list->setCurrentItem(items.first());
}

void frmSolBrelot::fillEnteredSectors() {
    ui_->lstSectorII->clear();
    const QStringList keys = lookups_.enteredSectorKeys();
    for (int i = 0; i < keys.size(); ++i) ui_->lstSectorII->addEntry(keys[i], i);
}

void frmSolBrelot::activate() {
    for (PickList* l : {ui_->lstSector, ui_->lstSectorII, ui_->lstFraccion}) l->hide();
    QString error;
    bool ok = true;
    for (DataSource* s : {dtsSectores_, dtsMercancias_, dtsCSectores_}) ok = s->refresh(&error) && ok;
    if (!ok) messages_.exclamation(QStringLiteral("No se pudieron leer las tablas del programa BRELOT: ") + error);

    ui_->lstSector->clear();
    RecordSet& catalogue = dtsCSectores_->recordSet();
    int i = 0;
    if (catalogue.isOpen())
        for (catalogue.moveFirst(); !catalogue.eof(); catalogue.moveNext())
            if (!catalogue.value(0).isNull()) ui_->lstSector->addEntry(catalogue.value(0).toString(), i++);
    fillEnteredSectors();
    ui_->lstFraccion->clear();
    const QStringList items = lookups_.exportTariffItems();
    for (int j = 0; j < items.size(); ++j) ui_->lstFraccion->addEntry(items[j], j);
}

bool frmSolBrelot::commitGrids() {
    for (BoundGrid* g : {ui_->dbSectores, ui_->dbMercancias}) {
        if (!g->commit()) {
            g->setFocus();
            return false;
        }
    }
    return true;
}

void frmSolBrelot::exportToDisk() {
    if (!commitGrids()) return;
    for (PickList* l : {ui_->lstSector, ui_->lstSectorII, ui_->lstFraccion}) l->hide();
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
    for (PickList* l : {ui_->lstSector, ui_->lstSectorII, ui_->lstFraccion}) l->hide();
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
        centreOnScreen(this);
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

}  // namespace kalto

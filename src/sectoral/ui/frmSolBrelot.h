#pragma once
// The sectoral window: the sectors in which the company takes part as a direct producer
// (grid dbSectores over Sector) and the goods it will produce or import for each of them
// (grid dbMercancias over mercbi), typed straight into the tables; a button that generates
// the BRELOT files and copies them to drive A:, and one that opens the questionnaire's
// print window.

#include "sectoral/BrelotGrids.h"
#include "sectoral/BrelotQuestionnaire.h"

#include <QDialog>

#include <memory>

class QToolButton;

namespace Ui {
class frmSolBrelot;
}

namespace kalto {

class BoundGrid;
class DataSource;
class Database;
class Messages;
class PickList;

class frmSolBrelot : public QDialog {
    Q_OBJECT
public:
    // `applicant` is what the main window shows (header, fiscal address, representative,
    // plants), taken when the window is opened; the main window stores its rows in edit first.
    frmSolBrelot(Database& db, Messages& messages, const ApplicantData& applicant, QWidget* parent = nullptr);
    ~frmSolBrelot() override;

    // The main window's "B R E L O T" button: opens the window modally and returns when the
    // user closes it.
    static void openModal(QWidget* parent, Database& db, Messages& messages, const ApplicantData& applicant);

    // The date the questionnaire is signed on (the computer's date unless set).
    void setClock(DateClock today) { today_ = std::move(today); }

    // Re-reads the tables into the grids and refills the three pick lists: when the window
    // opens and again when a window opened from it closes.
    void activate();

    // cmdAccion(0), "Exporta la informacion a disco": stores the rows in edit, then generates
    // the files and copies them to drive A:.
    void exportToDisk();
    // cmdAccion(1), "Imprime la solicitud del tramite": stores the rows in edit, then opens
    // the questionnaire's print window.
    void printQuestionnaire();

    BoundGrid* dbSectores() const;
    BoundGrid* dbMercancias() const;
    PickList* lstSector() const;
    PickList* lstSectorII() const;
    PickList* lstFraccion() const;
    QToolButton* cmdAccion(int index) const;

public slots:
    // Closing stores the rows in edit first; a row the table refuses keeps the window open.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    // Escape belongs to the grids and lists (it drops a row being typed); the window is
    // closed with its close box only.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void wireGrids();
    void openList(BoundGrid* grid, int column, PickList* list);
    // While a list is shown, the typed text selects `found` in it when it holds it.
    static void follow(PickList* list, const QString& found);
    void fillEnteredSectors();
    bool commitGrids();

    Database& db_;
    Messages& messages_;
    ApplicantData applicant_;
    DateClock today_;
    BrelotLookups lookups_;

    DataSource* dtsSectores_ = nullptr;
    DataSource* dtsMercancias_ = nullptr;
    DataSource* dtsCSectores_ = nullptr;
    std::unique_ptr<SectorGridRule> sectorRule_;
    std::unique_ptr<GoodsGridRule> goodsRule_;
    // The controls, laid out in frmSolBrelot.ui.
    std::unique_ptr<Ui::frmSolBrelot> ui_;
    bool opened_ = false;
};

}  // namespace kalto

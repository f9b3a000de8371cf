// The main window's toolbar: clear, save, disk, print, About, the request check, the restore
// from a disk and the sectoral window. Each action first stores what is being typed.

#include "app/ui/frmKALTO.h"
#include "ui_frmKALTO.h"

#include "app/AnnexInputsLink.h"
#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/PrintRequest.h"
#include "app/RequestChanges.h"
#include "app/RequestRestore.h"
#include "app/RequestVerifier.h"
#include "app/ui/frmInfoVersion.h"
#include "app/ui/frmVerificaSolicitud.h"
#include "core/Drives.h"
#include "core/Messages.h"
#include "core/TextFiles.h"
#include "data/Database.h"
#include "print/ui/frmImpSolKALTO.h"
#include "sectoral/ui/BrelotApplicant.h"
#include "sectoral/ui/frmSolBrelot.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/Hourglass.h"
#include "toolkit/frmEspera.h"

#include <QFileDialog>
#include <QPushButton>
#include <QToolButton>

namespace kalto {

namespace {

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

void frmKALTO::wireToolbar() {
    const std::array<QToolButton*, 5> cmdKALTO{ui_->cmdKALTO_0, ui_->cmdKALTO_1, ui_->cmdKALTO_2, ui_->cmdKALTO_3,
                                               ui_->cmdKALTO_4};
    for (int i = 0; i < 5; ++i) connect(cmdKALTO[i], &QToolButton::clicked, this, [this, i] { cmdKALTO_Click(i); });
    connect(ui_->cmdVerificar, &QToolButton::clicked, this, &frmKALTO::cmdVerificar_Click);
    connect(ui_->cmdCambios, &QToolButton::clicked, this, &frmKALTO::cmdCambios_Click);
    connect(ui_->cmdRecupera, &QToolButton::clicked, this, &frmKALTO::cmdRecupera_Click);
    connect(ui_->cmdBrelot, &QPushButton::clicked, this, &frmKALTO::cmdBrelot_Click);
}

void frmKALTO::cmdBrelot_Click() {
    // The sectoral window works on the application as the main window shows it: the rows
    // being typed and the header are stored first.
    if (!commitGrids() || !storeHeader()) return;
    const ApplicantData applicant = applicantFromWindow(ui_->txtRFC->text(), ui_->txtRSocial->text(), *ui_->cmbSector,
                                                        *ui_->dbDomFiscal, *ui_->dbRepLegal, *ui_->dbPlanta);
    frmSolBrelot::openModal(this, db_, messages_, applicant);
}

void frmKALTO::cmdRecupera_Click() {
    RestoreHooks hooks;
    hooks.storePending = [this] { return commitGrids() && storeHeader(); };
    hooks.rebind = [this] {
        header_->discardPending();  // the texts shown are those of the restored request
        rebindRequest();
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
    QList<RequestFinding> findings, warnings;
    {
        Hourglass reloj;
        RequestVerifier verifier(*rules_);
        findings = verifier.verify();
        warnings = verifier.rfcWarnings();
    }
    showFindings(findings, warnings, FindingsTexts::verification());
}

void frmKALTO::cmdCambios_Click() {
    // What the grids hold is compared: pending rows are stored first.
    if (!commitGrids() || !storeHeader()) return;
    const QString kept = RequestChanges::lastDiskCopy(db_.folder());
    if (kept.isEmpty()) {
        messages_.information(RequestChanges::kMsgSinDisco);
        return;
    }
    QList<RequestChange> changes;
    QList<RequestFinding> findings;
    {
        Hourglass reloj;
        QString error;
        if (!RequestChanges::compare(db_, kept, &changes, &error)) {
            messages_.exclamation(QStringLiteral("No se pudo leer la copia del último disco: ") + error);
            return;
        }
        findings = RequestChanges::findings(changes, *fuentes_, db_);
    }
    const QString when = RequestChanges::diskCopyTime(kept).toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    showFindings(findings, {},
                 {QStringLiteral("Cambios desde el último disco"), RequestChanges::kMsgSinCambios + QLatin1Char(' ') +
                      QStringLiteral("(Disco grabado el %1.)").arg(when),
                  QStringLiteral("Cambios desde el disco grabado el %1: %2. Doble clic en uno para ir a él.")
                      .arg(when, QStringLiteral("%1")),
                  QStringLiteral("Cambio"), {}});
}

void frmKALTO::showFindings(const QList<RequestFinding>& findings, const QList<RequestFinding>& warnings,
                            const FindingsTexts& texts) {
    auto pageName = [this](int page) {
        return page < ui_->SSTabKALTO->count() ? ui_->SSTabKALTO->tabText(page).remove(QLatin1Char('&'))
                                           : QString::number(page + 1);
    };
    auto objectName = [this](const RequestFinding& f) {
        const QWidget* w = findChild<QWidget*>(f.object);
        if (!w) return f.object;
        if (!w->accessibleName().isEmpty()) return w->accessibleName();
        return w->toolTip().isEmpty() ? f.object : w->toolTip();
    };
    auto* ventana = new frmVerificaSolicitud(findings, warnings, texts, pageName, objectName,
                                             [this](const RequestFinding& f) { showFinding(f); }, this);
    ventana->setAttribute(Qt::WA_DeleteOnClose);
    ventana->show();
}

void frmKALTO::showFinding(const RequestFinding& f) {
    if (f.page >= 0 && f.page < ui_->SSTabKALTO->count()) ui_->SSTabKALTO->setCurrentIndex(f.page);
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
        clearTexts();
        rebindRequest();
        ui_->cmbTramite->setFocus(Qt::OtherFocusReason);  // a new request begins in the header
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
        WindowRequestView view(headerEdits_, {ui_->dbDomFiscal, ui_->dbRepLegal, ui_->dbPlanta, ui_->dbControl, ui_->dbProducto,
                                              ui_->dbTerciarizacion, ui_->dbServicios, ui_->dbEServicios, ui_->dbSubmanufactura,
                                              ui_->dbAnxMPE, dbAnx_[0], dbAnx_[1], dbAnx_[2], dbAnx_[3]});
        DiskGenerationHooks hooks;
        hooks.showPage = [this](int page) { ui_->SSTabKALTO->setCurrentIndex(page); };
        hooks.showWait = [this] { frmEspera::showModal(this); };
        hooks.rebind = [this] { rebindRequest(); };
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
            const int rows = ui_->dbRepLegal->rowCount();
            int row = ui_->dbRepLegal->currentRow();
            if (row < 0 || row >= rows) row = 0;
            for (int c = 0; rows > 0 && c < ui_->dbRepLegal->columnCount(); ++c)
                representative << ui_->dbRepLegal->cellValue(row, c);
            return fillReportSnapshot(*fuentes_, *estado_,
                                      {ui_->cmbTramite->currentText(), ui_->cmbModalidad->currentText(),
                                       ui_->cmbSector->currentText()},
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

}  // namespace kalto

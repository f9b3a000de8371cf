#include "records/ui/frmDetalle.h"

#include "core/Messages.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/WindowPlacement.h"
#include "ui_frmDetalle.h"

namespace kalto {

frmDetalle::frmDetalle(Database& db, Messages& messages, CompanyKind kind, const QString& name, const QString& rfc,
                       QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::frmDetalle>()), messages_(messages),
      codes_(companyAddressKind(kind)), rfc_(rfc) {
    ui_->setupUi(this);
    setWindowTitle(companyAddressCaption(kind, name, rfc));

    dtsFiscalEC_ = new DataSource(QStringLiteral("dtsFiscalEC"), &db, QString(), this);
    dtsPlantaEC_ = new DataSource(QStringLiteral("dtsPlantaEC"), &db, QString(), this);
    // The RFC is bound as a value: any character it holds, a quote included, is only data.
    dtsFiscalEC_->setRecordSource(kCompanyAddressSource, companyAddressParams(codes_.fiscalCode, rfc_));
    dtsPlantaEC_->setRecordSource(kCompanyAddressSource, companyAddressParams(codes_.plantCode, rfc_));
    QString error;
    if (!dtsFiscalEC_->refresh(&error) || !dtsPlantaEC_->refresh(&error))
        messages_.exclamation(QStringLiteral("No se pudieron leer los domicilios de la empresa: ") + error);

    DataSource* fiscal = dtsFiscalEC_;
    fiscalRule_ = std::make_unique<CompanyAddressRule>(messages_, codes_.fiscalCode, rfc_,
                                                       [fiscal] { return fiscal->recordSet().count(); });
    plantRule_ = std::make_unique<CompanyAddressRule>(messages_, codes_.plantCode, rfc_);
    ui_->dbFiscalEC->bind(dtsFiscalEC_, CompanyAddressRule::columns(), fiscalRule_.get(), &messages_);
    ui_->dbPlantaDC->bind(dtsPlantaEC_, CompanyAddressRule::columns(), plantRule_.get(), &messages_);
}

frmDetalle::~frmDetalle() {
    // The grids hold pointers to the rules: let them go first.
    delete ui_->dbFiscalEC;
    delete ui_->dbPlantaDC;
}

BoundGrid* frmDetalle::dbFiscalEC() const { return ui_->dbFiscalEC; }
BoundGrid* frmDetalle::dbPlantaDC() const { return ui_->dbPlantaDC; }

bool frmDetalle::open(QWidget* parent, Database& db, Messages& messages, CompanyKind kind, const QString& name,
                      const QString& rfc) {
    if (!canShowCompanyAddresses(name, rfc, messages)) return false;
    frmDetalle window(db, messages, kind, name, rfc, parent);
    window.exec();
    return true;
}

void frmDetalle::done(int result) {
    if (!ui_->dbFiscalEC->commit() || !ui_->dbPlantaDC->commit()) return;
    dtsFiscalEC_->close();
    dtsPlantaEC_->close();
    QDialog::done(result);
}

void frmDetalle::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(this);
    }
}

}  // namespace kalto

#include "records/ui/frmDetalle.h"

#include "toolkit/WindowPlacement.h"
#include "core/Messages.h"
#include "toolkit/BoundGrid.h"
#include "data/DataSource.h"
#include "data/Database.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace kalto {

frmDetalle::frmDetalle(Database& db, Messages& messages, CompanyKind kind, const QString& name, const QString& rfc,
                       QWidget* parent)
    : QDialog(parent), messages_(messages), kind_(kind), codes_(companyAddressKind(kind)), rfc_(rfc) {
    setObjectName(QStringLiteral("frmDetalle"));
    setWindowTitle(companyAddressCaption(kind, name, rfc));
    setModal(true);

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

    lblDFiscal_ = new QLabel(QStringLiteral("DOMICILIO FISCAL"), this);
    lblDFiscal_->setObjectName(QStringLiteral("lblDFiscal"));
    dbFiscalEC_ = new BoundGrid(this);
    dbFiscalEC_->setObjectName(QStringLiteral("dbFiscalEC"));
    dbFiscalEC_->bind(dtsFiscalEC_, CompanyAddressRule::columns(), fiscalRule_.get(), &messages_);
    lblDFiscal_->setBuddy(dbFiscalEC_);

    lblDPlantas_ = new QLabel(QStringLiteral("DOMICILIO(S) PLANTA(S)"), this);
    lblDPlantas_->setObjectName(QStringLiteral("lblDPlantas"));
    dbPlantaDC_ = new BoundGrid(this);
    dbPlantaDC_->setObjectName(QStringLiteral("dbPlantaDC"));
    dbPlantaDC_->bind(dtsPlantaEC_, CompanyAddressRule::columns(), plantRule_.get(), &messages_);
    lblDPlantas_->setBuddy(dbPlantaDC_);

    // One fiscal row and its add-new row; the plants take the rest of the window.
    dbFiscalEC_->setMinimumHeight(90);
    dbFiscalEC_->setMaximumHeight(110);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblDFiscal_);
    layout->addWidget(dbFiscalEC_);
    layout->addSpacing(8);
    layout->addWidget(lblDPlantas_);
    layout->addWidget(dbPlantaDC_, 1);
    resize(960, 420);
}

frmDetalle::~frmDetalle() {
    // The grids hold pointers to the rules: let them go first.
    delete dbFiscalEC_;
    delete dbPlantaDC_;
}

bool frmDetalle::open(QWidget* parent, Database& db, Messages& messages, CompanyKind kind, const QString& name,
                      const QString& rfc) {
    if (!canShowCompanyAddresses(name, rfc, messages)) return false;
    frmDetalle window(db, messages, kind, name, rfc, parent);
    window.exec();
    return true;
}

void frmDetalle::done(int result) {
    if (!dbFiscalEC_->commit() || !dbPlantaDC_->commit()) return;
    dtsFiscalEC_->close();
    dtsPlantaEC_->close();
    QDialog::done(result);
}

void frmDetalle::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centre();
    }
}

void frmDetalle::centre() { centreOnScreen(this); }

}  // namespace kalto

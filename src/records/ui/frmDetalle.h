#pragma once
// The addresses of one related company (controlled, outsourcing or submanufacturing): its
// fiscal address and its plants, in two grids over imdir, selected by the company's kind
// codes and RFC. Opened modally from the "&Verifica Domicilio" button of the company's tab.

#include "records/AddressRule.h"
#include "records/CompanyAddresses.h"

#include <QDialog>

#include <memory>

namespace Ui {
class frmDetalle;
}

namespace kalto {

class BoundGrid;
class DataSource;
class Database;
class Messages;

class frmDetalle : public QDialog {
    Q_OBJECT
public:
    // The window for the company `name` / `rfc` of the given kind; the grids are bound and
    // filled. Call canShowCompanyAddresses first (open() does).
    frmDetalle(Database& db, Messages& messages, CompanyKind kind, const QString& name, const QString& rfc,
               QWidget* parent = nullptr);
    ~frmDetalle() override;

    // The buttons' action: `name` and `rfc` are columns 0 and 1 of the company grid's
    // current row (the caller stores a row in edit first). Without a company the selection
    // message is shown and nothing opens; otherwise the window is shown modally and this
    // returns when the user closes it. Returns whether the window was shown.
    static bool open(QWidget* parent, Database& db, Messages& messages, CompanyKind kind, const QString& name,
                     const QString& rfc);

    BoundGrid* dbFiscalEC() const;
    BoundGrid* dbPlantaDC() const;

public slots:
    // Closing stores the rows in edit first; a row refused stays in edit and the window open.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::frmDetalle> ui_;
    Messages& messages_;
    CompanyAddressKind codes_;
    QString rfc_;
    DataSource* dtsFiscalEC_ = nullptr;
    DataSource* dtsPlantaEC_ = nullptr;
    std::unique_ptr<CompanyAddressRule> fiscalRule_;
    std::unique_ptr<CompanyAddressRule> plantRule_;
    bool centred_ = false;
};

}  // namespace kalto

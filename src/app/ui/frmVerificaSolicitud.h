#pragma once
// The findings of "Verificar solicitud", all at once: page, grid, row, column and message
// (laid out in frmVerificaSolicitud.ui), the selected one whole below the list.
// Double-clicking a finding asks the main window to show its page, row and cell.

#include "app/RequestVerifier.h"

#include <QDialog>
#include <QList>

#include <functional>
#include <memory>

namespace Ui {
class frmVerificaSolicitud;
}

namespace kalto {

class frmVerificaSolicitud : public QDialog {
    Q_OBJECT
public:
    // `pageName(page)` and `objectName(finding)` give the texts the user knows the page and
    // the grid or field by; `show(finding)` selects them in the main window. A finding on an
    // input first shows its export product's row of dbAnxMPE, then the input.
    frmVerificaSolicitud(QList<RequestFinding> findings, std::function<QString(int)> pageName,
                         std::function<QString(const RequestFinding&)> objectName,
                         std::function<void(const RequestFinding&)> show, QWidget* parent = nullptr);
    ~frmVerificaSolicitud() override;

    const QList<RequestFinding>& findings() const { return findings_; }

private:
    std::unique_ptr<Ui::frmVerificaSolicitud> ui_;  // the controls
    QList<RequestFinding> findings_;
    std::function<void(const RequestFinding&)> show_;
};

}  // namespace kalto

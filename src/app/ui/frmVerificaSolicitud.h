#pragma once
// The findings of "Verificar solicitud", all at once: page, grid, row, column and message.
// Double-clicking a finding asks the main window to show its page, row and cell.

#include "app/RequestVerifier.h"

#include <QDialog>
#include <QList>

#include <functional>

class QTableWidget;

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

    const QList<RequestFinding>& findings() const { return findings_; }

private:
    QList<RequestFinding> findings_;
    std::function<void(const RequestFinding&)> show_;
    QTableWidget* lstHallazgos_ = nullptr;
};

}  // namespace kalto

#pragma once
// A list of findings on the request, all at once: page, grid, row, column and message (laid
// out in frmVerificaSolicitud.ui), the selected one whole below the lists. Double-clicking a
// finding asks the main window to show its page, row and cell. "Verificar solicitud" shows
// what keeps the disk from being written and, in a second list, warnings that do not;
// "Cambios desde el último disco" shows the changes made since the last disk the same way.

#include "app/RequestVerifier.h"

#include <QDialog>
#include <QList>

#include <functional>
#include <memory>

class QTableWidget;

namespace Ui {
class frmVerificaSolicitud;
}

namespace kalto {

// What the window says: its title, the summary with no finding and with some (%1 their number),
// the caption of the message column, and the summary of the warnings (%1 their number).
struct FindingsTexts {
    QString title;
    QString none;
    QString some;
    QString messageColumn;
    QString warnings;
    static FindingsTexts verification();  // "Verificar solicitud"
};

class frmVerificaSolicitud : public QDialog {
    Q_OBJECT
public:
    // `pageName(page)` and `objectName(finding)` give the texts the user knows the page and
    // the grid or field by; `show(finding)` selects them in the main window. A finding on an
    // input first shows its export product's row of dbAnxMPE, then the input.
    frmVerificaSolicitud(QList<RequestFinding> findings, QList<RequestFinding> warnings, const FindingsTexts& texts,
                         std::function<QString(int)> pageName, std::function<QString(const RequestFinding&)> objectName,
                         std::function<void(const RequestFinding&)> show, QWidget* parent = nullptr);
    ~frmVerificaSolicitud() override;

    const QList<RequestFinding>& findings() const { return findings_; }
    const QList<RequestFinding>& warnings() const { return warnings_; }

private:
    void fill(QTableWidget* list, const QList<RequestFinding>& findings, std::function<QString(int)>& pageName,
              std::function<QString(const RequestFinding&)>& objectName);

    std::unique_ptr<Ui::frmVerificaSolicitud> ui_;  // the controls
    QList<RequestFinding> findings_;
    QList<RequestFinding> warnings_;
    std::function<void(const RequestFinding&)> show_;
};

}  // namespace kalto

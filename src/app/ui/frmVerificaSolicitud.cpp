#include "app/ui/frmVerificaSolicitud.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kalto {

frmVerificaSolicitud::frmVerificaSolicitud(QList<RequestFinding> findings, std::function<QString(int)> pageName,
                                           std::function<QString(const RequestFinding&)> objectName,
                                           std::function<void(const RequestFinding&)> show, QWidget* parent)
    : QDialog(parent), findings_(std::move(findings)), show_(std::move(show)) {
    setObjectName(QStringLiteral("frmVerificaSolicitud"));
    setWindowTitle(QStringLiteral("Verificar solicitud"));
    auto* l = new QVBoxLayout(this);

    auto* lblResumen = new QLabel(this);
    lblResumen->setObjectName(QStringLiteral("lblResumen"));
    lblResumen->setText(findings_.isEmpty()
                            ? RequestVerifier::kMsgCompleta
                            : QStringLiteral("Pendientes de la solicitud: %1. Doble clic en uno para ir a él.")
                                  .arg(findings_.size()));
    l->addWidget(lblResumen);

    lstHallazgos_ = new QTableWidget(static_cast<int>(findings_.size()), 5, this);
    lstHallazgos_->setObjectName(QStringLiteral("lstHallazgos"));
    lstHallazgos_->setHorizontalHeaderLabels({QStringLiteral("Página"), QStringLiteral("Tabla o campo"),
                                              QStringLiteral("Renglón"), QStringLiteral("Columna"),
                                              QStringLiteral("Mensaje")});
    lstHallazgos_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstHallazgos_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstHallazgos_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstHallazgos_->verticalHeader()->hide();
    lstHallazgos_->horizontalHeader()->setStretchLastSection(true);
    auto numero = [](int n) { return n < 0 ? QString() : QString::number(n + 1); };
    for (int i = 0; i < findings_.size(); ++i) {
        const RequestFinding& f = findings_[i];
        const QStringList texts = {f.page < 0 ? QStringLiteral("Encabezado") : pageName(f.page), objectName(f),
                                   f.parentRow < 0 ? numero(f.row)
                                                   : QStringLiteral("%1 (del producto de exportación %2)")
                                                         .arg(numero(f.row), numero(f.parentRow)),
                                   numero(f.column), f.message};
        for (int c = 0; c < texts.size(); ++c) lstHallazgos_->setItem(i, c, new QTableWidgetItem(texts[c]));
    }
    lstHallazgos_->resizeColumnsToContents();
    lstHallazgos_->setHidden(findings_.isEmpty());
    connect(lstHallazgos_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row < 0 || row >= findings_.size() || !show_) return;
        const RequestFinding& f = findings_[row];
        // An input is shown under its own export product: that one is selected first, and
        // the inputs grid follows it.
        if (f.parentRow >= 0) show_({f.page, QStringLiteral("dbAnxMPE"), f.parentRow, -1, {}});
        show_(f);
    });
    l->addWidget(lstHallazgos_, 1);

    auto* botones = new QDialogButtonBox(QDialogButtonBox::Close, this);
    botones->button(QDialogButtonBox::Close)->setText(QStringLiteral("Cerrar"));
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
    l->addWidget(botones);
    resize(760, findings_.isEmpty() ? 120 : 360);
}

}  // namespace kalto

#include "app/ui/frmVerificaSolicitud.h"
#include "ui_frmVerificaSolicitud.h"

#include <QPushButton>

namespace kalto {

frmVerificaSolicitud::frmVerificaSolicitud(QList<RequestFinding> findings, std::function<QString(int)> pageName,
                                           std::function<QString(const RequestFinding&)> objectName,
                                           std::function<void(const RequestFinding&)> show, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::frmVerificaSolicitud>()),
      findings_(std::move(findings)),
      show_(std::move(show)) {
    ui_->setupUi(this);
    ui_->botones->button(QDialogButtonBox::Close)->setText(QStringLiteral("Cerrar"));
    ui_->lblResumen->setText(findings_.isEmpty()
                                 ? RequestVerifier::kMsgCompleta
                                 : QStringLiteral("Pendientes de la solicitud: %1. Doble clic en uno para ir a él.")
                                       .arg(findings_.size()));

    QTableWidget* lista = ui_->lstHallazgos;
    lista->setRowCount(static_cast<int>(findings_.size()));
    auto numero = [](int n) { return n < 0 ? QString() : QString::number(n + 1); };
    for (int i = 0; i < findings_.size(); ++i) {
        const RequestFinding& f = findings_[i];
        const QStringList texts = {f.page < 0 ? QStringLiteral("Encabezado") : pageName(f.page), objectName(f),
                                   f.parentRow < 0 ? numero(f.row)
                                                   : QStringLiteral("%1 (del producto de exportación %2)")
                                                         .arg(numero(f.row), numero(f.parentRow)),
                                   numero(f.column), f.message};
        for (int c = 0; c < texts.size(); ++c) lista->setItem(i, c, new QTableWidgetItem(texts[c]));
    }
    // The window keeps its width: the first columns are as wide as their usual texts, the
    // message takes the rest, and every text that is longer wraps (the rows grow with it).
    const QFontMetrics fm = lista->fontMetrics();
    const QString anchos[4] = {QStringLiteral("8. Materias Primas"), QStringLiteral("Representante Legal"),
                               QStringLiteral("Renglón"), QStringLiteral("Columna")};
    for (int c = 0; c < 4; ++c) lista->setColumnWidth(c, fm.horizontalAdvance(anchos[c]) + 12);
    lista->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lista->setHidden(findings_.isEmpty());
    ui_->lblDetalle->setHidden(findings_.isEmpty());

    // The finding selected, whole, below the list.
    connect(lista, &QTableWidget::currentCellChanged, this, [this, lista](int row) {
        QStringList partes;
        for (int c = 0; c < 4 && row >= 0; ++c) {
            const QString texto = lista->item(row, c)->text();
            if (!texto.isEmpty()) partes << lista->horizontalHeaderItem(c)->text() + QStringLiteral(": ") + texto;
        }
        ui_->lblDetalle->setText(row < 0 ? QString()
                                         : partes.join(QStringLiteral(" · ")) + QLatin1Char('\n') +
                                               lista->item(row, 4)->text());
    });
    connect(lista, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row < 0 || row >= findings_.size() || !show_) return;
        const RequestFinding& f = findings_[row];
        // An input is shown under its own export product: that one is selected first, and
        // the inputs grid follows it.
        if (f.parentRow >= 0) show_({f.page, QStringLiteral("dbAnxMPE"), f.parentRow, -1, {}});
        show_(f);
    });
    if (!findings_.isEmpty()) lista->setCurrentCell(0, 0);
    resize(760, findings_.isEmpty() ? 120 : 440);
}

frmVerificaSolicitud::~frmVerificaSolicitud() = default;

}  // namespace kalto

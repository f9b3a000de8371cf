#include "app/ui/frmVerificaSolicitud.h"
#include "ui_frmVerificaSolicitud.h"

#include <QPushButton>

namespace kalto {

FindingsTexts FindingsTexts::verification() {
    return {QStringLiteral("Verificar solicitud"), RequestVerifier::kMsgCompleta,
            QStringLiteral("Pendientes de la solicitud: %1. Doble clic en uno para ir a él."), QStringLiteral("Mensaje"),
            QStringLiteral("Avisos que no impiden grabar el disco: %1. Doble clic en uno para ir a él.")};
}

frmVerificaSolicitud::frmVerificaSolicitud(QList<RequestFinding> findings, QList<RequestFinding> warnings,
                                           const FindingsTexts& texts, std::function<QString(int)> pageName,
                                           std::function<QString(const RequestFinding&)> objectName,
                                           std::function<void(const RequestFinding&)> show, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::frmVerificaSolicitud>()),
      findings_(std::move(findings)),
      warnings_(std::move(warnings)),
      show_(std::move(show)) {
    ui_->setupUi(this);
    setWindowTitle(texts.title);
    setAccessibleName(texts.title);
    ui_->botones->button(QDialogButtonBox::Close)->setText(QStringLiteral("Cerrar"));
    ui_->lblResumen->setText(findings_.isEmpty() ? texts.none : texts.some.arg(findings_.size()));
    ui_->lblAvisos->setText(texts.warnings.arg(warnings_.size()));

    fill(ui_->lstHallazgos, findings_, pageName, objectName);
    fill(ui_->lstAvisos, warnings_, pageName, objectName);
    for (QTableWidget* lista : {ui_->lstHallazgos, ui_->lstAvisos})
        lista->horizontalHeaderItem(4)->setText(texts.messageColumn);
    ui_->lstAvisos->setHidden(warnings_.isEmpty());
    ui_->lblAvisos->setHidden(warnings_.isEmpty());
    ui_->lblDetalle->setHidden(findings_.isEmpty() && warnings_.isEmpty());
    if (!findings_.isEmpty()) ui_->lstHallazgos->setCurrentCell(0, 0);
    else if (!warnings_.isEmpty()) ui_->lstAvisos->setCurrentCell(0, 0);
    resize(760, findings_.isEmpty() && warnings_.isEmpty() ? 120 : 440);
}

void frmVerificaSolicitud::fill(QTableWidget* lista, const QList<RequestFinding>& findings,
                                std::function<QString(int)>& pageName,
                                std::function<QString(const RequestFinding&)>& objectName) {
    lista->setRowCount(static_cast<int>(findings.size()));
    auto numero = [](int n) { return n < 0 ? QString() : QString::number(n + 1); };
    for (int i = 0; i < findings.size(); ++i) {
        const RequestFinding& f = findings[i];
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
    lista->setHidden(findings.isEmpty());

    // The finding selected, whole, below the lists.
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
    const QList<RequestFinding>* list = &findings;
    connect(lista, &QTableWidget::cellDoubleClicked, this, [this, list](int row, int) {
        if (row < 0 || row >= list->size() || !show_) return;
        const RequestFinding& f = list->at(row);
        // An input is shown under its own export product: that one is selected first, and
        // the inputs grid follows it.
        if (f.parentRow >= 0) show_({f.page, QStringLiteral("dbAnxMPE"), f.parentRow, -1, {}});
        show_(f);
    });
}

frmVerificaSolicitud::~frmVerificaSolicitud() = default;

}  // namespace kalto

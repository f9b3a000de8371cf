#include "app/RequestVerifier.h"

#include "annexes/AnnexRules.h"
#include "annexes/ProductRule.h"
#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/RequestRules.h"
#include "core/GridRule.h"
#include "core/Messages.h"
#include "core/RequestState.h"
#include "core/VerificaConValor.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "records/AddressRule.h"
#include "records/CompanyRules.h"
#include "records/LegalRepresentativeRule.h"

#include <memory>

namespace kalto {

const QString RequestVerifier::kMsgCompleta = QStringLiteral("La solicitud está completa.");

namespace {

// Keeps every message instead of showing it; questions are answered No.
class CollectedMessages : public Messages {
public:
    void exclamation(const QString& text, const QString&) override { texts << text; }
    void stop(const QString& text, const QString&) override { texts << text; }
    void information(const QString& text, const QString&) override { texts << text; }
    void plain(const QString& text, const QString&) override { texts << text; }
    bool askYesNo(const QString& text, bool, const QString&, Answer) override {
        texts << text;
        return false;
    }
    QStringList take() {
        QStringList out;
        out.swap(texts);
        return out;
    }
    QStringList texts;
};

QList<int> columnList(const QString& columns) {
    QList<int> out;
    for (const QString& part : columns.split(QLatin1Char(','), Qt::SkipEmptyParts)) out << part.trimmed().toInt();
    return out;
}

}  // namespace

QList<RequestFinding> RequestVerifier::verify() {
    QList<RequestFinding> findings;
    SourceRequestView view(rules_.fuentes(), rules_.estado());
    CollectedMessages m;
    auto add = [&](int page, const QString& object, int row, int column) {
        for (const QString& text : m.take()) findings.append({page, object, row, column, text});
    };

    // The completeness checks of the disk generation, over every stored row.
    for (const RequestCheck& c : requestChecks(rules_, view)) {
        switch (c.kind) {
        case RequestCheck::Kind::Header:
            verificaconvalor::textoRequerido(view.headerText(c.field), view.headerTooltip(c.field), m);
            add(c.page, headerObjectName(c.field), -1, -1);
            break;
        case RequestCheck::Kind::Grid: {
            const int rows = view.rowCount(c.grid);
            auto titulo = [&](int col) { return view.caption(c.grid, col); };
            if (rows == 0) {
                verificaconvalor::gridRequerido(0, {}, titulo, view.tooltip(c.grid), c.columns, m);
                add(c.page, gridObjectName(c.grid), -1, -1);
                break;
            }
            for (int r = 0; r < rows; ++r) {
                for (int col : columnList(c.columns)) {
                    verificaconvalor::gridRequerido(
                        rows, [&](int k) { return view.valueAt(c.grid, r, k); }, titulo, view.tooltip(c.grid),
                        QString::number(col), m);
                    add(c.page, gridObjectName(c.grid), r, col);
                }
            }
            break;
        }
        case RequestCheck::Kind::Annexes:
            if (annexRowCount(view) == 0) {
                m.stop(DiskGeneration::kMsgAnexos, {});
                add(c.page, gridObjectName(c.grid), -1, -1);
            }
            break;
        case RequestCheck::Kind::Controladora:
            rules_.verificaControladora(m);
            add(c.page, gridObjectName(c.grid), -1, -1);
            break;
        }
    }

    // The check each grid runs on an accepted cell, on a copy of every stored row.
    Database& db = rules_.database();
    RequestState& estado = rules_.estado();
    ExportProductSelection seleccion;
    const RecordSet& mpe = rules_.fuentes().dtsAnxMPE()->recordSet();
    if (mpe.isOpen() && mpe.count() > 0) {
        const int r = mpe.position() >= 0 && mpe.position() < mpe.count() ? mpe.position() : 0;
        seleccion.id = view.valueAt(RequestGrid::AnxMPE, r, ExportProductAnnexRule::IdProd);
        seleccion.fraccion = view.valueAt(RequestGrid::AnxMPE, r, ExportProductAnnexRule::Fraccion).toString();
    }
    ExportProductSelection fila;  // the export product of the input being checked
    for (RequestGrid g : kRequestGrids) {
        std::unique_ptr<GridRule> rule;
        QList<int> skip;  // cells whose acceptance takes a list's entry rather than checking the value
        switch (g) {
        case RequestGrid::DomFiscal: rule = std::make_unique<AddressRule>(m, AddressRule::kFiscal); break;
        case RequestGrid::Planta: rule = std::make_unique<AddressRule>(m, AddressRule::kPlanta); break;
        case RequestGrid::RepLegal: rule = std::make_unique<LegalRepresentativeRule>(m, std::function<int()>{}); break;
        case RequestGrid::Control: rule = std::make_unique<CompanyRule>(m, CompanyGrid::controlled()); break;
        case RequestGrid::Terciarizacion: rule = std::make_unique<CompanyRule>(m, CompanyGrid::outsourcing()); break;
        case RequestGrid::EServicios: rule = std::make_unique<CompanyRule>(m, CompanyGrid::serviceCompanies()); break;
        case RequestGrid::Submanufactura:
            rule = std::make_unique<CompanyRule>(m, CompanyGrid::submanufacturing());
            break;
        case RequestGrid::Producto:
            rule = std::make_unique<ProductRule>(db, m, estado, nullptr);
            skip << ProductRule::UmId << ProductRule::Um << ProductRule::IdProd;
            break;
        case RequestGrid::Servicios: break;  // the service is always the list's entry
        case RequestGrid::AnxMPE: rule = std::make_unique<ExportProductAnnexRule>(db, m, estado); break;
        case RequestGrid::Anx0:
            rule = std::make_unique<AnnexRule>(db, m, estado, 0, [&fila] { return fila; });
            break;
        case RequestGrid::Anx1:
        case RequestGrid::Anx2:
        case RequestGrid::Anx3: {
            const int index = g == RequestGrid::Anx1 ? 1 : g == RequestGrid::Anx2 ? 2 : 3;
            rule = std::make_unique<AnnexRule>(db, m, estado, index, [&seleccion] { return seleccion; });
            break;
        }
        }
        if (!rule) continue;
        const int rows = view.rowCount(g);
        const int columns = SourceRequestView::columnCount(g);
        for (int r = 0; r < rows; ++r) {
            QVariantList values;
            for (int c = 0; c < columns; ++c) values << view.valueAt(g, r, c);
            if (g == RequestGrid::Anx0) {
                // An input is checked against the export product it belongs to.
                fila.id = values.value(3);
                fila.fraccion = db.scalar(QStringLiteral("select fraccion from imanexos where id_prod = ? and "
                                                         "tipo_reg = 1 and id_subord = 0"),
                                          {fila.id})
                                    .toString();
            }
            for (int c = 0; c < columns; ++c) {
                if (skip.contains(c) || values[c].isNull() || values[c].toString().trimmed().isEmpty()) continue;
                GridRow copia(values, false);
                rule->cellAccepted(copia, c);
                add(SourceRequestView::pageOf(g), gridObjectName(g), r, c);
            }
        }
    }
    return findings;
}

}  // namespace kalto

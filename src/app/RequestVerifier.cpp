#include "app/RequestVerifier.h"

#include "annexes/AnnexGrids.h"
#include "annexes/AnnexRules.h"
#include "annexes/ProductRule.h"
#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/RequestRules.h"
#include "core/GridHelpers.h"
#include "core/GridRule.h"
#include "core/Messages.h"
#include "core/Numbers.h"
#include "core/RfcCheckDigit.h"
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
const QString RequestVerifier::kMsgDigitoRfc =
    QStringLiteral("El dígito verificador del RFC %1 no corresponde (se esperaba %2). Verifica el RFC.");
const QString RequestVerifier::kMsgDigitoRfcSin =
    QStringLiteral("El RFC %1 tiene caracteres que no admite; no se puede calcular su dígito verificador. Verifica el RFC.");

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

// A stored row of a grid, by grid column; an input names the row of its export product.
struct StoredRow {
    int parentRow = -1;
    int row = -1;
    QVariantList values;
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
    Database& db = rules_.database();
    CollectedMessages m;
    auto add = [&](int page, const QString& object, int row, int column, int parentRow = -1) {
        for (const QString& text : m.take()) findings.append({page, object, row, column, text, parentRow});
    };

    // The export products, and the inputs of each as the inputs grid shows them once it is
    // selected (the grid's source holds only those of the selected one).
    QList<ExportProductSelection> productos;
    for (int p = 0; p < view.rowCount(RequestGrid::AnxMPE); ++p) {
        ExportProductSelection s;
        s.id = view.valueAt(RequestGrid::AnxMPE, p, ExportProductAnnexRule::IdProd);
        s.fraccion = view.valueAt(RequestGrid::AnxMPE, p, ExportProductAnnexRule::Fraccion).toString();
        productos << s;
    }
    QList<StoredRow> insumos;
    const QList<GridColumn> columnasInsumo = columnas::anexo(0);
    for (int p = 0; p < productos.size(); ++p) {
        if (cellText(productos[p].id).trimmed().isEmpty()) continue;
        const QVariant padre(static_cast<qint64>(leadingNumber(cellText(productos[p].id))));
        QStringList campos;
        int fila = 0;
        db.query(
            QStringLiteral("select * from imanexos where tipo_reg=1 and id_subord=?"), {padre},
            [&](const QVariantList& valores) {
                StoredRow r{p, fila++, {}};
                for (const GridColumn& col : columnasInsumo) {
                    QVariant v;
                    for (int i = 0; i < campos.size(); ++i)
                        if (!col.field.isEmpty() && campos[i].compare(col.field, Qt::CaseInsensitive) == 0)
                            v = valores.value(i);
                    r.values << v;
                }
                insumos << r;
                return true;
            },
            nullptr, &campos);
    }
    auto storedRows = [&](RequestGrid g) {
        if (g == RequestGrid::Anx0) return insumos;
        QList<StoredRow> out;
        const int columns = SourceRequestView::columnCount(g);
        for (int r = 0; r < view.rowCount(g); ++r) {
            StoredRow row{-1, r, {}};
            for (int c = 0; c < columns; ++c) row.values << view.valueAt(g, r, c);
            out << row;
        }
        return out;
    };

    // The completeness checks of the disk generation, over every stored row.
    for (const RequestCheck& c : requestChecks(rules_, view)) {
        switch (c.kind) {
        case RequestCheck::Kind::Header:
            verificaconvalor::textoRequerido(view.headerText(c.field), view.headerTooltip(c.field), m);
            add(c.page, headerObjectName(c.field), -1, -1);
            break;
        case RequestCheck::Kind::Grid: {
            const QList<StoredRow> rows = storedRows(c.grid);
            auto titulo = [&](int col) { return view.caption(c.grid, col); };
            if (rows.isEmpty()) {
                verificaconvalor::gridRequerido(0, {}, titulo, view.tooltip(c.grid), c.columns, m);
                add(c.page, gridObjectName(c.grid), -1, -1);
                break;
            }
            for (const StoredRow& r : rows) {
                for (int col : columnList(c.columns)) {
                    verificaconvalor::gridRequerido(
                        static_cast<int>(rows.size()), [&](int k) { return r.values.value(k); }, titulo,
                        view.tooltip(c.grid), QString::number(col), m);
                    add(c.page, gridObjectName(c.grid), r.row, col, r.parentRow);
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
    RequestState& estado = rules_.estado();
    ExportProductSelection seleccion;
    const RecordSet& mpe = rules_.fuentes().dtsAnxMPE()->recordSet();
    if (mpe.isOpen() && mpe.count() > 0)
        seleccion = productos.value(mpe.position() >= 0 && mpe.position() < mpe.count() ? mpe.position() : 0);
    ExportProductSelection padre;  // the export product of the input being checked
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
            rule = std::make_unique<AnnexRule>(db, m, estado, 0, [&padre] { return padre; });
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
        for (const StoredRow& r : storedRows(g)) {
            // An input is checked against the export product it belongs to.
            if (r.parentRow >= 0) padre = productos.value(r.parentRow);
            for (int c = 0; c < r.values.size(); ++c) {
                if (skip.contains(c) || r.values[c].isNull() || r.values[c].toString().trimmed().isEmpty()) continue;
                GridRow copia(r.values, false);
                rule->cellAccepted(copia, c);
                add(SourceRequestView::pageOf(g), gridObjectName(g), r.row, c, r.parentRow);
            }
        }
    }
    return findings;
}

QList<RequestFinding> RequestVerifier::rfcWarnings() {
    QList<RequestFinding> out;
    auto check = [&out](const QString& rfc, int page, const QString& object, int row, int column) {
        QChar expected;
        if (!rfcCheckDigitMismatch(rfc, &expected)) return;
        const QString shown = rfc.trimmed().toUpper();
        out.append({page, object, row, column,
                    expected.isNull() ? kMsgDigitoRfcSin.arg(shown) : kMsgDigitoRfc.arg(shown, expected)});
    };
    SourceRequestView view(rules_.fuentes(), rules_.estado());
    check(view.headerText(HeaderField::Rfc), -1, headerObjectName(HeaderField::Rfc), -1, -1);
    for (RequestGrid g : kRequestGrids) {
        if (g != RequestGrid::Control && g != RequestGrid::Terciarizacion && g != RequestGrid::EServicios &&
            g != RequestGrid::Submanufactura)
            continue;
        for (int r = 0; r < view.rowCount(g); ++r)
            check(cellText(view.valueAt(g, r, CompanyRule::Rfc)), SourceRequestView::pageOf(g), gridObjectName(g), r,
                  CompanyRule::Rfc);
    }
    return out;
}

}  // namespace kalto

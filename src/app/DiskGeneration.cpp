#include "app/DiskGeneration.h"

#include "annexes/AnnexGrids.h"
#include "app/MainDataSources.h"
#include "app/RequestChanges.h"
#include "core/Messages.h"
#include "core/RequestState.h"
#include "core/VerificaConValor.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/TableCatalogue.h"
#include "records/AddressRule.h"
#include "records/CompanyRules.h"
#include "records/LegalRepresentativeRule.h"

namespace kalto {

const QString DiskGeneration::kMsgAnexos = QStringLiteral("Debes ingresar por lo menos un registro de anexo  es requerido");
const QString DiskGeneration::kMsgDisco = QStringLiteral(
    "Asegúrese de que el disco esté en la unidad A:. \n\nSe continua con el proceso de guardado de la información?");
const QString DiskGeneration::kMsgNoCopiado = QStringLiteral("No se copió nada a la unidad A:.");

namespace {

const QString kTodasLasDirecciones = QStringLiteral("0,1,2,3,4,5,6,7,8");

}  // namespace

QList<GridColumn> requestGridColumns(RequestGrid grid) {
    switch (grid) {
    case RequestGrid::DomFiscal:
    case RequestGrid::Planta: return AddressRule::columns();
    case RequestGrid::RepLegal: return LegalRepresentativeRule::columns();
    case RequestGrid::Control: return CompanyGrid::controlled().columns;
    case RequestGrid::Producto: return columnas::productos();
    case RequestGrid::Terciarizacion: return CompanyGrid::outsourcing().columns;
    case RequestGrid::Servicios: return columnas::servicios();
    case RequestGrid::EServicios: return CompanyGrid::serviceCompanies().columns;
    case RequestGrid::Submanufactura: return CompanyGrid::submanufacturing().columns;
    case RequestGrid::AnxMPE: return columnas::anexoExportacion();
    case RequestGrid::Anx0: return columnas::anexo(0);
    case RequestGrid::Anx1: return columnas::anexo(1);
    case RequestGrid::Anx2: return columnas::anexo(2);
    case RequestGrid::Anx3: break;
    }
    return columnas::anexo(3);
}

DataSource* requestGridSource(MainDataSources& f, RequestGrid grid) {
    switch (grid) {
    case RequestGrid::DomFiscal: return f.dtsDireccion();
    case RequestGrid::RepLegal: return f.dtsRepLegal();
    case RequestGrid::Planta: return f.dtsPlanta();
    case RequestGrid::Control: return f.dtsControl();
    case RequestGrid::Producto: return f.dtsProducto();
    case RequestGrid::Terciarizacion: return f.dtsTerciarizacion();
    case RequestGrid::Servicios: return f.dtsServicio();
    case RequestGrid::EServicios: return f.dtsEServicios();
    case RequestGrid::Submanufactura: return f.dtsSubmanufactura();
    case RequestGrid::AnxMPE: return f.dtsAnxMPE();
    case RequestGrid::Anx0: return f.dtsAnxMPI();
    case RequestGrid::Anx1: return f.dtsAnxC();
    case RequestGrid::Anx2: return f.dtsAnxH();
    case RequestGrid::Anx3: break;
    }
    return f.dtsAnxR();
}

namespace {

// A reason shown as a sentence.
QString sentence(QString text) {
    text = text.trimmed();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('.'))) text += QLatin1Char('.');
    return text;
}

}  // namespace

// ----- the list of checks -----

QString gridObjectName(RequestGrid grid) {
    switch (grid) {
    case RequestGrid::DomFiscal: return QStringLiteral("dbDomFiscal");
    case RequestGrid::RepLegal: return QStringLiteral("dbRepLegal");
    case RequestGrid::Planta: return QStringLiteral("dbPlanta");
    case RequestGrid::Control: return QStringLiteral("dbControl");
    case RequestGrid::Producto: return QStringLiteral("dbProducto");
    case RequestGrid::Terciarizacion: return QStringLiteral("dbTerciarizacion");
    case RequestGrid::Servicios: return QStringLiteral("dbServicios");
    case RequestGrid::EServicios: return QStringLiteral("dbEServicios");
    case RequestGrid::Submanufactura: return QStringLiteral("dbSubmanufactura");
    case RequestGrid::AnxMPE: return QStringLiteral("dbAnxMPE");
    case RequestGrid::Anx0: return QStringLiteral("dbAnx_0");
    case RequestGrid::Anx1: return QStringLiteral("dbAnx_1");
    case RequestGrid::Anx2: return QStringLiteral("dbAnx_2");
    case RequestGrid::Anx3: break;
    }
    return QStringLiteral("dbAnx_3");
}

QString headerObjectName(HeaderField field) {
    switch (field) {
    case HeaderField::Rfc: return QStringLiteral("txtRFC");
    case HeaderField::CompanyName: return QStringLiteral("txtRSocial");
    case HeaderField::RegistrationNumber: return QStringLiteral("txtNumKALTO");
    case HeaderField::RegistrationYear: return QStringLiteral("txtAnioKALTO");
    case HeaderField::FolioNumber: return QStringLiteral("txtNDSol");
    case HeaderField::FolioYear: break;
    }
    return QStringLiteral("txtADSol");
}

int annexRowCount(const RequestView& view) {
    int anexos = 0;
    for (RequestGrid g : {RequestGrid::AnxMPE, RequestGrid::Anx0, RequestGrid::Anx1, RequestGrid::Anx2, RequestGrid::Anx3})
        anexos += view.rowCount(g);
    return anexos;
}

QList<RequestCheck> requestChecks(RequestRules& rules, const RequestView& view) {
    const RequestState& e = rules.estado();
    const bool nuevo = e.tramite == kProgramaNuevo;
    QList<RequestCheck> checks;
    auto header = [&](HeaderField f) {
        RequestCheck c;
        c.kind = RequestCheck::Kind::Header;
        c.field = f;
        checks << c;
    };
    auto grid = [&](RequestGrid g, const QString& columns) {
        RequestCheck c;
        c.kind = RequestCheck::Kind::Grid;
        c.grid = g;
        c.page = SourceRequestView::pageOf(g);
        c.columns = columns;
        checks << c;
    };

    // The header.
    header(HeaderField::Rfc);
    header(HeaderField::CompanyName);
    if (e.desahogo) {
        header(HeaderField::FolioYear);
        header(HeaderField::FolioNumber);
    }
    if (e.tramite == kAmpliacion) {
        header(HeaderField::RegistrationYear);
        header(HeaderField::RegistrationNumber);
    }

    // The grids the procedure and modality require, in the order of the pages.
    grid(RequestGrid::DomFiscal, kTodasLasDirecciones);
    grid(RequestGrid::RepLegal, QStringLiteral("0,1,2,3,4,5"));
    if (nuevo) grid(RequestGrid::Planta, kTodasLasDirecciones);
    if (nuevo && e.modalidad == kControladora) grid(RequestGrid::Control, QStringLiteral("0,1,2,5,6"));
    if (e.modalidad != kServicios) grid(RequestGrid::Producto, QStringLiteral("0,2,3,4"));
    if (nuevo && e.modalidad == kTerciarizacion) grid(RequestGrid::Terciarizacion, QStringLiteral("0,1"));
    if (view.rowCount(RequestGrid::Servicios) > 0 || e.modalidad == kServicios)
        grid(RequestGrid::Servicios, QStringLiteral("1"));
    if (view.rowCount(RequestGrid::EServicios) > 0 || (nuevo && e.modalidad == kServicios))
        grid(RequestGrid::EServicios, QStringLiteral("0"));
    if (view.rowCount(RequestGrid::Submanufactura) > 0) grid(RequestGrid::Submanufactura, QStringLiteral("0,1"));

    // The export products of the annexes name their description when a service of code 13 or
    // above is registered, their tariff item otherwise.
    const bool porDescripcion = rules.serviciosMayores() > 0;
    if (view.rowCount(RequestGrid::AnxMPE) > 0)
        grid(RequestGrid::AnxMPE, porDescripcion ? QStringLiteral("2") : QStringLiteral("3"));

    // At least one annex row.
    RequestCheck anexos;
    anexos.kind = RequestCheck::Kind::Annexes;
    anexos.page = kPagMateriasPrimas;
    anexos.grid = RequestGrid::AnxMPE;
    checks << anexos;

    // The whole-request rules of a new "Controladora" programme, as the save applies them.
    if (e.modalidad == kControladora && nuevo) {
        RequestCheck c;
        c.kind = RequestCheck::Kind::Controladora;
        c.page = kPagControladas;
        c.grid = RequestGrid::Control;
        checks << c;
    }
    return checks;
}

// ----- SourceRequestView -----

QString SourceRequestView::designedHeaderTooltip(HeaderField field) {
    switch (field) {
    case HeaderField::Rfc: return QStringLiteral("RFC de la empresa que esta presentando la solicitud");
    case HeaderField::CompanyName: return QStringLiteral("Razón Social");
    case HeaderField::RegistrationNumber: return QStringLiteral("Número resgistro KALTO");
    case HeaderField::RegistrationYear: return QStringLiteral("Año resgistro KALTO");
    case HeaderField::FolioNumber: return QStringLiteral("Número de folio a deshogar");
    case HeaderField::FolioYear: break;
    }
    return QStringLiteral("Año de folio a deshogar");
}

QString SourceRequestView::designedTooltip(RequestGrid grid) {
    switch (grid) {
    case RequestGrid::DomFiscal: return QStringLiteral("Direccion Fiscal");
    case RequestGrid::Planta: return QStringLiteral("domicilio de planta");
    case RequestGrid::Control: return CompanyGrid::controlled().tooltip;
    case RequestGrid::Terciarizacion: return CompanyGrid::outsourcing().tooltip;
    case RequestGrid::Servicios: return QStringLiteral("servicio");
    case RequestGrid::EServicios: return CompanyGrid::serviceCompanies().tooltip;
    case RequestGrid::Submanufactura: return CompanyGrid::submanufacturing().tooltip;
    case RequestGrid::AnxMPE: return QStringLiteral("Producto de Exportación");
    default: return {};
    }
}

QString SourceRequestView::headerText(HeaderField field) const { return kalto::headerText(state_, field); }

QString SourceRequestView::headerTooltip(HeaderField field) const { return designedHeaderTooltip(field); }

int SourceRequestView::rowCount(RequestGrid grid) const {
    const RecordSet& rs = requestGridSource(sources_, grid)->recordSet();
    return rs.isOpen() ? rs.count() : 0;
}

QVariant SourceRequestView::valueAt(RequestGrid grid, int row, int column) const {
    const RecordSet& rs = requestGridSource(sources_, grid)->recordSet();
    if (!rs.isOpen() || row < 0 || row >= rs.count()) return {};
    const QList<GridColumn> columns = requestGridColumns(grid);
    if (column < 0 || column >= columns.size() || columns[column].field.isEmpty()) return {};
    return rs.valueAt(row, rs.columnIndex(columns[column].field));
}

int SourceRequestView::columnCount(RequestGrid grid) { return static_cast<int>(requestGridColumns(grid).size()); }

int SourceRequestView::pageOf(RequestGrid grid) {
    switch (grid) {
    case RequestGrid::DomFiscal:
    case RequestGrid::RepLegal: return kPagDomicilioFiscal;
    case RequestGrid::Planta: return kPagPlantas;
    case RequestGrid::Control: return kPagControladas;
    case RequestGrid::Producto: return kPagProductos;
    case RequestGrid::Terciarizacion: return kPagTerciarizacion;
    case RequestGrid::Servicios:
    case RequestGrid::EServicios: return kPagServicios;
    case RequestGrid::Submanufactura: return kPagSubmanufactura;
    case RequestGrid::AnxMPE:
    case RequestGrid::Anx0:
    case RequestGrid::Anx3: return kPagMateriasPrimas;
    case RequestGrid::Anx1:
    case RequestGrid::Anx2: break;
    }
    return kPagContenedores;
}

QVariant SourceRequestView::currentValue(RequestGrid grid, int column) const {
    const RecordSet& rs = requestGridSource(sources_, grid)->recordSet();
    if (!rs.isOpen() || rs.count() == 0) return {};
    const QList<GridColumn> columns = requestGridColumns(grid);
    if (column < 0 || column >= columns.size()) return {};
    const int row = rs.position() >= 0 && rs.position() < rs.count() ? rs.position() : 0;
    return rs.valueAt(row, rs.columnIndex(columns[column].field));
}

QString SourceRequestView::caption(RequestGrid grid, int column) const {
    const QList<GridColumn> columns = requestGridColumns(grid);
    return column >= 0 && column < columns.size() ? columns[column].caption : QString();
}

QString SourceRequestView::tooltip(RequestGrid grid) const { return designedTooltip(grid); }

// ----- DiskGeneration -----

DiskGeneration::DiskGeneration(RequestRules& rules, RequestView& view, Messages& messages, const Drives& drives,
                               DiskGenerationHooks hooks)
    : rules_(rules), view_(view), messages_(messages), drives_(drives), hooks_(std::move(hooks)) {}

QString DiskGeneration::diskFileName(const QString& table) { return table + QStringLiteral(".DBF"); }

int DiskGeneration::verificaTexto(HeaderField field) {
    return verificaconvalor::textoRequerido(view_.headerText(field), view_.headerTooltip(field), messages_);
}

int DiskGeneration::verificaGrid(RequestGrid grid, int page, const QString& columns) {
    const int r = verificaconvalor::gridRequerido(
        view_.rowCount(grid), [&](int c) { return view_.currentValue(grid, c); },
        [&](int c) { return view_.caption(grid, c); }, view_.tooltip(grid), columns, messages_);
    if (r == 1 && hooks_.showPage) hooks_.showPage(page);
    return r;
}

bool DiskGeneration::verificaSolicitud() {
    for (const RequestCheck& c : requestChecks(rules_, view_)) {
        switch (c.kind) {
        case RequestCheck::Kind::Header:
            if (verificaTexto(c.field)) return false;
            break;
        case RequestCheck::Kind::Grid:
            if (verificaGrid(c.grid, c.page, c.columns)) return false;
            break;
        case RequestCheck::Kind::Annexes:
            if (annexRowCount(view_) == 0) {
                messages_.stop(kMsgAnexos);
                if (hooks_.showPage) hooks_.showPage(c.page);
                return false;
            }
            break;
        case RequestCheck::Kind::Controladora:
            if (!rules_.verificaControladora()) return false;
            break;
        }
    }
    return true;
}

DiskGeneration::CopyResult DiskGeneration::CopiaBasesADisco(int n) {
    CopyResult r;
    QString error;
    if (drives_.folder(QLatin1Char('A'), &error).isEmpty()) {
        r.notPrepared = error;
        return r;
    }
    // Every table is readied before the first file is written: the disk receives the tables
    // without their deleted records, and a table that cannot be readied (a row in edit over it
    // that cannot be stored) leaves the disk as it was.
    Database& db = rules_.database();
    const QStringList& tables = requestTables();
    QList<std::pair<QString, QString>> files;
    for (int i = 0; i < n && i < tables.size(); ++i) {
        const QString& table = tables[i];
        if (!db.table(table)) {
            r.notPrepared = QStringLiteral("No existe la tabla %1 en la carpeta de datos %2")
                                .arg(diskFileName(table), db.folder());
            return r;
        }
        if (!DataSource::packTable(&db, table, &error)) {
            r.notPrepared = error;
            return r;
        }
        files.append({db.tablePath(table), diskFileName(table)});
    }
    r.failures = drives_.copyFiles(files, QLatin1Char('A'));
    for (const auto& file : files) {
        bool failed = false;
        for (const Drives::Failure& f : r.failures) failed = failed || f.file == file.second;
        if (!failed) r.written << file.second;
    }
    return r;
}

DiskOutcome DiskGeneration::GeneraDisco() {
    if (!verificaSolicitud()) return DiskOutcome::Incomplete;

    DiskOutcome outcome = DiskOutcome::Declined;
    if (messages_.askYesNo(kMsgDisco, true)) {
        const CopyResult r = CopiaBasesADisco(static_cast<int>(requestTables().size()));
        if (!r.notPrepared.isEmpty()) {
            messages_.exclamation(QStringLiteral("No se pudo grabar el disco: ") + sentence(r.notPrepared) +
                                  QStringLiteral("\n\n") + kMsgNoCopiado);
            outcome = DiskOutcome::NotPrepared;
        } else if (!r.failures.isEmpty()) {
            messages_.exclamation(drives_.failureMessage(r.failures, QLatin1Char('A')) +
                                  QStringLiteral("\n\nEl disco no contiene la solicitud completa; vuelva a grabarlo."));
            outcome = DiskOutcome::CopyFailed;
        } else {
            // The tables as written are kept, for "Cambios desde el último disco".
            QString why;
            if (!RequestChanges::keepDiskCopy(rules_.database(), &why))
                messages_.exclamation(RequestChanges::kMsgCopiaNoGuardada.arg(why));
            else if (hooks_.showWait)
                hooks_.showWait();
            outcome = DiskOutcome::Written;
        }
    }

    // Whatever the answer, the window shows the stored request again.
    if (hooks_.rebind) hooks_.rebind();
    else rules_.EstableceLigas(nullptr);
    return outcome;
}

}  // namespace kalto

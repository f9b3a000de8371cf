#include "annexes/AnnexRules.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/Numbers.h"
#include "core/RequestState.h"
#include "data/Database.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kalto {

namespace {

bool isDigit(QChar ch) { return ch >= QLatin1Char('0') && ch <= QLatin1Char('9'); }

// The numeric value of a tariff item cell; 0 for an empty one.
qint64 itemValue(const GridRow& row, int column) {
    return static_cast<qint64>(leadingNumber(row.value(column)));
}

bool inChapter72(qint64 item) { return item >= 72000000 && item <= 72999999; }

}  // namespace

std::optional<int> annexRowId(Database& db, const GridRow& row, QString* error) {
    if (!row.isNew())
        if (const auto id = storedId(db, QStringLiteral("imanexos"), row.recordNumber())) return id;
    return nextAnnexId(db, error);
}

// ------------------------------------------------------------------ dbAnxMPE

const QString ExportProductAnnexRule::kMsgRango72 = QStringLiteral(
    "La fracción de exportación no debe estar en el rango(72000000 Y 72999999),Necesita ingresar una solitud de "
    "ampliacion sensible a través de escrito libre en base a las reglas 3.3.1 a 3.3.6, según corresponda ");
const QString ExportProductAnnexRule::kMsgBorraServicio =
    QStringLiteral("Se borrará el servicio en la ceja correspondiente. Estas de acuerdo?");

ExportProductAnnexRule::ExportProductAnnexRule(Database& db, Messages& messages, RequestState& estado,
                                               AnnexEvents events)
    : db_(db), messages_(messages), estado_(estado), events_(std::move(events)) {}

bool ExportProductAnnexRule::keyTyped(const GridRow&, int, QChar& ch) {
    // With services the export product is the service itself, named by its description.
    if (hasServices(db_)) return false;
    return isDigit(ch);
}

void ExportProductAnnexRule::cellAccepted(GridRow& row, int column) {
    if (column != Fraccion) return;
    if (!checkTariffItem(row, column, messages_)) return;
    if (inChapter72(itemValue(row, column))) {
        messages_.exclamation(kMsgRango72);
        row.setValue(column, QVariant());
    }
}

bool ExportProductAnnexRule::stamp(GridRow& row) {
    QString error;
    const auto id = annexRowId(db_, row, &error);
    if (!id) {
        messages_.exclamation(error);
        return false;
    }
    row.setValue(IdProd, *id);
    row.setValue(TipoReg, 1);
    row.setValue(IdSubord, 0);
    return true;
}

bool ExportProductAnnexRule::beforeDelete(const GridRow& row) {
    // The product goes by the identifier the table holds for it, not one typed over it in
    // the row being edited: that one may name another product, whose inputs would go instead.
    borrado_ = storedId(db_, QStringLiteral("imanexos"), row.recordNumber());
    if (!hasServices(db_)) return true;
    const auto servicio = serviceExportProduct(db_);
    if (!servicio) return true;
    const int insumos =
        db_.scalar(QStringLiteral("Select count(*) from imanexos where id_subord = ?"), {*servicio}).toInt();
    // Yes throws the service and its inputs away: Enter alone answers No.
    if (insumos <= 0 || !messages_.askYesNo(kMsgBorraServicio, true, QStringLiteral("KALTO"), Messages::Answer::No))
        return true;
    // The service goes with its inputs and its export-product row (the row being deleted
    // goes by the grid itself).
    db_.execute(QStringLiteral("delete from imanexos where id_subord = ?"), {*servicio});
    db_.execute(QStringLiteral("delete from imserv"));
    if (borrado_ != servicio)
        db_.execute(QStringLiteral("delete from imanexos where id_prod = ? and tipo_reg = 1 and id_subord = 0"),
                    {*servicio});
    estado_.descripcionEnAnxMPE = false;
    estado_.notifyChanged();
    events_.services();
    events_.exportProducts();
    return true;
}

void ExportProductAnnexRule::afterDelete(const GridRow&) {
    // An identifier of 0 or none names no product: top-level rows have ID_SUBORD 0.
    const auto id = std::exchange(borrado_, std::nullopt);
    if (!id) return;
    db_.execute(QStringLiteral("delete from imanexos where id_subord = ?"), {*id});
    events_.inputs();
    // A product of the products grid that had this row keeps no link to it: it gets a new
    // row the next time it is stored, and its identifier is never taken for another's.
    if (db_.scalar(QStringLiteral("select count(*) from improd where id_prod = ?"), {*id}).toInt() > 0) {
        db_.execute(QStringLiteral("update improd set id_prod = null where id_prod = ?"), {*id});
        events_.products();
    }
}

// ------------------------------------------------------------------ dbAnx

const QString AnnexRule::kMsgSeleccione = QStringLiteral("Seleccione un registro");
const QString AnnexRule::kMsgSensible = QStringLiteral(
    "Necesita ingresar una solitud de ampliación sensible a través de escrito libre en base a las reglas 3.3.1 a "
    "3.3.6, según corresponda");
const QString AnnexRule::kMsgSensible72 = QStringLiteral(
    "Necesita ingresar una solitud de ampliacion sensible a través de escrito libre en base a las reglas 3.3.1 a "
    "3.3.6, según corresponda");
const QString AnnexRule::kMsgNoNecesario = QStringLiteral("No es necesario solicitar ampliacón para este tipo de fraccion");
const QString AnnexRule::kMsgDescripcion =
    QStringLiteral("La descripción del producto sólo puede ser máximo de 254 caracteres. Rectifica por favor");
const QString AnnexRule::kMsgCapture8 = QStringLiteral("Capture 8 digitos en la fraccion");
const QString AnnexRule::kMsgCaptureDescripcion = QStringLiteral("Capture descripcion");

bool AnnexRule::isSensitive(qint64 item) {
    static constexpr std::array<qint64, 15> kSensibles{17011101, 17011102, 17011103, 17011201, 17011202,
                                                       17011203, 17019101, 17019901, 17019902, 17019999,
                                                       17029001, 17029099, 18061001, 21069005, 40122001};
    return std::find(kSensibles.begin(), kSensibles.end(), item) != kSensibles.end();
}

AnnexRule::AnnexRule(Database& db, Messages& messages, RequestState& estado, int index,
                     std::function<ExportProductSelection()> seleccion)
    : db_(db), messages_(messages), estado_(estado), index_(index), seleccion_(std::move(seleccion)) {}

int AnnexRule::kind() const {
    switch (index_) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    default: return 4;
    }
}

int AnnexRule::parentColumn() const { return hasTariffItem() ? 3 : 4; }

bool AnnexRule::gridEntered() {
    if (index_ != 0) return true;
    const QVariant id = seleccion_ ? seleccion_().id : QVariant();
    if (!cellText(id).trimmed().isEmpty()) return true;
    messages_.plain(kMsgSeleccione);
    return false;
}

bool AnnexRule::keyTyped(const GridRow&, int, QChar& ch) {
    return !hasTariffItem() || isDigit(ch);
}

void AnnexRule::checkProcedure(GridRow& row) {
    const int column = 2;
    auto fires = [&](bool rule, const QString& message) {
        if (!rule) return false;
        messages_.exclamation(message);
        row.setValue(column, QVariant());
        return true;
    };
    // The chapter-72 rule also reads the selected export product's tariff item.
    auto chapter72 = [&] {
        const QString exportacion = seleccion_ ? seleccion_().fraccion : QString();
        return inChapter72(itemValue(row, column)) && exportacion.left(2) == QLatin1String("72");
    };
    if (estado_.tramite == kAmpliacion) {
        // In an extension only inputs of chapters 50 to 63 that are neither sensitive nor
        // caught by the chapter-72 rule are accepted.
        const bool sensible = fires(isSensitive(itemValue(row, column)), kMsgSensible);
        const bool capitulo72 = fires(chapter72(), kMsgSensible72);
        if (!sensible && !capitulo72) {
            const qint64 item = itemValue(row, column);
            fires(item < 50000000 || item > 63999999, kMsgNoNecesario);
        }
    } else if (estado_.tramite == kProgramaNuevo) {
        fires(chapter72(), kMsgSensible);
        fires(isSensitive(itemValue(row, column)), kMsgSensible);
    }
}

void AnnexRule::cellAccepted(GridRow& row, int column) {
    if (column == 2) {
        if (hasTariffItem() && checkTariffItem(row, column, messages_)) checkProcedure(row);
        // The tariff item and the next column exclude each other.
        row.setValue(3, QVariant());
    } else if (column == 3) {
        if (!hasTariffItem() && cellText(row.value(column)).size() > 254) messages_.exclamation(kMsgDescripcion);
        row.setValue(2, QVariant());
    }
}

bool AnnexRule::stamp(GridRow& row) {
    QString error;
    const auto id = annexRowId(db_, row, &error);
    if (!id) {
        messages_.exclamation(error);
        return false;
    }
    row.setValue(0, *id);
    row.setValue(1, kind());
    if (index_ == 0) {
        // The export product whose inputs the grid shows; none, or one no longer in the
        // table (the grid may still show a product deleted meanwhile), leaves the link empty.
        auto padre = idFromCell(seleccion_ ? seleccion_().id : QVariant());
        if (padre && !exportProductExists(db_, *padre)) padre.reset();
        row.setValue(3, padre ? QVariant(*padre) : QVariant());
    } else {
        row.setValue(parentColumn(), 0);
    }
    if (hasTariffItem()) {
        const int length = cellText(row.value(2)).size();
        if (length != 6 && length != 8) {
            messages_.exclamation(kMsgCapture8);
            return false;
        }
    }
    if (cellText(row.value(3)).trimmed().isEmpty()) {
        messages_.exclamation(kMsgCaptureDescripcion);
        return false;
    }
    return true;
}

}  // namespace kalto

#include "annexes/ProductRule.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/Numbers.h"
#include "core/RequestState.h"
#include "data/Database.h"

#include <utility>

namespace kalto {

const QString ProductRule::kMsgNumerico =
    QStringLiteral("Debes colocar un valor númerico en esta columna. Rectifica por favor.");
const QString ProductRule::kMsgVolumen = QStringLiteral("El volúmen no puede ser mayor a 999,999,999. Rectifica por favor.");
const QString ProductRule::kMsgPorcentaje =
    QStringLiteral("El porcentaje utilizado sobre la capacida instalada debe encontrarse entre el 1 y el 100%. "
                   "Rectifica por favor.");
const QString ProductRule::kMsgSinFraccion =
    QStringLiteral("El producto no sera ingresado en los anexos hasta colocar fraccion y descripcion del producto. "
                   "Rectifica por favor");
const QString ProductRule::kMsgConInsumos =
    QStringLiteral("Existen insumos asociados a este producto de exportacion. Debes eliminarlos para borrar este "
                   "producto. Rectifica por favor");

ProductRule::ProductRule(Database& db, Messages& messages, RequestState& estado, PickListAccess* unidades,
                         AnnexEvents events)
    : db_(db), messages_(messages), estado_(estado), unidades_(unidades), events_(std::move(events)) {}

void ProductRule::textChanged(GridRow&, int column, QString& text) {
    // While the unit list is open it follows the typing: the first unit whose name begins
    // with the text becomes its current entry; without one the list stays as it was.
    if (column != Um || !unidades_ || !unidades_->isShown()) return;
    if (const auto unit = firstByPrefix(db_, QStringLiteral("imunidmd"), QStringLiteral("u_medida"), text))
        unidades_->selectText(*unit);
}

void ProductRule::cellAccepted(GridRow& row, int column) {
    switch (column) {
    case Fraccion:
        checkTariffItem(row, column, messages_);
        break;
    case Um:
        acceptUnit(row);
        break;
    case Volumen: {
        const QVariant value = row.value(column);
        if (!isNumericValue(value)) {
            messages_.exclamation(kMsgNumerico);
            row.setValue(column, QVariant());
        } else if (cellText(value).trimmed().size() > 12) {
            messages_.exclamation(kMsgVolumen);
            row.setValue(column, 0);
        }
        break;
    }
    case PorcUt: {
        const auto n = numericValue(row.value(column));
        if (!n) {
            messages_.exclamation(kMsgNumerico);
            row.setValue(column, QVariant());
        } else if (*n < 1 || *n > 100) {
            messages_.exclamation(kMsgPorcentaje);
            row.setValue(column, QVariant());
        }
        break;
    }
    default:
        break;
    }
}

void ProductRule::acceptUnit(GridRow& row) {
    // The unit is always one of the catalogue's: the list's current entry.
    if (const auto unit = chosenUnit()) {
        row.setValue(Um, unit->name);
        row.setValue(UmId, unit->code);
    } else {
        // No entry was ever current (an empty list): a name typed exactly as the catalogue
        // has it is taken; anything else leaves no unit.
        QVariant code;
        QString name;
        db_.query(QStringLiteral("select cve_med, u_medida from imunidmd where u_medida = ?"),
                  {cellText(row.value(Um)).trimmed()}, [&](const QVariantList& r) {
                      code = static_cast<qint64>(leadingNumber(r.value(0)));
                      name = r.value(1).toString();
                      return false;
                  });
        row.setValue(Um, code.isNull() ? QVariant() : QVariant(name));
        row.setValue(UmId, code);
    }
    if (unidades_) unidades_->hide();
}

std::optional<ProductRule::Unit> ProductRule::chosenUnit() const {
    if (!unidades_ || unidades_->currentIndex() < 0) return std::nullopt;
    return Unit{unidades_->currentText(), unidades_->currentData()};
}

bool ProductRule::keyTyped(const GridRow&, int column, QChar&) {
    // The identifier is the program's: typing another product's would make both share one
    // export-product row.
    return column != IdProd;
}

bool ProductRule::beforeWrite(GridRow& row) {
    if (cellText(row.value(Fraccion)).trimmed().isEmpty()) {
        messages_.exclamation(kMsgSinFraccion);
        return true;  // stored without its export-product row
    }
    // The product keeps the export-product row it has; one that has none yet (or lost it)
    // gets a new identifier, stored with the product.
    const auto id = idFromCell(row.value(IdProd));
    const bool shared =
        id && db_.scalar(QStringLiteral("select count(*) from improd where id_prod = ? and rowid <> ?"),
                         {*id, row.recordNumber()})
                      .toInt() > 0;
    if (id && !shared && exportProductExists(db_, *id)) return true;
    QString error;
    const auto nuevo = nextAnnexId(db_, &error);
    if (!nuevo) {
        messages_.exclamation(error);
        return false;
    }
    row.setValue(IdProd, *nuevo);
    return true;
}

void ProductRule::afterWrite(const GridRow& row) {
    const QString item = cellText(row.value(Fraccion)).trimmed();
    const auto id = idFromCell(row.value(IdProd));
    if (item.isEmpty() || !id) {
        events_.exportProducts();
        return;
    }
    QString error;
    bool ok;
    if (exportProductExists(db_, *id))
        ok = db_.execute(QStringLiteral("Update imanexos set Fraccion = ? where id_prod = ? and tipo_reg = 1 and "
                                        "id_subord = 0"),
                         {item, *id}, &error);
    else
        ok = db_.execute(QStringLiteral("insert into imanexos values (?,1,'null ',?,0)"), {*id, item}, &error);
    if (!ok)
        messages_.exclamation(
            QStringLiteral("El producto se guardó, pero no se pudo registrar en los anexos: %1").arg(error));
    events_.exportProducts();
}

void ProductRule::afterInsert(const GridRow& row) {
    afterWrite(row);
    // In an extension a new product takes away the containers and tools page.
    if (estado_.tramite == kAmpliacion) {
        estado_.paginas[kPagContenedores] = false;
        estado_.notifyChanged();
    }
}

bool ProductRule::beforeDelete(const GridRow& row) {
    // The identifier the table holds: the row shown may be older than a change made to it
    // from the annexes page.
    borrado_ = row.recordNumber() > 0 ? storedId(db_, QStringLiteral("improd"), row.recordNumber())
                                      : idFromCell(row.value(IdProd));
    const auto id = borrado_;
    if (!id) return true;
    if (db_.scalar(QStringLiteral("Select count(*) from imanexos where id_subord = ?"), {*id}).toInt() > 0) {
        messages_.exclamation(kMsgConInsumos);
        return false;
    }
    return true;
}

void ProductRule::afterDelete(const GridRow&) {
    if (const auto id = std::exchange(borrado_, std::nullopt))
        db_.execute(QStringLiteral("delete from imanexos where id_prod = ? and tipo_reg = 1 and id_subord = 0"),
                    {*id});
    events_.exportProducts();
}

}  // namespace kalto

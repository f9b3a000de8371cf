#include "annexes/ServiceRule.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/Numbers.h"
#include "core/RequestState.h"
#include "data/Database.h"

#include <utility>

namespace kalto {

const QString ServiceRule::kMsgUnServicio =
    QStringLiteral("Has dado de alta previamente algún servicio. Sólo se puede presentar un servicio por solicitud. "
                   "Rectifica por favor");
const QString ServiceRule::kMsgConInsumos =
    QStringLiteral("Tienes insumos dados de alta a este servicio. Debes eliminarlos. Rectifica por favor");
const QString ServiceRule::kMsgEligeServicio =
    QStringLiteral("Debes elegir el servicio de la lista del catálogo. Rectifica por favor");

namespace {
// Catalogue numbers from 13 on are services that are their own exported product.
constexpr int kPrimerServicioProducto = 13;
}  // namespace

ServiceRule::ServiceRule(Database& db, Messages& messages, RequestState& estado, PickListAccess* lista,
                         AnnexEvents events)
    : db_(db), messages_(messages), estado_(estado), lista_(lista), events_(std::move(events)) {}

std::optional<ServiceRule::Choice> ServiceRule::choose() {
    if (!lista_ || lista_->currentIndex() < 0) return std::nullopt;
    if (db_.scalar(QStringLiteral("Select count(*) from imserv")).toInt() != 0) {
        messages_.exclamation(kMsgUnServicio);
        return std::nullopt;
    }
    return Choice{lista_->currentText(), lista_->currentIndex()};
}

void ServiceRule::textChanged(GridRow&, int column, QString& text) {
    if (column != Servicio || !lista_ || !lista_->isShown()) return;
    // The catalogue is searched by its service column; the list entry with that text is chosen.
    if (const auto servicio = firstByPrefix(db_, QStringLiteral("imcserv"), QStringLiteral("servicio"), text))
        lista_->selectText(*servicio);
}

void ServiceRule::cellAccepted(GridRow& row, int column) {
    if (column != Servicio || !lista_) return;
    if (lista_->currentIndex() >= 0) {
        row.setValue(Servicio, lista_->currentText());
        // A new row takes the catalogue position with the text; a stored one keeps its number.
        if (row.isNew()) row.setValue(IdServ, lista_->currentIndex());
    }
    lista_->hide();
}

bool ServiceRule::keyTyped(const GridRow&, int column, QChar&) { return column != IdServ; }

bool ServiceRule::beforeInsert(GridRow& row) {
    if (db_.scalar(QStringLiteral("Select count(*) from imserv")).toInt() != 0) {
        messages_.exclamation(kMsgUnServicio);
        return false;
    }
    const auto posicion = numericValue(row.value(IdServ));
    if (!posicion || *posicion < 0 || cellText(row.value(Servicio)).trimmed().isEmpty()) {
        messages_.exclamation(kMsgEligeServicio);
        return false;
    }
    if (*posicion + 1 >= kPrimerServicioProducto) {
        QString error;
        if (!nextAnnexId(db_, &error)) {
            messages_.exclamation(error);
            return false;
        }
    }
    return true;
}

void ServiceRule::afterInsert(const GridRow& row) {
    db_.execute(QStringLiteral("Update imserv  set idserv = idserv + 1"));
    if (hasServices(db_)) {
        QString error;
        if (const auto id = nextAnnexId(db_, &error)) {
            if (!db_.execute(QStringLiteral("insert into imanexos values (?,1,?,'null',0)"),
                             {*id, cellText(row.value(Servicio))}, &error))
                messages_.exclamation(
                    QStringLiteral("El servicio se guardó, pero no se pudo registrar en los anexos: %1").arg(error));
        } else {
            messages_.exclamation(error);
        }
        // The export product is the service, described by its text.
        estado_.descripcionEnAnxMPE = true;
        events_.exportProducts();
    }
    estado_.paginas[kPagMateriasPrimas] = true;
    estado_.notifyChanged();
    events_.services();
}

bool ServiceRule::beforeUpdate(GridRow& row) {
    const QVariant stored =
        db_.scalar(QStringLiteral("select idserv from imserv where rowid = ?"), {row.recordNumber()});
    if (!stored.isNull()) row.setValue(IdServ, stored);
    return true;
}

bool ServiceRule::beforeDelete(const GridRow&) {
    productoBorrado_.reset();
    if (!hasServices(db_)) return true;
    const auto producto = serviceExportProduct(db_);
    if (!producto) return true;
    if (db_.scalar(QStringLiteral("Select count(*) from imanexos where id_subord = ?"), {*producto}).toInt() > 0) {
        messages_.exclamation(kMsgConInsumos);
        events_.page(kPagMateriasPrimas);
        return false;
    }
    productoBorrado_ = producto;
    return true;
}

void ServiceRule::afterDelete(const GridRow&) {
    const auto producto = std::exchange(productoBorrado_, std::nullopt);
    if (!producto || hasServices(db_)) return;
    // The service's export product goes with it.
    db_.execute(QStringLiteral("delete from imanexos where id_subord = ?"), {*producto});
    db_.execute(QStringLiteral("delete from imanexos where id_prod = ? and tipo_reg = 1 and id_subord = 0"),
                {*producto});
    estado_.descripcionEnAnxMPE = false;
    estado_.notifyChanged();
    events_.exportProducts();
}

}  // namespace kalto

#include "app/AnnexInputsLink.h"

#include "core/GridHelpers.h"
#include "data/DataSource.h"

namespace kalto {

AnnexInputsLink::AnnexInputsLink(DataSource& inputs, ExportProductsView& view) : inputs_(inputs), view_(view) {}

QVariant AnnexInputsLink::productAt(int row) const {
    if (row < 0 || row >= view_.productRowCount()) return QVariant();
    const QVariant id = view_.productCell(row);
    if (cellText(id).trimmed().isEmpty()) return QVariant();
    return QVariant(static_cast<qint64>(leadingNumber(id)));
}

QVariant AnnexInputsLink::parentOfInput() const {
    return productAt(view_.currentProductRow()).isNull() ? QVariant() : shown_;
}

void AnnexInputsLink::show(const QVariant& product) {
    shown_ = product;
    // Without a product the grid shows nothing (never the containers, whose parent is 0).
    inputs_.setRecordSource(QStringLiteral("select * from imanexos where tipo_reg=1 and id_subord=?"),
                            {product.isNull() ? QVariant(qint64(-1)) : product});
    inputs_.refresh();
}

void AnnexInputsLink::reset() {
    int row = view_.currentProductRow();
    if (row < 0 || row >= view_.productRowCount()) row = view_.productRowCount() > 0 ? 0 : -1;
    show(productAt(row));
}

bool AnnexInputsLink::follow() {
    if (view_.inputInEdit()) {
        if (settling_) return false;
        settling_ = true;
        return true;
    }
    const QVariant product = productAt(view_.currentProductRow());
    // A product without identifier (a new row) keeps the inputs shown.
    if (!product.isNull() && product != shown_) show(product);
    return false;
}

void AnnexInputsLink::settle() {
    settling_ = false;
    if (!view_.inputInEdit()) {
        follow();
        return;
    }
    if (shown_.isNull() || productAt(view_.currentProductRow()) == shown_) return;
    for (int r = 0; r < view_.productRowCount(); ++r)
        if (productAt(r) == shown_) {
            view_.selectProductRow(r);
            return;
        }
}

}  // namespace kalto

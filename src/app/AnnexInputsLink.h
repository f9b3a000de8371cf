#pragma once
// The link between the export products of the annexes (dbAnxMPE) and their imported inputs
// (dbAnx(0)): the inputs grid shows the inputs (imanexos rows of kind 1) whose parent is the
// export product selected, and an input typed there is stored under that product. An input
// still in edit when another product is selected is stored first, under the product it was
// typed for; when it is refused, that product is selected again, so a row in edit never
// shows under a product it does not belong to.

#include <QVariant>

namespace kalto {

class DataSource;

// What the link reads of the two grids, and the one thing it changes there.
class ExportProductsView {
public:
    virtual ~ExportProductsView() = default;
    virtual int currentProductRow() const = 0;
    virtual int productRowCount() const = 0;
    virtual QVariant productCell(int row) const = 0;  // the row's ID_PROD as the grid holds it
    virtual bool inputInEdit() const = 0;             // a row of the inputs grid is being edited
    virtual void selectProductRow(int row) = 0;
};

class AnnexInputsLink {
public:
    // `inputs` is the inputs grid's source (dtsAnxMPI).
    AnnexInputsLink(DataSource& inputs, ExportProductsView& view);

    // The identifier of the export product in `row`; null past the rows or without one.
    QVariant productAt(int row) const;
    // The product whose inputs are shown; null for none.
    QVariant shownProduct() const { return shown_; }
    // The parent an input stored now gets: the product shown while the selected export
    // product has an identifier; null otherwise (the row is then refused).
    QVariant parentOfInput() const;

    // Load and clear: the inputs of the selected product (of the first when none is
    // selected), none when there is no product.
    void reset();
    // The export product selected, or the one stored, changed. With no input in edit the
    // inputs follow at once. Otherwise the input is stored first (by its grid, once it has
    // lost the focus): true tells the caller to run settle() from the event loop, once.
    bool follow();
    // After follow() asked for it: the inputs follow the selection when the input was
    // stored; when it was refused and stays in edit, its own product is selected again.
    void settle();

private:
    void show(const QVariant& product);

    DataSource& inputs_;
    ExportProductsView& view_;
    QVariant shown_;
    bool settling_ = false;
};

}  // namespace kalto

#pragma once
// What the rules of the products, services and annex grids share: their messages, the
// identifiers of imanexos rows, the tariff-item check, the services state, what a rule
// sees of a pick list, and the window's reactions a rule asks for.

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

namespace kalto {

class Database;
class Messages;
class GridRow;

namespace annexmsg {
// Tariff items (products, export products, inputs).
extern const QString kLongitudFraccion;
extern const QString kSoloNumeros;
// Identifiers of imanexos would pass 32767.
extern const QString kSinIdentificadores;
}  // namespace annexmsg

// The identifier a new imanexos row gets: the highest id_prod plus 1, or 1 on an empty
// table. Nothing when it would pass 32767 or the table cannot be read: *error then holds
// the Spanish message to show.
std::optional<int> nextAnnexId(Database& db, QString* error);

// The identifier held by a cell: a whole number from 1 on, or nothing (empty cell, text,
// 0 or a negative number, which never name a row).
std::optional<int> idFromCell(const QVariant& value);

// The ID_PROD that `table` holds for record `recno`; nothing for a record not stored (0) or
// without an identifier. A row in edit may show another one typed over it: what a deletion
// removes is what the table holds.
std::optional<int> storedId(Database& db, const QString& table, int recno);

// True when an export-product row (TIPO_REG 1, ID_SUBORD 0) with identifier `id` exists.
bool exportProductExists(Database& db, int id);

// The applicant has services: a service from catalogue position 13 on is registered.
bool hasServices(Database& db);
// The export-product row of the registered service (TIPO_REG 1, ID_SUBORD 0, tariff item
// the text "null"); nothing when there is none.
std::optional<int> serviceExportProduct(Database& db);

// Tariff-item length and digits, on a cell just accepted: an item whose length is not 8
// gives the length message, one that is not all digits the digits message; either empties
// the cell and returns false.
bool checkTariffItem(GridRow& row, int column, Messages& messages);

// The first value of `column` of `table`, in table order, that begins with `prefix` (letter
// case ignored as the tables compare text); nothing when none does.
std::optional<QString> firstByPrefix(Database& db, const QString& table, const QString& column,
                                     const QString& prefix);

// What a grid rule sees of a pick list (lstUM, lstServicio): whether it is shown, its
// current entry, and the means to select an entry and to hide it. The window adapts its
// list widget to this.
class PickListAccess {
public:
    virtual ~PickListAccess() = default;
    virtual bool isShown() const = 0;
    virtual int currentIndex() const = 0;      // -1 when no entry is current
    virtual QString currentText() const = 0;
    virtual QVariant currentData() const = 0;  // the entry's item value
    // Makes current the first entry whose text is `text`; false, and nothing changes, when
    // there is none.
    virtual bool selectText(const QString& text) = 0;
    virtual void hide() = 0;
};

// What the window does when a rule changed rows of other grids or asks for a page. Any of
// them may be left empty.
struct AnnexEvents {
    std::function<void()> exportProductsChanged;  // dtsAnxMPE shows the export products again
    std::function<void()> inputsChanged;          // dtsAnxMPI shows the inputs again
    std::function<void()> servicesChanged;        // dtsServicio shows imserv again
    std::function<void()> productsChanged;        // dtsProducto shows improd again
    std::function<void(int)> selectPage;          // SSTabKALTO shows page `index`

    void exportProducts() const { if (exportProductsChanged) exportProductsChanged(); }
    void inputs() const { if (inputsChanged) inputsChanged(); }
    void services() const { if (servicesChanged) servicesChanged(); }
    void products() const { if (productsChanged) productsChanged(); }
    void page(int index) const { if (selectPage) selectPage(index); }
};

// The export product selected in dbAnxMPE: its identifier (null when it has none) and its
// tariff item.
struct ExportProductSelection {
    QVariant id;
    QString fraccion;
};

}  // namespace kalto

#pragma once
// The rules of the sectoral window's two grids, apart from the widgets: dbSectores (the
// sectors the applicant takes part in as direct producer) and dbMercancias (the goods to
// produce or import for each sector), and the look-ups behind their pick lists.

#include "core/GridRule.h"

#include <QStringList>

#include <functional>

namespace kalto {

class Database;
class Messages;

// Both grids admit, after turning it to upper case, only a character of
// "/. 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ" or backspace; what is admitted is typed as it was
// (a lower-case letter stays lower case).
bool brelotKeyAdmitted(QChar ch);

// The message of a tariff item that does not have 8 characters.
const QString& brelotTariffLengthMessage();

// What the pick lists hold and the searches while typing.
class BrelotLookups {
public:
    explicit BrelotLookups(Database& db) : db_(db) {}

    // lstSector: every key of the csector catalogue, in table order.
    QStringList catalogueKeys() const;
    // lstSectorII: the key of every row of Sector that has one, in table order.
    QStringList enteredSectorKeys() const;
    // lstFraccion: the tariff items of the application's export products (annex rows of
    // kind 1 at the top level), each once.
    QStringList exportTariffItems() const;

    // The first catalogue key that begins with `prefix` (letter case ignored); empty when none.
    QString findCatalogueKey(const QString& prefix) const;
    // The first export product (improd) tariff item that begins with `prefix`; empty when none.
    QString findProductTariffItem(const QString& prefix) const;
    // The catalogue's description of `key` in upper case; null when the catalogue lacks the key.
    QVariant sectorDescription(const QString& key) const;

private:
    Database& db_;
};

// The selected entry of a pick list, or an empty text when the list has none.
using SelectedEntry = std::function<QString()>;

// dbSectores: IDSECTOR, "Cve Sector", "Descripción", ACTIVO, FECACTUALI, FECCREACIO.
class SectorGridRule : public GridRule {
public:
    enum Column { IdSector = 0, CveSector = 1, Descripcion = 2 };
    SectorGridRule(const BrelotLookups& lookups, SelectedEntry selectedKey)
        : lookups_(lookups), selectedKey_(std::move(selectedKey)) {}

    void newRow(GridRow& row) override;
    bool keyTyped(const GridRow& row, int column, QChar& ch) override;
    // The end of an edit of "Cve Sector": the key selected in lstSector and its description.
    void cellAccepted(GridRow& row, int column) override;
    // A key chosen for the row (from the list or at the end of the edit): the key and the
    // catalogue's description, upper-cased; a key the catalogue lacks clears the description.
    void chooseKey(GridRow& row, const QString& key) const;

private:
    const BrelotLookups& lookups_;
    SelectedEntry selectedKey_;
};

// dbMercancias: "Sector", TIPO_PROGR, "Fracción", ANEXO, SOLBRELOT, ANIOSOLBRE, NUMBRELOT,
// ANIOBRELOT, DESCRIPCIO, ACTIVO, FECCREACIO, FECACTUALI, TIPOBIEN.
class GoodsGridRule : public GridRule {
public:
    enum Column { Sector = 0, TipoProgr = 1, Fraccion = 2, Anexo = 3, TipoBien = 12 };
    GoodsGridRule(Messages& messages, SelectedEntry selectedSector)
        : messages_(messages), selectedSector_(std::move(selectedSector)) {}

    void newRow(GridRow& row) override;
    bool keyTyped(const GridRow& row, int column, QChar& ch) override;
    // "Sector" takes the entry selected in lstSectorII; "Fracción" is checked for 8 characters.
    void cellAccepted(GridRow& row, int column) override;

private:
    Messages& messages_;
    SelectedEntry selectedSector_;
};

}  // namespace kalto

#include "sectoral/BrelotGrids.h"

#include "core/Messages.h"
#include "data/Database.h"
#include "data/RecordSet.h"

namespace kalto {

namespace {

// The first column of every row of `sql`, nulls left out.
QStringList column(Database& db, const QString& sql) {
    QStringList out;
    db.query(sql, {}, [&](const QVariantList& row) {
        if (!row.value(0).isNull()) out << row.value(0).toString();
        return true;
    });
    return out;
}

// The first of `values` that begins with `prefix`, letter case ignored.
QString firstWithPrefix(const QStringList& values, const QString& prefix) {
    const QString p = foldCase(prefix);
    for (const QString& v : values)
        if (foldCase(v).startsWith(p)) return v;
    return {};
}

}  // namespace

bool brelotKeyAdmitted(QChar ch) {
    static const QString admitted = QStringLiteral("/. 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    if (ch == QChar(8)) return true;
    const QString upper = QString(ch).toUpper();
    return upper.size() == 1 && admitted.contains(upper[0]);
}

const QString& brelotTariffLengthMessage() {
    static const QString text = QStringLiteral("La longitud de la fracción sólo puede ser de 8 digitos.  Rectifica por favor");
    return text;
}

QStringList BrelotLookups::catalogueKeys() const {
    return column(db_, QStringLiteral("select cve_sector from csector"));
}

QStringList BrelotLookups::enteredSectorKeys() const {
    return column(db_, QStringLiteral("select cve_sector from sector where cve_sector is not null"));
}

QStringList BrelotLookups::exportTariffItems() const {
    return column(db_, QStringLiteral("Select distinct fraccion from imanexos where tipo_reg = 1 and id_subord = 0"));
}

QString BrelotLookups::findCatalogueKey(const QString& prefix) const {
    return firstWithPrefix(catalogueKeys(), prefix);
}

QString BrelotLookups::findProductTariffItem(const QString& prefix) const {
    return firstWithPrefix(column(db_, QStringLiteral("select fraccion from improd")), prefix);
}

QVariant BrelotLookups::sectorDescription(const QString& key) const {
    QVariant description;
    bool found = false;
    db_.query(QStringLiteral("select * from csector where cve_sector = ?"), {key}, [&](const QVariantList& row) {
        found = true;
        description = row.value(1).isNull() ? QVariant() : QVariant(row.value(1).toString().toUpper());
        return false;
    });
    return found ? description : QVariant();
}

void SectorGridRule::newRow(GridRow& row) { row.setValue(IdSector, 1); }

bool SectorGridRule::keyTyped(const GridRow&, int, QChar& ch) { return brelotKeyAdmitted(ch); }

void SectorGridRule::cellAccepted(GridRow& row, int column) {
    if (column != CveSector) return;
    const QString selected = selectedKey_ ? selectedKey_() : QString();
    // Without a selection (an empty catalogue) the typed key stays.
    chooseKey(row, selected.isEmpty() ? row.text(CveSector) : selected);
}

void SectorGridRule::chooseKey(GridRow& row, const QString& key) const {
    row.setValue(CveSector, key.isEmpty() ? QVariant() : QVariant(key));
    row.setValue(Descripcion, key.isEmpty() ? QVariant() : lookups_.sectorDescription(key));
}

void GoodsGridRule::newRow(GridRow& row) {
    row.setValue(TipoProgr, 1);
    row.setValue(Anexo, 1);
    row.setValue(TipoBien, 1);
}

bool GoodsGridRule::keyTyped(const GridRow&, int, QChar& ch) { return brelotKeyAdmitted(ch); }

void GoodsGridRule::cellAccepted(GridRow& row, int column) {
    if (column == Sector) {
        const QString selected = selectedSector_ ? selectedSector_() : QString();
        if (!selected.isEmpty()) row.setValue(Sector, selected);
    } else if (column == Fraccion) {
        if (row.text(Fraccion).size() != 8) messages_.exclamation(brelotTariffLengthMessage());
    }
}

}  // namespace kalto

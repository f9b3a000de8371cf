#include "annexes/AnnexCommon.h"

#include "core/GridHelpers.h"
#include "core/GridRule.h"
#include "core/Messages.h"
#include "core/Numbers.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"

#include <cmath>

namespace kalto {

namespace annexmsg {
const QString kLongitudFraccion =
    QStringLiteral("La longitud de la fracción sólo puede ser de 8 digitos.  Rectifica por favor");
const QString kSoloNumeros = QStringLiteral("Debes ingresar números en este campo. Rectifica por favor");
const QString kSinIdentificadores =
    QStringLiteral("No se pueden registrar más renglones en los anexos: el identificador pasaría de %1. "
                   "El renglón no se guardó.")
        .arg(kMaxAnnexId);
}  // namespace annexmsg

std::optional<int> nextAnnexId(Database& db, QString* error) {
    QString err;
    QVariant highest;
    bool ok = true;
    // The table's integer index answers at once what the query finds by reading every row.
    DbfTable* annexes = db.table(QStringLiteral("imanexos"));
    const int field = annexes ? annexes->fieldIndex(QStringLiteral("ID_PROD")) : -1;
    if (annexes && annexes->isIntegerField(field)) {
        if (const std::optional<qint64> h = annexes->highestKey(field)) highest = *h;
    } else {
        ok = db.query(QStringLiteral("select max(id_prod) from imanexos"), {}, [&](const QVariantList& row) {
            highest = row.value(0);
            return false;
        }, &err);
    }
    if (!ok) {
        if (error) *error = QStringLiteral("No se pudo leer la tabla imanexos: %1").arg(err);
        return std::nullopt;
    }
    const double next = highest.isNull() ? 1.0 : std::floor(highest.toDouble()) + 1.0;
    if (next > kMaxAnnexId) {
        if (error) *error = annexmsg::kSinIdentificadores;
        return std::nullopt;
    }
    return next < 1.0 ? 1 : static_cast<int>(next);
}

std::optional<int> idFromCell(const QVariant& value) {
    const auto n = numericValue(value);
    if (!n || *n < 1 || *n > 2147483647.0 || std::floor(*n) != *n) return std::nullopt;
    return static_cast<int>(*n);
}

std::optional<int> storedId(Database& db, const QString& table, int recno) {
    if (recno <= 0) return std::nullopt;
    // The table is one of the program's own names.
    return idFromCell(db.scalar(QStringLiteral("select id_prod from %1 where rowid = ?").arg(table), {recno}));
}

bool exportProductExists(Database& db, int id) {
    return db.scalar(QStringLiteral("select count(*) from imanexos where id_prod = ? and tipo_reg = 1 and "
                                    "id_subord = 0"),
                     {id})
               .toInt() > 0;
}

bool hasServices(Database& db) {
    return db.scalar(QStringLiteral("Select count(*) from imserv where idserv >= 13")).toInt() > 0;
}

std::optional<int> serviceExportProduct(Database& db) {
    // Products of the products grid hold a tariff item; the service's row holds the text null.
    const QVariant id = db.scalar(QStringLiteral("select id_prod from imanexos where tipo_reg = 1 and id_subord = 0 "
                                                 "and fraccion = 'null' and id_prod is not null"));
    return idFromCell(id);
}

bool checkTariffItem(GridRow& row, int column, Messages& messages) {
    const QString item = cellText(row.value(column));
    const QString* message = nullptr;
    if (item.size() != 8) {
        message = &annexmsg::kLongitudFraccion;
    } else {
        for (const QChar c : item)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) message = &annexmsg::kSoloNumeros;
    }
    if (!message) return true;
    messages.exclamation(*message);
    row.setValue(column, QVariant());
    return false;
}

std::optional<QString> firstByPrefix(Database& db, const QString& table, const QString& column,
                                     const QString& prefix) {
    QString pattern;
    for (const QChar c : prefix) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\')) pattern += QLatin1Char('\\');
        pattern += c;
    }
    pattern += QLatin1Char('%');
    // Names are the program's own constants.
    const QString sql = QStringLiteral("select %1 from %2 where %1 like ? escape '\\'").arg(column, table);
    std::optional<QString> found;
    db.query(sql, {pattern}, [&](const QVariantList& row) {
        found = row.value(0).toString();
        return false;
    });
    return found;
}

}  // namespace kalto

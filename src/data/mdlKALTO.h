#pragma once
// Shared routines of the program module: running one statement and the product id of an
// annex row. (The digit filter of the header's numeric fields is in core/KeyFilters.h.)

#include <QString>
#include <QVariant>

#include <optional>

namespace kalto {

class Database;

namespace mdlKALTO {

// Runs one statement; its failure is returned to the caller, who decides to ignore it.
// `lastStatement`, when given, keeps the text of the statement run.
bool EjecutaSentencia(Database& db, const QString& sql, const QVariantList& params = {},
                      QString* error = nullptr, QString* lastStatement = nullptr);

// The id to give the annex row of product `idProd`: that id when imanexos already holds
// it, otherwise the highest id_prod plus 1, or 1 on an empty table. An id above 32767
// is refused: std::nullopt with a Spanish message in *error.
std::optional<int> IdProductoAnexo(Database& db, int idProd, QString* error = nullptr);

}  // namespace mdlKALTO
}  // namespace kalto

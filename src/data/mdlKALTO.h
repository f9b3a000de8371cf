#pragma once
// Shared routines of the program module: running one statement, the product id of an
// annex row and the digit filter of the header's numeric fields.

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

// Digits, Escape, Backspace and Tab pass; anything else gives 0 (discarded).
int FiltroDigito(int keyAscii);

}  // namespace mdlKALTO
}  // namespace kalto

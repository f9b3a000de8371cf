#pragma once
// Shared routines of the program module: running one statement. (The digit filter of the
// header's numeric fields is in core/KeyFilters.h.)

#include <QString>
#include <QVariant>

namespace kalto {

class Database;

namespace mdlKALTO {

// Runs one statement; its failure is returned to the caller, who decides to ignore it.
// `lastStatement`, when given, keeps the text of the statement run.
bool EjecutaSentencia(Database& db, const QString& sql, const QVariantList& params = {},
                      QString* error = nullptr, QString* lastStatement = nullptr);

}  // namespace mdlKALTO
}  // namespace kalto

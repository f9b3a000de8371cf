#include "data/mdlKALTO.h"

#include "data/Database.h"

namespace kalto::mdlKALTO {

bool EjecutaSentencia(Database& db, const QString& sql, const QVariantList& params, QString* error,
                      QString* lastStatement) {
    if (lastStatement) *lastStatement = sql;
    return db.execute(sql, params, error);
}

}  // namespace kalto::mdlKALTO

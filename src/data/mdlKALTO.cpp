#include "data/mdlKALTO.h"

#include "data/Database.h"
#include "data/TableCatalogue.h"

namespace kalto::mdlKALTO {

bool EjecutaSentencia(Database& db, const QString& sql, const QVariantList& params, QString* error,
                      QString* lastStatement) {
    if (lastStatement) *lastStatement = sql;
    return db.execute(sql, params, error);
}

std::optional<int> IdProductoAnexo(Database& db, int idProd, QString* error) {
    QString err;
    bool found = false;
    const bool ok = db.query(QStringLiteral("select id_prod from imanexos where id_prod=?"), {idProd},
                             [&](const QVariantList&) {
                                 found = true;
                                 return false;
                             }, &err);
    if (!ok) {
        if (error) *error = err;
        return std::nullopt;
    }
    if (found) return idProd;
    const QVariant highest = db.scalar(QStringLiteral("select max(id_prod) from imanexos"), {}, &err);
    const qint64 next = highest.isNull() ? 1 : highest.toLongLong() + 1;
    if (next > kMaxAnnexId) {
        if (error)
            *error = QStringLiteral("No se pueden registrar más anexos: el identificador excedería %1.")
                         .arg(kMaxAnnexId);
        return std::nullopt;
    }
    return static_cast<int>(next < 1 ? 1 : next);
}

}  // namespace kalto::mdlKALTO

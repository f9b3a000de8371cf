#include "core/VerificaConValor.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"

namespace kalto::verificaconvalor {

int textoRequerido(const QString& texto, const QString& tooltip, Messages& mensajes) {
    if (!texto.isEmpty()) return 0;
    mensajes.stop(QStringLiteral("El Siguiente campo ") + tooltip + QStringLiteral(" es Requerido"));
    return 1;
}

int gridRequerido(int filas, const std::function<QVariant(int)>& valor,
                  const std::function<QString(int)>& titulo, const QString& tooltip, const QString& campos,
                  Messages& mensajes) {
    if (filas <= 0) {
        mensajes.stop(QStringLiteral("Debes ingresar por lo menos un registro en la tabla de  ") + tooltip +
                      QStringLiteral(" es Requerido"));
        return 1;
    }
    QString resto = campos;
    while (!resto.trimmed().isEmpty()) {
        const int coma = resto.indexOf(QLatin1Char(','));
        const QString parte = coma < 0 ? resto : resto.left(coma);
        resto = coma < 0 ? QString() : resto.mid(coma + 1);
        const int columna = static_cast<int>(leadingNumber(parte));
        if (cellText(valor(columna)).trimmed().isEmpty()) {
            mensajes.stop(QStringLiteral("El Siguiente campo ") + titulo(columna) + QStringLiteral(" de la tabla ") +
                          tooltip + QStringLiteral(" es Requerido"));
            return 1;
        }
    }
    return 0;
}

}  // namespace kalto::verificaconvalor

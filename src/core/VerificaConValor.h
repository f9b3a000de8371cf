#pragma once
// The required-value check run before a disk is written, apart from the widgets: a text
// box must hold some text; a grid must hold at least one row, and the listed columns of
// its current row must not be blank.

#include <QString>
#include <QVariant>

#include <functional>

namespace kalto {

class Messages;

namespace verificaconvalor {
// A text box: its text exactly empty (blanks count as text) is reported with `tooltip`.
// Returns 1 after the message, 0 when the box holds text.
int textoRequerido(const QString& texto, const QString& tooltip, Messages& mensajes);

// A grid: `filas` rows (0 for an empty table), `valor(c)` the value of column c of the
// row checked, `titulo(c)` its caption, `campos` a comma-separated list of 0-based columns
// ("0,1,2,5"). Reports only the first missing item. Returns 1 after the message, else 0.
int gridRequerido(int filas, const std::function<QVariant(int)>& valor,
                  const std::function<QString(int)>& titulo, const QString& tooltip, const QString& campos,
                  Messages& mensajes);
}  // namespace verificaconvalor

}  // namespace kalto

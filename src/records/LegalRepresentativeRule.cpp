#include "records/LegalRepresentativeRule.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"

namespace kalto {

namespace {

// clang-format off
const LimitedColumn kColumnList[] = {
    {"Nombre",           "NOMREPLEG", 140, 25, "El nombre del representante legal puede contener como máximo 25 caracteres."},
    {"Apellido Paterno", "APEPATREP", 140, 25, "El apellido paterno del representante legal puede contener como máximo 25 caracteres."},
    {"Apellido Materno", "APEMATREP", 140, 25, "El apellido materno del representante legal puede contener como máximo 25 caracteres."},
    {"Telefono",         "TELREPLEG", 110, 25, "El teléfono puede contener como máximo 25 caracteres."},
    {"Cargo / Puesto",   "CAREMP",    160, 40, "El cargo del representante legal puede contener como máximo 40 caracteres."},
    {"e-mail",           "MAIL",      180, 50, "El e-mail puede contener como máximo 50 caracteres."},
};
// clang-format on
constexpr LimitedColumns kColumns{kColumnList};

}  // namespace

QList<GridColumn> LegalRepresentativeRule::columns() {
    return kColumns.gridColumns();
}

int LegalRepresentativeRule::maxLength(int column) { return kColumns.maxLength(column); }

QString LegalRepresentativeRule::lengthMessage(int column) { return kColumns.message(column); }

LegalRepresentativeRule::LegalRepresentativeRule(Messages& messages, std::function<int()> storedRows)
    : messages_(messages), storedRows_(std::move(storedRows)) {}

void LegalRepresentativeRule::textChanged(GridRow&, int column, QString& text) {
    if (kColumns.contains(column)) FomateaLetra(text, column == Email ? 0 : 1);
}

void LegalRepresentativeRule::cellAccepted(GridRow& row, int column) {
    if (!kColumns.contains(column)) return;
    FomateaLetra(row, column, column == Email ? 0 : 1);
    kColumns.warn(row, column, messages_);
}

bool LegalRepresentativeRule::beforeInsert(GridRow&) {
    if (!storedRows_ || storedRows_() < 1) return true;
    messages_.exclamation(QStringLiteral("Solo puedes ingresar un representante legal.") + kRectifica);
    return false;
}

}  // namespace kalto

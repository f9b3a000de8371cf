#include "records/LegalRepresentativeRule.h"

#include "app/rules/GridHelpers.h"
#include "app/rules/Messages.h"

namespace kalto {

namespace {

struct RepColumn {
    const char* caption;
    const char* field;
    int width;
    int maxLength;
    const char* message;
};

// clang-format off
const RepColumn kColumns[] = {
    {"Nombre",           "NOMREPLEG", 140, 25, "El nombre del representante legal puede contener como máximo 25 caracteres."},
    {"Apellido Paterno", "APEPATREP", 140, 25, "El apellido paterno del representante legal puede contener como máximo 25 caracteres."},
    {"Apellido Materno", "APEMATREP", 140, 25, "El apellido materno del representante legal puede contener como máximo 25 caracteres."},
    {"Telefono",         "TELREPLEG", 110, 25, "El teléfono puede contener como máximo 25 caracteres."},
    {"Cargo / Puesto",   "CAREMP",    160, 40, "El cargo del representante legal puede contener como máximo 40 caracteres."},
    {"e-mail",           "MAIL",      180, 50, "El e-mail puede contener como máximo 50 caracteres."},
};
// clang-format on
constexpr int kCount = sizeof(kColumns) / sizeof(kColumns[0]);

}  // namespace

QList<GridColumn> LegalRepresentativeRule::columns() {
    QList<GridColumn> out;
    for (const auto& c : kColumns)
        out.append({QString::fromUtf8(c.caption), QString::fromLatin1(c.field), true, c.width});
    return out;
}

int LegalRepresentativeRule::maxLength(int column) {
    return column >= 0 && column < kCount ? kColumns[column].maxLength : -1;
}

QString LegalRepresentativeRule::lengthMessage(int column) {
    return column >= 0 && column < kCount ? QString::fromUtf8(kColumns[column].message) : QString();
}

LegalRepresentativeRule::LegalRepresentativeRule(Messages& messages, std::function<int()> storedRows)
    : messages_(messages), storedRows_(std::move(storedRows)) {}

void LegalRepresentativeRule::textChanged(GridRow&, int column, QString& text) {
    if (column >= 0 && column < kCount) FomateaLetra(text, column == Email ? 0 : 1);
}

void LegalRepresentativeRule::cellAccepted(GridRow& row, int column) {
    if (column < 0 || column >= kCount) return;
    FomateaLetra(row, column, column == Email ? 0 : 1);
    MensajeLongGrid(row, column, maxLength(column), lengthMessage(column), messages_);
}

bool LegalRepresentativeRule::beforeInsert(GridRow&) {
    if (!storedRows_ || storedRows_() < 1) return true;
    messages_.exclamation(QStringLiteral("Solo puedes ingresar un representante legal.") + kRectifica);
    return false;
}

}  // namespace kalto

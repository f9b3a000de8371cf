#include "records/AddressRule.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"

namespace kalto {

namespace {

// clang-format off
const LimitedColumn kColumnList[] = {
    {"Calle y No.",            "CALLEYNO", 220, 100, "La calle puede contener como máximo 100 caracteres."},
    {"C.P.",                   "CP",        60,   5, "El código postal puede contener como máximo 5 caracteres."},
    {"Ciudad",                 "CIUDAD",   140,  60, "La ciudad puede contener como máximo 60 caracteres."},
    {"Colonia",                "COLONIA",  140,  30, "La colonia puede contener como máximo 30 caracteres."},
    {"Teléfono",               "TELEFONO", 110,  25, "El teléfono puede contener como máximo 25 caracteres."},
    {"Estado",                 "EDO",      130,  30, "El estado puede contener como máximo 30 caracteres."},
    {"Delegación / Municipio", "DELMUN",   160,  40, "La delegación o municipio puede contener como máximo 40 caracteres."},
    {"Fax",                    "FAX",      100,  16, "El fax puede contener como máximo 16 caracteres."},
    {"e-mail",                 "EMAIL",    180,  50, "El e-mail puede contener como máximo 50 caracteres."},
};
// clang-format on
constexpr LimitedColumns kColumns{kColumnList};

}  // namespace

QString AddressRule::recordSource(const QString& kindCode) {
    // The kind codes are the program's own constants, never typed by the user.
    return QStringLiteral("Select * from imdir where iddir = '%1'").arg(kindCode);
}

QList<GridColumn> AddressRule::columns() {
    QList<GridColumn> out = kColumns.gridColumns();
    // The kind code is written by the program; the user never types it.
    out.append({QStringLiteral("IDDIR"), QStringLiteral("IDDIR"), false, 40});
    return out;
}

int AddressRule::maxLength(int column) { return kColumns.maxLength(column); }

QString AddressRule::lengthMessage(int column) { return kColumns.message(column); }

AddressRule::AddressRule(Messages& messages, QString kindCode, std::function<int()> storedRows)
    : messages_(messages), kindCode_(std::move(kindCode)), storedRows_(std::move(storedRows)) {}

void AddressRule::newRow(GridRow& row) {
    row.setValue(IdDir, kindCode_);
}

// 1 upper case, 0 lower case, -1 as typed.
int AddressRule::letterCase(int column) {
    switch (column) {
    case Calle:
    case Ciudad:
    case Colonia:
    case Estado:
    case DelMun:
        return 1;
    case Email:
        return 0;
    default:
        return -1;
    }
}

void AddressRule::textChanged(GridRow&, int column, QString& text) {
    if (const int mode = letterCase(column); mode >= 0) FomateaLetra(text, mode);
}

void AddressRule::cellAccepted(GridRow& row, int column) {
    // A value put in without typing (pasted) gets the same letter case.
    if (const int mode = letterCase(column); mode >= 0) FomateaLetra(row, column, mode);
    kColumns.warn(row, column, messages_);
}

bool AddressRule::beforeInsert(GridRow&) {
    if (!storedRows_ || storedRows_() < 1) return true;
    messages_.exclamation(QStringLiteral("Solo puedes ingresar un domicilio fiscal de la empresa.") + kRectifica);
    return false;
}

QList<GridColumn> CompanyAddressRule::columns() {
    QList<GridColumn> out = AddressRule::columns();
    out.append({QString(), QStringLiteral("RFC"), false, 100});
    return out;
}

CompanyAddressRule::CompanyAddressRule(Messages& messages, QString kindCode, QString rfc,
                                       std::function<int()> storedRows)
    : AddressRule(messages, std::move(kindCode), std::move(storedRows)), rfc_(std::move(rfc)) {}

void CompanyAddressRule::newRow(GridRow& row) {
    AddressRule::newRow(row);
    row.setValue(Rfc, rfc_);
}

void CompanyAddressRule::cellAccepted(GridRow& row, int column) {
    if (column != CP) {
        AddressRule::cellAccepted(row, column);
        return;
    }
    const QVariant value = row.value(CP);
    QString message;
    if (!isNumericValue(value))
        message = QStringLiteral("El código postal debe ser númerico.");
    else if (cellText(value).trimmed().size() > maxLength(CP))
        message = lengthMessage(CP);
    if (message.isEmpty()) {
        // Blanks around the digits are not part of the code.
        const QString code = cellText(value).trimmed();
        if (code != cellText(value)) row.setValue(CP, code);
        return;
    }
    messages_.exclamation(message + kRectifica);
    row.setValue(CP, QString());
}

}  // namespace kalto

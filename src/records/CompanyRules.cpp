#include "records/CompanyRules.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/VerificaRFC.h"

namespace kalto {

namespace companycheck {

namespace {

bool fail(GridRow& row, int column, const QVariant& zero, const QString& message, Messages& messages) {
    messages.exclamation(message + kRectifica);
    row.setValue(column, zero);
    return false;
}

// A text column gets the text "0", a numeric one the number 0.
const QVariant kTextZero = QStringLiteral("0");
const QVariant kNumberZero = 0;

const QString kNotNumeric = QStringLiteral("Debes colocar un valor númerico en esta columna.");

// The text of a numeric cell as its length is measured: the number as typed, without
// the blanks around it.
QString numberText(const QVariant& value) {
    return cellText(value).trimmed();
}

}  // namespace

bool name(GridRow& row, int column, const QString& message, Messages& messages) {
    if (cellText(row.value(column)).size() <= 254) return true;
    return fail(row, column, kTextZero, message, messages);
}

bool rfc(GridRow& row, int column, int minLength, int maxLength, int rfcKind, const QString& message,
         Messages& messages) {
    const int length = cellText(row.value(column)).trimmed().size();
    if (length < minLength || length > maxLength) return fail(row, column, kTextZero, message, messages);
    return VerificaRFC(row, column, rfcKind, messages);
}

bool exportAmount(GridRow& row, int column, Messages& messages) {
    const QVariant value = row.value(column);
    if (!isNumericValue(value)) return fail(row, column, kNumberZero, kNotNumeric, messages);
    if (numberText(value).size() > 9)
        return fail(row, column, kNumberZero,
                    QStringLiteral("El monto de exportación no debe exceder la cantidad de 999999.99."), messages);
    return true;
}

namespace {

bool fourDigits(GridRow& row, int column, const QString& tooLong, Messages& messages, double* number) {
    const QVariant value = row.value(column);
    const auto n = numericValue(value);
    if (!n) return fail(row, column, kNumberZero, kNotNumeric, messages);
    if (numberText(value).size() > 4) return fail(row, column, kNumberZero, tooLong, messages);
    *number = *n;
    return true;
}

}  // namespace

bool programNumber(GridRow& row, int column, Messages& messages) {
    double n = 0;
    if (!fourDigits(row, column,
                    QStringLiteral("El número del programa KALTO no debe exceder los cuatro digitos."), messages, &n))
        return false;
    if (n <= 0)
        return fail(row, column, kNumberZero, QStringLiteral("El número del programa KALTO debe ser mayor a 0."),
                    messages);
    return true;
}

bool programYear(GridRow& row, int column, Messages& messages) {
    double n = 0;
    if (!fourDigits(row, column, QStringLiteral("El año del programa KALTO no debe exceder los cuatro digitos."),
                    messages, &n))
        return false;
    if (n < 2006)
        return fail(row, column, kNumberZero,
                    QStringLiteral("El año del programa KALTO debe ser igual o superior a 2006."), messages);
    return true;
}

bool percentage(GridRow& row, int column, Messages& messages) {
    const QVariant value = row.value(column);
    if (!isNumericValue(value)) return fail(row, column, kNumberZero, kNotNumeric, messages);
    if (leadingNumber(value) > 100)
        return fail(row, column, kNumberZero,
                    QStringLiteral("El porcentaje de participación con respecto a la empresa controlada no debe "
                                   "exceder el 100%."),
                    messages);
    return true;
}

}  // namespace companycheck

QString CompanyGrid::recordSource() const {
    // The kind code is the program's own constant.
    return QStringLiteral("Select * from impects Where idmcts = '%1'").arg(kindCode);
}

CompanyGrid CompanyGrid::controlled() {
    CompanyGrid g;
    g.kindCode = QStringLiteral("C");
    g.columns = {
        {QStringLiteral("Razón Social"), QStringLiteral("RSOCIAL"), true, 260},
        {QStringLiteral("RFC"), QStringLiteral("RFC"), true, 120},
        {QStringLiteral("Monto Exportación"), QStringLiteral("MONTOEXP"), true, 120},
        {QStringLiteral("Número Programa"), QStringLiteral("NUMPROG"), true, 110},
        {QStringLiteral("Año Programa"), QStringLiteral("ANOPROG"), true, 100},
        {QStringLiteral("Porc. Part. Cont."), QStringLiteral("PORCONT"), true, 110},
        {QStringLiteral("Porc. Part. Res."), QStringLiteral("PORCEXT"), true, 110},
        {QString(), QStringLiteral("IDMCTS"), false, 30},
    };
    g.kindColumn = 7;
    g.nameMessage =
        QStringLiteral("La Razón social de la empresa controlada puede contener como máximo 254 caracteres.");
    g.rfcMessage = QStringLiteral("El RFC de la empresa controlada debe contener 12 caracteres.");
    g.amountColumn = 2;
    g.numberColumn = 3;
    g.yearColumn = 4;
    g.percentColumns = {5, 6};
    g.tooltip = QStringLiteral("empresa controlada");
    return g;
}

namespace {

QList<GridColumn> threeColumns() {
    return {
        {QStringLiteral("Razón Social"), QStringLiteral("RSOCIAL"), true, 360},
        {QStringLiteral("Rfc"), QStringLiteral("RFC"), true, 130},
        {QStringLiteral("IDMCTS"), QStringLiteral("IDMCTS"), false, 30},
    };
}

}  // namespace

CompanyGrid CompanyGrid::outsourcing() {
    CompanyGrid g;
    g.kindCode = QStringLiteral("T");
    g.columns = threeColumns();
    g.kindColumn = 2;
    g.nameMessage = QStringLiteral(
        "La Razón social de la empresa de terciarización  puede contener como máximo 254 caracteres.");
    g.rfcMessage = QStringLiteral("El RFC de la empresa de terciarización debe contener 12 caracteres.");
    g.tooltip = QStringLiteral("empresa de terciarización");
    return g;
}

CompanyGrid CompanyGrid::submanufacturing() {
    CompanyGrid g;
    g.kindCode = QStringLiteral("M");
    g.columns = threeColumns();
    g.kindColumn = 2;
    g.nameMessage = QStringLiteral(
        "La Razón social de la empresa de submanufactura  puede contener como máximo 254 caracteres.");
    g.rfcMessage = QStringLiteral("El RFC de la empresa de submanufactura debe contener 12 ó 13 caracteres.");
    g.rfcMaxLength = 13;
    g.rfcKind = 2;
    g.tooltip = QStringLiteral("empresa de submanufactura");
    return g;
}

CompanyGrid CompanyGrid::serviceCompanies() {
    CompanyGrid g;
    g.kindCode = QStringLiteral("S");
    g.columns = threeColumns();
    g.columns.append({QStringLiteral("Número Programa"), QStringLiteral("NUMPROG"), true, 110});
    g.columns.append({QStringLiteral("Año Programa"), QStringLiteral("ANOPROG"), true, 100});
    g.kindColumn = 2;
    g.nameMessage =
        QStringLiteral("La Razón social de la empresa de servicios puede contener como máximo 254 caracteres.");
    g.rfcMessage = QStringLiteral("El RFC de la empresa de servicios debe contener 12 caracteres.");
    g.numberColumn = 3;
    g.yearColumn = 4;
    g.tooltip = QStringLiteral("empresa de servicios");
    return g;
}

CompanyRule::CompanyRule(Messages& messages, CompanyGrid grid) : messages_(messages), grid_(std::move(grid)) {}

void CompanyRule::newRow(GridRow& row) {
    row.setValue(grid_.kindColumn, grid_.kindCode);
}

void CompanyRule::cellAccepted(GridRow& row, int column) {
    if (column == RazonSocial) {
        companycheck::name(row, column, grid_.nameMessage, messages_);
    } else if (column == Rfc) {
        companycheck::rfc(row, column, grid_.rfcMinLength, grid_.rfcMaxLength, grid_.rfcKind, grid_.rfcMessage,
                          messages_);
    } else if (column == grid_.amountColumn) {
        companycheck::exportAmount(row, column, messages_);
    } else if (column == grid_.numberColumn) {
        companycheck::programNumber(row, column, messages_);
    } else if (column == grid_.yearColumn) {
        companycheck::programYear(row, column, messages_);
    } else if (grid_.percentColumns.contains(column)) {
        companycheck::percentage(row, column, messages_);
    }
}

}  // namespace kalto

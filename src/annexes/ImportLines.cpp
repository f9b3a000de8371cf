#include "annexes/ImportLines.h"

#include "annexes/Import.h"

#include "annexes/ImportText.h"
#include "core/Numbers.h"

namespace kalto {

namespace importmsg {
const QString kExportacionLongitud = QStringLiteral(" Fracción de exportación con longitud no válida.");
const QString kExportacionNumerico =
    QStringLiteral(" Valor que se intenta como fracción de exportación no es numerico.");
const QString kImportacionSinPadre = QStringLiteral(" Fracción de importación sin fracción de exportación padre.");
const QString kImportacionPadreConProblema =
    QStringLiteral(" Fracción de importación que depende de una fracción de exportación con problematica.");
const QString kImportacionLongitud = QStringLiteral(" Fracción de importación con longitud no válida.");
const QString kImportacionNumerico =
    QStringLiteral(" Valor que se intenta como fracción de importación no es numerico.");
const QString kLetraNoReconocida = QStringLiteral(
    " Letra no reconocida para ingresar un anexo. (Valores permitidos letras E, I, C y H).");
const QString kSinDescripcion =
    QStringLiteral(" Falta la descripción del contenedor o de la herramienta, maquinaria o equipo.");
const QString kDescripcionLarga = QStringLiteral(" La descripción excede el máximo de 254 caracteres.");

const QString kFraccionLongitud = QStringLiteral(" Fracción con longitud no válida.");
const QString kFraccionNumerico = QStringLiteral(" Valor que se intenta ingresar como fracción no es numerico.");
const QString kUnidadNumerico =
    QStringLiteral(" Valor que se intenta ingresar como unidad de medida no es numerico.");
const QString kUnidadNoEncontrada =
    QStringLiteral(" Valor no valido, no se encuentra en el catalogo de unidades de medida.");
const QString kCapacidadNumerico =
    QStringLiteral(" Valor que se intenta ingresar como capacidad instalada no es numerico.");
const QString kCapacidadMaximo = QStringLiteral(" Valor excede el maximo aceptado para este campo (99,999,9999).");
const QString kCapacidadNegativo =
    QStringLiteral(" Valor que se intenta ingresar como capacidad instalada no puede ser negativo.");
const QString kCapacidadDecimales =
    QStringLiteral(" Valor con más de 3 decimales, no se acepta como capacidad instalada.");
const QString kPorcentajeNumerico = QStringLiteral(" Valor que se intenta ingresar como porcentaje no es numerico.");
const QString kPorcentajeMaximo = QStringLiteral(" Valor excede el maximo aceptado para este campo (100).");
const QString kPorcentajeNegativo =
    QStringLiteral(" Valor que se intenta ingresar como porcentaje no puede ser negativo.");
const QString kPorcentajeDecimales = QStringLiteral(" Valor con más de 2 decimales, no se acepta como porcentaje.");
const QString kRenglonIncompleto = QStringLiteral(
    " Renglón incompleto: se esperan cuatro valores separados por comas (fracción, unidad de medida, capacidad "
    "instalada y porcentaje utilizado).");

const QString kIdentificadorExcedido =
    QStringLiteral(" Renglón no registrado: su identificador en los anexos sería %1 y el máximo es 32767.");
const QString kCaracterNoValido =
    QStringLiteral(" El carácter %1 no se puede guardar en las tablas (no existe en Windows-1252).");
const QString kCaracterDeControl =
    QStringLiteral(" La descripción contiene el carácter de control %1, que no se puede guardar en las tablas.");
const QString kNoSeGuardo = QStringLiteral(" No se pudo guardar el renglón: %1");
const QString kRenglonLargo = QStringLiteral(" Renglón de más de 100000 caracteres, no se acepta.");
}  // namespace importmsg

using namespace importmsg;

namespace {

constexpr int kDescripMax = 254;
constexpr double kCapacidadTope = 99999999;

bool eightDigits(const QString& item) {
    if (item.size() != 8) return false;
    for (const QChar c : item)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

// A value written as a spreadsheet writes a field holding a comma or a quote: between double
// quotes, its own quotes doubled. Any other value is itself.
QString unquoted(const QString& value) {
    if (value.size() < 2 || !value.startsWith(QLatin1Char('"')) || !value.endsWith(QLatin1Char('"'))) return value;
    const QString inner = value.mid(1, value.size() - 2);
    QString out;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner.at(i) != QLatin1Char('"')) {
            out += inner.at(i);
        } else if (i + 1 < inner.size() && inner.at(i + 1) == QLatin1Char('"')) {
            out += QLatin1Char('"');
            ++i;
        } else {
            return value;  // a lone quote inside: not a quoted field
        }
    }
    return out;
}

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

// The first control character of a description (a tab is kept as text), if any.
// A table pads its texts with NUL and blanks, so neither survives at the end of one, and the
// other codes print as nothing readable.
std::optional<char16_t> firstControl(const QString& text) {
    for (const QChar c : text)
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F) return c.unicode();
    return std::nullopt;
}

}  // namespace

QString errorLine(int number, const Refusal& refusal) {
    return QStringLiteral("Renglon ") + QString::number(number) + QStringLiteral(". ") + refusal.value +
           refusal.message;
}

LineOutcome AnnexLineChecks::check(const QString& text, AnnexRow* row, Refusal* refusal) {
    if (isBlank(text)) return LineOutcome::Blank;
    const QChar letter = text.at(0);
    // Blanks inside the quotes of a quoted value are dropped as well: a table does not keep
    // them at the end of a text, and a description of blanks only is no description.
    const QString value = unquoted(text.mid(2).trimmed()).trimmed();
    std::optional<Refusal> refused;
    AnnexRow out;
    out.value = value;

    switch (letter.unicode()) {
    case 'E':
        parentOpen_ = true;
        parentFailed_ = false;
        if (value.size() != 8)
            refused = Refusal{value, kExportacionLongitud};
        else if (!eightDigits(value))
            refused = Refusal{value, kExportacionNumerico};
        else
            out.fraccion = value;
        if (refused) parentFailed_ = true;
        break;
    case 'I':
        if (!parentOpen_)
            refused = Refusal{value, kImportacionSinPadre};
        else if (parentFailed_)
            refused = Refusal{value, kImportacionPadreConProblema};
        else if (value.size() != 8)
            refused = Refusal{value, kImportacionLongitud};
        else if (!eightDigits(value))
            refused = Refusal{value, kImportacionNumerico};
        out.input = true;
        out.fraccion = value;
        break;
    case 'C':
    case 'H':
        parentOpen_ = false;
        if (value.isEmpty())
            refused = Refusal{value, kSinDescripcion};
        else if (value.size() > kDescripMax)
            refused = Refusal{value, kDescripcionLarga};
        else if (const char32_t bad = firstNonCp1252(value))
            refused = Refusal{value, kCaracterNoValido.arg(characterCode(bad))};
        else if (const auto control = firstControl(value))
            refused = Refusal{value, kCaracterDeControl.arg(characterCode(*control))};
        out.kind = letter == QLatin1Char('C') ? 2 : 3;
        out.descrip = value;
        break;
    default:
        parentFailed_ = true;
        refused = Refusal{QString(letter), kLetraNoReconocida};
        break;
    }
    if (refused) {
        if (refusal) *refusal = *refused;
        return LineOutcome::Refused;
    }
    if (row) *row = std::move(out);
    return LineOutcome::Loaded;
}

LineOutcome checkProductLine(const QString& text, const QHash<qint64, QString>& units, ProductRow* row,
                                     Refusal* refusal) {
    using Outcome = LineOutcome;
    if (isBlank(text)) return Outcome::Blank;
    auto refuse = [&](const QString& value, const QString& message) {
        if (refusal) *refusal = Refusal{value, message};
        return Outcome::Refused;
    };

    // Four values separated by commas; what follows a fourth comma is not read.
    QStringList fields = text.split(QLatin1Char(','));
    const bool complete = fields.size() >= 4;
    fields = fields.mid(0, 4);
    for (QString& f : fields) f = f.trimmed();

    // The values in their order; the first that fails refuses the line.
    const QString& fraccion = fields.at(0);
    if (fraccion.size() != 8) return refuse(fraccion, kFraccionLongitud);
    if (!eightDigits(fraccion)) return refuse(fraccion, kFraccionNumerico);

    if (fields.size() < 2) return refuse(text.trimmed(), kRenglonIncompleto);
    const QString& unidad = fields.at(1);
    const auto code = parseNumber(unidad);
    if (!code) return refuse(unidad, kUnidadNumerico);
    const auto unit = code->integer ? units.constFind(*code->integer) : units.cend();
    if (unit == units.cend()) return refuse(unidad, kUnidadNoEncontrada);

    if (fields.size() < 3) return refuse(text.trimmed(), kRenglonIncompleto);
    const QString& volumen = fields.at(2);
    const auto capacity = parseNumber(volumen);
    if (!capacity) return refuse(volumen, kCapacidadNumerico);
    if (capacity->value > kCapacidadTope) return refuse(volumen, kCapacidadMaximo);
    if (capacity->value < 0) return refuse(volumen, kCapacidadNegativo);
    if (capacity->decimals > 3) return refuse(volumen, kCapacidadDecimales);

    if (!complete) return refuse(text.trimmed(), kRenglonIncompleto);
    const QString& porcut = fields.at(3);
    const auto percentage = parseNumber(porcut);
    if (!percentage) return refuse(porcut, kPorcentajeNumerico);
    if (percentage->value > 100) return refuse(porcut, kPorcentajeMaximo);
    if (percentage->value < 0) return refuse(porcut, kPorcentajeNegativo);
    if (percentage->decimals > 2) return refuse(porcut, kPorcentajeDecimales);

    if (row) *row = ProductRow{fraccion, capacity->toVariant(), percentage->toVariant(), *code->integer, unit.value()};
    return Outcome::Loaded;
}

}  // namespace kalto

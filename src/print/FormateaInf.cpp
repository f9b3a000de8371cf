#include "print/FormateaInf.h"

#include "core/GridHelpers.h"
#include "data/Values.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <vector>

namespace kalto {

namespace {

const QChar LF = QLatin1Char('\n');
const QChar kFiscalEnd = QChar(11);  // the fiscal-address block ends with this, not with LF

QString blanks(int n) { return QString(n, QLatin1Char(' ')); }

// Appends `n` blanks (at most 64). Through append, which grows the text by more than it needs
// (resize allocates exactly, and would copy a text of many lines again at every line).
void appendBlanks(QString& out, int n) {
    static const QString many(64, QLatin1Char(' '));
    out.append(many.constData(), qMin(n, 64));
}

// Appends one numbered line of a list: `indent` blanks, the number, 5 blanks, the value, LF.
// Written in place: a request can have tens of thousands of these lines.
void appendNumbered(QString& out, int indent, int number, const QString& value) {
    appendBlanks(out, indent);
    out += QString::number(number);
    appendBlanks(out, 5);
    out += value;
    out += LF;
}

// A value as it prints: nothing for null, numbers in plain decimal, texts as stored.
QString text(const QVariant& value) { return isNullValue(value) ? QString() : cellText(value); }
QString field(const QVariantList& row, int column) { return text(row.value(column)); }

// A composed block counts as empty when it holds blanks only.
bool onlyBlanks(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c == QLatin1Char(' '); });
}

std::optional<double> number(const QVariant& value) { return numericValue(value); }

bool present(const QVariant& value) { return !isNullValue(value); }

// Columns of imanexos.
enum AnnexColumn { kIdProd = 0, kTipoReg = 1, kDescrip = 2, kFraccion = 3, kIdSubord = 4 };

// ORDER BY on numbers: nulls first, then by value. Rows that tie keep their stored order.
int compareNumbers(const std::optional<double>& x, const std::optional<double>& y) {
    if (!x || !y) return (x ? 1 : 0) - (y ? 1 : 0);
    return *x < *y ? -1 : (*x > *y ? 1 : 0);
}

// The value printed for an export product of the annexes: its description when the programme
// is described by text (an extension of a services programme, or no procedure) and it has
// one, otherwise its tariff item, as stored (a service's product holds the text "null").
QString exportProductValue(const QVariantList& row, bool byDescription) {
    if (byDescription && present(row.value(kDescrip))) return field(row, kDescrip);
    return field(row, kFraccion);
}

// The value printed for a container, tool or rework row: its tariff item, or its description
// when it has none.
QString groupRowValue(const QVariantList& row) {
    return present(row.value(kFraccion)) ? field(row, kFraccion) : field(row, kDescrip);
}

// The nine address lines (fields by position of imdir), the e-mail line only for the fiscal address.
QString addressLines(const QVariantList& r, bool fiscal) {
    QString s;
    s += QStringLiteral("CALLE Y NUMERO   ") + field(r, 1) + LF;
    s += QStringLiteral("COLONIA   ") + field(r, 4) + LF;
    s += QStringLiteral("C.P.   ") + field(r, 2) + LF;
    s += QStringLiteral("DEL/MUN  ") + field(r, 8) + LF;
    s += QStringLiteral("ESTADO   ") + field(r, 7) + LF;
    s += QStringLiteral("CIUDAD   ") + field(r, 3) + LF;
    s += QStringLiteral("TELEFONO   ") + field(r, 5) + LF;
    s += QStringLiteral("FAX   ") + field(r, 9);
    if (!fiscal) return s + LF;
    s += LF + QStringLiteral("E-MAIL  ") + field(r, 6) + kFiscalEnd;
    return s;
}

}  // namespace

QString spanishMonthName(int month) {
    static const char* const names[] = {"enero", "febrero", "marzo",      "abril",   "mayo",      "junio",
                                        "julio", "agosto",  "septiembre", "octubre", "noviembre", "diciembre"};
    return month >= 1 && month <= 12 ? QString::fromLatin1(names[month - 1]) : QString();
}

QString annexGroupTitle(int kind) {
    switch (kind) {
    case 1: return QStringLiteral("Materias Primas");
    case 2: return QStringLiteral("Contenedores");
    case 3: return QStringLiteral("Herramientas");
    case 4: return QStringLiteral("Retrabajo");
    default: return QString();
    }
}

bool FormateaInf(const ReportSnapshot& s, const QDate& today, ReportText* out, QString* error) {
    ReportText local;
    ReportText& r = out ? *out : local;
    r = ReportText();
    if (error) error->clear();
    const bool newProgramme = s.procedure == 0;
    const bool extension = s.procedure == 1;

    // Title lines.
    r.header = QStringLiteral("RUVANA") + LF + QStringLiteral("SOLICITUD DE ") +
               (newProgramme ? QStringLiteral("AUTORIZACIÓN") : QStringLiteral("AMPLIACIÓN")) +
               QStringLiteral(" DE PROGRAMA KALTO") + LF + LF + QStringLiteral("DATOS GENERALES");

    // Fiscal address (the first row) and, for a new programme, the plants.
    if (!s.fiscalAddresses.isEmpty())
        r.addresses = LF + QStringLiteral("DOMICILIO FISCAL") + LF + LF + addressLines(s.fiscalAddresses.first(), true);
    if (newProgramme) {
        int n = 0;
        for (const QVariantList& plant : s.plants)
            r.addresses += LF + QStringLiteral("DOMICILIO DE PLANTA ") + QString::number(++n) + LF + LF +
                           addressLines(plant, false);
    } else {
        r.addresses += LF;
    }

    // Controlled companies.
    if (s.modality == 3) {
        int n = 0;
        for (const QVariantList& c : s.controlledCompanies) {
            r.groupCompanies += LF + QStringLiteral("EMPRESA CONTROLADA : ") + QString::number(++n) + LF;
            r.groupCompanies += QStringLiteral("RAZON SOCIAL         : ") + field(c, 0) + LF;
            r.groupCompanies += QStringLiteral("RFC                  : ") + field(c, 1) + LF;
            r.groupCompanies += QStringLiteral("MONTO DE EXPORTACIÓN : ") + field(c, 2) + LF;
            if (!isNullValue(c.value(3)))
                r.groupCompanies += QStringLiteral("REGISTRO KALTO     : ") + field(c, 3) + QStringLiteral(" - ") +
                                    field(c, 4) + LF;
            r.groupCompanies += QStringLiteral("PORCENTAJE PARTICIPACION CONTROLADORA : ") + field(c, 5) + LF;
            r.groupCompanies += QStringLiteral("PORCENTAJE PARTICIPACION RESIDENTE    : ") + field(c, 6) + LF + LF;
        }
        if (!onlyBlanks(r.groupCompanies))
            r.groupCompanies =
                QStringLiteral("E M P R E S A S   C O N T R O L A D A S") + LF + LF + r.groupCompanies + LF;
    }

    // A company list: number, name and RFC of every row.
    auto companies = [](const QList<QVariantList>& rows, const QString& label, const QString& title) {
        QString block;
        int n = 0;
        for (const QVariantList& c : rows) {
            block += LF + label + QString::number(++n) + LF;
            block += QStringLiteral("RAZON SOCIAL         : ") + field(c, 0) + LF;
            block += QStringLiteral("RFC                  : ") + field(c, 1) + LF;
        }
        return onlyBlanks(block) ? block : title + LF + block + LF;
    };

    // Outsourcing companies.
    QString outsourcing;
    if (s.modality == 2)
        outsourcing = companies(s.outsourcingCompanies, QStringLiteral("EMPRESA DE TERCIARIZACIÓN : "),
                                QStringLiteral("E M P R E S A S   D E   T E R C I A R I Z A C I O N"));

    // Services and the companies served.
    QString services, serviceCompanies;
    if (extension || s.modality == 1) {
        int n = 0;
        for (const QVariantList& sv : s.services)
            services += LF + QStringLiteral("SERVICIO : ") + QString::number(++n) + blanks(5) + field(sv, 1);
        if (!onlyBlanks(services)) services = QStringLiteral("S E R V I C I O S") + LF + services + LF + LF;
        n = 0;
        for (const QVariantList& c : s.serviceCompanies) {
            serviceCompanies += LF + QStringLiteral("EMPRESA DE SERVICIOS : ") + QString::number(++n) + LF;
            serviceCompanies += QStringLiteral("RAZON SOCIAL         : ") + field(c, 0) + LF;
            serviceCompanies += QStringLiteral("RFC                  : ") + field(c, 1) + LF;
            serviceCompanies += QStringLiteral("REGISTRO KALTO       : ") + field(c, 3) + QStringLiteral(" - ") +
                                field(c, 4) + LF;
        }
        if (!onlyBlanks(serviceCompanies))
            serviceCompanies = QStringLiteral("E M P R E S A S   D E   S E R V I C I O S") + LF + serviceCompanies + LF;
    }

    // Submanufacturing companies.
    const QString submanufacturing =
        companies(s.submanufacturingCompanies, QStringLiteral("EMPRESA DE SUBMANUFACTURA : "),
                  QStringLiteral("E M P R E S A S   D E   S U B M A N U F A C T U R A"));

    // Products.
    {
        r.products = QStringLiteral("P R O D U C T O S   A L   A M P A R O   D E L   P R O G R A M A   K A L T O") +
                     LF + LF;
        int n = 0;
        for (const QVariantList& p : s.products)
            appendNumbered(r.products, 15, ++n, field(p, 1) + blanks(5) + field(p, 2));
        r.products += LF;
    }

    // Annexes: the export products with their inputs, then containers, tools and rework. The
    // numbers of every row are read once; the walks below compare those. The text is written
    // in order, into room for about a line per row, so that a long list is never copied.
    struct AnnexKeys {
        const QVariantList* row;
        std::optional<double> id, kind, parent;
    };
    std::vector<AnnexKeys> keys;
    keys.reserve(size_t(s.annexes.size()));
    for (const QVariantList& a : s.annexes)
        keys.push_back({&a, number(a.value(kIdProd)), number(a.value(kTipoReg)), number(a.value(kIdSubord))});
    const auto above = [](const std::optional<double>& v, double limit) { return v && *v > limit; };
    const auto is = [](const std::optional<double>& v, double wanted) { return v && *v == wanted; };

    std::vector<const AnnexKeys*> byKind;  // id_prod > 0 and tipo_reg > 0, by tipo_reg and id_subord
    for (const AnnexKeys& k : keys)
        if (above(k.id, 0) && above(k.kind, 0)) byKind.push_back(&k);
    std::stable_sort(byKind.begin(), byKind.end(), [](const AnnexKeys* a, const AnnexKeys* b) {
        const int kind = compareNumbers(a->kind, b->kind);
        return kind != 0 ? kind < 0 : compareNumbers(a->parent, b->parent) < 0;
    });
    const QString annexesTitle = QStringLiteral("A  N  E  X  O  S") + LF;
    r.annexes.reserve(annexesTitle.size() + 64 * qsizetype(keys.size()) + 64);
    r.annexes += annexesTitle;
    if (!byKind.empty()) {
        appendBlanks(r.annexes, 20);
        r.annexes += QStringLiteral("Materias Primas") + LF;
        // Services programmes described by text: an extension of a services programme, or no procedure chosen.
        const bool byDescription = !newProgramme && !(extension && s.modality != 1);
        // The inputs of every product ("where id_subord = " its identifier), in stored order,
        // gathered in one pass instead of one pass over every row per product.
        QHash<double, QList<const QVariantList*>> inputsOf;
        for (const AnnexKeys& k : keys)
            if (k.parent) inputsOf[*k.parent].append(k.row);
        int n = 0;
        for (const AnnexKeys* a : byKind) {
            if (!is(a->kind, 1) || !is(a->parent, 0)) continue;
            appendNumbered(r.annexes, 30, ++n, exportProductValue(*a->row, byDescription));
            int m = 0;
            for (const QVariantList* input : inputsOf.value(*a->id))
                appendNumbered(r.annexes, 40, ++m, field(*input, kFraccion));
        }

        std::vector<const AnnexKeys*> others;  // tipo_reg <> 1 and tipo_reg > 0, by tipo_reg
        for (const AnnexKeys& k : keys)
            if (!is(k.kind, 1) && above(k.kind, 0)) others.push_back(&k);
        std::stable_sort(others.begin(), others.end(), [](const AnnexKeys* a, const AnnexKeys* b) {
            return compareNumbers(a->kind, b->kind) < 0;
        });
        std::optional<double> previous;
        n = 0;
        for (const AnnexKeys* a : others) {
            const double kind = *a->kind;
            appendBlanks(r.annexes, 20);
            if (!previous || *previous != kind) {
                const QString title = kind == std::floor(kind) && std::fabs(kind) < 1e6
                                          ? annexGroupTitle(static_cast<int>(kind)) : QString();
                if (title.isEmpty()) {
                    r.annexes.remove(0, annexesTitle.size());  // the piece as composed so far
                    if (error)
                        *error = QStringLiteral("Un renglón de los anexos tiene el tipo %1, que no corresponde a "
                                                "ningún grupo (1 a 4).").arg(text(a->row->value(kTipoReg)));
                    return false;
                }
                previous = kind;
                n = 0;
                r.annexes += title + LF + blanks(20);  // the group's title opens it
            }
            appendNumbered(r.annexes, 10, ++n, groupRowValue(*a->row));
        }
    }
    r.annexes += LF;

    // Statement, legal representative, place, date and signature.
    const QVariantList& rep = s.legalRepresentative;
    r.closing = QString(2, LF) + blanks(9) +
                QStringLiteral("MANIFIESTO BAJO PROTESTA DE DECIR LA VERDAD, QUE LOS DATOS ASENTADOS EN LA PRESENTE "
                               "SOLICITUD") + LF +
                QStringLiteral("Y EN SUS ANEXOS SON CIERTOS Y VERIFICABLES EN CUALQUIER MOMENTO POR LAS AUTORIDADES "
                               "COMPETENTES.") + LF + LF +
                QStringLiteral("DATOS DEL REPRESENTANTE LEGAL") + LF + LF +
                QStringLiteral("NOMBRE(S) : ") + field(rep, 0) + QLatin1Char(' ') + field(rep, 1) + QLatin1Char(' ') +
                field(rep, 2) + LF +
                QStringLiteral("CARGO       : ") + field(rep, 4) + LF +
                QStringLiteral("TELEFONO : ") + field(rep, 3) + LF +
                blanks(110) + QStringLiteral("LUGAR ____________________________________") + LF + LF +
                blanks(110) + QStringLiteral("FECHA ") + QString::number(today.day()) + QStringLiteral(" DE ") +
                spanishMonthName(today.month()) + QStringLiteral(" DE ") +
                QStringLiteral("%1").arg(today.year(), 4, 10, QLatin1Char('0')) + QLatin1Char('.') + QString(6, LF) +
                blanks(150) + QStringLiteral("FIRMA ________________________") + LF;

    // Assembly.
    const QString folio = s.prevention ? QStringLiteral("DESAHOGO DE PREVENCIÓN AL FOLIO : ") + s.folioYear +
                                             QStringLiteral(" - ") + s.folioNumber + LF
                                       : QString();
    const QString declaration =
        QStringLiteral("Manifiesto bajo protesta de decir verdad, que los datos asentados en la presente solicitud y "
                       "en sus anexos son ciertos y verificables en cualquier momento por las autoridades competentes "
                       "además de comprometerme a exportar anualmente el 10 % de mis ventas totales o 500 mil dólares "
                       "de los Estados Unidos de América, o su equivalente en moneda nacional.") + LF + LF;
    // The form is written once into room for all its pieces: each piece is appended by itself.
    QString& f = r.full;
    f.reserve(r.header.size() + r.addresses.size() + r.groupCompanies.size() + outsourcing.size() +
              r.products.size() + services.size() + serviceCompanies.size() + submanufacturing.size() +
              r.annexes.size() + declaration.size() + r.closing.size() + folio.size() + 1024);
    const auto add = [&f](std::initializer_list<const QString*> pieces) {
        for (const QString* piece : pieces) f += *piece;
    };
    f += r.header;
    f += QString(2, LF);
    if (newProgramme) {
        f += QStringLiteral("TIPO DE TRAMITE:    ") + s.procedureText + LF + folio;
        f += QStringLiteral("R.F.C. ") + s.rfc + LF;
        f += QStringLiteral("RAZON SOCIAL : ") + s.companyName + LF;
        f += QStringLiteral("SECTOR : ") + s.sectorText + LF;
        f += r.addresses;
        f += LF;
        f += QStringLiteral("MODALIDAD DEL PROGRAMA ") + s.modalityText + LF + LF;
        add({&r.groupCompanies, &outsourcing, &r.products, &services, &serviceCompanies, &submanufacturing});
    } else {
        f += QStringLiteral("TIPO DE TRAMITE:    ") + s.procedureText + QStringLiteral("        REGISTRO KALTO :") +
             s.registrationYear + s.registrationNumber + LF + folio;
        f += QStringLiteral("R.F.C. ") + s.rfc + LF;
        f += QStringLiteral("RAZON SOCIAL") + s.companyName + LF;
        f += QStringLiteral("SECTOR") + s.sectorText + LF;
        f += r.addresses;
        f += LF;
        add({&r.products, &services, &serviceCompanies});
    }
    add({&r.annexes, &declaration, &r.closing});
    return true;
}

}  // namespace kalto

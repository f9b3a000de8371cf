#include "records/CompanyAddresses.h"

#include "core/Messages.h"

namespace kalto {

CompanyAddressKind companyAddressKind(CompanyKind kind) {
    switch (kind) {
    case CompanyKind::Controlled:
        return {QStringLiteral("Empresa Controlada : "), QStringLiteral("FC"), QStringLiteral("PC")};
    case CompanyKind::Outsourcing:
        return {QStringLiteral("Empresa de Terciarización : "), QStringLiteral("FT"), QStringLiteral("PT")};
    case CompanyKind::Submanufacturing:
        return {QStringLiteral("Empresa de Submanufactura : "), QStringLiteral("FS"), QStringLiteral("PS")};
    }
    return {};
}

QVariantList companyAddressParams(const QString& kindCode, const QString& rfc) {
    return {kindCode, rfc};
}

QString companyAddressCaption(CompanyKind kind, const QString& name, const QString& rfc) {
    return companyAddressKind(kind).captionPrefix + name + QStringLiteral(" - RFC : ") + rfc;
}

bool canShowCompanyAddresses(const QString& name, const QString& rfc, Messages& messages) {
    if (name.trimmed().isEmpty()) {
        messages.exclamation(QStringLiteral(
            "Debes seleccionar una empresa para verificar su información de domicilio fiscal y de plantas."));
        return false;
    }
    // A company's addresses are kept under its RFC: a rejected RFC (left as 0) or a partial
    // one cannot identify the company, and addresses stored under it would be lost to it.
    if (rfc.trimmed().size() < 12) {
        messages.exclamation(QStringLiteral(
            "Debes capturar el RFC de la empresa para verificar su información de domicilio fiscal y de plantas. "
            "Rectifica por favor"));
        return false;
    }
    return true;
}

}  // namespace kalto

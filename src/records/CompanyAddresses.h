#pragma once
// The addresses of one related company, as the address window shows them: which kind
// codes its fiscal and plant addresses carry, the window caption, and the statements
// that select them (the company's RFC is bound, never spliced into the text).

#include <QString>
#include <QVariantList>

namespace kalto {

class Messages;

enum class CompanyKind { Controlled = 1, Outsourcing = 2, Submanufacturing = 3 };

struct CompanyAddressKind {
    QString captionPrefix;  // "Empresa Controlada : ", ...
    QString fiscalCode;     // "FC", "FT", "FS"
    QString plantCode;      // "PC", "PT", "PS"
};

CompanyAddressKind companyAddressKind(CompanyKind kind);

// "Select * from imdir where iddir = ? and rfc = ?", with its parameters.
inline const QString kCompanyAddressSource = QStringLiteral("Select * from imdir where iddir = ? and rfc = ?");
QVariantList companyAddressParams(const QString& kindCode, const QString& rfc);

// The caption: prefix + company name + " - RFC : " + RFC.
QString companyAddressCaption(CompanyKind kind, const QString& name, const QString& rfc);

// Whether the selected company row (its name and RFC) can have its addresses shown. No
// name: the selection message. No RFC: the addresses could never be found again, so the
// user is asked to capture it first. Returns false after showing the message.
bool canShowCompanyAddresses(const QString& name, const QString& rfc, Messages& messages);

}  // namespace kalto

#include "app/HeaderStore.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/VerificaRFC.h"
#include "data/Database.h"
#include "data/Dbf.h"

namespace kalto {

const QString HeaderStore::kMsgNotStored = QStringLiteral("No se pudo guardar el dato %1: %2");

HeaderStore::HeaderStore(RequestRules& rules, Messages& messages) : rules_(rules), messages_(messages) {}

QString HeaderStore::caption(HeaderField field) {
    switch (field) {
    case HeaderField::Rfc: return QStringLiteral("RFC");
    case HeaderField::CompanyName: return QStringLiteral("Razon Social");
    case HeaderField::RegistrationNumber: return QStringLiteral("Número de Registro KALTO");
    case HeaderField::RegistrationYear: return QStringLiteral("Año de Registro KALTO");
    case HeaderField::FolioNumber: return QStringLiteral("Número de folio a deshogar");
    case HeaderField::FolioYear: break;
    }
    return QStringLiteral("Año de folio a deshogar");
}

void HeaderStore::edit(HeaderField field, const QString& text) { pending_[index(field)] = text; }

QString HeaderStore::text(HeaderField field) const {
    const auto& p = pending_[index(field)];
    return p ? *p : headerText(rules_.estado(), field);
}

void HeaderStore::checkRfc(const QString& shown) {
    QString value = shown;
    VerificaRFC(value, RfcHeld13, messages_);
    if (value != shown) edit(HeaderField::Rfc, value);
}

QString HeaderStore::refusal(HeaderField field, const QString& text) const {
    QString kept = text;
    while (kept.endsWith(QLatin1Char(' '))) kept.chop(1);  // the table drops trailing blanks
    QByteArray bytes;
    QString why;
    if (!toCp1252(kept, &bytes, &why)) {
        if (!why.isEmpty()) why[0] = why.at(0).toLower();
        return why;
    }
    const DbfTable* table = rules_.database().table(QStringLiteral("imdint"));
    const int column = table ? table->fieldIndex(headerColumn(field)) : -1;
    if (column >= 0 && bytes.size() > table->fields().at(column).width)
        return QStringLiteral("el texto tiene %1 caracteres y el campo admite %2.")
            .arg(bytes.size())
            .arg(table->fields().at(column).width);
    return QString();
}

bool HeaderStore::store(HeaderField field) {
    auto& pending = pending_[index(field)];
    if (!pending) return true;
    const QString text = *pending;
    QString reason = refusal(field, text);
    if (reason.isEmpty()) {
        pending.reset();
        QString err;
        if (rules_.storeField(field, text, &err)) return true;
        pending = text;
        // The table's own wording names the column; the user knows the field by its caption.
        const QString column = QStringLiteral("el campo %1: ").arg(headerColumn(field));
        const qsizetype at = err.indexOf(column, 0, Qt::CaseInsensitive);
        reason = at >= 0 ? err.mid(at + column.size()) : err;
    } else {
        reason += kRectifica;
    }
    messages_.exclamation(kMsgNotStored.arg(caption(field), reason));
    return false;
}

bool HeaderStore::storeAll() {
    if (const auto& rfc = pending_[index(HeaderField::Rfc)]) checkRfc(QString(*rfc));
    bool ok = true;
    for (HeaderField field : kHeaderFields) ok = store(field) && ok;
    return ok;
}

}  // namespace kalto

#pragma once
// The requests of the report tests, read from golden/solicitudes.json, each naming the golden
// file of its printed text. Keys are the fields of ReportSnapshot; rows are lists of values by
// column position (null, numbers, texts) as the record sets hold them.

#include "print/ReportSnapshot.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kalto::test {

struct GoldenCase {
    QString golden;  // file under tests/print/golden
    ReportSnapshot snapshot;
    QDate today;
};

inline QString goldenPath(const QString& name) { return QStringLiteral(KALTO_SOURCE_DIR "/tests/print/golden/") + name; }

inline QByteArray readGolden(const QString& name) {
    QFile f(goldenPath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QList<GoldenCase> goldenCases() {
    QList<GoldenCase> cases;
    for (const QJsonValue& value : QJsonDocument::fromJson(readGolden(QStringLiteral("solicitudes.json"))).array()) {
        const QJsonObject o = value.toObject();
        GoldenCase c{o[u"golden"].toString(), {}, QDate::fromString(o[u"today"].toString(), Qt::ISODate)};
        ReportSnapshot& s = c.snapshot;
        s.procedure = o[u"procedure"].toInt();
        s.modality = o[u"modality"].toInt();
        s.prevention = o[u"prevention"].toBool();
        const std::pair<const char16_t*, QString*> texts[] = {
            {u"procedureText", &s.procedureText}, {u"modalityText", &s.modalityText}, {u"sectorText", &s.sectorText},
            {u"rfc", &s.rfc}, {u"companyName", &s.companyName}, {u"registrationNumber", &s.registrationNumber},
            {u"registrationYear", &s.registrationYear}, {u"folioNumber", &s.folioNumber}, {u"folioYear", &s.folioYear}};
        for (const auto& [key, text] : texts) *text = o[QStringView(key)].toString();
        const std::pair<const char16_t*, QList<QVariantList>*> lists[] = {
            {u"fiscalAddresses", &s.fiscalAddresses}, {u"plants", &s.plants}, {u"services", &s.services},
            {u"controlledCompanies", &s.controlledCompanies}, {u"outsourcingCompanies", &s.outsourcingCompanies},
            {u"serviceCompanies", &s.serviceCompanies}, {u"submanufacturingCompanies", &s.submanufacturingCompanies},
            {u"products", &s.products}, {u"annexes", &s.annexes}};
        for (const auto& [key, rows] : lists)
            for (const QJsonValue& row : o[QStringView(key)].toArray()) rows->append(row.toArray().toVariantList());
        s.legalRepresentative = o[u"legalRepresentative"].toArray().toVariantList();
        cases << c;
    }
    return cases;
}

}  // namespace kalto::test

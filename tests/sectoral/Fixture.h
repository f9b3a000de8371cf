#pragma once
// The sectoral tests' one fixture: a data folder with the delivered catalogues, its database
// and recorded messages; and the cases of tests/sectoral/casos, each an application as the
// main window passes it, the rows typed in the sectoral window (SQL) and the day, read from
// a JSON file.

#include "sectoral/BrelotData.h"
#include "sectoral/GuardaBrelot.h"

#include "data/Database.h"
#include "support/FileBytes.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

// Failures show texts as texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join(QStringLiteral("][")).toStdString() << ']'; }
QT_END_NAMESPACE

namespace kalto::test {

// A file of tests/sectoral as text.
inline QString sectoralFile(const QString& name) {
    return QString::fromUtf8(readFile(QStringLiteral(KALTO_SOURCE_DIR "/tests/sectoral/") + name));
}

struct BrelotCase {
    ApplicantData applicant;
    QStringList sql;
    QDate date;
};

inline BrelotCase readCase(const QString& name) {
    const QJsonObject o = QJsonDocument::fromJson(sectoralFile(QStringLiteral("casos/%1.json").arg(name)).toUtf8()).object();
    auto v = [](const QJsonValue& x, const char* key) { return x[QLatin1String(key)].toVariant(); };
    auto address = [&](const QJsonValue& x) {
        return AddressValues{v(x, "calleYNo"), v(x, "cp"),  v(x, "ciudad"), v(x, "colonia"), v(x, "telefono"),
                             v(x, "email"),    v(x, "edo"), v(x, "delMun"), v(x, "fax")};
    };
    auto text = [&](const char* key) { return o[QLatin1String(key)].toString(); };
    const QJsonValue r = o[QLatin1String("representante")];
    BrelotCase c{{text("rfc"), text("razonSocial"), v(o, "sectorCodigo"), text("sectorTexto"), address(o[QLatin1String("domicilioFiscal")]),
                  {v(r, "nomRepLeg"), v(r, "apePatRep"), v(r, "apeMatRep"), v(r, "telRepLeg"), v(r, "carEmp"), v(r, "mail")}, {}},
                 {}, QDate::fromString(text("fecha"), Qt::ISODate)};
    for (const QJsonValue p : o[QLatin1String("plantas")].toArray()) c.applicant.plantas << address(p);
    for (const QJsonValue s : o[QLatin1String("sql")].toArray()) c.sql << s.toString();
    return c;
}

// The wait window of the generation, told among the messages when it shows and closes.
struct Waiting : WaitIndicator {
    explicit Waiting(RecordingMessages& m) : messages(m) {}
    void show() override { messages.plain(QStringLiteral("+espera"), {}); }
    void close() override { messages.plain(QStringLiteral("-espera"), {}); }
    RecordingMessages& messages;
};

class SectoralTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.open(db, &error)) << error.toStdString(); }
    void sql(const QString& statement) { ASSERT_TRUE(db.execute(statement, {}, &error)) << error.toStdString(); }

    TestFolder folder;
    Database db;
    RecordingMessages messages;
    QString error;
};

}  // namespace kalto::test

#pragma once
// A temporary data folder with the main window's data sources and rules over it, without a
// window; and the one complete request the tests write into a folder.

#include "app/MainDataSources.h"
#include "app/RequestRules.h"
#include "core/RequestState.h"
#include "data/Database.h"
#include "data/TableCatalogue.h"
#include "support/PrintQString.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"

#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <memory>

namespace kalto::test {

// A new "Industrial" programme holding everything the disk generation asks for: the RFC and
// company name, a fiscal address and a plant, the legal representative, one product with its
// unit, an export product and one input under it. Written by statements only, so that the rules
// or a window bound afterwards find it as stored. `companyName` may hold any letter the tables hold.
inline bool writeCompleteRequest(Database& db, const QString& companyName = QStringLiteral("EMPRESA"),
                                 QString* error = nullptr) {
    const QString address = QStringLiteral(
        "insert into imdir (iddir, calleyno, cp, ciudad, colonia, telefono, email, edo, delmun, fax) "
        "values (?, 'REFORMA 1', '06600', 'MEXICO', 'JUAREZ', '5551', 'a@b.mx', 'CDMX', 'CUAUHTEMOC', '5555')");
    const QList<std::pair<QString, QVariantList>> statements = {
        {QStringLiteral("update imdint set rfc = 'AAAA010101AA1', apepatraz = ?, idtra = 0, idmoda = 0, dprev = 0"),
         {companyName}},
        {address, {QStringLiteral("FL")}},
        {address, {QStringLiteral("PL")}},
        {QStringLiteral("insert into imrlegal values ('ANA', 'PEREZ', 'LOPEZ', '5552', 'DIRECTOR', 'ana@b.mx')"), {}},
        {QStringLiteral("insert into improd (id_prod, fraccion, volumen, porcut, umid, um) "
                        "values (1, '12345678', 100, 50, 1, 'PIEZA')"),
         {}},
        {QStringLiteral("insert into imanexos values (1, 1, null, '12345678', 0)"), {}},
        {QStringLiteral("insert into imanexos values (2, 1, null, '87654321', 1)"), {}},
    };
    for (const auto& [sql, params] : statements)
        if (!db.execute(sql, params, error)) return false;
    return true;
}

// The bytes of every request table of the folder, by table.
inline QHash<QString, QByteArray> requestTableBytes(const Database& db) {
    QHash<QString, QByteArray> out;
    for (const QString& t : requestTables()) {
        QFile f(db.tablePath(t));
        out[t] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
    }
    return out;
}

// The data folder, its 22 sources and the rules, bound as the window binds them at load.
class RequestFixture : public ::testing::Test {
protected:
    void SetUp() override {
        prepareFolder();
        if (HasFatalFailure()) return;
        QString err;
        ASSERT_TRUE(folder.open(db, &err)) << err.toStdString();
        fuentes = std::make_unique<MainDataSources>(&db);
        rules = std::make_unique<RequestRules>(db, *fuentes, estado, msgs);
        reload();
    }
    // Writes into the folder before it is opened.
    virtual void prepareFolder() {}

    // Binds as at load (the stored header read into the state), then as the shown window does.
    void reload(ListasEncabezado* listas = nullptr) {
        estado.ventanaMostrada = false;
        QString err;
        ASSERT_TRUE(rules->EstableceLigas(listas, &err)) << err.toStdString();
        estado.ventanaMostrada = true;
        msgs.clear();
    }
    // Runs a statement behind the window's back and reads the sources again.
    void exec(const QString& sql, const QVariantList& params = {}) {
        QString err;
        ASSERT_TRUE(db.execute(sql, params, &err)) << sql.toStdString() << ": " << err.toStdString();
        fuentes->refreshAll();
    }
    // The complete request, loaded as stored.
    void complete() {
        QString err;
        ASSERT_TRUE(writeCompleteRequest(db, QStringLiteral("EMPRESA"), &err)) << err.toStdString();
        reload();
    }
    QVariant dint(const char* column) {
        return db.scalar(QStringLiteral("select %1 from imdint").arg(QLatin1String(column)));
    }
    int rows(const QString& table) { return db.scalar(QStringLiteral("select count(*) from ") + table).toInt(); }

    TestFolder folder;
    Database db;
    RequestState estado;
    RecordingMessages msgs;
    std::unique_ptr<MainDataSources> fuentes;
    std::unique_ptr<RequestRules> rules;
};

}  // namespace kalto::test

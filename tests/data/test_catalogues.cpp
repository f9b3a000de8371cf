// The delivered catalogues as the build writes them, and the generator that writes them.

#include "data/Dbf.h"
#include "data/TableCatalogue.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kCatalogues = QStringLiteral(KALTO_CATALOGUES_DIR "/");

std::unique_ptr<kalto::DbfTable> openCatalogue(const QString& name) {
    QString error;
    auto t = kalto::DbfTable::open(kCatalogues + name + QStringLiteral(".DBF"), &error, kalto::DbfAccess::ReadOnly);
    EXPECT_TRUE(t) << name.toStdString() << ": " << error.toStdString();
    return t;
}

QStringList column(const QString& table, int field) {
    QStringList values;
    if (auto t = openCatalogue(table))
        for (int r = 0; r < t->recordCount(); ++r) values << t->value(r, field).toString();
    return values;
}

void expectAllMatch(const QStringList& values, const QString& pattern) {
    const QRegularExpression re(pattern);
    for (const QString& v : values) EXPECT_TRUE(re.match(v).hasMatch()) << '"' << v.toStdString() << '"';
}

TEST(DeliveredCatalogues, EveryCatalogueTableOpensWithTheColumnsOfTheProgram) {
    for (const kalto::TableDef& def : kalto::tableCatalogue()) {
        if (def.group != kalto::TableGroup::Catalogue) continue;
        SCOPED_TRACE(def.name.toStdString());
        auto t = openCatalogue(def.name);
        ASSERT_TRUE(t);
        ASSERT_EQ(t->fields().size(), def.fields.size());
        for (qsizetype i = 0; i < def.fields.size(); ++i) {
            const kalto::DbfField &found = t->fields()[i], &wanted = def.fields[i];
            EXPECT_TRUE(found.name == wanted.name && found.type == wanted.type && found.width == wanted.width) << i;
        }
        EXPECT_GT(t->recordCount() - t->deletedCount(), 0);
    }
}

// The services list shows the third column and its search compares the second; unit codes are
// read back as integers; tariff items have eight digits; the sectoral window's grids admit only
// "/. 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ", so a key with anything else could never be typed.
TEST(DeliveredCatalogues, ContentsSuitTheWindowsThatUseThem) {
    const QStringList services = column(QStringLiteral("imcserv"), 1);
    EXPECT_GE(services.size(), 20);
    EXPECT_EQ(services, column(QStringLiteral("imcserv"), 2));
    const QStringList units = column(QStringLiteral("imunidmd"), 0);
    EXPECT_EQ(QSet<QString>(units.begin(), units.end()).size(), units.size());
    expectAllMatch(units, QStringLiteral("^[1-9][0-9]*$"));

    expectAllMatch(column(QStringLiteral("prodabas"), 0), QStringLiteral("^[0-9]{8}$"));
    expectAllMatch(column(QStringLiteral("csector"), 0),  // no blank at either end
                   QStringLiteral("^[/.0-9A-Z]([/. 0-9A-Z]*[/.0-9A-Z])?$"));
    QFile considerations(kCatalogues + QStringLiteral("CONSIDERA.TXT"));
    EXPECT_TRUE(considerations.open(QIODevice::ReadOnly) && !considerations.readAll().trimmed().isEmpty());
}

// A broken catalogue fails the build naming the file and line, and leaves the tables of the
// previous build exactly as they were.
TEST(CatalogueGenerator, RefusesABrokenCatalogueAndLeavesTheOutputAlone) {
    QTemporaryDir dir;
    const QString in = dir.path(), out = dir.filePath(QStringLiteral("out"));
    const QDir sources(QStringLiteral(KALTO_SOURCE_DIR "/catalogues"));
    for (const QString& f : sources.entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(sources.filePath(f), in + u'/' + f));
    QString errors;
    auto generate = [&] {
        QProcess p;
        p.start(kCatalogues + QStringLiteral("kalto_catalogos"), {in, out});
        EXPECT_TRUE(p.waitForFinished(60000)) << p.errorString().toStdString();
        errors = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    const auto output = [&] { return kalto::test::folderBytes(out); };
    ASSERT_EQ(generate(), 0) << errors.toStdString();
    const QByteArray built = output();
    ASSERT_TRUE(built.contains("imsector.DBF\n") && built.contains("imunidmd.DBF\n"));

    // A text that is not a number in a numeric column, and a character outside Windows-1252.
    const QList<std::tuple<QString, QByteArray, QString>> broken = {  // file, content, place named
        {QStringLiteral("imsector.csv"), "IDSECTOR,DESCRIP\n1,UNO\nTRES,TRES\n", QStringLiteral("imsector.csv:3")},
        {QStringLiteral("imunidmd.csv"), "CVE_MED,U_MEDIDA\n1,\xe2\x9c\x93\n", QStringLiteral("imunidmd.csv:2")},
    };
    for (const auto& [name, content, place] : broken) {
        const QString csv = in + u'/' + name;
        ASSERT_TRUE(kalto::test::writeFile(csv, content));
        EXPECT_EQ(generate(), 1);
        EXPECT_TRUE(errors.contains(place)) << errors.toStdString();
        EXPECT_EQ(output(), built);
        ASSERT_TRUE(QFile::remove(csv) && QFile::copy(sources.filePath(name), csv));
    }
}

}  // namespace

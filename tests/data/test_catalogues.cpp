// The delivered catalogues as the build writes them, and the generator that writes them.

#include "data/Dbf.h"
#include "data/TableCatalogue.h"
#include "support/FileBytes.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kCatalogues = QStringLiteral(KALTO_CATALOGUES_DIR "/");

// Every catalogue table opens and holds rows (its columns are those of table_layouts.txt, which the
// SQL tests compare with the tables of a data folder). The services list shows
// the third column and its search compares the second; unit codes are read back as integers;
// tariff items have eight digits; the sectoral window's grids admit only
// "/. 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ", so a key with anything else could never be typed.
TEST(DeliveredCatalogues, EveryCatalogueHasTheProgramsColumnsAndSuitsTheWindowsThatUseIt) {
    QHash<QString, QStringList> columns;  // "table:column" -> values
    for (const kalto::TableDef& def : kalto::tableCatalogue()) {
        if (def.group != kalto::TableGroup::Catalogue) continue;
        QString error;
        auto t = kalto::DbfTable::open(kCatalogues + def.name + QStringLiteral(".DBF"), &error, kalto::DbfAccess::ReadOnly);
        ASSERT_TRUE(t) << error.toStdString();
        for (int i = 0; i < t->fields().size(); ++i)
            for (int r = 0; r < t->recordCount(); ++r) columns[def.name + u':' + QString::number(i)] << t->value(r, i).toString();
        EXPECT_GT(t->recordCount() - t->deletedCount(), 0) << def.name.toStdString();
    }
    EXPECT_TRUE(columns["imcserv:1"].size() >= 20 && columns["imcserv:1"] == columns["imcserv:2"]);
    EXPECT_EQ(QSet<QString>(columns["imunidmd:0"].begin(), columns["imunidmd:0"].end()).size(), columns["imunidmd:0"].size());
    const QList<std::pair<QString, QString>> patterns = {{"imunidmd:0", "^[1-9][0-9]*$"}, {"prodabas:0", "^[0-9]{8}$"},
                                                         {"csector:0", "^[/.0-9A-Z]([/. 0-9A-Z]*[/.0-9A-Z])?$"}};
    for (const auto& [column, pattern] : patterns) {
        EXPECT_FALSE(columns[column].isEmpty()) << column.toStdString();
        for (const QString& v : columns[column]) EXPECT_TRUE(QRegularExpression(pattern).match(v).hasMatch()) << '"' << v.toStdString() << '"';
    }
    EXPECT_FALSE(kalto::test::readFile(kCatalogues + QStringLiteral("CONSIDERA.TXT")).trimmed().isEmpty());
}

// A broken catalogue (a text that is not a number in a numeric column, a character outside
// Windows-1252) fails the build naming the file and line, and leaves the tables of the previous
// build exactly as they were.
TEST(CatalogueGenerator, RefusesABrokenCatalogueAndLeavesTheOutputAlone) {
    QTemporaryDir dir;
    const QString in = dir.path(), out = dir.filePath(QStringLiteral("out"));
    const QDir sources(QStringLiteral(KALTO_SOURCE_DIR "/catalogues"));
    for (const QString& f : sources.entryList(QDir::Files)) ASSERT_TRUE(QFile::copy(sources.filePath(f), in + u'/' + f));
    QString errors;
    const auto generate = [&] {
        QProcess p;
        p.start(kCatalogues + QStringLiteral("kalto_catalogos"), {in, out});
        EXPECT_TRUE(p.waitForFinished(60000)) << p.errorString().toStdString();
        errors = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    ASSERT_EQ(generate(), 0) << errors.toStdString();
    const QByteArray built = kalto::test::folderBytes(out);
    ASSERT_TRUE(built.contains("imsector.DBF\n") && built.contains("imunidmd.DBF\n"));
    const QList<std::tuple<QString, QByteArray, QString>> broken = {  // file, content, place named
        {QStringLiteral("imsector.csv"), "IDSECTOR,DESCRIP\n1,UNO\nTRES,TRES\n", QStringLiteral("imsector.csv:3")},
        {QStringLiteral("imunidmd.csv"), "CVE_MED,U_MEDIDA\n1,\xe2\x9c\x93\n", QStringLiteral("imunidmd.csv:2")},
    };
    for (const auto& [name, content, place] : broken) {
        const QString csv = in + u'/' + name;
        ASSERT_TRUE(kalto::test::writeFile(csv, content));
        EXPECT_EQ(generate(), 1);
        EXPECT_TRUE(errors.contains(place)) << errors.toStdString();
        EXPECT_EQ(kalto::test::folderBytes(out), built);
        ASSERT_TRUE(QFile::remove(csv) && QFile::copy(sources.filePath(name), csv));
    }
}

}  // namespace

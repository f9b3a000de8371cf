// The delivered catalogues as the build writes them, and the generator that writes them.

#include "data/Dbf.h"
#include "data/TableCatalogue.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using kalto::DbfTable;

const QString kCatalogues = QStringLiteral(KALTO_CATALOGUES_DIR);

std::unique_ptr<DbfTable> openCatalogue(const QString& name) {
    QString error;
    auto table = DbfTable::open(QDir(kCatalogues).filePath(name + QStringLiteral(".DBF")), &error,
                                 kalto::DbfAccess::ReadOnly);
    EXPECT_TRUE(table) << name.toStdString() << ": " << error.toStdString();
    return table;
}

QString text(const DbfTable& t, int recno, int field) { return t.value(recno, field).toString(); }

int widthOf(const QString& table, const QString& field) {
    const kalto::TableDef* def = kalto::findTableDef(table);
    if (!def) return -1;
    for (const auto& f : def->fields)
        if (f.name.compare(field, Qt::CaseInsensitive) == 0) return f.width;
    return -1;
}

TEST(DeliveredCatalogues, EveryCatalogueTableOpensWithTheColumnsOfTheProgram) {
    for (const auto& def : kalto::tableCatalogue()) {
        if (def.group != kalto::TableGroup::Catalogue) continue;
        SCOPED_TRACE(def.name.toStdString());
        auto t = openCatalogue(def.name);
        ASSERT_TRUE(t);
        ASSERT_EQ(t->fields().size(), def.fields.size());
        for (qsizetype i = 0; i < def.fields.size(); ++i) {
            EXPECT_EQ(t->fields()[i].name, def.fields[i].name);
            EXPECT_EQ(t->fields()[i].type, def.fields[i].type);
            EXPECT_EQ(t->fields()[i].width, def.fields[i].width);
        }
        EXPECT_GT(t->recordCount(), 0);
        EXPECT_EQ(t->deletedCount(), 0);
    }
}

// The services list shows the third column and the incremental search compares the second,
// so both must hold the same text; a service's identifier is its position in the list, and
// positions from 13 on are services that are their own export product.
TEST(DeliveredCatalogues, ServicesHoldTheSameTextInBothColumnsAndAreNumberedByPosition) {
    auto t = openCatalogue(QStringLiteral("imcserv"));
    ASSERT_TRUE(t);
    EXPECT_GE(t->recordCount(), 20);
    QSet<QString> seen;
    const int servicioWidth = std::min(widthOf(QStringLiteral("imserv"), QStringLiteral("SERVICIO")),
                                       widthOf(QStringLiteral("imanexos"), QStringLiteral("DESCRIP")));
    for (int r = 0; r < t->recordCount(); ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(t->value(r, 0).toInt(), r + 1);
        const QString servicio = text(*t, r, 1);
        EXPECT_FALSE(servicio.trimmed().isEmpty());
        EXPECT_EQ(servicio, text(*t, r, 2));
        EXPECT_EQ(servicio, servicio.toUpper());
        // The text is copied into imserv and, from position 13 on, into the annex table; it is
        // also spliced between quotes into the annex insert.
        EXPECT_LE(servicio.size(), servicioWidth);
        EXPECT_FALSE(servicio.contains(QLatin1Char('\'')));
        EXPECT_FALSE(seen.contains(servicio)) << servicio.toStdString();
        seen.insert(servicio);
    }
}

// Unit codes are compared as text in queries, while the import of products reads the code as
// an integer and looks it up again as text: only plain decimal digits without leading zeros
// survive that round trip, and improd keeps the code in a numeric column.
TEST(DeliveredCatalogues, UnitCodesAreUniqueDecimalNumbersAndNamesFitTheProducts) {
    auto t = openCatalogue(QStringLiteral("imunidmd"));
    ASSERT_TRUE(t);
    const QRegularExpression digits(QStringLiteral("^[1-9][0-9]*$"));
    const int umWidth = widthOf(QStringLiteral("improd"), QStringLiteral("UM"));
    QSet<QString> codes, names;
    for (int r = 0; r < t->recordCount(); ++r) {
        const QString code = text(*t, r, 0);
        const QString name = text(*t, r, 1);
        SCOPED_TRACE(code.toStdString());
        EXPECT_TRUE(digits.match(code).hasMatch());
        EXPECT_LE(code.size(), widthOf(QStringLiteral("improd"), QStringLiteral("UMID")));
        EXPECT_FALSE(codes.contains(code));
        EXPECT_FALSE(name.trimmed().isEmpty());
        EXPECT_LE(name.size(), umWidth);
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
        codes.insert(code);
        names.insert(name);
    }
    EXPECT_TRUE(names.contains(QStringLiteral("KILOGRAMO")));
    EXPECT_TRUE(names.contains(QStringLiteral("PIEZA")));
}

TEST(DeliveredCatalogues, SectorCodesAreUniquePositiveNumbersWithDescriptions) {
    auto t = openCatalogue(QStringLiteral("imsector"));
    ASSERT_TRUE(t);
    QSet<qlonglong> codes;
    for (int r = 0; r < t->recordCount(); ++r) {
        SCOPED_TRACE(r);
        const QVariant code = t->value(r, 0);
        ASSERT_FALSE(code.isNull());
        EXPECT_GT(code.toLongLong(), 0);
        EXPECT_FALSE(codes.contains(code.toLongLong()));
        codes.insert(code.toLongLong());
        const QString description = text(*t, r, 1);
        EXPECT_FALSE(description.trimmed().isEmpty());
        EXPECT_EQ(description, description.toUpper());
    }
}

TEST(DeliveredCatalogues, TariffItemsOfTheSectoralDiskHaveEightDigits) {
    auto t = openCatalogue(QStringLiteral("prodabas"));
    ASSERT_TRUE(t);
    const QRegularExpression eightDigits(QStringLiteral("^[0-9]{8}$"));
    QSet<QString> items;
    for (int r = 0; r < t->recordCount(); ++r) {
        const QString item = text(*t, r, 0);
        EXPECT_TRUE(eightDigits.match(item).hasMatch()) << "\"" << item.toStdString() << "\"";
        EXPECT_FALSE(items.contains(item)) << item.toStdString();
        items.insert(item);
        EXPECT_FALSE(text(*t, r, 1).trimmed().isEmpty());
    }
}

// The sectoral window's grids admit only the characters "/. 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
// (and backspace): a key holding anything else could never be typed to find it in the list.
// The chosen key and its description are copied into Sector (and the key into mercbi).
TEST(DeliveredCatalogues, SectoralKeysCanBeTypedInTheSectoralWindow) {
    auto t = openCatalogue(QStringLiteral("csector"));
    ASSERT_TRUE(t);
    const QString admitted = QStringLiteral("/. 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const int keyWidth = std::min(widthOf(QStringLiteral("Sector"), QStringLiteral("CVE_SECTOR")),
                                  widthOf(QStringLiteral("mercbi"), QStringLiteral("IDSECTOR")));
    const int descriptionWidth = widthOf(QStringLiteral("Sector"), QStringLiteral("DESCRIPCIO"));
    QSet<QString> keys;
    for (int r = 0; r < t->recordCount(); ++r) {
        const QString key = text(*t, r, 0);
        SCOPED_TRACE(key.toStdString());
        EXPECT_FALSE(key.trimmed().isEmpty());
        EXPECT_EQ(key, key.trimmed());
        for (QChar c : key) EXPECT_TRUE(admitted.contains(c)) << "character " << QString(c).toStdString();
        EXPECT_LE(key.size(), keyWidth);
        EXPECT_FALSE(keys.contains(key));
        keys.insert(key);
        const QString description = text(*t, r, 1);
        EXPECT_FALSE(description.trimmed().isEmpty());
        EXPECT_LE(description.size(), descriptionWidth);
    }
}

TEST(DeliveredCatalogues, ConsiderationsTextIsDeliveredAsReadableText) {
    QFile file(QDir(kCatalogues).filePath(QStringLiteral("CONSIDERA.TXT")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.errorString().toStdString();
    const QByteArray bytes = file.readAll();
    ASSERT_FALSE(bytes.trimmed().isEmpty());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString content = utf8.decode(bytes);
    EXPECT_FALSE(utf8.hasError());
    EXPECT_TRUE(content.contains(QStringLiteral("C:\\anexo.csv")));
    EXPECT_TRUE(content.contains(QStringLiteral("C:\\prod.csv")));
}

// ---- The generator -----------------------------------------------------------------------

struct GeneratorRun {
    int exitCode = -1;
    QString errors;
};

class Generator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        in_ = dir_.filePath(QStringLiteral("in"));
        out_ = dir_.filePath(QStringLiteral("out"));
        ASSERT_TRUE(QDir().mkpath(in_));
        QDirIterator it(QStringLiteral(KALTO_SOURCE_DIR) + QStringLiteral("/catalogues"), QDir::Files);
        while (it.hasNext()) {
            it.next();
            ASSERT_TRUE(QFile::copy(it.filePath(), QDir(in_).filePath(it.fileName())));
        }
    }

    GeneratorRun generate() {
        QProcess p;
        p.start(kCatalogues + QStringLiteral("/kalto_catalogos"), {in_, out_});
        EXPECT_TRUE(p.waitForFinished(60000)) << p.errorString().toStdString();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
    }

    void write(const QString& name, const QByteArray& content) {
        QFile f(QDir(in_).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(content), content.size());
    }

    QByteArray outputFile(const QString& name) const {
        QFile f(QDir(out_).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QStringList leftovers() const {
        return QDir(out_).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir_;
    QString in_, out_;
};

TEST_F(Generator, ReadsQuotedValuesAndEmptyNumbers) {
    write(QStringLiteral("activida.csv"),
          "CVE_ACTIV,DESCRIPCIO\r\n"
          "1,\"UNO, DOS\"\r\n"
          "2,\"DICE \"\"HOLA\"\"\"\r\n"
          "3,ÁÉÍÓÚ Ñ\r\n"
          "\r\n");
    write(QStringLiteral("imsector.csv"), "IDSECTOR,DESCRIP\n7,SIETE\n,SIN CLAVE");
    const GeneratorRun run = generate();
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();

    QString error;
    auto activida = DbfTable::open(QDir(out_).filePath(QStringLiteral("activida.DBF")), &error);
    ASSERT_TRUE(activida) << error.toStdString();
    ASSERT_EQ(activida->recordCount(), 3);
    EXPECT_EQ(text(*activida, 0, 1), QStringLiteral("UNO, DOS"));
    EXPECT_EQ(text(*activida, 1, 1), QStringLiteral("DICE \"HOLA\""));
    EXPECT_EQ(text(*activida, 2, 1), QStringLiteral("ÁÉÍÓÚ Ñ"));

    auto imsector = DbfTable::open(QDir(out_).filePath(QStringLiteral("imsector.DBF")), &error);
    ASSERT_TRUE(imsector) << error.toStdString();
    ASSERT_EQ(imsector->recordCount(), 2);
    EXPECT_EQ(imsector->value(0, 0).toLongLong(), 7);
    EXPECT_TRUE(imsector->value(1, 0).isNull());
    EXPECT_EQ(text(*imsector, 1, 1), QStringLiteral("SIN CLAVE"));

    // Every catalogue is written under the name the program gives it, and the text is copied as is.
    for (const auto& def : kalto::tableCatalogue()) {
        if (def.group != kalto::TableGroup::Catalogue) continue;
        EXPECT_TRUE(QFile::exists(QDir(out_).filePath(def.name + QStringLiteral(".DBF")))) << def.name.toStdString();
    }
    QFile source(QDir(in_).filePath(QStringLiteral("CONSIDERA.TXT")));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(outputFile(QStringLiteral("CONSIDERA.TXT")), source.readAll());
    EXPECT_TRUE(leftovers().isEmpty());
}

// A broken catalogue fails the build with the file and line named, and leaves the tables of
// the previous build exactly as they were.
TEST_F(Generator, RefusesBrokenCataloguesAndKeepsThePreviousTables) {
    ASSERT_EQ(generate().exitCode, 0);
    const QByteArray units = outputFile(QStringLiteral("imunidmd.DBF"));
    const QByteArray sectors = outputFile(QStringLiteral("imsector.DBF"));
    ASSERT_FALSE(units.isEmpty());

    struct Case {
        const char* file;
        QByteArray content;
        const char* where;  // file and line the message must name
    };
    const Case cases[] = {
        {"imunidmd.csv", "CVE_MED,UNIDAD\n1,KILOGRAMO\n", "imunidmd.csv:1"},
        {"imunidmd.csv", "U_MEDIDA,CVE_MED\nKILOGRAMO,1\n", "imunidmd.csv:1"},
        {"imsector.csv", "IDSECTOR,DESCRIP\n1,UNO\n2,DOS\nTRES,TRES\n", "imsector.csv:4"},
        {"imsector.csv", "IDSECTOR,DESCRIP\n1,UNO\n2\n", "imsector.csv:3"},
        {"imsector.csv", "IDSECTOR,DESCRIP\n1,\"SIN CERRAR\n", "imsector.csv:2"},
        {"imunidmd.csv", "CVE_MED,U_MEDIDA\n1,KILOGRAMO\n123456,DEMASIADO LARGO\n", "imunidmd.csv:3"},
        {"imsector.csv", "IDSECTOR,DESCRIP\n1234567,NO CABE\n", "imsector.csv:2"},
        {"imunidmd.csv", "CVE_MED,U_MEDIDA\n1,\xe2\x82\xac\xe2\x9c\x93\n", "imunidmd.csv:2"},  // ✓ is not Windows-1252
        {"tablas.csv", "A,B\n1,2\n", "tablas.csv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        const QString name = QString::fromLatin1(c.file);
        QByteArray original;
        {
            QFile f(QDir(in_).filePath(name));
            if (f.open(QIODevice::ReadOnly)) original = f.readAll();
        }
        write(name, c.content);
        const GeneratorRun run = generate();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.errors.contains(QString::fromLatin1(c.where))) << run.errors.toStdString();
        EXPECT_EQ(outputFile(QStringLiteral("imunidmd.DBF")), units);
        EXPECT_EQ(outputFile(QStringLiteral("imsector.DBF")), sectors);
        EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(' ')).toStdString();
        if (original.isEmpty())
            QFile::remove(QDir(in_).filePath(name));
        else
            write(name, original);
    }

    // A missing catalogue or considerations text is an error too.
    const QString csector = QDir(in_).filePath(QStringLiteral("csector.csv"));
    ASSERT_TRUE(QFile::rename(csector, csector + QStringLiteral(".aparte")));
    GeneratorRun run = generate();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("csector.csv"))) << run.errors.toStdString();
    ASSERT_TRUE(QFile::rename(csector + QStringLiteral(".aparte"), csector));
    ASSERT_TRUE(QFile::remove(QDir(in_).filePath(QStringLiteral("CONSIDERA.TXT"))));
    run = generate();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(QStringLiteral("CONSIDERA.TXT"))) << run.errors.toStdString();
    EXPECT_EQ(outputFile(QStringLiteral("imunidmd.DBF")), units);
}

}  // namespace

// The import of annexes (anexo.csv) and products (prod.csv) from drive C:, over a temporary
// data folder, with KALTO_UNIDAD_C leading to a temporary folder.

#include "annexes/AnnexFixture.h"
#include "annexes/Import.h"
#include "annexes/ImportText.h"
#include "core/Drives.h"
#include "data/Dbf.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>

using namespace kalto;
using namespace kalto::test;

namespace {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no se pudo leer>");
}

QByteArray source(const QString& relative) {
    return readBytes(QStringLiteral(KALTO_SOURCE_DIR "/tests/annexes/") + relative);
}

// A text as Windows-1252 bytes (how the error files are written).
QByteArray cp1252(const QString& text) {
    QByteArray out;
    EXPECT_TRUE(toCp1252(text, &out, nullptr));
    return out;
}

// The error file as text, for a readable failure.
std::string shown(const QByteArray& cp1252) { return QString::fromLatin1(cp1252).toStdString(); }

class Import : public AnnexFixture {
protected:
    void SetUp() override {
        AnnexFixture::SetUp();
        saved_ = qgetenv("KALTO_UNIDAD_C");
        hadUnidad_ = qEnvironmentVariableIsSet("KALTO_UNIDAD_C");
        qputenv("KALTO_UNIDAD_C", unidadC.path().toLocal8Bit());
    }
    void TearDown() override {
        if (hadUnidad_)
            qputenv("KALTO_UNIDAD_C", saved_);
        else
            qunsetenv("KALTO_UNIDAD_C");
    }

    QString onC(const QString& name) const { return QDir(unidadC.path()).filePath(name); }
    void put(const QString& name, const QByteArray& bytes) {
        QFile f(onC(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    ImportResult annexes(const ImportProgress& progress = {}) {
        return importAnnexes(db, Drives(folder.path()), progress);
    }
    ImportResult products(const ImportProgress& progress = {}) {
        return importProducts(db, Drives(folder.path()), progress);
    }
    QString annexRows() {
        return rows(QStringLiteral("select id_prod, tipo_reg, descrip, fraccion, id_subord from imanexos"));
    }
    QString productRows() {
        return rows(QStringLiteral("select id_prod, fraccion, descprod, volumen, porcut, umid, um from improd"));
    }

    QTemporaryDir unidadC;

private:
    QByteArray saved_;
    bool hadUnidad_ = false;
};

}  // namespace

TEST_F(Import, AnnexFileOfGoodLinesAndALeftoverErrorFile) {
    put(QStringLiteral("anexo.csv"), cp1252(QStringLiteral("E,84713001\r\nI,39269099\r\nI,40169999\r\nC,Caja de cartón\r\n")));
    put(QStringLiteral("eanexo.csv"), "Renglon 9. de una importación anterior\r\n");
    const ImportResult r = annexes();

    EXPECT_EQ(r.status, ImportResult::Status::Completed);
    EXPECT_EQ(annexRows(), QStringLiteral("1|1|~|84713001|0;2|1|~|39269099|1;3|1|~|40169999|1;4|2|Caja de cartón|~|0"));
    EXPECT_EQ(readBytes(onC(QStringLiteral("eanexo.csv"))), QByteArray());  // made anew, empty
    EXPECT_TRUE(r.changed());
    EXPECT_FALSE(r.warns());
    EXPECT_EQ(r.summary(), QStringLiteral("Importación de anexos terminada. Renglones cargados: 4. Renglones rechazados: 0."));

    // The rows are in the file: a new opening of the folder reads them.
    Database again;
    ASSERT_TRUE(folder.open(again));
    EXPECT_EQ(again.scalar(QStringLiteral("select count(*) from imanexos")).toInt(), 4);
}

TEST_F(Import, AnnexChecksInTheirOrderWithTheParentState) {
    put(QStringLiteral("anexo.csv"), source(QStringLiteral("data/anexo_errores.csv")));
    const ImportResult r = annexes();

    EXPECT_EQ(r.status, ImportResult::Status::Completed);
    EXPECT_EQ(r.total, 19);
    EXPECT_EQ(r.loaded, 6);
    EXPECT_EQ(r.refused, 12);
    EXPECT_EQ(r.blank, 1);
    // Identifiers are the line numbers on an empty table; a quote is stored as typed, a
    // spreadsheet's quoted field is read as the spreadsheet wrote it.
    EXPECT_EQ(annexRows(), QStringLiteral("6|1|~|84713001|0;9|1|~|39269099|6;13|2|Caja de cartón d'O'Hara|~|0;"
                                          "15|3|Llave de 3/4\", acero|~|0;18|1|~|72000000|0;19|1|~|61091001|18"));
    const QByteArray written = readBytes(onC(QStringLiteral("eanexo.csv")));
    const QByteArray golden = source(QStringLiteral("golden/eanexo_errores.csv"));
    EXPECT_EQ(written, golden) << shown(written);

    EXPECT_TRUE(r.warns());
    const QString path = QDir::toNativeSeparators(onC(QStringLiteral("eanexo.csv")));
    EXPECT_EQ(r.summary(), QStringLiteral("Importación de anexos terminada. Renglones cargados: 6. Renglones rechazados: "
                                          "12; cada uno está anotado con el motivo en el archivo de errores %1. "
                                          "Renglones en blanco omitidos: 1.")
                               .arg(path));
}

// What a description is stored as is what the file held: a NUL (how a table pads its texts)
// or another control character refuses the line, and blanks inside a spreadsheet's quotes are
// dropped like those outside, so that quoted blanks are no description.
TEST_F(Import, DescriptionsAreStoredAsRead) {
    static const char file[] = "C,Caja\0\r\nH,Torno\x01 grande\r\nC,\"   \"\r\nC,\"Caja, roja  \"\r\nH,Prensa\tde banco\r\n";
    put(QStringLiteral("anexo.csv"), QByteArray(file, sizeof file - 1));
    const ImportResult r = annexes();

    EXPECT_EQ(r.loaded, 2);
    EXPECT_EQ(r.refused, 3);
    EXPECT_EQ(annexRows(), QStringLiteral("4|2|Caja, roja|~|0;5|3|Prensa\tde banco|~|0"));
    const QByteArray written = readBytes(onC(QStringLiteral("eanexo.csv")));
    EXPECT_EQ(written,
              cp1252(QStringLiteral("Renglon 1. Caja") + QChar(0) +
                     QStringLiteral(" La descripción contiene el carácter de control U+0000, que no se puede guardar en "
                                    "las tablas.\r\nRenglon 2. Torno\x01 grande La descripción contiene el carácter de "
                                    "control U+0001, que no se puede guardar en las tablas.\r\nRenglon 3. ") +
                     importmsg::kSinDescripcion + QStringLiteral("\r\n")))
        << shown(written);
}

TEST_F(Import, AnnexIdentifiersFollowWhatTheTableHolds) {
    // Three export products typed before (identifiers 1 to 3).
    for (int id = 1; id <= 3; ++id)
        exec(QStringLiteral("insert into imanexos values (%1,1,'null ','8471300%1',0)").arg(id));
    put(QStringLiteral("anexo.csv"), "E,11111111\nI,22222222\nC,Caja\n");

    ASSERT_EQ(annexes().loaded, 3);
    ASSERT_EQ(annexes().loaded, 3);  // the same file again
    EXPECT_EQ(rows(QStringLiteral("select id_prod, fraccion, descrip, id_subord from imanexos where id_prod > 3")),
              QStringLiteral("4|11111111|~|0;5|22222222|~|4;6|~|Caja|0;7|11111111|~|0;8|22222222|~|7;9|~|Caja|0"));
    // Every identifier once; the typed products keep their inputs-free rows.
    EXPECT_EQ(count(QStringLiteral("select count(distinct id_prod) from imanexos")), 9);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos where id_subord in (1,2,3)")), 0);
}

TEST_F(Import, IdentifiersPastTheLimitAreRefusedNeverWrapped) {
    exec(QStringLiteral("insert into imanexos values (32765,3,'Torno','',0)"));
    put(QStringLiteral("anexo.csv"), "E,11111111\nI,22222222\nI,33333333\nC,Caja\n");
    const ImportResult r = annexes();
    EXPECT_EQ(r.loaded, 2);
    EXPECT_EQ(rows(QStringLiteral("select id_prod, id_subord from imanexos where id_prod > 32765")),
              QStringLiteral("32766|0;32767|32766"));
    EXPECT_EQ(count(QStringLiteral("select min(id_prod) from imanexos")), 32765);
    EXPECT_EQ(readBytes(onC(QStringLiteral("eanexo.csv"))),
              cp1252(QStringLiteral("Renglon 3. 33333333 Renglón no registrado: su identificador en los anexos sería "
                                    "32768 y el máximo es 32767.\r\n"
                                    "Renglon 4. Caja Renglón no registrado: su identificador en los anexos sería 32769 "
                                    "y el máximo es 32767.\r\n")));

    // Products take the next identifiers of imanexos the same way.
    exec(QStringLiteral("delete from imanexos where id_prod = 32767"));
    put(QStringLiteral("prod.csv"), "84713001,1,10,10\n84713002,1,10,10\n");
    EXPECT_EQ(products().loaded, 1);
    EXPECT_EQ(rows(QStringLiteral("select id_prod, fraccion from improd")), QStringLiteral("32767|84713001"));
    EXPECT_EQ(readBytes(onC(QStringLiteral("eprod.csv"))),
              cp1252(QStringLiteral("Renglon 2. 84713002 Renglón no registrado: su identificador en los anexos sería "
                                    "32768 y el máximo es 32767.\r\n")));
}

TEST_F(Import, InputEncodingsAndLineEndings) {
    const QString text = QStringLiteral("E,84713001|I,39269099|C,Caja de cartón|H,Máquina de coser");
    const QString expected = QStringLiteral("1|1|~|84713001|0;2|1|~|39269099|1;3|2|Caja de cartón|~|0;"
                                            "4|3|Máquina de coser|~|0");
    const QByteArray windows = cp1252(text);
    QByteArray utf16("\xFF\xFE");
    const QString crlf = QString(text).replace(QLatin1Char('|'), QStringLiteral("\r\n"));
    utf16.append(reinterpret_cast<const char*>(crlf.utf16()), crlf.size() * 2);
    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"UTF-8 con BOM y CRLF", "\xEF\xBB\xBF" + text.toUtf8().replace('|', "\r\n") + "\r\n"},
        {"UTF-8 sin BOM y LF", text.toUtf8().replace('|', "\n")},
        {"UTF-8 con acentos aparte", QString(text).replace(QStringLiteral("ó"), QStringLiteral("o\u0301")).toUtf8().replace('|', "\n")},
        {"Windows-1252 y CRLF", QByteArray(windows).replace('|', "\r\n") + "\r\n"},
        {"Windows-1252 y CR", QByteArray(windows).replace('|', "\r") + "\r"},
        {"UTF-16 con BOM", utf16},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        exec(QStringLiteral("delete from imanexos"));
        put(QStringLiteral("anexo.csv"), f.bytes);
        EXPECT_EQ(annexes().refused, 0);
        EXPECT_EQ(annexRows(), expected);
    }

    // A character Windows-1252 cannot hold is refused and named; the error file is
    // Windows-1252 with CRLF.
    exec(QStringLiteral("delete from imanexos"));
    put(QStringLiteral("anexo.csv"), QStringLiteral("C,Cartón ✓\nH,Taladro\n").toUtf8());
    EXPECT_EQ(annexes().loaded, 1);
    EXPECT_EQ(readBytes(onC(QStringLiteral("eanexo.csv"))),
              cp1252(QStringLiteral("Renglon 1. Cartón ? El carácter U+2713 no se puede guardar en las tablas (no "
                                    "existe en Windows-1252).\r\n")));
}

TEST_F(Import, ProductChecksInTheirOrder) {
    put(QStringLiteral("prod.csv"), source(QStringLiteral("data/prod_errores.csv")));
    const ImportResult r = products();

    EXPECT_EQ(r.loaded, 4);
    EXPECT_EQ(r.refused, 15);
    EXPECT_EQ(r.blank, 1);
    EXPECT_EQ(productRows(), QStringLiteral("1|84713001|~|1000|50|1|KILOGRAMO;2|84713001|~|99999999|100|5|METRO CÚBICO;"
                                            "3|61091001|~|2.5|12.5|6|PIEZA;4|84713001|~|1000|50|1|KILOGRAMO"));
    // Each product has its own export-product row in the annexes, as a typed one.
    EXPECT_EQ(annexRows(), QStringLiteral("1|1|null|84713001|0;2|1|null|84713001|0;3|1|null|61091001|0;"
                                          "4|1|null|84713001|0"));
    const QByteArray written = readBytes(onC(QStringLiteral("eprod.csv")));
    EXPECT_EQ(written, source(QStringLiteral("golden/eprod_errores.csv"))) << shown(written);
    EXPECT_EQ(r.summary().left(58), QStringLiteral("Importación de productos terminada. Renglones cargados: 4."));
}

// A negative capacity is refused by its own check, whatever its size, rather than accepted
// when small or left to the table to refuse when it does not fit.
TEST_F(Import, NegativeCapacitiesAreRefused) {
    put(QStringLiteral("prod.csv"), "84713001,1,-5,50\r\n84713004,1,-547130073007,1\r\n84713002,1,0,0\r\n");
    const ImportResult r = products();

    EXPECT_EQ(r.loaded, 1);
    EXPECT_EQ(productRows(), QStringLiteral("1|84713002|~|0|0|1|KILOGRAMO"));
    const QByteArray written = readBytes(onC(QStringLiteral("eprod.csv")));
    EXPECT_EQ(written, cp1252(QStringLiteral("Renglon 1. -5") + importmsg::kCapacidadNegativo +
                              QStringLiteral("\r\nRenglon 2. -547130073007") + importmsg::kCapacidadNegativo +
                              QStringLiteral("\r\n")))
        << shown(written);
}

TEST_F(Import, ProductsLinkToTheirOwnAnnexRows) {
    // An annex file imported first holds identifiers 1 to 3; products come after them.
    put(QStringLiteral("anexo.csv"), "E,11111111\nI,22222222\nH,Torno\n");
    ASSERT_EQ(annexes().loaded, 3);
    put(QStringLiteral("prod.csv"), "84713001,1,1000,50\n");
    ASSERT_EQ(products().loaded, 1);
    ASSERT_EQ(products().loaded, 1);
    EXPECT_EQ(rows(QStringLiteral("select p.id_prod, a.fraccion, a.tipo_reg, a.id_subord from improd p join imanexos a "
                                  "on a.id_prod = p.id_prod")),
              QStringLiteral("4|84713001|1|0;5|84713001|1|0"));
    EXPECT_EQ(scalar(QStringLiteral("select fraccion from imanexos where id_prod = 1")).toString(),
              QStringLiteral("11111111"));
}

TEST_F(Import, MissingFilesAndUnwritableDriveStoreNothing) {
    exec(QStringLiteral("insert into imanexos values (1,1,'null ','84713001',0)"));
    const QString before = annexRows();

    // No input file: nothing happens, the last error file stays.
    put(QStringLiteral("eanexo.csv"), "anterior\r\n");
    ImportResult r = annexes();
    EXPECT_EQ(r.status, ImportResult::Status::NotRun);
    EXPECT_EQ(r.summary(), QStringLiteral("No se encontró el archivo %1. No se importó ningún renglón.")
                               .arg(QDir::toNativeSeparators(onC(QStringLiteral("anexo.csv")))));
    EXPECT_EQ(readBytes(onC(QStringLiteral("eanexo.csv"))), QByteArray("anterior\r\n"));
    EXPECT_FALSE(r.changed());

    // The error file cannot be made (a folder stands in its place): nothing is stored.
    put(QStringLiteral("prod.csv"), "84713001,1,1000,50\n");
    ASSERT_TRUE(QDir(unidadC.path()).mkdir(QStringLiteral("eprod.csv")));
    r = products();
    EXPECT_EQ(r.status, ImportResult::Status::NotRun);
    EXPECT_TRUE(r.summary().startsWith(QStringLiteral("No se pudo crear el archivo de errores %1: ")
                                           .arg(QDir::toNativeSeparators(onC(QStringLiteral("eprod.csv"))))))
        << r.summary().toStdString();
    EXPECT_TRUE(r.summary().endsWith(QStringLiteral("No se importó ningún renglón.")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from improd")), 0);
    EXPECT_EQ(annexRows(), before);

    // Drive C: leads nowhere.
    qputenv("KALTO_UNIDAD_C", QDir(unidadC.path()).filePath(QStringLiteral("no-existe")).toLocal8Bit());
    r = annexes();
    EXPECT_EQ(r.status, ImportResult::Status::NotRun);
    EXPECT_TRUE(r.summary().startsWith(QStringLiteral("No se encuentra la unidad C:"))) << r.summary().toStdString();
    EXPECT_EQ(annexRows(), before);
}

TEST_F(Import, FileNamesInAnyLetterCase) {
    put(QStringLiteral("ANEXO.CSV"), "E,84713001\nX,1\n");
    put(QStringLiteral("EAnexo.csv"), "anterior\r\n");
    const ImportResult r = annexes();
    EXPECT_EQ(r.loaded, 1);
    EXPECT_EQ(r.errorPath, onC(QStringLiteral("EAnexo.csv")));
    EXPECT_FALSE(QFileInfo::exists(onC(QStringLiteral("eanexo.csv"))));
    EXPECT_TRUE(readBytes(r.errorPath).startsWith("Renglon 2. X Letra no reconocida"));
}

TEST_F(Import, ProgressAndCancel) {
    // 1,000 lines: an export product, then a refused line, and so on.
    QByteArray file;
    for (int i = 1; i <= 1000; ++i) file += i % 2 ? "E,84713001\n" : "E,1\n";
    put(QStringLiteral("anexo.csv"), file);
    QList<std::pair<int, int>> calls;
    const ImportResult r = annexes([&](int read, int total) {
        calls.append({read, total});
        return read < 300;
    });

    EXPECT_EQ(r.status, ImportResult::Status::Cancelled);
    EXPECT_EQ(calls, (QList<std::pair<int, int>>{{0, 1000}, {100, 1000}, {200, 1000}, {300, 1000}}));
    EXPECT_EQ(r.read, 300);
    EXPECT_EQ(r.loaded, 150);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 150);  // what was stored stays
    EXPECT_EQ(count(QStringLiteral("select max(id_prod) from imanexos")), 299);
    const QList<QByteArray> logged = readBytes(onC(QStringLiteral("eanexo.csv"))).split('\n');
    EXPECT_EQ(logged.size(), 151);  // 150 lines and the end
    EXPECT_TRUE(logged.at(149).startsWith("Renglon 300. 1 "));
    EXPECT_TRUE(r.warns());
    EXPECT_TRUE(r.summary().startsWith(QStringLiteral("Importación de anexos cancelada después del renglón 300 de 1000; "
                                                      "los renglones siguientes no se leyeron. Renglones cargados: 150 "
                                                      "(se conservan). Renglones rechazados: 150;")))
        << r.summary().toStdString();
}

// Only a regular file is read: anything else is refused by its name before it is opened, the
// tables and the last error file as they were.
TEST_F(Import, OnlyRegularFilesAreRead) {
    const QString input = onC(QStringLiteral("anexo.csv"));
    const QByteArray encoded = QFile::encodeName(input);
    put(QStringLiteral("eanexo.csv"), "anterior\r\n");
    const struct {
        std::function<bool()> make;
        const char* message;
    } cases[] = {
        {[&] { return QFile::link(QStringLiteral("/dev/null"), input); },
         "%1 es un enlace a /dev/null, que es un dispositivo, no un archivo."},
        {[&] { return QFile::link(QStringLiteral("/dev/zero"), input); },
         "%1 es un enlace a /dev/zero, que es un dispositivo, no un archivo."},
        {[&] { return ::mkfifo(encoded.constData(), 0600) == 0; }, "%1 es una tubería con nombre (FIFO), no un archivo."},
        {[&] { return QDir().mkdir(input); }, "%1 es una carpeta, no un archivo."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        QFile::remove(input);
        QDir().rmdir(input);
        ASSERT_TRUE(c.make());
        const ImportResult r = annexes();
        ASSERT_EQ(r.status, ImportResult::Status::NotRun);
        EXPECT_EQ(r.summary(), QString::fromUtf8(c.message).arg(QDir::toNativeSeparators(input)) +
                                   QStringLiteral(" No se importó ningún renglón."));
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 0);
    EXPECT_EQ(readBytes(onC(QStringLiteral("eanexo.csv"))), QByteArray("anterior\r\n"));
}

// The progress is told while the file is first read through (a cancel then stores nothing)
// and while a long line is read. A line longer than what is read of one is refused.
TEST_F(Import, CancelWhileTheFileIsRead) {
    put(QStringLiteral("eanexo.csv"), "anterior\r\n");
    put(QStringLiteral("anexo.csv"), QByteArray("E,84713001\n").repeated(60000));  // three pieces
    QList<std::pair<int, int>> calls;
    auto cancelAt = [&](int call) {
        calls.clear();
        return [&calls, call](int read, int total) {
            calls.append({read, total});
            return calls.size() < call;
        };
    };
    ImportResult r = annexes(cancelAt(1));
    EXPECT_EQ(r.status, ImportResult::Status::NotRun);
    EXPECT_EQ(calls, (QList<std::pair<int, int>>{{0, 262144 / 11}}));  // the lines of the first piece
    EXPECT_EQ(r.summary(), QStringLiteral("Importación de anexos cancelada. No se importó ningún renglón."));
    EXPECT_EQ(readBytes(onC(QStringLiteral("eanexo.csv"))), QByteArray("anterior\r\n"));

    put(QStringLiteral("anexo.csv"), "E,84713001" + QByteArray(600000, ' ') + "x\nI,39269099\n");
    r = annexes(cancelAt(4));
    EXPECT_EQ(calls, (QList<std::pair<int, int>>{{0, 0}, {0, 0}, {0, 2}, {0, 2}}));
    EXPECT_EQ(r.status, ImportResult::Status::Cancelled);
    EXPECT_EQ(r.read, 0);

    r = annexes();
    EXPECT_EQ(r.refused, 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 0);
    EXPECT_EQ(readBytes(onC(QStringLiteral("eanexo.csv"))),
              cp1252(QStringLiteral("Renglon 1. 84713001") + importmsg::kRenglonLargo + QStringLiteral("\r\nRenglon 2. 39269099") +
                     importmsg::kImportacionPadreConProblema + QStringLiteral("\r\n")));
}

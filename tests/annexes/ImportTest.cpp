// The imports of annexes (anexo.csv) and products (prod.csv) from drive C:. Most cases are
// folders under import/ (those named prod-* import products, the others annexes): the files
// drive C: holds, the statements run before (antes.sql), and resultado.txt, what the import
// leaves: its summary, the files on C:, the rows of imanexos and improd, and the error file.

#include "annexes/AnnexFixture.h"
#include "annexes/Import.h"
#include "core/Drives.h"
#include "data/Dbf.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>

using namespace kalto;
using namespace kalto::test;

namespace {

class Import : public AnnexFixture {
protected:
    // A new drive C:, empty.
    void newDrive() {
        unidadC = std::make_unique<QTemporaryDir>();
        qputenv("KALTO_UNIDAD_C", unidadC->path().toLocal8Bit());
    }
    void SetUp() override {
        AnnexFixture::SetUp();
        newDrive();
    }
    void TearDown() override { qunsetenv("KALTO_UNIDAD_C"); }

    QString onC(const QString& name) const { return QDir(unidadC->path()).filePath(name); }
    void put(const QString& name, const QByteArray& bytes) { ASSERT_TRUE(writeFile(onC(name), bytes)); }
    ImportResult annexes(const ImportProgress& progress = {}) {
        return importAnnexes(db, Drives(folder.path()), progress);
    }
    // What an import left, as resultado.txt says it.
    QString outcome(const ImportResult& r) {
        const QByteArray errors = readFile(r.errorPath);
        EXPECT_EQ(errors.count("\r\n"), errors.count('\n'));  // every line ended by CRLF
        return r.summary().replace(QDir::toNativeSeparators(unidadC->path()), QStringLiteral("C:")) +
               QStringLiteral("\n-- C: ") + QDir(unidadC->path()).entryList(QDir::Files).join(QLatin1Char(' ')) +
               QStringLiteral("\n-- imanexos\n") +
               rows(QStringLiteral("select id_prod, tipo_reg, descrip, fraccion, id_subord from imanexos"),
                    QStringLiteral("\n")) +
               QStringLiteral("\n-- improd\n") +
               rows(QStringLiteral("select id_prod, fraccion, descprod, volumen, porcut, umid, um from improd"),
                    QStringLiteral("\n")) +
               QStringLiteral("\n-- ") + QFileInfo(r.errorPath).fileName() + QLatin1Char('\n') +
               fromCp1252(errors.constData(), int(errors.size())).remove(QLatin1Char('\r'));
    }

    // Runs the cases whose folder names begin with `prefix`.
    void cases(const QString& prefix) {
        const QDir cases(QStringLiteral(KALTO_SOURCE_DIR "/tests/annexes/import"));
        const QStringList names = cases.entryList({prefix + QLatin1Char('*')}, QDir::Dirs);
        ASSERT_GE(names.size(), 4);
        for (const QString& name : names) {
            SCOPED_TRACE(name.toStdString());
            newDrive();
            exec(QStringLiteral("delete from imanexos"));
            exec(QStringLiteral("delete from improd"));
            const QDir dir(cases.filePath(name));
            for (const QString& f : dir.entryList(QDir::Files)) {
                if (f == QLatin1String("antes.sql")) {
                    for (const QByteArray& sql : readFile(dir.filePath(f)).trimmed().split('\n'))
                        exec(QString::fromUtf8(sql));
                } else if (f != QLatin1String("resultado.txt")) {
                    ASSERT_TRUE(QFile::copy(dir.filePath(f), onC(f)));
                }
            }
            const ImportResult r =
                prefix == QLatin1String("prod") ? importProducts(db, Drives(folder.path())) : annexes();
            const QString got = outcome(r);
            if (qEnvironmentVariableIsSet("KALTO_ESCRIBE_RESULTADOS")) {
                QFile out(dir.filePath(QStringLiteral("resultado.txt")));
                ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(got.toUtf8()) > 0);
            }
            EXPECT_EQ(got, QString::fromUtf8(readFile(dir.filePath(QStringLiteral("resultado.txt")))));
        }
        // What the last import stored is in the files: a new opening of the folder reads it.
        Database again;
        ASSERT_TRUE(folder.open(again));
        EXPECT_EQ(again.scalar(QStringLiteral("select count(*) from imanexos")).toInt(),
                  count(QStringLiteral("select count(*) from imanexos")));
    }

    std::unique_ptr<QTemporaryDir> unidadC;
};

}  // namespace

TEST_F(Import, AnnexCases) {
    cases(QStringLiteral("anexo"));
}
TEST_F(Import, TextCases) {
    cases(QStringLiteral("texto"));
}
TEST_F(Import, ProductCases) {
    cases(QStringLiteral("prod"));
}

// Only a regular file is read: anything else is refused by its name before it is opened, the
// tables and the last error file as they were. Neither does an error file that cannot be
// made nor a drive C: that leads nowhere let anything be stored.
TEST_F(Import, WhatCannotBeReadOrWrittenStoresNothing) {
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
        {[&] { return ::mkfifo(encoded.constData(), 0600) == 0; },
         "%1 es una tubería con nombre (FIFO), no un archivo."},
        {[&] { return QDir().mkdir(input); }, "%1 es una carpeta, no un archivo."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        QFile::remove(input);
        ASSERT_TRUE(c.make());
        const ImportResult r = annexes();
        ASSERT_EQ(r.status, ImportResult::Status::NotRun);
        EXPECT_EQ(r.summary(), QString::fromUtf8(c.message).arg(QDir::toNativeSeparators(input)) +
                                   QStringLiteral(" No se importó ningún renglón."));
    }
    EXPECT_EQ(readFile(onC(QStringLiteral("eanexo.csv"))), QByteArray("anterior\r\n"));
    ASSERT_TRUE(QDir().rmdir(input) && QFile::remove(onC(QStringLiteral("eanexo.csv"))));
    ASSERT_TRUE(QDir().mkdir(onC(QStringLiteral("eanexo.csv"))));
    put(QStringLiteral("anexo.csv"), "E,84713001\n");
    EXPECT_EQ(annexes().summary(),
              QStringLiteral("No se pudo crear el archivo de errores %1: en el disco hay una carpeta "
                             "con ese nombre. No se importó ningún renglón.")
                  .arg(QDir::toNativeSeparators(onC(QStringLiteral("eanexo.csv")))));
    qputenv("KALTO_UNIDAD_C", onC(QStringLiteral("no-existe")).toLocal8Bit());
    EXPECT_TRUE(annexes().summary().startsWith(QStringLiteral("No se encuentra la unidad C:")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 0);
}

// The progress is told every hundred lines (a cancel keeps what was stored), while the file is
// first read through (a cancel then stores nothing) and while a long line is read. A line
// longer than what is read of one is refused.
TEST_F(Import, ProgressAndCancel) {
    QList<std::pair<int, int>> calls;
    auto cancelAt = [&](int call) {
        calls.clear();
        return [&calls, call](int read, int total) { return calls.append({read, total}), calls.size() < call; };
    };
    QByteArray lines;
    for (int i = 1; i <= 1000; ++i) lines += i % 2 ? "E,84713001\n" : "E,1\n";
    put(QStringLiteral("anexo.csv"), lines);
    ImportResult r = annexes(cancelAt(4));
    EXPECT_EQ(calls, (QList<std::pair<int, int>>{{0, 1000}, {100, 1000}, {200, 1000}, {300, 1000}}));
    EXPECT_EQ(rows(QStringLiteral("select count(*), max(id_prod) from imanexos")), QStringLiteral("150|299"));
    EXPECT_EQ(readFile(onC(QStringLiteral("eanexo.csv"))).count('\n'), 150);
    EXPECT_TRUE(
        r.summary().startsWith(QStringLiteral("Importación de anexos cancelada después del renglón 300 de 1000; los "
                                              "renglones siguientes no se leyeron. Renglones cargados: 150 (se "
                                              "conservan). Renglones rechazados: 150;")))
        << r.summary().toStdString();

    exec(QStringLiteral("delete from imanexos"));
    put(QStringLiteral("anexo.csv"), QByteArray("E,84713001\n").repeated(60000));  // three pieces
    r = annexes(cancelAt(1));
    EXPECT_EQ(calls, (QList<std::pair<int, int>>{{0, 262144 / 11}}));  // the lines of the first piece
    EXPECT_EQ(r.summary(), QStringLiteral("Importación de anexos cancelada. No se importó ningún renglón."));
    EXPECT_EQ(readFile(onC(QStringLiteral("eanexo.csv"))).count('\n'), 150);  // the last error file stays

    put(QStringLiteral("anexo.csv"), "E,84713001" + QByteArray(600000, ' ') + "x\nI,39269099\n");
    r = annexes(cancelAt(4));
    EXPECT_EQ(calls, (QList<std::pair<int, int>>{{0, 0}, {0, 0}, {0, 2}, {0, 2}}));
    EXPECT_EQ(r.status, ImportResult::Status::Cancelled);
    r = annexes();
    EXPECT_EQ(count(QStringLiteral("select count(*) from imanexos")), 0);
    EXPECT_EQ(readFile(onC(QStringLiteral("eanexo.csv"))),
              "Renglon 1. 84713001 Rengl\xF3n de m\xE1s de 100000 caracteres, no se acepta.\r\nRenglon 2. 39269099 "
              "Fracci\xF3n de importaci\xF3n que depende de una fracci\xF3n de exportaci\xF3n con problematica.\r\n");
}

// The BRELOT generation over a temporary data folder: the question, datoprov and catdirpl
// read back by position (by the program and by an independent reader), the six files on
// drive A:, and failures that are told instead of the closing message.

#include "sectoral/GuardaBrelot.h"

#include "core/Drives.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

using namespace kalto;

namespace {

const QString kQuestion = QStringLiteral("Se generará la información del prgrama BRELOT. Esta usted de acuerdo.");
const QString kDone = QStringLiteral("Puede retirar el disco de la unidad A:");

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

AddressValues address(const QString& prefix, const QVariant& cp) {
    return {prefix + QStringLiteral(" CALLE"), cp,
            prefix + QStringLiteral(" CIUDAD"), prefix + QStringLiteral(" COLONIA"),
            prefix + QStringLiteral(" TEL"), prefix.toLower() + QStringLiteral("@correo.mx"),
            prefix + QStringLiteral(" ESTADO"), prefix + QStringLiteral(" MUNICIPIO"),
            prefix + QStringLiteral(" FAX")};
}

ApplicantData fullApplicant() {
    ApplicantData a;
    a.rfc = QStringLiteral(" PEÑ010101XY1");
    a.razonSocial = QStringLiteral("PEÑA Y O'HARA SA");
    a.sectorCodigo = 7;
    a.sectorTexto = QStringLiteral("INDUSTRIA TEXTIL");
    a.domicilioFiscal = address(QStringLiteral("F"), QStringLiteral("06700"));
    a.representante = {QStringLiteral("JOSÉ"),     QStringLiteral("MUÑOZ"),    QStringLiteral("RUIZ"),
                       QStringLiteral("5512345678"), QStringLiteral("DIRECTOR"), QStringLiteral("jose@peña.mx")};
    a.plantas = {address(QStringLiteral("P1"), QStringLiteral("06700")), address(QStringLiteral("P2"), QVariant()),
                 address(QStringLiteral("P3"), QStringLiteral("99999"))};
    return a;
}

class Waiting : public WaitIndicator {
public:
    explicit Waiting(RecordingMessages& m) : messages(m) {}
    void show() override { log << QStringLiteral("mostrada tras %1 mensajes").arg(messages.entries.size()); }
    void close() override { log << QStringLiteral("cerrada tras %1 mensajes").arg(messages.entries.size()); }
    RecordingMessages& messages;
    QStringList log;
};

class GuardaBrelotTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(disk.isValid());
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        settings.unidadA = disk.path();
    }
    Drives drives() const { return Drives(folder.path(), settings); }
    QStringList onDisk() const { return QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    // The live rows of a table file as the codec reads it afresh: the data folder's table,
    // or the file of that name on the disk.
    QList<QVariantList> rows(const QString& table, bool onTheDisk = false) {
        const QString path = onTheDisk ? QDir(disk.path()).filePath(table + QStringLiteral(".dbf")) : db.tablePath(table);
        std::unique_ptr<DbfTable> t = DbfTable::open(path, &error, DbfAccess::ReadOnly);
        QList<QVariantList> out;
        if (!t) {
            ADD_FAILURE() << error.toStdString();
            return out;
        }
        for (int i = 0; i < t->recordCount(); ++i)
            if (!t->isDeleted(i)) out << t->record(i);
        return out;
    }

    test::TestFolder folder;
    Database db;
    QTemporaryDir disk;
    DriveSettings settings;
    RecordingMessages messages;
    QString error;
};

}  // namespace

TEST_F(GuardaBrelotTest, NoChangesNothing) {
    const QByteArray datoprov = bytes(db.tablePath(QStringLiteral("datoprov")));
    const QByteArray catdirpl = bytes(db.tablePath(QStringLiteral("catdirpl")));
    messages.answers = {false};
    Waiting wait(messages);
    EXPECT_EQ(GuardaBrelot(db, messages, drives(), fullApplicant(), &wait), BrelotOutcome::Declined);
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Question);
    EXPECT_EQ(messages.entries[0].text, kQuestion);
    EXPECT_EQ(messages.entries[0].title, QStringLiteral("KALTO"));
    EXPECT_TRUE(wait.log.isEmpty());
    EXPECT_EQ(bytes(db.tablePath(QStringLiteral("datoprov"))), datoprov);
    EXPECT_EQ(bytes(db.tablePath(QStringLiteral("catdirpl"))), catdirpl);
    EXPECT_TRUE(onDisk().isEmpty());
}

TEST_F(GuardaBrelotTest, WritesTheTablesByPositionAndCopiesTheSixFiles) {
    // A sector row deleted in the window: the disk gets the table without it.
    ASSERT_TRUE(db.execute(QStringLiteral("insert into sector (idsector, cve_sector) values (1, '1'), (1, '2')"), {}, &error));
    ASSERT_TRUE(db.execute(QStringLiteral("delete from sector where cve_sector = '1'"), {}, &error));
    ASSERT_TRUE(db.execute(QStringLiteral("insert into mercbi (idsector, fraccion) values ('2', '12345678')"), {}, &error));

    messages.answers = {true};
    Waiting wait(messages);
    ASSERT_EQ(GuardaBrelot(db, messages, drives(), fullApplicant(), &wait), BrelotOutcome::Written) << messages.texts().join(u'\n').toStdString();
    ASSERT_EQ(messages.entries.size(), 2);
    EXPECT_EQ(messages.entries[1].kind, RecordingMessages::Kind::Plain);
    EXPECT_EQ(messages.entries[1].text, kDone);
    EXPECT_EQ(messages.entries[1].title, QStringLiteral("Disco grabado."));
    // The wait window is up while the files are written and gone before the closing message.
    EXPECT_EQ(wait.log, (QStringList{QStringLiteral("mostrada tras 1 mensajes"), QStringLiteral("cerrada tras 1 mensajes")}));

    // datoprov: every position, nulls included.
    const QList<QVariantList> dato = rows(QStringLiteral("datoprov"));
    ASSERT_EQ(dato.size(), 1);
    const QVariantList& d = dato[0];
    ASSERT_EQ(d.size(), 30);
    const QVariantList expected = {
        QStringLiteral(" PEÑ010101XY1"), {}, {}, QStringLiteral("PEÑA Y O'HARA SA"), {}, {},
        QStringLiteral("F CALLE"), qint64(6700), QStringLiteral("F CIUDAD"), QStringLiteral("F COLONIA"),
        QStringLiteral("F MUNICIPIO"), QStringLiteral("MUÑOZ"), QStringLiteral("RUIZ"), QStringLiteral("JOSÉ"),
        QStringLiteral("5512345678"), qint64(1), {}, QStringLiteral("F FAX"), {}, QStringLiteral("f@correo.mx"),
        {}, qint64(1), qint64(7), QStringLiteral("jose@peña.mx"), {}, {},
        QStringLiteral("5512345678"), QStringLiteral("DIRECTOR"), {}, QStringLiteral("F ESTADO")};
    for (int i = 0; i < 30; ++i) EXPECT_EQ(d[i], expected[i]) << "posición " << i;

    // catdirpl: one row per plant in grid order, the postal code as the text typed.
    const QList<QVariantList> plants = rows(QStringLiteral("catdirpl"));
    ASSERT_EQ(plants.size(), 3);
    EXPECT_EQ(plants[0], (QVariantList{QStringLiteral("P1 CALLE"), QStringLiteral("06700"), QStringLiteral("P1 COLONIA"),
                                       QStringLiteral("P1 ESTADO"), QStringLiteral("P1 MUNICIPIO"),
                                       QStringLiteral("P1 CIUDAD"), QStringLiteral("P1 TEL"), QStringLiteral("P1 FAX")}));
    EXPECT_EQ(plants[1][0], QVariant(QStringLiteral("P2 CALLE")));
    EXPECT_TRUE(plants[1][1].isNull());
    EXPECT_EQ(plants[2][1], QVariant(QStringLiteral("99999")));

    // The six files, under their names, as the data folder holds them; nothing else.
    EXPECT_EQ(onDisk(), (QStringList{QStringLiteral("Sector.dbf"), QStringLiteral("activida.dbf"),
                                     QStringLiteral("catdirpl.dbf"), QStringLiteral("datoprov.dbf"),
                                     QStringLiteral("mercbi.dbf"), QStringLiteral("prodabas.dbf")}));
    for (const QString& name : brelotDiskFiles()) {
        const QString table = name.left(name.size() - 4);
        EXPECT_EQ(bytes(QDir(disk.path()).filePath(name)), bytes(db.tablePath(table))) << name.toStdString();
    }
    std::unique_ptr<DbfTable> sector =
        DbfTable::open(QDir(disk.path()).filePath(QStringLiteral("Sector.dbf")), &error, DbfAccess::ReadOnly);
    ASSERT_TRUE(sector);
    EXPECT_EQ(sector->recordCount(), 1);
    EXPECT_EQ(sector->value(0, 1), QVariant(QStringLiteral("2")));

    // Python's dbfread reads the delivered datoprov alike.
    const QString python = QStringLiteral("/usr/bin/python3");
    if (QProcess::execute(python, {QStringLiteral("-c"), QStringLiteral("import dbfread")}) != 0) return;
    QProcess p;
    p.start(python, {QStringLiteral(KALTO_SOURCE_DIR "/tests/data/dbfread_check.py"),
                     QDir(disk.path()).filePath(QStringLiteral("datoprov.dbf"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QJsonObject top = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QJsonArray records = top.value(QStringLiteral("records")).toArray();
    ASSERT_EQ(records.size(), 1);
    const QJsonArray r = records[0].toArray();
    ASSERT_EQ(r.size(), 30);
    EXPECT_EQ(r[0].toString(), QStringLiteral(" PEÑ010101XY1"));
    EXPECT_EQ(r[7].toInt(), 6700);
    EXPECT_EQ(r[15].toInt(), 1);
    EXPECT_EQ(r[21].toInt(), 1);
    EXPECT_EQ(r[22].toInt(), 7);
    EXPECT_EQ(r[23].toString(), QStringLiteral("jose@peña.mx"));
    EXPECT_TRUE(r[16].isNull() || r[16].toString().isEmpty());
    EXPECT_TRUE(r[24].isNull() && r[25].isNull() && r[28].toString().isEmpty());
}

TEST_F(GuardaBrelotTest, ASecondRunReplacesTheRowsAndEmptyCellsStayNull) {
    messages.defaultAnswer = true;
    ASSERT_EQ(GuardaBrelot(db, messages, drives(), fullApplicant()), BrelotOutcome::Written);

    // No plants, a postal code that is not a number, nothing selected in the sector list.
    ApplicantData a;
    a.domicilioFiscal.cp = QStringLiteral("C.P. 1");
    a.domicilioFiscal.calleYNo = QString();
    ASSERT_EQ(GuardaBrelot(db, messages, drives(), a), BrelotOutcome::Written);
    const QList<QVariantList> dato = rows(QStringLiteral("datoprov"), true);
    ASSERT_EQ(dato.size(), 1);
    for (int i = 0; i < 30; ++i) {
        if (i == 7) EXPECT_EQ(dato[0][i], QVariant(qint64(0)));
        else if (i == 15 || i == 21) EXPECT_EQ(dato[0][i], QVariant(qint64(1)));
        else EXPECT_TRUE(dato[0][i].isNull()) << "posición " << i;
    }
    EXPECT_TRUE(rows(QStringLiteral("catdirpl"), true).isEmpty());
    EXPECT_TRUE(rows(QStringLiteral("catdirpl")).isEmpty());

    // The postal code read as a number.
    EXPECT_EQ(postalCodeNumber(QStringLiteral(" 06700")), QVariant(qint64(6700)));
    EXPECT_EQ(postalCodeNumber(QStringLiteral("123AB")), QVariant(qint64(123)));
    EXPECT_EQ(postalCodeNumber(QStringLiteral("-5")), QVariant(qint64(0)));
    EXPECT_TRUE(postalCodeNumber(QString()).isNull());
    EXPECT_TRUE(postalCodeNumber(QVariant()).isNull());
}

TEST_F(GuardaBrelotTest, AFileThatCouldNotBeCopiedIsNamedInsteadOfTheClosingMessage) {
    messages.defaultAnswer = true;
    Drives full = drives();
    full.setFault([](Drives::Step step, const QString& name) {
        return step == Drives::Step::Write && name == QStringLiteral("mercbi.dbf") ? ENOSPC : 0;
    });
    EXPECT_EQ(GuardaBrelot(db, messages, full, fullApplicant()), BrelotOutcome::CopyFailed);
    ASSERT_EQ(messages.entries.size(), 2);
    EXPECT_EQ(messages.entries[1].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_EQ(messages.entries[1].text,
              QStringLiteral("No se pudo grabar el archivo mercbi.dbf en la unidad A: (%1): el disco está lleno.")
                  .arg(QDir::toNativeSeparators(disk.path())));
    EXPECT_FALSE(messages.texts().contains(kDone));
    // The others are on the disk; the failed one is not there at all.
    EXPECT_EQ(onDisk().size(), 5);
    EXPECT_FALSE(onDisk().contains(QStringLiteral("mercbi.dbf")));

    // The last step of a copy (the rename over the file already on the disk) fails: the
    // disk keeps the file it had, and no half-written or temporary file stays beside it.
    messages.clear();
    const QString onDiskDatoprov = QDir(disk.path()).filePath(QStringLiteral("datoprov.dbf"));
    {
        QFile old(onDiskDatoprov);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("DISCO ANTERIOR");
    }
    Drives renameFails = drives();
    renameFails.setFault([](Drives::Step step, const QString& name) {
        return step == Drives::Step::Rename && name == QStringLiteral("datoprov.dbf") ? EIO : 0;
    });
    EXPECT_EQ(GuardaBrelot(db, messages, renameFails, fullApplicant()), BrelotOutcome::CopyFailed);
    ASSERT_EQ(messages.entries.size(), 2);
    EXPECT_EQ(messages.entries[1].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_TRUE(messages.entries[1].text.contains(QStringLiteral("datoprov.dbf"))) << messages.entries[1].text.toStdString();
    EXPECT_FALSE(messages.entries[1].text.contains(QStringLiteral("mercbi.dbf")));
    EXPECT_FALSE(messages.texts().contains(kDone));
    EXPECT_EQ(bytes(onDiskDatoprov), QByteArray("DISCO ANTERIOR"));
    EXPECT_EQ(onDisk().size(), 6) << onDisk().join(u' ').toStdString();

    // No disk at all: every file is named.
    messages.clear();
    settings.unidadA = QDir(disk.path()).filePath(QStringLiteral("sin_disco"));
    EXPECT_EQ(GuardaBrelot(db, messages, drives(), fullApplicant()), BrelotOutcome::CopyFailed);
    ASSERT_EQ(messages.entries.size(), 2);
    for (const QString& name : brelotDiskFiles()) EXPECT_TRUE(messages.entries[1].text.contains(name + u':'));
    EXPECT_FALSE(messages.texts().contains(kDone));
}

TEST_F(GuardaBrelotTest, ATableThatCannotBeWrittenStopsBeforeAnyCopyAndKeepsThePreviousRows) {
    messages.defaultAnswer = true;
    // On empty tables: the first plant written before the second is refused does not stay.
    ApplicantData first = fullApplicant();
    first.plantas[1].colonia = QStringLiteral("COLONIA Ω");
    EXPECT_EQ(GuardaBrelot(db, messages, drives(), first), BrelotOutcome::TablesFailed);
    EXPECT_TRUE(rows(QStringLiteral("datoprov")).isEmpty());
    EXPECT_TRUE(rows(QStringLiteral("catdirpl")).isEmpty());
    EXPECT_TRUE(onDisk().isEmpty());

    // A first delivery: the rows and the disk files a failed run must leave as they are.
    messages.clear();
    ASSERT_EQ(GuardaBrelot(db, messages, drives(), fullApplicant()), BrelotOutcome::Written);
    const QList<QVariantList> datoprovBefore = rows(QStringLiteral("datoprov"));
    const QList<QVariantList> catdirplBefore = rows(QStringLiteral("catdirpl"));
    ASSERT_EQ(datoprovBefore.size(), 1);
    ASSERT_EQ(catdirplBefore.size(), 3);
    QHash<QString, QByteArray> diskBefore;
    for (const QString& name : onDisk()) diskBefore.insert(name, bytes(QDir(disk.path()).filePath(name)));
    ASSERT_EQ(diskBefore.size(), 6);
    // Rows as text, so that a difference reads plainly.
    auto shown = [](const QList<QVariantList>& rs) {
        QStringList out;
        for (const QVariantList& r : rs) {
            QStringList cells;
            for (const QVariant& v : r) cells << (v.isNull() ? QStringLiteral("<nulo>") : v.toString());
            out << cells.join(u'|');
        }
        return out;
    };
    auto unchanged = [&](const char* what) {
        EXPECT_EQ(shown(rows(QStringLiteral("datoprov"))), shown(datoprovBefore)) << what;
        EXPECT_EQ(shown(rows(QStringLiteral("catdirpl"))), shown(catdirplBefore)) << what;
        // The engine sees the same rows as the file.
        EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from datoprov")).toInt(), 1) << what;
        EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from catdirpl")).toInt(), 3) << what;
        EXPECT_EQ(onDisk().size(), 6) << what;
        for (const QString& name : onDisk())
            EXPECT_EQ(bytes(QDir(disk.path()).filePath(name)), diskBefore.value(name)) << what << " " << name.toStdString();
    };

    // A sector code wider than its column: datoprov is refused after it was emptied.
    messages.clear();
    Waiting wait(messages);
    ApplicantData a = fullApplicant();
    a.rfc = QStringLiteral("OTRO010101XY1");
    a.sectorCodigo = 12345678;
    EXPECT_EQ(GuardaBrelot(db, messages, drives(), a, &wait), BrelotOutcome::TablesFailed);
    ASSERT_EQ(messages.entries.size(), 2);
    EXPECT_EQ(messages.entries[1].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_TRUE(messages.entries[1].text.startsWith(
        QStringLiteral("No se generó la información del programa BRELOT: no se pudo escribir la tabla datoprov.")))
        << messages.entries[1].text.toStdString();
    EXPECT_TRUE(messages.entries[1].text.endsWith(QStringLiteral("No se copió nada a la unidad A:.")));
    EXPECT_FALSE(messages.texts().contains(kDone));
    EXPECT_EQ(wait.log.last(), QStringLiteral("cerrada tras 1 mensajes"));
    unchanged("datoprov rechazada");

    // A name the code page cannot hold in the second of two plants: datoprov was already
    // written anew and catdirpl emptied and given its first plant; all of it is undone.
    messages.clear();
    a = fullApplicant();
    a.rfc = QStringLiteral("OTRO010101XY1");
    a.plantas = {address(QStringLiteral("N1"), QStringLiteral("11111")), address(QStringLiteral("N2"), QVariant())};
    a.plantas[1].colonia = QStringLiteral("COLONIA Ω");
    EXPECT_EQ(GuardaBrelot(db, messages, drives(), a), BrelotOutcome::TablesFailed);
    ASSERT_EQ(messages.entries.size(), 2);
    EXPECT_TRUE(messages.entries[1].text.contains(QStringLiteral("no se pudo escribir la tabla catdirpl")));
    EXPECT_FALSE(messages.texts().contains(kDone));
    unchanged("catdirpl rechazada a la mitad");

    // The tables take a good run again afterwards.
    messages.clear();
    a.plantas[1].colonia = QStringLiteral("COLONIA");
    EXPECT_EQ(GuardaBrelot(db, messages, drives(), a), BrelotOutcome::Written);
    EXPECT_EQ(rows(QStringLiteral("datoprov")).size(), 1);
    EXPECT_EQ(rows(QStringLiteral("datoprov"))[0][0], QVariant(QStringLiteral("OTRO010101XY1")));
    const QList<QVariantList> plants = rows(QStringLiteral("catdirpl"), true);
    ASSERT_EQ(plants.size(), 2);
    EXPECT_EQ(plants[0][0], QVariant(QStringLiteral("N1 CALLE")));
    EXPECT_EQ(plants[1][0], QVariant(QStringLiteral("N2 CALLE")));
}

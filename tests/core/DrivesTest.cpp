// Drive letters and the checked copy to a drive: where A: and C: lead, a copy that replaces
// the target whole, and failures (full disk, write-protected disk, missing source) that leave
// the target as it was, no stray temporary file, and a Spanish reason naming the file.

#include "core/Drives.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace kalto;

namespace {

bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

class DrivesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        data = tmp.filePath(QStringLiteral("datos"));
        disk = tmp.filePath(QStringLiteral("disco"));
        ASSERT_TRUE(QDir().mkpath(data) && QDir().mkpath(disk));
        source = QDir(data).filePath(QStringLiteral("datoprov.dbf"));
        content = QByteArray(100 * 1024, 'x') + "fin";
        ASSERT_TRUE(writeFile(source, content));
    }
    DriveSettings onDisk() const {
        DriveSettings s;
        s.unidadA = disk;
        s.home = tmp.path();
        return s;
    }

    QTemporaryDir tmp;
    QString data, disk, source;
    QByteArray content;
};

}  // namespace

TEST_F(DrivesTest, DriveLettersLeadToTheirFolders) {
    QString error;
    // $KALTO_UNIDAD_A wins; a folder it names that is missing is an error and is not made.
    DriveSettings s;
    s.unidadA = disk;
    s.home = tmp.path();
    s.user = QStringLiteral("ana");
    s.mountedVolumes = {QStringLiteral("/"), QStringLiteral("/media/ana/KALTO")};
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('a')), disk);
    s.unidadA = tmp.filePath(QStringLiteral("sin_disco"));
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('A'), &error), QString());
    EXPECT_TRUE(error.startsWith(QStringLiteral("No se encuentra la unidad A:"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(s.unidadA));

    // Otherwise the one removable volume of the user, under /media or /run/media.
    s.unidadA.clear();
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('A')), QStringLiteral("/media/ana/KALTO"));
    s.mountedVolumes = {QStringLiteral("/"), QStringLiteral("/run/media/ana/USB/"), QStringLiteral("/media/luis/OTRO"),
                        QStringLiteral("/media/ana")};
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('A')), QStringLiteral("/run/media/ana/USB"));

    // Two removable volumes, or none: the folder A of the data folder, made on first use.
    const QString fallback = QDir(data).filePath(QStringLiteral("A"));
    s.mountedVolumes = {QStringLiteral("/media/ana/UNO"), QStringLiteral("/media/ana/DOS")};
    EXPECT_FALSE(QFileInfo::exists(fallback));
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('A')), fallback);
    EXPECT_TRUE(QFileInfo(fallback).isDir());
    s.mountedVolumes.clear();
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('A')), fallback);
    EXPECT_EQ(Drives(data, s).filePath(QLatin1Char('A'), QStringLiteral("x.dbf")), fallback + QStringLiteral("/x.dbf"));

    // C: is $KALTO_UNIDAD_C, else the home folder; other letters do not exist.
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('C')), tmp.path());
    s.unidadC = disk;
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('c')), disk);
    EXPECT_EQ(Drives(data, s).folder(QLatin1Char('D'), &error), QString());
    EXPECT_EQ(error, QStringLiteral("La unidad D: no existe"));
}

TEST_F(DrivesTest, ACopyReplacesTheTargetWhole) {
    Drives drives(data, onDisk());
    // An older, longer file under the same name, and a stale spelling of it in capitals.
    ASSERT_TRUE(writeFile(QDir(disk).filePath(QStringLiteral("datoprov.dbf")), QByteArray(300 * 1024, 'v')));
    ASSERT_TRUE(writeFile(QDir(disk).filePath(QStringLiteral("DATOPROV.DBF")), "viejo"));
    ASSERT_TRUE(writeFile(QDir(disk).filePath(QStringLiteral("otro.dbf")), "queda"));
    Drives::Failure failure;
    ASSERT_TRUE(drives.copyFile(source, QLatin1Char('A'), QStringLiteral("datoprov.dbf"), &failure))
        << failure.reason.toStdString();
    EXPECT_EQ(readFile(QDir(disk).filePath(QStringLiteral("datoprov.dbf"))), content);
    EXPECT_EQ(entries(disk), (QStringList{QStringLiteral("datoprov.dbf"), QStringLiteral("otro.dbf")}));

    // A drive that leads to the data folder never loses the source, whatever the spelling.
    DriveSettings here = onDisk();
    here.unidadA = data;
    const QString table = QDir(data).filePath(QStringLiteral("Sector.DBF"));
    ASSERT_TRUE(writeFile(table, "tabla viva"));
    ASSERT_TRUE(Drives(data, here).copyFile(table, QLatin1Char('A'), QStringLiteral("Sector.dbf")));
    ASSERT_TRUE(Drives(data, here).copyFile(table, QLatin1Char('A'), QStringLiteral("Sector.DBF")));
    EXPECT_EQ(readFile(table), QByteArray("tabla viva"));
    EXPECT_EQ(readFile(QDir(data).filePath(QStringLiteral("Sector.dbf"))), QByteArray("tabla viva"));
}

TEST_F(DrivesTest, AFailedStepLeavesTheTargetAsItWas) {
    const QString target = QDir(disk).filePath(QStringLiteral("datoprov.dbf"));
    ASSERT_TRUE(writeFile(target, "anterior"));
    struct Case {
        Drives::Step step;
        int error;
        QString reason;
    };
    const QList<Case> cases = {
        {Drives::Step::CreateTemporary, EROFS, QStringLiteral("el disco está protegido contra escritura")},
        {Drives::Step::CreateTemporary, EACCES, QStringLiteral("no hay permiso para escribir en el disco")},
        {Drives::Step::Write, ENOSPC, QStringLiteral("el disco está lleno")},
        {Drives::Step::Flush, EIO, QStringLiteral("error de lectura o escritura en el disco")},
        {Drives::Step::Close, EDQUOT, QStringLiteral("el disco está lleno")},
        {Drives::Step::Rename, EROFS, QStringLiteral("el disco está protegido contra escritura")},
        {Drives::Step::ReadSource, EIO,
         QStringLiteral("no se pudo leer el archivo de origen %1: error de lectura o escritura en el disco")
             .arg(QDir::toNativeSeparators(source))},
        {Drives::Step::OpenSource, EACCES, QStringLiteral("no se pudo abrir el archivo de origen %1: no hay permiso para leerlo")
                                              .arg(QDir::toNativeSeparators(source))},
    };
    for (const Case& c : cases) {
        Drives drives(data, onDisk());
        // The step fails on its second call where there is one, so that part of the file is
        // already on the disk when the write fails.
        int calls = 0;
        drives.setFault([&](Drives::Step step, const QString& name) {
            EXPECT_EQ(name, QStringLiteral("datoprov.dbf"));
            const bool again = step == Drives::Step::Write || step == Drives::Step::ReadSource;
            return step == c.step && (!again || ++calls == 2) ? c.error : 0;
        });
        Drives::Failure failure;
        EXPECT_FALSE(drives.copyFile(source, QLatin1Char('A'), QStringLiteral("datoprov.dbf"), &failure)) << int(c.step);
        EXPECT_EQ(failure.file, QStringLiteral("datoprov.dbf"));
        EXPECT_EQ(failure.reason, c.reason) << int(c.step);
        EXPECT_EQ(readFile(target), QByteArray("anterior")) << int(c.step);
        EXPECT_EQ(entries(disk), QStringList{QStringLiteral("datoprov.dbf")}) << int(c.step);
    }

    // A missing source, and a target name that is a path.
    Drives drives(data, onDisk());
    Drives::Failure failure;
    EXPECT_FALSE(drives.copyFile(QDir(data).filePath(QStringLiteral("no.dbf")), QLatin1Char('A'),
                                 QStringLiteral("datoprov.dbf"), &failure));
    EXPECT_EQ(failure.reason, QStringLiteral("no se pudo abrir el archivo de origen %1: el archivo o la carpeta no existe")
                                  .arg(QDir::toNativeSeparators(QDir(data).filePath(QStringLiteral("no.dbf")))));
    EXPECT_FALSE(drives.copyFile(source, QLatin1Char('A'), QStringLiteral("../fuera.dbf"), &failure));
    EXPECT_EQ(readFile(target), QByteArray("anterior"));
}

// Real failures of the system, not simulated ones.
TEST_F(DrivesTest, ADiskThatCannotTakeTheFileKeepsItsOldCopy) {
    const QString target = QDir(disk).filePath(QStringLiteral("datoprov.dbf"));
    ASSERT_TRUE(writeFile(target, "anterior"));
    Drives drives(data, onDisk());

    // A file larger than the system lets a process write: the write fails part way.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 8 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    Drives::Failure failure;
    const bool copied = drives.copyFile(source, QLatin1Char('A'), QStringLiteral("datoprov.dbf"), &failure);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(copied);
    EXPECT_EQ(failure.reason, QStringLiteral("el archivo es demasiado grande para el disco"));
    EXPECT_EQ(readFile(target), QByteArray("anterior"));
    EXPECT_EQ(entries(disk), QStringList{QStringLiteral("datoprov.dbf")});
}

TEST_F(DrivesTest, SeveralFilesGoOnAfterAFailureAndTheMessageNamesEachOne) {
    const QString other = QDir(data).filePath(QStringLiteral("Sector.dbf"));
    ASSERT_TRUE(writeFile(other, "sectores"));
    Drives drives(data, onDisk());
    drives.setFault([](Drives::Step step, const QString& name) {
        return step == Drives::Step::Write && name == QStringLiteral("catdirpl.dbf") ? ENOSPC : 0;
    });
    const QList<Drives::Failure> failures = drives.copyFiles(
        {{source, QStringLiteral("datoprov.dbf")}, {source, QStringLiteral("catdirpl.dbf")},
         {other, QStringLiteral("Sector.dbf")}, {QDir(data).filePath(QStringLiteral("falta.dbf")), QStringLiteral("mercbi.dbf")}},
        QLatin1Char('A'));
    ASSERT_EQ(failures.size(), 2);
    EXPECT_EQ(failures[0].file, QStringLiteral("catdirpl.dbf"));
    EXPECT_EQ(failures[1].file, QStringLiteral("mercbi.dbf"));
    EXPECT_EQ(entries(disk), (QStringList{QStringLiteral("Sector.dbf"), QStringLiteral("datoprov.dbf")}));
    EXPECT_EQ(readFile(QDir(disk).filePath(QStringLiteral("Sector.dbf"))), QByteArray("sectores"));

    const QString drive = QStringLiteral("A: (%1)").arg(QDir::toNativeSeparators(disk));
    EXPECT_EQ(drives.failureMessage(failures, QLatin1Char('A')),
              QStringLiteral("No se pudieron grabar estos archivos en la unidad %1:\n"
                             "catdirpl.dbf: el disco está lleno.\n"
                             "mercbi.dbf: no se pudo abrir el archivo de origen %2: el archivo o la carpeta no existe.")
                  .arg(drive, QDir::toNativeSeparators(QDir(data).filePath(QStringLiteral("falta.dbf")))));
    EXPECT_EQ(drives.failureMessage({failures[0]}, QLatin1Char('A')),
              QStringLiteral("No se pudo grabar el archivo catdirpl.dbf en la unidad %1: el disco está lleno.").arg(drive));
}

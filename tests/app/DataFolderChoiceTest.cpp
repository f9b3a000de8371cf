// Which folder the program keeps its tables in, filling an installed program's user folder
// from the installed catalogues, and the lock that keeps a second copy of the program off it.
#include "app/DataFolderChoice.h"
#include "app/DataFolderLock.h"
#include "support/FileBytes.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kalto {
namespace {

using test::readFile;
using test::writeFile;

// A prefix laid out as installed: bin/ (empty) and share/kalto/ with two tables and the
// considerations; a build folder holding its tables; an empty place for the user folder.
struct Folders {
    QTemporaryDir root;
    QString bin = root.filePath("prefijo/bin"), share = root.filePath("prefijo/share/kalto"),
            build = root.filePath("build"), user = root.filePath("usuario/.local/share/KALTO");
    Folders() {
        for (const QString& d : {bin, share, build}) QDir().mkpath(d);
        writeFile(share + "/activida.DBF", "actividades");
        writeFile(share + "/csector.DBF", "sectores");
        writeFile(share + "/CONSIDERA.TXT", "consideraciones");
        writeFile(build + "/activida.DBF", "de la compilación");
    }
    DataFolderInputs installed(bool writable) const { return {{}, bin, writable, share, user}; }
};

TEST(DataFolderChoiceTest, ChoosesTheFolderByVariableExecutableFolderAndInstallation) {
    Folders f;
    ASSERT_TRUE(f.root.isValid());
    const QString missing = f.root.path() + "/prefijo/share/nada";
    DataFolderInputs variable = f.installed(false);
    variable.variable = f.root.path() + "/otra/../datos";
    const struct { DataFolderInputs in; QString folder, seed; } cases[] = {
        // $KALTO_DATOS wins over everything, and nothing is copied into it.
        {variable, f.root.path() + "/datos", {}},
        // A build (writable, holding its tables) keeps its own folder, even beside installed catalogues.
        {{{}, f.build, true, f.share, f.user}, f.build, {}},
        // Installed, whether its prefix can be written or not (bin/ holds no tables): the
        // user's folder, filled from share.
        {f.installed(false), f.user, f.share}, {f.installed(true), f.user, f.share},
        // Not installed (no catalogues beside it): the executable's folder, as it always was,
        // so the program reports what that folder lacks.
        {{{}, f.bin, true, missing, f.user}, f.bin, {}}, {{{}, f.bin, false, missing, f.user}, f.bin, {}},
    };
    for (const auto& c : cases) {
        const DataFolderChoice choice = DataFolderChoice::choose(c.in);
        EXPECT_TRUE(choice.carpeta == c.folder && choice.semilla == c.seed) << c.in.executableFolder.toStdString();
    }
    // The running program's inputs: the variable, share beside bin, the XDG data folder.
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME"), oldVar = qgetenv("KALTO_DATOS");
    qputenv("XDG_DATA_HOME", f.user.toLocal8Bit());
    qputenv("KALTO_DATOS", "/datos/kalto");
    const DataFolderInputs in = DataFolderChoice::currentInputs();
    for (auto [name, old] : {std::pair{"XDG_DATA_HOME", oldXdg}, std::pair{"KALTO_DATOS", oldVar}})
        old.isEmpty() ? qunsetenv(name) : qputenv(name, old);
    EXPECT_EQ(in.variable, "/datos/kalto");
    EXPECT_TRUE(in.userFolder.startsWith(f.user + "/")) << in.userFolder.toStdString();
    EXPECT_EQ(in.installedFolder, QDir::cleanPath(in.executableFolder + "/../share/kalto"));
}

TEST(DataFolderChoiceTest, FillsTheUserFolderOnceWithoutReplacingItsData) {
    Folders f;
    const DataFolderChoice c = DataFolderChoice::choose(f.installed(false));
    QString error;
    ASSERT_TRUE(c.prepare(&error)) << error.toStdString();
    EXPECT_EQ(test::folderBytes(f.user), test::folderBytes(f.share));  // nothing else: no temporary file
    EXPECT_TRUE(QFileInfo(f.user + "/csector.DBF").isWritable());

    // The user's tables changed; a later start copies only what is missing.
    writeFile(f.user + "/activida.DBF", "del usuario");
    QFile::remove(f.user + "/CONSIDERA.TXT");
    ASSERT_TRUE(c.prepare(&error)) << error.toStdString();
    EXPECT_EQ(readFile(f.user + "/activida.DBF"), "del usuario");
    EXPECT_EQ(readFile(f.user + "/CONSIDERA.TXT"), "consideraciones");

    // A table stored under another case counts as present.
    QFile::rename(f.user + "/csector.DBF", f.user + "/CSECTOR.DBF");
    writeFile(f.user + "/CSECTOR.DBF", "cambiado");
    ASSERT_TRUE(c.prepare(&error)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(f.user + "/csector.DBF"));
    EXPECT_EQ(readFile(f.user + "/CSECTOR.DBF"), "cambiado");

    // Nothing to fill: prepare leaves a folder it did not choose alone.
    ASSERT_TRUE(DataFolderChoice::choose({{}, f.build, true, f.share, f.user}).prepare(&error));
    EXPECT_FALSE(QFile::exists(f.build + "/csector.DBF"));

    // A user folder that cannot be made is told.
    writeFile(f.root.path() + "/archivo", "no es carpeta");
    DataFolderInputs in = f.installed(false);
    in.userFolder = f.root.path() + "/archivo/KALTO";
    EXPECT_FALSE(DataFolderChoice::choose(in).prepare(&error));
    EXPECT_EQ(error, QStringLiteral("No se pudo crear la carpeta de datos %1.").arg(QDir::toNativeSeparators(in.userFolder)));
}

TEST(DataFolderLock, OneProgramPerDataFolderAndAStaleLockIsTakenOver) {
    QTemporaryDir carpeta, otra;
    QString error;
    {
        DataFolderLock primero(carpeta.path());
        ASSERT_TRUE(primero.toma(&error)) << error.toStdString();
        EXPECT_FALSE(DataFolderLock(carpeta.path()).toma(&error));
        EXPECT_TRUE(error.contains(QDir::toNativeSeparators(carpeta.path()))) << error.toStdString();
    }
    EXPECT_TRUE(DataFolderLock(carpeta.path()).toma(&error)) << error.toStdString();  // released at the end

    // A lock left behind by a program that has ended is taken over.
    QProcess p;
    p.start(QStringLiteral("/bin/true"));
    ASSERT_TRUE(p.waitForStarted());
    const qint64 pid = p.processId();
    ASSERT_TRUE(p.waitForFinished());
    ASSERT_TRUE(writeFile(QDir(otra.path()).filePath(DataFolderLock::kArchivo),
                          QByteArray::number(pid) + "\nKALTO\n" + QSysInfo::machineHostName().toUtf8() + "\n"));
    EXPECT_TRUE(DataFolderLock(otra.path()).toma(&error)) << error.toStdString();
}

}  // namespace
}  // namespace kalto

// Which folder the program keeps its tables in, and filling an installed program's user
// folder from the installed catalogues.
#include "app/DataFolderChoice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <utility>

namespace kalto {
namespace {

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<ausente>");
}

// A prefix laid out as installed: bin/ (empty) and share/kalto/ with two tables and the
// considerations; a build folder holding its tables; an empty place for the user folder.
struct Folders {
    QTemporaryDir root;
    QString bin, share, build, user;
    Folders() {
        const QDir r(root.path());
        bin = r.filePath("prefijo/bin");
        share = r.filePath("prefijo/share/kalto");
        build = r.filePath("build");
        user = r.filePath("usuario/.local/share/KALTO");
        QDir().mkpath(bin);
        QDir().mkpath(share);
        QDir().mkpath(build);
        write(share + "/activida.DBF", "actividades");
        write(share + "/csector.DBF", "sectores");
        write(share + "/CONSIDERA.TXT", "consideraciones");
        write(build + "/activida.DBF", "de la compilación");
    }
    DataFolderInputs installed(bool writable) const { return {{}, bin, writable, share, user}; }
};

TEST(DataFolderChoiceTest, ChoosesTheFolderByVariableExecutableFolderAndInstallation) {
    Folders f;
    ASSERT_TRUE(f.root.isValid());
    const QString missing = f.root.path() + "/prefijo/share/nada";
    DataFolderInputs variable = f.installed(false);
    variable.variable = f.root.path() + "/otra/../datos";
    const struct {
        DataFolderInputs in;
        QString folder, seed;
    } cases[] = {
        // $KALTO_DATOS wins over everything, and nothing is copied into it.
        {variable, f.root.path() + "/datos", {}},
        // A build (writable, holding its tables) keeps its own folder, even beside installed catalogues.
        {{{}, f.build, true, f.share, f.user}, f.build, {}},
        // Installed, whether its prefix can be written or not (bin/ holds no tables): the
        // user's folder, filled from share.
        {f.installed(false), f.user, f.share},
        {f.installed(true), f.user, f.share},
        // Not installed (no catalogues beside it): the executable's folder, as it always was,
        // so the program reports what that folder lacks.
        {{{}, f.bin, true, missing, f.user}, f.bin, {}},
        {{{}, f.bin, false, missing, f.user}, f.bin, {}},
    };
    for (const auto& c : cases) {
        const DataFolderChoice choice = DataFolderChoice::choose(c.in);
        EXPECT_EQ(choice.carpeta, c.folder) << c.in.executableFolder.toStdString();
        EXPECT_EQ(choice.semilla, c.seed) << c.in.executableFolder.toStdString();
    }
}

TEST(DataFolderChoiceTest, FillsTheUserFolderOnceWithoutReplacingItsData) {
    Folders f;
    const DataFolderChoice c = DataFolderChoice::choose(f.installed(false));
    QString error;
    ASSERT_TRUE(c.prepare(&error)) << error.toStdString();
    EXPECT_EQ(read(f.user + "/activida.DBF"), "actividades");
    EXPECT_EQ(read(f.user + "/csector.DBF"), "sectores");
    EXPECT_EQ(read(f.user + "/CONSIDERA.TXT"), "consideraciones");
    EXPECT_TRUE(QFileInfo(f.user + "/csector.DBF").isWritable());
    EXPECT_FALSE(QFile::exists(f.user + "/csector.DBF.tmp"));

    // The user's tables changed; a later start copies only what is missing.
    write(f.user + "/activida.DBF", "del usuario");
    QFile::remove(f.user + "/CONSIDERA.TXT");
    ASSERT_TRUE(c.prepare(&error)) << error.toStdString();
    EXPECT_EQ(read(f.user + "/activida.DBF"), "del usuario");
    EXPECT_EQ(read(f.user + "/CONSIDERA.TXT"), "consideraciones");

    // A table stored under another case counts as present.
    QFile::rename(f.user + "/csector.DBF", f.user + "/CSECTOR.DBF");
    write(f.user + "/CSECTOR.DBF", "cambiado");
    ASSERT_TRUE(c.prepare(&error)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(f.user + "/csector.DBF"));
    EXPECT_EQ(read(f.user + "/CSECTOR.DBF"), "cambiado");

    // Nothing to fill: prepare leaves a folder it did not choose alone.
    const DataFolderChoice build = DataFolderChoice::choose({{}, f.build, true, f.share, f.user});
    ASSERT_TRUE(build.prepare(&error));
    EXPECT_FALSE(QFile::exists(f.build + "/csector.DBF"));
}

TEST(DataFolderChoiceTest, ReportsAUserFolderThatCannotBeMade) {
    Folders f;
    write(f.root.path() + "/archivo", "no es carpeta");
    DataFolderInputs in = f.installed(false);
    in.userFolder = f.root.path() + "/archivo/KALTO";
    QString error;
    EXPECT_FALSE(DataFolderChoice::choose(in).prepare(&error));
    EXPECT_EQ(error, QStringLiteral("No se pudo crear la carpeta de datos %1.")
                         .arg(QDir::toNativeSeparators(in.userFolder)));
}

TEST(DataFolderChoiceTest, RunningProgramUsesTheVariableShareBesideBinAndTheXdgDataFolder) {
    QTemporaryDir xdg;
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME"), oldVar = qgetenv("KALTO_DATOS");
    qputenv("XDG_DATA_HOME", xdg.path().toLocal8Bit());
    qputenv("KALTO_DATOS", "/datos/kalto");
    const DataFolderInputs in = DataFolderChoice::currentInputs();
    for (auto [name, old] : {std::pair{"XDG_DATA_HOME", oldXdg}, std::pair{"KALTO_DATOS", oldVar}}) {
        if (old.isEmpty()) qunsetenv(name); else qputenv(name, old);
    }

    EXPECT_EQ(in.variable, "/datos/kalto");
    EXPECT_TRUE(in.userFolder.startsWith(xdg.path() + "/")) << in.userFolder.toStdString();
    EXPECT_EQ(in.installedFolder, QDir::cleanPath(in.executableFolder + "/../share/kalto"));
}

}  // namespace
}  // namespace kalto

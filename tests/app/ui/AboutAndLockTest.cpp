// The About window opened from the toolbar, its system-information button, and the lock
// that keeps a second copy of the program off the same data folder.

#include "WindowFixture.h"

#include "app/ui/BloqueoDatos.h"
#include "app/ui/frmInfoVersion.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <unistd.h>

using namespace kalto;
using kalto::test::WindowTest;

namespace {

// PATH pointed at a folder of our own for the length of a test.
class PathScope {
public:
    explicit PathScope(const QString& path) : old_(qgetenv("PATH")) { qputenv("PATH", path.toLocal8Bit()); }
    ~PathScope() { qputenv("PATH", old_); }

private:
    QByteArray old_;
};

frmInfoVersion* aboutWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmInfoVersion*>(w); f && f->isVisible()) return f;
    return nullptr;
}

}  // namespace

TEST_F(WindowTest, AboutWindowShowsTheProgramAndStartsTheSystemInformation) {
    QTest::mouseClick(find<QToolButton>(QStringLiteral("cmdKALTO_4")), Qt::LeftButton);
    frmInfoVersion* about = aboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Acerca de KALTO"));
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("lblTitle"))->text(), QStringLiteral("KALTO"));
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version 2.0.0"));
    EXPECT_EQ(about->findChild<QLabel*>(QStringLiteral("lblDescripcion"))->text(),
              QStringLiteral("Disco de Captura KALTO"));
    EXPECT_FALSE(about->findChild<QLabel*>(QStringLiteral("Label3"))->text().isEmpty());
    auto* ok = about->findChild<QPushButton*>(QStringLiteral("cmdOK"));
    auto* sysInfo = about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(sysInfo, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(sysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The main window stays usable while it is open (modeless).
    EXPECT_TRUE(window->isEnabled());

    // No system-information program on the PATH: the message with the default title.
    QTemporaryDir vacio;
    {
        PathScope path(vacio.path());
        QTest::mouseClick(sysInfo, Qt::LeftButton);
    }
    ASSERT_FALSE(messages.entries.isEmpty());
    EXPECT_EQ(messages.entries.last().kind, RecordingMessages::Kind::Plain);
    EXPECT_EQ(messages.last(), QStringLiteral("System Information Is Unavailable At This Time"));
    EXPECT_TRUE(messages.entries.last().title.isEmpty());

    // With one installed, it is started and nothing is said.
    messages.clear();
    QTemporaryDir bin;
    const QString programa = bin.filePath(QStringLiteral("hardinfo"));
    const QString marca = bin.filePath(QStringLiteral("ran"));
    {
        QFile f(programa);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(marca).toLocal8Bit());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    {
        PathScope path(bin.path() + QStringLiteral(":/usr/bin:/bin"));
        EXPECT_EQ(frmInfoVersion::buscaInfoSistema(), programa);
        QTest::mouseClick(sysInfo, Qt::LeftButton);
    }
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marca), 5000);

    QTest::mouseClick(ok, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(aboutWindow(), nullptr);
}

TEST(BloqueoDatos, OneProgramPerDataFolder) {
    QTemporaryDir carpeta;
    QString error;
    {
        BloqueoDatos primero(carpeta.path());
        ASSERT_TRUE(primero.toma(&error)) << error.toStdString();
        EXPECT_TRUE(QFile::exists(QDir(carpeta.path()).filePath(QStringLiteral("KALTO.lck"))));

        BloqueoDatos segundo(carpeta.path());
        EXPECT_FALSE(segundo.toma(&error));
        EXPECT_TRUE(error.contains(QStringLiteral("ya se está ejecutando"))) << error.toStdString();
        EXPECT_TRUE(error.contains(QDir::toNativeSeparators(carpeta.path()))) << error.toStdString();

        // Another folder is free.
        QTemporaryDir otra;
        BloqueoDatos tercero(otra.path());
        EXPECT_TRUE(tercero.toma(&error));
    }
    // Released when the program ends.
    BloqueoDatos despues(carpeta.path());
    EXPECT_TRUE(despues.toma(&error)) << error.toStdString();
}

TEST(BloqueoDatos, StaleLockOfADeadProgramIsTakenOver) {
    QTemporaryDir carpeta;
    // The pid of a program that has ended.
    QProcess p;
    p.start(QStringLiteral("/bin/true"));
    ASSERT_TRUE(p.waitForFinished());
    const qint64 pid = p.processId() ? p.processId() : 999999;
    QFile lock(QDir(carpeta.path()).filePath(BloqueoDatos::kArchivo));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid > 0 ? pid : 999999) + "\nKALTO\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();

    QString error;
    BloqueoDatos bloqueo(carpeta.path());
    EXPECT_TRUE(bloqueo.toma(&error)) << error.toStdString();
}

TEST(BloqueoDatos, FolderThatCannotBeWrittenIsNamed) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
    QTemporaryDir carpeta;
    QFile::setPermissions(carpeta.path(), QFile::ReadOwner | QFile::ExeOwner);
    QString error;
    BloqueoDatos bloqueo(carpeta.path());
    EXPECT_FALSE(bloqueo.toma(&error));
    EXPECT_TRUE(error.contains(QDir::toNativeSeparators(carpeta.path()))) << error.toStdString();
    QFile::setPermissions(carpeta.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

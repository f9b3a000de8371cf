// The About window opened from the toolbar, its system-information button, and the lock
// that keeps a second copy of the program off the same data folder.

#include "WindowFixture.h"

#include "app/DataFolderLock.h"
#include "app/ui/frmInfoVersion.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

TEST_F(WindowTest, AboutWindowShowsTheProgramAndStartsTheSystemInformation) {
    click(u"cmdKALTO_4"_s);
    QPointer<frmInfoVersion> about;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<frmInfoVersion*>(w); f && f->isVisible()) about = f;
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(about->isModal());  // the main window stays usable
    EXPECT_EQ(about->windowTitle(), u"Acerca de KALTO"_s);
    auto* sysInfo = about->findChild<QPushButton*>(u"cmdSysInfo"_s);

    // No system-information program on the PATH: the message with the default title.
    const auto restaura = qScopeGuard([antes = qgetenv("PATH")] { qputenv("PATH", antes); });
    QTemporaryDir bin;
    qputenv("PATH", bin.path().toLocal8Bit());
    QTest::mouseClick(sysInfo, Qt::LeftButton);
    EXPECT_EQ(messages.texts(), QStringList{u"System Information Is Unavailable At This Time"_s});

    // With one installed, it is started and nothing is said.
    messages.clear();
    const QString programa = bin.filePath(u"hardinfo"_s), marca = bin.filePath(u"ran"_s);
    QFile f(programa);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(u"#!/bin/sh\ntouch '%1'\n"_s.arg(marca).toLocal8Bit());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", (bin.path() + u":/usr/bin:/bin"_s).toLocal8Bit());
    QTest::mouseClick(sysInfo, Qt::LeftButton);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marca); }, 5000));
    QTest::mouseClick(about->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
    EXPECT_TRUE(!about || !about->isVisible());
}

TEST(DataFolderLock, OneProgramPerDataFolderAndAStaleLockIsTakenOver) {
    QTemporaryDir carpeta;
    QString error;
    {
        DataFolderLock primero(carpeta.path());
        ASSERT_TRUE(primero.toma(&error)) << error.toStdString();
        DataFolderLock segundo(carpeta.path());
        EXPECT_FALSE(segundo.toma(&error));
        EXPECT_TRUE(error.contains(QDir::toNativeSeparators(carpeta.path()))) << error.toStdString();
    }
    EXPECT_TRUE(DataFolderLock(carpeta.path()).toma(&error)) << error.toStdString();  // released at the end

    // A lock left behind by a program that has ended is taken over.
    QTemporaryDir otra;
    QProcess p;
    p.start(u"/bin/true"_s);
    ASSERT_TRUE(p.waitForStarted());
    const qint64 pid = p.processId();
    ASSERT_TRUE(p.waitForFinished());
    QFile lock(QDir(otra.path()).filePath(DataFolderLock::kArchivo));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid) + "\nKALTO\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    DataFolderLock bloqueo(otra.path());
    EXPECT_TRUE(bloqueo.toma(&error)) << error.toStdString();
}

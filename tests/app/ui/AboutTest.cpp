// The About window opened from the toolbar and its system-information button.

#include "WindowFixture.h"

#include "app/ui/frmInfoVersion.h"
#include "support/FileBytes.h"

#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>

using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

TEST_F(WindowTest, AboutWindowShowsTheProgramAndStartsTheSystemInformation) {
    click(u"cmdKALTO_4"_s);
    const QPointer<kalto::frmInfoVersion> about = window->findChild<kalto::frmInfoVersion*>();
    ASSERT_TRUE(about && about->isVisible() && !about->isModal());  // the main window stays usable
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
    const QString marca = bin.filePath(u"ran"_s);
    ASSERT_TRUE(kalto::test::writeFile(bin.filePath(u"hardinfo"_s), u"#!/bin/sh\ntouch '%1'\n"_s.arg(marca).toLocal8Bit()));
    QFile::setPermissions(bin.filePath(u"hardinfo"_s), QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", (bin.path() + u":/usr/bin:/bin"_s).toLocal8Bit());
    QTest::mouseClick(sysInfo, Qt::LeftButton);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marca); }, 5000));
    QTest::mouseClick(about->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
    EXPECT_TRUE(!about || !about->isVisible());
}

#include "app/ui/UserGuide.h"

#include "core/Messages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QDialog>
#include <QPointer>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace kalto {

QStringList userGuideCandidates(const QString& executableFolder) {
    const QDir bin(executableFolder);
    return {QDir::cleanPath(bin.filePath(QStringLiteral("../share/doc/kalto/guia.html"))),
            QDir::cleanPath(bin.filePath(QStringLiteral("../docs/guia.html")))};
}

namespace {

// The guide in a window of the program, for a desktop without a browser.
void showInWindow(QWidget* window, const QString& path) {
    static QPointer<QDialog> shown;
    if (!shown) {
        shown = new QDialog(window);
        shown->setAttribute(Qt::WA_DeleteOnClose);
        shown->setObjectName(QStringLiteral("frmGuia"));
        shown->setWindowTitle(QStringLiteral("Guía del usuario de KALTO"));
        auto* browser = new QTextBrowser(shown);
        browser->setSource(QUrl::fromLocalFile(path));
        (new QVBoxLayout(shown))->addWidget(browser);
        shown->resize(760, 600);
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
}

}  // namespace

void installUserGuideShortcut(QWidget* window, Messages& messages) {
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    f1->setContext(Qt::ApplicationShortcut);
    QObject::connect(f1, &QShortcut::activated, window, [window, &messages] {
        const QStringList candidates = userGuideCandidates(QCoreApplication::applicationDirPath());
        for (const QString& path : candidates) {
            if (!QFileInfo(path).isFile()) continue;
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) showInWindow(window, path);
            return;
        }
        messages.exclamation(QStringLiteral("No se encontró la guía del usuario (guia.html) en %1.")
                                 .arg(QDir::toNativeSeparators(candidates.join(QStringLiteral(" ni en ")))));
    });
}

}  // namespace kalto

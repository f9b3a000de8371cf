#include "app/ui/UserGuide.h"

#include "core/Messages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QUrl>
#include <QWidget>

namespace kalto {

QStringList userGuideCandidates(const QString& executableFolder) {
    const QDir bin(executableFolder);
    return {QDir::cleanPath(bin.filePath(QStringLiteral("../share/doc/kalto/guia.html"))),
            QDir::cleanPath(bin.filePath(QStringLiteral("../docs/guia.html")))};
}

void installUserGuideShortcut(QWidget* window, Messages& messages) {
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    f1->setContext(Qt::ApplicationShortcut);
    QObject::connect(f1, &QShortcut::activated, window, [&messages] {
        const QStringList candidates = userGuideCandidates(QCoreApplication::applicationDirPath());
        for (const QString& path : candidates) {
            if (!QFileInfo(path).isFile()) continue;
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
                messages.exclamation(QStringLiteral("No se encontró un programa para abrir la guía del usuario. "
                                                    "Puede abrirla con su navegador: %1")
                                         .arg(QDir::toNativeSeparators(path)));
            return;
        }
        messages.exclamation(QStringLiteral("No se encontró la guía del usuario (guia.html) en %1.")
                                 .arg(QDir::toNativeSeparators(candidates.join(QStringLiteral(" ni en ")))));
    });
}

}  // namespace kalto

// Disco de Captura KALTO: opens the data folder ($KALTO_DATOS, the executable's, or for an
// installed program the user's data folder filled from the installed catalogues) and shows
// the main window on the request stored there.

#include "toolkit/MessageBoxMessages.h"
#include "app/DataFolderChoice.h"
#include "app/DataFolderLock.h"
#include "app/ui/InterfaceFont.h"
#include "app/ui/SpanishTranslation.h"
#include "app/ui/UserGuide.h"
#include "app/ui/frmKALTO.h"
#include "data/Database.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KALTO"));
    QApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    // The desktop entry's name: the task bar matches the window to its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kalto.DiscoDeCaptura"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kalto/kalto.svg")));
    kalto::applyInterfaceFont(app);
    kalto::installSpanishTranslation(app);
    kalto::MessageBoxMessages messages;

    const kalto::DataFolderChoice eleccion = kalto::DataFolderChoice::choose(kalto::DataFolderChoice::currentInputs());
    const QString carpeta = eleccion.carpeta;
    const QString nativa = QDir::toNativeSeparators(carpeta);
    QString error;
    if (!eleccion.prepare(&error)) {
        messages.stop(error);
        return 1;
    }
    if (!QDir(carpeta).exists()) {
        messages.stop(QStringLiteral("No existe la carpeta de datos %1.").arg(nativa));
        return 1;
    }

    kalto::DataFolderLock bloqueo(carpeta);
    if (!bloqueo.toma(&error)) {
        messages.stop(error);
        return 1;
    }

    kalto::Database db;
    if (!db.open(carpeta, &error)) {
        messages.stop(QStringLiteral("No se pudo abrir la carpeta de datos %1.\n\n%2").arg(nativa, error));
        return 1;
    }

    kalto::frmKALTO ventana(db, messages);
    if (!ventana.load(&error)) {
        messages.stop(QStringLiteral("No se pudieron leer las tablas de la carpeta de datos %1.\n\n%2").arg(nativa, error));
        return 1;
    }
    kalto::installUserGuideShortcut(&ventana, messages);
    ventana.show();
    // A table that could not be packed at opening (a full disk) is said once, over the window.
    if (const QString aviso = db.notice(); !aviso.isEmpty()) messages.exclamation(aviso);
    return app.exec();
}

#include "app/ui/SpanishTranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace kalto {

namespace {

// Consulted before Qt's catalogue: the edit menus say "Eliminar", as the Spanish desktop
// programs do, where Qt's catalogue says "Borrar".
class OwnWording : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override {
        const QByteArrayView ctx(context);
        if (QByteArrayView(sourceText) == "Delete" && (ctx == "QLineEdit" || ctx == "QWidgetTextControl"))
            return QStringLiteral("Eliminar");
        return QString();
    }
};

}  // namespace

bool installSpanishTranslation(QCoreApplication& app) {
    // Installed once per application, however often it is asked for.
    const char* const installed = "kaltoSpanishTranslation";
    if (app.property(installed).isValid()) return app.property(installed).toBool();
    auto* qt = new QTranslator(&app);
    const QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                              QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    bool found = false;
    for (const QString& folder : folders)
        if ((found = qt->load(QStringLiteral("qtbase_es"), folder))) break;
    if (found) QCoreApplication::installTranslator(qt);
    else delete qt;
    // The program's own catalogue, embedded in the executable: the print dialog's texts Qt's
    // catalogue leaves in English. Installed after Qt's, so it is consulted first.
    auto* own = new QTranslator(&app);
    if (own->load(QStringLiteral(":/kalto/kalto_es.qm"))) QCoreApplication::installTranslator(own);
    else delete own;
    QCoreApplication::installTranslator(new OwnWording(&app));
    app.setProperty(installed, found);
    return found;
}

}  // namespace kalto

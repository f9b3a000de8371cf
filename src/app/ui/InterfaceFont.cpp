#include "app/ui/InterfaceFont.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

#include <algorithm>

namespace kalto {

QString chooseInterfaceFamily(const QStringList& installed,
                              const std::function<bool(const QString&)>& fixedPitch) {
    static const QStringList preferred{QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                                       QStringLiteral("Liberation Sans"), QStringLiteral("Cantarell"),
                                       QStringLiteral("Arial")};
    for (const QString& family : preferred)
        for (const QString& name : installed)
            if (name.compare(family, Qt::CaseInsensitive) == 0 && !fixedPitch(name)) return name;
    static const QStringList notPlainSans{QStringLiteral("mono"), QStringLiteral("serif"),
                                          QStringLiteral("symbol"), QStringLiteral("emoji")};
    for (const QString& name : installed) {
        if (fixedPitch(name)) continue;
        const bool plain = std::none_of(notPlainSans.begin(), notPlainSans.end(), [&](const QString& word) {
            return name.contains(word, Qt::CaseInsensitive) &&
                   !name.contains(QStringLiteral("sans serif"), Qt::CaseInsensitive);
        });
        if (plain) return name;
    }
    for (const QString& name : installed)
        if (!fixedPitch(name)) return name;
    return {};
}

QString applyInterfaceFont(QApplication& app) {
    const QString family = chooseInterfaceFamily(
        QFontDatabase::families(), [](const QString& name) { return QFontDatabase::isFixedPitch(name); });
    if (family.isEmpty()) return family;
    QFont font = app.font();
    font.setFamilies({family});
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
    return family;
}

}  // namespace kalto

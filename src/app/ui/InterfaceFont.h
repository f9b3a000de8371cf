#pragma once
// The typeface of the whole interface: a proportional sans family, never a monospace one,
// whatever the machine's default happens to be.

#include <QString>
#include <QStringList>

#include <functional>

class QApplication;

namespace kalto {

// The first of the preferred sans families ("DejaVu Sans", "Noto Sans", "Liberation Sans",
// ...) that is installed; else the first installed family that is not fixed pitch and does
// not call itself mono, serif, symbol or emoji; else the first one that is not fixed pitch.
// Empty when every family is fixed pitch.
QString chooseInterfaceFamily(const QStringList& installed,
                              const std::function<bool(const QString&)>& fixedPitch);

// Sets the application's font to the family chosen among those QFontDatabase knows, keeping
// the default size. Returns the family, or an empty string when none fits (Qt's default stays).
QString applyInterfaceFont(QApplication& app);

}  // namespace kalto

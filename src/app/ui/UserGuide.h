#pragma once
// The user's guide (guia.html): F1 on the main window opens it in the desktop's browser.

#include <QString>
#include <QStringList>

class QWidget;

namespace kalto {

class Messages;

// Where the guide may be, in order: installed (<prefix>/share/doc/kalto beside the
// executable's bin/), then in the source tree when the program runs from its build folder
// (docs/ one level above the executable).
QStringList userGuideCandidates(const QString& executableFolder);

// Makes F1 on `window` open the first guide found; when there is none, or no program can
// show it, says so in Spanish naming where the guide was looked for.
void installUserGuideShortcut(QWidget* window, Messages& messages);

}  // namespace kalto

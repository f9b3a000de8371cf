#pragma once
// The user's guide (guia.html): F1 on the main window opens it.

#include <QString>
#include <QStringList>

class QWidget;

namespace kalto {

class Messages;

// Where the guide may be, in order: installed (<prefix>/share/doc/kalto beside the
// executable's bin/), then in the source tree when the program runs from its build folder
// (docs/ one level above the executable).
QStringList userGuideCandidates(const QString& executableFolder);

// Makes F1 on `window` open the first guide found in the desktop's browser, or in a window of
// the program when the desktop has no program to open it; when there is no guide, says so in
// Spanish naming where it was looked for.
void installUserGuideShortcut(QWidget* window, Messages& messages);

}  // namespace kalto

#pragma once
// The paper printed documents are laid out on: the one the locale's territory uses.

#include <QLocale>

namespace kalto {

// Letter in the territories that use it (the United States, Canada, Mexico, part of Central
// and South America, the Philippines), A4 everywhere else.
bool usesLetterPaper(const QLocale& locale);

}  // namespace kalto

#pragma once
// Readable failures: gtest prints a QString (and a list of them) as its text.

#include <QString>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

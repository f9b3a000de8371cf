#include "core/LetterCase.h"

#include "data/Dbf.h"

namespace kalto {

namespace {

bool storable(QChar c) { return toCp1252(QString(c), nullptr, nullptr); }

QChar change(QChar c, bool upper) {
    const QChar changed = upper ? c.toUpper() : c.toLower();
    if (changed == c) return c;
    // A letter the tables hold stays one they hold.
    if (storable(c) && !storable(changed)) return c;
    return changed;
}

}  // namespace

QString changeLetterCase(const QString& text, bool upper) {
    QString out = text;
    for (QChar& c : out) c = change(c, upper);
    return out;
}

QChar upperCase(QChar c) { return change(c, true); }

}  // namespace kalto

#include "annexes/ImportText.h"

#include "data/Dbf.h"

#include <QFileInfo>

namespace kalto {

namespace {

// Whether Windows-1252 holds the code point `c`.
bool inCp1252(char32_t c) {
    if (c < 0x80) return true;
    if (c > 0xFFFF) return false;
    QByteArray ignored;
    return toCp1252(QString(QChar(char16_t(c))), &ignored, nullptr);
}

}  // namespace

QStringList importLines(const QByteArray& bytes) {
    const QString text = decodeText(bytes);
    if (text.isEmpty()) return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) lines.removeLast();  // a final line ending begins no line
    return lines;
}

QByteArray errorFileBytes(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines) {
        QByteArray bytes;
        if (!toCp1252(line, &bytes, nullptr)) {
            bytes.clear();
            for (const char32_t c : line.toUcs4()) {
                QByteArray one;
                if (c <= 0xFFFF && toCp1252(QString(QChar(char16_t(c))), &one, nullptr))
                    bytes += one;
                else
                    bytes += '?';
            }
        }
        out += bytes;
        out += "\r\n";
    }
    return out;
}

QString characterCode(char32_t c) {
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

char32_t firstNonCp1252(const QString& text) {
    QByteArray ignored;
    if (toCp1252(text, &ignored, nullptr)) return 0;
    for (const char32_t c : text.toUcs4())
        if (!inCp1252(c)) return c;
    return 0;
}

}  // namespace kalto

#include "annexes/ImportText.h"

#include "data/Dbf.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

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
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        text = utf16(QByteArrayView(bytes).sliced(2));
    } else {
        QByteArrayView data(bytes);
        if (data.startsWith("\xEF\xBB\xBF")) data = data.sliced(3);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8(data);
        if (utf8.hasError()) text = fromCp1252(data.constData(), int(data.size()));
    }
    // Accents typed apart from their letters (as some systems write UTF-8) joined to them.
    text = text.normalized(QString::NormalizationForm_C);
    if (text.endsWith(QChar(0x1A))) text.chop(1);

    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
        start = i + 1;
    }
    if (start < n) lines << text.mid(start);
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

QString fileInFolder(const QString& folder, const QString& name) {
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(name))) return dir.filePath(name);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& f : files)
        if (f.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(f);
    return dir.filePath(name);
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

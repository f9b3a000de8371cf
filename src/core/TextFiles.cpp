#include "core/TextFiles.h"

#include "data/Dbf.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace kalto {

QString fileInFolder(const QString& folder, const QString& name) {
    const QDir dir(folder);
    const QStringList files = dir.entryList(QDir::Files | QDir::Readable);
    for (const QString& f : files)
        if (f.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(f);
    return dir.filePath(name);
}

QString considerationsFile(const QString& folder) {
    return fileInFolder(folder, QStringLiteral("CONSIDERA.TXT"));
}

QString decodeText(const QByteArray& bytes) {
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
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

bool readTextFile(const QString& path, QString* text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    if (text) *text = decodeText(bytes);
    return true;
}

}  // namespace kalto

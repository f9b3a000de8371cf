#include "print/Considerations.h"

#include "data/Dbf.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace kalto {

QString considerationsFile(const QString& folder) {
    const QString name = QStringLiteral("CONSIDERA.TXT");
    const QDir dir(folder);
    const QStringList files = dir.entryList(QDir::Files | QDir::Readable);
    for (const QString& f : files)
        if (f.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(f);
    return dir.filePath(name);
}

QString decodeText(const QByteArray& bytes) {
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(data);
    if (utf8.hasError()) text = fromCp1252(data.constData(), int(data.size()));
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

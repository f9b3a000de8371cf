#pragma once
// Table files assembled byte by byte (without the codec, so that the codec is tested against the
// layout), and the independent reader (Debian's python3-dbfread) run on a file.

#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include "support/FileBytes.h"
#include "support/PrintQString.h"

namespace kalto::test {

// Field images: text padded on the right, numbers on the left.
inline QByteArray left(const QByteArray& s, int width) { return s + QByteArray(width - s.size(), ' '); }
inline QByteArray right(const QByteArray& s, int width) { return QByteArray(width - s.size(), ' ') + s; }

struct RawField { QByteArray name; char type; int width; int decimals = 0; };

// A dBase III table: `counted` records in the header (-1: as many as given), the language-driver
// byte `language`, the records as given and the end mark.
inline QByteArray rawTable(const QList<RawField>& fields, const QList<QByteArray>& records, int counted = -1,
                           char language = 0x03) {
    QByteArray descriptors;
    int recordLength = 1;
    for (const RawField& f : fields) {
        descriptors += f.name.leftJustified(11, '\0') + f.type + QByteArray(4, '\0') + char(f.width) +
                       char(f.decimals) + QByteArray(14, '\0');
        recordLength += f.width;
    }
    const int headerLength = 32 + int(descriptors.size()) + 1;
    const quint32 n = counted < 0 ? quint32(records.size()) : quint32(counted);
    const char top[] = {3, 124, 5, 17, char(n), char(n >> 8), char(n >> 16), char(n >> 24),
                        char(headerLength), char(headerLength >> 8), char(recordLength), char(recordLength >> 8)};
    QByteArray b = QByteArray(top, 12) + QByteArray(17, '\0') + language + QByteArray(2, '\0') + descriptors + '\x0D';
    for (const QByteArray& r : records) b += r;
    return b + '\x1A';
}

// What dbfread reads in files given as "path" or "path=encoding" (the encoding overrides the code
// page it would take from the language-driver byte; it reads no .cpg file): one object per file,
// {"ok", "encoding", "fields", "records"}. Empty when python3 or its dbfread module is missing.
inline QJsonArray dbfread(const QStringList& files) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral(KALTO_SOURCE_DIR "/tests/data/dbfread_check.py")} + files);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

inline QJsonArray records(const QJsonValue& read) { return read.toObject().value(QStringLiteral("records")).toArray(); }

}  // namespace kalto::test

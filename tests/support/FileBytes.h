#pragma once
// The bytes of files, read and written behind the program's back, for tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace kalto::test {

// The file's bytes; "<no existe>" when it cannot be read, so that a missing file never equals an
// empty one.
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

// Writes `bytes` as the whole file; false when it could not.
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Every file of a folder, by name, with its bytes: one value to compare a whole folder with.
inline QByteArray folderBytes(const QString& folder) {
    QByteArray all;
    const QDir dir(folder);
    for (const QString& f : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        all += f.toUtf8() + '\n' + readFile(dir.filePath(f)) + '\n';
    return all;
}

}  // namespace kalto::test

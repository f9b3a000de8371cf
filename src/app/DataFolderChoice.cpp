#include "app/DataFolderChoice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kalto {

namespace {

const QString kConsiderations = QStringLiteral("CONSIDERA.TXT");

// The files a data folder is filled with: its tables and the considerations text.
QStringList deliveredFiles(const QString& folder) {
    QDir dir(folder);
    QStringList files = dir.entryList({QStringLiteral("*.DBF"), QStringLiteral("*.dbf")},
                                      QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (dir.exists(kConsiderations)) files.append(kConsiderations);
    return files;
}

bool holdsTables(const QString& folder) {
    return !folder.isEmpty() &&
           !QDir(folder).entryList({QStringLiteral("*.DBF"), QStringLiteral("*.dbf")}, QDir::Files).isEmpty();
}

QString absolute(const QString& folder) { return QDir::cleanPath(QDir(folder).absolutePath()); }

}  // namespace

DataFolderChoice DataFolderChoice::choose(const DataFolderInputs& in) {
    if (!in.variable.isEmpty()) return {absolute(in.variable), {}};
    const bool installed = holdsTables(in.installedFolder);
    if (in.executableWritable && (holdsTables(in.executableFolder) || !installed))
        return {absolute(in.executableFolder), {}};
    if (installed && !in.userFolder.isEmpty())
        return {absolute(in.userFolder), absolute(in.installedFolder)};
    return {absolute(in.executableFolder), {}};
}

DataFolderInputs DataFolderChoice::currentInputs() {
    DataFolderInputs in;
    in.variable = qEnvironmentVariable("KALTO_DATOS");
    in.executableFolder = QCoreApplication::applicationDirPath();
    in.executableWritable = QFileInfo(in.executableFolder).isWritable();
    in.installedFolder = QDir::cleanPath(in.executableFolder + QStringLiteral("/../share/kalto"));
    in.userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return in;
}

bool DataFolderChoice::prepare(QString* error) const {
    if (semilla.isEmpty()) return true;
    const QString nativa = QDir::toNativeSeparators(carpeta);
    if (!QDir().mkpath(carpeta)) {
        if (error) *error = QStringLiteral("No se pudo crear la carpeta de datos %1.").arg(nativa);
        return false;
    }
    QDir destino(carpeta);
    const QStringList present = destino.entryList(QDir::Files);
    for (const QString& name : deliveredFiles(semilla)) {
        if (present.contains(name, Qt::CaseInsensitive)) continue;
        const QString target = destino.filePath(name);
        QFile::remove(target + QStringLiteral(".tmp"));
        if (!QFile::copy(QDir(semilla).filePath(name), target + QStringLiteral(".tmp")) ||
            !QFile::setPermissions(target + QStringLiteral(".tmp"),
                                   QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther) ||
            !QFile::rename(target + QStringLiteral(".tmp"), target)) {
            QFile::remove(target + QStringLiteral(".tmp"));
            if (error)
                *error = QStringLiteral("No se pudo copiar %1 a la carpeta de datos %2.")
                             .arg(QDir::toNativeSeparators(QDir(semilla).filePath(name)), nativa);
            return false;
        }
    }
    return true;
}

}  // namespace kalto

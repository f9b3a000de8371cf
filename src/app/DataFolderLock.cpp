#include "app/DataFolderLock.h"

#include <QDir>

namespace kalto {

DataFolderLock::DataFolderLock(const QString& carpeta)
    : carpeta_(carpeta), lock_(std::make_unique<QLockFile>(QDir(carpeta).filePath(kArchivo))) {
    // A lock is never stale while its program runs, however long: only a dead owner frees it.
    lock_->setStaleLockTime(0);
}

DataFolderLock::~DataFolderLock() = default;

bool DataFolderLock::tomado() const { return lock_->isLocked(); }

bool DataFolderLock::toma(QString* error) {
    if (lock_->isLocked()) return true;
    if (lock_->tryLock(0)) return true;
    const QString carpeta = QDir::toNativeSeparators(QDir(carpeta_).absolutePath());
    QString mensaje;
    switch (lock_->error()) {
    case QLockFile::LockFailedError:
        mensaje = QStringLiteral("El programa KALTO ya se está ejecutando con la carpeta de datos %1. "
                                 "Ciérralo antes de abrirlo de nuevo.")
                      .arg(carpeta);
        break;
    case QLockFile::PermissionError:
        mensaje = QStringLiteral("No se puede escribir en la carpeta de datos %1: no se pudo crear el archivo %2.")
                      .arg(carpeta, kArchivo);
        break;
    default:
        mensaje = QStringLiteral("No se pudo apartar la carpeta de datos %1 para este programa.").arg(carpeta);
        break;
    }
    if (error) *error = mensaje;
    return false;
}

}  // namespace kalto

#pragma once
// One program per data folder: a lock file "KALTO.lck" in the folder, held while the
// program runs. A lock left by a program that is no longer running is taken over.

#include <QLockFile>
#include <QString>

#include <memory>

namespace kalto {

class DataFolderLock {
public:
    static inline const QString kArchivo = QStringLiteral("KALTO.lck");

    explicit DataFolderLock(const QString& carpeta);
    ~DataFolderLock();

    // True when this program now holds the folder. Otherwise *error holds the Spanish
    // message to show (another copy is running there, or the lock could not be written).
    bool toma(QString* error);
    bool tomado() const;

private:
    QString carpeta_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace kalto

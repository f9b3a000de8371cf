#pragma once
// The drive letters of the program (A: the delivery disk, C: the import files and their
// logs) and the one place that copies files to a drive.
//
// A: is $KALTO_UNIDAD_A when set; otherwise the single removable volume mounted under
// /media/<user> or /run/media/<user> when there is exactly one; otherwise the folder "A"
// inside the data folder (created when needed). C: is $KALTO_UNIDAD_C when set, otherwise
// the user's home folder.
//
// A copy writes the file under a temporary name beside the target, flushes it to the disk,
// then renames it over the target: a full or write-protected disk, a pulled disk or a read
// error leaves the target as it was (or absent) and never a half-written file under the
// target's name. Every step is checked; a failure names the file and the reason in Spanish.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kalto {

// What decides where the drive letters lead; read from the machine by fromSystem().
struct DriveSettings {
    QString unidadA;             // $KALTO_UNIDAD_A; empty when unset
    QString unidadC;             // $KALTO_UNIDAD_C; empty when unset
    QString home;                // the user's home folder
    QString user;                // the user's login name
    QStringList mountedVolumes;  // root folders of the mounted volumes

    static DriveSettings fromSystem();
};

class Drives {
public:
    explicit Drives(const QString& dataFolder, DriveSettings settings = DriveSettings::fromSystem());

    // The folder drive `letter` ('A' or 'C', either case) leads to, made when it is the
    // data folder's "A". Empty, with a Spanish reason in *error, when there is none.
    QString folder(QChar letter, QString* error = nullptr) const;
    // A file of the drive: folder(letter) + "/" + name. Empty when the drive has no folder.
    QString filePath(QChar letter, const QString& name, QString* error = nullptr) const;
    // How the user is told where a drive leads: "A: (/media/ana/KALTO)".
    QString describe(QChar letter) const;

    struct Failure {
        QString file;    // the name of the file on the drive
        QString reason;  // Spanish, without a final period
    };

    // Copies `source` to the drive as `targetName` (a bare file name), overwriting a file of
    // that name (and any spelling of it that differs only in letter case). False and the
    // failure when the copy did not happen; the target is then as it was before.
    bool copyFile(const QString& source, QChar letter, const QString& targetName, Failure* failure = nullptr) const;

    // Copies each (source, target name) in order; a failed copy does not stop the others.
    // Returns the failures (none when every file was written).
    QList<Failure> copyFiles(const QList<std::pair<QString, QString>>& files, QChar letter) const;

    // The message that tells the user which files could not be written to the drive and why.
    QString failureMessage(const QList<Failure>& failures, QChar letter) const;

    // The steps of a copy; tests make one of them fail as the system would (an errno value).
    enum class Step { OpenSource, ReadSource, CreateTemporary, Write, Flush, Close, Rename };
    using Fault = std::function<int(Step step, const QString& targetName)>;
    void setFault(Fault fault) { fault_ = std::move(fault); }

private:
    QString dataFolder_;
    DriveSettings settings_;
    Fault fault_;
};

// The Spanish reason for a system error number met while writing to (or reading from) a disk.
QString driveErrorReason(int errorNumber);

}  // namespace kalto

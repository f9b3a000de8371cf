#pragma once
// Taking a request back from a disk: the seven request tables written by the disk generation
// (imdir, imrlegal, impects, improd, imserv, imanexos, imdint) are read from drive A: or
// another folder, each checked to be a whole table file with the columns of its table, shown
// to the user (RFC, company name, rows of each table) and, once confirmed, put in place of
// the request of the data folder.
//
// Nothing is replaced unless every table passed its check, the rows being typed were stored,
// the request in the data folder was kept in a dated folder (respaldos/AAAAMMDD-HHMMSS beside
// the tables) and every new file was written in the data folder under a temporary name. Each
// table is then renamed over its file and reopened while the window's data sources stay open
// on it (DataSource::replaceTable), and the window is bound again.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kalto {

class Database;
class Drives;
class Messages;

// What the window does for the restore.
struct RestoreHooks {
    // Stores the rows being typed and the header; false (after its message) stops the restore.
    std::function<bool()> storePending;
    // Binds the data sources again and shows the restored request.
    std::function<void()> rebind;
};

// What a folder holds of a request.
struct RestoreFound {
    struct Table {
        QString table;  // as the table catalogue names it ("imdir")
        QString path;   // the file in the folder
        int rows = 0;   // live records
    };
    QString folder;
    QString refused;    // why the folder's request cannot be taken (names the file); empty when it can
    QList<Table> tables;  // in the order of the request tables
    QString rfc;
    QString companyName;
    bool ok() const { return refused.isEmpty(); }
};

enum class RestoreOutcome {
    Refused,    // a table is missing, damaged or of other columns (message shown): nothing replaced
    Declined,   // the user answered No
    NotStored,  // a row being typed could not be stored: nothing replaced
    Failed,     // the request could not be kept or replaced (message shown)
    Restored    // the seven tables are in the data folder
};

class RequestRestore {
public:
    RequestRestore(Database& db, Messages& messages, RestoreHooks hooks = {});

    // Reads the request tables of `folder` (file names without regard to case). Shows nothing.
    static RestoreFound inspect(const QString& folder);
    // The question put to the user about what `found` holds.
    static QString question(const RestoreFound& found);

    // The whole restore from `folder`: check, question (No by default), copy kept, replace.
    RestoreOutcome restore(const QString& folder);
    // The folder drive A: leads to, or empty after a message.
    QString driveA(const Drives& drives);

    // Where the last restore kept the request it replaced.
    QString backupFolder() const { return backupFolder_; }

    static const QString kBackups;  // "respaldos"

private:
    bool keepCurrent(QString* error);
    bool replaceAll(const RestoreFound& found, QString* error);

    Database& db_;
    Messages& messages_;
    RestoreHooks hooks_;
    QString backupFolder_;
};

}  // namespace kalto

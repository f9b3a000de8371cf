#pragma once
// Taking a request back from a disk: the seven request tables written by the disk generation
// (imdir, imrlegal, impects, improd, imserv, imanexos, imdint) are read from drive A: or
// another folder, each checked to be a whole table file with the columns of its table, shown
// to the user (RFC, company name, rows of each table) and, once confirmed, put in place of
// the request of the data folder.
//
// A disk file is judged by what the system says it is and by its header before the rest of it
// is read (DbfTable::inspect): only a regular file whose size is what its header declares is
// read, and only once. A table is refused by name when it is missing, present under
// two spellings, damaged, of other columns, or when its rows break what the program relies on:
// imdint holds exactly one row, annex and product identifiers fit in 16 bits, no two annex rows
// share an ID_PROD.
//
// Nothing is replaced unless every table passed its check, the rows being typed were stored,
// the request in the data folder was kept in a dated folder (respaldos/AAAAMMDD-HHMMSS beside
// the tables) and every new table was written in the data folder: the rows of each disk table,
// read in the code page the disk declares, are written into a new file in the code page the
// data folder's table is read in (its .cpg, if it has one), with the data folder's usual
// permissions, and read back as the data folder will read it. Each table is then renamed over
// its file and reopened while the window's data sources stay open on it
// (DataSource::replaceTable). When one of them fails, every table already replaced is put back
// from the copy kept, so the request is all restored or not at all; the window is bound again.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace kalto {

class Database;
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
        QList<QVariantList> records;  // the live records, by field of the table catalogue
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
    Failed,     // the request could not be kept or replaced (message shown); what was replaced was put back
    Restored    // the seven tables are in the data folder
};

// Copies the request's tables, each with the .cpg it is read in, into respaldos/<name> of the data
// folder: written under a hidden name first and renamed once whole, so that a copy seen is a
// whole one. False with the reason (a lower-case clause) when it could not be made.
bool keepRequestTables(const Database& db, const QString& name, QString* error);

class RequestRestore {
public:
    RequestRestore(Database& db, Messages& messages, RestoreHooks hooks = {});

    // Reads the request tables of `folder` (file names without regard to case). Shows nothing.
    static RestoreFound inspect(const QString& folder);
    // The question put to the user about what `found` holds.
    static QString question(const RestoreFound& found);

    // The whole restore from `folder`: check, question (No by default), copy kept, replace.
    RestoreOutcome restore(const QString& folder);

    // Where the last restore kept the request it replaced.
    QString backupFolder() const { return backupFolder_; }

    static const QString kBackups;  // "respaldos"

private:
    bool keepCurrent(QString* error);
    bool writeNew(const RestoreFound& found, const QString& staging, QString* error);
    bool replaceAll(const RestoreFound& found, const QString& staging, QString* error, bool* unchanged);
    bool putBack(int upTo, const QString& staging, QString* error);

    Database& db_;
    Messages& messages_;
    RestoreHooks hooks_;
    QString backupFolder_;
};

}  // namespace kalto

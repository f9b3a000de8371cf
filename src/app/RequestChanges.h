#pragma once
// "Cambios desde el último disco": the disk generation keeps a copy of the request tables it
// wrote (respaldos/disco-AAAAMMDD-HHMMSS in the data folder, the three newest kept); the
// comparison reads the newest copy against the tables of the data folder and gives, table by
// table, the rows added, removed and changed (one change per cell, with its old and new value).
//
// Rows are matched by what identifies them: the identifier of an annex row or a product
// (ID_PROD), the kind and RFC of a company, the code of a service; the header (imdint) and the
// legal representative are one row each; addresses by their kind (fiscal, plant). First the rows
// whose every value is the same are paired whatever their order, so that a row moved is no
// change; then each new row left is paired, as a changed row, with the old row left of the same
// identifier that is most alike (the first when several are as alike); the rest were removed or added.
//
// Both sides are read as the tables hold them (DbfTable), without SQL: the current table from
// the data folder's Database, the kept one from its file; the kept rows are remembered by a hash
// of their values only, so that two tables of 100,000 annex rows are compared in one pass each.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

namespace kalto {

class Database;
class MainDataSources;
struct RequestFinding;

struct RequestChange {
    enum class Kind { Added, Removed, Changed };
    int page = -1;        // the tab page where the row is entered (-1: the header)
    int grid = -1;        // the RequestGrid showing the row (-1: the header)
    QString table;        // "imanexos"
    QString key;          // how the user knows the row: its identifying values ("3 12345678 TELA")
    Kind kind = Kind::Changed;
    QString column;       // the field changed ("FRACCION"); empty when a whole row was added or removed
    QVariant before;      // the kept value (Changed)
    QVariant after;       // the current value (Changed)
    int record = -1;      // the row's record number from 0: in the current table, or in the kept one (Removed)

    bool operator==(const RequestChange&) const = default;
};

class RequestChanges {
public:
    // Keeps a copy of the request tables of `db` as they are now (they were just written to a
    // disk), under respaldos/disco-<date>-<time> of the data folder, written under another name
    // first and renamed when whole; only the three newest such copies are kept. False with a
    // Spanish reason in *error (and no partial copy left) when it cannot.
    static bool keepDiskCopy(const Database& db, QString* error);
    // The folder of the newest copy kept in `dataFolder`, or empty when no disk was written.
    static QString lastDiskCopy(const QString& dataFolder);
    // When the disk of a copy was written, by the copy's folder name (invalid for another name).
    static QDateTime diskCopyTime(const QString& copyFolder);

    // The changes from the tables kept in `keptFolder` to those of `db`, ordered by page, then
    // by table, then as the current rows come, removed rows last. False with a Spanish reason
    // in *error when a kept table cannot be read.
    static bool compare(const Database& db, const QString& keptFolder, QList<RequestChange>* changes,
                        QString* error);

    // The changes as findings of the main window: the page, the grid (or header field), the row
    // the grid shows the current record in (an input: its row under its export product, whose
    // row is `parentRow`), the column of the changed cell, and the text of changeText().
    static QList<RequestFinding> findings(const QList<RequestChange>& changes, MainDataSources& sources,
                                          Database& db);

    static const QString kCopias;      // "disco": the prefix of the copies' folders
    static const QString kMsgSinDisco;  // no disk has been written from this data folder
    static const QString kMsgSinCambios;
    static const QString kMsgCopiaNoGuardada;  // %1 the reason
    static const int kKeptDisks = 3;
};

// The text of one change. `caption` is what the user knows the changed column by (the grid's
// caption; empty for a whole row).
QString changeText(const RequestChange& change, const QString& caption);
// A value as the text of a change shows it ("(vacío)" for none).
QString changeValueText(const QVariant& value);

}  // namespace kalto

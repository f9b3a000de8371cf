#pragma once
// dBase III+ table files: reading, appending, rewriting in place, deleting and packing.
//
// The whole file is read into memory when it is opened; every change is written to the
// file before the call returns and kept in the in-memory copy, so reads never touch the
// disk again. Text is stored in the file's own code page (Windows-1252 in the tables this
// program creates) and is Unicode (QString) everywhere else.
//
// Files beside a table NAME.DBF:
//  - NAME.cpg (written by other programs) names the code page of the text; it takes precedence
//    over the language-driver byte of the header.
//  - NAME.DBF.jnl, the journal, exists while a record is rewritten in place (an update or a
//    delete; until the end of the transaction inside one), so that a process killed in the
//    middle never leaves a record half old, half new: opening the table puts the old bytes back.
//    Layout (little-endian): a 32-byte header ("KALTOJNL", version 1, header length, record
//    length, record count when the journal began, 0, FNV-1a of the 28 bytes before), then one
//    entry per write: offset (8 bytes), length (4), the old bytes, the new bytes, FNV-1a of the
//    entry. An entry is applied only when the file holds, at each of its bytes, the old or the new
//    byte; a journal cut short is applied up to its last whole entry, one that does not match the
//    file is discarded. The journal is not synced to disk: it guards against a killed process
//    (whose writes the system keeps), not against a power cut, like every other write here.
//  - NAME.DBF.AAAAMMDD-HHMMSS.bak, a copy of the file as it was before opening repaired it (see
//    open()) or before a write over records the header counts past an end mark; a second copy in
//    the same second adds -2, -3... The three newest copies of a table are kept, older ones removed.

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

namespace kalto {

// A dBase IV float column ('F', text like a numeric one) is read and written as Numeric; the file
// keeps its own letter.
enum class DbfType : char { Character = 'C', Numeric = 'N', Logical = 'L', Date = 'D' };

// The code pages a table's text may be in: from the language-driver byte 29 (0x01 = 437,
// 0x02 = 850, 0x03 = 1252 and the other bytes that mean one of them, 0 = Windows-1252) or a .cpg
// file beside the table. Any other is refused when the table is opened.
enum class DbfCodePage { Windows1252, Dos437, Dos850, Latin1, Utf8 };
QString codePageName(DbfCodePage page);  // "Windows-1252", "MS-DOS 850", ...

// How a table is opened: ReadOnly never writes the file (not even the repairs of open()).
enum class DbfAccess { ReadWrite, ReadOnly };

struct DbfField {
    QString name;      // at most 10 ASCII characters
    DbfType type = DbfType::Character;
    int width = 1;     // bytes in the record
    int decimals = 0;  // numeric fields only
};

// Why a system call failed (an errno), in Spanish.
QString systemReason(int err);

// The .cpg file beside a table (NAME.cpg for NAME.DBF) as the table reader finds it, or empty.
QString cpgBeside(const QString& path);

// Windows-1252 <-> Unicode. toCp1252 fails (returns false) on a character the code page
// cannot hold, naming it in *error.
QString fromCp1252(const char* bytes, int length);
bool toCp1252(const QString& text, QByteArray* out, QString* error);

class DbfTable {
public:
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Opens the file for reading and writing (read only when it cannot be written).
    // A journal left by a killed process is applied first. The records end at the header's
    // count or at an end mark (0x1A) met before it. What an interrupted insert leaves is
    // repaired, after a copy of the file is kept: a whole record past the count is counted, a
    // torn last record is dropped. Anything else that disagrees (header length, deletion flags,
    // records missing, other bytes after the records) gives nullptr and a Spanish message in
    // *error naming the file and what is wrong with it, and the file is left as it is.
    // Before reading, the file's status decides: a folder, a FIFO, a device (a link to one
    // included) or a file far bigger than its header says is refused by name; no more than the
    // header, the records it counts, one record more and the end mark is ever read. Records the
    // header counts after an end mark are never written over before a copy of the file is kept.
    static std::unique_ptr<DbfTable> open(const QString& path, QString* error,
                                          DbfAccess access = DbfAccess::ReadWrite);
    // Checks a table as a disk carries it, reading its header only: a regular file (a link to one
    // is followed) whose size is that of its header and the records it counts, and at most the
    // end mark. False with a Spanish message naming the file otherwise.
    static bool inspect(const QString& path, QString* error);
    // Writes a new empty table (overwriting any file of that name).
    static bool create(const QString& path, const QList<DbfField>& fields, QString* error);
    // Rewrites the file without its deleted records (a new file renamed over the old one).
    // Must not be called while a DbfTable is open on it.
    static bool pack(const QString& path, QString* error);

    QString path() const { return path_; }
    bool isReadOnly() const { return readOnly_; }
    DbfCodePage codePage() const { return codePage_; }
    const QList<DbfField>& fields() const { return fields_; }
    int fieldIndex(const QString& name) const;  // without regard to case; -1 when absent

    int recordCount() const { return count_; }  // physical records, deleted ones included
    int deletedCount() const { return deleted_; }
    bool isDeleted(int recno) const;             // recno counts from 0; true when out of range
    // QString (trailing blanks dropped, leading ones kept), qint64 for a numeric field without
    // decimals, double with decimals, bool, QDate; a null QVariant for a blank field, a numeric
    // field of asterisks, an unreadable number or date, and a logical '?'.
    QVariant value(int recno, int field) const;
    QVariantList record(int recno) const;

    // Values are given per field; a missing trailing value is NULL. A value that does not
    // fit its field (or a character the file's code page cannot hold) is refused with a
    // message, nothing is written. update and remove refuse a record that does not exist or
    // is already deleted; they go through the journal.
    bool append(const QVariantList& values, int* recno, QString* error);
    bool update(int recno, const QVariantList& values, QString* error);
    bool remove(int recno, QString* error);

    // Live record numbers whose integer field `field` equals `key` (built on first use and
    // kept current by every write). nullptr when the field is not an integer field. The list
    // stays valid until the next write to the table.
    const QList<int>* lookup(int field, qint64 key);
    bool isIntegerField(int field) const;

    // Closes the file: the copy in memory stays readable and every write is refused. For a
    // table whose file was replaced by a pack, or whose folder was closed, so that a write
    // through an old pointer never lands in a file nobody reads.
    void closeFile();

    // Increases with every change of the file, an undo included; lets readers know their copy
    // is stale.
    quint64 changeCount() const { return changes_; }

    // Transactions of the SQL engine. From beginTransaction() to commit() or rollback() every
    // write is also remembered, so that rollback() (or rollbackTo() a savepoint) takes the table
    // back, in memory, in the file and in its indexes, to where it was. The journal of the
    // updates and deletes stays until the transaction ends: a process killed meanwhile leaves
    // them undone. Inserts are not journalled (they are whole once counted), so that they stay
    // as fast as outside a transaction.
    void beginTransaction();
    bool inTransaction() const { return inTransaction_; }
    void setSavepoint(int level);      // marks this point as savepoint `level` (from 0)
    void releaseSavepoint(int level);  // forgets savepoint `level` and those above it
    // Undoes what followed savepoint `level`; level -1 (the savepoint that began the transaction)
    // undoes everything since beginTransaction(), the transaction going on.
    bool rollbackTo(int level, QString* error);
    bool commit(QString* error);
    bool rollback(QString* error);

private:
    struct Undo {
        enum Kind : char { Record, Append, Date } kind;
        int recno;         // Record, Append
        QByteArray bytes;  // Record: the whole record before; Date: header bytes 1-3 before
    };

    DbfTable() = default;
    bool encode(const QVariantList& values, QByteArray* record, QString* error) const;
    bool writeAt(qint64 offset, const char* data, qint64 size, QString* error);
    bool keepTail(QString* error);  // the copy kept before writing over records past an end mark
    bool checkWritable(int recno, bool existing, QString* error) const;  // existing: recno must be a live record
    bool stampDate();  // puts today's date into header_; true when it changed
    void touchDate();  // stamps the date in the file too (best effort), remembering the old one
    bool integerKey(int recno, int field, qint64* key) const;
    void indexRecord(int recno, bool add);
    void remember(Undo::Kind kind, int recno, const QByteArray& bytes);
    // Rewrites record `recno` (held in data_) as `record` through the journal.
    bool writeInPlace(int recno, const QByteArray& record, QString* error);
    bool journal(qint64 offset, const QByteArray& before, const QByteArray& after, QString* error);
    void endJournal(bool remove);  // closes the journal, removing it when `remove`
    bool undoTo(qsizetype size, QString* error);
    void setRecord(int recno, const char* bytes);  // in memory, with the index and deleted count

    QString path_;
    int fd_ = -1;
    bool readOnly_ = false;
    bool unkeptTail_ = false;  // records the header counts follow an end mark; no copy kept yet
    DbfCodePage codePage_ = DbfCodePage::Windows1252;
    QList<DbfField> fields_;
    QList<int> offsets_;  // byte offset of each field inside a record
    QByteArray header_;  // the header as in the file: descriptors, count and date
    int headerLength_ = 0;
    int recordLength_ = 0;
    int count_ = 0;
    int deleted_ = 0;
    QByteArray data_;  // the records, count_ * recordLength_ bytes
    quint64 changes_ = 0;
    QHash<int, QHash<qint64, QList<int>>> indexes_;

    bool inTransaction_ = false;
    int startCount_ = 0;                   // record count when the transaction began
    QList<Undo> undo_;                     // what the transaction wrote, oldest first
    QList<QPair<int, qsizetype>> savepoints_;  // level, size of undo_ then; levels increasing
    int journalFd_ = -1;
    qint64 journalSize_ = 0;
};

}  // namespace kalto

#pragma once
// dBase III+ table files: reading, appending, rewriting in place, deleting and packing.
//
// The table is written in parts: CodePages (text in the file's code page), FieldValues (a field's
// bytes and its value), FileAccess (reads, writes, replacing a file, kept copies), Journal,
// DbfIndex (the integer index); Dbf.cpp opens, reads and writes the table, DbfTransaction.cpp
// remembers and undoes what a transaction wrote.
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
//    middle never leaves a record half old, half new: opening the table puts the old bytes back
//    (its layout is described in Journal.h).
//  - NAME.DBF.AAAAMMDD-HHMMSS.bak, a copy of the file as it was before opening repaired it (see
//    open()) or before a write over records the header counts past an end mark; a second copy in
//    the same second adds -2, -3... The three newest copies of a table are kept, older ones removed.

#include "data/CodePages.h"
#include "data/DbfIndex.h"
#include "data/FieldValues.h"
#include "data/FileAccess.h"
#include "data/Journal.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

namespace kalto {

// How a table is opened: ReadOnly never writes the file (not even the repairs of open()).
enum class DbfAccess { ReadWrite, ReadOnly };

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
    // The same value as the query engine takes it (dbf::readSqlValue), without a QVariant; null
    // out of range. Its text stays valid until the next write to the table or use of `buffer`.
    dbf::SqlValue sqlValue(int recno, int field, QByteArray* buffer) const;
    // Asks the processor to start fetching record `recno` (nothing when out of range): a scan
    // calls it one record ahead, so that reading a record does not wait on memory.
    void prefetch(int recno) const;

    // Values are given per field; a missing trailing value is NULL. A value that does not
    // fit its field (or a character the file's code page cannot hold) is refused with a
    // message, nothing is written. update and remove refuse a record that does not exist or
    // is already deleted; they go through the journal.
    bool append(const QVariantList& values, int* recno, QString* error);
    bool update(int recno, const QVariantList& values, QString* error);
    bool remove(int recno, QString* error);

    // Live record numbers whose integer field `field` equals `key` (built on first use and
    // kept current by every write). None when the field is not an integer field. The records
    // given stay valid until the next write to the table.
    std::optional<dbf::DbfIndex::Records> lookup(int field, qint64 key);
    // The greatest value a live record holds in integer field `field`, from the same index;
    // none when no record holds one or the field is not an integer field.
    std::optional<qint64> highestKey(int field);
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

    struct Opening;  // what open() learns of the file, step by step

    DbfTable() = default;
    // The steps of open(), in order.
    bool openFile(DbfAccess access, Opening& o, QString* error);
    bool readFile(Opening& o, QString* error) const;  // the header and at most what it counts
    bool readLengths(const Opening& o, QString* error);
    bool readFields(const Opening& o, QString* error);
    bool readCodePage(const Opening& o, QString* error);
    bool applyJournal(Opening& o, QString* error) const;
    qint64 scanRecords(const Opening& o, qint64 counted, bool* marked, QString* error) const;
    bool findRecords(Opening& o, QString* error) const;
    void keepRecords(const Opening& o);
    void repair(Opening& o);

    bool encode(const QVariantList& values, char* record, QString* error) const;  // recordLength_ bytes
    bool writeAt(qint64 offset, const char* data, qint64 size, QString* error);
    void releaseFile();  // closes fd_ and what maps it
    bool keepTail(QString* error);  // the copy kept before writing over records past an end mark
    bool checkWritable(int recno, bool existing, QString* error) const;  // existing: recno must be a live record
    bool stampDate();  // puts today's date into header_; true when it changed
    void touchDate();  // stamps the date in the file too (best effort), remembering the old one
    void indexRecord(int recno, bool add);
    bool keyOf(int recno, int field, qint64* key) const;  // the index key of an integer field's value
    dbf::DbfIndex& indexOf(int field);  // built on first use
    void remember(Undo::Kind kind, int recno, const QByteArray& bytes);
    // Writes `record` over live record `recno`, in the file and in memory, remembering it as it was.
    bool rewrite(int recno, const QByteArray& record, QString* error);
    // Rewrites record `recno` (held in data_) as `record` through the journal.
    bool writeInPlace(int recno, const QByteArray& record, QString* error);
    bool undoTo(qsizetype size, QString* error);
    void setRecord(int recno, const char* bytes);  // in memory, with the index and deleted count

    QString path_;
    int fd_ = -1;
    dbf::HeadBytes head_;  // the header's date and count as every insert rewrites them
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
    QHash<int, dbf::DbfIndex> indexes_;  // by field

    bool inTransaction_ = false;
    int startCount_ = 0;                   // record count when the transaction began
    QList<Undo> undo_;                     // what the transaction wrote, oldest first
    QList<QPair<int, qsizetype>> savepoints_;  // level, size of undo_ then; levels increasing
    dbf::Journal journal_;
};

}  // namespace kalto

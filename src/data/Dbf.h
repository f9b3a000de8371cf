#pragma once
// dBase III+ table files: reading, appending, rewriting in place, deleting and packing.
//
// The whole file is read into memory when it is opened; every change is written to the
// file before the call returns and kept in the in-memory copy, so reads never touch the
// disk again. Text is Windows-1252 in the file and Unicode (QString) everywhere else.

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <memory>

namespace kalto {

enum class DbfType : char { Character = 'C', Numeric = 'N', Logical = 'L', Date = 'D' };

// How a table is opened: ReadOnly never writes the file (not even the repairs of open()).
enum class DbfAccess { ReadWrite, ReadOnly };

struct DbfField {
    QString name;      // at most 10 ASCII characters
    DbfType type = DbfType::Character;
    int width = 1;     // bytes in the record
    int decimals = 0;  // numeric fields only
};

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
    // A file that holds more complete records than its header counts is repaired to the
    // records it holds; a torn last record is dropped. A damaged header gives nullptr and a
    // Spanish message in *error naming the file and what is wrong with it.
    static std::unique_ptr<DbfTable> open(const QString& path, QString* error,
                                          DbfAccess access = DbfAccess::ReadWrite);
    // Writes a new empty table (overwriting any file of that name).
    static bool create(const QString& path, const QList<DbfField>& fields, QString* error);
    // Rewrites the file without its deleted records (a new file renamed over the old one).
    // Must not be called while a DbfTable is open on it.
    static bool pack(const QString& path, QString* error);

    QString path() const { return path_; }
    bool isReadOnly() const { return readOnly_; }
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
    // fit its field is refused with a message, nothing is written. update and remove refuse
    // a record that does not exist or is already deleted.
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

    // Increases with every change of the file; lets readers know their copy is stale.
    quint64 changeCount() const { return changes_; }

private:
    DbfTable() = default;
    bool encode(const QVariantList& values, QByteArray* record, QString* error) const;
    bool writeAt(qint64 offset, const char* data, qint64 size, QString* error);
    bool checkWritable(int recno, bool existing, QString* error) const;  // existing: recno must be a live record
    bool stampDate();  // puts today's date into header_; true when it changed
    bool integerKey(int recno, int field, qint64* key) const;
    void indexRecord(int recno, bool add);

    QString path_;
    int fd_ = -1;
    bool readOnly_ = false;
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
};

}  // namespace kalto

#pragma once
// The journal of a table, NAME.DBF.jnl: the old and new bytes of every record rewritten in place,
// written before the record, so that a process killed in the middle never leaves a record half
// old, half new.
//
// Layout (little-endian): a 32-byte header ("KALTOJNL", version 1, header length, record length,
// record count when the journal began, 0, FNV-1a of the 28 bytes before), then one entry per
// write: offset (8 bytes), length (4), the old bytes, the new bytes, FNV-1a of the entry. An entry
// is applied only when the file holds, at each of its bytes, the old or the new byte; a journal
// cut short is applied up to its last whole entry, one that does not match the file is
// discarded. The journal is not synced to disk: it guards against a killed process (whose writes
// the system keeps), not against a power cut, like every other write here.

#include <QByteArray>
#include <QList>
#include <QString>

namespace kalto::dbf {

QString journalPath(const QString& table);

// The 32-byte header of a journal begun on a table of these lengths holding `count` records.
QByteArray journalHeader(int headerLength, int recordLength, int count);
// One entry: the bytes at `offset` of the table were `before` and become `after`.
QByteArray journalEntry(qint64 offset, const QByteArray& before, const QByteArray& after);

struct JournalEntry {
    qint64 offset;
    QByteArray before;
    QByteArray after;
};
// Reads a journal for a table of these lengths: its whole entries and the record count when it
// began. False when it is not one (another table's, or cut before its header was whole).
bool parseJournal(const QByteArray& journal, int headerLength, int recordLength, QList<JournalEntry>* entries,
                  qint64* count);

// Applies the journal beside `path`, if there is one, to the bytes of the file read into `file`:
// the old bytes of every whole entry go back, newest first, and records inserted since the journal
// began (in the transaction that was not ended) are taken off. Unless `readOnly`, the file (open
// as `fd`) is mended the same way and the journal removed; a journal that is not this file's (its
// lengths differ, or the file holds at an entry's place bytes that are neither its old nor its
// new ones) is removed without being applied. False (with a message) only when the mend cannot
// be written; the journal then stays for the next opening.
bool recoverJournal(const QString& path, int fd, bool readOnly, int headerLength, int recordLength, QByteArray* file,
                    QString* error);

// The journal being written for a table: created with the first entry, closed (and removed, when
// what it guards is done) by end().
class Journal {
public:
    bool isOpen() const { return fd_ >= 0; }
    // Adds an entry to the journal of `table`, creating it for a table that held `count` records
    // when the journal began. False with a message naming the table when it cannot be written.
    bool write(const QString& table, int headerLength, int recordLength, int count, qint64 offset,
               const QByteArray& before, const QByteArray& after, QString* error);
    void end(const QString& table, bool remove);

private:
    int fd_ = -1;
    qint64 size_ = 0;
};

}  // namespace kalto::dbf

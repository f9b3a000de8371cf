#pragma once
// The data folder under SQL: one SQLite connection (in memory) on which every .DBF file
// of the folder is a table of the same name, matched without regard to case.

#include "data/Dbf.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <array>
#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace kalto {

class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the folder: packs tables that hold deleted records, creates the request,
    // sectoral and output tables that are missing (imdint with its single row), and
    // registers every .DBF file found. A missing catalogue table, a damaged file or a
    // folder that cannot be read or written gives false and a Spanish message.
    // Two files of one table (imdir.DBF and IMDIR.DBF) or a table that is a link are refused by
    // name. A table whose pack cannot be written (a full disk) opens unpacked: notice() says so.
    bool open(const QString& folder, QString* error);
    // What the last open() did not do and the user should be told once; empty when nothing.
    QString notice() const;
    void close();
    bool isOpen() const { return db_ != nullptr; }
    QString folder() const { return folder_; }
    sqlite3* handle() const { return db_; }

    DbfTable* table(const QString& name) const;  // without regard to case; nullptr if absent
    std::shared_ptr<DbfTable> sharedTable(const QString& name) const;
    QString tableName(const QString& name) const;  // the file's own spelling of a table name
    QString tablePath(const QString& name) const;
    QStringList tableNames() const;
    // Increases whenever a name may come to stand for another table object (an open, a close,
    // a pack, a replace): a pointer found by name is current while this stays the same.
    quint64 tablesGeneration() const { return generation_; }

    // Runs one statement. Values given in `params` are bound to its '?' placeholders in
    // order. On failure returns false and the engine's message in *error.
    bool execute(const QString& sql, const QVariantList& params = {}, QString* error = nullptr);
    // Runs a query and calls `row` for every result row until it returns false.
    bool query(const QString& sql, const QVariantList& params,
               const std::function<bool(const QVariantList&)>& row, QString* error = nullptr,
               QStringList* columns = nullptr);
    // First column of the first row (null when there is none or the query fails).
    QVariant scalar(const QString& sql, const QVariantList& params = {}, QString* error = nullptr);

    // Rows changed by the last execute().
    int changes() const;

    // Rewrites `name` without its deleted records and reopens it. Callers refresh every
    // record set on that table afterwards (record numbers change).
    bool pack(const QString& name, QString* error);

    // Puts the file `newFile` (in the data folder, never open) in place of table `name`:
    // renames it over the table's file and reopens the table. When the rename fails the table
    // stays as it was; callers refresh every record set on that table afterwards.
    bool replace(const QString& name, const QString& newFile, QString* error);

private:
    // A prepared statement of query(), kept for the next call with the same text.
    struct Prepared {
        sqlite3_stmt* stmt = nullptr;
        quint64 lastUse = 0;
    };
    bool registerTable(const QString& path, QString* error);
    // The statement for `sql`, from the cache when it is there and not running (a query called
    // from another's row callback); *cached tells whether it stays in the cache after use.
    sqlite3_stmt* prepare(const QString& sql, bool* cached, QString* error);
    void dropStatements();

    sqlite3* db_ = nullptr;
    QHash<QString, Prepared> statements_;  // bounded by kCachedStatements, least used dropped
    std::array<size_t, 256> seen_{};       // hashes of texts prepared lately, by their low bits
    quint64 uses_ = 0;
    quint64 generation_ = 0;
    QString folder_;
    QHash<QString, std::shared_ptr<DbfTable>> tables_;  // key: lower-case name
    QHash<QString, QString> names_;                     // lower-case name -> file's own name
    QStringList unpacked_;                              // tables left unpacked by open()
};

// Quotes a text as an SQL literal, doubling embedded quotes: for the rare statement that
// must be kept as text. Everything else binds its values.
QString sqlQuote(const QString& text);

}  // namespace kalto

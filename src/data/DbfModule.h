#pragma once
// The SQLite virtual-table module over DBF files, and the text collation and LIKE that
// fold letter case beyond ASCII (accented letters and Ñ included).

#include <QString>

struct sqlite3;

namespace kalto {

class Database;

// Registers the "KALTO" collation (letter case ignored, Spanish order) and like() with two
// and three arguments on a connection, so that any connection (one holding native tables
// too) compares text as the program does.
bool registerTextFunctions(sqlite3* db, QString* error);

// Registers the text functions above and the module "dbf" on the connection. Must run
// before any table is declared.
bool registerDbfModule(sqlite3* db, Database* owner, QString* error);

// Declaration statement of the virtual table for the table `name` of `owner`.
QString dbfTableDeclaration(const QString& name);

}  // namespace kalto

#pragma once
// Every table of the program: its group and its columns, in file order.

#include "data/Dbf.h"

#include <QStringList>

namespace kalto {

enum class TableGroup { Request, Catalogue, Sectoral, Output };

struct TableDef {
    QString name;  // as the file is named, without ".DBF"
    TableGroup group;
    QList<DbfField> fields;
};

const QList<TableDef>& tableCatalogue();
const TableDef* findTableDef(const QString& name);  // without regard to case

// imdir, imrlegal, impects, improd, imserv, imanexos, imdint: the order in which they are
// copied to disk; clearing empties the first six.
const QStringList& requestTables();

// Largest annex identifier: ID_PROD and ID_SUBORD are 16-bit integers.
constexpr int kMaxAnnexId = 32767;

}  // namespace kalto

namespace kalto {

// Rules every stored row of a table obeys beyond its field widths (annex identifiers are
// 16-bit). Returns an empty text when `values` (by field) may be stored, else the reason.
QString checkRow(const QString& table, const QList<DbfField>& fields, const QVariantList& values);
// The same in two steps, for a caller that checks many rows of one table: the columns checked
// (empty for a table without such rules), then a row.
QList<int> checkedColumns(const QString& table, const QList<DbfField>& fields);
QString checkRow(const QList<DbfField>& fields, const QList<int>& columns, const QVariantList& values);

}  // namespace kalto

#include "data/DataSource.h"

#include "data/Database.h"

#include <functional>

namespace kalto {

namespace {

// Every data source alive, for packTable.
QList<DataSource*>& allSources() {
    static QList<DataSource*> sources;
    return sources;
}

}  // namespace

DataSource::DataSource(const QString& name, Database* db, const QString& recordSource, QObject* parent)
    : QObject(parent), recordSet_(db, recordSource) {
    setObjectName(name);
    allSources().append(this);
}

DataSource::~DataSource() { allSources().removeAll(this); }

void DataSource::setRecordSource(const QString& source, const QVariantList& params) {
    recordSet_.setSource(source);
    params_ = params;
}

bool DataSource::commitPending() {
    bool committed = true;
    emit commitRequested(&committed);
    return committed;
}

bool DataSource::refresh(QString* error) {
    commitPending();
    const bool ok = recordSet_.open(params_, error);
    if (recordSet_.isUpdatable()) tableName_ = recordSet_.tableName();
    emit refreshed();
    return ok;
}

bool DataSource::close() {
    const bool committed = commitPending();
    recordSet_.close();
    emit refreshed();
    return committed;
}

namespace {

// Runs `change` on `table` of `db` once every data source over that table has stored its
// grids' changed rows, then opens again the sources that were open. `verb` names the change
// in the messages ("reorganizar", "reemplazar").
bool changeTable(Database* db, const QString& table, const QString& verb,
                 const std::function<bool(QString*)>& change, QString* error) {
    if (!db || !db->table(table)) {
        if (error) *error = QStringLiteral("No existe la tabla %1.").arg(table);
        return false;
    }
    QList<DataSource*> over;
    for (DataSource* s : allSources())
        if (s->database() == db && s->tableName().compare(table, Qt::CaseInsensitive) == 0) over.append(s);
    for (DataSource* s : std::as_const(over)) {
        if (!s->commitPending()) {
            if (error)
                *error = QStringLiteral("No se pudo %1 la tabla %2: hay un renglón en edición que no se "
                                        "pudo guardar. Corrígelo o descártalo (Esc) y vuelve a intentarlo.")
                             .arg(verb, db->tableName(table));
            return false;
        }
    }
    const QString name = db->tableName(table);
    QString why;
    const bool changed = change(&why);
    bool reopened = true;
    for (DataSource* s : std::as_const(over)) {
        if (!s->recordSet().isOpen()) continue;
        QString err;
        if (!s->refresh(&err)) {
            reopened = false;
            if (why.isEmpty()) why = err;
        }
    }
    if (!changed || !reopened) {
        if (error) *error = QStringLiteral("No se pudo %1 la tabla %2: %3").arg(verb, name, why);
        return false;
    }
    return true;
}

}  // namespace

bool DataSource::packTable(Database* db, const QString& table, QString* error) {
    return changeTable(db, table, QStringLiteral("reorganizar"),
                       [&](QString* why) { return db->pack(table, why); }, error);
}

bool DataSource::replaceTable(Database* db, const QString& table, const QString& newFile, QString* error) {
    return changeTable(db, table, QStringLiteral("reemplazar"),
                       [&](QString* why) { return db->replace(table, newFile, why); }, error);
}

}  // namespace kalto

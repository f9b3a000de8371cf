#include "data/DataSource.h"

#include "data/Database.h"

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

bool DataSource::packTable(Database* db, const QString& table, QString* error) {
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
                *error = QStringLiteral("No se pudo reorganizar la tabla %1: hay un renglón en edición que no se "
                                        "pudo guardar. Corrígelo o descártalo (Esc) y vuelve a intentarlo.")
                             .arg(db->tableName(table));
            return false;
        }
    }
    QString why;
    const bool packed = db->pack(table, &why);
    bool reopened = true;
    for (DataSource* s : std::as_const(over)) {
        if (!s->recordSet().isOpen()) continue;
        QString err;
        if (!s->refresh(&err)) {
            reopened = false;
            if (why.isEmpty()) why = err;
        }
    }
    if (!packed || !reopened) {
        if (error) *error = QStringLiteral("No se pudo reorganizar la tabla %1: %2").arg(db->tableName(table), why);
        return false;
    }
    return true;
}

}  // namespace kalto

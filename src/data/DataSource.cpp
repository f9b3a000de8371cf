#include "data/DataSource.h"

namespace kalto {

DataSource::DataSource(const QString& name, Database* db, const QString& recordSource, QObject* parent)
    : QObject(parent), recordSet_(db, recordSource) {
    setObjectName(name);
}

void DataSource::setRecordSource(const QString& source, const QVariantList& params) {
    recordSet_.setSource(source);
    params_ = params;
}

bool DataSource::refresh(QString* error) {
    emit aboutToRefresh();
    const bool ok = recordSet_.open(params_, error);
    emit refreshed();
    return ok;
}

void DataSource::close() {
    recordSet_.close();
    emit refreshed();
}

}  // namespace kalto

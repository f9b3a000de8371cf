#include "data/RecordSet.h"

#include "data/Database.h"
#include "data/TableCatalogue.h"

#include <QRegularExpression>

namespace kalto {

namespace {

// "select * from <table> [where ...] [order by ...]": a query whose rows are records of one table.
const QRegularExpression& singleTableSelect() {
    static const QRegularExpression re(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+([A-Za-z_][A-Za-z0-9_]*)\\s*((?:where|order)\\b.*)?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return re;
}

const QRegularExpression& bareTableName() {
    static const QRegularExpression re(QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*$"));
    return re;
}

}  // namespace

QString foldCase(const QString& text) { return text.toCaseFolded(); }

bool likeMatch(const QString& pattern, const QString& text, QChar many, QChar one) {
    const QString p = foldCase(pattern);
    const QString t = foldCase(text);
    qsizetype pi = 0, ti = 0, star = -1, mark = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == many) {
            star = pi++;
            mark = ti;
        } else if (pi < p.size() && (p[pi] == one || p[pi] == t[ti])) {
            ++pi;
            ++ti;
        } else if (star >= 0) {
            pi = star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == many) ++pi;
    return pi == p.size();
}

RecordSet::RecordSet(Database* db, const QString& source) : db_(db), source_(source) {}

bool RecordSet::open(QString* error) { return open(params_, error); }

bool RecordSet::open(const QVariantList& params, QString* error) {
    close();
    params_ = params;
    auto fail = [&](const QString& message) {
        error_ = message;
        if (error) *error = message;
        return false;
    };
    if (!db_ || !db_->isOpen()) return fail(QStringLiteral("La base de datos no está abierta."));
    if (source_.trimmed().isEmpty()) return fail(QStringLiteral("El origen de datos no tiene consulta."));

    QString name;
    QString rest;
    auto m = bareTableName().match(source_);
    bool direct = false;
    if (m.hasMatch()) {
        name = m.captured(1);
        direct = true;
    } else if (auto s = singleTableSelect().match(source_); s.hasMatch() && db_->table(s.captured(1))) {
        name = s.captured(1);
        rest = s.captured(2);
    }

    if (!name.isEmpty()) {
        shared_ = db_->sharedTable(name);
        if (!shared_) return fail(QStringLiteral("No existe la tabla %1 en la carpeta %2.").arg(name, db_->folder()));
        table_ = shared_.get();
        tableName_ = db_->tableName(name);
        for (const auto& f : table_->fields()) columns_ << f.name;
        if (direct) {
            const int n = table_->recordCount();
            recnos_.reserve(n - table_->deletedCount());
            for (int i = 0; i < n; ++i)
                if (!table_->isDeleted(i)) recnos_.append(i);
        } else {
            QString err;
            const QString sql = QStringLiteral("select rowid from %1 %2").arg(tableName_, rest);
            const bool ok = db_->query(sql, params_, [this](const QVariantList& row) {
                recnos_.append(static_cast<int>(row.first().toLongLong() - 1));
                return true;
            }, &err);
            if (!ok) {
                const QString message = err;
                close();
                return fail(message);
            }
        }
    } else {
        QString err;
        const bool ok = db_->query(source_, params_, [this](const QVariantList& row) {
            rows_.append(row);
            return true;
        }, &err, &columns_);
        if (!ok) {
            close();
            return fail(err);
        }
    }
    open_ = true;
    error_.clear();
    pos_ = 0;
    return true;
}

void RecordSet::close() {
    open_ = false;
    shared_.reset();
    table_ = nullptr;
    tableName_.clear();
    columns_.clear();
    recnos_.clear();
    rows_.clear();
    pos_ = -1;
    editMode_ = None;
    editBuffer_.clear();
}

int RecordSet::count() const { return table_ ? recnos_.size() : rows_.size(); }

QString RecordSet::columnName(int column) const { return columns_.value(column); }

int RecordSet::columnIndex(const QString& name) const {
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant RecordSet::valueAt(int row, int column) const {
    if (editMode_ != None && row == pos_ && column >= 0 && column < editBuffer_.size()) return editBuffer_[column];
    if (row < 0 || row >= count() || column < 0 || column >= columns_.size()) return {};
    if (table_) return table_->value(recnos_[row], column);
    return rows_[row].value(column);
}

QVariantList RecordSet::rowValues(int row) const {
    QVariantList out;
    out.reserve(columns_.size());
    for (int c = 0; c < columns_.size(); ++c) out << valueAt(row, c);
    return out;
}

int RecordSet::recordNumber(int row) const {
    if (!table_ || row < 0 || row >= recnos_.size()) return 0;
    return recnos_[row] + 1;
}

bool RecordSet::findFirst(const QString& column, const QString& pattern) {
    const int col = columnIndex(column);
    if (col < 0) return false;
    for (int r = 0; r < count(); ++r) {
        const QVariant v = valueAt(r, col);
        if (!v.isNull() && likeMatch(pattern, v.toString(), QLatin1Char('*'), QChar(0xFFFF))) {
            pos_ = r;
            return true;
        }
    }
    return false;
}

bool RecordSet::writable(QString* error, const QVariantList* values) {
    QString message;
    if (!table_) message = QStringLiteral("Esta consulta no se puede modificar.");
    else if (db_->table(tableName_) != table_)
        message = QStringLiteral("La tabla %1 cambió; vuelve a cargar los datos.").arg(tableName_);
    else if (values) message = checkRow(tableName_, table_->fields(), *values);
    if (message.isEmpty()) return true;
    if (error) *error = message;
    return false;
}

bool RecordSet::insertRow(const QVariantList& values, int* row, QString* error) {
    if (!writable(error, &values)) return false;
    int recno = -1;
    if (!table_->append(values, &recno, error)) return false;
    recnos_.append(recno);
    if (row) *row = recnos_.size() - 1;
    return true;
}

bool RecordSet::updateRow(int row, const QVariantList& values, QString* error) {
    if (!writable(error, &values)) return false;
    if (row < 0 || row >= recnos_.size()) {
        if (error) *error = QStringLiteral("No hay un registro actual.");
        return false;
    }
    if (table_->isDeleted(recnos_[row])) {
        if (error) *error = QStringLiteral("El registro fue eliminado.");
        return false;
    }
    return table_->update(recnos_[row], values, error);
}

bool RecordSet::updateRecord(int recordNumber, const QVariantList& values, QString* error) {
    if (!writable(error, &values)) return false;
    if (recordNumber <= 0 || recordNumber > table_->recordCount() || table_->isDeleted(recordNumber - 1)) {
        if (error) *error = QStringLiteral("El registro ya no existe en la tabla.");
        return false;
    }
    return table_->update(recordNumber - 1, values, error);
}

bool RecordSet::updateFields(int recordNumber, const QMap<int, QVariant>& values, QString* error) {
    if (!writable(error)) return false;
    if (recordNumber <= 0 || recordNumber > table_->recordCount() || table_->isDeleted(recordNumber - 1)) {
        if (error) *error = QStringLiteral("El registro ya no existe en la tabla.");
        return false;
    }
    // The columns of an updatable record set are the table's fields, in order.
    QVariantList row = table_->record(recordNumber - 1);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (it.key() >= 0 && it.key() < row.size()) row[it.key()] = it.value();
    if (!writable(error, &row)) return false;
    return table_->update(recordNumber - 1, row, error);
}

bool RecordSet::removeRow(int row, QString* error) {
    if (!writable(error)) return false;
    if (row < 0 || row >= recnos_.size()) {
        if (error) *error = QStringLiteral("No hay un registro actual.");
        return false;
    }
    if (!table_->isDeleted(recnos_[row]) && !table_->remove(recnos_[row], error)) return false;
    recnos_.removeAt(row);
    if (pos_ > row) --pos_;
    return true;
}

void RecordSet::addNew() {
    editMode_ = Adding;
    editBuffer_.clear();
    for (int i = 0; i < columns_.size(); ++i) editBuffer_ << QVariant();
}

void RecordSet::edit() {
    if (eof() || bof()) return;
    editBuffer_ = rowValues(pos_);
    editMode_ = Editing;
}

void RecordSet::setValue(int column, const QVariant& value) {
    if (column < 0 || column >= columns_.size()) return;
    if (editMode_ == None) edit();
    if (editMode_ == None) return;
    editBuffer_[column] = value;
}

bool RecordSet::update(QString* error) {
    if (editMode_ == None) return true;
    const QVariantList values = editBuffer_;
    const EditMode mode = editMode_;
    editMode_ = None;
    bool ok;
    if (mode == Adding) {
        int row = -1;
        ok = insertRow(values, &row, error);
        if (ok) pos_ = row;
    } else {
        ok = updateRow(pos_, values, error);
    }
    if (!ok) editMode_ = mode;  // the buffer stays for the caller to fix or cancel
    return ok;
}

void RecordSet::cancelUpdate() {
    editMode_ = None;
    editBuffer_.clear();
}

}  // namespace kalto

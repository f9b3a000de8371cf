#include "toolkit/BoundGridModel.h"

#include "core/Messages.h"
#include "data/DataSource.h"
#include "data/Dbf.h"
#include "data/RecordSet.h"
#include "data/Values.h"

#include <QDate>
#include <QRegularExpression>
#include <QScopedValueRollback>

namespace kalto {

namespace {

// A number typed as text: digits with an optional sign and one decimal point.
bool parseNumber(const QString& text, QVariant* out) {
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression decimal(QStringLiteral("^[+-]?([0-9]+\\.[0-9]*|\\.[0-9]+)$"));
    if (integer.match(text).hasMatch()) {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        if (ok) {
            *out = n;
            return true;
        }
    }
    if (integer.match(text).hasMatch() || decimal.match(text).hasMatch()) {
        bool ok = false;
        const double d = text.toDouble(&ok);  // C locale: '.' is the decimal point
        if (ok) {
            *out = d;
            return true;
        }
    }
    return false;
}

}  // namespace

BoundGridModel::BoundGridModel(QObject* parent) : QAbstractTableModel(parent) {}

BoundGridModel::~BoundGridModel() = default;

void BoundGridModel::bind(DataSource* source, const QList<GridColumn>& columns, GridRule* rule,
                          Messages* messages) {
    beginResetModel();
    source_ = source;
    columns_ = columns;
    rule_ = rule;
    messages_ = messages;
    original_.reset();
    edited_.reset();
    rows_.clear();
    mapColumns();
    RecordSet* rs = recordSet();
    writable_ = rs && rs->isOpen() && rs->isUpdatable();
    if (rs && rs->isOpen())
        for (int i = 0; i < rs->count(); ++i) rows_.append({rs->recordNumber(i), readRow(i)});
    endResetModel();
}

RecordSet* BoundGridModel::recordSet() const { return source_ ? &source_->recordSet() : nullptr; }

void BoundGridModel::mapColumns() {
    map_.clear();
    RecordSet* rs = recordSet();
    for (const auto& c : columns_) map_.append(rs && rs->isOpen() ? rs->columnIndex(c.field) : -1);
}

void BoundGridModel::setColumnCaption(int column, const QString& caption) {
    if (column < 0 || column >= columns_.size()) return;
    columns_[column].caption = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void BoundGridModel::setColumnVisible(int column, bool visible) {
    if (column >= 0 && column < columns_.size()) columns_[column].visible = visible;
}

int BoundGridModel::recordSetColumn(int column) const {
    return column >= 0 && column < map_.size() ? map_[column] : -1;
}

const DbfField* BoundGridModel::field(int column) const {
    RecordSet* rs = recordSet();
    const int rc = recordSetColumn(column);
    if (!rs || rc < 0 || !rs->table()) return nullptr;
    const int fi = rs->table()->fieldIndex(rs->columnName(rc));
    if (fi < 0) return nullptr;
    return &rs->table()->fields()[fi];
}

void BoundGridModel::setAllowAddNew(bool allow) {
    if (allow == allowAddNew_) return;
    beginResetModel();
    allowAddNew_ = allow;
    endResetModel();
}

int BoundGridModel::dataRowCount() const { return rows_.size() + (pendingIsExtra() ? 1 : 0); }

int BoundGridModel::addNewRow() const { return allowAddNew_ && writable_ ? dataRowCount() : -1; }

int BoundGridModel::recordNumber(int row) const {
    if (row >= 0 && row < rows_.size()) return rows_[row].recno;
    if (row >= 0 && row == pendingViewRow() && edited_) return edited_->recordNumber();
    return 0;
}

int BoundGridModel::rowOfRecord(int recno) const {
    if (recno <= 0) return -1;
    for (int i = 0; i < rows_.size(); ++i)
        if (rows_[i].recno == recno) return i;
    return -1;
}

bool BoundGridModel::pendingIsExtra() const {
    return edited_ && (edited_->isNew() || rowOfRecord(edited_->recordNumber()) < 0);
}

int BoundGridModel::pendingViewRow() const {
    if (!edited_) return -1;
    if (pendingIsExtra()) return rows_.size();
    return rowOfRecord(edited_->recordNumber());
}

QVariant BoundGridModel::value(int row, int column) const {
    if (column < 0 || column >= columns_.size()) return {};
    if (edited_ && row == pendingViewRow()) return edited_->value(column);
    if (row >= 0 && row < rows_.size()) return rows_[row].values.value(column);
    return {};
}

GridRow BoundGridModel::rowAt(int row) const {
    if (edited_ && row == pendingViewRow()) return *edited_;
    if (row >= 0 && row < rows_.size()) return GridRow(rows_[row].values, false, rows_[row].recno);
    QVariantList empty;
    for (int i = 0; i < columns_.size(); ++i) empty.append(QVariant());
    return GridRow(empty, true, 0);
}

QString BoundGridModel::displayText(const QVariant& v, int column) const {
    Q_UNUSED(column);
    if (!v.isValid() || v.isNull()) return {};
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        // Plain decimal, never an exponent, without trailing zeros.
        QString s = QString::number(v.toDouble(), 'f', 10);
        if (s.contains(QLatin1Char('.'))) {
            while (s.endsWith(QLatin1Char('0'))) s.chop(1);
            if (s.endsWith(QLatin1Char('.'))) s.chop(1);
        }
        if (s == QLatin1String("-0")) s = QStringLiteral("0");
        return s;
    }
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    default:
        return v.toString();
    }
}

bool BoundGridModel::toColumnValue(int column, const QVariant& in, QVariant* out, QString* error) const {
    *out = in;
    if (!in.isValid() || in.isNull()) {
        *out = QVariant();
        return true;
    }
    const bool isText = in.typeId() == QMetaType::QString;
    if (isText && in.toString().isEmpty()) {
        *out = QVariant();
        return true;
    }
    const DbfField* f = field(column);
    const QString caption = column >= 0 && column < columns_.size() ? columns_[column].caption : QString();
    auto refuse = [&](const QString& what) {
        if (error)
            *error = QStringLiteral("La columna \"%1\" admite sólo %2; \"%3\" no lo es. Rectifica por favor")
                         .arg(caption.isEmpty() ? (f ? f->name : QString()) : caption, what, in.toString());
        return false;
    };
    if (!f) return true;  // no table field known: the value goes as it is
    switch (f->type) {
    case DbfType::Character:
        if (!isText) *out = displayText(in, column);
        return true;
    case DbfType::Numeric: {
        if (isNumberValue(in)) return true;
        if (in.typeId() == QMetaType::Bool) {
            *out = in.toBool() ? 1 : 0;
            return true;
        }
        const QString t = in.toString().trimmed();
        if (t.isEmpty()) {
            *out = QVariant();
            return true;
        }
        if (parseNumber(t, out)) return true;
        *out = in;
        return refuse(QStringLiteral("números"));
    }
    case DbfType::Logical: {
        if (in.typeId() == QMetaType::Bool) return true;
        if (isNumberValue(in)) {
            *out = in.toDouble() != 0;
            return true;
        }
        const QString t = in.toString().trimmed().toUpper();
        if (t.isEmpty()) {
            *out = QVariant();
            return true;
        }
        static const QString yes = QStringLiteral("TSYV1");
        static const QString no = QStringLiteral("FN0");
        if (t.size() == 1 && yes.contains(t)) {
            *out = true;
            return true;
        }
        if (t.size() == 1 && no.contains(t)) {
            *out = false;
            return true;
        }
        *out = in;
        return refuse(QStringLiteral("S o N"));
    }
    case DbfType::Date: {
        if (in.typeId() == QMetaType::QDate) return true;
        const QString t = in.toString().trimmed();
        if (t.isEmpty()) {
            *out = QVariant();
            return true;
        }
        for (const char* format : {"dd/MM/yyyy", "d/M/yyyy", "yyyy-MM-dd", "yyyyMMdd"}) {
            const QDate d = QDate::fromString(t, QString::fromLatin1(format));
            if (d.isValid()) {
                *out = d;
                return true;
            }
        }
        *out = in;
        return refuse(QStringLiteral("fechas (dd/mm/aaaa)"));
    }
    }
    return true;
}

QVariantList BoundGridModel::readRow(int position) const {
    QVariantList out;
    RecordSet* rs = recordSet();
    for (int c = 0; c < columns_.size(); ++c) {
        const int rc = recordSetColumn(c);
        out.append(rs && rc >= 0 ? rs->valueAt(position, rc) : QVariant());
    }
    return out;
}

int BoundGridModel::positionOfRecord(int recno) const {
    RecordSet* rs = recordSet();
    if (!rs || recno <= 0) return -1;
    for (int i = 0; i < rs->count(); ++i)
        if (rs->recordNumber(i) == recno) return i;
    return -1;
}

void BoundGridModel::rowChanged(int row) {
    if (row < 0 || row >= rowCount() || columns_.isEmpty()) return;
    emit dataChanged(index(row, 0), index(row, columns_.size() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void BoundGridModel::showError(const QString& text) const {
    if (messages_) messages_->exclamation(text);
}

bool BoundGridModel::beginEdit(int row) {
    if (edited_) return row == pendingViewRow();
    if (!writable_ || columns_.isEmpty()) return false;
    if (isAddNewRow(row)) {
        QVariantList empty;
        for (int i = 0; i < columns_.size(); ++i) empty.append(QVariant());
        // The add-new row becomes the new row; a fresh add-new row appears below it.
        beginInsertRows(QModelIndex(), row + 1, row + 1);
        original_ = GridRow(empty, true, 0);
        edited_ = GridRow(empty, true, 0);
        endInsertRows();
        if (rule_) rule_->newRow(*edited_);
        rowChanged(row);
        emit rowBegun();
        return true;
    }
    if (row < 0 || row >= rows_.size()) return false;
    original_ = GridRow(rows_[row].values, false, rows_[row].recno);
    edited_ = *original_;
    rowChanged(row);
    return true;
}

void BoundGridModel::setPendingValue(int column, const QVariant& value) {
    if (!edited_ || column < 0 || column >= columns_.size()) return;
    QVariant v;
    toColumnValue(column, value, &v, nullptr);  // a value that does not convert is kept; commit refuses it
    edited_->setValue(column, v);
    rowChanged(pendingViewRow());
}

void BoundGridModel::acceptValue(int row, int column, const QVariant& value) {
    if (column < 0 || column >= columns_.size()) return;
    if (!edited_ || row != pendingViewRow()) {
        if (edited_ || !beginEdit(row)) return;
    }
    QVariant v;
    toColumnValue(column, value, &v, nullptr);
    edited_->setValue(column, v);
    if (rule_) rule_->cellAccepted(*edited_, column);
    rowChanged(pendingViewRow());
    emit cellAccepted(column);
}

bool BoundGridModel::writePending(QString* error, int* recno) {
    RecordSet* rs = recordSet();
    GridRow& row = *edited_;
    const bool isNew = row.isNew();
    const int position = isNew ? -1 : positionOfRecord(row.recordNumber());
    DbfTable* table = rs->table();

    // Start from what the record holds, so that columns the grid does not show keep their values.
    QVariantList values;
    if (isNew) {
        for (int i = 0; i < rs->columnCount(); ++i) values.append(QVariant());
    } else if (position >= 0) {
        values = rs->rowValues(position);
    } else {
        // The record left the record set (a refresh); it is still written by its number.
        if (!table || row.recordNumber() <= 0 || row.recordNumber() > table->recordCount()) {
            *error = QStringLiteral("El registro ya no existe en la tabla.");
            return false;
        }
        values = table->record(row.recordNumber() - 1);
    }
    for (int c = 0; c < columns_.size(); ++c) {
        const int rc = recordSetColumn(c);
        if (rc < 0) continue;
        QVariant v;
        if (!toColumnValue(c, row.value(c), &v, error)) return false;
        if (isNew || position >= 0) {
            values[rc] = v;
        } else {
            const int fi = table->fieldIndex(rs->columnName(rc));
            if (fi >= 0) values[fi] = v;
        }
    }

    if (isNew) {
        int newPosition = -1;
        if (!rs->insertRow(values, &newPosition, error)) return false;
        *recno = rs->recordNumber(newPosition);
        return true;
    }
    *recno = row.recordNumber();
    if (position >= 0) return rs->updateRow(position, values, error);
    return rs->updateRecord(row.recordNumber(), values, error);
}

bool BoundGridModel::commit() {
    if (!edited_) return true;
    if (committing_) return false;
    QScopedValueRollback<bool> guard(committing_, true);

    const bool isNew = edited_->isNew();
    if (!writable_ || !recordSet() || !recordSet()->isUpdatable()) {
        showError(QStringLiteral("La tabla no admite cambios; el registro no se guardó."));
        return false;
    }
    if (rule_) {
        const bool ok = isNew ? rule_->beforeInsert(*edited_) : rule_->beforeUpdate(*edited_);
        if (!edited_) return true;  // the rule discarded the row itself
        if (!ok) {
            rowChanged(pendingViewRow());  // the rule may have changed cells before refusing
            return false;
        }
    }

    QString error;
    int recno = 0;
    if (!writePending(&error, &recno)) {
        showError(error.startsWith(QStringLiteral("La columna"))
                      ? error
                      : QStringLiteral("No se pudo guardar el registro. ") + error);
        rowChanged(pendingViewRow());
        return false;
    }

    // The row is in the table: take it out of the buffer and show what the table holds.
    const int shownAt = pendingViewRow();
    const bool wasExtra = pendingIsExtra();
    QVariantList stored;
    const int position = positionOfRecord(recno);
    if (position >= 0) {
        stored = readRow(position);
    } else {
        stored = edited_->values();
    }
    original_.reset();
    edited_.reset();
    if (wasExtra) {
        rows_.append({recno, stored});  // the same view row, now a stored one
    } else {
        const int i = rowOfRecord(recno);
        if (i >= 0) rows_[i].values = stored;
    }
    rowChanged(shownAt);

    const GridRow done(stored, isNew, recno);
    if (rule_) {
        if (isNew)
            rule_->afterInsert(done);
        else
            rule_->afterUpdate(done);
    }
    emit rowStored();
    return true;
}

void BoundGridModel::discard() {
    if (!edited_) return;
    const int row = pendingViewRow();
    if (pendingIsExtra()) {
        beginRemoveRows(QModelIndex(), row, row);
        original_.reset();
        edited_.reset();
        endRemoveRows();
    } else {
        original_.reset();
        edited_.reset();
        rowChanged(row);
    }
}

bool BoundGridModel::deleteRow(int row) {
    if (edited_ && row == pendingViewRow() && edited_->isNew()) {
        discard();
        return true;
    }
    if (row < 0 || row >= rows_.size() || !writable_) return false;
    const GridRow target = rowAt(row);
    const int recno = target.recordNumber();
    if (rule_ && !rule_->beforeDelete(target)) return false;

    RecordSet* rs = recordSet();
    const int position = positionOfRecord(recno);
    QString error;
    if (!rs || position < 0) {
        showError(QStringLiteral("No se pudo borrar el registro: ya no está en la tabla."));
        return false;
    }
    if (!rs->removeRow(position, &error)) {
        showError(QStringLiteral("No se pudo borrar el registro. ") + error);
        return false;
    }
    if (edited_ && !edited_->isNew() && edited_->recordNumber() == recno) {
        original_.reset();
        edited_.reset();
    }
    const int shown = rowOfRecord(recno);  // the rule may have reloaded the rows
    if (shown >= 0) {
        beginRemoveRows(QModelIndex(), shown, shown);
        rows_.removeAt(shown);
        endRemoveRows();
    }
    if (rule_) rule_->afterDelete(target);
    emit rowDeleted();
    return true;
}

void BoundGridModel::reload() {
    beginResetModel();
    mapColumns();
    rows_.clear();
    RecordSet* rs = recordSet();
    writable_ = rs && rs->isOpen() && rs->isUpdatable();
    if (rs && rs->isOpen())
        for (int i = 0; i < rs->count(); ++i) rows_.append({rs->recordNumber(i), readRow(i)});
    endResetModel();
}

int BoundGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return dataRowCount() + (addNewRow() >= 0 ? 1 : 0);
}

int BoundGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_.size();
}

QVariant BoundGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columns_.size()) return {};
    switch (role) {
    case Qt::DisplayRole:
        return displayText(value(index.row(), index.column()), index.column());
    case Qt::EditRole:
        return value(index.row(), index.column());
    case Qt::TextAlignmentRole: {
        const DbfField* f = field(index.column());
        if (f && f->type == DbfType::Numeric) return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant BoundGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columns_.size()) return {};
        return columns_[section].caption;
    }
    if (section < 0 || section >= rowCount()) return {};
    if (section == addNewRow()) return QStringLiteral("*");
    if (section == pendingViewRow()) return QStringLiteral("\u270E");
    return QString();
}

Qt::ItemFlags BoundGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (writable_) f |= Qt::ItemIsEditable;
    return f;
}

bool BoundGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !writable_) return false;
    acceptValue(index.row(), index.column(), value);
    return edited_.has_value() && index.row() == pendingViewRow();
}

}  // namespace kalto

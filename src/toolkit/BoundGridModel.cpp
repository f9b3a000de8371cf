#include "toolkit/BoundGridModel.h"

#include "core/GridHelpers.h"
#include "core/Messages.h"
#include "core/Numbers.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/RecordSet.h"
#include "data/Values.h"

#include <QDate>
#include <QRegularExpression>
#include <QScopedValueRollback>

namespace kalto {

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
    loadedTable_ = rs ? rs->sharedTable() : nullptr;
    editTable_.reset();
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

int BoundGridModel::dataRowCount() const { return rows_.size() + (pendingIsExtra() ? 1 : 0); }

int BoundGridModel::addNewRow() const { return writable_ ? dataRowCount() : -1; }

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

namespace {

// Two pointers to the same table file (also when it has been let go since).
bool sameTable(const std::weak_ptr<DbfTable>& a, const std::weak_ptr<DbfTable>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

bool BoundGridModel::isPendingStale() const {
    return edited_ && !edited_->isNew() && !loadedTable_.expired() && !sameTable(editTable_, loadedTable_);
}

bool BoundGridModel::pendingIsExtra() const {
    return edited_ && (edited_->isNew() || isPendingStale() || rowOfRecord(edited_->recordNumber()) < 0);
}

int BoundGridModel::pendingViewRow() const {
    if (!edited_) return -1;
    if (edited_->isNew() || isPendingStale()) return rows_.size();
    const int row = rowOfRecord(edited_->recordNumber());
    return row >= 0 ? row : rows_.size();
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

QString BoundGridModel::columnTitle(int column) const {
    if (column >= 0 && column < columns_.size() && !columns_[column].caption.isEmpty()) return columns_[column].caption;
    if (const DbfField* f = field(column)) return f->name;
    return column >= 0 && column < columns_.size() ? columns_[column].field : QString();
}

bool BoundGridModel::toColumnValue(int column, const QVariant& in, QVariant* out, QString* error) const {
    *out = in;
    if (isNullValue(in)) {
        *out = QVariant();
        return true;
    }
    const bool isText = in.typeId() == QMetaType::QString;
    if (isText && in.toString().isEmpty()) {
        *out = QVariant();
        return true;
    }
    const DbfField* f = field(column);
    auto refuse = [&](const QString& what) {
        if (error)
            *error = QStringLiteral("La columna \"%1\" admite sólo %2; \"%3\" no lo es.%4")
                         .arg(columnTitle(column), what, in.toString(), kRectifica);
        return false;
    };
    if (!f) return true;  // no table field known: the value goes as it is
    switch (f->type) {
    case DbfType::Character:
        if (!isText) *out = displayText(in, column);
        return true;
    case DbfType::Numeric: {
        if (in.typeId() == QMetaType::Bool) {
            *out = in.toBool() ? 1 : 0;
            return true;
        }
        if (isText && in.toString().trimmed().isEmpty()) {
            *out = QVariant();
            return true;
        }
        const auto number = numberOf(in);
        if (!number) return refuse(QStringLiteral("números"));
        if (number->decimals > f->decimals) {
            // Never rounded behind the user's back: 12.7 typed into a whole-number column is refused.
            if (error) {
                const QString typed = isText ? in.toString().trimmed() : displayText(in, column);
                if (f->decimals == 0)
                    *error = QStringLiteral("La columna \"%1\" admite sólo números enteros, sin decimales; "
                                            "\"%2\" tiene decimales.%3")
                                 .arg(columnTitle(column), typed, kRectifica);
                else
                    *error = QStringLiteral("La columna \"%1\" admite a lo más %2 %3; \"%4\" tiene %5.%6")
                                 .arg(columnTitle(column))
                                 .arg(f->decimals)
                                 .arg(f->decimals == 1 ? QStringLiteral("decimal") : QStringLiteral("decimales"),
                                      typed)
                                 .arg(number->decimals)
                                 .arg(kRectifica);
            }
            return false;
        }
        if (!isNumberValue(in)) *out = number->toVariant();
        return true;
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
        return refuse(QStringLiteral("fechas (dd/mm/aaaa)"));
    }
    }
    return true;
}

bool BoundGridModel::fitsColumn(int column, const QVariant& value, QString* error) const {
    const DbfField* f = field(column);
    if (!f || isNullValue(value)) return true;
    const QString title = columnTitle(column);
    if (f->type == DbfType::Character) {
        // As the table stores it: trailing blanks dropped, one byte a character in the code page.
        QString text = value.toString();
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1) == u' ') --end;
        text.truncate(end);
        QByteArray bytes;
        QString why;
        if (!toCp1252(text, &bytes, &why)) {
            if (!why.isEmpty()) why[0] = why.at(0).toLower();
            if (why.endsWith(u'.')) why.chop(1);
            if (error) *error = QStringLiteral("La columna \"%1\" no puede guardar ese texto: %2.%3").arg(title, why, kRectifica);
            return false;
        }
        if (bytes.size() > f->width) {
            if (error)
                *error = QStringLiteral("El texto de la columna \"%1\" tiene %2 caracteres y la columna admite a lo más %3.%4")
                             .arg(title)
                             .arg(bytes.size())
                             .arg(f->width)
                             .arg(kRectifica);
            return false;
        }
        return true;
    }
    if (f->type != DbfType::Numeric) return true;
    const auto number = numberOf(value);
    if (!number) return true;  // toColumnValue has refused it already
    // The number as the table writes it: its decimals, and "0.50" as ".50" when that is what fits.
    QString text = number->integer ? QString::number(*number->integer) : QString::number(number->value, 'f', f->decimals);
    if (number->integer && f->decimals > 0) text += u'.' + QString(f->decimals, u'0');
    if (text.size() > f->width && f->decimals > 0) {
        const qsizetype zero = text.startsWith(u'-') ? 1 : 0;
        if (text.at(zero) == u'0') text.remove(zero, 1);
    }
    if (text.size() <= f->width) return true;
    if (error) {
        const int sign = number->value < 0 ? 1 : 0;
        const int whole = qMax(0, f->width - (f->decimals > 0 ? f->decimals + 1 : 0) - sign);
        const QString room = f->decimals > 0
                                 ? QStringLiteral("%1 cifras enteras y %2 decimales").arg(whole).arg(f->decimals)
                                 : QStringLiteral("%1 cifras").arg(whole);
        *error = QStringLiteral("El número %1 no cabe en la columna \"%2\", que admite a lo más %3.%4")
                     .arg(displayText(value, column), title, room, kRectifica);
    }
    return false;
}

QString BoundGridModel::withCaptions(const QString& error) const {
    QString out = error;
    for (int c = 0; c < columns_.size(); ++c) {
        const DbfField* f = field(c);
        if (!f || columns_[c].caption.isEmpty() || columns_[c].caption == f->name) continue;
        const QString caption = QStringLiteral("\"%1\"").arg(columns_[c].caption);
        out.replace(QRegularExpression(QStringLiteral("\\bel campo %1\\b").arg(QRegularExpression::escape(f->name))),
                    QStringLiteral("la columna ") + caption);
        out.replace(QRegularExpression(QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(f->name))), caption);
    }
    return out;
}

std::shared_ptr<DbfTable> BoundGridModel::liveTable() const {
    RecordSet* rs = recordSet();
    if (!rs || !rs->isOpen() || !rs->database() || rs->tableName().isEmpty()) return nullptr;
    return rs->database()->sharedTable(rs->tableName());
}

QVariantList BoundGridModel::readRecord(int recno) const {
    const int position = positionOfRecord(recno);
    if (position >= 0) return readRow(position);
    // Left out of the record set by a refresh: read from the table by field name.
    QVariantList out;
    RecordSet* rs = recordSet();
    DbfTable* table = rs ? rs->table() : nullptr;
    for (int c = 0; c < columns_.size(); ++c) {
        const int rc = recordSetColumn(c);
        const int fi = table && rc >= 0 ? table->fieldIndex(rs->columnName(rc)) : -1;
        out.append(fi >= 0 && recno > 0 && recno <= table->recordCount() ? table->value(recno - 1, fi) : QVariant());
    }
    return out;
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
    editTable_ = loadedTable_;
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

// Writes the row in edit: a new row with every bound column, a changed row with the cells
// that differ from what it held when the edit began, over what its record holds now. The
// message in *error is the one the user sees.
bool BoundGridModel::writePending(QString* error, int* recno) {
    RecordSet* rs = recordSet();
    const GridRow& row = *edited_;
    const bool isNew = row.isNew();
    QString why;
    auto failed = [&](const QString& reason) {
        *error = QStringLiteral("No se pudo guardar el registro. ") + withCaptions(reason);
        return false;
    };

    QMap<int, QVariant> changed;  // record-set column -> value to store
    for (int c = 0; c < columns_.size(); ++c) {
        const int rc = recordSetColumn(c);
        if (rc < 0 || (!isNew && sameValue(row.value(c), original_->value(c)))) continue;
        QVariant v;
        if (!toColumnValue(c, row.value(c), &v, error)) return false;  // the message says what to fix
        if (!fitsColumn(c, v, &why)) return failed(why);
        changed.insert(rc, v);
    }

    if (isNew) {
        QVariantList values;
        for (int i = 0; i < rs->columnCount(); ++i) values.append(changed.value(i));
        int newPosition = -1;
        if (!rs->insertRow(values, &newPosition, &why)) return failed(why);
        *recno = rs->recordNumber(newPosition);
        return true;
    }
    *recno = row.recordNumber();
    if (changed.isEmpty()) return true;
    if (!rs->updateFields(row.recordNumber(), changed, &why)) return failed(why);
    return true;
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
    // A record number is valid only in the table file the row was read from.
    if (!isNew && !sameTable(editTable_, liveTable())) {
        showError(QStringLiteral("No se pudo guardar el registro: la tabla %1 se reorganizó mientras lo editabas y "
                                 "el registro ya no se puede localizar. Toma nota de lo que escribiste y presiona "
                                 "Esc para descartarlo.")
                      .arg(recordSet()->tableName()));
        rowChanged(pendingViewRow());
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
        showError(error);
        rowChanged(pendingViewRow());
        return false;
    }

    // The row is in the table: take it out of the buffer and show what the table holds.
    const int shownAt = pendingViewRow();
    const bool wasExtra = pendingIsExtra();
    const QVariantList stored = readRecord(recno);
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

bool BoundGridModel::reload() {
    beginResetModel();
    mapColumns();
    rows_.clear();
    RecordSet* rs = recordSet();
    writable_ = rs && rs->isOpen() && rs->isUpdatable();
    const std::weak_ptr<DbfTable> before = loadedTable_;
    loadedTable_ = rs ? rs->sharedTable() : nullptr;
    if (rs && rs->isOpen())
        for (int i = 0; i < rs->count(); ++i) rows_.append({rs->recordNumber(i), readRow(i)});
    endResetModel();
    return sameTable(before, loadedTable_);
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

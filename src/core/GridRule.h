#pragma once
// The behaviour of one grid, apart from the widget: what a new row gets, the check after
// a cell is accepted, what happens before and after a row is stored or deleted, and which
// keys a column admits. The bound grid calls these; rules act only on the row being edited.

#include <QList>
#include <QString>
#include <QVariant>

namespace kalto {

// One grid column: caption, the record-set column it shows, visibility and width (pixels).
struct GridColumn {
    QString caption;
    QString field;
    bool visible = true;
    int width = 100;
};

// The row being edited, by grid column index.
class GridRow {
public:
    GridRow() = default;
    GridRow(QVariantList values, bool isNew, int recordNumber = 0)
        : values_(std::move(values)), isNew_(isNew), recno_(recordNumber) {}

    int columnCount() const { return values_.size(); }
    QVariant value(int column) const { return column >= 0 && column < values_.size() ? values_[column] : QVariant(); }
    QString text(int column) const { return value(column).toString(); }
    void setValue(int column, const QVariant& v) {
        if (column < 0) return;
        while (values_.size() <= column) values_.append(QVariant());
        values_[column] = v;
    }
    const QVariantList& values() const { return values_; }
    bool isNew() const { return isNew_; }
    int recordNumber() const { return recno_; }  // 0 for a row not yet stored

private:
    QVariantList values_;
    bool isNew_ = false;
    int recno_ = 0;
};

class GridRule {
public:
    virtual ~GridRule() = default;
    // The first keystroke in the add-new row began a new row.
    virtual void newRow(GridRow&) {}
    // The text of the cell being edited changed (`text` may be rewritten, e.g. its case).
    virtual void textChanged(GridRow&, int /*column*/, QString& /*text*/) {}
    // A cell's new value was accepted into the row; the rule may rewrite cells.
    virtual void cellAccepted(GridRow&, int /*column*/) {}
    // Before a new row / a changed row is stored, and before a row is deleted: returning
    // false refuses (the rule has shown its message) and the row stays in edit.
    virtual bool beforeInsert(GridRow&) { return true; }
    virtual bool beforeUpdate(GridRow&) { return true; }
    virtual bool beforeDelete(const GridRow&) { return true; }
    // After the row is in the table.
    virtual void afterInsert(const GridRow&) {}
    virtual void afterUpdate(const GridRow&) {}
    virtual void afterDelete(const GridRow&) {}
    // A key typed into `column`: return false to discard it; `ch` may be replaced.
    virtual bool keyTyped(const GridRow&, int /*column*/, QChar& /*ch*/) { return true; }
};

}  // namespace kalto

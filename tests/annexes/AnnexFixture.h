#pragma once
// A data folder with the delivered catalogues, a recording Messages, a request state, and
// a stand-in for the bound grid's write cycle: a row typed into a GridRow is stored the way
// the grid stores it (before-hook, the row written by its columns, after-hook with the row
// as stored), and deleted the same way.

#include "annexes/AnnexCommon.h"
#include "core/GridRule.h"
#include "core/RequestState.h"
#include "data/Database.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace kalto::test {

// A pick list as the rules see it.
class FakePickList : public PickListAccess {
public:
    struct Entry {
        QString text;
        QVariant data;
    };
    QList<Entry> entries;
    int current = -1;
    bool shown = false;

    bool isShown() const override { return shown; }
    int currentIndex() const override { return current; }
    QString currentText() const override { return current >= 0 ? entries[current].text : QString(); }
    QVariant currentData() const override { return current >= 0 ? entries[current].data : QVariant(); }
    bool selectText(const QString& text) override {
        for (int i = 0; i < entries.size(); ++i)
            if (entries[i].text == text) {
                current = i;
                return true;
            }
        return false;
    }
    void hide() override { shown = false; }
    // Filled from a catalogue: text and item value columns of `sql`, in table order.
    void fill(Database& db, const QString& sql) {
        db.query(sql, {}, [&](const QVariantList& r) {
            entries.append({r.value(0).toString(), r.value(1)});
            return true;
        });
    }
};

// Messages that also keep the answer each question gives to Enter alone.
class AnsweringMessages : public RecordingMessages {
public:
    bool askYesNo(const QString& text, bool exclamationIcon, const QString& title, Answer defaultAnswer) override {
        defaultAnswers.append(defaultAnswer);
        return RecordingMessages::askYesNo(text, exclamationIcon, title, defaultAnswer);
    }
    QList<Answer> defaultAnswers;
};

// The columns a grid binds (an empty field is a column that no table column backs).
using Fields = QStringList;

class AnnexFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    }

    void exec(const QString& sql) { ASSERT_TRUE(db.execute(sql)) << sql.toStdString(); }
    QVariant scalar(const QString& sql) { return db.scalar(sql); }
    int count(const QString& sql) { return db.scalar(sql).toInt(); }
    // Every row of a query, its columns joined by '|', rows by ';'.
    QString rows(const QString& sql) {
        QStringList out;
        db.query(sql, {}, [&](const QVariantList& r) {
            QStringList cells;
            for (const QVariant& v : r) cells << (v.isNull() ? QStringLiteral("~") : v.toString());
            out << cells.join(QLatin1Char('|'));
            return true;
        });
        return out.join(QLatin1Char(';'));
    }

    // A new row of `n` empty cells, after the rule's newRow.
    static GridRow newRow(GridRule& rule, int n) {
        GridRow row(QVariantList(n), true);
        rule.newRow(row);
        return row;
    }
    // A stored row of `table` as the grid shows it (by its record number).
    GridRow storedRow(const QString& table, const Fields& fields, int recno) {
        QVariantList values;
        for (const QString& f : fields)
            values << (f.isEmpty() ? QVariant()
                                   : db.scalar(QStringLiteral("select %1 from %2 where rowid = ?").arg(f, table),
                                               {recno}));
        return GridRow(values, false, recno);
    }
    // The record number of the last row of `table`.
    int lastRecno(const QString& table) { return db.scalar(QStringLiteral("select max(rowid) from %1").arg(table)).toInt(); }

    // Stores `row` as the grid does. False when the rule (or the table) refused it; then
    // nothing is written and `row` keeps what the rule left in it.
    bool store(GridRule& rule, GridRow& row, const QString& table, const Fields& fields) {
        if (!(row.isNew() ? rule.beforeInsert(row) : rule.beforeUpdate(row))) return false;
        QStringList names, marks;
        QVariantList values;
        for (int c = 0; c < fields.size(); ++c) {
            if (fields[c].isEmpty()) continue;
            names << fields[c];
            marks << (row.isNew() ? QStringLiteral("?") : fields[c] + QStringLiteral(" = ?"));
            values << row.value(c);
        }
        QString error;
        int recno = row.recordNumber();
        if (row.isNew()) {
            if (!db.execute(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, names.join(','), marks.join(',')),
                            values, &error)) {
                ADD_FAILURE() << error.toStdString();
                return false;
            }
            recno = lastRecno(table);
        } else {
            values << recno;
            if (!db.execute(QStringLiteral("update %1 set %2 where rowid = ?").arg(table, marks.join(',')), values,
                            &error)) {
                ADD_FAILURE() << error.toStdString();
                return false;
            }
        }
        const bool isNew = row.isNew();
        const GridRow stored = storedRow(table, fields, recno);
        if (isNew)
            rule.afterInsert(stored);
        else
            rule.afterUpdate(stored);
        row = stored;
        return true;
    }
    // Deletes the stored `row` as the grid does; false when the rule refused.
    bool remove(GridRule& rule, const GridRow& row, const QString& table) {
        if (!rule.beforeDelete(row)) return false;
        EXPECT_TRUE(db.execute(QStringLiteral("delete from %1 where rowid = ?").arg(table), {row.recordNumber()}));
        rule.afterDelete(row);
        return true;
    }
    // Types `value` into `column` and accepts the cell; the messages shown meanwhile.
    QStringList accept(GridRule& rule, GridRow& row, int column, const QVariant& value) {
        messages.clear();
        row.setValue(column, value);
        rule.cellAccepted(row, column);
        return messages.texts();
    }
    // The characters of `typed` that the rule lets into `column`.
    static QString keys(GridRule& rule, const GridRow& row, int column, const QString& typed) {
        QString out;
        for (QChar ch : typed)
            if (rule.keyTyped(row, column, ch)) out += ch;
        return out;
    }

    TestFolder folder;
    Database db;
    AnsweringMessages messages;
    RequestState estado;
};

}  // namespace kalto::test

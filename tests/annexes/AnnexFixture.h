#pragma once
// A data folder with the delivered catalogues, the rules of the products, services and annex
// grids over it (with their pick lists and what they ask of the window counted), and a
// stand-in for the bound grid's write cycle: a row is stored the way the grid stores it
// (before-hook, the row written by its columns, after-hook with the row as stored) and
// deleted the same way.

#include "annexes/AnnexRules.h"
#include "annexes/ProductRule.h"
#include "annexes/ServiceRule.h"
#include "core/RequestState.h"
#include "data/Database.h"
#include "support/PrintQString.h"
#include "support/RecordingMessages.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

namespace kalto::test {

// A pick list as the rules see it, filled from a catalogue.
class FakePickList : public PickListAccess {
public:
    QList<std::pair<QString, QVariant>> entries;
    int current = -1;
    bool shown = false;

    bool isShown() const override { return shown; }
    int currentIndex() const override { return current; }
    QString currentText() const override { return current >= 0 ? entries[current].first : QString(); }
    QVariant currentData() const override { return current >= 0 ? entries[current].second : QVariant(); }
    bool selectText(const QString& text) override {
        for (int i = 0; i < entries.size(); ++i)
            if (entries[i].first == text) return (current = i), true;
        return false;
    }
    void hide() override { shown = false; }
    void fill(Database& db, const QString& sql) {
        db.query(sql, {}, [&](const QVariantList& r) {
            return entries.append({r.value(0).toString(), r.value(1)}), true;
        });
    }
};

// The table a grid shows and the columns it binds (empty: a column no table column backs).
struct Grid {
    QString table;
    QStringList fields;
};
inline const Grid kProductos{"improd", {"FRACCION", "UMID", "UM", "VOLUMEN", "PORCUT", "ID_PROD"}};
inline const Grid kImserv{"imserv", {"IDSERV", "SERVICIO"}};
inline const Grid kMPE{"imanexos", {"ID_PROD", "TIPO_REG", "DESCRIP", "FRACCION", "ID_SUBORD"}};
inline const Grid kInsumos{"imanexos", {"ID_PROD", "TIPO_REG", "FRACCION", "ID_SUBORD"}};          // and rework
inline const Grid kContenedores{"imanexos", {"ID_PROD", "TIPO_REG", "", "DESCRIP", "ID_SUBORD"}};  // and tools

class AnnexFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.open(db));
        unidades.fill(db, QStringLiteral("select u_medida, cast(cve_med as integer) from imunidmd"));
        lista.fill(db, QStringLiteral("select descserv, idcserv from imcserv"));
    }

    void exec(const QString& sql) { ASSERT_TRUE(db.execute(sql)) << sql.toStdString(); }
    int count(const QString& sql) { return db.scalar(sql).toInt(); }
    // Every row of a query, its columns joined by '|' (a null as '~'), rows by `between`.
    QString rows(const QString& sql, const QString& between = QStringLiteral(";")) {
        QStringList out;
        db.query(sql, {}, [&](const QVariantList& r) {
            QStringList cells;
            for (const QVariant& v : r) cells << (v.isNull() ? QStringLiteral("~") : v.toString());
            return out << cells.join(QLatin1Char('|')), true;
        });
        return out.join(between);
    }
    QString annexes() {
        return rows(QStringLiteral("select id_prod, tipo_reg, descrip, fraccion, id_subord from imanexos"));
    }

    static GridRow newRow(GridRule& rule, int n) {
        GridRow row(QVariantList(n), true);
        rule.newRow(row);
        return row;
    }
    // A stored row as the grid shows it (by its record number; the last one by default).
    GridRow storedRow(const Grid& g, int recno = 0) {
        if (recno == 0) recno = count(QStringLiteral("select max(rowid) from ") + g.table);
        QVariantList values;
        for (const QString& f : g.fields)
            values << (f.isEmpty()
                           ? QVariant()
                           : db.scalar(QStringLiteral("select %1 from %2 where rowid = ?").arg(f, g.table), {recno}));
        return GridRow(values, false, recno);
    }
    // Stores `row` as the grid does; false when the rule refused it (nothing written).
    bool store(GridRule& rule, GridRow& row, const Grid& g) {
        const bool isNew = row.isNew();
        if (!(isNew ? rule.beforeInsert(row) : rule.beforeUpdate(row))) return false;
        QStringList names;
        QVariantList values;
        for (int c = 0; c < g.fields.size(); ++c)
            if (!g.fields[c].isEmpty()) names << g.fields[c], values << row.value(c);
        const QString marks = QStringList(names.size(), QStringLiteral("?")).join(',');
        const QString sql = isNew
                                ? QStringLiteral("insert into %1 (%2) values (%3)").arg(g.table, names.join(','), marks)
                                : QStringLiteral("update %1 set (%2) = (%3) where rowid = %4")
                                      .arg(g.table, names.join(','), marks, QString::number(row.recordNumber()));
        QString error;
        if (!db.execute(sql, values, &error)) return ADD_FAILURE() << error.toStdString(), false;
        row = storedRow(g, isNew ? 0 : row.recordNumber());
        isNew ? rule.afterInsert(row) : rule.afterUpdate(row);
        return true;
    }
    // Deletes the stored `row` as the grid does; false when the rule refused.
    bool remove(GridRule& rule, const GridRow& row, const Grid& g) {
        if (!rule.beforeDelete(row)) return false;
        EXPECT_TRUE(db.execute(QStringLiteral("delete from %1 where rowid = ?").arg(g.table), {row.recordNumber()}));
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
    RecordingMessages messages;
    RequestState estado;
    FakePickList unidades, lista;
    ExportProductSelection seleccion;
    // What the rules asked the window to show again, and the page they asked for.
    int mpeShown = 0, inputsShown = 0, servicesShown = 0, productsShown = 0, page = -1;
    AnnexEvents events{[this] { ++mpeShown; }, [this] { ++inputsShown; }, [this] { ++servicesShown; },
                       [this] { ++productsShown; }, [this](int p) { page = p; }};
    ProductRule producto{db, messages, estado, &unidades, events};
    ServiceRule servicio{db, messages, estado, &lista, events};
    ExportProductAnnexRule mpe{db, messages, estado, events};
    std::function<ExportProductSelection()> selected = [this] { return seleccion; };
    AnnexRule anx[4]{{db, messages, estado, 0, selected},
                     {db, messages, estado, 1, selected},
                     {db, messages, estado, 2, selected},
                     {db, messages, estado, 3, selected}};
};

}  // namespace kalto::test

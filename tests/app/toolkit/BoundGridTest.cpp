// The bound grid driven through its real widget: keys typed into the cells, rows stored in
// the table file only when the user leaves them, refusals, write failures, deletes, refreshes.

#include "app/rules/RecordingMessages.h"
#include "app/toolkit/BoundGrid.h"
#include "app/toolkit/BoundGridModel.h"
#include "app/toolkit/MessageBoxMessages.h"
#include "app/toolkit/PickList.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "support/TestFolder.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kalto;

namespace {

// Grid columns of the plant-address grid used here; the kind code is a hidden column.
enum Col { Calle, CP, Ciudad, Email, IdDir };

// imdir fields, in file order.
enum Field { F_IDDIR = 0, F_CALLEYNO = 1, F_CP = 2, F_CIUDAD = 3, F_EMAIL = 6 };

class AddressRule : public GridRule {
public:
    explicit AddressRule(Messages* m) : messages(m) {}

    void newRow(GridRow& row) override {
        calls << QStringLiteral("newRow");
        row.setValue(IdDir, QStringLiteral("PL"));
    }
    void textChanged(GridRow& row, int column, QString& text) override {
        calls << QStringLiteral("textChanged");
        kindWhenTyping = row.text(IdDir);
        if (column == Calle || column == Ciudad) text = text.toUpper();
        if (column == Email) text = text.toLower();
    }
    void cellAccepted(GridRow& row, int column) override {
        calls << QStringLiteral("cellAccepted");
        // A rule that rewrites a cell: a city of "X" is emptied.
        if (column == Ciudad && row.text(Ciudad) == QLatin1String("X")) {
            messages->exclamation(QStringLiteral("Ciudad no válida. Rectifica por favor"));
            row.setValue(Ciudad, QVariant());
        }
    }
    bool beforeInsert(GridRow&) override {
        calls << QStringLiteral("beforeInsert");
        if (refuseInsert) messages->exclamation(QStringLiteral("Solo puedes ingresar un domicilio. Rectifica por favor"));
        return !refuseInsert;
    }
    bool beforeUpdate(GridRow&) override {
        calls << QStringLiteral("beforeUpdate");
        return true;
    }
    bool beforeDelete(const GridRow& row) override {
        deleteAsked = row.text(Calle);
        if (refuseDelete) messages->exclamation(QStringLiteral("No se puede borrar. Rectifica por favor"));
        return !refuseDelete;
    }
    void afterInsert(const GridRow& row) override { insertedRecno = row.recordNumber(); }
    void afterDelete(const GridRow& row) override { deleted = row.text(Calle); }
    bool keyTyped(const GridRow&, int column, QChar& ch) override {
        if (column == CP) return ch.isDigit();  // postal code: digits only
        return true;
    }

    Messages* messages;
    QStringList calls;
    QString kindWhenTyping;
    QString deleteAsked;
    QString deleted;
    int insertedRecno = 0;
    bool refuseInsert = false;
    bool refuseDelete = false;
};

class BoundGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        source = new DataSource(QStringLiteral("dtsPlanta"), &db,
                                QStringLiteral("select * from imdir where iddir = 'PL'"), &window);
        ASSERT_TRUE(source->refresh(&error)) << error.toStdString();
        grid = new BoundGrid(&window);
        grid->setObjectName(QStringLiteral("dbPlanta"));
        other = new QLineEdit(&window);
        other->setObjectName(QStringLiteral("txtOtro"));
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->bind(source, columns(), &rule, &messages);
        window.resize(900, 400);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QApplication::processEvents();
    }

    static QList<GridColumn> columns() {
        return {{QStringLiteral("Calle y No."), QStringLiteral("CALLEYNO"), true, 200},
                {QStringLiteral("C.P."), QStringLiteral("cp"), true, 60},
                {QStringLiteral("Ciudad"), QStringLiteral("CIUDAD"), true, 120},
                {QStringLiteral("e-mail"), QStringLiteral("EMAIL"), true, 150},
                {QStringLiteral("IDDIR"), QStringLiteral("IDDIR"), false, 40}};
    }

    QWidget* focused() const {
        QWidget* w = QApplication::focusWidget();
        return w ? w : grid;
    }
    QLineEdit* editor() const { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }
    // Keys go where a user's keys go: to the widget with the focus (the cell editor once open).
    void type(const QString& text) {
        for (const QChar c : text) QTest::keyClicks(focused(), QString(c));
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(focused(), k, m); }
    void clickCell(int row, int column) {
        const QRect r = grid->visualRect(grid->gridModel()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    }
    // Types a row into the add-new row, column by column, and leaves it with Down.
    void addRow(const QString& calle, const QString& cp) {
        ASSERT_TRUE(grid->setCurrentCell(grid->gridModel()->addNewRow(), Calle));
        type(calle);
        key(Qt::Key_Tab);
        type(cp);
        key(Qt::Key_Down);
    }

    // The live records of imdir as the file on disk holds them, read through a handle of
    // our own.
    QList<QVariantList> fileRecords() const {
        QString error;
        auto table = DbfTable::open(db.tablePath(QStringLiteral("imdir")), &error);
        EXPECT_TRUE(table) << error.toStdString();
        QList<QVariantList> out;
        if (!table) return out;
        for (int i = 0; i < table->recordCount(); ++i)
            if (!table->isDeleted(i)) out << table->record(i);
        return out;
    }

    test::TestFolder folder;
    Database db;
    QWidget window;
    DataSource* source = nullptr;
    BoundGrid* grid = nullptr;
    QLineEdit* other = nullptr;
    RecordingMessages messages;
    AddressRule rule{&messages};
};

TEST_F(BoundGridTest, TypedRowIsStoredOnceWhenLeft) {
    QSignalSpy begun(grid, &BoundGrid::rowBegun);
    QSignalSpy stored(grid, &BoundGrid::rowStored);
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_EQ(grid->currentRow(), 0);  // the add-new row

    type(QStringLiteral("av. reforma 10"));
    ASSERT_NE(editor(), nullptr);
    // The rule's upper-casing shows in the editor, the caret after the last character.
    EXPECT_EQ(editor()->text(), QStringLiteral("AV. REFORMA 10"));
    EXPECT_EQ(editor()->cursorPosition(), editor()->text().size());
    // The new row got its kind code before the first typed text reached the rule.
    EXPECT_EQ(rule.calls.value(0), QStringLiteral("newRow"));
    EXPECT_EQ(rule.kindWhenTyping, QStringLiteral("PL"));
    EXPECT_EQ(begun.count(), 1);
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_TRUE(grid->isEditing());

    key(Qt::Key_Right);  // caret at the end: the next column
    EXPECT_EQ(grid->currentColumn(), int(CP));
    type(QStringLiteral("06a1-00"));  // the rule refuses the letter and the dash
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), QStringLiteral("06100"));
    EXPECT_TRUE(fileRecords().isEmpty()) << "nothing is written before the row is left";

    key(Qt::Key_Down);
    auto records = fileRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0][F_IDDIR].toString(), QStringLiteral("PL"));
    EXPECT_EQ(records[0][F_CALLEYNO].toString(), QStringLiteral("AV. REFORMA 10"));
    EXPECT_EQ(records[0][F_CP].toString(), QStringLiteral("06100"));
    EXPECT_TRUE(records[0][F_CIUDAD].isNull());
    EXPECT_EQ(stored.count(), 1);
    EXPECT_EQ(rule.insertedRecno, 1);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->currentRow(), 1);  // on the add-new row
    EXPECT_EQ(grid->cellValue(0, IdDir).toString(), QStringLiteral("PL"));  // hidden column holds its value

    // Moving about the empty add-new row writes no blank record.
    key(Qt::Key_Down);
    key(Qt::Key_Up);
    EXPECT_EQ(fileRecords().size(), 1);
    EXPECT_EQ(begun.count(), 1);

    // Changing the stored row and leaving it updates that record, without a second one.
    ASSERT_TRUE(grid->setCurrentCell(0, Ciudad));
    type(QStringLiteral("monterrey"));
    key(Qt::Key_Down);
    records = fileRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0][F_CIUDAD].toString(), QStringLiteral("MONTERREY"));
    EXPECT_EQ(records[0][F_CALLEYNO].toString(), QStringLiteral("AV. REFORMA 10"));
    EXPECT_EQ(records[0][F_IDDIR].toString(), QStringLiteral("PL"));
    EXPECT_TRUE(rule.calls.contains(QStringLiteral("beforeUpdate")));
    EXPECT_TRUE(messages.entries.isEmpty());

    // Enter on the last visible column leaves the row too.
    ASSERT_TRUE(grid->setCurrentCell(0, Email));
    type(QStringLiteral("Ventas@Planta.MX"));
    EXPECT_EQ(editor()->text(), QStringLiteral("ventas@planta.mx"));
    key(Qt::Key_Return);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(fileRecords()[0][F_EMAIL].toString(), QStringLiteral("ventas@planta.mx"));
}

TEST_F(BoundGridTest, EscapeDiscardsTheRow) {
    type(QStringLiteral("calle perdida"));
    key(Qt::Key_Tab);
    type(QStringLiteral("123"));
    key(Qt::Key_Escape);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_EQ(grid->gridModel()->rowCount(), 1);  // only the add-new row
    EXPECT_TRUE(fileRecords().isEmpty());

    addRow(QStringLiteral("norte 5"), QStringLiteral("11000"));
    ASSERT_EQ(fileRecords().size(), 1);
    ASSERT_TRUE(grid->setCurrentCell(0, Calle));
    type(QStringLiteral("sur 9"));
    key(Qt::Key_Tab);
    EXPECT_EQ(grid->cellValue(0, Calle).toString(), QStringLiteral("SUR 9"));  // in the buffer
    key(Qt::Key_Escape);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(grid->cellValue(0, Calle).toString(), QStringLiteral("NORTE 5"));
    EXPECT_EQ(grid->gridModel()->data(grid->gridModel()->index(0, Calle)).toString(), QStringLiteral("NORTE 5"));
    key(Qt::Key_Down);
    ASSERT_EQ(fileRecords().size(), 1);
    EXPECT_EQ(fileRecords()[0][F_CALLEYNO].toString(), QStringLiteral("NORTE 5"));
}

TEST_F(BoundGridTest, RefusedRowStaysInEdit) {
    rule.refuseInsert = true;
    type(QStringLiteral("poniente 3"));
    key(Qt::Key_Down);
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Solo puedes ingresar un domicilio. Rectifica por favor")});
    EXPECT_TRUE(fileRecords().isEmpty());
    EXPECT_TRUE(grid->isEditing());
    EXPECT_EQ(grid->currentRow(), 0);
    ASSERT_NE(grid->pendingRow(), nullptr);
    EXPECT_EQ(grid->pendingRow()->text(Calle), QStringLiteral("PONIENTE 3"));

    // A click on another row stores first; refused, the click does not move.
    clickCell(1, Calle);
    EXPECT_EQ(messages.entries.size(), 2);
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_FALSE(grid->setCurrentRow(1));
    EXPECT_EQ(messages.entries.size(), 3);
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_TRUE(fileRecords().isEmpty());

    // Leaving the grid for another control asks once; the row stays in edit.
    other->setFocus();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(messages.entries.size(), 4);
    EXPECT_TRUE(grid->isEditing());
    EXPECT_TRUE(fileRecords().isEmpty());
    grid->setFocus();

    // Fixed, the same row is stored by the next leave.
    rule.refuseInsert = false;
    clickCell(1, Calle);
    EXPECT_EQ(grid->currentRow(), 1);
    ASSERT_EQ(fileRecords().size(), 1);
    EXPECT_EQ(fileRecords()[0][F_CALLEYNO].toString(), QStringLiteral("PONIENTE 3"));
}

TEST_F(BoundGridTest, WriteFailureKeepsTheRowAndSaysWhy) {
    // The row begins in a column that no rule rewrites: the first key must not be lost.
    ASSERT_TRUE(grid->setCurrentCell(0, CP));
    type(QStringLiteral("1234567"));  // CP holds 5 characters
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), QStringLiteral("1234567"));
    key(Qt::Key_Down);
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].kind, RecordingMessages::Kind::Exclamation);
    EXPECT_TRUE(messages.last().startsWith(QStringLiteral("No se pudo guardar el registro.")))
        << messages.last().toStdString();
    EXPECT_TRUE(messages.last().contains(QStringLiteral("CP"))) << messages.last().toStdString();
    EXPECT_TRUE(fileRecords().isEmpty());
    EXPECT_TRUE(grid->isEditing());
    EXPECT_EQ(grid->pendingRow()->text(CP), QStringLiteral("1234567"));
    EXPECT_EQ(grid->currentRow(), 0);

    // Corrected through the buffer (as a pick list writes), the row is stored.
    ASSERT_TRUE(grid->setCurrentValue(CP, QStringLiteral("12345")));
    EXPECT_TRUE(grid->commit());
    ASSERT_EQ(fileRecords().size(), 1);
    EXPECT_EQ(fileRecords()[0][F_CP].toString(), QStringLiteral("12345"));
}

TEST_F(BoundGridTest, CellRuleRewritesTheRow) {
    type(QStringLiteral("calle 1"));
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    type(QStringLiteral("x"));
    key(Qt::Key_Tab);  // accepted: the rule empties it with its message
    EXPECT_EQ(messages.last(), QStringLiteral("Ciudad no válida. Rectifica por favor"));
    EXPECT_TRUE(grid->cellValue(0, Ciudad).isNull());
    EXPECT_TRUE(grid->gridModel()->data(grid->gridModel()->index(0, Ciudad)).toString().isEmpty());
    EXPECT_TRUE(grid->commit());
    ASSERT_EQ(fileRecords().size(), 1);
    EXPECT_TRUE(fileRecords()[0][F_CIUDAD].isNull());
}

TEST_F(BoundGridTest, DeleteRefusedAndDone) {
    addRow(QStringLiteral("primera"), QStringLiteral("1"));
    addRow(QStringLiteral("segunda"), QStringLiteral("2"));
    ASSERT_EQ(fileRecords().size(), 2);
    ASSERT_EQ(grid->rowCount(), 2);
    QSignalSpy deleted(grid, &BoundGrid::rowDeleted);

    // Delete on a single cell does nothing; on a selected row it asks the rule.
    ASSERT_TRUE(grid->setCurrentCell(0, Calle));
    key(Qt::Key_Delete);
    EXPECT_EQ(fileRecords().size(), 2);
    EXPECT_TRUE(rule.deleteAsked.isEmpty());

    rule.refuseDelete = true;
    ASSERT_TRUE(grid->selectWholeRow(0));
    key(Qt::Key_Delete);
    EXPECT_EQ(rule.deleteAsked, QStringLiteral("PRIMERA"));
    EXPECT_EQ(messages.last(), QStringLiteral("No se puede borrar. Rectifica por favor"));
    EXPECT_EQ(fileRecords().size(), 2);
    EXPECT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(deleted.count(), 0);

    rule.refuseDelete = false;
    key(Qt::Key_Delete);
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_EQ(rule.deleted, QStringLiteral("PRIMERA"));
    const auto records = fileRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0][F_CALLEYNO].toString(), QStringLiteral("SEGUNDA"));
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->cellValue(0, Calle).toString(), QStringLiteral("SEGUNDA"));

    // The remaining row is still edited by its own record number.
    ASSERT_TRUE(grid->setCurrentCell(0, CP));
    type(QStringLiteral("9"));
    EXPECT_TRUE(grid->commit());
    ASSERT_EQ(fileRecords().size(), 1);
    EXPECT_EQ(fileRecords()[0][F_CALLEYNO].toString(), QStringLiteral("SEGUNDA"));
    EXPECT_EQ(fileRecords()[0][F_CP].toString(), QStringLiteral("9"));

    // A new row being typed is dropped, never written.
    ASSERT_TRUE(grid->setCurrentCell(grid->gridModel()->addNewRow(), Calle));
    type(QStringLiteral("tercera"));
    ASSERT_TRUE(grid->isEditing());
    EXPECT_TRUE(grid->deleteCurrentRow());
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(fileRecords().size(), 1);
}

TEST_F(BoundGridTest, RefreshKeepsWhatWasTyped) {
    addRow(QStringLiteral("guardada"), QStringLiteral("1"));
    ASSERT_TRUE(grid->setCurrentCell(grid->gridModel()->addNewRow(), Calle));
    type(QStringLiteral("a medias"));  // the editor is still open
    // Someone else adds a plant behind the grid; the source is queried again.
    QString error;
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (iddir, calleyno, rfc) values (?, ?, ?)"),
                           {QStringLiteral("PL"), QStringLiteral("DE FUERA"), QStringLiteral("ABC010101XY1")},
                           &error))
        << error.toStdString();
    ASSERT_TRUE(source->refresh(&error)) << error.toStdString();

    EXPECT_EQ(grid->rowCount(), 3);
    EXPECT_TRUE(grid->isEditing());
    ASSERT_NE(grid->pendingRow(), nullptr);
    EXPECT_EQ(grid->pendingRow()->text(Calle), QStringLiteral("A MEDIAS"));
    EXPECT_EQ(grid->cellValue(2, Calle).toString(), QStringLiteral("A MEDIAS"));
    EXPECT_EQ(grid->cellValue(1, Calle).toString(), QStringLiteral("DE FUERA"));
    EXPECT_EQ(grid->currentRow(), 2);
    EXPECT_EQ(fileRecords().size(), 2);

    EXPECT_TRUE(grid->commit());
    EXPECT_EQ(fileRecords().size(), 3);

    // A changed stored row is stored before the source is queried again.
    ASSERT_TRUE(grid->setCurrentCell(0, Ciudad));
    type(QStringLiteral("puebla"));
    ASSERT_TRUE(source->refresh(&error));
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(fileRecords()[0][F_CIUDAD].toString(), QStringLiteral("PUEBLA"));
    EXPECT_EQ(grid->cellValue(0, Ciudad).toString(), QStringLiteral("PUEBLA"));

    // A column the grid does not show keeps its value when the row is changed.
    ASSERT_TRUE(grid->setCurrentCell(1, Ciudad));
    type(QStringLiteral("tijuana"));
    key(Qt::Key_Up);
    const auto records = fileRecords();
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[1][F_CALLEYNO].toString(), QStringLiteral("DE FUERA"));
    EXPECT_EQ(records[1][F_CIUDAD].toString(), QStringLiteral("TIJUANA"));
    EXPECT_EQ(records[1][10].toString(), QStringLiteral("ABC010101XY1"));  // RFC
}

TEST_F(BoundGridTest, LeavingTheGridStoresTheRowButAPickListDoesNot) {
    PickList list(&window);
    list.setObjectName(QStringLiteral("lstCiudad"));
    list.addEntry(QStringLiteral("MÉRIDA"), 31);
    list.addEntry(QStringLiteral("MORELIA"), 16);
    QObject::connect(&list, &PickList::accepted, grid, [&] { grid->setCurrentValue(Ciudad, list.currentText()); });

    type(QStringLiteral("calle con lista"));
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    type(QStringLiteral("m"));
    placeUnderCell(grid, Ciudad, &list, false);
    ASSERT_TRUE(list.isVisible());
    EXPECT_EQ(list.currentRow(), 0);
    // With the list open, Down in the cell moves in the list, not out of the row.
    key(Qt::Key_Down);
    EXPECT_EQ(list.currentRow(), 1);
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_TRUE(grid->isCellEditorOpen());
    key(Qt::Key_Up);
    EXPECT_EQ(list.currentRow(), 0);
    list.setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(fileRecords().isEmpty()) << "a pick list of the grid is not outside the grid";
    EXPECT_TRUE(grid->isEditing());

    list.setCurrentRow(1);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_FALSE(list.isVisible());
    EXPECT_TRUE(grid->hasFocus() || grid->isAncestorOf(QApplication::focusWidget()));
    EXPECT_EQ(grid->currentValue(Ciudad).toString(), QStringLiteral("MORELIA"));
    QApplication::processEvents();
    EXPECT_TRUE(fileRecords().isEmpty());

    other->setFocus();
    QApplication::processEvents();
    const auto records = fileRecords();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0][F_CALLEYNO].toString(), QStringLiteral("CALLE CON LISTA"));
    EXPECT_EQ(records[0][F_CIUDAD].toString(), QStringLiteral("MORELIA"));
    EXPECT_FALSE(grid->isEditing());
}

// Rules that query the grid's own source again while a row is being stored.
class RefreshingRule : public AddressRule {
public:
    using AddressRule::AddressRule;
    bool beforeInsert(GridRow& row) override {
        source->refresh();
        row.setValue(Ciudad, QStringLiteral("PUESTA POR LA REGLA"));
        return true;
    }
    void afterInsert(const GridRow& row) override {
        source->refresh();
        AddressRule::afterInsert(row);
    }
    DataSource* source = nullptr;
};

TEST_F(BoundGridTest, RuleRefreshingItsSourceWhileStoring) {
    RefreshingRule refreshing(&messages);
    refreshing.source = source;
    grid->bind(source, columns(), &refreshing, &messages);
    addRow(QStringLiteral("uno"), QStringLiteral("1"));
    addRow(QStringLiteral("dos"), QStringLiteral("2"));
    const auto records = fileRecords();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1][F_CALLEYNO].toString(), QStringLiteral("DOS"));
    EXPECT_EQ(records[1][F_CIUDAD].toString(), QStringLiteral("PUESTA POR LA REGLA"));
    EXPECT_EQ(grid->rowCount(), 2);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(grid->cellValue(1, Ciudad).toString(), QStringLiteral("PUESTA POR LA REGLA"));
    EXPECT_EQ(grid->currentRow(), 2);
    EXPECT_TRUE(messages.entries.isEmpty());
}

// With real message boxes: a refusal shown while the focus goes to the box and back does
// not ask again, and the row stays in edit.
TEST_F(BoundGridTest, RealMessageBoxesDoNotRepeat) {
    MessageBoxMessages boxes;
    AddressRule refusing(&boxes);
    refusing.refuseInsert = true;
    grid->bind(source, columns(), &refusing, &boxes);
    grid->setFocus();
    QStringList shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown << box->text();
            box->accept();
        }
    });
    closer.start(10);

    type(QStringLiteral("con caja"));
    key(Qt::Key_Down);
    QTest::qWait(100);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Solo puedes ingresar un domicilio. Rectifica por favor")});
    EXPECT_TRUE(grid->isEditing());
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_TRUE(fileRecords().isEmpty());

    refusing.refuseInsert = false;
    key(Qt::Key_Down);
    QTest::qWait(50);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(fileRecords().size(), 1);
}

// A window that opens its pick list when an edit of the column begins, giving it the focus:
// the key that began the edit still lands in the cell, and the list stays open.
TEST_F(BoundGridTest, PickListOpenedWhenTheEditBegins) {
    PickList list(&window);
    list.addEntry(QStringLiteral("MÉRIDA"), 31);
    list.addEntry(QStringLiteral("MORELIA"), 16);
    QList<int> edits;
    QObject::connect(grid, &BoundGrid::beforeEdit, &list, [&](int column) {
        edits << column;
        if (column != Ciudad) return;
        placeUnderCell(grid, Ciudad, &list, false);
        list.setFocus();
    });
    QStringList texts;
    QObject::connect(grid, &BoundGrid::cellTextChanged, &list,
                     [&](int column, const QString& text) { texts << QString::number(column) + text; });

    ASSERT_TRUE(grid->setCurrentCell(0, Ciudad));
    QTest::keyClicks(grid, QStringLiteral("m"));
    EXPECT_EQ(edits, QList<int>{Ciudad});
    EXPECT_TRUE(list.isVisible());
    EXPECT_TRUE(list.hasFocus());
    EXPECT_EQ(texts, QStringList{QStringLiteral("2M")});
    ASSERT_TRUE(grid->isEditing());
    EXPECT_EQ(grid->pendingRow()->text(IdDir), QStringLiteral("PL"));

    list.setCurrentRow(1);
    QObject::connect(&list, &PickList::accepted, grid, [&] { grid->setCurrentValue(Ciudad, list.currentText()); });
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_FALSE(list.isVisible());
    EXPECT_FALSE(grid->isCellEditorOpen());
    EXPECT_EQ(grid->currentValue(Ciudad).toString(), QStringLiteral("MORELIA"));
    key(Qt::Key_Down);
    ASSERT_EQ(fileRecords().size(), 1);
    EXPECT_EQ(fileRecords()[0][F_CIUDAD].toString(), QStringLiteral("MORELIA"));

    // F2 opens the editor without a key: beforeEdit is told as well.
    ASSERT_TRUE(grid->setCurrentCell(0, Calle));
    QTest::keyClick(grid, Qt::Key_F2);
    EXPECT_EQ(edits.last(), int(Calle));
    EXPECT_TRUE(grid->isCellEditorOpen());
}

TEST_F(BoundGridTest, PickListValueStartsANewRow) {
    ASSERT_EQ(grid->currentRow(), 0);
    QSignalSpy begun(grid, &BoundGrid::rowBegun);
    ASSERT_TRUE(grid->setCurrentValue(Ciudad, QStringLiteral("TOLUCA")));
    EXPECT_EQ(begun.count(), 1);
    ASSERT_NE(grid->pendingRow(), nullptr);
    EXPECT_EQ(grid->pendingRow()->text(IdDir), QStringLiteral("PL"));
    EXPECT_TRUE(fileRecords().isEmpty());
    key(Qt::Key_Down);
    ASSERT_EQ(fileRecords().size(), 1);
    EXPECT_EQ(fileRecords()[0][F_CIUDAD].toString(), QStringLiteral("TOLUCA"));
    EXPECT_EQ(fileRecords()[0][F_IDDIR].toString(), QStringLiteral("PL"));
}

TEST_F(BoundGridTest, ColumnsAndGeometry) {
    EXPECT_EQ(grid->columnCount(), 5);
    EXPECT_EQ(grid->columnCaption(CP), QStringLiteral("C.P."));
    EXPECT_EQ(grid->gridModel()->headerData(Ciudad, Qt::Horizontal).toString(), QStringLiteral("Ciudad"));
    EXPECT_FALSE(grid->isColumnVisible(IdDir));
    EXPECT_EQ(grid->columnLeft(IdDir), -1);
    EXPECT_EQ(grid->columnLeft(Calle), 0);
    EXPECT_EQ(grid->columnLeft(CP), 200);
    EXPECT_EQ(grid->columnLeft(Ciudad), 260);
    grid->setColumnVisible(CP, false);
    EXPECT_EQ(grid->columnLeft(Ciudad), 200);
    grid->setColumnVisible(CP, true);
    EXPECT_EQ(grid->rowTop(0), 0);
    EXPECT_GT(grid->rowHeight(), 0);

    // Left and right move between the visible columns; the hidden one is skipped.
    ASSERT_TRUE(grid->setCurrentCell(0, Ciudad));
    key(Qt::Key_Right);
    EXPECT_EQ(grid->currentColumn(), int(Email));
    key(Qt::Key_Right);
    EXPECT_EQ(grid->currentColumn(), int(Email));
    key(Qt::Key_Left);
    key(Qt::Key_Left);
    EXPECT_EQ(grid->currentColumn(), int(CP));

    // Without the add-new row nothing can be begun.
    grid->setAllowAddNew(false);
    EXPECT_EQ(grid->gridModel()->rowCount(), 0);
    EXPECT_EQ(grid->currentRow(), -1);
    EXPECT_FALSE(grid->setCurrentValue(Calle, QStringLiteral("nada")));
    grid->setAllowAddNew(true);
    EXPECT_EQ(grid->gridModel()->rowCount(), 1);
}

// Numeric columns: a number typed with blanks is trimmed, an empty cell is NULL, and a text is
// never written into a numeric field.
TEST(BoundGridNumbers, ConvertedInOnePlace) {
    test::TestFolder folder;
    Database db;
    QString error;
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    DataSource source(QStringLiteral("dtsProducto"), &db, QStringLiteral("improd"));
    ASSERT_TRUE(source.refresh(&error)) << error.toStdString();
    RecordingMessages messages;
    BoundGrid grid;
    grid.bind(&source,
              {{QStringLiteral("Fracción"), QStringLiteral("FRACCION"), true, 80},
               {QStringLiteral("Capacidad Instalada"), QStringLiteral("VOLUMEN"), true, 80},
               {QStringLiteral("Porcentaje Utilizado"), QStringLiteral("PORCUT"), true, 80}},
              nullptr, &messages);
    BoundGridModel* model = grid.gridModel();

    QVariant out;
    EXPECT_TRUE(model->toColumnValue(1, QStringLiteral("  12 "), &out, &error));
    EXPECT_EQ(out.typeId(), QMetaType::LongLong);
    EXPECT_EQ(out.toLongLong(), 12);
    EXPECT_TRUE(model->toColumnValue(2, QStringLiteral("7.5"), &out, &error));
    EXPECT_EQ(out.typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(out.toDouble(), 7.5);
    EXPECT_TRUE(model->toColumnValue(1, QStringLiteral("   "), &out, &error));
    EXPECT_TRUE(out.isNull());
    EXPECT_FALSE(model->toColumnValue(1, QStringLiteral("1,5"), &out, &error));
    EXPECT_FALSE(model->toColumnValue(1, QStringLiteral("doce"), &out, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Capacidad Instalada"))) << error.toStdString();
    // Text columns keep what was typed, leading blanks and digits included.
    EXPECT_TRUE(model->toColumnValue(0, QStringLiteral(" 0101"), &out, &error));
    EXPECT_EQ(out, QVariant(QStringLiteral(" 0101")));
    EXPECT_TRUE(model->toColumnValue(0, QString(), &out, &error));
    EXPECT_TRUE(out.isNull());

    auto table = [&] {
        auto t = DbfTable::open(db.tablePath(QStringLiteral("improd")), &error);
        EXPECT_TRUE(t) << error.toStdString();
        return t;
    };
    const int fFraccion = 1, fVolumen = 3, fPorcut = 4;

    // The typed text of a non-number stays in the row for the user to fix; storing refuses it.
    ASSERT_TRUE(grid.setCurrentRow(0));
    ASSERT_TRUE(grid.setCurrentValue(0, QStringLiteral("01012101")));
    model->acceptValue(0, 1, QStringLiteral("doce"));
    EXPECT_EQ(grid.currentValue(1).toString(), QStringLiteral("doce"));
    EXPECT_FALSE(grid.commit());
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_TRUE(messages.last().contains(QStringLiteral("Capacidad Instalada")));
    EXPECT_EQ(table()->recordCount(), 0);

    model->acceptValue(0, 1, QStringLiteral(" 12 "));
    model->acceptValue(0, 2, QString());
    EXPECT_TRUE(grid.commit());
    auto t = table();
    ASSERT_EQ(t->recordCount(), 1);
    EXPECT_EQ(t->value(0, fFraccion).toString(), QStringLiteral("01012101"));
    EXPECT_DOUBLE_EQ(t->value(0, fVolumen).toDouble(), 12.0);
    EXPECT_TRUE(t->value(0, fPorcut).isNull());
    EXPECT_EQ(grid.gridModel()->data(model->index(0, 1)).toString(), QStringLiteral("12"));
}

// Every table model passes the model tester, through the grid's own operations.
TEST_F(BoundGridTest, ModelPassesTheModelTester) {
    static QStringList failures;
    failures.clear();
    const auto previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (text.contains(QStringLiteral("FAIL"))) failures << text;
    });
    {
        QAbstractItemModelTester tester(grid->gridModel(), QAbstractItemModelTester::FailureReportingMode::Warning);
        addRow(QStringLiteral("uno"), QStringLiteral("1"));
        addRow(QStringLiteral("dos"), QStringLiteral("2"));
        ASSERT_TRUE(grid->setCurrentCell(0, Ciudad));
        type(QStringLiteral("tres"));
        key(Qt::Key_Escape);
        ASSERT_TRUE(grid->setCurrentCell(grid->gridModel()->addNewRow(), Calle));
        type(QStringLiteral("nueva"));
        QString error;
        ASSERT_TRUE(source->refresh(&error));
        key(Qt::Key_Escape);
        ASSERT_TRUE(grid->selectWholeRow(0));
        key(Qt::Key_Delete);
        grid->setAllowAddNew(false);
        grid->setAllowAddNew(true);
        grid->refreshView();
        EXPECT_EQ(grid->rowCount(), 1);
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(failures.isEmpty()) << failures.join(QLatin1Char('\n')).toStdString();
}

}  // namespace

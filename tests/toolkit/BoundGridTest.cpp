// The bound grid driven through its real widget, its model watched by the model tester: rows
// stored only when the user leaves them, refusals, write failures, deletes, refreshes, pick lists.

#include "support/RecordingMessages.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/BoundGridModel.h"
#include "toolkit/MessageBoxMessages.h"
#include "toolkit/PickList.h"
#include "data/DataSource.h"
#include "data/Dbf.h"
#include "support/TestFolder.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace kalto;

namespace {

enum Col { Calle, CP, Ciudad, Email, IdDir };  // grid columns; the kind code is hidden
const QString kRefusal = QStringLiteral("Solo puedes ingresar un domicilio. Rectifica por favor");

class AddressRule : public GridRule {
public:
    void newRow(GridRow& row) override { row.setValue(IdDir, QStringLiteral("PL")); }
    void textChanged(GridRow& row, int column, QString& text) override {
        EXPECT_EQ(row.text(IdDir), QStringLiteral("PL")) << "a new row has its kind code before any text";
        if (column == Calle || column == Ciudad) text = text.toUpper();
        if (column == Email) text = text.toLower();
    }
    void cellAccepted(GridRow& row, int column) override {  // a city of "X" is emptied
        if (column == Ciudad && row.text(Ciudad) == QLatin1String("X")) row.setValue(Ciudad, QVariant());
    }
    bool beforeInsert(GridRow& row) override {
        if (refreshing) refreshing->refresh();
        if (refreshing) row.setValue(Ciudad, QStringLiteral("DE LA REGLA"));
        if (refuse) messages->exclamation(kRefusal);
        return !refuse;
    }
    void afterInsert(const GridRow&) override { if (refreshing) refreshing->refresh(); }
    bool beforeDelete(const GridRow& row) override {
        if (refuse) messages->exclamation(QStringLiteral("No se puede borrar ") + row.text(Calle));
        return !refuse;
    }
    bool keyTyped(const GridRow&, int column, QChar& ch) override { return column != CP || ch.isDigit(); }

    Messages* messages = nullptr;
    DataSource* refreshing = nullptr;  // queries the grid's own source again while a row is stored
    bool refuse = false;
};

class BoundGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.open(db));
        source = new DataSource(QStringLiteral("dtsPlanta"), &db,
                                QStringLiteral("select * from imdir where iddir = 'PL'"), &window);
        ASSERT_TRUE(source->refresh());
        grid = new BoundGrid(&window);
        grid->setGeometry(0, 0, 700, 300);
        other = new QLineEdit(&window);
        other->move(720, 0);
        rule.messages = &messages;
        grid->bind(source,
                   {{{}, QStringLiteral("CALLEYNO"), true, 200}, {{}, QStringLiteral("cp"), true, 60},
                    {{}, QStringLiteral("CIUDAD"), true, 120}, {{}, QStringLiteral("EMAIL"), true, 150},
                    {{}, QStringLiteral("IDDIR"), false, 40}},
                   &rule, &messages);
        new QAbstractItemModelTester(grid->gridModel(), QAbstractItemModelTester::FailureReportingMode::Fatal,
                                     grid->gridModel());
        window.resize(900, 300);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
    }
    // Keys go where a user's keys go: to the widget with the focus (the cell editor once open).
    // A tab in `text` is the Tab key.
    QWidget* focused() const { return QApplication::focusWidget() ? QApplication::focusWidget() : grid; }
    QLineEdit* editor() const { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }
    void type(const QString& text) {
        for (const QChar c : text)
            c == QLatin1Char('\t') ? QTest::keyClick(focused(), Qt::Key_Tab) : QTest::keyClicks(focused(), QString(c));
    }
    void key(Qt::Key k) { QTest::keyClick(focused(), k); }
    void clickCell(int row, int column) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->gridModel()->index(row, column)).center());
    }
    void addRow(const QString& typed) {  // typed into the add-new row from the first column, left with Down
        ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), Calle));
        type(typed);
        key(Qt::Key_Down);
    }
    // The live records as the file on disk holds them, these fields joined by "|"; by default
    // imdir's "IDDIR|CALLEYNO|CP|CIUDAD|EMAIL|RFC".
    QStringList stored(const QString& file = QStringLiteral("imdir"), QList<int> fields = {0, 1, 2, 3, 6, 10}) const {
        const auto table = DbfTable::open(db.tablePath(file), nullptr);
        EXPECT_TRUE(table);
        QStringList out;
        for (int i = 0; table && i < table->recordCount(); ++i) {
            QStringList values;
            for (int f : fields) values << table->value(i, f).toString();
            if (!table->isDeleted(i)) out << values.join(QLatin1Char('|'));
        }
        return out;
    }

    test::TestFolder folder;
    Database db;
    QWidget window;
    DataSource* source = nullptr;
    BoundGrid* grid = nullptr;
    QLineEdit* other = nullptr;
    RecordingMessages messages;
    AddressRule rule;
};

TEST_F(BoundGridTest, TypedRowIsStoredOnceWhenLeft) {
    type(QStringLiteral("av. reforma 10"));  // into the add-new row of the empty table
    ASSERT_NE(editor(), nullptr);
    // The rule's upper-casing shows in the editor, the caret after the last character.
    EXPECT_EQ(editor()->text(), QStringLiteral("AV. REFORMA 10"));
    EXPECT_EQ(editor()->cursorPosition(), editor()->text().size());
    key(Qt::Key_Right);  // caret at the end: the next column, where the rule refuses letters and dashes
    type(QStringLiteral("06a1-00"));
    EXPECT_EQ(editor()->text(), QStringLiteral("06100"));
    type(QStringLiteral("\tx\t"));  // a city of "X", accepted: the rule empties it
    EXPECT_EQ(stored(), QStringList()) << "nothing is written before the row is left";
    key(Qt::Key_Down);
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|AV. REFORMA 10|06100|||")});
    EXPECT_EQ(grid->currentRow(), 1);  // on the add-new row
    key(Qt::Key_Down);  // moving about the empty add-new row writes no blank record
    key(Qt::Key_Up);
    EXPECT_EQ(stored().size(), 1);

    // A changed stored row is written over its record; Enter on the last column leaves it too.
    ASSERT_TRUE(grid->setCurrentCell(0, Email));
    type(QStringLiteral("Ventas@Planta.MX"));
    EXPECT_EQ(editor()->text(), QStringLiteral("ventas@planta.mx"));
    key(Qt::Key_Return);
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|AV. REFORMA 10|06100||ventas@planta.mx|")});

    // Escape discards: a changed row shows its stored values again, a new row goes; neither is
    // written when left.
    ASSERT_TRUE(grid->setCurrentCell(0, Calle));
    type(QStringLiteral("sur 9\t"));
    EXPECT_EQ(grid->cellValue(0, Calle).toString(), QStringLiteral("SUR 9"));  // in the buffer
    key(Qt::Key_Escape);
    EXPECT_EQ(grid->gridModel()->data(grid->gridModel()->index(0, Calle)).toString(), QStringLiteral("AV. REFORMA 10"));
    ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), Calle));
    type(QStringLiteral("calle perdida\t123"));
    key(Qt::Key_Escape);
    EXPECT_EQ(grid->gridModel()->rowCount(), 2);  // the stored row and the add-new row
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|AV. REFORMA 10|06100||ventas@planta.mx|")});
    EXPECT_TRUE(messages.entries.isEmpty());
}

TEST_F(BoundGridTest, RefusedOrFailedRowStaysInEdit) {
    // The row begins in a column no rule rewrites (its first key must not be lost). Down, a click
    // on another row, a window's move, leaving the grid: each asks the rule once, none moves.
    rule.refuse = true;
    ASSERT_TRUE(grid->setCurrentCell(0, CP));
    type(QStringLiteral("1234567"));  // CP holds 5 characters
    key(Qt::Key_Down);
    clickCell(1, Calle);
    EXPECT_FALSE(grid->setCurrentRow(1));
    other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(messages.texts(), QStringList(4, kRefusal));
    EXPECT_TRUE(grid->isEditing());

    // Allowed, the over-long value fails the write: the row stays in edit, with the reason.
    rule.refuse = false;
    messages.clear();
    grid->setFocus();
    key(Qt::Key_Down);
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_TRUE(messages.last().startsWith(QStringLiteral("No se pudo guardar el registro.")) &&
                messages.last().contains(QStringLiteral("CP")))
        << messages.last().toStdString();
    EXPECT_EQ(grid->pendingRow()->text(CP), QStringLiteral("1234567"));
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_EQ(stored(), QStringList());

    // Corrected through the buffer (as a pick list writes), the next leave stores it.
    ASSERT_TRUE(grid->setCurrentValue(CP, QStringLiteral("12345")));
    clickCell(1, Calle);
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL||12345|||")});

    // With real message boxes the focus goes to the box and back: the refusal is not asked again.
    MessageBoxMessages boxes;
    rule.messages = &boxes;
    rule.refuse = true;
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
    EXPECT_EQ(shown, QStringList{kRefusal});
}

TEST_F(BoundGridTest, DeleteRefusedAndAllowed) {
    addRow(QStringLiteral("primera\t1"));
    addRow(QStringLiteral("segunda\t2"));
    rule.refuse = true;
    ASSERT_TRUE(grid->setCurrentCell(0, Calle));
    key(Qt::Key_Delete);  // on a single cell: nothing, the rule is not even asked
    ASSERT_TRUE(grid->selectWholeRow(0));
    key(Qt::Key_Delete);
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("No se puede borrar PRIMERA")});
    EXPECT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(stored().size(), 2);

    rule.refuse = false;
    key(Qt::Key_Delete);
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|SEGUNDA|2|||")});
    // The remaining row is written over its own record, not over the deleted one.
    ASSERT_TRUE(grid->setCurrentCell(0, CP));
    type(QStringLiteral("9"));
    EXPECT_TRUE(grid->commit());
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|SEGUNDA|9|||")});
}

TEST_F(BoundGridTest, RefreshKeepsAPendingNewRow) {
    addRow(QStringLiteral("guardada"));
    ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), Calle));
    type(QStringLiteral("a medias"));  // the editor is still open
    // Someone else adds a plant behind the grid; the source is queried again.
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (iddir, calleyno, rfc) values (?, ?, ?)"),
                           {QStringLiteral("PL"), QStringLiteral("DE FUERA"), QStringLiteral("ABC010101XY1")}));
    ASSERT_TRUE(source->refresh());
    EXPECT_TRUE(grid->isEditing()) << "kept in edit, not stored";
    EXPECT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->cellValue(2, Calle).toString(), QStringLiteral("A MEDIAS"));
    EXPECT_EQ(grid->currentRow(), 2);
    EXPECT_TRUE(grid->commit());

    // A changed stored row is stored before the source is queried again; a table column the
    // grid does not show keeps its value.
    ASSERT_TRUE(grid->setCurrentCell(1, Ciudad));
    type(QStringLiteral("tijuana"));
    ASSERT_TRUE(source->refresh());
    EXPECT_EQ(stored(), (QStringList{"PL|GUARDADA||||", "PL|DE FUERA||TIJUANA||ABC010101XY1", "PL|A MEDIAS||||"}));

    // A rule that queries the grid's own source again while the row is being stored.
    rule.refreshing = source;
    addRow(QStringLiteral("dos"));
    EXPECT_EQ(stored().value(3), QStringLiteral("PL|DOS||DE LA REGLA||"));
    EXPECT_EQ(grid->cellValue(3, Ciudad).toString(), QStringLiteral("DE LA REGLA"));
    EXPECT_EQ(grid->currentRow(), 4);
}

TEST_F(BoundGridTest, PickListsInTheGrid) {
    PickList list(&window);
    list.addEntry(QStringLiteral("MÉRIDA"), 31);
    list.addEntry(QStringLiteral("MORELIA"), 16);
    QObject::connect(&list, &PickList::accepted, grid, [&] { grid->setCurrentValue(Ciudad, list.currentText()); });
    // A window that opens the list, with the focus, when an edit of the column begins: the key
    // that began the edit (and the new row) still lands in the cell, and the list stays open.
    const auto opener = QObject::connect(grid, &BoundGrid::beforeEdit, &list, [&](int column) {
        if (column == Ciudad) placeUnderCell(grid, Ciudad, &list, false);
        if (column == Ciudad) list.setFocus();
    });
    ASSERT_TRUE(grid->setCurrentCell(0, Ciudad));
    QTest::keyClicks(grid, QStringLiteral("m"));
    EXPECT_TRUE(list.isVisible() && list.hasFocus());
    const auto* cellEditor = grid->findChild<QLineEdit*>();
    EXPECT_TRUE(cellEditor && cellEditor->text() == QStringLiteral("M"));
    list.setCurrentRow(1);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(grid->currentValue(Ciudad).toString(), QStringLiteral("MORELIA"));
    QObject::disconnect(opener);

    // With the list open, Down in a cell moves in the list, not out of the row; the focus in
    // the list is not outside the grid; leaving the grid stores the row.
    ASSERT_TRUE(grid->setCurrentCell(0, Calle));
    type(QStringLiteral("con lista"));
    placeUnderCell(grid, Calle, &list, false);
    key(Qt::Key_Down);
    EXPECT_EQ(list.currentRow(), 1);
    EXPECT_TRUE(grid->isCellEditorOpen());
    list.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(stored(), QStringList());
    QTest::keyClick(&list, Qt::Key_Escape);
    other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|CON LISTA||MORELIA||")});

    // A value written by a list into the add-new row begins a new row, with its kind code.
    ASSERT_TRUE(grid->setCurrentRow(grid->addNewRow()));
    ASSERT_TRUE(grid->setCurrentValue(Ciudad, QStringLiteral("TOLUCA")));
    EXPECT_TRUE(grid->commit());
    EXPECT_EQ(stored().value(1), QStringLiteral("PL|||TOLUCA||"));
}

// Numbers typed with blanks are trimmed, an empty cell is NULL, a text never reaches a numeric
// field: it stays in the row for the user to fix, and storing refuses it.
TEST_F(BoundGridTest, NumbersConvertedInOnePlace) {
    auto* products = new DataSource(QStringLiteral("dtsProducto"), &db, QStringLiteral("improd"), &window);
    ASSERT_TRUE(products->refresh());
    grid->bind(products,
               {{QStringLiteral("Fracción"), QStringLiteral("FRACCION"), true, 80},
                {QStringLiteral("Capacidad Instalada"), QStringLiteral("VOLUMEN"), true, 80},
                {QStringLiteral("Porcentaje Utilizado"), QStringLiteral("PORCUT"), true, 80}},
               nullptr, &messages);
    QVariant out;  // a decimal point, never a comma
    EXPECT_TRUE(grid->gridModel()->toColumnValue(2, QStringLiteral(" 7.5 "), &out, nullptr) && out == QVariant(7.5));
    EXPECT_FALSE(grid->gridModel()->toColumnValue(1, QStringLiteral("1,5"), &out, nullptr));
    ASSERT_TRUE(grid->setCurrentValue(0, QStringLiteral(" 0101")));
    grid->gridModel()->acceptValue(0, 1, QStringLiteral("doce"));
    EXPECT_EQ(grid->currentValue(1).toString(), QStringLiteral("doce"));
    EXPECT_FALSE(grid->commit());
    EXPECT_TRUE(messages.last().contains(QStringLiteral("Capacidad Instalada"))) << messages.last().toStdString();
    EXPECT_EQ(stored(QStringLiteral("improd"), {1}), QStringList());

    grid->gridModel()->acceptValue(0, 1, QStringLiteral(" 12 "));
    grid->gridModel()->acceptValue(0, 2, QStringLiteral("  "));
    EXPECT_TRUE(grid->commit());
    // FRACCION, a text, as typed; VOLUMEN; PORCUT empty (NULL, not a zero).
    EXPECT_EQ(stored(QStringLiteral("improd"), {1, 3, 4}), QStringList{QStringLiteral(" 0101|12|")});
}

}  // namespace

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
const QString kUpdateRefusal = QStringLiteral("Falta la colonia. Rectifica por favor");

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
    bool beforeUpdate(GridRow&) override {
        if (refuseUpdates <= 0) return true;
        --refuseUpdates;
        messages->exclamation(kUpdateRefusal);
        return false;
    }
    bool beforeDelete(const GridRow& row) override {
        if (refuse) messages->exclamation(QStringLiteral("No se puede borrar ") + row.text(Calle));
        return !refuse;
    }
    bool keyTyped(const GridRow&, int column, QChar& ch) override { return column != CP || ch.isDigit(); }

    Messages* messages = nullptr;
    DataSource* refreshing = nullptr;  // queries the grid's own source again while a row is stored
    bool refuse = false;
    int refuseUpdates = 0;  // how many of the next updates are refused
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
    // Keys go to the widget with the focus; a tab in `text` is the Tab key.
    QWidget* focused() const { return QApplication::focusWidget() ? QApplication::focusWidget() : grid; }
    QLineEdit* editor() const { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }
    void type(const QString& text) {
        for (const QChar c : text) {
            if (c == QLatin1Char('\t'))
                QTest::keyClick(focused(), Qt::Key_Tab);
            else if (c.unicode() > 0xFF)  // no key of its own: typed as text, as an input method does
                QTest::sendKeyEvent(QTest::Click, focused(), Qt::Key_unknown, QString(c), Qt::NoModifier);
            else
                QTest::keyClicks(focused(), QString(c));
        }
    }
    void key(Qt::Key k) { QTest::keyClick(focused(), k); }
    DataSource* openSource(const QString& name, const QString& sql) {
        auto* s = new DataSource(name, &db, sql, &window);
        EXPECT_TRUE(s->refresh());
        return s;
    }
    // The user acknowledges every message box as it shows; their texts are noted in `shown`.
    void acknowledgeBoxes() {
        QObject::connect(&closer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                box->accept();
            }
        });
        closer.start(10);
    }
    void clickCell(int row, int column) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->gridModel()->index(row, column)).center());
    }
    void plants(std::initializer_list<const char*> streets) {  // stored behind the grid
        for (const char* street : streets)
            ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (iddir, calleyno) values ('PL', ?)"),
                                   {QString::fromLatin1(street)}));
        ASSERT_TRUE(source->refresh());
    }
    void reactivate() {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QApplication::processEvents();
    }
    void addRow(const QString& typed) {  // typed into the add-new row from the first column, left with Down
        ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), Calle));
        type(typed);
        key(Qt::Key_Down);
    }
    // The live records on disk, these fields joined by "|" (imdir: IDDIR|CALLEYNO|CP|CIUDAD|EMAIL|RFC).
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
    QTimer closer;
    QStringList shown;
};

TEST_F(BoundGridTest, TypedRowIsStoredOnceWhenLeft) {
    type(QStringLiteral("av. reforma 10"));  // into the add-new row of the empty table
    ASSERT_NE(editor(), nullptr);
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

    // Escape discards a change and a new row.
    ASSERT_TRUE(grid->setCurrentCell(0, Calle));
    type(QStringLiteral("sur 9\t"));
    EXPECT_EQ(grid->cellValue(0, Calle).toString(), QStringLiteral("SUR 9"));  // in the buffer
    key(Qt::Key_Escape);
    EXPECT_EQ(grid->gridModel()->data(grid->gridModel()->index(0, Calle)).toString(), QStringLiteral("AV. REFORMA 10"));
    ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), Calle));
    type(QStringLiteral("calle perdida\t123"));
    key(Qt::Key_Escape);
    EXPECT_EQ(grid->gridModel()->rowCount(), 2);  // the stored row and the add-new row
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|AV. REFORMA 10|06100|||")});
    EXPECT_TRUE(messages.entries.isEmpty());
}

// Every way of leaving a changed row stores it over its record; refused, the row stays in edit, asked once.
TEST_F(BoundGridTest, EveryWayOfLeavingARow) {
    enum Way { Down, TabOffLastCell, ClickOtherRow, EnterOnLastCell, FocusElsewhere, CloseSource };
    plants({"A", "B"});
    int n = 0;
    for (const Way way : {Down, TabOffLastCell, ClickOtherRow, EnterOnLastCell, FocusElsewhere, CloseSource}) {
        for (const bool refused : {true, false}) {
            SCOPED_TRACE(::testing::Message() << "way " << way << (refused ? ", refused" : ", stored"));
            const QStringList before = stored();
            const QString email = QStringLiteral("w%1@planta.mx").arg(++n);
            rule.refuseUpdates = refused ? 1 : 0;
            messages.clear();
            grid->setFocus();
            ASSERT_TRUE(grid->setCurrentCell(0, Email));
            type(email.toUpper());
            switch (way) {
            case Down: key(Qt::Key_Down); break;
            case TabOffLastCell: key(Qt::Key_Tab); break;
            case ClickOtherRow: clickCell(1, Calle); break;
            case EnterOnLastCell: key(Qt::Key_Return); break;
            case FocusElsewhere: other->setFocus(); break;
            case CloseSource: EXPECT_NE(source->close(), refused); break;
            }
            QApplication::processEvents();
            EXPECT_EQ(grid->isEditing(), refused);
            EXPECT_EQ(messages.texts(), refused ? QStringList{kUpdateRefusal} : QStringList());
            const QStringList after{"PL|A|||" + email + "|", before.value(1)};
            EXPECT_EQ(stored(), refused ? before : after);
            grid->discard();
            ASSERT_TRUE(source->refresh());
        }
    }
}

TEST_F(BoundGridTest, RefusedOrFailedRowStaysInEdit) {
    // A new row refused by the rule, then by the table (CP holds 5 characters): it stays in edit.
    rule.refuse = true;
    ASSERT_TRUE(grid->setCurrentCell(0, CP));
    type(QStringLiteral("1234567"));
    EXPECT_FALSE(grid->setCurrentRow(1));
    EXPECT_EQ(messages.texts(), QStringList{kRefusal});
    rule.refuse = false;
    messages.clear();
    key(Qt::Key_Down);
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_TRUE(messages.last().startsWith(QStringLiteral("No se pudo guardar el registro.")) &&
                messages.last().contains(QStringLiteral("CP")))
        << messages.last().toStdString();
    EXPECT_EQ(grid->pendingRow()->text(CP), QStringLiteral("1234567"));
    EXPECT_EQ(grid->currentRow(), 0);
    EXPECT_EQ(stored(), QStringList());

    ASSERT_TRUE(grid->setCurrentValue(CP, QStringLiteral("12345")));
    clickCell(1, Calle);
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL||12345|||")});

    // Real message boxes take the focus and give it back: the refusal is not asked again.
    MessageBoxMessages boxes;
    rule.messages = &boxes;
    rule.refuse = true;
    acknowledgeBoxes();
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
    ASSERT_TRUE(grid->setCurrentCell(0, CP));
    type(QStringLiteral("9"));
    EXPECT_TRUE(grid->commit());
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|SEGUNDA|9|||")});
}

TEST_F(BoundGridTest, RefreshKeepsAPendingNewRow) {
    addRow(QStringLiteral("guardada"));
    ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), Calle));
    type(QStringLiteral("a medias"));  // the editor is still open
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (iddir, calleyno, rfc) values (?, ?, ?)"),
                           {QStringLiteral("PL"), QStringLiteral("DE FUERA"), QStringLiteral("ABC010101XY1")}));
    ASSERT_TRUE(source->refresh());
    EXPECT_TRUE(grid->isEditing()) << "kept in edit, not stored";
    EXPECT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->cellValue(2, Calle).toString(), QStringLiteral("A MEDIAS"));
    EXPECT_EQ(grid->currentRow(), 2);
    EXPECT_TRUE(grid->commit());

    // A changed row is stored before a refresh; a column the grid does not show keeps its value.
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
    // A list opened with the focus as the edit begins: the first key still lands in the cell.
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

    // Down moves in the open list; focus in the list is still in the grid; leaving the grid stores.
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

// Numbers are trimmed, an empty cell is NULL, a text in a numeric column is kept for the user and refused.
TEST_F(BoundGridTest, NumbersConvertedInOnePlace) {
    auto* products = openSource(QStringLiteral("dtsProducto"), QStringLiteral("improd"));
    grid->bind(products,
               {{QStringLiteral("Fracción"), QStringLiteral("FRACCION"), true, 80},
                {QStringLiteral("Capacidad Instalada"), QStringLiteral("VOLUMEN"), true, 80},
                {QStringLiteral("Porcentaje Utilizado"), QStringLiteral("PORCUT"), true, 80}},
               nullptr, &messages);
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

// Storing a changed row writes only the cells that changed, over what the record holds now.
TEST_F(BoundGridTest, AChangedRowWritesOnlyItsChangedCells) {
    ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos (id_prod, tipo_reg, descrip, fraccion, id_subord) "
                                          "values (1, 1, 'CAJA', '01010101', 0), (2, 1, 'BOLSA', '02020202', 0)")));
    auto* annexes = openSource(QStringLiteral("dtsAnxMPE"), QStringLiteral("select * from imanexos where tipo_reg = 1"));
    class BulkRule : public GridRule {  // goods in bulk have no tariff item
        void cellAccepted(GridRow& row, int column) override {
            if (column == 0 && row.text(0) == QLatin1String("GRANEL")) row.setValue(1, QVariant());
        }
    } bulk;
    grid->bind(annexes,
               {{QStringLiteral("Descripción"), QStringLiteral("DESCRIP"), true, 200},
                {QStringLiteral("Fracción"), QStringLiteral("FRACCION"), true, 80},
                {{}, QStringLiteral("ID_PROD"), false, 40}},
               &bulk, &messages);
    const auto annexRows = [&] { return stored(QStringLiteral("imanexos"), {0, 2, 3}); };

    ASSERT_TRUE(grid->setCurrentCell(0, 0));
    type(QStringLiteral("CAJA CHICA"));
    ASSERT_TRUE(db.execute(QStringLiteral("update imanexos set fraccion = '99999999' where id_prod = 1")));
    key(Qt::Key_Down);
    EXPECT_EQ(annexRows(), (QStringList{"1|CAJA CHICA|99999999", "2|BOLSA|02020202"}));
    EXPECT_EQ(grid->cellValue(0, 1).toString(), QStringLiteral("99999999")) << "the row shows what its record holds";

    // Changed before the edit began: kept too. A cell the rule rewrote counts as changed.
    ASSERT_TRUE(db.execute(QStringLiteral("update imanexos set descrip = 'BOLSA DE PAPEL' where id_prod = 2")));
    ASSERT_TRUE(grid->setCurrentCell(1, 1));
    type(QStringLiteral("03030303"));
    key(Qt::Key_Up);
    EXPECT_EQ(annexRows().value(1), QStringLiteral("2|BOLSA DE PAPEL|03030303"));
    ASSERT_TRUE(db.execute(QStringLiteral("update imanexos set fraccion = '88888888' where id_prod = 1")));
    ASSERT_TRUE(grid->setCurrentCell(0, 0));
    type(QStringLiteral("GRANEL"));
    key(Qt::Key_Down);
    EXPECT_EQ(annexRows().value(0), QStringLiteral("1|GRANEL|"));
    EXPECT_TRUE(messages.entries.isEmpty());
}

// A row in edit is tied to its record by number; the record set may change under it.
TEST_F(BoundGridTest, RowInEditWhileTheRecordSetChanges) {
    plants({"A", "B", "C", "D"});
    // D refused twice; rows before it deleted by another statement and refreshed: stored over its own record.
    rule.refuseUpdates = 2;
    ASSERT_TRUE(grid->setCurrentCell(3, Ciudad));
    type(QStringLiteral("tepic"));
    key(Qt::Key_Down);
    ASSERT_TRUE(db.execute(QStringLiteral("delete from imdir where calleyno in ('A', 'B')")));
    ASSERT_TRUE(source->refresh());
    EXPECT_EQ(messages.texts(), QStringList(2, kUpdateRefusal));
    ASSERT_TRUE(grid->isEditing());
    EXPECT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->cellValue(1, Ciudad).toString(), QStringLiteral("TEPIC"));
    EXPECT_TRUE(grid->commit());
    EXPECT_EQ(stored(), (QStringList{"PL|C||||", "PL|D||TEPIC||"}));

    // Another statement moves a refused row's record out of the query: still written over its record.
    rule.refuseUpdates = 2;
    ASSERT_TRUE(grid->setCurrentCell(0, Email));
    type(QStringLiteral("c@planta.mx"));
    key(Qt::Key_Down);
    ASSERT_TRUE(db.execute(QStringLiteral("update imdir set iddir = 'FL', cp = '01000' where calleyno = 'C'")));
    ASSERT_TRUE(source->refresh());
    EXPECT_EQ(grid->rowCount(), 2);  // D, then C in edit below it
    EXPECT_EQ(grid->cellValue(1, Email).toString(), QStringLiteral("c@planta.mx"));
    EXPECT_TRUE(grid->commit());
    EXPECT_EQ(stored(), (QStringList{"FL|C|01000||c@planta.mx|", "PL|D||TEPIC||"}));
}

// Packing rewrites the table: record numbers move. Plants A..E, A deleted in the grid.
TEST_F(BoundGridTest, RowInEditAcrossAPack) {
    plants({"A", "B", "C", "D", "E"});
    ASSERT_TRUE(grid->selectWholeRow(0));
    key(Qt::Key_Delete);
    ASSERT_EQ(db.table(QStringLiteral("imdir"))->deletedCount(), 1);
    rule.refuseUpdates = 2;  // C refused when left, and when the pack asks for it
    ASSERT_TRUE(grid->setCurrentCell(1, Ciudad));
    type(QStringLiteral("leon"));
    key(Qt::Key_Down);
    QString error;
    EXPECT_FALSE(DataSource::packTable(&db, QStringLiteral("IMDIR"), &error));
    EXPECT_EQ(error, QStringLiteral("No se pudo reorganizar la tabla imdir: hay un renglón en edición que no se pudo "
                                    "guardar. Corrígelo o descártalo (Esc) y vuelve a intentarlo."));
    EXPECT_EQ(db.table(QStringLiteral("imdir"))->deletedCount(), 1) << "nothing packed";
    EXPECT_TRUE(grid->isEditing());
    // Allowed now: stored over C's own record, then packed and shown again.
    EXPECT_TRUE(DataSource::packTable(&db, QStringLiteral("imdir"), &error)) << error.toStdString();
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(db.table(QStringLiteral("imdir"))->recordCount(), 4);
    EXPECT_EQ(stored(), (QStringList{"PL|B||||", "PL|C||LEON||", "PL|D||||", "PL|E||||"}));
    EXPECT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->cellValue(1, Ciudad).toString(), QStringLiteral("LEON"));

    // Refused on close, then packed behind the sources (D's number now E's): never written over E.
    rule.refuseUpdates = 2;
    ASSERT_TRUE(grid->setCurrentCell(2, Ciudad));
    type(QStringLiteral("merida"));
    key(Qt::Key_Down);
    EXPECT_FALSE(source->close());
    EXPECT_TRUE(grid->isEditing());
    ASSERT_TRUE(db.execute(QStringLiteral("delete from imdir where calleyno = 'B'")));
    ASSERT_TRUE(db.pack(QStringLiteral("imdir"), &error));
    ASSERT_TRUE(source->refresh());
    messages.clear();
    EXPECT_FALSE(grid->commit());
    EXPECT_TRUE(messages.last().contains(QStringLiteral("la tabla imdir se reorganizó"))) << messages.last().toStdString();
    EXPECT_EQ(stored(), (QStringList{"PL|C||LEON||", "PL|D||||", "PL|E||||"}));
    EXPECT_EQ(grid->rowCount(), 4) << "the row in edit is shown below the stored rows";
    EXPECT_EQ(grid->cellValue(2, Ciudad).toString(), QString());
    EXPECT_EQ(grid->cellValue(3, Ciudad).toString(), QStringLiteral("MERIDA"));
    key(Qt::Key_Escape);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(grid->rowCount(), 3);
}

// A message box coming and going never skips storing the row when the focus leaves the grid.
TEST_F(BoundGridTest, LeavingTheGridAfterAMessageStoresTheRow) {
    auto* companies = openSource(QStringLiteral("dtsControl"), QStringLiteral("select * from impects where idmcts = 'C'"));
    MessageBoxMessages boxes(&window);
    class PercentRule : public GridRule {  // a percentage that is not a number: a message, then 0
    public:
        void cellAccepted(GridRow& row, int column) override {
            if (column > 0 && row.value(column).typeId() == QMetaType::QString) {
                messages->exclamation(QStringLiteral("Debes colocar un valor númerico en esta columna. Rectifica por favor"));
                row.setValue(column, 0);
            }
        }
        Messages* messages = nullptr;
    } percent;
    percent.messages = &boxes;
    grid->bind(companies,
               {{QStringLiteral("Razón Social"), QStringLiteral("RSOCIAL"), true, 200},
                {QStringLiteral("Porc. Part. Cont."), QStringLiteral("PORCONT"), true, 80},
                {QStringLiteral("Porc. Part. Res."), QStringLiteral("PORCEXT"), true, 80}},
               &percent, &boxes);
    acknowledgeBoxes();
    const auto companyRows = [&] { return stored(QStringLiteral("impects"), {0, 5, 6}); };

    grid->setFocus();
    ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), 0));
    type(QStringLiteral("alfa\tabc\t"));
    QTest::qWait(50);
    reactivate();
    EXPECT_EQ(shown.size(), 1);
    EXPECT_TRUE(grid->isEditing());
    EXPECT_EQ(companyRows(), QStringList());
    // Tab out of the last column with a message on the way: stored.
    type(QStringLiteral("xyz\t"));
    QTest::qWait(50);
    reactivate();
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(QApplication::focusWidget(), other);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(companyRows(), QStringList{QStringLiteral("alfa|0|0")});
}

// A value the table cannot hold is refused naming the caption, never the field; the row stays as typed.
TEST_F(BoundGridTest, ValuesTheTableCannotHoldNameTheColumn) {
    const struct {
        QString table, field, caption, typed, reason;
    } cases[] = {
        {"impects", "NUMPROG", "Número Programa", "12.7", "sin decimales; \"12.7\" tiene decimales"},
        {"impects", "PORCONT", "Porc. Part. Cont.", "1.234", "admite a lo más 2 decimales; \"1.234\" tiene 3"},
        {"impects", "MONTOEXP", "Monto Exportación", "1234567890123.5", "a lo más 12 cifras enteras y 2 decimales"},
        {"imdir", "CALLEYNO", "Calle y No.", QString(101, u'x'), "101 caracteres y la columna admite a lo más 100"},
        {"imrlegal", "NOMREPLEG", "Nombre", "Omega Ω", "«Ω»"},  // not in the table's code page
        {"improd", "ID_PROD", "Clave", "40000", "32767"},  // a check only the table makes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption.toStdString());
        grid->bind(openSource(c.table, c.table), {{c.caption, c.field, true, 200}}, nullptr, &messages);
        ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), 0));
        type(c.typed);
        key(Qt::Key_Down);
        EXPECT_TRUE(grid->isEditing());
        EXPECT_EQ(grid->cellValue(grid->currentRow(), 0).toString(), c.typed) << "kept as typed, never rounded";
        EXPECT_TRUE(messages.last().contains(QStringLiteral("\"%1\"").arg(c.caption)) &&
                    messages.last().contains(c.reason) && !messages.last().contains(c.field))
            << messages.last().toStdString();
        EXPECT_EQ(stored(c.table, {0}), QStringList());
        grid->discard();
    }
    // Zeros after the point are no decimals; the largest amount fits.
    grid->bind(openSource(QStringLiteral("impects"), QStringLiteral("impects")),
               {{QStringLiteral("Razón Social"), QStringLiteral("RSOCIAL"), true, 200},
                {QStringLiteral("Número Programa"), QStringLiteral("NUMPROG"), true, 80},
                {QStringLiteral("Porc. Part. Cont."), QStringLiteral("PORCONT"), true, 80},
                {QStringLiteral("Monto Exportación"), QStringLiteral("MONTOEXP"), true, 120}},
               nullptr, &messages);
    ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), 0));
    type(QStringLiteral("alfa\t12.000\t1.230\t999999999999.99"));
    key(Qt::Key_Down);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(stored(QStringLiteral("impects"), {0, 3, 5, 2}), QStringList{"alfa|12|1.23|999999999999.99"});
}

}  // namespace

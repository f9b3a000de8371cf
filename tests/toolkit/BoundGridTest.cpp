// The bound grid driven through its real widget, its model watched by the model tester: rows
// stored only when the user leaves them, refusals, write failures, deletes, refreshes, pick lists;
// the message boxes and the hourglass pointer.

#include "support/RecordingMessages.h"
#include "toolkit/BoundGrid.h"
#include "toolkit/BoundGridModel.h"
#include "toolkit/Hourglass.h"
#include "toolkit/MessageBoxMessages.h"
#include "toolkit/PickList.h"
#include "data/DataSource.h"
#include "data/Dbf.h"
#include "support/TestFolder.h"

#include <QAbstractButton>
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
const QString kDoubt = QStringLiteral("Escribe el dato sin signos de interrogación");

class AddressRule : public GridRule {
public:
    void newRow(GridRow& row) override { row.setValue(IdDir, QStringLiteral("PL")); }
    void textChanged(GridRow& row, int column, QString& text) override {
        EXPECT_EQ(row.text(IdDir), QStringLiteral("PL")) << "a new row has its kind code before any text";
        if (column == Calle || column == Ciudad) text = text.toUpper();
        if (column == Email) text = text.toLower();
    }
    void cellAccepted(GridRow& row, int column) override {  // a city of "X" is emptied, a street "S/N" has none, a "?" is told and emptied
        if (column == Ciudad && row.text(Ciudad) == QLatin1String("X")) row.setValue(Ciudad, QVariant());
        if (column == Calle && row.text(Calle) == QLatin1String("S/N")) row.setValue(Ciudad, QVariant());
        if ((column == Ciudad || column == Email) && row.text(column).contains(u'?')) {
            messages->exclamation(kDoubt);
            row.setValue(column, QVariant());
        }
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
    // With `deleted`, the deleted records too, marked "*".
    QStringList stored(const QString& file = QStringLiteral("imdir"), QList<int> fields = {0, 1, 2, 3, 6, 10},
                       bool deleted = false) const {
        const auto table = DbfTable::open(db.tablePath(file), nullptr);
        EXPECT_TRUE(table);
        QStringList out;
        for (int i = 0; table && i < table->recordCount(); ++i) {
            QStringList values;
            for (int f : fields) values << table->value(i, f).toString();
            if (deleted || !table->isDeleted(i))
                out << (table->isDeleted(i) ? QStringLiteral("*") : QString()) + values.join(QLatin1Char('|'));
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

// A row in edit is tied to its record by number while the record set changes under it: other
// statements, refreshes, packs through the grid's source and behind it. After each step: a row in
// edit or not (in edit, it is the current row), the rows shown, the cell (row, col), every record
// of imdir as IDDIR|CALLEYNO|CP|CIUDAD|RFC ("*": deleted; none given: as before). An Edit is typed
// and left with Down, refused then and once more; Type leaves the editor open.
TEST_F(BoundGridTest, RowInEditWhileTheRecordSetChanges) {
    enum Op { Edit, Type, Leave, Exec, Sql, PackSource, PackBehind, Close, Commit, Escape, AddRefreshing };
    const struct {
        Op op;
        int row, col;
        const char* text;  // typed, a statement run before the refresh, or the message told
        bool ok, editing;
        int rows;
        const char *cell, *records;
    } steps[] = {
        {Edit, 3, Ciudad, "tepic", true, true, 4, "TEPIC", "PL|A|||,PL|B|||,PL|C|||,PL|D|||"},
        {Sql, 1, Ciudad, "delete from imdir where calleyno in ('A', 'B')", true, true, 2, "TEPIC", "*PL|A|||,*PL|B|||,PL|C|||,PL|D|||"},
        {Commit, 1, Ciudad, nullptr, true, false, 2, "TEPIC", "*PL|A|||,*PL|B|||,PL|C|||,PL|D||TEPIC|"},
        // Moved out of the query in edit (the table's last record): written over it, shown as it is stored.
        {Edit, 1, Ciudad, "colima", true, true, 2, "COLIMA", nullptr},
        {Sql, 1, Ciudad, "update imdir set iddir = 'FL' where calleyno = 'D'", true, true, 2, "COLIMA", "*PL|A|||,*PL|B|||,PL|C|||,FL|D||TEPIC|"},
        {Commit, 1, Ciudad, nullptr, true, false, -1, "COLIMA", "*PL|A|||,*PL|B|||,PL|C|||,FL|D||COLIMA|"},
        {Sql, 0, Calle, "insert into imdir (iddir, calleyno, rfc) values ('PL', 'E', null), ('PL', 'F', 'R1')", true, false, 3, "C",
         "*PL|A|||,*PL|B|||,PL|C|||,FL|D||COLIMA|,PL|E|||,PL|F|||R1"},
        // Packed through the source: refused, nothing packed; allowed, stored first, the current row kept.
        {Edit, 0, Ciudad, "leon", true, true, 3, "LEON", nullptr},
        {PackSource, 0, Ciudad, "No se pudo reorganizar la tabla imdir: hay un renglón en edición que no se pudo guardar. "
         "Corrígelo o descártalo (Esc) y vuelve a intentarlo.", false, true, 3, "LEON", nullptr},
        {PackSource, 0, Ciudad, nullptr, true, false, 3, "LEON", "PL|C||LEON|,FL|D||COLIMA|,PL|E|||,PL|F|||R1"},
        {Type, 2, Ciudad, "tijuana", true, true, 3, nullptr, nullptr},  // stored by a refresh, the hidden RFC kept
        {Sql, 2, Ciudad, "", true, false, 3, "TIJUANA", "PL|C||LEON|,FL|D||COLIMA|,PL|E|||,PL|F||TIJUANA|R1"},
        // Refused on close, packed behind the source: E's record number is now F's, never written over F.
        {Edit, 1, Ciudad, "merida", true, true, 3, "MERIDA", nullptr},
        {Close, 0, Ciudad, nullptr, false, true, 1, "MERIDA", nullptr},  // the closed source shows only the row in edit
        {Close, 0, Ciudad, nullptr, false, true, 1, "MERIDA", nullptr},  // closed again: still not stored
        {PackBehind, 3, Ciudad, "delete from imdir where calleyno = 'D'", true, true, 4, "MERIDA", "PL|C||LEON|,PL|E|||,PL|F||TIJUANA|R1"},
        {Commit, 3, Ciudad, "la tabla imdir se reorganizó", false, true, 4, "MERIDA", nullptr},
        {Escape, 0, Ciudad, nullptr, true, false, 3, "LEON", nullptr},
        // A new row being typed is kept across a refresh; a rule that queries the source while it is stored.
        {Type, 3, Calle, "a medias", true, true, 4, nullptr, nullptr},
        {Sql, 4, Calle, "insert into imdir (iddir, calleyno) values ('PL', 'G')", true, true, 5, "A MEDIAS",
         "PL|C||LEON|,PL|E|||,PL|F||TIJUANA|R1,PL|G|||"},
        {Commit, 4, Calle, nullptr, true, false, 5, "A MEDIAS", "PL|C||LEON|,PL|E|||,PL|F||TIJUANA|R1,PL|G|||,PL|A MEDIAS|||"},
        {AddRefreshing, 5, Ciudad, "dos", true, false, 6, "DE LA REGLA",
         "PL|C||LEON|,PL|E|||,PL|F||TIJUANA|R1,PL|G|||,PL|A MEDIAS|||,PL|DOS||DE LA REGLA|"},
        // Storing a changed row writes only its changed cells (one the rule rewrote among them), over
        // what the record holds now, changed before the edit began or during it; the row shows it.
        {Type, 3, Ciudad, "oaxaca", true, true, 6, nullptr, nullptr},
        {Exec, 3, CP, "update imdir set cp = '02000' where calleyno = 'G'", true, true, 6, "",
         "PL|C||LEON|,PL|E|||,PL|F||TIJUANA|R1,PL|G|02000||,PL|A MEDIAS|||,PL|DOS||DE LA REGLA|"},
        {Leave, 3, CP, nullptr, true, false, 6, "02000", "PL|C||LEON|,PL|E|||,PL|F||TIJUANA|R1,PL|G|02000|OAXACA|,PL|A MEDIAS|||,PL|DOS||DE LA REGLA|"},
        {Exec, 2, CP, "update imdir set cp = '01000' where calleyno = 'F'", true, false, 6, "",
         "PL|C||LEON|,PL|E|||,PL|F|01000|TIJUANA|R1,PL|G|02000|OAXACA|,PL|A MEDIAS|||,PL|DOS||DE LA REGLA|"},
        {Type, 2, Calle, "s/n", true, true, 6, nullptr, nullptr},
        {Leave, 2, CP, nullptr, true, false, 6, "01000", "PL|C||LEON|,PL|E|||,PL|S/N|01000||R1,PL|G|02000|OAXACA|,PL|A MEDIAS|||,PL|DOS||DE LA REGLA|"},
        // Escape discards a change and a new row.
        {Type, 0, Calle, "sur 9\t", true, true, 6, "SUR 9", nullptr},
        {Escape, 0, Calle, nullptr, true, false, 6, "C", nullptr},
        {Type, 6, Calle, "perdida\t123", true, true, 7, "PERDIDA", nullptr},
        {Escape, 0, Calle, nullptr, true, false, 6, "C", nullptr},
    };
    plants({"A", "B", "C", "D"});
    QString records, error;
    for (const auto& s : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << (&s - steps));
        const QString text = QString::fromUtf8(s.text);
        switch (s.op) {
        case Edit: rule.refuseUpdates = 2; [[fallthrough]];
        case Type:
            ASSERT_TRUE(grid->setCurrentCell(s.row, s.col));
            type(text);
            if (s.op == Edit) key(Qt::Key_Down);
            break;
        case Leave: case Escape: key(s.op == Leave ? Qt::Key_Down : Qt::Key_Escape); break;
        case Exec: ASSERT_TRUE(db.execute(text)); break;
        case Sql: EXPECT_TRUE((text.isEmpty() || db.execute(text)) && source->refresh()); break;
        case PackBehind: EXPECT_TRUE(db.execute(text) && db.pack(QStringLiteral("imdir"), &error) && source->refresh()); break;
        case PackSource:
            EXPECT_EQ(DataSource::packTable(&db, QStringLiteral("IMDIR"), &error), s.ok);
            if (!s.ok) { EXPECT_EQ(error, text); }
            break;
        case Close: EXPECT_EQ(source->close(), s.ok); break;
        case Commit:
            messages.clear();
            EXPECT_EQ(grid->commit(), s.ok);
            EXPECT_TRUE(messages.last().contains(text)) << messages.last().toStdString();
            break;
        case AddRefreshing: rule.refreshing = source; addRow(text); rule.refreshing = nullptr; break;
        }
        EXPECT_EQ(grid->isEditing(), s.editing);
        if (s.editing || s.op == PackSource) { EXPECT_EQ(grid->currentRow(), s.row); }
        if (s.rows >= 0) { EXPECT_EQ(grid->rowCount(), s.rows); }
        if (s.cell) { EXPECT_EQ(grid->cellValue(s.row, s.col).toString(), QString::fromUtf8(s.cell)); }
        if (s.records) records = QString::fromUtf8(s.records);
        EXPECT_EQ(stored(QStringLiteral("imdir"), {0, 1, 2, 3, 10}, true).join(u','), records);
    }
}

// A message box coming and going never skips storing the row when the focus leaves the grid.
TEST_F(BoundGridTest, LeavingTheGridAfterAMessageStoresTheRow) {
    MessageBoxMessages boxes(&window);
    rule.messages = &boxes;
    acknowledgeBoxes();
    type(QStringLiteral("alfa\t\t?\t"));
    QTest::qWait(50);
    reactivate();
    EXPECT_TRUE(grid->isEditing());
    EXPECT_EQ(stored(), QStringList());
    type(QStringLiteral("?\t"));  // Tab out of the last column with a message on the way: stored
    QTest::qWait(50);
    reactivate();
    EXPECT_EQ(shown, QStringList(2, kDoubt));
    EXPECT_EQ(QApplication::focusWidget(), other);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(stored(), QStringList{QStringLiteral("PL|ALFA||||")});
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
        {"improd", "VOLUMEN", "Capacidad Instalada", "doce", "doce"},  // a text in a numeric column
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
    // A text is kept as typed, a number trimmed, zeros after the point are no decimals, a blank
    // number is NULL (not a zero), the largest amount fits.
    grid->bind(openSource(QStringLiteral("impects"), QStringLiteral("impects")),
               {{QStringLiteral("Razón Social"), QStringLiteral("RSOCIAL"), true, 200},
                {QStringLiteral("Número Programa"), QStringLiteral("NUMPROG"), true, 80},
                {QStringLiteral("Porc. Part. Cont."), QStringLiteral("PORCONT"), true, 80},
                {QStringLiteral("Monto Exportación"), QStringLiteral("MONTOEXP"), true, 120}},
               nullptr, &messages);
    ASSERT_TRUE(grid->setCurrentCell(grid->addNewRow(), 0));
    type(QStringLiteral(" alfa\t 12.000 \t  \t999999999999.99"));
    key(Qt::Key_Down);
    EXPECT_FALSE(grid->isEditing());
    EXPECT_EQ(stored(QStringLiteral("impects"), {0, 3, 5, 2}), QStringList{" alfa|12||999999999999.99"});
}

TEST_F(BoundGridTest, PickListPlacedUnderTheCellAndClosedByKeys) {
    grid->bind(source,
               {{{}, QStringLiteral("CALLEYNO"), true, 90}, {{}, QStringLiteral("IDDIR"), false, 50},  // hidden
                {{}, QStringLiteral("CIUDAD"), true, 120}},
               nullptr, nullptr);
    auto* list = new PickList(&window);
    list->addEntry(QStringLiteral("KILOGRAMO"), 1);
    list->addEntry(QStringLiteral("LITRO"), 8);

    // At the left of the column (the hidden one takes no room), under the current row, one pixel
    // wider than the column, or twice as wide.
    placeUnderCell(grid, 2, list, true);
    EXPECT_EQ(list->width(), 240);
    placeUnderCell(grid, 2, list, false);
    EXPECT_EQ(list->pos(), grid->viewport()->mapTo(&window, QPoint(90, grid->rowHeight())));
    EXPECT_EQ(list->width(), 121);
    const QPoint second = list->visualItemRect(list->item(1)).center();

    // Enter accepts (the entry still current) and gives the focus back to the grid; Escape cancels;
    // a double click acts as Enter; losing the focus closes the list, choosing nothing.
    QStringList chosen;
    QObject::connect(list, &PickList::accepted, [&] { chosen << list->currentText(); });
    QObject::connect(list, &PickList::cancelled, [&] { chosen << QStringLiteral("-"); });
    const auto closes = [&](auto action) {
        placeUnderCell(grid, 2, list, false);
        action();
        return !list->isVisible();
    };
    EXPECT_TRUE(closes([&] { QTest::keyClick(list, Qt::Key_Return); }) && grid->hasFocus());
    EXPECT_TRUE(closes([&] { QTest::keyClick(list, Qt::Key_Escape); }));
    EXPECT_TRUE(closes([&] { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second); }));
    EXPECT_TRUE(closes([&] { list->setFocus(); grid->setFocus(); }));
    EXPECT_EQ(chosen.join(u',').toStdString(), "KILOGRAMO,-,LITRO");
    placeUnderCell(grid, 2, list, false);  // another window taking the keyboard leaves the list open
    list->setFocus();
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&elsewhere) && list->isVisible());
}

TEST(MessageBoxMessages, IconsTitlesAnswersAndTheHourglass) {
    // Each box shown is noted as "icon title buttons pointer" (icons: 0 none, 2 warning, 3 critical,
    // 4 question; pointer: -1 none, 0 the arrow) and answered: Ok, or the next of `answers`.
    QStringList seen;
    QList<QMessageBox::StandardButton> answers{QMessageBox::Yes, QMessageBox::No};
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen << QStringLiteral("%1 %2 %3 %4").arg(box->icon()).arg(box->windowTitle()).arg(box->buttons().size())
                    .arg(QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : -1);
        box->button(box->buttons().size() == 1 ? QMessageBox::Ok : answers.takeFirst())->click();
    });
    boxes.start(5);
    MessageBoxMessages m;
    m.exclamation(QStringLiteral("Rectifica por favor"));
    m.stop(QStringLiteral("Falta"), QStringLiteral("Otro"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Disco"));
    m.plain(QStringLiteral("Sin título"));
    EXPECT_TRUE(m.askYesNo(QStringLiteral("¿Seguir?")));
    EXPECT_FALSE(m.askYesNo(QStringLiteral("¿Borrar?"), true));
    {  // Hourglasses nest, each taking off only its own pointer, once.
        Hourglass outer, inner;
        inner.restore();
        inner.restore();
        m.exclamation(QStringLiteral("Aviso"));  // with the arrow; the hourglass comes back after it
        EXPECT_TRUE(QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
    }
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    EXPECT_EQ(seen.join(u',').toStdString(),
              "2 KALTO 1 -1,3 Otro 1 -1,0 Disco 1 -1,4 KALTO 2 -1,2 KALTO 2 -1,2 KALTO 1 0");
}

}  // namespace

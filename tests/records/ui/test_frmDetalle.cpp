// The related-company address window, opened for a company typed into a company grid bound
// as the main window binds dbControl; addresses typed into its real grids.

#include "app/rules/RecordingMessages.h"
#include "app/toolkit/BoundGrid.h"
#include "app/toolkit/BoundGridModel.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "records/CompanyRules.h"
#include "records/ui/frmDetalle.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kalto;

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kOneFiscal = QStringLiteral("Solo puedes ingresar un domicilio fiscal de la empresa. Rectifica por favor");
const QString kCpNumeric = QStringLiteral("El código postal debe ser númerico. Rectifica por favor");

class AddressWindow : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
        const CompanyGrid def = CompanyGrid::controlled();
        dtsControl = new DataSource(QStringLiteral("dtsControl"), &db, def.recordSource(), &host);
        ASSERT_TRUE(dtsControl->refresh(&error)) << error.toStdString();
        rule = std::make_unique<CompanyRule>(messages, def);
        dbControl = new BoundGrid(&host);
        dbControl->setObjectName(QStringLiteral("dbControl"));
        dbControl->bind(dtsControl, def.columns, rule.get(), &messages);
        (new QVBoxLayout(&host))->addWidget(dbControl);
        host.resize(900, 300);
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }
    void TearDown() override {
        delete dbControl;
        dbControl = nullptr;
    }

    QWidget* focused() {
        QWidget* w = QApplication::focusWidget();
        return w ? w : &host;
    }
    // Keys go where a user's keys go: to the widget with the focus (the cell editor once open).
    void type(const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 128)
                QTest::keyClicks(focused(), QString(c));
            else
                QTest::sendKeyEvent(QTest::Click, focused(), Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
    void key(Qt::Key k) { QTest::keyClick(focused(), k); }
    void startNewRow(BoundGrid* g) {
        g->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(g->setCurrentCell(g->gridModel()->addNewRow(), 0));
    }
    // Types the cells of a new row, one per column from column 0 (an empty text skips the
    // column), and leaves the row with Down.
    void typeRow(BoundGrid* g, const QStringList& cells) {
        startNewRow(g);
        for (int i = 0; i < cells.size(); ++i) {
            if (i > 0) key(Qt::Key_Tab);
            type(cells[i]);
        }
        key(Qt::Key_Down);
    }
    void address(const QString& kind, const QString& street, const QString& rfc) {
        QString error;
        ASSERT_TRUE(db.execute(QStringLiteral("insert into imdir (IDDIR, CALLEYNO, RFC) values (?, ?, ?)"),
                               {kind, street, rfc}, &error))
            << error.toStdString();
    }
    std::unique_ptr<frmDetalle> openFor(CompanyKind kind, int companyRow) {
        auto w = std::make_unique<frmDetalle>(db, messages, kind, dbControl->cellValue(companyRow, 0).toString(),
                                              dbControl->cellValue(companyRow, 1).toString(), &host);
        w->show();
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        return w;
    }
    // Streets of the rows a grid shows.
    static QStringList streets(BoundGrid* g) {
        QStringList out;
        for (int r = 0; r < g->rowCount(); ++r) out << g->cellValue(r, 0).toString();
        return out;
    }

    test::TestFolder folder;
    Database db;
    RecordingMessages messages;
    QWidget host;
    DataSource* dtsControl = nullptr;
    std::unique_ptr<CompanyRule> rule;
    BoundGrid* dbControl = nullptr;
};

}  // namespace

TEST_F(AddressWindow, ControlledCompanyAddressesByKindAndRfc) {
    // Two controlled companies typed into the grid; the RFC check holds the 12-character
    // RFCs with their leading blank.
    typeRow(dbControl, {QStringLiteral("ALFA"), QStringLiteral("ABC010101XY1")});
    typeRow(dbControl, {QStringLiteral("BETA"), QStringLiteral("BBB020202BB2")});
    ASSERT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    ASSERT_EQ(dbControl->rowCount(), 2);
    const QString rfcA = QStringLiteral(" ABC010101XY1");
    const QString rfcB = QStringLiteral(" BBB020202BB2");
    EXPECT_EQ(dbControl->cellValue(0, 1).toString(), rfcA);
    EXPECT_EQ(db.scalar(QStringLiteral("select idmcts from impects where rsocial = 'ALFA'")).toString(),
              QStringLiteral("C"));

    // Rows of other companies, kinds and of the applicant.
    address(QStringLiteral("FC"), QStringLiteral("FISCAL BETA"), rfcB);
    address(QStringLiteral("PL"), QStringLiteral("PLANTA PROPIA"), QString());
    address(QStringLiteral("PL"), QStringLiteral("PL CON RFC DE ALFA"), rfcA);
    address(QStringLiteral("PT"), QStringLiteral("TERCIARIZADA"), rfcA);

    auto w = openFor(CompanyKind::Controlled, 0);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Empresa Controlada : ALFA - RFC : ") + rfcA);
    auto* fiscal = w->findChild<BoundGrid*>(QStringLiteral("dbFiscalEC"));
    auto* plants = w->findChild<BoundGrid*>(QStringLiteral("dbPlantaDC"));
    ASSERT_NE(fiscal, nullptr);
    ASSERT_NE(plants, nullptr);
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblDFiscal"))->text(), QStringLiteral("DOMICILIO FISCAL"));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblDPlantas"))->text(), QStringLiteral("DOMICILIO(S) PLANTA(S)"));
    EXPECT_NE(w->findChild<DataSource*>(QStringLiteral("dtsFiscalEC")), nullptr);
    EXPECT_NE(w->findChild<DataSource*>(QStringLiteral("dtsPlantaEC")), nullptr);
    EXPECT_EQ(fiscal->rowCount(), 0);
    EXPECT_EQ(plants->rowCount(), 0);

    // A fiscal address: names to upper case, e-mail to lower case while typing.
    startNewRow(fiscal);
    type(QStringLiteral("av. juárez 10"));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("AV. JUÁREZ 10"));
    for (const QString& cell : {QStringLiteral("44100"), QStringLiteral("guadalajara"), QString(), QString(),
                                QString(), QString(), QString(), QStringLiteral("VENTAS@ALFA.MX")}) {
        key(Qt::Key_Tab);
        type(cell);
    }
    key(Qt::Key_Down);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    ASSERT_EQ(fiscal->rowCount(), 1);
    EXPECT_FALSE(fiscal->isEditing());

    // A second fiscal address for the same company is refused and stays in edit.
    typeRow(fiscal, {QStringLiteral("OTRA CALLE")});
    EXPECT_EQ(messages.texts(), QStringList{kOneFiscal});
    EXPECT_TRUE(fiscal->isEditing());
    key(Qt::Key_Escape);
    EXPECT_FALSE(fiscal->isEditing());
    messages.clear();

    // A plant: a postal code with a letter is announced and emptied; then a good one.
    startNewRow(plants);
    type(QStringLiteral("planta norte"));
    key(Qt::Key_Tab);
    type(QStringLiteral("4410A"));
    key(Qt::Key_Tab);
    EXPECT_EQ(messages.texts(), QStringList{kCpNumeric});
    EXPECT_TRUE(plants->currentValue(1).toString().isEmpty());
    messages.clear();
    key(Qt::Key_Backtab);
    type(QStringLiteral("45000"));
    key(Qt::Key_Down);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    ASSERT_EQ(plants->rowCount(), 1);
    w->close();
    w.reset();

    // In the table: the kind codes and ALFA's RFC, as typed.
    QList<QVariantList> rows;
    ASSERT_TRUE(db.query(QStringLiteral("select IDDIR, CALLEYNO, CP, CIUDAD, EMAIL from imdir where rfc = ? "
                                        "and iddir in ('FC', 'PC') order by iddir"),
                         {rfcA}, [&](const QVariantList& r) { rows << r; return true; }));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], (QVariantList{QStringLiteral("FC"), QStringLiteral("AV. JUÁREZ 10"), QStringLiteral("44100"),
                                     QStringLiteral("GUADALAJARA"), QStringLiteral("ventas@alfa.mx")}));
    EXPECT_EQ(rows[1][0].toString(), QStringLiteral("PC"));
    EXPECT_EQ(rows[1][1].toString(), QStringLiteral("PLANTA NORTE"));
    EXPECT_EQ(rows[1][2].toString(), QStringLiteral("45000"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from imdir")).toInt(), 6);

    // The other company sees only its own; a fiscal address of its own was accepted.
    w = openFor(CompanyKind::Controlled, 1);
    EXPECT_EQ(streets(w->dbFiscalEC()), QStringList{QStringLiteral("FISCAL BETA")});
    EXPECT_TRUE(streets(w->dbPlantaDC()).isEmpty());
    w->close();
    // The same RFC as an outsourcing company: its own kind codes only.
    w = openFor(CompanyKind::Outsourcing, 0);
    EXPECT_EQ(w->fiscalCode(), QStringLiteral("FT"));
    EXPECT_TRUE(streets(w->dbFiscalEC()).isEmpty());
    EXPECT_EQ(streets(w->dbPlantaDC()), QStringList{QStringLiteral("TERCIARIZADA")});
    w->close();
    // Opened again for ALFA, its rows are there.
    w = openFor(CompanyKind::Controlled, 0);
    EXPECT_EQ(streets(w->dbFiscalEC()), QStringList{QStringLiteral("AV. JUÁREZ 10")});
    EXPECT_EQ(streets(w->dbPlantaDC()), QStringList{QStringLiteral("PLANTA NORTE")});
    // A new plant row gets PC and ALFA's RFC in its hidden columns.
    startNewRow(w->dbPlantaDC());
    type(QStringLiteral("X"));
    EXPECT_EQ(w->dbPlantaDC()->currentValue(9).toString(), QStringLiteral("PC"));
    EXPECT_EQ(w->dbPlantaDC()->currentValue(10).toString(), rfcA);
    EXPECT_FALSE(w->dbPlantaDC()->isColumnVisible(10));
    key(Qt::Key_Escape);
    w->close();
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
}

TEST_F(AddressWindow, OpeningAndClosingModally) {
    typeRow(dbControl, {QStringLiteral("O'HARA"), QStringLiteral("O'H010101AB1")});
    ASSERT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();

    // The add-new row selected: the selection message, no window.
    ASSERT_TRUE(dbControl->setCurrentRow(dbControl->gridModel()->addNewRow()));
    const int r = dbControl->currentRow();
    const bool onRow = r >= 0 && r < dbControl->rowCount();
    EXPECT_FALSE(frmDetalle::open(&host, db, messages, CompanyKind::Controlled,
                                  onRow ? dbControl->cellValue(r, 0).toString() : QString(),
                                  onRow ? dbControl->cellValue(r, 1).toString() : QString()));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Debes seleccionar una empresa para verificar su "
                                                           "información de domicilio fiscal y de plantas.")});
    messages.clear();

    // A company whose RFC holds a quote: its window opens modally; a fiscal address typed
    // and not yet left is stored when the window is closed, and a refused one keeps the
    // window open.
    const QString rfc = dbControl->cellValue(0, 1).toString();
    EXPECT_EQ(rfc, QStringLiteral(" O'H010101AB1"));
    bool closedWithRefusal = true;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<frmDetalle*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        title = w->windowTitle();
        startNewRow(w->dbFiscalEC());
        type(QStringLiteral("CALLE UNO"));
        w->close();  // stores the row
        ASSERT_FALSE(w->isVisible());
        // Opened again (the second singleShot below) a second fiscal row is refused on close.
    });
    EXPECT_TRUE(frmDetalle::open(&host, db, messages, CompanyKind::Controlled, QStringLiteral("O'HARA"), rfc));
    EXPECT_EQ(title, QStringLiteral("Empresa Controlada : O'HARA - RFC :  O'H010101AB1"));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from imdir where iddir = 'FC' and rfc = ?"), {rfc}).toInt(), 1);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();

    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<frmDetalle*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->dbFiscalEC()->rowCount(), 1);
        startNewRow(w->dbFiscalEC());
        type(QStringLiteral("CALLE DOS"));
        w->close();
        closedWithRefusal = !w->isVisible();
        EXPECT_TRUE(w->dbFiscalEC()->isEditing());
        w->dbFiscalEC()->discard();
        w->close();
    });
    EXPECT_TRUE(frmDetalle::open(&host, db, messages, CompanyKind::Controlled, QStringLiteral("O'HARA"), rfc));
    EXPECT_FALSE(closedWithRefusal);
    EXPECT_EQ(messages.texts(), QStringList{kOneFiscal});
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from imdir where iddir = 'FC' and rfc = ?"), {rfc}).toInt(), 1);
}

TEST_F(AddressWindow, CompanyCellsTypedIntoTheGrid) {
    // Every rejected cell is announced and left holding 0; the row is stored all the same.
    startNewRow(dbControl);
    const QStringList cells{QStringLiteral("GAMMA"), QStringLiteral("ABCD010101XY1"), QStringLiteral("12A"),
                            QStringLiteral("0"),     QStringLiteral("2005"),          QStringLiteral("100"),
                            QStringLiteral("100.5")};
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0) key(Qt::Key_Tab);
        type(cells[i]);
    }
    key(Qt::Key_Down);
    EXPECT_EQ(messages.texts(),
              (QStringList{
                  QStringLiteral("El RFC de la empresa controlada debe contener 12 caracteres. Rectifica por favor"),
                  QStringLiteral("Debes colocar un valor númerico en esta columna. Rectifica por favor"),
                  QStringLiteral("El número del programa KALTO debe ser mayor a 0. Rectifica por favor"),
                  QStringLiteral("El año del programa KALTO debe ser igual o superior a 2006. Rectifica por favor"),
                  QStringLiteral("El porcentaje de participación con respecto a la empresa controlada no debe "
                                 "exceder el 100%. Rectifica por favor")}));
    ASSERT_FALSE(dbControl->isEditing());
    QVariantList stored;
    ASSERT_TRUE(db.query(QStringLiteral("select RSOCIAL, RFC, MONTOEXP, NUMPROG, ANOPROG, PORCONT, PORCEXT, IDMCTS "
                                        "from impects"),
                         {}, [&](const QVariantList& r) { stored = r; return false; }));
    ASSERT_EQ(stored.size(), 8);
    EXPECT_EQ(stored[0].toString(), QStringLiteral("GAMMA"));
    EXPECT_EQ(stored[1].toString(), QStringLiteral("0"));
    EXPECT_EQ(stored[2].toDouble(), 0.0);
    EXPECT_FALSE(stored[2].isNull());
    EXPECT_EQ(stored[3].toDouble(), 0.0);
    EXPECT_EQ(stored[4].toDouble(), 0.0);
    EXPECT_EQ(stored[5].toDouble(), 100.0);
    EXPECT_EQ(stored[6].toDouble(), 0.0);
    EXPECT_EQ(stored[7].toString(), QStringLiteral("C"));

    // Corrected amounts and programme data are taken as typed.
    messages.clear();
    ASSERT_TRUE(dbControl->setCurrentCell(0, 2));
    type(QStringLiteral("999999.99"));
    key(Qt::Key_Tab);
    type(QStringLiteral("15"));
    key(Qt::Key_Tab);
    type(QStringLiteral("2006"));
    key(Qt::Key_Down);
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    EXPECT_DOUBLE_EQ(db.scalar(QStringLiteral("select MONTOEXP from impects")).toDouble(), 999999.99);
    EXPECT_EQ(db.scalar(QStringLiteral("select ANOPROG from impects")).toInt(), 2006);
}

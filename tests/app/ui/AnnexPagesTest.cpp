// The products, services and annex pages driven through the real main window: typed into
// the grids, rows left, the tables read back.

#include "WindowFixture.h"

#include "core/RequestState.h"
#include "toolkit/PickList.h"

#include <QComboBox>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

namespace {

class AnnexPagesTest : public WindowTest {
protected:
    void choose(const char* combo, int index) {
        find<QComboBox>(QString::fromLatin1(combo))->setCurrentIndex(index);
        QApplication::processEvents();
    }
    void clickRow(BoundGrid* g, int row) {
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 0)).center());
        QApplication::processEvents();
    }
    QString annexes() {
        QStringList out;
        db.query(u"select id_prod, tipo_reg, descrip, fraccion, id_subord from imanexos"_s, {},
                 [&](const QVariantList& r) {
                     QStringList cells;
                     for (const QVariant& v : r) cells << (v.isNull() ? u"~"_s : v.toString());
                     out << cells.join('|');
                     return true;
                 });
        return out.join(';');
    }
};

}  // namespace

TEST_F(AnnexPagesTest, AStoredProductIsShownAsExportProductAndItsInputsFollowTheClickedOne) {
    choose("cmbTramite", kProgramaNuevo);
    choose("cmbModalidad", kIndustrial);
    // No export product yet: the inputs grid cannot be entered.
    tab()->setCurrentIndex(kPagMateriasPrimas);
    BoundGrid* mpe = grid(u"dbAnxMPE"_s);
    BoundGrid* insumos = window->dbAnx(0);
    focus(insumos);
    EXPECT_EQ(messages.last(), u"Seleccione un registro"_s);
    EXPECT_TRUE(mpe->hasFocus() || mpe->isAncestorOf(QApplication::focusWidget()));
    tab()->setCurrentIndex(kPagProductos);
    BoundGrid* productos = grid(u"dbProducto"_s);
    typeRow(productos, {u"84713001"_s});
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);  // UMID: the unit list opens and follows the typing
    type(u"p"_s);
    ASSERT_TRUE(window->lstUM()->isVisible());
    key(Qt::Key_Return);
    EXPECT_EQ(productos->currentText(2), u"PIEZA"_s);
    key(Qt::Key_Down);
    EXPECT_FALSE(productos->isEditing()) << messages.texts().join(u" / "_s).toStdString();

    // The annexes page shows it beside one typed there.
    tab()->setCurrentIndex(kPagMateriasPrimas);
    ASSERT_EQ(mpe->rowCount(), 1);
    addRow(mpe, {u"84713002"_s}, 3);
    // An input typed under each product is stamped with its parent and shown under it only.
    for (int row : {0, 1}) {
        clickRow(mpe, row);
        addRow(insumos, {u"8471300"_s + QString::number(5 + row)}, 2);
        EXPECT_FALSE(insumos->isEditing()) << messages.last().toStdString();
    }
    EXPECT_EQ(annexes(), u"1|1|null|84713001|0;2|1|~|84713002|0;3|1|~|84713005|1;4|1|~|84713006|2"_s);
    clickRow(mpe, 0);
    EXPECT_EQ(insumos->rowCount(), 1);

    // Deleting the export product takes its input, and the products grid shows the product
    // without its link.
    focus(mpe);
    ASSERT_TRUE(mpe->selectWholeRow(0));
    key(Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(annexes(), u"2|1|~|84713002|0;4|1|~|84713006|2"_s);
    EXPECT_TRUE(productos->cellValue(0, 5).isNull()) << productos->cellValue(0, 5).toString().toStdString();
}

TEST_F(AnnexPagesTest, ThirteenthServiceBecomesTheExportProduct) {
    choose("cmbTramite", kProgramaNuevo);
    choose("cmbModalidad", kServicios);
    tab()->setCurrentIndex(kPagServicios);
    BoundGrid* servicios = grid(u"dbServicios"_s);
    startNewRow(servicios, 1);
    key(Qt::Key_F4);
    ASSERT_TRUE(window->lstServicio()->isVisible());
    for (int i = 0; i < 12; ++i) key(Qt::Key_Down);
    const QString texto = window->lstServicio()->currentText();
    key(Qt::Key_Return);
    focus(servicios);
    key(Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(annexes(), u"1|1|"_s + texto + u"|null|0"_s);
    BoundGrid* mpe = grid(u"dbAnxMPE"_s);
    EXPECT_TRUE(mpe->isColumnVisible(2) && !mpe->isColumnVisible(3));

    // Deleted: the export product goes, the tariff item column comes back.
    focus(servicios);
    ASSERT_TRUE(servicios->selectWholeRow(0));
    key(Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(annexes(), QString());
    EXPECT_TRUE(!mpe->isColumnVisible(2) && mpe->isColumnVisible(3));
}

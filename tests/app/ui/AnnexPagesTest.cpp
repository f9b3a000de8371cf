// The products, services and annex pages driven through the real main window: typed into
// the grids, rows left, the tables read back; the inputs grid following the export product
// selected or just stored.

#include "WindowFixture.h"

#include "toolkit/PickList.h"

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

namespace {

class AnnexPagesTest : public WindowTest {
protected:
    // Every annex row as "id|kind|description|item|parent" (~: null), in file order.
    QString annexes() {
        return scalar(u"select group_concat(id_prod || '|' || tipo_reg || '|' || ifnull(descrip, '~') || '|' || "
                      u"ifnull(fraccion, '~') || '|' || id_subord, ';') from imanexos"_s).toString();
    }
};

}  // namespace

TEST_F(AnnexPagesTest, AStoredProductIsShownAsExportProductAndItsInputsFollowIt) {
    choose(kProgramaNuevo, kIndustrial);
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

    // The annexes page shows it; an input typed under it is stamped with its parent.
    tab()->setCurrentIndex(kPagMateriasPrimas);
    ASSERT_EQ(mpe->rowCount(), 1);
    clickRow(mpe, 0);
    addRow(insumos, {u"84713005"_s}, 2);
    // An export product typed there and stored: the inputs grid follows it without a click.
    typeRow(mpe, {u"84713002"_s}, 3);
    ASSERT_TRUE(mpe->commit());  // stored where it stands, as the toolbar stores a row in edit
    ASSERT_TRUE(!mpe->isEditing() && mpe->currentRow() == 1);
    addRow(insumos, {u"84713006"_s}, 2);
    EXPECT_EQ(column(insumos, 2), QStringList{u"84713006"_s});
    EXPECT_EQ(annexes(), u"1|1|null|84713001|0;2|1|~|84713005|1;3|1|~|84713002|0;4|1|~|84713006|3"_s);
    // An input typed when the other product is clicked is stored under its own, and the
    // inputs grid shows the one clicked.
    typeRow(insumos, {u"84713004"_s}, 2);
    clickRow(mpe, 0);
    EXPECT_EQ(count(u"select count(*) from imanexos where fraccion = '84713004' and id_subord = 3"_s), 1);
    EXPECT_EQ(column(insumos, 2), QStringList{u"84713005"_s});

    // Deleting the export product takes its input, and the products grid shows the product
    // without its link.
    focus(mpe);
    ASSERT_TRUE(mpe->selectWholeRow(0));
    key(Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(annexes(), u"3|1|~|84713002|0;4|1|~|84713006|3;5|1|~|84713004|3"_s);
    EXPECT_TRUE(productos->cellValue(0, 5).isNull()) << productos->cellValue(0, 5).toString().toStdString();
}

TEST_F(AnnexPagesTest, ThirteenthServiceBecomesTheExportProduct) {
    choose(kProgramaNuevo, kServicios);
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

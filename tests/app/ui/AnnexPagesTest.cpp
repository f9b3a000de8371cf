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

TEST_F(AnnexPagesTest, ProductWithItsUnitAndItsExportProductRow) {
    choose("cmbTramite", kProgramaNuevo);
    choose("cmbModalidad", kIndustrial);
    tab()->setCurrentIndex(kPagProductos);
    BoundGrid* productos = grid(u"dbProducto"_s);
    PickList* unidades = window->lstUM();
    typeRow(productos, {u"84713001"_s});
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);  // UMID
    type(u"p"_s);      // the unit list opens and follows the typing
    ASSERT_TRUE(unidades->isVisible());
    EXPECT_EQ(unidades->currentText(), u"PIEZA"_s);
    key(Qt::Key_Return);
    EXPECT_FALSE(unidades->isVisible());
    EXPECT_EQ(productos->currentText(2), u"PIEZA"_s);
    key(Qt::Key_Tab);
    type(u"1500"_s);
    key(Qt::Key_Tab);
    type(u"80"_s);
    key(Qt::Key_Down);
    EXPECT_FALSE(productos->isEditing()) << messages.texts().join(u" / "_s).toStdString();
    EXPECT_EQ(scalar(u"select fraccion || '|' || umid || '|' || um || '|' || cast(volumen as integer) || '|' || "
                     u"cast(porcut as integer) || '|' || id_prod from improd"_s)
                  .toString(),
              u"84713001|6|PIEZA|1500|80|1"_s);
    EXPECT_EQ(annexes(), u"1|1|null|84713001|0"_s);

    // The annexes page shows it; an input typed under it is stamped with its parent.
    tab()->setCurrentIndex(kPagMateriasPrimas);
    BoundGrid* mpe = grid(u"dbAnxMPE"_s);
    ASSERT_EQ(mpe->rowCount(), 1);
    clickRow(mpe, 0);
    BoundGrid* insumos = window->dbAnx(0);
    typeRow(insumos, {u"8a4\b713003"_s}, 2);  // a letter and Backspace are discarded
    key(Qt::Key_Down);
    EXPECT_FALSE(insumos->isEditing()) << messages.last().toStdString();
    EXPECT_EQ(annexes(), u"1|1|null|84713001|0;2|1|~|84713003|1"_s);

    // Deleting the export product takes its input, and the products grid shows the product
    // without its link.
    focus(mpe);
    ASSERT_TRUE(mpe->selectWholeRow(0));
    key(Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(annexes(), QString());
    EXPECT_TRUE(productos->cellValue(0, 5).isNull()) << productos->cellValue(0, 5).toString().toStdString();
}

TEST_F(AnnexPagesTest, InputsNeedAnExportProductAndGoWithIt) {
    choose("cmbTramite", kProgramaNuevo);
    tab()->setCurrentIndex(kPagMateriasPrimas);
    BoundGrid* mpe = grid(u"dbAnxMPE"_s);
    BoundGrid* insumos = window->dbAnx(0);
    ASSERT_EQ(mpe->rowCount(), 0);
    focus(insumos);
    EXPECT_EQ(messages.last(), u"Seleccione un registro"_s);
    EXPECT_EQ(messages.entries.last().kind, RecordingMessages::Kind::Plain);
    EXPECT_TRUE(mpe->hasFocus() || mpe->isAncestorOf(QApplication::focusWidget()));

    // Two export products typed in the annexes, an input under the first.
    addRow(mpe, {u"84713001"_s}, 3);
    addRow(mpe, {u"84713002"_s}, 3);
    ASSERT_EQ(mpe->rowCount(), 2);
    EXPECT_EQ(annexes(), u"1|1|~|84713001|0;2|1|~|84713002|0"_s);
    clickRow(mpe, 0);
    messages.clear();
    addRow(insumos, {u"84713005"_s}, 2);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.last().toStdString();
    clickRow(mpe, 1);
    addRow(insumos, {u"84713006"_s}, 2);
    EXPECT_EQ(count(u"select count(*) from imanexos where id_subord = 1"_s), 1);
    EXPECT_EQ(count(u"select count(*) from imanexos where id_subord = 2"_s), 1);
    // Deleting the first export product takes its input only.
    clickRow(mpe, 0);
    ASSERT_TRUE(mpe->selectWholeRow(0));
    key(Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(annexes(), u"2|1|~|84713002|0;4|1|~|84713006|2"_s);
}

TEST_F(AnnexPagesTest, ThirteenthServiceBecomesTheExportProduct) {
    choose("cmbTramite", kProgramaNuevo);
    choose("cmbModalidad", kServicios);
    tab()->setCurrentIndex(kPagServicios);
    BoundGrid* servicios = grid(u"dbServicios"_s);
    PickList* lista = window->lstServicio();
    startNewRow(servicios, 1);
    key(Qt::Key_F4);
    ASSERT_TRUE(lista->isVisible());
    for (int i = 0; i < 12; ++i) key(Qt::Key_Down);
    const QString texto = lista->currentText();
    key(Qt::Key_Return);
    focus(servicios);
    key(Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(scalar(u"select idserv from imserv"_s).toInt(), 13);
    EXPECT_EQ(annexes(), u"1|1|"_s + texto + u"|null|0"_s);
    EXPECT_EQ(servicios->cellValue(0, 0).toInt(), 13);
    BoundGrid* mpe = grid(u"dbAnxMPE"_s);
    EXPECT_TRUE(mpe->isColumnVisible(2));
    EXPECT_FALSE(mpe->isColumnVisible(3));

    // Deleted: the export product goes, the tariff item column comes back.
    focus(servicios);
    ASSERT_TRUE(servicios->selectWholeRow(0));
    key(Qt::Key_Delete);
    QApplication::processEvents();
    EXPECT_EQ(count(u"select count(*) from imserv"_s), 0);
    EXPECT_EQ(annexes(), QString());
    EXPECT_FALSE(mpe->isColumnVisible(2));
    EXPECT_TRUE(mpe->isColumnVisible(3));
}

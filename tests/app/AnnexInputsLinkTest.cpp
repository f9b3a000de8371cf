// The imported inputs follow the export product selected: shown at once when no input is in
// edit, after the input is stored otherwise, and its own product selected again when it is
// refused.

#include "app/AnnexInputsLink.h"
#include "app/MainDataSources.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

using namespace kalto;

namespace {

// The two grids as plain values: export products by identifier (null: a new row without one).
struct FakeGrids : ExportProductsView {
    QVariantList products;
    int current = -1;
    bool editing = false;
    int currentProductRow() const override { return current; }
    int productRowCount() const override { return int(products.size()); }
    QVariant productCell(int row) const override { return products.value(row); }
    bool inputInEdit() const override { return editing; }
    void selectProductRow(int row) override { current = row; }
};

class AnnexInputsLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString err;
        ASSERT_TRUE(folder.open(db, &err)) << err.toStdString();
        for (const char* row : {"1, 1, 'MESA', null, 0", "2, 1, 'SILLA', null, 0", "3, 1, null, '44011001', 1",
                                "4, 1, null, '44011002', 1", "5, 1, null, '44011003', 2", "6, 2, 'CAJA', null, 0"})
            ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (%1)").arg(QLatin1String(row)), {}, &err));
        sources = std::make_unique<MainDataSources>(&db);
        sources->bind(&db);
        grids.products = {qint64(1), 2.0, QStringLiteral(" 9"), QVariant()};
    }
    QStringList shown() {
        QStringList out;
        RecordSet& rs = sources->dtsAnxMPI()->recordSet();
        for (int r = 0; r < rs.count(); ++r) out << rs.valueAt(r, 3).toString();
        return out;
    }

    test::TestFolder folder;
    Database db;
    std::unique_ptr<MainDataSources> sources;
    FakeGrids grids;
};

}  // namespace

TEST_F(AnnexInputsLinkTest, InputsFollowTheSelectedProduct) {
    AnnexInputsLink link(*sources->dtsAnxMPI(), grids);
    // Nothing selected at load: the first product's inputs.
    link.reset();
    EXPECT_EQ(link.shownProduct(), QVariant(qint64(1)));
    EXPECT_EQ(shown(), (QStringList{"44011001", "44011002"}));
    // Identifiers as the grid holds them (a double, a text with blanks) are the same product.
    grids.current = 1;
    EXPECT_FALSE(link.follow());
    EXPECT_TRUE(shown() == QStringList{"44011003"} && link.parentOfInput() == QVariant(qint64(2)));
    grids.current = 2;
    link.follow();
    EXPECT_TRUE(link.shownProduct() == QVariant(qint64(9)) && shown().isEmpty());
    // A product without identifier keeps the inputs shown, and an input typed there has no parent.
    grids.current = 3;
    link.follow();
    EXPECT_TRUE(link.shownProduct() == QVariant(qint64(9)) && link.parentOfInput().isNull());
    // No product at all: nothing is shown, never the container (whose parent is 0).
    grids.products.clear();
    grids.current = -1;
    link.reset();
    EXPECT_TRUE(link.shownProduct().isNull() && shown().isEmpty());
}

TEST_F(AnnexInputsLinkTest, AnInputInEditIsStoredUnderItsOwnProductFirst) {
    AnnexInputsLink link(*sources->dtsAnxMPI(), grids);
    grids.current = 0;
    link.reset();
    // Another product clicked while an input is typed: nothing moves until the input is dealt
    // with, and the caller is asked once to come back.
    grids.editing = true;
    grids.current = 1;
    EXPECT_TRUE(link.follow());
    EXPECT_FALSE(link.follow());
    // The input is stored under product 1.
    EXPECT_TRUE(link.shownProduct() == QVariant(qint64(1)) && link.parentOfInput() == QVariant(qint64(1)));
    // Stored: the inputs follow the selection.
    grids.editing = false;
    link.settle();
    EXPECT_EQ(shown(), QStringList{"44011003"});
    // Refused (still in edit): its own product is selected again and the inputs stay.
    grids.editing = true;
    grids.current = 0;
    EXPECT_TRUE(link.follow());
    link.settle();
    EXPECT_TRUE(grids.current == 1 && shown() == QStringList{"44011003"});
}

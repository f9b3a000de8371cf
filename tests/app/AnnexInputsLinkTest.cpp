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

}  // namespace

TEST(AnnexInputsLinkTest, InputsFollowTheSelectedProductAndAnInputInEditIsStoredUnderItsOwnFirst) {
    test::TestFolder folder;
    Database db;
    ASSERT_TRUE(folder.open(db));
    for (const char* row : {"1, 1, 'MESA', null, 0", "2, 1, 'SILLA', null, 0", "3, 1, null, '44011001', 1",
                            "4, 1, null, '44011002', 1", "5, 1, null, '44011003', 2", "6, 2, 'CAJA', null, 0"})
        ASSERT_TRUE(db.execute(QStringLiteral("insert into imanexos values (%1)").arg(QLatin1String(row))));
    MainDataSources sources(&db);
    sources.bind(&db);
    FakeGrids grids;
    // Identifiers as the grid holds them (a double, a text with blanks) are the same product.
    grids.products = {qint64(1), 2.0, QStringLiteral(" 9"), QVariant()};
    AnnexInputsLink link(*sources.dtsAnxMPI(), grids);
    enum Call { Reset, Follow, Settle };
    const struct {
        int products;    // how many of the four the grid holds
        int current;     // the product row selected before the call
        bool editing;    // an input in edit
        Call call;
        bool comeBack;   // what follow() answers
        int shown;       // the product whose inputs are shown (0: none)
        const char* inputs;
        int parent;      // of an input stored now (0: null)
        int selected;    // the product row selected afterwards
    } steps[] = {
        {1, -1, false, Reset, false, 1, "44011001 44011002", 0, -1},  // nothing selected at load: the first
        {4, 1, false, Follow, false, 2, "44011003", 2, 1}, {4, 2, false, Follow, false, 9, "", 9, 2},
        {4, 3, false, Follow, false, 9, "", 0, 3},  // a product without identifier keeps the inputs shown
        {4, 0, false, Follow, false, 1, "44011001 44011002", 1, 0},
        // Another product clicked while an input is typed: nothing moves until the input is
        // dealt with (stored under product 1), and the caller is asked once to come back.
        {4, 1, true, Follow, true, 1, "44011001 44011002", 1, 1},
        {4, 1, true, Follow, false, 1, "44011001 44011002", 1, 1},
        {4, 1, false, Settle, false, 2, "44011003", 2, 1},  // stored: the inputs follow
        // Refused (still in edit): its own product is selected again and the inputs stay.
        {4, 0, true, Follow, true, 2, "44011003", 2, 0}, {4, 0, true, Settle, false, 2, "44011003", 2, 1},
        {0, -1, false, Reset, false, 0, "", 0, -1},  // no product at all: never the container (parent 0)
    };
    const QVariantList products = grids.products;
    for (const auto& s : steps) {
        SCOPED_TRACE(&s - steps);
        grids.products = products.mid(0, s.products);
        grids.current = s.current;
        grids.editing = s.editing;
        bool comeBack = false;
        if (s.call == Reset) link.reset();
        else if (s.call == Follow) comeBack = link.follow();
        else link.settle();
        EXPECT_EQ(comeBack, s.comeBack);
        EXPECT_EQ(link.shownProduct(), s.shown ? QVariant(qint64(s.shown)) : QVariant());
        QStringList inputs;
        RecordSet& rs = sources.dtsAnxMPI()->recordSet();
        for (int r = 0; r < rs.count(); ++r) inputs << rs.valueAt(r, 3).toString();
        EXPECT_EQ(inputs.join(' '), QString::fromLatin1(s.inputs));
        EXPECT_EQ(link.parentOfInput(), s.parent ? QVariant(qint64(s.parent)) : QVariant());
        EXPECT_EQ(grids.current, s.selected);
    }
}

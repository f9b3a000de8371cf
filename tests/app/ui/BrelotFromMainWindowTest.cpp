// The main window's sectoral and address buttons: a row the table refuses keeps the sectoral
// window closed; otherwise the rows being typed are stored first and the sectoral window opens
// with the applicant the main window shows (its export writes to drive A:), and the address
// window opens on the company selected in each company page. What those windows do by
// themselves is their own tests' business.

#include "WindowFixture.h"

#include "records/ui/frmDetalle.h"
#include "sectoral/ui/frmSolBrelot.h"
#include "toolkit/PickList.h"

#include <QListWidget>
#include <QToolButton>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

TEST_F(WindowTest, BrelotOpensWithWhatTheMainWindowShowsOnceItsRowsAreStored) {
    storedRequest();
    const auto brelot = [this](const std::function<void(frmSolBrelot*)>& act) {
        return inModal<frmSolBrelot>([this] { click(u"cmdBrelot"_s); }, act);
    };
    // A second fiscal address, which the table refuses, stays in edit and the window does not open.
    BoundGrid* fiscal = grid(u"dbDomFiscal"_s);
    typeRow(fiscal, {u"calle 2"_s});
    EXPECT_FALSE(brelot([](frmSolBrelot*) {}));
    EXPECT_TRUE(fiscal->isEditing());
    fiscal->discard();

    tab()->setCurrentIndex(kPagProductos);
    BoundGrid* productos = grid(u"dbProducto"_s);
    typeRow(productos, {u"90189099"_s});
    messages.clear();
    QStringList fracciones;
    ASSERT_TRUE(brelot([&](frmSolBrelot* w) {
        for (int i = 0; i < w->lstFraccion()->count(); ++i) fracciones << w->lstFraccion()->item(i)->text();
        messages.answers = {true};
        QTest::mouseClick(w->cmdAccion(0), Qt::LeftButton);
    }));
    EXPECT_FALSE(productos->isEditing());
    EXPECT_EQ(fracciones, (QStringList{u"12345678"_s, u"90189099"_s}));
    EXPECT_EQ(messages.last(), u"Puede retirar el disco de la unidad A:"_s);
    EXPECT_TRUE(QFile::exists(driveA.file(u"datoprov.dbf"_s)));
}

TEST_F(WindowTest, EachCompanyPageOpensTheAddressWindowOfItsCompany) {
    const auto pagina = [this](int page) {  // with a click on its tab
        QTest::mouseClick(tab()->tabBar(), Qt::LeftButton, {}, tab()->tabBar()->tabRect(page).center());
        messages.clear();  // the quiet save may ask for the two controlled companies
    };
    const auto abre = [this](const QString& boton, QString* titulo) {
        return inModal<frmDetalle>([&] { click(boton); }, [&](frmDetalle* w) { *titulo = w->windowTitle(); });
    };
    // The same company typed in each page and, without leaving its row, the page's button: the
    // row is stored first and the window opens on that company and kind.
    const struct { int modalidad, pagina; QString grid, boton, titulo; } casos[] = {
        {kControladora, kPagControladas, u"dbControl"_s, u"cmdVDomicilioC"_s, u"Empresa Controlada"_s},
        {kTerciarizacion, kPagTerciarizacion, u"dbTerciarizacion"_s, u"cmdVDomicilioT"_s, u"Empresa de Terciarización"_s},
        {kTerciarizacion, kPagSubmanufactura, u"dbSubmanufactura"_s, u"cmdVDomicilioS"_s, u"Empresa de Submanufactura"_s}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.grid.toStdString());
        choose(kProgramaNuevo, c.modalidad);
        pagina(c.pagina);
        ASSERT_EQ(tab()->currentIndex(), c.pagina);
        typeRow(grid(c.grid), {u"maquila norte"_s, u"mno030303ab3"_s});
        QString titulo;
        ASSERT_TRUE(abre(c.boton, &titulo));
        EXPECT_EQ(titulo, c.titulo + u" : MAQUILA NORTE - RFC :  MNO030303AB3"_s);
        EXPECT_FALSE(grid(c.grid)->isEditing());
        EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
    }
}

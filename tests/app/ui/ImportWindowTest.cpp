// The import buttons of the main window, with drive C: on a temporary folder: the grids show
// what was imported, the summary is shown, a row that cannot be stored stops the import, and a
// long file shows its progress with a cancel button.

#include "WindowFixture.h"

#include "support/FileBytes.h"

#include <QProgressDialog>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;
using kalto::test::writeFile;

TEST_F(WindowTest, EachImportButtonShowsItsRowsAndTheSummary) {
    const struct { int page; const char *button, *file, *bytes, *summary, *grid; int column; QStringList shown; } cases[] = {
        {kPagMateriasPrimas, "cmdImpAnexos", "anexo.csv", "E,84713001\r\nI,39269099\r\nC,Caja\r\nX,1\r\n",
         "Importación de anexos terminada. Renglones cargados: 3. Renglones rechazados: 1", "dbAnxMPE", 3,
         {u"84713001"_s}},
        {kPagProductos, "cmdImpProductos", "prod.csv", "61091001,6,20,100\n",
         "Importación de productos terminada. Renglones cargados: 1. Renglones rechazados: 0.", "dbProducto", 0,
         {u"61091001"_s}}};
    for (const auto& c : cases) {
        tab()->setCurrentIndex(c.page);
        ASSERT_TRUE(writeFile(driveC.file(QString::fromLatin1(c.file)), c.bytes));
        click(QString::fromLatin1(c.button));
        EXPECT_TRUE(messages.last().startsWith(QString::fromUtf8(c.summary))) << messages.last().toStdString();
        EXPECT_EQ(column(grid(QString::fromLatin1(c.grid)), c.column), c.shown) << c.button;
    }
    // The inputs and the containers shown at once too, and the product's export row.
    EXPECT_EQ(column(window->dbAnx(0), 2), QStringList{u"39269099"_s});
    EXPECT_EQ(column(window->dbAnx(1), 3), QStringList{u"Caja"_s});
    EXPECT_EQ(column(grid(u"dbAnxMPE"_s), 3), (QStringList{u"84713001"_s, u"61091001"_s}));

    // A container typed without its description is refused, stays in edit and stops the import.
    tab()->setCurrentIndex(kPagContenedores);
    BoundGrid* contenedores = window->dbAnx(1);
    typeRow(contenedores, {u"123"_s}, 2);
    ASSERT_TRUE(writeFile(driveC.file(u"anexo.csv"_s), "E,84713003\n"));
    click(u"cmdImpAnexos"_s);
    EXPECT_EQ(messages.last(), u"Capture descripcion"_s);
    EXPECT_TRUE(contenedores->isEditing() && count(u"select count(*) from imanexos where fraccion = '84713003'"_s) == 0);
    // Once the row is discarded the import runs.
    contenedores->discard();
    click(u"cmdImpAnexos"_s);
    EXPECT_EQ(count(u"select count(*) from imanexos where fraccion = '84713003'"_s), 1);
}

TEST_F(WindowTest, ALongFileShowsItsProgressAndCanBeCancelled) {
    QByteArray file;
    for (int i = 0; i < 6000; ++i) file += "C,Caja " + QByteArray::number(i) + "\n";
    ASSERT_TRUE(writeFile(driveC.file(u"anexo.csv"_s), file));

    // The user presses Cancelar once a thousand lines are in.
    QString etiqueta;
    QTimer vigia;  // at every turn of the event loop
    QObject::connect(&vigia, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible() && d->value() >= 1000) {
                etiqueta = d->labelText();
                d->cancel();
            }
    });
    vigia.start();
    click(u"cmdImpAnexos"_s);
    vigia.stop();

    EXPECT_FALSE(etiqueta.isEmpty()) << "no se mostró el avance";
    const int guardados = count(u"select count(*) from imanexos"_s);
    EXPECT_TRUE(guardados >= 1000 && guardados < 6000) << guardados;
    EXPECT_EQ(window->dbAnx(1)->rowCount(), guardados);
}

// Without its file on drive C:, an import offers to pick one elsewhere: the file picked is read,
// its refused lines still go to drive C:; a No or an empty pick leaves the usual message.

#include "WindowFixture.h"

#include "support/FileBytes.h"

#include <QTemporaryDir>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;
using kalto::test::writeFile;

TEST_F(WindowTest, AnImportWithoutItsFileOnDriveCReadsTheFileThePickerGives) {
    QTemporaryDir elsewhere;
    const QString picked = elsewhere.filePath(u"Mis productos.csv"_s);
    ASSERT_TRUE(writeFile(picked, "61091001,6,20,100\nX\n"));
    QStringList starts;
    window->setImportFileChooser([&](const QString& start) { return starts << start, picked; });
    tab()->setCurrentIndex(kPagProductos);
    click(u"cmdImpProductos"_s);  // No: nothing picked
    EXPECT_TRUE(messages.last().startsWith(u"No se encontró el archivo"_s)) << messages.last().toStdString();
    messages.answers = {true};
    click(u"cmdImpProductos"_s);
    EXPECT_TRUE(messages.texts().contains(u"No se encontró prod.csv, prod.xlsx ni prod.ods en la unidad C:. ¿Deseas "
                                          u"elegir un libro de cálculo o un archivo de texto para importar?"_s));
    EXPECT_EQ(starts, QStringList{driveC.path()});
    EXPECT_TRUE(messages.last().startsWith(u"Importación de productos terminada. Renglones cargados: 1. Renglones "
                                           u"rechazados: 1"_s)) << messages.last().toStdString();
    EXPECT_EQ(column(grid(u"dbProducto"_s), 0), QStringList{u"61091001"_s});
    EXPECT_TRUE(QFile::exists(driveC.file(u"eprod.csv"_s)));
}

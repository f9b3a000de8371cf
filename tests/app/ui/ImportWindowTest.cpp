// The import buttons of the main window, with drive C: on a temporary folder: the grids show
// what was imported, the summary is shown, a row that cannot be stored stops the import, and a
// long file shows its progress with a cancel button.

#include "WindowFixture.h"

#include "app/ui/frmKALTO.h"

#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

using namespace kalto;
using namespace Qt::StringLiterals;

namespace {

class ImportWindow : public kalto::test::WindowTest {
protected:
    void SetUp() override {
        qputenv("KALTO_UNIDAD_C", unidadC.path().toLocal8Bit());
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        qunsetenv("KALTO_UNIDAD_C");
    }
    QString onC(const QString& name) const { return QDir(unidadC.path()).filePath(name); }
    void put(const QString& name, const QByteArray& bytes) {
        QFile f(onC(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QStringList column(BoundGrid* g, int c) {
        QStringList out;
        for (int r = 0; r < g->rowCount(); ++r) out << g->cellValue(r, c).toString();
        return out;
    }

    QTemporaryDir unidadC;
};

}  // namespace

TEST_F(ImportWindow, EachImportButtonShowsItsRowsAndTheSummary) {
    const struct {
        int page;
        const char *button, *file, *bytes, *summary, *grid;
        int column;
        QStringList shown;
    } cases[] = {
        {kPagMateriasPrimas, "cmdImpAnexos", "anexo.csv", "E,84713001\r\nI,39269099\r\nC,Caja\r\nX,1\r\n",
         "Importación de anexos terminada. Renglones cargados: 3. Renglones rechazados: 1", "dbAnxMPE", 3,
         {u"84713001"_s}},
        {kPagProductos, "cmdImpProductos", "prod.csv", "61091001,6,20,100\n",
         "Importación de productos terminada. Renglones cargados: 1. Renglones rechazados: 0.", "dbProducto", 0,
         {u"61091001"_s}}};
    for (const auto& c : cases) {
        tab()->setCurrentIndex(c.page);
        put(QString::fromLatin1(c.file), c.bytes);
        click(QString::fromLatin1(c.button));
        EXPECT_TRUE(messages.last().startsWith(QString::fromUtf8(c.summary))) << messages.last().toStdString();
        EXPECT_EQ(column(grid(QString::fromLatin1(c.grid)), c.column), c.shown) << c.button;
    }
    // The inputs and the containers shown at once too, and the product's export row.
    EXPECT_EQ(column(window->dbAnx(0), 2), QStringList{u"39269099"_s});
    EXPECT_EQ(column(grid(u"dbAnxMPE"_s), 3), (QStringList{u"84713001"_s, u"61091001"_s}));
}

TEST_F(ImportWindow, ARowThatCannotBeStoredStopsTheImport) {
    // A container typed without its description is refused and stays in edit.
    tab()->setCurrentIndex(kPagContenedores);
    BoundGrid* contenedores = window->dbAnx(1);
    typeRow(contenedores, {u"123"_s}, 2);
    put(u"anexo.csv"_s, "E,84713001\n");
    click(u"cmdImpAnexos"_s);
    EXPECT_EQ(messages.last(), u"Capture descripcion"_s);
    EXPECT_TRUE(contenedores->isEditing());
    EXPECT_EQ(count(u"select count(*) from imanexos"_s), 0);
    EXPECT_FALSE(QFile::exists(onC(u"eanexo.csv"_s)));

    // Once the row is discarded the import runs.
    contenedores->discard();
    click(u"cmdImpAnexos"_s);
    EXPECT_EQ(count(u"select count(*) from imanexos"_s), 1);
}

TEST_F(ImportWindow, ALongFileShowsItsProgressAndCanBeCancelled) {
    QByteArray file;
    for (int i = 0; i < 6000; ++i) file += "C,Caja " + QByteArray::number(i) + "\n";
    put(u"anexo.csv"_s, file);

    // The user presses Cancelar once a thousand lines are in.
    QString etiqueta;
    QTimer vigia;
    vigia.setInterval(0);
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
    EXPECT_GE(guardados, 1000);
    EXPECT_LT(guardados, 6000);
    EXPECT_EQ(window->dbAnx(1)->rowCount(), guardados);
}

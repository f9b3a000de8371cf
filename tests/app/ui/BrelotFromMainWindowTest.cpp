// The "B R E L O T" button of the real main window: the rows still being typed and the header
// are stored first, the sectoral window opens over it with what the main window shows, sectors
// and goods are typed there with their pick lists, and the export writes the applicant of the
// main window to a temporary drive A:.

#include "WindowFixture.h"

#include "core/RequestState.h"
#include "data/Dbf.h"
#include "sectoral/BrelotGrids.h"
#include "sectoral/ui/frmSolBrelot.h"
#include "toolkit/PickList.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace kalto::test {

namespace {

using Kind = RecordingMessages::Kind;

class BrelotFromMainWindow : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(disk.isValid());
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
        WindowTest::SetUp();
    }
    void TearDown() override {
        // A failed check inside the sectoral window must not leave it open over the next test.
        if (auto* w = qobject_cast<frmSolBrelot*>(QApplication::activeModalWidget())) w->reject();
        WindowTest::TearDown();
        qunsetenv("KALTO_UNIDAD_A");
    }
    // Presses "B R E L O T" and runs `act` on the sectoral window once it is up, then closes it.
    // False when the window did not open.
    bool inBrelot(const std::function<void(frmSolBrelot*)>& act) {
        bool opened = false;
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
            auto* w = qobject_cast<frmSolBrelot*>(QApplication::activeModalWidget());
            if (!w || !w->isVisible() || !w->isActiveWindow()) return;  // typing needs it active
            poll->stop();
            poll->deleteLater();
            opened = true;
            act(w);
            if (w->isVisible()) w->close();
        });
        poll->start(20);
        click(QStringLiteral("cmdBrelot"));
        if (!opened) delete poll;
        return opened;
    }
    // The live records of a table file on drive A:.
    QList<QVariantList> onDisk(const QString& file) {
        QString error;
        auto t = DbfTable::open(QDir(disk.path()).filePath(file), &error, DbfAccess::ReadOnly);
        QList<QVariantList> out;
        if (!t) {
            ADD_FAILURE() << error.toStdString();
            return out;
        }
        for (int i = 0; i < t->recordCount(); ++i)
            if (!t->isDeleted(i)) out << t->record(i);
        return out;
    }
    void exec(const char* sql) {
        QString err;
        ASSERT_TRUE(db.execute(QString::fromUtf8(sql), {}, &err)) << sql << ": " << err.toStdString();
    }

    QTemporaryDir disk;
};

}  // namespace

TEST_F(BrelotFromMainWindow, OpensOverTheApplicationAndExportsWhatTheMainWindowShows) {
    // The header, the fiscal address, the representative, two plants and two export products,
    // the last product still being typed when the button is pressed.
    find<QComboBox>(QStringLiteral("cmbTramite"))->setCurrentIndex(kProgramaNuevo);
    find<QComboBox>(QStringLiteral("cmbModalidad"))->setCurrentIndex(kIndustrial);
    QApplication::processEvents();
    fill(QStringLiteral("txtRFC"), QStringLiteral(" abc000229xy1"));
    fill(QStringLiteral("txtRSocial"), QStringLiteral("llantas del bajio"));
    auto* sector = find<QComboBox>(QStringLiteral("cmbSector"));
    ASSERT_GT(sector->count(), 3);
    sector->setCurrentIndex(3);
    QApplication::processEvents();
    const QVariant sectorCode = sector->itemData(3);
    ASSERT_TRUE(sectorCode.isValid());

    tab()->setCurrentIndex(kPagDomicilioFiscal);
    addRow(grid(QStringLiteral("dbDomFiscal")),
           {QStringLiteral("reforma 1"), QStringLiteral("06700"), QStringLiteral("mexico"), QStringLiteral("juarez"),
            QStringLiteral("5551"), QStringLiteral("cdmx"), QStringLiteral("cuauhtemoc"), QStringLiteral("5555")});
    addRow(grid(QStringLiteral("dbRepLegal")),
           {QStringLiteral("ana"), QStringLiteral("perez"), QStringLiteral("lopez"), QStringLiteral("5552"),
            QStringLiteral("directora")});
    tab()->setCurrentIndex(kPagPlantas);
    addRow(grid(QStringLiteral("dbPlanta")), {QStringLiteral("norte 2"), QStringLiteral("06700")});
    addRow(grid(QStringLiteral("dbPlanta")), {QStringLiteral("sur 3"), QStringLiteral("72000")});
    tab()->setCurrentIndex(kPagProductos);
    BoundGrid* productos = grid(QStringLiteral("dbProducto"));
    for (const QString& item : {QStringLiteral("84713001"), QStringLiteral("90189099")}) {
        typeRow(productos, {item});
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        type(QStringLiteral("p"));
        ASSERT_TRUE(window->lstUM()->isVisible());
        key(Qt::Key_Return);
        key(Qt::Key_Tab);
        type(QStringLiteral("1500"));
        key(Qt::Key_Tab);
        type(QStringLiteral("80"));
        if (item.startsWith(u'8')) key(Qt::Key_Down);
    }
    ASSERT_TRUE(productos->isEditing());
    ASSERT_TRUE(messages.entries.isEmpty()) << messages.texts().join(u'|').toStdString();

    QStringList fracciones, sectoresII;
    QString descripcion;
    bool sectorRowHadOne = false, goodsRowHadOnes = false;
    QStringList goodsStored;
    const bool opened = inBrelot([&](frmSolBrelot* w) {
        // The product being typed was stored before the window read the export products.
        for (int i = 0; i < w->lstFraccion()->count(); ++i) fracciones << w->lstFraccion()->item(i)->text();

        // A sector typed by its first digits: the list follows, leaving the cell takes the
        // key and its description in upper case.
        BoundGrid* sectores = w->dbSectores();
        sectores->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(sectores->setCurrentCell(sectores->addNewRow(), SectorGridRule::CveSector));
        type(QStringLiteral("1"));
        ASSERT_TRUE(w->lstSector()->isVisible());
        sectorRowHadOne = sectores->currentValue(SectorGridRule::IdSector) == QVariant(1);
        type(QStringLiteral("2"));
        EXPECT_EQ(w->lstSector()->currentText(), QStringLiteral("12"));
        key(Qt::Key_Tab);
        EXPECT_FALSE(w->lstSector()->isVisible());
        EXPECT_EQ(sectores->currentText(SectorGridRule::CveSector), QStringLiteral("12"));
        descripcion = sectores->currentText(SectorGridRule::Descripcion);
        ASSERT_TRUE(sectores->commit());
        // A second sector, chosen in its list with the keyboard.
        sectores->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(sectores->setCurrentCell(sectores->addNewRow(), SectorGridRule::CveSector));
        QTest::keyClick(sectores, Qt::Key_F4);
        ASSERT_TRUE(w->lstSector()->isVisible());
        w->lstSector()->setFocus();
        QTest::keyClick(w->lstSector(), Qt::Key_Down);
        QTest::keyClick(w->lstSector(), Qt::Key_Down);
        QTest::keyClick(w->lstSector(), Qt::Key_Return);
        EXPECT_EQ(sectores->currentText(SectorGridRule::CveSector), QStringLiteral("3"));
        EXPECT_EQ(sectores->currentText(SectorGridRule::Descripcion), QStringLiteral("INDUSTRIA DEL MUEBLE"));
        ASSERT_TRUE(sectores->commit());
        for (int i = 0; i < w->lstSectorII()->count(); ++i) sectoresII << w->lstSectorII()->item(i)->text();

        // A good: "1" finds catalogue key 1, which was not entered, so the list keeps its
        // entry; "12" is an entered sector. Its tariff item is found among the export products.
        BoundGrid* goods = w->dbMercancias();
        goods->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(goods->setCurrentCell(goods->addNewRow(), GoodsGridRule::Sector));
        type(QStringLiteral("3"));
        ASSERT_TRUE(w->lstSectorII()->isVisible());
        EXPECT_EQ(w->lstSectorII()->currentText(), QStringLiteral("3"));
        key(Qt::Key_Backspace);
        type(QStringLiteral("1"));
        EXPECT_EQ(w->lstSectorII()->currentText(), QStringLiteral("3"));
        type(QStringLiteral("2"));
        EXPECT_EQ(w->lstSectorII()->currentText(), QStringLiteral("12"));
        key(Qt::Key_Tab);
        EXPECT_FALSE(w->lstSectorII()->isVisible());
        EXPECT_EQ(goods->currentText(GoodsGridRule::Sector), QStringLiteral("12"));
        goodsRowHadOnes = goods->currentValue(1) == QVariant(1) && goods->currentValue(3) == QVariant(1) &&
                          goods->currentValue(12) == QVariant(1);
        key(Qt::Key_Tab);
        type(QStringLiteral("9018"));
        ASSERT_TRUE(w->lstFraccion()->isVisible());
        EXPECT_EQ(w->lstFraccion()->currentText(), QStringLiteral("90189099"));
        type(QStringLiteral("9099"));
        key(Qt::Key_Tab);
        EXPECT_FALSE(w->lstFraccion()->isVisible());
        EXPECT_TRUE(messages.entries.isEmpty()) << messages.texts().join(u'|').toStdString();
        ASSERT_TRUE(goods->commit());

        // Seven digits: the length message once, the value kept.
        goods->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(goods->setCurrentCell(goods->addNewRow(), GoodsGridRule::Fraccion));
        type(QStringLiteral("8471300"));
        EXPECT_EQ(w->lstFraccion()->currentText(), QStringLiteral("84713001"));
        key(Qt::Key_Tab);
        ASSERT_EQ(messages.entries.size(), 1);
        EXPECT_EQ(messages.entries[0].kind, Kind::Exclamation);
        EXPECT_EQ(messages.entries[0].text,
                  QStringLiteral("La longitud de la fracción sólo puede ser de 8 digitos.  Rectifica por favor"));
        EXPECT_EQ(messages.entries[0].title, QStringLiteral("KALTO"));
        EXPECT_EQ(goods->currentText(GoodsGridRule::Fraccion), QStringLiteral("8471300"));
        goods->discard();
        db.query(QStringLiteral("select idsector, tipo_progr, fraccion, anexo, tipobien from mercbi"), {},
                 [&](const QVariantList& r) {
                     QStringList cells;
                     for (const QVariant& v : r) cells << v.toString();
                     goodsStored << cells.join(u' ');
                     return true;
                 });

        // The export: the applicant is the one the main window shows.
        messages.clear();
        messages.answers = {true};
        QTest::mouseClick(w->cmdAccion(0), Qt::LeftButton);
        EXPECT_EQ(messages.last(), QStringLiteral("Puede retirar el disco de la unidad A:"));
    });
    ASSERT_TRUE(opened);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // What was typed in the main window was stored before the window opened.
    EXPECT_FALSE(productos->isEditing());
    EXPECT_EQ(count(QStringLiteral("select count(*) from improd")), 2);
    fracciones.sort();
    EXPECT_EQ(fracciones, (QStringList{QStringLiteral("84713001"), QStringLiteral("90189099")}));
    EXPECT_TRUE(sectorRowHadOne);
    EXPECT_EQ(descripcion, QStringLiteral("INDUSTRIA DE MANUFACTURAS DEL CAUCHO Y PLÁSTICO"));
    EXPECT_EQ(sectoresII, (QStringList{QStringLiteral("12"), QStringLiteral("3")}));
    EXPECT_TRUE(goodsRowHadOnes);
    EXPECT_EQ(goodsStored, QStringList{QStringLiteral("12 1 90189099 1 1")});

    const QList<QVariantList> dato = onDisk(QStringLiteral("datoprov.dbf"));
    ASSERT_EQ(dato.size(), 1);
    const QVariantList& d = dato[0];
    ASSERT_EQ(d.size(), 30);
    EXPECT_EQ(d[0].toString(), QStringLiteral(" ABC000229XY1"));
    EXPECT_EQ(d[3].toString(), QStringLiteral("LLANTAS DEL BAJIO"));
    EXPECT_EQ(d[6].toString(), QStringLiteral("REFORMA 1"));
    EXPECT_EQ(d[7], QVariant(qint64(6700)));
    EXPECT_EQ(d[8].toString(), QStringLiteral("MEXICO"));
    EXPECT_EQ(d[11].toString(), QStringLiteral("PEREZ"));
    EXPECT_EQ(d[13].toString(), QStringLiteral("ANA"));
    EXPECT_EQ(d[14].toString(), QStringLiteral("5552"));
    EXPECT_EQ(d[22].toLongLong(), sectorCode.toLongLong());
    EXPECT_FALSE(d[22].isNull());
    EXPECT_EQ(d[27].toString(), QStringLiteral("DIRECTORA"));
    EXPECT_EQ(d[29].toString(), QStringLiteral("CDMX"));
    const QList<QVariantList> plants = onDisk(QStringLiteral("catdirpl.dbf"));
    ASSERT_EQ(plants.size(), 2);
    EXPECT_EQ(plants[0][0].toString() + u'|' + plants[0][1].toString(), QStringLiteral("NORTE 2|06700"));
    EXPECT_EQ(plants[1][0].toString() + u'|' + plants[1][1].toString(), QStringLiteral("SUR 3|72000"));
    EXPECT_EQ(onDisk(QStringLiteral("mercbi.dbf")).size(), 1);
}

TEST_F(BrelotFromMainWindow, WithoutASectorChosenThePositionStaysNullAndARefusedRowKeepsItClosed) {
    auto* sector = find<QComboBox>(QStringLiteral("cmbSector"));
    sector->setCurrentIndex(-1);
    QApplication::processEvents();
    fill(QStringLiteral("txtRSocial"), QStringLiteral("empresa"));
    tab()->setCurrentIndex(kPagDomicilioFiscal);

    // A fiscal-address row the table refuses stays in edit and the window does not open.
    BoundGrid* fiscal = grid(QStringLiteral("dbDomFiscal"));
    typeRow(fiscal, {QStringLiteral("calle Ω")});
    messages.clear();
    bool openedWithRefusedRow = inBrelot([](frmSolBrelot*) {});
    if (!openedWithRefusedRow) {
        EXPECT_TRUE(fiscal->isEditing());
        EXPECT_FALSE(messages.entries.isEmpty());
        fiscal->discard();
    }
    EXPECT_FALSE(openedWithRefusedRow);

    messages.clear();
    const bool opened = inBrelot([&](frmSolBrelot* w) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("K A L T O - B R E L O T"));
        messages.answers = {true};
        QTest::mouseClick(w->cmdAccion(0), Qt::LeftButton);
    });
    ASSERT_TRUE(opened);
    EXPECT_EQ(messages.last(), QStringLiteral("Puede retirar el disco de la unidad A:"));
    const QList<QVariantList> dato = onDisk(QStringLiteral("datoprov.dbf"));
    ASSERT_EQ(dato.size(), 1);
    EXPECT_EQ(dato[0][3].toString(), QStringLiteral("EMPRESA"));
    EXPECT_TRUE(dato[0][22].isNull()) << dato[0][22].toString().toStdString();
    EXPECT_TRUE(dato[0][6].isNull());
    EXPECT_TRUE(onDisk(QStringLiteral("catdirpl.dbf")).isEmpty());
}

}  // namespace kalto::test

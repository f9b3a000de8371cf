// Text pasted or dropped into a cell or a header field goes through the same filter as the
// keys typed there, however it comes in.

#include "WindowFixture.h"

#include "core/RequestState.h"

#include <QClipboard>
#include <QComboBox>
#include <QMimeData>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

namespace {

enum class Way { CtrlV, ShiftInsert, Drop, PasteSlot };

struct Entry {
    Tramite tramite;
    Modalidad modalidad;
    const char* control;  // a grid (its add-new row) or a header field
    int column;
    const char* text;
    Way way;
    const char* expected;  // the text the cell or field shows afterwards
};

void enter(QLineEdit* edit, const QString& text, Way way) {
    QApplication::clipboard()->setText(text);
    switch (way) {
    case Way::CtrlV:
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        break;
    case Way::ShiftInsert:
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case Way::Drop: {
        QMimeData data;
        data.setText(text);
        const QPoint end(edit->width() - 2, edit->height() / 2);
        QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
        QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(edit, &drop);
        break;
    }
    case Way::PasteSlot:  // as the context menu's "Pegar" does
        QMetaObject::invokeMethod(edit, "paste");
        break;
    }
}

}  // namespace

TEST_F(WindowTest, PastedAndDroppedTextPassesTheKeyFilterOfItsCellOrField) {
    const Entry entries[] = {
        // The product's identifier is the program's: nothing typed or pasted enters it.
        {kProgramaNuevo, kIndustrial, "dbProducto", 5, "1", Way::CtrlV, ""},
        {kProgramaNuevo, kServicios, "dbServicios", 0, "3", Way::PasteSlot, ""},
        // Digits-only cells keep the digits.
        {kProgramaNuevo, kIndustrial, "dbAnxMPE", 3, "8471a3001", Way::CtrlV, "84713001"},
        {kAmpliacion, kIndustrial, "dbAnx_3", 2, "84-71.30 01", Way::PasteSlot, "84713001"},
        // Free text: no key types a tab or a line break.
        {kProgramaNuevo, kIndustrial, "dbAnx_1", 3, "CAJA\tROJA\n", Way::Drop, "CAJAROJA"},
        {kAmpliacion, kIndustrial, "txtNumKALTO", -1, "12a-3 4", Way::PasteSlot, "1234"},
        {kAmpliacion, kIndustrial, "txtAnioKALTO", -1, " 2009", Way::ShiftInsert, "2009"},
    };
    for (const Entry& e : entries) {
        const QString name = QString::fromLatin1(e.control);
        SCOPED_TRACE(name.toStdString() + " " + e.text);
        find<QComboBox>(u"cmbTramite"_s)->setCurrentIndex(e.tramite);
        find<QComboBox>(u"cmbModalidad"_s)->setCurrentIndex(e.modalidad);
        QLineEdit* edit = nullptr;
        BoundGrid* g = e.column >= 0 ? grid(name) : nullptr;
        if (g) {
            for (int p = 0; p < tab()->count(); ++p)
                if (tab()->widget(p)->isAncestorOf(g)) tab()->setCurrentIndex(p);
            startNewRow(g, e.column);
            g->edit(g->currentIndex());
            edit = qobject_cast<QLineEdit*>(g->indexWidget(g->currentIndex()));
        } else {
            edit = find<QLineEdit>(name);
            focus(edit);
            edit->selectAll();
            key(Qt::Key_Delete);
        }
        ASSERT_NE(edit, nullptr);
        ASSERT_TRUE(edit->isEnabled());
        enter(edit, QString::fromLatin1(e.text), e.way);
        EXPECT_EQ(edit->text(), QString::fromLatin1(e.expected));
        if (g) {
            g->discard();
        } else {
            key(Qt::Key_Tab);  // what the field shows is what is stored
            EXPECT_EQ(scalar(u"select coalesce(numekalto, '') || '/' || coalesce(aniokalto, '') from imdint"_s)
                          .toString()
                          .split('/')
                          .value(name == u"txtNumKALTO"_s ? 0 : 1),
                      QString::fromLatin1(e.expected));
        }
    }
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
}

// Text pasted into a cell or a header field goes through the same filter as the keys typed
// there (every way text enters a field is the toolkit's own tests' business).

#include "WindowFixture.h"


#include <QClipboard>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

TEST_F(WindowTest, PastedTextPassesTheKeyFilterOfItsCellOrField) {
    const struct {
        Tramite tramite; Modalidad modalidad;
        const char* control;  // a grid (its add-new row) or a header field
        int column;
        const char* text;
        bool keys;             // Ctrl+V, else the context menu's "Pegar"
        const char* expected;  // the text the cell or field shows afterwards, and stores
    } entries[] = {
        // The product's identifier is the program's: nothing typed or pasted enters it.
        {kProgramaNuevo, kIndustrial, "dbProducto", 5, "1", true, ""},
        {kProgramaNuevo, kServicios, "dbServicios", 0, "3", false, ""},
        // Digits-only cells keep the digits.
        {kProgramaNuevo, kIndustrial, "dbAnxMPE", 3, "8471a3001", true, "84713001"},
        {kAmpliacion, kIndustrial, "dbAnx_3", 2, "84-71.30 01", false, "84713001"},
        // Free text: no key types a tab or a line break.
        {kProgramaNuevo, kIndustrial, "dbAnx_1", 3, "CAJA\tROJA\n", false, "CAJAROJA"},
        {kAmpliacion, kIndustrial, "txtNumKALTO", -1, "12a-3 4", false, "1234"},
        {kAmpliacion, kIndustrial, "txtAnioKALTO", -1, " 2009", true, "2009"},
        // The RFC by its position filter, upper case.
        {kProgramaNuevo, kIndustrial, "txtRFC", -1, " abc-000229xy1", true, " ABC000229XY1"},
    };
    for (const auto& e : entries) {
        const QString name = QString::fromLatin1(e.control);
        SCOPED_TRACE(name.toStdString() + " " + e.text);
        choose(e.tramite, e.modalidad);
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
        }
        ASSERT_TRUE(edit && edit->isEnabled());
        QApplication::clipboard()->setText(QString::fromLatin1(e.text));
        if (e.keys) QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        else QMetaObject::invokeMethod(edit, "paste");
        EXPECT_EQ(edit->text(), QString::fromLatin1(e.expected));
        if (g) {
            g->discard();
        } else {
            key(Qt::Key_Tab);  // what the field shows is what is stored
            const QString stored = scalar(u"select coalesce(numekalto, '') || '/' || coalesce(aniokalto, '') || '/' || "
                                          u"coalesce(rfc, '') from imdint"_s).toString();
            EXPECT_TRUE(stored.split('/').contains(QString::fromLatin1(e.expected))) << stored.toStdString();
        }
    }
    EXPECT_TRUE(messages.entries.isEmpty()) << messages.last().toStdString();
}

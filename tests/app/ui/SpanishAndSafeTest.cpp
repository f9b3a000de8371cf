// The main window as a Spanish-speaking user meets it: Qt's own buttons and menus in Spanish,
// questions that throw data away answered No by Enter, the keyboard starting in the header,
// the page the user is on kept, every tab caption in sight.

#include "WindowFixture.h"

#include "app/HeaderStore.h"
#include "app/RequestRules.h"
#include "app/ui/TabCaptions.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"
#include "toolkit/MessageBoxMessages.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

#include <functional>

using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

namespace {

// Runs `inspect` on the first modal box or popup menu that `action` opens (the inspection
// must close it).
void whileOpen(const std::function<void()>& action, const std::function<void(QWidget*)>& inspect) {
    bool done = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                       : QApplication::activeModalWidget();
        if (!w || done) return;
        done = true;
        inspect(w);
    });
    poll.start();
    action();
    if (!done) (void)QTest::qWaitFor([&] { return done; }, 2000);  // a popup does not block
    poll.stop();
    EXPECT_TRUE(done) << "nothing opened";
}

QStringList shown(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions)
        if (!a->isSeparator()) out << a->text().remove(u'&').section(u'\t', 0, 0);
    return out;
}

// The right-click menu of a text field or cell editor, as shown.
QStringList contextMenuOf(QWidget* edit) {
    QStringList items;
    whileOpen(
        [edit] {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(edit, &event);
        },
        [&](QWidget* popup) {
            if (auto* menu = qobject_cast<QMenu*>(popup)) items = shown(menu->actions());
            popup->close();
        });
    return items;
}

}  // namespace

TEST_F(WindowTest, QtsOwnTextsAreSpanish) {
    const QStringList menu{u"Deshacer"_s, u"Rehacer"_s, u"Cortar"_s, u"Copiar"_s,
                           u"Pegar"_s,    u"Eliminar"_s, u"Seleccionar todo"_s};
    EXPECT_EQ(contextMenuOf(find(u"txtRSocial"_s)), menu);
    // The cell editor of a grid.
    BoundGrid* fiscal = grid(u"dbDomFiscal"_s);
    typeRow(fiscal, {u"x"_s});
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(fiscal->isAncestorOf(editor));
    EXPECT_EQ(contextMenuOf(editor), menu);
}

TEST_F(WindowTest, ClearingAsksWithSiAndNoAndEnterKeepsTheRequest) {
    ASSERT_TRUE(db.execute(u"insert into imdir (iddir, calleyno) values ('FL', 'NORTE 1')"_s));
    // The recorded question: No is its default answer.
    messages.answers = {false};
    click(u"cmdKALTO_0"_s);
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].text, RequestRules::kMsgLimpia);
    EXPECT_EQ(messages.entries[0].presetAnswer, Messages::Answer::No);

    // The same window with real message boxes.
    shut();
    QString error;
    ASSERT_TRUE(folder.open(db, &error)) << error.toStdString();
    MessageBoxMessages boxes;
    frmKALTO real(db, boxes);
    ASSERT_TRUE(real.load(&error)) << error.toStdString();
    real.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&real));
    auto* clear = real.findChild<QToolButton*>(u"cmdKALTO_0"_s);
    QStringList buttons;
    QString text, preset, focused;
    whileOpen([&] { clear->click(); },
              [&](QWidget* w) {
                  auto* box = qobject_cast<QMessageBox*>(w);
                  ASSERT_NE(box, nullptr);
                  text = box->text();
                  for (QAbstractButton* b : box->buttons()) buttons << b->text().remove(u'&');
                  preset = box->defaultButton() ? box->defaultButton()->text().remove(u'&') : QString();
                  focused = box->focusWidget() ? box->focusWidget()->property("text").toString().remove(u'&')
                                               : QString();
                  QTest::keyClick(box, Qt::Key_Return);
              });
    EXPECT_EQ(text, RequestRules::kMsgLimpia);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{u"No"_s, u"Sí"_s}));
    EXPECT_EQ(preset, u"No"_s);
    EXPECT_EQ(focused, u"No"_s);
    EXPECT_EQ(count(u"select count(*) from imdir"_s), 1);  // Enter kept the request
    // "Sí" clears.
    whileOpen([&] { clear->click(); },
              [&](QWidget* w) {
                  auto* box = qobject_cast<QMessageBox*>(w);
                  ASSERT_NE(box, nullptr);
                  box->button(QMessageBox::Yes)->click();
              });
    EXPECT_EQ(count(u"select count(*) from imdir"_s), 0);
    real.close();
}

TEST_F(WindowTest, TheKeyboardStartsInTheHeaderAndThePageStays) {
    auto* tramite = find<QComboBox>(u"cmbTramite"_s);
    auto* modalidad = find<QComboBox>(u"cmbModalidad"_s);
    EXPECT_EQ(QApplication::focusWidget(), tramite);

    // From an extension of services to a new programme: page 6 is in both.
    tramite->setCurrentIndex(kAmpliacion);
    modalidad->setCurrentIndex(kServicios);
    tab()->setCurrentIndex(kPagServicios);
    tramite->setCurrentIndex(kProgramaNuevo);
    EXPECT_EQ(tab()->currentIndex(), kPagServicios);
    // A page that becomes unavailable gives way to page 1.
    modalidad->setCurrentIndex(kIndustrial);
    EXPECT_EQ(tab()->currentIndex(), kPagDomicilioFiscal);

    // Clearing keeps page 2 and puts the keyboard back in the header.
    tab()->setCurrentIndex(kPagPlantas);
    messages.answers = {true};
    click(u"cmdKALTO_0"_s);
    ASSERT_EQ(messages.last(), RequestRules::kMsgLimpia);
    EXPECT_EQ(tab()->currentIndex(), kPagPlantas);
    EXPECT_EQ(QApplication::focusWidget(), tramite);
}


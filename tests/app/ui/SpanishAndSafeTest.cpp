// The main window as a Spanish-speaking user meets it: Qt's own texts in Spanish, the question
// that throws data away preset to No, the keyboard starting in the header, the page kept.

#include "WindowFixture.h"

#include "app/RequestRules.h"

#include <QComboBox>


using namespace kalto;
using namespace Qt::StringLiterals;
using kalto::test::WindowTest;

TEST_F(WindowTest, QtsOwnTextsAreSpanishAndClearingPresetsNo) {
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), u"&Deshacer"_s);
    ASSERT_TRUE(db.execute(u"insert into imdir (iddir, calleyno) values ('FL', 'NORTE 1')"_s));
    messages.answers = {false};
    click(u"cmdKALTO_0"_s);
    ASSERT_EQ(messages.entries.size(), 1);
    EXPECT_EQ(messages.entries[0].text, RequestRules::kMsgLimpia);
    EXPECT_EQ(messages.entries[0].presetAnswer, Messages::Answer::No);
    EXPECT_EQ(count(u"select count(*) from imdir"_s), 1);
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


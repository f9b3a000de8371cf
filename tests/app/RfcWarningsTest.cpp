// The check digits of the RFCs in "Verificar solicitud": every RFC whose last character is not
// the one its others give is listed with its page, row and cell, apart from what keeps the disk
// from being written, and the disk is still written. Digits worked by hand in the core tests.

#include "app/DiskGeneration.h"
#include "app/RequestVerifier.h"
#include "support/RequestFixture.h"

using namespace kalto;
using RfcWarnings = test::RequestFixture;

TEST_F(RfcWarnings, RfcCheckDigitsAreWarningsThatDoNotBlockTheDisk) {
    complete();
    exec(QStringLiteral("update imdint set rfc = 'gode561231rg8'"));  // two letters swapped: 7 expected
    reload();
    // Two RFCs per company grid, each right, wrong or generic (generic ones are never listed).
    for (const auto& [kind, rfc] : {std::pair{"C", " A&B010101AB0"}, {"C", " A&B010101AB1"}, {"T", "XAXX010101000"},
                                    {"T", "XEXX010101000"}, {"S", " MUÑ850101AB1"}, {"S", " MUÑ850101ABA"},
                                    {"M", "PEÑA800101XX0"}, {"M", "SAT970701NN4"}})
        exec(QStringLiteral("insert into impects (rsocial, rfc, porcont, porcext, idmcts) values ('UNO', ?, 50, 10, ?)"),
             {QString::fromUtf8(rfc), QString::fromLatin1(kind)});
    auto warning = [](int page, const char* grid, int row, const char* rfc, const char* digit) {
        return RequestFinding{page, QString::fromLatin1(grid), row, page < 0 ? -1 : 1,
                              RequestVerifier::kMsgDigitoRfc.arg(QString::fromUtf8(rfc), QString::fromLatin1(digit))};
    };
    EXPECT_EQ(RequestVerifier(*rules).rfcWarnings(),
              (QList<RequestFinding>{warning(-1, "txtRFC", -1, "GODE561231RG8", "7"),
                                     warning(kPagControladas, "dbControl", 1, "A&B010101AB1", "0"),
                                     warning(kPagServicios, "dbEServicios", 0, "MUÑ850101AB1", "A"),
                                     warning(kPagSubmanufactura, "dbSubmanufactura", 1, "SAT970701NN4", "3")}));
    // The disk's own check lets the request through and shows nothing.
    SourceRequestView view(*fuentes, estado);
    const Drives drives(folder.path());
    EXPECT_TRUE(DiskGeneration(*rules, view, msgs, drives).verificaSolicitud());
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
}

// The check digits of the RFCs in "Verificar solicitud": every RFC whose last character is not
// the one its others give is listed with its page, row and cell, apart from what keeps the disk
// from being written, and the disk is still written. Digits worked by hand in the core tests.

#include "app/DiskGeneration.h"
#include "app/RequestVerifier.h"
#include "records/CompanyRules.h"
#include "support/RequestFixture.h"

using namespace kalto;
using RfcWarnings = test::RequestFixture;

TEST_F(RfcWarnings, RfcCheckDigitsAreWarningsThatDoNotBlockTheDisk) {
    complete();
    exec(QStringLiteral("update imdint set rfc = 'gode561231rg8'"));  // two letters swapped: 7 expected
    reload();
    // Per grid kind, its RFCs: right, wrong, generic (never listed).
    const struct { const char* kind; const char* rfcs[2]; } companies[] = {
        {"C", {" A&B010101AB0", " A&B010101AB1"}}, {"T", {"XAXX010101000", "XEXX010101000"}},
        {"S", {" MUÑ850101AB1", " MUÑ850101ABA"}}, {"M", {"PEÑA800101XX0", "SAT970701NN4"}}};
    for (const auto& c : companies)
        for (const char* rfc : c.rfcs)
            exec(QStringLiteral("insert into impects (rsocial, rfc, porcont, porcext, idmcts) values ('UNO', ?, 50, 10, ?)"),
                 {QString::fromUtf8(rfc), QString::fromLatin1(c.kind)});
    const QString& m = RequestVerifier::kMsgDigitoRfc;
    const QList<RequestFinding> expected = {
        {-1, QStringLiteral("txtRFC"), -1, -1, m.arg(QStringLiteral("GODE561231RG8"), QStringLiteral("7"))},
        {kPagControladas, QStringLiteral("dbControl"), 1, CompanyRule::Rfc, m.arg(QStringLiteral("A&B010101AB1"), QStringLiteral("0"))},
        {kPagServicios, QStringLiteral("dbEServicios"), 0, CompanyRule::Rfc, m.arg(QStringLiteral("MUÑ850101AB1"), QStringLiteral("A"))},
        {kPagSubmanufactura, QStringLiteral("dbSubmanufactura"), 1, CompanyRule::Rfc,
         m.arg(QStringLiteral("SAT970701NN4"), QStringLiteral("3"))}};
    RequestVerifier verifier(*rules);
    EXPECT_EQ(verifier.rfcWarnings(), expected);
    for (const RequestFinding& f : verifier.verify()) EXPECT_FALSE(f.message.contains(QStringLiteral("verificador")));
    // The disk's own check lets the request through and shows nothing.
    SourceRequestView view(*fuentes, estado);
    const Drives drives(folder.path());
    EXPECT_TRUE(DiskGeneration(*rules, view, msgs, drives).verificaSolicitud());
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.texts().join('|').toStdString();
}

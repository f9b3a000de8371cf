// The header texts between the keyboard and imdint: pending until stored, the RFC checked
// first, and a text the table cannot hold reported with the field's caption and kept.

#include "app/HeaderStore.h"
#include "data/Dbf.h"
#include "support/RequestFixture.h"

using namespace kalto;
using namespace Qt::StringLiterals;

namespace {

class HeaderStoreTest : public test::RequestFixture {
protected:
    // An imdint written by another program, whose company name holds 20 characters only and
    // which has no folio year.
    void prepareFolder() override {
        QList<DbfField> fields = findTableDef(u"imdint"_s)->fields;
        for (DbfField& f : fields)
            if (f.name.compare(u"APEPATRAZ"_s, Qt::CaseInsensitive) == 0) f.width = 20;
        fields.removeIf([](const DbfField& f) { return f.name.compare(u"ANIOFOLA"_s, Qt::CaseInsensitive) == 0; });
        QString err;
        ASSERT_TRUE(DbfTable::create(folder.file(u"imdint.DBF"_s), fields, &err)) << err.toStdString();
        auto table = DbfTable::open(folder.file(u"imdint.DBF"_s), &err);
        ASSERT_TRUE(table) << err.toStdString();
        ASSERT_TRUE(table->append({u" ABC010101XY1"_s, u"EMPRESA"_s}, nullptr, &err));
    }
    void SetUp() override {
        RequestFixture::SetUp();
        store = std::make_unique<HeaderStore>(*rules, msgs);
    }

    std::unique_ptr<HeaderStore> store;
};

}  // namespace

TEST_F(HeaderStoreTest, EachTextIsStoredOrRefusedWithTheFieldsCaption) {
    // In order, each typed text stored by the whole sequence: the column afterwards (null: a
    // null column) and the beginning of the one message given (empty: none). A refused text
    // stays for the user.
    const QString largo = u"COMERCIALIZADORA DEL NORTE"_s;  // 26 characters, the file holds 20
    const QString noCabe = u"No se pudo guardar el dato "_s;
    const struct { HeaderField field; QString typed; const char* column; QVariant stored; QString message; } casos[] = {
        {HeaderField::CompanyName, u"O'HARA"_s, "apepatraz", u"O'HARA"_s, {}},
        {HeaderField::RegistrationNumber, u"77"_s, "numekalto", u"77"_s, {}},
        {HeaderField::Rfc, u"XYZ000229AB1"_s, "rfc", u" XYZ000229AB1"_s, {}},
        {HeaderField::Rfc, u" XYZ010229AB1"_s, "rfc", QVariant(),
         u"El mes que has escrito no tiene más de 28 días. Rectifica por favor"_s},
        {HeaderField::CompanyName, largo, "apepatraz", u"O'HARA"_s,
         noCabe + u"Razon Social: el texto tiene 26 caracteres y el campo admite 20. Rectifica por favor"_s},
        {HeaderField::CompanyName, largo.left(20), "apepatraz", largo.left(20), {}},
        {HeaderField::FolioNumber, u"A\u03A9"_s, "numefola", QVariant(),
         noCabe + u"Número de folio a deshogar: el carácter"_s},
        {HeaderField::FolioNumber, u"A1"_s, "numefola", u"A1"_s, {}},
        {HeaderField::CompanyName, QString(), "apepatraz", QVariant(), {}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.typed.toStdString());
        msgs.clear();
        store->edit(c.field, c.typed);
        EXPECT_EQ(store->storeAll(), !c.message.startsWith(noCabe));
        EXPECT_EQ(dint(c.column), c.stored);
        EXPECT_EQ(msgs.entries.size(), c.message.isEmpty() ? 0 : 1) << msgs.texts().join('|').toStdString();
        EXPECT_TRUE(msgs.last().startsWith(c.message)) << msgs.last().toStdString();
        // Shown: what was stored; a refused text as typed, a refused RFC emptied.
        const QString shown = c.message.isEmpty() ? c.stored.toString() : c.field == HeaderField::Rfc ? QString() : c.typed;
        EXPECT_EQ(store->text(c.field), shown);
    }
    EXPECT_EQ(estado.numKALTO, u"77"_s);
}

TEST_F(HeaderStoreTest, TypedTextIsPendingUntilStored) {
    store->edit(HeaderField::CompanyName, u"COMERCIALIZADORA DEL NORTE"_s);
    store->edit(HeaderField::RegistrationYear, u"2009"_s);
    EXPECT_TRUE(store->isPending(HeaderField::CompanyName) && dint("apepatraz").toString() == u"EMPRESA"_s);
    // A refused text leaves the table and the state as stored, and the other fields are stored all the same.
    EXPECT_FALSE(store->storeAll());
    EXPECT_EQ(msgs.entries.value(0).kind, RecordingMessages::Kind::Exclamation);
    EXPECT_TRUE(dint("apepatraz").toString() == "EMPRESA" && estado.razonSocial == "EMPRESA" &&
                dint("aniokalto").toString() == "2009");
    // One field on leaving it; the others wait for the whole sequence.
    store->edit(HeaderField::CompanyName, u"OTRA"_s);
    store->edit(HeaderField::RegistrationNumber, u"77"_s);
    EXPECT_TRUE(store->store(HeaderField::CompanyName));
    EXPECT_TRUE(!store->isPending(HeaderField::CompanyName) && dint("numekalto").isNull());
    // Clearing drops what was typed and not stored.
    store->discardPending();
    EXPECT_TRUE(store->storeAll() && dint("numekalto").isNull());
    // Leaving the RFC checks what it shows, even when it was not typed just now.
    msgs.clear();
    store->checkRfc(u" XYZ011301AB1"_s);
    EXPECT_TRUE(msgs.texts().size() == 1 && store->isPending(HeaderField::Rfc) && store->text(HeaderField::Rfc).isEmpty());
    // A text the table's own write refuses (this imdint has no folio year) is told and stays typed.
    msgs.clear();
    store->edit(HeaderField::FolioYear, u"2001"_s);
    EXPECT_FALSE(store->store(HeaderField::FolioYear));
    EXPECT_TRUE(msgs.last().startsWith(u"No se pudo guardar el dato "_s)) << msgs.last().toStdString();
    EXPECT_EQ(store->text(HeaderField::FolioYear), u"2001"_s);
}

// The header texts between the keyboard and imdint: pending until stored, the RFC checked
// first, and a text the table cannot hold reported with the field's caption and kept.

#include "app/HeaderStore.h"
#include "data/Dbf.h"
#include "support/RequestFixture.h"

using namespace kalto;

namespace {

class HeaderStoreTest : public test::RequestFixture {
protected:
    // An imdint written by another program, whose company name holds 20 characters only and
    // which has no folio year.
    void prepareFolder() override {
        QList<DbfField> fields = findTableDef(QStringLiteral("imdint"))->fields;
        for (DbfField& f : fields)
            if (f.name.compare(QStringLiteral("APEPATRAZ"), Qt::CaseInsensitive) == 0) f.width = 20;
        fields.removeIf([](const DbfField& f) { return f.name.compare(QStringLiteral("ANIOFOLA"), Qt::CaseInsensitive) == 0; });
        QString err;
        ASSERT_TRUE(DbfTable::create(folder.file(QStringLiteral("imdint.DBF")), fields, &err)) << err.toStdString();
        auto table = DbfTable::open(folder.file(QStringLiteral("imdint.DBF")), &err);
        ASSERT_TRUE(table) << err.toStdString();
        ASSERT_TRUE(table->append({QStringLiteral(" ABC010101XY1"), QStringLiteral("EMPRESA")}, nullptr, &err));
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
    // null column) and the one message given (empty: none). A refused text stays for the user.
    const QString largo = QStringLiteral("COMERCIALIZADORA DEL NORTE");  // 26 characters, the file holds 20
    const QString noCabe = QStringLiteral("No se pudo guardar el dato ");
    const struct {
        HeaderField field;
        QString typed;
        const char* column;
        QVariant stored;
        QString message;  // its beginning
    } casos[] = {
        {HeaderField::CompanyName, QStringLiteral("O'HARA"), "apepatraz", QStringLiteral("O'HARA"), {}},
        {HeaderField::RegistrationNumber, QStringLiteral("77"), "numekalto", QStringLiteral("77"), {}},
        {HeaderField::Rfc, QStringLiteral("XYZ000229AB1"), "rfc", QStringLiteral(" XYZ000229AB1"), {}},
        {HeaderField::Rfc, QStringLiteral(" XYZ010229AB1"), "rfc", QVariant(),
         QStringLiteral("El mes que has escrito no tiene más de 28 días. Rectifica por favor")},
        {HeaderField::CompanyName, largo, "apepatraz", QStringLiteral("O'HARA"),
         noCabe + QStringLiteral("Razon Social: el texto tiene 26 caracteres y el campo admite 20. Rectifica por favor")},
        {HeaderField::CompanyName, largo.left(20), "apepatraz", largo.left(20), {}},
        {HeaderField::FolioNumber, QStringLiteral("A\u03A9"), "numefola", QVariant(),
         noCabe + QStringLiteral("Número de folio a deshogar: el carácter")},
        {HeaderField::FolioNumber, QStringLiteral("A1"), "numefola", QStringLiteral("A1"), {}},
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
    EXPECT_EQ(estado.numKALTO, QStringLiteral("77"));
}

TEST_F(HeaderStoreTest, TypedTextIsPendingUntilStored) {
    store->edit(HeaderField::CompanyName, QStringLiteral("COMERCIALIZADORA DEL NORTE"));
    store->edit(HeaderField::RegistrationYear, QStringLiteral("2009"));
    EXPECT_TRUE(store->isPending(HeaderField::CompanyName));
    EXPECT_EQ(dint("apepatraz").toString(), QStringLiteral("EMPRESA"));
    // A refused text leaves the table and the state as stored, and the other fields are stored all the same.
    EXPECT_FALSE(store->storeAll());
    EXPECT_EQ(msgs.entries.value(0).kind, RecordingMessages::Kind::Exclamation);
    EXPECT_TRUE(dint("apepatraz").toString() == "EMPRESA" && estado.razonSocial == "EMPRESA");
    EXPECT_EQ(dint("aniokalto").toString(), QStringLiteral("2009"));
    // One field on leaving it; the others wait for the whole sequence.
    store->edit(HeaderField::CompanyName, QStringLiteral("OTRA"));
    store->edit(HeaderField::RegistrationNumber, QStringLiteral("77"));
    EXPECT_TRUE(store->store(HeaderField::CompanyName));
    EXPECT_TRUE(!store->isPending(HeaderField::CompanyName) && dint("numekalto").isNull());
    // Clearing drops what was typed and not stored.
    store->discardPending();
    EXPECT_TRUE(store->storeAll());
    EXPECT_TRUE(dint("numekalto").isNull());
    // Leaving the RFC checks what it shows, even when it was not typed just now.
    msgs.clear();
    store->checkRfc(QStringLiteral(" XYZ011301AB1"));
    EXPECT_EQ(msgs.texts().size(), 1);
    EXPECT_TRUE(store->isPending(HeaderField::Rfc) && store->text(HeaderField::Rfc).isEmpty());
    // A text the table's own write refuses (this imdint has no folio year) is told and stays typed.
    msgs.clear();
    store->edit(HeaderField::FolioYear, QStringLiteral("2001"));
    EXPECT_FALSE(store->store(HeaderField::FolioYear));
    EXPECT_TRUE(msgs.last().startsWith(QStringLiteral("No se pudo guardar el dato "))) << msgs.last().toStdString();
    EXPECT_EQ(store->text(HeaderField::FolioYear), QStringLiteral("2001"));
}

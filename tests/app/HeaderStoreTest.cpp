// The header texts between the keyboard and imdint: pending until stored, the RFC checked
// first, and a text the table cannot hold reported with the field's caption and kept.

#include "app/HeaderStore.h"
#include "data/Dbf.h"
#include "support/RequestFixture.h"

using namespace kalto;

namespace {

class HeaderStoreTest : public test::RequestFixture {
protected:
    // An imdint written by another program, whose company name holds 20 characters only.
    void prepareFolder() override {
        QList<DbfField> fields = findTableDef(QStringLiteral("imdint"))->fields;
        for (DbfField& f : fields)
            if (f.name.compare(QStringLiteral("APEPATRAZ"), Qt::CaseInsensitive) == 0) f.width = 20;
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

TEST_F(HeaderStoreTest, TypedTextIsPendingUntilStored) {
    EXPECT_EQ(store->text(HeaderField::CompanyName), QStringLiteral("EMPRESA"));
    store->edit(HeaderField::CompanyName, QStringLiteral("O'HARA"));
    store->edit(HeaderField::RegistrationNumber, QStringLiteral("77"));
    EXPECT_TRUE(store->isPending(HeaderField::CompanyName) && store->text(HeaderField::CompanyName) == "O'HARA");
    EXPECT_EQ(dint("apepatraz").toString(), QStringLiteral("EMPRESA"));
    // One field on leaving it; the others by the whole sequence.
    EXPECT_TRUE(store->store(HeaderField::CompanyName));
    EXPECT_EQ(dint("apepatraz").toString(), QStringLiteral("O'HARA"));  // bound, never spliced
    EXPECT_TRUE(!store->isPending(HeaderField::CompanyName) && dint("numekalto").isNull());
    EXPECT_TRUE(store->storeAll());
    EXPECT_TRUE(dint("numekalto").toString() == "77" && estado.numKALTO == "77");
    // Clearing drops what was typed and not stored.
    store->edit(HeaderField::FolioYear, QStringLiteral("2001"));
    store->discardPending();
    EXPECT_TRUE(store->storeAll());
    EXPECT_TRUE(dint("aniofola").isNull());
    EXPECT_TRUE(msgs.entries.isEmpty()) << msgs.last().toStdString();
}

TEST_F(HeaderStoreTest, TheRfcIsCheckedBeforeItIsStored) {
    // A 12-character RFC gets its leading blank; a wrong date is refused and emptied.
    store->edit(HeaderField::Rfc, QStringLiteral("XYZ000229AB1"));
    EXPECT_TRUE(store->storeAll());
    EXPECT_EQ(dint("rfc").toString(), QStringLiteral(" XYZ000229AB1"));
    store->edit(HeaderField::Rfc, QStringLiteral(" XYZ010229AB1"));
    EXPECT_TRUE(store->storeAll());
    EXPECT_EQ(msgs.texts(), QStringList{QStringLiteral("El mes que has escrito no tiene más de 28 días. "
                                                           "Rectifica por favor")});
    EXPECT_TRUE(dint("rfc").isNull() && store->text(HeaderField::Rfc).isEmpty());
    // Leaving the field checks what it shows, even when it was not typed just now.
    msgs.clear();
    store->checkRfc(QStringLiteral(" XYZ011301AB1"));
    EXPECT_EQ(msgs.texts().size(), 1);
    EXPECT_TRUE(store->isPending(HeaderField::Rfc) && store->text(HeaderField::Rfc).isEmpty());
}

TEST_F(HeaderStoreTest, ATextTheTableCannotHoldIsNamedByItsCaptionAndKept) {
    const QString longName = QStringLiteral("COMERCIALIZADORA DEL NORTE");  // 26 characters, the file holds 20
    store->edit(HeaderField::CompanyName, longName);
    store->edit(HeaderField::RegistrationYear, QStringLiteral("2009"));
    EXPECT_FALSE(store->storeAll());
    ASSERT_EQ(msgs.entries.size(), 1);
    EXPECT_EQ(msgs.last(), QStringLiteral("No se pudo guardar el dato Razon Social: el texto tiene 26 caracteres "
                                              "y el campo admite 20. Rectifica por favor"));
    EXPECT_EQ(msgs.entries[0].kind, RecordingMessages::Kind::Exclamation);
    // The text stays for the user to correct; the table and the state keep the stored one;
    // the other fields are stored all the same.
    EXPECT_EQ(store->text(HeaderField::CompanyName), longName);
    EXPECT_TRUE(dint("apepatraz").toString() == "EMPRESA" && estado.razonSocial == "EMPRESA");
    EXPECT_EQ(dint("aniokalto").toString(), QStringLiteral("2009"));
    // A letter outside the tables' character set.
    msgs.clear();
    store->edit(HeaderField::FolioNumber, QStringLiteral("A\u03A9"));
    EXPECT_FALSE(store->store(HeaderField::FolioNumber));
    ASSERT_EQ(msgs.entries.size(), 1);
    EXPECT_TRUE(msgs.last().startsWith(QStringLiteral("No se pudo guardar el dato Número de folio a deshogar: "
                                                          "el carácter")))
        << msgs.last().toStdString();
    for (const QString& text : msgs.texts())
        for (const char* column : {"APEPATRAZ", "NUMEFOLA"}) EXPECT_FALSE(text.contains(QLatin1String(column)));
    // Corrected, both are stored.
    store->edit(HeaderField::CompanyName, longName.left(20));
    store->edit(HeaderField::FolioNumber, QStringLiteral("A1"));
    EXPECT_TRUE(store->storeAll());
    EXPECT_TRUE(dint("apepatraz").toString() == longName.left(20) && dint("numefola").toString() == "A1");
}

// Writing the request to drive A: over a temporary data folder and a temporary drive: the
// completeness messages in their order with the page they show, the "Controladora" rules,
// the question, the seven tables on the disk (packed, read back), and failures that name
// the file and never leave a half-written table or a claim of success.

#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/RequestRules.h"
#include "core/Drives.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"
#include "support/RecordingMessages.h"
#include "support/RequestFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <sys/stat.h>

using namespace kalto;

namespace {

using Kind = RecordingMessages::Kind;

QByteArray bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

QStringList sevenOnDisk() {
    QStringList names;
    for (const QString& t : requestTables()) names << DiskGeneration::diskFileName(t);
    return names;
}

class DiscoTest : public test::RequestFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(disk.isValid());
        qputenv("KALTO_UNIDAD_A", QFile::encodeName(disk.path()));
        RequestFixture::SetUp();
        view = std::make_unique<SourceRequestView>(*fuentes, estado);
        drives = std::make_unique<Drives>(folder.path());
    }
    void TearDown() override {
        ::chmod(QFile::encodeName(disk.path()).constData(), 0755);
        qunsetenv("KALTO_UNIDAD_A");
    }

    DiskGeneration generation(const Drives* other = nullptr) {
        DiskGenerationHooks hooks;
        hooks.showPage = [this](int p) { pages << p; };
        hooks.showWait = [this] { ++waits; };
        hooks.rebind = [this] {
            ++rebinds;
            rules->EstableceLigas(nullptr);
        };
        return DiskGeneration(*rules, *view, msgs, other ? *other : *drives, hooks);
    }
    // The first message the check gives (empty when it passes) and the page it shows.
    QString firstMissing(int* page = nullptr, Kind* kind = nullptr) {
        msgs.clear();
        pages.clear();
        const bool ok = generation().verificaSolicitud();
        EXPECT_EQ(ok, msgs.entries.isEmpty());
        if (page) *page = pages.isEmpty() ? -1 : pages.last();
        if (kind && !msgs.entries.isEmpty()) *kind = msgs.entries.first().kind;
        EXPECT_LE(msgs.entries.size(), 1) << msgs.texts().join('|').toStdString();
        return msgs.entries.isEmpty() ? QString() : msgs.entries.first().text;
    }

    void solicitud(int tramite, int modalidad, bool desahogo = false) {
        estado.tramite = tramite;
        estado.modalidad = modalidad;
        estado.desahogo = desahogo;
        exec(QStringLiteral("update imdint set idtra = ?, idmoda = ?, dprev = ?"),
             {tramite == kProgramaNuevo ? 0 : 1, modalidad, desahogo});
    }
    void header(HeaderField field, const char* text) { ASSERT_TRUE(rules->storeField(field, QString::fromUtf8(text))); }
    void address(const char* kind, const QVariant& fax = QStringLiteral("5555")) {
        exec(QStringLiteral("insert into imdir (iddir, calleyno, cp, ciudad, colonia, telefono, email, edo, delmun, fax) "
                            "values (?, 'REFORMA 1', '06600', 'MEXICO', 'JUAREZ', '5551', 'a@b.mx', 'CDMX', "
                            "'CUAUHTEMOC', ?)"),
             {QString::fromLatin1(kind), fax});
    }
    void representative(const QVariant& cargo = QStringLiteral("DIRECTOR")) {
        exec(QStringLiteral("insert into imrlegal values ('ANA', 'PEREZ', 'LOPEZ', '5552', ?, 'ana@b.mx')"), {cargo});
    }
    void company(const char* kind, const QVariant& name, const QVariant& rfc, double amount = 0,
                 const QVariant& porcext = 10) {
        exec(QStringLiteral("insert into impects (rsocial, rfc, montoexp, porcont, porcext, idmcts) values (?, ?, ?, 50, ?, ?)"),
             {name, rfc, amount, porcext, QString::fromLatin1(kind)});
    }
    void product(const QVariant& um = QStringLiteral("PIEZA")) {
        exec(QStringLiteral("insert into improd (id_prod, fraccion, volumen, porcut, umid, um) "
                            "values (1, '12345678', 100, 50, 1, ?)"),
             {um});
    }
    void annex(int id, int kind, const QVariant& descrip, const QVariant& fraccion, int subord = 0) {
        exec(QStringLiteral("insert into imanexos values (?, ?, ?, ?, ?)"), {id, kind, descrip, fraccion, subord});
    }
    QStringList onDisk() const { return QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QString diskFile(const QString& name) const { return QDir(disk.path()).filePath(name); }

    QTemporaryDir disk;
    std::unique_ptr<SourceRequestView> view;
    std::unique_ptr<Drives> drives;
    QList<int> pages;
    int waits = 0;
    int rebinds = 0;
};

const QString kReq = QStringLiteral(" es Requerido");
QString campo(const QString& what) { return QStringLiteral("El Siguiente campo ") + what + kReq; }
QString columna(const QString& caption, const QString& grid) {
    return QStringLiteral("El Siguiente campo ") + caption + QStringLiteral(" de la tabla ") + grid + kReq;
}
QString vacia(const QString& grid) {
    return QStringLiteral("Debes ingresar por lo menos un registro en la tabla de  ") + grid + kReq;
}

}  // namespace

TEST_F(DiscoTest, AnExtensionIsCheckedItemByItemInOrder) {
    // An extension of modality "Servicios" with the desahogo box checked: each fix reveals the next item.
    solicitud(kAmpliacion, kServicios, true);
    int page = -2;
    Kind kind = Kind::Plain;
    EXPECT_EQ(firstMissing(&page, &kind), campo("RFC de la empresa que esta presentando la solicitud"));
    EXPECT_EQ(kind, Kind::Stop);
    EXPECT_EQ(msgs.entries.first().title, QStringLiteral("KALTO"));
    EXPECT_EQ(page, -1);  // a header field selects no page
    header(HeaderField::Rfc, "AAAA010101AA1");
    EXPECT_EQ(firstMissing(), campo("Razón Social"));
    header(HeaderField::CompanyName, "EMPRESA");
    EXPECT_EQ(firstMissing(), campo("Año de folio a deshogar"));
    header(HeaderField::FolioYear, "2006");
    EXPECT_EQ(firstMissing(), campo("Número de folio a deshogar"));
    header(HeaderField::FolioNumber, "123");
    EXPECT_EQ(firstMissing(), campo("Año resgistro KALTO"));
    header(HeaderField::RegistrationYear, "2007");
    EXPECT_EQ(firstMissing(), campo("Número resgistro KALTO"));
    header(HeaderField::RegistrationNumber, "45");

    EXPECT_EQ(firstMissing(&page, &kind), vacia("Direccion Fiscal"));
    EXPECT_EQ(page, 0);
    EXPECT_EQ(kind, Kind::Stop);
    address("FL", QVariant());
    EXPECT_EQ(firstMissing(&page), columna("Fax", "Direccion Fiscal"));
    EXPECT_EQ(page, 0);
    exec(QStringLiteral("update imdir set fax = '5555'"));
    EXPECT_EQ(firstMissing(&page), vacia(QString()));  // the representative's grid has no tooltip
    EXPECT_EQ(page, 0);
    representative(QVariant());
    EXPECT_EQ(firstMissing(), columna("Cargo / Puesto", QString()));
    exec(QStringLiteral("update imrlegal set caremp = 'DIRECTOR'"));

    // No plants for an extension, no products for "Servicios"; its service is required.
    EXPECT_EQ(firstMissing(&page), vacia("servicio"));
    EXPECT_EQ(page, 5);
    exec(QStringLiteral("insert into imserv (idserv) values (3)"));
    EXPECT_EQ(firstMissing(&page), columna("Servicio", "servicio"));
    EXPECT_EQ(page, 5);
    exec(QStringLiteral("update imserv set servicio = 'MAQUILA'"));
    // Service companies and submanufacturing only when they have rows.
    company("S", QVariant(), QStringLiteral("BBB010101BB1"));
    EXPECT_EQ(firstMissing(&page), columna("Razón Social", "empresa de servicios"));
    EXPECT_EQ(page, 5);
    exec(QStringLiteral("update impects set rsocial = 'SERVIDA'"));
    company("M", QStringLiteral("SUBMAQUILA"), QVariant());
    EXPECT_EQ(firstMissing(&page), columna("Rfc", "empresa de submanufactura"));
    EXPECT_EQ(page, 6);
    exec(QStringLiteral("update impects set rfc = 'CCC010101CC1' where idmcts = 'M'"));

    // At least one annex row; the export product's tariff item (services below code 13).
    EXPECT_EQ(firstMissing(&page, &kind), DiskGeneration::kMsgAnexos);
    EXPECT_EQ(page, 7);
    EXPECT_EQ(kind, Kind::Stop);
    annex(1, 1, QStringLiteral("TELA"), QVariant());
    EXPECT_EQ(firstMissing(&page), columna("Fraccion", "Producto de Exportación"));
    EXPECT_EQ(page, 7);
    exec(QStringLiteral("update imanexos set fraccion = '12345678'"));
    EXPECT_EQ(firstMissing(), QString());
}

TEST_F(DiscoTest, ANewControladoraProgrammeChecksPlantsCompaniesProductsAndItsRules) {
    solicitud(kProgramaNuevo, kControladora);
    header(HeaderField::Rfc, "AAAA010101AA1");
    header(HeaderField::CompanyName, "EMPRESA");
    address("FL");
    representative();
    int page = -2;
    EXPECT_EQ(firstMissing(&page), vacia("domicilio de planta"));
    EXPECT_EQ(page, 1);
    exec(QStringLiteral("insert into imdir (iddir, calleyno, ciudad, colonia, telefono, email, edo, delmun, fax) "
                        "values ('PL', 'NORTE 2', 'PUEBLA', 'CENTRO', '1', 'p@b.mx', 'PUEBLA', 'PUEBLA', '2')"));
    EXPECT_EQ(firstMissing(&page), columna("C.P.", "domicilio de planta"));
    EXPECT_EQ(page, 1);
    exec(QStringLiteral("update imdir set cp = '72000' where iddir = 'PL'"));
    // Only the current (first) row is checked: a second incomplete plant does not stop it.
    exec(QStringLiteral("insert into imdir (iddir, calleyno) values ('PL', 'SUR 3')"));

    EXPECT_EQ(firstMissing(&page), vacia("empresa controlada"));
    EXPECT_EQ(page, 2);
    company("C", QStringLiteral("UNO"), QStringLiteral("BBB010101BB1"), 100, QVariant());
    EXPECT_EQ(firstMissing(&page), columna("Porc. Part. Res.", "empresa controlada"));
    EXPECT_EQ(page, 2);
    exec(QStringLiteral("update impects set porcext = 5"));

    EXPECT_EQ(firstMissing(&page), vacia(QString()));
    EXPECT_EQ(page, 3);
    product(QVariant());
    EXPECT_EQ(firstMissing(&page), columna("Unidad Medida", QString()));
    EXPECT_EQ(page, 3);
    exec(QStringLiteral("update improd set um = 'PIEZA'"));

    // With a service of code 13 or above the export product needs its description.
    exec(QStringLiteral("insert into imserv values (13, 'CONTROL')"));
    annex(1, 1, QVariant(), QStringLiteral("12345678"));
    EXPECT_EQ(firstMissing(&page), columna("Descripción", "Producto de Exportación"));
    EXPECT_EQ(page, 7);
    exec(QStringLiteral("update imanexos set descrip = 'TELA'"));

    // Then the two rules of the save, with the exclamation icon.
    Kind kind = Kind::Plain;
    EXPECT_EQ(firstMissing(&page, &kind), RequestRules::kMsgMontoControladora);
    EXPECT_EQ(kind, Kind::Exclamation);
    exec(QStringLiteral("update impects set montoexp = 500000000"));
    EXPECT_EQ(firstMissing(), RequestRules::kMsgEmpresasControladora);
    company("C", QStringLiteral("DOS"), QStringLiteral("DDD010101DD1"), 0);
    EXPECT_EQ(firstMissing(), QString());

    // An outsourcing programme asks for its companies instead.
    solicitud(kProgramaNuevo, kTerciarizacion);
    EXPECT_EQ(firstMissing(&page), vacia("empresa de terciarización"));
    EXPECT_EQ(page, 4);
}

TEST_F(DiscoTest, TheSevenTablesReachTheDiskPackedAndTheWindowIsBoundAgain) {
    complete();
    annex(3, 3, QStringLiteral("TALADRO"), QVariant());
    exec(QStringLiteral("delete from imanexos where id_prod = 3"));  // a deleted record in the file
    ASSERT_EQ(db.table(QStringLiteral("imanexos"))->recordCount(), 3);
    // An older disk: its tables are replaced.
    QFile old(diskFile(QStringLiteral("imdir.DBF")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("disco anterior") > 0);
    old.close();

    msgs.answers = {true};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::Written);
    ASSERT_EQ(msgs.entries.size(), 1) << msgs.texts().join('|').toStdString();
    EXPECT_EQ(msgs.entries[0].kind, Kind::Question);
    EXPECT_EQ(msgs.entries[0].text, QStringLiteral("Asegúrese de que el disco esté en la unidad A:. \n\n"
                                                   "Se continua con el proceso de guardado de la información?"));
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(rebinds, 1);

    QStringList expected = sevenOnDisk();
    expected.sort();
    EXPECT_EQ(onDisk(), expected);  // nothing else: no temporary file left
    for (const QString& t : requestTables())
        EXPECT_EQ(bytes(diskFile(DiskGeneration::diskFileName(t))), bytes(db.tablePath(t))) << t.toStdString();
    QString err;
    auto anexos = DbfTable::open(diskFile(QStringLiteral("imanexos.DBF")), &err, DbfAccess::ReadOnly);
    ASSERT_TRUE(anexos) << err.toStdString();
    ASSERT_EQ(anexos->recordCount(), 2);
    EXPECT_FALSE(anexos->isDeleted(0) || anexos->isDeleted(1));
    EXPECT_EQ(anexos->value(1, 3).toString(), QStringLiteral("87654321"));
    auto dir = DbfTable::open(diskFile(QStringLiteral("imdir.DBF")), &err, DbfAccess::ReadOnly);
    ASSERT_TRUE(dir) << err.toStdString();
    EXPECT_EQ(dir->recordCount(), 2);
    EXPECT_EQ(dir->value(0, 1).toString(), QStringLiteral("REFORMA 1"));
    auto dint = DbfTable::open(diskFile(QStringLiteral("imdint.DBF")), &err, DbfAccess::ReadOnly);
    ASSERT_TRUE(dint) << err.toStdString();
    EXPECT_EQ(dint->value(0, 0).toString(), QStringLiteral("AAAA010101AA1"));
    // The window's sources read the packed tables again.
    EXPECT_EQ(fuentes->dtsAnxMPE()->recordSet().count(), 1);

    // No to the question: the disk stays as it is, the window is bound again all the same.
    const QByteArray before = bytes(diskFile(QStringLiteral("imdint.DBF")));
    header(HeaderField::CompanyName, "OTRA");
    msgs.clear();
    msgs.answers = {false};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::Declined);
    EXPECT_EQ(msgs.entries.size(), 1);
    EXPECT_EQ(bytes(diskFile(QStringLiteral("imdint.DBF"))), before);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(rebinds, 2);

    // An incomplete request asks nothing and writes nothing.
    exec(QStringLiteral("delete from imanexos"));
    msgs.clear();
    msgs.answers = {true};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::Incomplete);
    EXPECT_EQ(msgs.texts(), QStringList{DiskGeneration::kMsgAnexos});
    EXPECT_EQ(rebinds, 2);
    EXPECT_EQ(msgs.answers.size(), 1);  // the question was never asked
}

TEST_F(DiscoTest, AFailedCopyNamesTheFileAndClaimsNothing) {
    complete();
    // A disk that fills up while imanexos is written: the other six are written, imanexos
    // keeps its older copy whole and no temporary file is left.
    QFile old(diskFile(QStringLiteral("imanexos.DBF")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("anexos del disco anterior") > 0);
    old.close();
    Drives full(folder.path());
    full.setFault([](Drives::Step step, const QString& name) {
        return step == Drives::Step::Write && name == QStringLiteral("imanexos.DBF") ? ENOSPC : 0;
    });
    msgs.answers = {true};
    EXPECT_EQ(generation(&full).GeneraDisco(), DiskOutcome::CopyFailed);
    ASSERT_EQ(msgs.entries.size(), 2);
    const QString said = msgs.entries[1].text;
    EXPECT_EQ(msgs.entries[1].kind, Kind::Exclamation);
    EXPECT_TRUE(said.contains(QStringLiteral("imanexos.DBF")) && said.contains(QStringLiteral("el disco está lleno")))
        << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("imdir.DBF")));
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(rebinds, 1);
    EXPECT_EQ(bytes(diskFile(QStringLiteral("imanexos.DBF"))), QByteArray("anexos del disco anterior"));
    QStringList expected = sevenOnDisk();
    expected.sort();
    EXPECT_EQ(onDisk(), expected);
    EXPECT_EQ(bytes(diskFile(QStringLiteral("imdir.DBF"))), bytes(db.tablePath(QStringLiteral("imdir"))));

    // A write-protected disk: every table is named with the reason, nothing is written.
    QTemporaryDir protegido;
    ASSERT_TRUE(protegido.isValid());
    ::chmod(QFile::encodeName(protegido.path()).constData(), 0555);
    QFile probe(QDir(protegido.path()).filePath(QStringLiteral("prueba")));
    const bool enforced = !probe.open(QIODevice::WriteOnly);
    if (!enforced) probe.remove();
    DriveSettings settings;
    settings.unidadA = protegido.path();
    Drives readOnly(folder.path(), settings);
    if (!enforced)  // the superuser writes anywhere: the disk refuses as a protected one does
        readOnly.setFault([](Drives::Step step, const QString&) { return step == Drives::Step::CreateTemporary ? EROFS : 0; });
    msgs.clear();
    msgs.answers = {true};
    EXPECT_EQ(generation(&readOnly).GeneraDisco(), DiskOutcome::CopyFailed);
    ASSERT_EQ(msgs.entries.size(), 2);
    for (const QString& name : sevenOnDisk()) EXPECT_TRUE(msgs.entries[1].text.contains(name)) << name.toStdString();
    EXPECT_TRUE(msgs.entries[1].text.contains(enforced ? QStringLiteral("no hay permiso para escribir en el disco")
                                                       : QStringLiteral("el disco está protegido contra escritura")))
        << msgs.entries[1].text.toStdString();
    EXPECT_EQ(waits, 0);
    ::chmod(QFile::encodeName(protegido.path()).constData(), 0755);
    EXPECT_TRUE(QDir(protegido.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(DiscoTest, NothingIsCopiedWhenATableCannotBeReadied) {
    complete();
    // A row in edit over imanexos that cannot be stored: the table is not packed, the disk untouched.
    QObject::connect(fuentes->dtsAnxMPE(), &DataSource::commitRequested, [](bool* committed) { *committed = false; });
    msgs.answers = {true};
    EXPECT_EQ(generation().GeneraDisco(), DiskOutcome::NotPrepared);
    ASSERT_EQ(msgs.entries.size(), 2);
    EXPECT_TRUE(msgs.entries[1].text.contains(QStringLiteral("imanexos")) &&
                msgs.entries[1].text.endsWith(DiskGeneration::kMsgNoCopiado))
        << msgs.entries[1].text.toStdString();
    EXPECT_TRUE(onDisk().isEmpty());
    EXPECT_EQ(waits, 0);
    EXPECT_EQ(rebinds, 1);

    // A drive A: that leads nowhere is told once, before any table is touched.
    DriveSettings settings;
    settings.unidadA = disk.filePath(QStringLiteral("no-existe"));
    Drives missing(folder.path(), settings);
    msgs.clear();
    msgs.answers = {true};
    EXPECT_EQ(generation(&missing).GeneraDisco(), DiskOutcome::NotPrepared);
    ASSERT_EQ(msgs.entries.size(), 2);
    EXPECT_TRUE(msgs.entries[1].text.contains(QStringLiteral("No se encuentra la unidad A:"))) << msgs.entries[1].text.toStdString();
    EXPECT_TRUE(onDisk().isEmpty());
}

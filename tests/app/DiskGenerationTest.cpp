// Writing the request to drive A: over a temporary data folder and a temporary drive: the
// completeness messages in their order with the page they show, the "Controladora" rules,
// the question, the seven tables on the disk (packed, read back), and failures that name
// the file and never leave a half-written table or a claim of success.

#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/RequestRules.h"
#include "app/RequestVerifier.h"
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

const char* const kAddress =
    "insert into imdir (iddir, calleyno, cp, ciudad, colonia, telefono, email, edo, delmun, fax) values ('%1', "
    "'REFORMA 1', '06600', 'MEXICO', 'JUAREZ', '5551', 'a@b.mx', 'CDMX', 'CUAUHTEMOC', '5555')";

// One step of the completeness check: the message both checks give first (with the page the
// disk generation selects), whether the request check already lists it before the first fix,
// and the statements that mend it (';'-separated; they may add the row the next step is about).
struct Step {
    QString message;
    int page;
    bool atStart;
    QString fix;
};

}  // namespace

// Walks the steps: at each one the disk generation stops at that message and selects its page,
// and the request check gives it first; before the first fix the request check lists every
// step marked atStart, in order; after the last both find the request complete.
class CompletenessTest : public DiscoTest {
protected:
    void walk(const QString& start, const QList<Step>& steps) {
        run(start);
        QStringList atStart;
        for (const Step& s : steps)
            if (s.atStart) atStart << s.message;
        EXPECT_EQ(verifierMessages(), atStart) << verifierMessages().join('|').toStdString();
        for (const Step& s : steps) {
            SCOPED_TRACE(s.message.toStdString());
            int page = -2;
            Kind kind = Kind::Plain;
            EXPECT_EQ(firstMissing(&page, &kind), s.message);
            const bool rule = s.message == RequestRules::kMsgMontoControladora ||
                              s.message == RequestRules::kMsgEmpresasControladora;
            EXPECT_EQ(kind, rule ? Kind::Exclamation : Kind::Stop);
            EXPECT_EQ(msgs.entries.value(0).title, QStringLiteral("KALTO"));
            EXPECT_EQ(page, rule ? -1 : s.page);
            const QList<RequestFinding> found = RequestVerifier(*rules).verify();
            EXPECT_EQ(found.value(0).message, s.message);
            EXPECT_EQ(found.value(0).page, s.page);
            run(s.fix);
        }
        EXPECT_EQ(firstMissing(), QString());
        EXPECT_EQ(verifierMessages(), QStringList());
    }
    void run(const QString& statements) {
        for (const QString& sql : statements.split(QStringLiteral("; "), Qt::SkipEmptyParts)) exec(sql);
        if (statements.contains(QStringLiteral("imdint"))) reload();  // the header as loaded
    }
    QStringList verifierMessages() {
        QStringList out;
        for (const RequestFinding& f : RequestVerifier(*rules).verify()) out << f.message;
        return out;
    }
};

TEST_F(CompletenessTest, AnExtensionOfServicesWithTheDesahogoBox) {
    // No plants for an extension, no products for "Servicios"; service and submanufacturing
    // companies only when they have rows; the export product by its tariff item (services below 13).
    walk(QStringLiteral("update imdint set idtra = 1, idmoda = 1, dprev = 1"),
         {{campo("RFC de la empresa que esta presentando la solicitud"), -1, true,
           "update imdint set rfc = 'AAAA010101AA1'"},
          {campo("Razón Social"), -1, true, "update imdint set apepatraz = 'EMPRESA'"},
          {campo("Año de folio a deshogar"), -1, true, "update imdint set aniofola = '2006'"},
          {campo("Número de folio a deshogar"), -1, true, "update imdint set numefola = '123'"},
          {campo("Año resgistro KALTO"), -1, true, "update imdint set aniokalto = '2007'"},
          {campo("Número resgistro KALTO"), -1, true, "update imdint set numekalto = '45'"},
          {vacia("Direccion Fiscal"), 0, true, QString::fromLatin1(kAddress).arg("FL") + "; update imdir set fax = null"},
          {columna("Fax", "Direccion Fiscal"), 0, false, "update imdir set fax = '5555'"},
          {vacia(QString()), 0, true, "insert into imrlegal values ('ANA', 'PEREZ', 'LOPEZ', '5552', null, 'a@b.mx')"},
          {columna("Cargo / Puesto", QString()), 0, false, "update imrlegal set caremp = 'DIRECTOR'"},
          {vacia("servicio"), 5, true, "insert into imserv (idserv) values (3)"},
          {columna("Servicio", "servicio"), 5, false,
           "update imserv set servicio = 'MAQUILA'; "
           "insert into impects (rfc, porcext, idmcts) values (' BBB010101BB1', 10, 'S')"},
          {columna("Razón Social", "empresa de servicios"), 5, false,
           "update impects set rsocial = 'SERVIDA'; insert into impects (rsocial, idmcts) values ('SUBMAQUILA', 'M')"},
          {columna("Rfc", "empresa de submanufactura"), 6, false,
           "update impects set rfc = ' CCC010101CC1' where idmcts = 'M'"},
          {DiskGeneration::kMsgAnexos, 7, true, "insert into imanexos values (1, 1, 'TELA', null, 0)"},
          {columna("Fraccion", "Producto de Exportación"), 7, false, "update imanexos set fraccion = '12345678'"}});
}

TEST_F(CompletenessTest, ANewControladoraProgrammeThenAnOutsourcingOne) {
    // With a service of code 13 or above the export product needs its description; then the
    // two rules of the save (without companies the request check tells their number); an
    // outsourcing programme asks for its companies instead.
    walk(QStringLiteral("update imdint set rfc = 'AAAA010101AA1', apepatraz = 'EMPRESA', idtra = 0, idmoda = 3; ") +
             QString::fromLatin1(kAddress).arg("FL") +
             "; insert into imrlegal values ('ANA', 'PEREZ', 'LOPEZ', '5552', 'DIRECTOR', 'a@b.mx')",
         {{vacia("domicilio de planta"), 1, true, QString::fromLatin1(kAddress).arg("PL") + "; update imdir set cp = null where iddir = 'PL'"},
          {columna("C.P.", "domicilio de planta"), 1, false, "update imdir set cp = '72000'"},
          {vacia("empresa controlada"), 2, true,
           "insert into impects (rsocial, rfc, montoexp, porcont, idmcts) values ('UNO', ' BBB010101BB1', 100, 50, 'C')"},
          {columna("Porc. Part. Res.", "empresa controlada"), 2, false, "update impects set porcext = 5"},
          {vacia(QString()), 3, true,
           "insert into improd (id_prod, fraccion, volumen, porcut, umid) values (1, '12345678', 100, 50, 1)"},
          {columna("Unidad Medida", QString()), 3, false, "update improd set um = 'PIEZA'"},
          {DiskGeneration::kMsgAnexos, 7, true,
           "insert into imserv values (13, 'CONTROL'); insert into imanexos values (1, 1, null, '12345678', 0)"},
          {columna("Descripción", "Producto de Exportación"), 7, false, "update imanexos set descrip = 'TELA'"},
          {RequestRules::kMsgMontoControladora, kPagControladas, false, "update impects set montoexp = 500000000"},
          {RequestRules::kMsgEmpresasControladora, kPagControladas, true,
           "insert into impects (rsocial, rfc, montoexp, porcont, porcext, idmcts) "
           "values ('DOS', ' DDD010101DD1', 0, 50, 5, 'C'); update imdint set idmoda = 2"},
          {vacia("empresa de terciarización"), kPagTerciarizacion, false,
           "insert into impects (rsocial, rfc, idmcts) values ('TERCERA', ' EEE010101EE1', 'T')"}});
}

TEST_F(DiscoTest, TheSevenTablesReachTheDiskPackedAndTheWindowIsBoundAgain) {
    complete();
    exec(QStringLiteral("insert into imanexos values (3, 3, 'TALADRO', null, 0)"));
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
    exec(QStringLiteral("update imdint set apepatraz = 'OTRA'"));
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

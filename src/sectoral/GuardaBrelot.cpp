#include "sectoral/GuardaBrelot.h"

#include "core/Drives.h"
#include "core/Messages.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/RecordSet.h"

namespace kalto {

namespace {

// A text box's value: the empty text stores nothing (null).
QVariant textOrNull(const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); }

// A grid cell's value: null, or an empty text, stores nothing.
QVariant cell(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return {};
    if (v.typeId() == QMetaType::QString && v.toString().isEmpty()) return {};
    return v;
}

// Empties `table` and writes `rows` into it by field position. Runs inside the caller's
// transaction, which undoes every part of it when a later step fails.
bool rewrite(Database& db, const QString& table, const QList<QVariantList>& rows, QString* error) {
    if (!db.table(table)) {
        *error = QStringLiteral("no existe la tabla %1").arg(table);
        return false;
    }
    if (!db.execute(QStringLiteral("delete from %1").arg(table), {}, error)) return false;
    RecordSet rs(&db, table);
    if (!rs.open(error)) return false;
    for (const QVariantList& row : rows)
        if (!rs.insertRow(row, nullptr, error)) return false;
    rs.close();
    return true;
}

// Closes the wait window once, whatever way the generation ends.
struct WaitGuard {
    WaitIndicator* wait;
    explicit WaitGuard(WaitIndicator* w) : wait(w) {
        if (wait) wait->show();
    }
    void close() {
        if (wait) wait->close();
        wait = nullptr;
    }
    ~WaitGuard() { close(); }
};

}  // namespace

const QStringList& brelotDiskFiles() {
    static const QStringList files{QStringLiteral("datoprov.dbf"), QStringLiteral("catdirpl.dbf"),
                                   QStringLiteral("Sector.dbf"),   QStringLiteral("mercbi.dbf"),
                                   QStringLiteral("activida.dbf"), QStringLiteral("prodabas.dbf")};
    return files;
}

QVariant postalCodeNumber(const QVariant& cp) {
    const QVariant v = cell(cp);
    if (v.isNull()) return {};
    const QString text = v.toString();
    int i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' ')) ++i;
    qint64 n = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        n = n * 10 + (text[i].unicode() - '0');
        if (n > 9'999'999'999LL) break;  // far past any field; the table refuses it whole
    }
    return n;
}

QVariantList datoprovRow(const ApplicantData& a) {
    const AddressValues& f = a.domicilioFiscal;
    const RepresentativeValues& r = a.representante;
    QVariant sector;
    if (!a.sectorCodigo.isNull() && a.sectorCodigo.isValid()) {
        bool ok = false;
        const qlonglong code = a.sectorCodigo.toLongLong(&ok);
        if (ok) sector = code;
    }
    QVariantList row(30);
    row[0] = textOrNull(a.rfc);
    row[3] = textOrNull(a.razonSocial);
    row[6] = cell(f.calleYNo);
    row[7] = postalCodeNumber(f.cp);
    row[8] = cell(f.ciudad);
    row[9] = cell(f.colonia);
    row[10] = cell(f.delMun);
    row[11] = cell(r.apePatRep);
    row[12] = cell(r.apeMatRep);
    row[13] = cell(r.nomRepLeg);
    row[14] = cell(r.telRepLeg);
    row[15] = 1;
    row[17] = cell(f.fax);
    row[19] = cell(f.email);
    row[21] = 1;
    row[22] = sector;
    row[23] = cell(r.mail);
    row[26] = cell(r.telRepLeg);
    row[27] = cell(r.carEmp);
    row[29] = cell(f.edo);
    return row;
}

QList<QVariantList> catdirplRows(const ApplicantData& a) {
    QList<QVariantList> rows;
    for (const AddressValues& p : a.plantas)
        rows.append({cell(p.calleYNo), cell(p.cp), cell(p.colonia), cell(p.edo), cell(p.delMun), cell(p.ciudad),
                     cell(p.telefono), cell(p.fax)});
    return rows;
}

BrelotOutcome GuardaBrelot(Database& db, Messages& messages, const Drives& drives, const ApplicantData& applicant,
                           WaitIndicator* wait) {
    if (!messages.askYesNo(QStringLiteral("Se generará la información del prgrama BRELOT. Esta usted de acuerdo."), true))
        return BrelotOutcome::Declined;

    WaitGuard guard(wait);
    QString error;
    auto tablesFailed = [&](const QString& what) {
        guard.close();
        messages.exclamation(QStringLiteral("No se generó la información del programa BRELOT: %1.\n\n%2\n\n"
                                            "No se copió nada a la unidad A:.")
                                 .arg(what, error));
        return BrelotOutcome::TablesFailed;
    };
    // Both tables are rewritten in one transaction: a failure part way (a value the table
    // cannot hold, a file that cannot be written) puts back the rows they held before, so
    // that datoprov and catdirpl are never left emptied or half filled.
    if (!db.execute(QStringLiteral("begin"), {}, &error))
        return tablesFailed(QStringLiteral("no se pudieron preparar las tablas datoprov y catdirpl"));
    auto undo = [&](const QString& what) {
        QString rollbackError;
        if (!db.execute(QStringLiteral("rollback"), {}, &rollbackError))
            error += QStringLiteral("\n\nTampoco se pudieron restablecer los renglones anteriores: ") + rollbackError;
        return tablesFailed(what);
    };
    if (!rewrite(db, QStringLiteral("datoprov"), {datoprovRow(applicant)}, &error))
        return undo(QStringLiteral("no se pudo escribir la tabla datoprov"));
    if (!rewrite(db, QStringLiteral("catdirpl"), catdirplRows(applicant), &error))
        return undo(QStringLiteral("no se pudo escribir la tabla catdirpl"));
    if (!db.execute(QStringLiteral("commit"), {}, &error))
        return undo(QStringLiteral("no se pudieron guardar las tablas datoprov y catdirpl"));

    // The disk receives the tables without their deleted records.
    QList<std::pair<QString, QString>> files;
    for (const QString& name : brelotDiskFiles()) {
        const QString table = name.left(name.size() - 4);
        if (!db.table(table)) {
            error = QStringLiteral("No existe la tabla %1 en la carpeta de datos.").arg(name);
            return tablesFailed(QStringLiteral("falta una tabla"));
        }
        // Windows open on the table store their rows first and read the packed file after.
        if (!DataSource::packTable(&db, table, &error))
            return tablesFailed(QStringLiteral("no se pudo preparar la tabla %1").arg(name));
        files.append({db.tablePath(table), name});
    }

    const QList<Drives::Failure> failures = drives.copyFiles(files, QLatin1Char('A'));
    guard.close();
    if (!failures.isEmpty()) {
        messages.exclamation(drives.failureMessage(failures, QLatin1Char('A')));
        return BrelotOutcome::CopyFailed;
    }
    messages.plain(QStringLiteral("Puede retirar el disco de la unidad A:"), QStringLiteral("Disco grabado."));
    return BrelotOutcome::Written;
}

}  // namespace kalto

#include "app/MainDataSources.h"

#include "data/Database.h"

namespace kalto {

namespace {

struct Designed {
    const char* name;
    const char* source;  // as designed; the binding replaces some of them
    bool tagged;         // tag "C": holds a request table and is closed before a disk copy
};

// Walk order of the window's controls.
constexpr Designed kDesigned[] = {
    {"dtsDatosInt", "imdint", true},
    {"dtsSector", "imsector", false},
    {"dtsAnxAux", "select * from imanexos where tipo_reg=2", false},
    {"dtsAncAux2", "select * from imanexos where tipo_reg=2", false},
    {"dtsAnxH", "select * from imanexos where tipo_reg=3", true},
    {"dtsAnxC", "select * from imanexos where tipo_reg=2", true},
    {"dtsAnxR", "Select * from imanexos where tipo_reg=4", true},
    {"dtsAnxMPI", "Select * from imanexos where tipo_reg=2", true},
    {"dtsAnxMPE", "Select * from imanexos where tipo_reg = 1 and id_subord=0", true},
    {"dtsSubmanufactura", "Select * from impects Where idmcts = 'M'", true},
    {"dtsEServicios", "Select * from impects Where idmcts = 'S'", false},
    {"dtsTerciarizacion", "Select * from impects Where idmcts = 'T'", true},
    {"dtsUM", "imunidmd", false},
    {"dtsServicio", "imcserv", false},
    {"dtsCServ", "imcserv", false},
    {"dtsProducto", "improd", true},
    {"dtsAux", "anexos", false},
    {"dtsAux2", "", false},
    {"dtsControl", "Select * from impects Where idmcts = 'C'", true},
    {"dtsRepLegal", "imrlegal", true},
    {"dtsPlanta", "Select * from imdir where iddir = 'PL'", true},
    {"dtsDireccion", "Select * from imdir where iddir = 'FL'", true},
};

}  // namespace

MainDataSources::MainDataSources(Database* db, QObject* parent) : QObject(parent) {
    for (const auto& d : kDesigned) {
        auto* s = new DataSource(QString::fromLatin1(d.name), db, QString::fromLatin1(d.source), this);
        if (d.tagged) s->setTag(QStringLiteral("C"));
        sources_.append(s);
    }
}

QString MainDataSources::anxMPESource() {
    return QStringLiteral("select * from imanexos where tipo_reg=1 and id_subord=0");
}

void MainDataSources::bind(Database* db) {
    if (db)
        for (auto* s : sources_) s->setDatabase(db);
    dtsProducto()->setRecordSource(QStringLiteral("improd"));
    dtsDatosInt()->setRecordSource(QStringLiteral("imdint"));
    dtsAux()->setRecordSource(QStringLiteral("imanexos"));
    dtsSector()->setRecordSource(QStringLiteral("imsector"));
    dtsServicio()->setRecordSource(QStringLiteral("imserv"));
    dtsRepLegal()->setRecordSource(QStringLiteral("imrlegal"));
    dtsCServ()->setRecordSource(QStringLiteral("imcserv"));
}

bool MainDataSources::refreshList(bool taggedOnly, QString* error) {
    bool ok = true;
    QStringList failures;
    for (auto* s : sources_) {
        if (taggedOnly && s->tag() != QLatin1String("C")) continue;
        if (s->recordSource().trimmed().isEmpty()) continue;
        QString err;
        if (!s->refresh(&err)) {
            ok = false;
            failures << QStringLiteral("%1: %2").arg(s->name(), err);
        }
    }
    if (error) *error = failures.join(QLatin1Char('\n'));
    return ok;
}

bool MainDataSources::refreshAll(QString* error) { return refreshList(false, error); }

bool MainDataSources::refreshTagged(QString* error) { return refreshList(true, error); }

void MainDataSources::closeAll() {
    for (auto* s : sources_) s->close();
}

}  // namespace kalto

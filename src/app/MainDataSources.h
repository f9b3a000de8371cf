#pragma once
// The 22 data sources of the main window, in the order in which the window walks its
// controls (refresh, close): that order matters, because a refresh of one source may
// depend on rows another source has just written.

#include "data/DataSource.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace kalto {

class Database;

class MainDataSources : public QObject {
    Q_OBJECT
public:
    // Creates every source with its designed record source; none is opened yet.
    explicit MainDataSources(Database* db, QObject* parent = nullptr);

    QList<DataSource*> all() const { return sources_; }

    // Binding: points every source at `db` (or the current one when null) and gives the
    // sources whose table the binding fixes their table (improd, imdint, imanexos,
    // imsector, imserv, imrlegal, imcserv). Does not refresh.
    void bind(Database* db = nullptr);

    // Reopens every source in walk order. A source without a record source is skipped.
    // Every source is tried; false when one failed, with the messages in *error (one a line).
    bool refreshAll(QString* error = nullptr);
    // The same for the sources tagged "C" only (those holding the request tables).
    bool refreshTagged(QString* error = nullptr);
    void closeAll();

    // Named sources.
    DataSource* dtsDatosInt() const { return at(0); }
    DataSource* dtsSector() const { return at(1); }
    DataSource* dtsAnxAux() const { return at(2); }
    DataSource* dtsAncAux2() const { return at(3); }
    DataSource* dtsAnxH() const { return at(4); }
    DataSource* dtsAnxC() const { return at(5); }
    DataSource* dtsAnxR() const { return at(6); }
    DataSource* dtsAnxMPI() const { return at(7); }
    DataSource* dtsAnxMPE() const { return at(8); }
    DataSource* dtsSubmanufactura() const { return at(9); }
    DataSource* dtsEServicios() const { return at(10); }
    DataSource* dtsTerciarizacion() const { return at(11); }
    DataSource* dtsUM() const { return at(12); }
    DataSource* dtsServicio() const { return at(13); }
    DataSource* dtsCServ() const { return at(14); }
    DataSource* dtsProducto() const { return at(15); }
    DataSource* dtsAux() const { return at(16); }
    DataSource* dtsAux2() const { return at(17); }
    DataSource* dtsControl() const { return at(18); }
    DataSource* dtsRepLegal() const { return at(19); }
    DataSource* dtsPlanta() const { return at(20); }
    DataSource* dtsDireccion() const { return at(21); }

    // The export products of the annexes (the source dtsAnxMPE is pointed at again on
    // every modality and tab change).
    static QString anxMPESource();

private:
    DataSource* at(int i) const { return sources_.value(i); }
    bool refreshList(bool taggedOnly, QString* error);

    QList<DataSource*> sources_;
};

}  // namespace kalto

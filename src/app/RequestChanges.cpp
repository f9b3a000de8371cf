#include "app/RequestChanges.h"

#include "app/DiskGeneration.h"
#include "app/MainDataSources.h"
#include "app/RequestRestore.h"
#include "app/RequestVerifier.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <tuple>
#include <memory>

namespace kalto {

const QString RequestChanges::kCopias = QStringLiteral("disco");
const QString RequestChanges::kMsgSinDisco = QStringLiteral(
    "No hay un disco anterior con qué comparar: los cambios se registran a partir del primer disco que "
    "se grabe desde esta carpeta de datos.");
const QString RequestChanges::kMsgSinCambios = QStringLiteral("No hay cambios desde el último disco.");
const QString RequestChanges::kMsgCopiaNoGuardada = QStringLiteral(
    "El disco se grabó, pero no se pudo guardar la copia con la que se muestran los cambios desde el último "
    "disco: %1");

namespace {

// What identifies a row of a request table, and what names it for the user.
struct RowIdentity {
    const char* table;
    QStringList keys;
    QStringList label;
};

const RowIdentity* identityOf(const QString& table) {
    static const QList<RowIdentity> all = {
        {"imdir", {QStringLiteral("IDDIR")}, {QStringLiteral("CALLEYNO")}},
        {"imrlegal", {}, {QStringLiteral("NOMREPLEG"), QStringLiteral("APEPATREP")}},
        {"impects", {QStringLiteral("IDMCTS"), QStringLiteral("RFC")}, {QStringLiteral("RSOCIAL"), QStringLiteral("RFC")}},
        {"improd", {QStringLiteral("ID_PROD")}, {QStringLiteral("ID_PROD"), QStringLiteral("FRACCION")}},
        {"imserv", {QStringLiteral("IDSERV")}, {QStringLiteral("SERVICIO")}},
        {"imanexos", {QStringLiteral("ID_PROD")},
         {QStringLiteral("ID_PROD"), QStringLiteral("FRACCION"), QStringLiteral("DESCRIP")}},
        {"imdint", {}, {}},
    };
    for (const RowIdentity& i : all)
        if (table.compare(QLatin1String(i.table), Qt::CaseInsensitive) == 0) return &i;
    return nullptr;
}

// A value as the comparison sees it: the same value always the same text, whatever the field's
// width; a null apart from every text.
QString canonical(const QVariant& v) {
    if (v.isNull()) return QStringLiteral("\x01");
    switch (v.typeId()) {
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::LongLong:
    case QMetaType::Int: return QString::number(v.toLongLong());
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    case QMetaType::QDate: return v.toDate().toString(Qt::ISODate);
    default: return v.toString();
    }
}

// One side of the comparison: a table file read as the catalogue defines the table (a field the
// file lacks reads as null).
class Side {
public:
    Side(const DbfTable* table, const TableDef& def) : table_(table) {
        for (const DbfField& f : def.fields) {
            names_ << f.name;
            index_ << (table ? table->fieldIndex(f.name) : -1);
        }
    }
    int records() const { return table_ ? table_->recordCount() : 0; }
    bool live(int r) const { return table_ && !table_->isDeleted(r); }
    QVariant value(int r, int field) const { return index_[field] < 0 ? QVariant() : table_->value(r, index_[field]); }
    QVariant value(int r, const QString& name) const {
        const qsizetype i = names_.indexOf(name);
        return i < 0 ? QVariant() : value(r, int(i));
    }
    QStringList row(int r) const {
        QStringList out;
        for (int f = 0; f < names_.size(); ++f) out << canonical(value(r, f));
        return out;
    }
    QString join(int r, const QStringList& fields, bool shown) const {
        QStringList parts;
        for (const QString& f : fields) {
            const QVariant v = value(r, f);
            if (!shown) parts << canonical(v);
            else if (!v.isNull()) parts << changeValueText(v).trimmed();
        }
        return parts.join(shown ? QStringLiteral(" ") : QStringLiteral("\x1f"));
    }
    const QStringList& names() const { return names_; }

private:
    const DbfTable* table_;
    QStringList names_;
    QList<int> index_;
};

// The grid showing a row of `table` (-1: the header), by the values that tell one grid from another.
int gridOf(const QString& table, const Side& side, int r) {
    auto text = [&](const char* f) { return side.value(r, QString::fromLatin1(f)).toString().trimmed().toUpper(); };
    auto number = [&](const char* f) { return side.value(r, QString::fromLatin1(f)).toLongLong(); };
    const QString t = table.toLower();
    RequestGrid g = RequestGrid::DomFiscal;
    if (t == QLatin1String("imdint")) return -1;
    if (t == QLatin1String("imdir")) g = text("IDDIR") == QLatin1String("PL") ? RequestGrid::Planta : RequestGrid::DomFiscal;
    else if (t == QLatin1String("imrlegal")) g = RequestGrid::RepLegal;
    else if (t == QLatin1String("improd")) g = RequestGrid::Producto;
    else if (t == QLatin1String("imserv")) g = RequestGrid::Servicios;
    else if (t == QLatin1String("impects")) {
        const QString kind = text("IDMCTS");
        g = kind == QLatin1String("T")   ? RequestGrid::Terciarizacion
            : kind == QLatin1String("S") ? RequestGrid::EServicios
            : kind == QLatin1String("M") ? RequestGrid::Submanufactura
                                         : RequestGrid::Control;
    } else if (t == QLatin1String("imanexos")) {
        const qint64 kind = number("TIPO_REG");
        g = kind == 2   ? RequestGrid::Anx1
            : kind == 3 ? RequestGrid::Anx2
            : kind == 4 ? RequestGrid::Anx3
            : number("ID_SUBORD") != 0 ? RequestGrid::Anx0
                                       : RequestGrid::AnxMPE;
    }
    return static_cast<int>(g);
}

// A copy kept of a disk: disco-<stamp>, disco-<stamp>-2... when several were kept in one second.
struct KeptDisk {
    QString stamp;
    int number = 1;
    QString path;
    bool operator<(const KeptDisk& o) const { return stamp != o.stamp ? stamp < o.stamp : number < o.number; }
};

// The copies kept of the disks, oldest first.
QList<KeptDisk> keptDisks(const QString& dataFolder) {
    const QDir base(QDir(dataFolder).filePath(RequestRestore::kBackups));
    const QRegularExpression name(QStringLiteral("^%1-(\\d{8}-\\d{6})(?:-(\\d+))?$").arg(RequestChanges::kCopias));
    QList<KeptDisk> found;
    for (const QString& d : base.entryList({RequestChanges::kCopias + QStringLiteral("-*")}, QDir::Dirs)) {
        const QRegularExpressionMatch m = name.match(d);
        if (m.hasMatch()) found.append({m.captured(1), qMax(1, m.captured(2).toInt()), base.filePath(d)});
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

// ----- the copy kept -----

bool RequestChanges::keepDiskCopy(const Database& db, QString* error) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    int n = 1;  // after every copy of this second, so that the newest always sorts last
    for (const KeptDisk& k : keptDisks(db.folder())) n = k.stamp == stamp ? qMax(n, k.number + 1) : n;
    QString name = kCopias + QLatin1Char('-') + stamp;
    if (n > 1) name += QStringLiteral("-%1").arg(n);
    if (!keepRequestTables(db, name, error)) return false;
    const QList<KeptDisk> kept = keptDisks(db.folder());
    for (qsizetype i = 0; i + kKeptDisks < kept.size(); ++i) QDir(kept[i].path).removeRecursively();
    return true;
}

QString RequestChanges::lastDiskCopy(const QString& dataFolder) {
    const QList<KeptDisk> kept = keptDisks(dataFolder);
    return kept.isEmpty() ? QString() : kept.last().path;
}

QDateTime RequestChanges::diskCopyTime(const QString& copyFolder) {
    const QString name = QFileInfo(copyFolder).fileName();
    return QDateTime::fromString(name.mid(kCopias.size() + 1, 15), QStringLiteral("yyyyMMdd-HHmmss"));
}

// ----- the comparison -----

bool RequestChanges::compare(const Database& db, const QString& keptFolder, QList<RequestChange>* changes,
                             QString* error) {
    QList<RequestChange> out;
    const QDir folder(keptFolder);
    for (const QString& table : requestTables()) {
        const TableDef* def = findTableDef(table);
        const RowIdentity* id = identityOf(table);
        if (!def || !id) continue;
        QStringList files = folder.entryList({table + QStringLiteral(".dbf")}, QDir::Files);  // any letter case
        std::unique_ptr<DbfTable> keptTable;
        if (!files.isEmpty()) {
            QString why;
            keptTable = DbfTable::open(folder.filePath(files.first()), &why, DbfAccess::ReadOnly);
            if (!keptTable) {
                *error = why;
                return false;
            }
        }
        const Side kept(keptTable.get(), *def);
        const Side now(db.table(table), *def);
        auto change = [&](const Side& side, int r, RequestChange::Kind kind) {
            RequestChange c;
            c.grid = gridOf(table, side, r);
            c.page = c.grid < 0 ? -1 : SourceRequestView::pageOf(static_cast<RequestGrid>(c.grid));
            c.table = table;
            c.key = side.join(r, id->label, true);
            c.kind = kind;
            c.record = r;
            return c;
        };

        // The kept rows by their values; a current row takes the first kept one of equal values.
        QMultiHash<size_t, int> byValues;
        for (int r = 0; r < kept.records(); ++r)
            if (kept.live(r)) byValues.insert(qHash(kept.row(r)), r);
        QList<bool> paired(kept.records(), false);
        QList<int> left;  // current rows no kept row equals
        for (int r = 0; r < now.records(); ++r) {
            if (!now.live(r)) continue;
            const QStringList row = now.row(r);
            bool found = false;
            for (auto [it, end] = byValues.equal_range(qHash(row)); it != end && !found; ++it) {
                if (paired[*it] || kept.row(*it) != row) continue;
                paired[*it] = found = true;
            }
            if (!found) left << r;
        }
        // What is left, paired by identity: a row changed; the rest added or removed. Among the
        // rows of one identity (the plants, say) a row is paired with the one most alike, so that
        // one plant changed and another removed are told as such.
        QHash<QString, QList<int>> keptLeft;
        for (int r = 0; r < kept.records(); ++r)
            if (kept.live(r) && !paired[r]) keptLeft[kept.join(r, id->keys, false)] << r;
        for (int r : std::as_const(left)) {
            QList<int>& same = keptLeft[now.join(r, id->keys, false)];
            if (same.isEmpty()) {
                out << change(now, r, RequestChange::Kind::Added);
                continue;
            }
            const QStringList row = now.row(r);
            qsizetype best = 0;
            for (qsizetype i = 0, most = -1; i < same.size() && i < 256 && same.size() > 1; ++i) {
                const QStringList other = kept.row(same[i]);
                qsizetype equal = 0;
                for (qsizetype f = 0; f < row.size(); ++f) equal += row[f] == other[f];
                if (equal > most) std::tie(best, most) = std::make_pair(i, equal);
            }
            const int k = same.takeAt(best);
            paired[k] = true;
            for (int f = 0; f < def->fields.size(); ++f) {
                const QVariant before = kept.value(k, f), after = now.value(r, f);
                if (canonical(before) == canonical(after)) continue;
                RequestChange c = change(now, r, RequestChange::Kind::Changed);
                c.column = def->fields[f].name;
                c.before = before;
                c.after = after;
                out << c;
            }
        }
        for (int r = 0; r < kept.records(); ++r)
            if (kept.live(r) && !paired[r]) out << change(kept, r, RequestChange::Kind::Removed);
    }
    std::stable_sort(out.begin(), out.end(), [](const RequestChange& a, const RequestChange& b) { return a.page < b.page; });
    *changes = std::move(out);
    return true;
}

// ----- as findings of the main window -----

QList<RequestFinding> RequestChanges::findings(const QList<RequestChange>& changes, MainDataSources& sources,
                                               Database& db) {
    QList<RequestFinding> out;
    for (const RequestChange& c : changes) {
        RequestFinding f;
        f.page = c.page;
        QString caption = c.column;
        if (c.grid < 0) {
            // The header: a text field, or the procedure, modality, sector or desahogo box.
            static const QList<std::array<const char*, 3>> choices = {{"IDTRA", "cmbTramite", "Trámite"},
                                                                      {"IDMODA", "cmbModalidad", "Modalidad"},
                                                                      {"IDSECTORM", "cmbSector", "Sector"},
                                                                      {"DPREV", "chkDesahogo", "Desahogo de prevención"}};
            f.object = headerObjectName(HeaderField::Rfc);
            for (const auto& [column, object, name] : choices)
                if (c.column == QLatin1String(column)) {
                    f.object = QLatin1String(object);
                    caption = QString::fromUtf8(name);
                }
            for (HeaderField h : kHeaderFields)
                if (headerColumn(h).compare(c.column, Qt::CaseInsensitive) == 0) {
                    f.object = headerObjectName(h);
                    caption = SourceRequestView::designedHeaderTooltip(h);
                }
            f.message = changeText(c, caption);
            out << f;
            continue;
        }
        const auto grid = static_cast<RequestGrid>(c.grid);
        f.object = gridObjectName(grid);
        const QList<GridColumn> columns = requestGridColumns(grid);
        for (int i = 0; i < columns.size() && !c.column.isEmpty(); ++i)
            if (columns[i].field.compare(c.column, Qt::CaseInsensitive) == 0) {
                caption = columns[i].caption.isEmpty() ? caption : columns[i].caption;
                f.column = columns[i].visible ? i : -1;
            }
        const DbfTable* table = db.table(c.table);
        const bool current = c.kind != RequestChange::Kind::Removed;  // a removed row is in no grid
        if (current && table && grid == RequestGrid::Anx0) {
            // An input: its row under its export product, as the inputs grid shows them.
            const QVariant parent = table->value(c.record, table->fieldIndex(QStringLiteral("ID_SUBORD")));
            const RecordSet& mpe = sources.dtsAnxMPE()->recordSet();
            for (int r = 0; r < mpe.count(); ++r)
                if (mpe.valueAt(r, mpe.columnIndex(QStringLiteral("ID_PROD"))).toLongLong() == parent.toLongLong())
                    f.parentRow = r;
            int row = 0;
            db.query(QStringLiteral("select rowid from imanexos where tipo_reg=1 and id_subord=?"), {parent},
                     [&](const QVariantList& v) {
                         if (v.value(0).toLongLong() == c.record + 1) f.row = row;
                         ++row;
                         return f.row < 0;
                     });
        } else if (current) {
            const RecordSet& rs = requestGridSource(sources, grid)->recordSet();
            for (int r = 0; r < rs.count() && f.row < 0; ++r)
                if (rs.recordNumber(r) == c.record + 1) f.row = r;
        }
        f.message = changeText(c, caption);
        out << f;
    }
    return out;
}

// ----- the texts -----

QString changeValueText(const QVariant& value) {
    if (value.isNull() || value.toString().trimmed().isEmpty()) return QStringLiteral("(vacío)");
    switch (value.typeId()) {
    case QMetaType::Double: return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("Sí") : QStringLiteral("No");
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    default: return value.toString();
    }
}

QString changeText(const RequestChange& change, const QString& caption) {
    const QString row = change.key.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(change.key);
    switch (change.kind) {
    case RequestChange::Kind::Added: return QStringLiteral("Renglón agregado%1.").arg(row);
    case RequestChange::Kind::Removed: return QStringLiteral("Renglón eliminado%1.").arg(row);
    case RequestChange::Kind::Changed: break;
    }
    return QStringLiteral("%1: antes «%2», ahora «%3»%4.")
        .arg(caption.isEmpty() ? change.column : caption, changeValueText(change.before),
             changeValueText(change.after), row);
}

}  // namespace kalto

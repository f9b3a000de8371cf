// A long random sequence of what users do on the products, services and annex pages, driven
// through the rules as the grids drive them (keys typed, cells accepted, rows stored and
// deleted), identifiers typed over included. After every hundred operations the links must
// hold: every input hangs from an export product that exists, every product's ID_PROD names
// an export-product row of its own, and no identifier is used twice.

#include "annexes/AnnexFixture.h"

#include <random>

using namespace kalto;
using namespace kalto::test;

namespace {

class AnnexSequence : public AnnexFixture {
protected:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool chance(int percent) { return pick(100) < percent; }
    int highest() { return count(QStringLiteral("select max(id_prod) from imanexos")); }

    // What is wrong with the links; empty when nothing is.
    QString linkFault() {
        const QString top = QStringLiteral("(select id_prod from imanexos where tipo_reg = 1 and id_subord = 0)");
        return rows(
            QStringLiteral(
                "select 'input without its export product', id_prod from imanexos where tipo_reg = 1 "
                "and coalesce(id_subord, -1) <> 0 and id_subord not in %1 union all "
                "select 'product naming no export product', id_prod from improd where id_prod not in %1 "
                "union all select 'annex identifier used twice', id_prod from imanexos group by "
                "id_prod having count(*) > 1 or id_prod is null union all select 'products sharing "
                "an identifier', id_prod from improd where id_prod is not null group by id_prod having count(*) > 1")
                .arg(top));
    }
    // A stored row of `g` that `where` selects, as the grid shows it; false when none.
    bool anyRow(const Grid& g, const QString& where, GridRow& row) {
        const QStringList all =
            rows(QStringLiteral("select rowid from %1 where %2").arg(g.table, where)).split(';', Qt::SkipEmptyParts);
        return !all.isEmpty() && (row = storedRow(g, all[pick(all.size())].toInt()), true);
    }
    // Types `text` key by key (the rule may discard keys) and accepts the cell.
    void typeInto(GridRule& rule, GridRow& row, int column, const QString& text) {
        const QString admitted = keys(rule, row, column, text);
        if (admitted.isEmpty()) return;
        row.setValue(column, admitted);
        rule.cellAccepted(row, column);
    }
    // Mostly good tariff items of chapters the procedure rules let through, now and then a
    // short one, one with a letter, or one the rules refuse.
    QString item() {
        const int n = pick(12);
        return n < 4 ? QStringList{"1234567", "6109A001", "17011101", "72081001"}[n]
                     : QString::number(61000000 + pick(2999999));
    }
    // An identifier a user might type: one in use, one just past them, or a stray one.
    QString typedId() { return QString::number(chance(70) ? 1 + pick(highest() + 2) : pick(40000)); }
    // The export product the page has selected: mostly one that exists; now and then an
    // identifier it still shows after the product went, or none; or the last one kept.
    void select() {
        GridRow row;
        if (chance(90) && anyRow(kMPE, QStringLiteral("tipo_reg = 1 and id_subord = 0"), row))
            seleccion = {row.value(0), row.text(3)};
        else if (chance(70))
            seleccion.id = chance(50) ? QVariant() : QVariant(1 + pick(highest() + 2));
    }

    void step() {
        estado.tramite = pick(3) - 1;
        messages.defaultAnswer = chance(50);
        const QString top = QStringLiteral("tipo_reg = 1 and id_subord = 0");
        GridRow row;
        switch (pick(12)) {
        case 0:  // a product, new or changed, or deleted
            if (chance(25) && anyRow(kProductos, QStringLiteral("1"), row)) {
                remove(producto, row, kProductos);
                break;
            }
            if (chance(60) || !anyRow(kProductos, QStringLiteral("1"), row)) row = newRow(producto, 6);
            if (chance(90)) typeInto(producto, row, ProductRule::Fraccion, item());
            unidades.current = pick(unidades.entries.size());
            unidades.shown = true;
            typeInto(producto, row, ProductRule::Um, QStringLiteral("x"));
            if (chance(30)) typeInto(producto, row, ProductRule::IdProd, typedId());
            store(producto, row, kProductos);
            break;
        case 1:  // an export product typed in the annexes
            row = newRow(mpe, 5);
            if (chance(40)) typeInto(mpe, row, ExportProductAnnexRule::IdProd, typedId());
            typeInto(mpe, row, ExportProductAnnexRule::Fraccion, item());
            if (!row.value(0).isNull() || !row.value(3).isNull()) store(mpe, row, kMPE);
            break;
        case 2:  // an export product, its identifier perhaps typed over, stored or deleted
            if (!anyRow(kMPE, top, row)) break;
            if (chance(50)) typeInto(mpe, row, ExportProductAnnexRule::IdProd, typedId());
            chance(40) ? store(mpe, row, kMPE) : remove(mpe, row, kMPE);
            break;
        case 3:
        case 4:
        case 5:  // a new input under the selected export product
            select();
            if (!anx[0].gridEntered()) break;
            row = newRow(anx[0], 4);
            if (chance(30)) typeInto(anx[0], row, 0, typedId());
            if (chance(95)) typeInto(anx[0], row, 2, item());
            if (chance(10)) typeInto(anx[0], row, 3, typedId());
            store(anx[0], row, kInsumos);
            break;
        case 6:
        case 7:  // an input changed or deleted, under its own export product
            if (!anyRow(kInsumos, QStringLiteral("tipo_reg = 1 and id_subord <> 0"), row)) break;
            seleccion.id = row.value(3);
            if (chance(50)) typeInto(anx[0], row, chance(50) ? 0 : 2, chance(50) ? typedId() : item());
            chance(30) ? remove(anx[0], row, kInsumos) : store(anx[0], row, kInsumos);
            break;
        case 8: {  // containers, tools and rework
            const int index = 1 + pick(3);
            AnnexRule& r = anx[index];
            const Grid& g = index == 3 ? kInsumos : kContenedores;
            if (!anyRow(g, QStringLiteral("tipo_reg = %1").arg(r.kind()), row) || chance(30)) {
                row = newRow(r, g.fields.size());
            } else if (chance(50)) {
                remove(r, row, g);
                break;
            }
            if (chance(30)) typeInto(r, row, 0, typedId());
            typeInto(r, row, 2, item());
            if (index != 3) typeInto(r, row, 3, QStringLiteral("HERRAMIENTA %1").arg(pick(1000)));
            if (chance(10)) typeInto(r, row, r.parentColumn(), typedId());
            store(r, row, g);
            break;
        }
        case 9:  // the service chosen from the list, or deleted
            if (anyRow(kImserv, QStringLiteral("1"), row)) {
                remove(servicio, row, kImserv);
                break;
            }
            lista.current = pick(lista.entries.size());
            if (const auto eleccion = servicio.choose()) {
                row = newRow(servicio, 2);
                row.setValue(ServiceRule::Servicio, eleccion->text);
                row.setValue(ServiceRule::IdServ, eleccion->position);
                store(servicio, row, kImserv);
            }
            break;
        default:  // an input of the selected export product deleted
            select();
            if (seleccion.id.toInt() > 0 &&
                anyRow(kInsumos, QStringLiteral("tipo_reg = 1 and id_subord = %1").arg(seleccion.id.toInt()), row))
                remove(anx[0], row, kInsumos);
            break;
        }
    }

    std::mt19937 rng{20261208};
};

}  // namespace

TEST_F(AnnexSequence, RandomOperationsKeepTheLinks) {
    for (int op = 1; op <= 800; ++op) {
        step();
        if (op % 100 == 0) {
            ASSERT_EQ(linkFault(), QString()) << "after operation " << op;
        }
    }
    // The sequence built something to check.
    EXPECT_GT(count(QStringLiteral("select count(*) from imanexos where tipo_reg = 1 and id_subord <> 0")), 0);
    EXPECT_GT(count(QStringLiteral("select count(*) from improd where id_prod is not null")), 0);
}

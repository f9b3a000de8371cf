// What each grid does with a typed value and with the keys, from the table of cases in
// data/celdas.txt (its head says how to read it).

#include "annexes/AnnexFixture.h"

#include <QFile>

using namespace kalto;
using namespace kalto::test;

namespace {

QVariant typedValue(QString s) {
    if (s == QLatin1String("~")) return {};
    if (s.startsWith(QLatin1Char('#'))) return s.mid(1).toDouble();
    if (s.size() > 2 && s.at(1) == QLatin1Char('*')) return QString(s.mid(2).toInt(), s.at(0));
    return s.replace(QStringLiteral("\\b"), QStringLiteral("\b"));
}

}  // namespace

TEST_F(AnnexFixture, CellsAndKeysAsTheTableSays) {
    QFile file(QStringLiteral(KALTO_SOURCE_DIR "/tests/annexes/data/celdas.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QHash<QString, GridRule*> grids{
        {"productos", &producto},  {"servicios", &servicio},  {"mpe", &mpe},         {"insumos", &anx[0]},
        {"contenedores", &anx[1]}, {"herramientas", &anx[2]}, {"retrabajo", &anx[3]}};
    unidades.current = lista.current = 0;
    int number = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        ++number;
        const QStringList c = QString::fromUtf8(line).split(QLatin1Char('|'));
        if (c.size() < 4 || c[0].startsWith(QLatin1Char('#'))) continue;
        SCOPED_TRACE("celdas.txt:" + std::to_string(number));
        GridRule* rule = grids.value(c[1]);
        ASSERT_TRUE(rule);
        if (c[0] == QLatin1String("sigue")) {
            FakePickList& list = rule == &producto ? unidades : lista;
            QString typed = c[2];
            if (typed.startsWith(QLatin1Char('+'))) {
                typed.remove(0, 1);
                list.shown = true;
            }
            GridRow row = newRow(*rule, 6);
            rule->textChanged(row, rule == &producto ? int(ProductRule::Um) : int(ServiceRule::Servicio), typed);
            EXPECT_EQ(list.currentText(), c[3]);
            continue;
        }
        estado.tramite = c[2] == QLatin1String("nuevo")        ? kProgramaNuevo
                         : c[2] == QLatin1String("ampliacion") ? kAmpliacion
                                                               : -1;
        exec(QStringLiteral("delete from imserv"));
        if (c[2] == QLatin1String("servicios")) exec(QStringLiteral("insert into imserv values (13, 'SERVICIO')"));
        if (c[0] == QLatin1String("teclas")) {
            EXPECT_EQ(keys(*rule, GridRow(), c[3].toInt(), typedValue(c[4]).toString()), typedValue(c[5]).toString());
            continue;
        }
        ASSERT_EQ(c.size(), 9);
        seleccion = {1, c[3]};
        GridRow row(QVariantList(6, QStringLiteral("P")), true);
        const int column = c[4].toInt();
        const QVariant typed = typedValue(c[5]);
        EXPECT_EQ(accept(*rule, row, column, typed), c[6].isEmpty() ? QStringList() : QStringList{c[6]});
        const QVariant left = c[7] == QLatin1String("=") ? typed : typedValue(c[7]);
        EXPECT_EQ(row.value(column).toString(), left.toString());
        EXPECT_EQ(row.value(column).isNull(), left.isNull());
        for (int other = 0; other < 6; ++other)
            EXPECT_EQ(other != column && row.value(other).isNull(), c[8].split(',').contains(QString::number(other)))
                << other;
    }
}

// The header's rules that need no tables: list lookup, tab pages, the RFC key filter, the required-value check.

#include "support/RecordingMessages.h"
#include "app/RequestRules.h"
#include "core/VerificaConValor.h"

#include <gtest/gtest.h>

#include <set>

using namespace kalto;

TEST(Busca, PositionAndItemModes) {
    // Position: null counts as 0 (the first); no match leaves the last; an empty list selects nothing.
    const std::pair<QVariant, int> posiciones[] = {{QVariant(), 0}, {3, 3}, {QStringLiteral(" 2 "), 2},
                                                   {4.0, 4},        {7, 4}, {QStringLiteral("abc"), 0}};
    for (const auto& [valor, indice] : posiciones) EXPECT_EQ(Busca(5, valor), indice) << valor.toString().toStdString();
    EXPECT_EQ(Busca(0, 2), -1);
    // Item: codes compared as trimmed upper-case text (numbers as read from a numeric column); unmatched: the last.
    const QList<ListEntry> lista{{"a", qint64(10)}, {"b", qint64(20)}, {"c", QStringLiteral("kg ")}};
    const std::pair<QVariant, int> items[] = {
        {20, 1}, {10.0, 0}, {QStringLiteral(" 10 "), 0}, {QStringLiteral("KG"), 2}, {99, 2}, {QVariant(), 2}};
    for (const auto& [valor, indice] : items)
        EXPECT_EQ(Busca(lista, valor, BuscaModo::Item), indice) << valor.toString().toStdString();
    EXPECT_EQ(Busca(QList<ListEntry>{{"a", 5}, {"b", 0}}, QVariant(), BuscaModo::Item), 1);
    EXPECT_EQ(Busca(QList<ListEntry>{}, 1, BuscaModo::Item), -1);
}

TEST(Paginas, AvailabilityTable) {
    using S = std::set<int>;
    const auto ocultas = [](int tramite, int modalidad) {
        const PaginasDisponibles p = paginasDisponibles(tramite, modalidad);
        S out;
        for (int i = 0; i < kNumPaginas; ++i)
            if (!p[i]) out.insert(i);
        return out;
    };
    EXPECT_EQ(ocultas(kProgramaNuevo, kIndustrial), (S{2, 4, 5}));
    EXPECT_EQ(ocultas(kProgramaNuevo, kServicios), (S{2, 3, 4}));
    EXPECT_EQ(ocultas(kProgramaNuevo, kTerciarizacion), (S{2, 5}));
    EXPECT_EQ(ocultas(kProgramaNuevo, kControladora), (S{4, 5}));
    EXPECT_EQ(ocultas(kProgramaNuevo, kAlbergue), (S{2, 4, 5}));
    EXPECT_EQ(ocultas(kAmpliacion, kServicios), (S{1, 2, 3, 4, 6, 8}));
    for (int m : {kIndustrial, kTerciarizacion, kControladora, kAlbergue})
        EXPECT_EQ(ocultas(kAmpliacion, m), (S{1, 2, 4, 5, 6, 8})) << m;
    EXPECT_TRUE(ocultas(kProgramaNuevo, -1).empty() && ocultas(-1, -1).empty());
}

TEST(RFC, KeyFilterByPosition) {
    // The current text, the key and what is inserted (0: refused).
    const struct {
        const char* texto;
        char tecla, sale;
    } casos[] = {
        {"", 'A', 0},              {"", '1', 0},              {"", ' ', ' '},               // 1: a blank only
        {" ", 'a', 'A'},           {" AB", '&', '&'},         {" A", '5', 0},  {" A", ' ', 0},  // 2-4: letters, &
        {" ABC", '0', '0'}, {" ABC01020", '9', '9'}, {" ABC01020", 'A', 0}, {" ABC", 'A', 0},  // 5-10: digits
        {" ABC010203", 'x', 'X'},  {" ABC010203X", '7', '7'}, {" ABC010203", '&', 0},       // 11-12: alphanumeric
        {" ABC010203X7", 'a', 'A'}, {" ABC010203X7", '4', '4'}, {" ABC010203X7", 'B', 0},   // 13: digit or A
        {"ABCD010203X7A", 'z', 'Z'},                                                        // beyond: anything
    };
    for (const auto& c : casos) {
        const QChar sale = filtraTeclaRFC(QString::fromLatin1(c.texto), QLatin1Char(c.tecla));
        EXPECT_EQ(sale, c.sale ? QChar(QLatin1Char(c.sale)) : QChar()) << c.texto << " + " << c.tecla;
        EXPECT_EQ(filtraTeclaRFC(QString::fromLatin1(c.texto), QChar(8)), QChar(8)) << c.texto;  // backspace
    }
    // A pasted text goes through the same filter.
    EXPECT_EQ(filtraTextoRFC(QStringLiteral(" a1b-c0102")), QStringLiteral(" ABC0102"));
    EXPECT_EQ(filtraTextoRFC(QStringLiteral("ABC010203X7A")), QString());  // no leading blank
}

TEST(VerificaConValor, TextBoxAndGrid) {
    using namespace verificaconvalor;
    RecordingMessages m;
    EXPECT_EQ(textoRequerido(QString(), QStringLiteral("RFC"), m), 1);
    EXPECT_EQ(textoRequerido(QStringLiteral("  "), QStringLiteral("RFC"), m), 0);  // blanks count as text
    const QVariantList fila{QStringLiteral("CALLE"), QStringLiteral("  "), 5};
    const auto valor = [&](int c) { return fila.value(c); };
    const auto titulo = [](int c) { return QStringLiteral("C%1").arg(c); };
    EXPECT_EQ(gridRequerido(0, valor, titulo, QStringLiteral("Planta"), QStringLiteral("0"), m), 1);
    EXPECT_EQ(gridRequerido(1, valor, titulo, QStringLiteral("Planta"), QStringLiteral("0,2"), m), 0);
    EXPECT_EQ(gridRequerido(1, valor, titulo, QStringLiteral("Planta"), QStringLiteral("2, 1,0"), m), 1);
    EXPECT_EQ(m.texts(), (QStringList{QStringLiteral("El Siguiente campo RFC es Requerido"),
                                      QStringLiteral("Debes ingresar por lo menos un registro en la tabla de  "
                                                     "Planta es Requerido"),
                                      QStringLiteral("El Siguiente campo C1 de la tabla Planta es Requerido")}));
    for (const auto& e : m.entries) EXPECT_EQ(e.kind, RecordingMessages::Kind::Stop);
}

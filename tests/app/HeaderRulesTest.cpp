// The header's rules that need no tables: list lookup, tab pages, the RFC key filter, the required-value check.

#include "app/RequestRules.h"
#include "core/VerificaConValor.h"
#include "support/RecordingMessages.h"

#include <gtest/gtest.h>

#include <set>

using namespace kalto;
using namespace Qt::StringLiterals;

TEST(Busca, PositionAndItemModes) {
    // Position: null counts as 0 (the first); no match leaves the last; an empty list selects nothing.
    const std::pair<QVariant, int> posiciones[] = {{QVariant(), 0}, {3, 3}, {u" 2 "_s, 2},
                                                   {4.0, 4},        {7, 4}, {u"abc"_s, 0}};
    for (const auto& [valor, indice] : posiciones) EXPECT_EQ(Busca(5, valor), indice) << valor.toString().toStdString();
    EXPECT_EQ(Busca(0, 2), -1);
    // Item: codes compared as trimmed upper-case text (numbers as read from a numeric column); unmatched: the last.
    const QList<ListEntry> lista{{"a", qint64(10)}, {"b", qint64(20)}, {"c", u"kg "_s}};
    const std::pair<QVariant, int> items[] = {
        {20, 1}, {10.0, 0}, {u" 10 "_s, 0}, {u"KG"_s, 2}, {99, 2}, {QVariant(), 2}};
    for (const auto& [valor, indice] : items)
        EXPECT_EQ(Busca(lista, valor, BuscaModo::Item), indice) << valor.toString().toStdString();
    EXPECT_EQ(Busca(QList<ListEntry>{{"a", 5}, {"b", 0}}, QVariant(), BuscaModo::Item), 1);
    EXPECT_EQ(Busca(QList<ListEntry>{}, 1, BuscaModo::Item), -1);
}

TEST(Paginas, AvailabilityTable) {
    // The pages each procedure and modality hide; an extension hides the same for all but "Servicios".
    const struct { int tramite, modalidad; std::set<int> ocultas; } casos[] = {
                 {kProgramaNuevo, kIndustrial, {2, 4, 5}},     {kProgramaNuevo, kServicios, {2, 3, 4}},
                 {kProgramaNuevo, kTerciarizacion, {2, 5}},    {kProgramaNuevo, kControladora, {4, 5}},
                 {kProgramaNuevo, kAlbergue, {2, 4, 5}},       {kAmpliacion, kServicios, {1, 2, 3, 4, 6, 8}},
                 {kAmpliacion, kIndustrial, {1, 2, 4, 5, 6, 8}}, {kAmpliacion, kTerciarizacion, {1, 2, 4, 5, 6, 8}},
                 {kAmpliacion, kControladora, {1, 2, 4, 5, 6, 8}}, {kAmpliacion, kAlbergue, {1, 2, 4, 5, 6, 8}},
                 {kProgramaNuevo, -1, {}},                     {-1, -1, {}}};
    for (const auto& c : casos) {
        const PaginasDisponibles p = paginasDisponibles(c.tramite, c.modalidad);
        for (int i = 0; i < kNumPaginas; ++i) EXPECT_EQ(p[i], !c.ocultas.count(i)) << c.tramite << c.modalidad << i;
    }
}

TEST(RFC, KeyFilterByPosition) {
    // The current text, the key and what is inserted (0: refused).
    const struct { const char* texto; char tecla, sale; } casos[] = {
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
    EXPECT_EQ(filtraTextoRFC(u" a1b-c0102"_s), u" ABC0102"_s);
    EXPECT_EQ(filtraTextoRFC(u"ABC010203X7A"_s), QString());  // no leading blank
}

TEST(VerificaConValor, TextBoxAndGrid) {
    using namespace verificaconvalor;
    RecordingMessages m;
    EXPECT_EQ(textoRequerido(QString(), u"RFC"_s, m), 1);
    EXPECT_EQ(textoRequerido(u"  "_s, u"RFC"_s, m), 0);  // blanks count as text
    const QVariantList fila{u"CALLE"_s, u"  "_s, 5};
    const auto valor = [&](int c) { return fila.value(c); };
    const auto titulo = [](int c) { return u"C%1"_s.arg(c); };
    EXPECT_EQ(gridRequerido(0, valor, titulo, u"Planta"_s, u"0"_s, m), 1);
    EXPECT_EQ(gridRequerido(1, valor, titulo, u"Planta"_s, u"0,2"_s, m), 0);
    EXPECT_EQ(gridRequerido(1, valor, titulo, u"Planta"_s, u"2, 1,0"_s, m), 1);
    EXPECT_EQ(m.texts(), (QStringList{u"El Siguiente campo RFC es Requerido"_s,
                                      QStringLiteral("Debes ingresar por lo menos un registro en la tabla de  "
                                                     "Planta es Requerido"),
                                      u"El Siguiente campo C1 de la tabla Planta es Requerido"_s}));
    for (const auto& e : m.entries) EXPECT_EQ(e.kind, RecordingMessages::Kind::Stop);
}

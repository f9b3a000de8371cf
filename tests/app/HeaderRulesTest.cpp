// The header's rules that need no tables: list lookup, procedure codes, tab pages, RFC keys.

#include "app/rules/SolicitudRules.h"

#include <gtest/gtest.h>

#include <set>

using namespace kalto;

namespace {

QList<ListEntry> entradas(const QList<QVariant>& codigos) {
    QList<ListEntry> out;
    for (const auto& c : codigos) out.append({QStringLiteral("x"), c});
    return out;
}

std::set<int> noDisponibles(const PaginasDisponibles& p) {
    std::set<int> out;
    for (int i = 0; i < kNumPaginas; ++i)
        if (!p[i]) out.insert(i);
    return out;
}

}  // namespace

TEST(Busca, PositionMode) {
    // Null counts as 0: the first entry.
    EXPECT_EQ(Busca(5, QVariant()), 0);
    EXPECT_EQ(Busca(5, 0), 0);
    EXPECT_EQ(Busca(5, 3), 3);
    EXPECT_EQ(Busca(5, QStringLiteral(" 2 ")), 2);
    EXPECT_EQ(Busca(5, 4.0), 4);
    // No match leaves the last entry; an empty list selects nothing.
    EXPECT_EQ(Busca(5, 7), 4);
    EXPECT_EQ(Busca(5, -1), 4);
    EXPECT_EQ(Busca(5, QStringLiteral("abc")), 0);  // no leading number: 0
    EXPECT_EQ(Busca(0, 2), -1);
}

TEST(Busca, ItemMode) {
    const auto lista = entradas({QVariant(qint64(10)), QVariant(qint64(20)), QVariant(qint64(30))});
    EXPECT_EQ(Busca(lista, 20, BuscaModo::Item), 1);
    EXPECT_EQ(Busca(lista, 30.0, BuscaModo::Item), 2);  // numeric column read as a double
    EXPECT_EQ(Busca(lista, QStringLiteral(" 10 "), BuscaModo::Item), 0);
    EXPECT_EQ(Busca(lista, 99, BuscaModo::Item), 2);             // unmatched: last
    EXPECT_EQ(Busca(lista, QVariant(), BuscaModo::Item), 2);     // null is 0: no entry 0 here
    const auto conCero = entradas({QVariant(5), QVariant(0), QVariant(7)});
    EXPECT_EQ(Busca(conCero, QVariant(), BuscaModo::Item), 1);
    // Codes are compared as trimmed upper-case text.
    const auto textos = entradas({QStringLiteral("kg "), QStringLiteral("M2")});
    EXPECT_EQ(Busca(textos, QStringLiteral("KG"), BuscaModo::Item), 0);
    EXPECT_EQ(Busca(QList<ListEntry>{}, 1, BuscaModo::Item), -1);
}

TEST(Tramite, CodeStoredAndRestored) {
    EXPECT_EQ(codigoTramite(kProgramaNuevo, 1, 0), 4);
    EXPECT_EQ(codigoTramite(kProgramaNuevo, 0, 1), 5);
    EXPECT_EQ(codigoTramite(kProgramaNuevo, 0, 0), 0);
    EXPECT_EQ(codigoTramite(kAmpliacion, 1, 0), 2);
    EXPECT_EQ(codigoTramite(kAmpliacion, 0, 1), 3);
    EXPECT_EQ(codigoTramite(kAmpliacion, 0, 0), 1);
    EXPECT_EQ(codigoTramite(kProgramaNuevo, 1, 1), 4);  // the higher service code wins

    for (int code : {0, 4, 5}) EXPECT_EQ(indiceTramite(code), kProgramaNuevo) << code;
    for (int code : {1, 2, 3}) EXPECT_EQ(indiceTramite(code), kAmpliacion) << code;
    EXPECT_EQ(indiceTramite(4.0), kProgramaNuevo);
    EXPECT_EQ(indiceTramite(QVariant()), kProgramaNuevo);
}

TEST(Paginas, AvailabilityTable) {
    using S = std::set<int>;
    EXPECT_EQ(noDisponibles(paginasDisponibles(kProgramaNuevo, kIndustrial)), (S{2, 4, 5}));
    EXPECT_EQ(noDisponibles(paginasDisponibles(kProgramaNuevo, kServicios)), (S{2, 3, 4}));
    EXPECT_EQ(noDisponibles(paginasDisponibles(kProgramaNuevo, kTerciarizacion)), (S{2, 5}));
    EXPECT_EQ(noDisponibles(paginasDisponibles(kProgramaNuevo, kControladora)), (S{4, 5}));
    EXPECT_EQ(noDisponibles(paginasDisponibles(kProgramaNuevo, kAlbergue)), (S{2, 4, 5}));
    EXPECT_EQ(noDisponibles(paginasDisponibles(kAmpliacion, kServicios)), (S{1, 2, 3, 4, 6, 8}));
    for (int m : {kIndustrial, kTerciarizacion, kControladora, kAlbergue})
        EXPECT_EQ(noDisponibles(paginasDisponibles(kAmpliacion, m)), (S{1, 2, 4, 5, 6, 8})) << m;
    EXPECT_EQ(noDisponibles(paginasDisponibles(kProgramaNuevo, -1)), S{});
    EXPECT_EQ(noDisponibles(paginasDisponibles(-1, -1)), S{});
}

TEST(RFC, KeyFilterByPosition) {
    auto filtra = [](const char* texto, char tecla) { return filtraTeclaRFC(QString::fromLatin1(texto), QLatin1Char(tecla)); };
    // Position 1: a blank only.
    EXPECT_TRUE(filtra("", 'A').isNull());
    EXPECT_TRUE(filtra("", '1').isNull());
    EXPECT_EQ(filtra("", ' '), QLatin1Char(' '));
    // 2 to 4: letters (upper-cased) and '&'.
    EXPECT_EQ(filtra(" ", 'a'), QLatin1Char('A'));
    EXPECT_EQ(filtra(" AB", '&'), QLatin1Char('&'));
    EXPECT_TRUE(filtra(" A", '5').isNull());
    EXPECT_TRUE(filtra(" A", ' ').isNull());
    // 5 to 10: digits.
    EXPECT_EQ(filtra(" ABC", '0'), QLatin1Char('0'));
    EXPECT_EQ(filtra(" ABC01020", '9'), QLatin1Char('9'));
    EXPECT_TRUE(filtra(" ABC", 'A').isNull());
    EXPECT_TRUE(filtra(" ABC01020", 'x').isNull());
    // 11 and 12: letters and digits.
    EXPECT_EQ(filtra(" ABC010203", 'x'), QLatin1Char('X'));
    EXPECT_EQ(filtra(" ABC010203X", '7'), QLatin1Char('7'));
    EXPECT_TRUE(filtra(" ABC010203", '&').isNull());
    // 13: digits or A.
    EXPECT_EQ(filtra(" ABC010203X7", 'a'), QLatin1Char('A'));
    EXPECT_EQ(filtra(" ABC010203X7", '4'), QLatin1Char('4'));
    EXPECT_TRUE(filtra(" ABC010203X7", 'B').isNull());
    // 14 and beyond: anything (the field's length stops it).
    EXPECT_EQ(filtra("ABCD010203X7A", 'z'), QLatin1Char('Z'));
    // Backspace passes everywhere.
    for (const char* t : {"", " ", " ABC", " ABC010203", " ABC010203X7"})
        EXPECT_EQ(filtraTeclaRFC(QString::fromLatin1(t), QChar(8)), QChar(8)) << t;

    // A pasted text goes through the same filter.
    EXPECT_EQ(filtraTextoRFC(QStringLiteral(" abc010203x7a")), QStringLiteral(" ABC010203X7A"));
    EXPECT_EQ(filtraTextoRFC(QStringLiteral("ABC010203X7A")), QStringLiteral(""));  // no leading blank
    EXPECT_EQ(filtraTextoRFC(QStringLiteral(" a1b-c0102")), QStringLiteral(" ABC0102"));
}

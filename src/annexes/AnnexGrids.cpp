#include "annexes/AnnexGrids.h"

namespace kalto {

namespace columnas {

QList<GridColumn> servicios() {
    return {{QStringLiteral("IDSERV"), QStringLiteral("IDSERV"), true, 70},
            {QStringLiteral("Servicio"), QStringLiteral("SERVICIO"), true, 520}};
}

QList<GridColumn> productos() {
    return {{QStringLiteral("Fracción"), QStringLiteral("FRACCION"), true, 90},
            {QStringLiteral("UMID"), QStringLiteral("UMID"), true, 60},
            {QStringLiteral("Unidad Medida"), QStringLiteral("UM"), true, 180},
            {QStringLiteral("Capacidad Instalada"), QStringLiteral("VOLUMEN"), true, 140},
            {QStringLiteral("Porcentaje Utilizado"), QStringLiteral("PORCUT"), true, 140},
            {QString(), QStringLiteral("ID_PROD"), true, 60}};
}

QList<GridColumn> anexoExportacion() {
    return {{QStringLiteral("ID_PROD"), QStringLiteral("ID_PROD"), true, 70},
            {QStringLiteral("TIPO_REG"), QStringLiteral("TIPO_REG"), true, 70},
            {QStringLiteral("Descripción"), QStringLiteral("DESCRIP"), false, 300},
            {QStringLiteral("Fraccion"), QStringLiteral("FRACCION"), true, 100},
            {QStringLiteral("ID_SUBORD"), QStringLiteral("ID_SUBORD"), true, 80}};
}

QList<GridColumn> anexo(int indice) {
    if (indice == 1 || indice == 2)
        return {{QStringLiteral("ID_PROD"), QStringLiteral("ID_PROD"), true, 70},
                {QStringLiteral("TIPO_REG"), QStringLiteral("TIPO_REG"), true, 70},
                {QStringLiteral("Fraccion"), QString(), true, 100},
                {QStringLiteral("Descripcion"), QStringLiteral("DESCRIP"), true, 300},
                {QStringLiteral("ID_SUBORD"), QStringLiteral("ID_SUBORD"), true, 80}};
    return {{QStringLiteral("ID_PROD"), QStringLiteral("ID_PROD"), true, 70},
            {QStringLiteral("TIPO_REG"), QStringLiteral("TIPO_REG"), true, 70},
            {QStringLiteral("Fraccion"), QStringLiteral("FRACCION"), true, 100},
            {QStringLiteral("ID_SUBORD"), QStringLiteral("ID_SUBORD"), true, 80}};
}

}  // namespace columnas

}  // namespace kalto

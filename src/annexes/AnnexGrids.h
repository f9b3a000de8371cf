#pragma once
// Columns of the services, products and annex grids of the main window. Their rules are
// ServiceRule, ProductRule, ExportProductAnnexRule and AnnexRule.

#include "core/GridRule.h"

namespace kalto {

namespace columnas {
// dbServicios: IDSERV, Servicio.
QList<GridColumn> servicios();
// dbProducto: Fracción, UMID, Unidad Medida, Capacidad Instalada, Porcentaje Utilizado, ID_PROD.
QList<GridColumn> productos();
// dbAnxMPE: ID_PROD, TIPO_REG, Descripción (hidden), Fraccion, ID_SUBORD.
QList<GridColumn> anexoExportacion();
// dbAnx(0) inputs and dbAnx(3) rework: ID_PROD, TIPO_REG, Fraccion, ID_SUBORD.
// dbAnx(1) containers and dbAnx(2) tools: ID_PROD, TIPO_REG, Fraccion (unbound), Descripcion, ID_SUBORD.
QList<GridColumn> anexo(int indice);
}  // namespace columnas

}  // namespace kalto

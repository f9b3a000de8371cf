#pragma once
// Qt's own texts in Spanish whatever the machine's language: the Yes/No buttons of the
// questions ("Sí", "No"), the context menu of every text field and cell editor, the print
// dialog.

class QCoreApplication;

namespace kalto {

// Installs Qt's Spanish catalogue (qtbase_es, from Qt's translations folder or a
// "translations" folder beside the executable) on `app`, with the few texts the program
// words its own way ("Eliminar" in the edit menus) and, in the program itself, the texts Qt's
// catalogue lacks (the print dialog's "Páginas", "Impresión a doble cara", "Avanzadas"...,
// embedded from translations/kalto_es.ts). False when Qt's catalogue was not found: Qt's
// texts then stay in English.
bool installSpanishTranslation(QCoreApplication& app);

}  // namespace kalto

// Figures of the annex import from a workbook: a 30,000-row first sheet (1,000 export products
// with 29 inputs each, the letter a text and the tariff item a number, as a spreadsheet holds
// them) as anexo.xlsx (shared texts) and as anexo.ods (with the empty repeated rows a
// spreadsheet writes after the last), beside the same lines as anexo.csv. Each import runs in
// a child process of its own into an empty data folder: its time and the child's peak memory
// (getrusage ru_maxrss; the child starts with the parent's memory at the fork); and the time
// the lines alone take to read (both passes, no check and no SQL).
// Usage: bench_workbook [folder holding the catalogue .DBF files] (default: beside the program)

#include "BenchFolder.h"
#include "annexes/Import.h"
#include "annexes/WorkbookLines.h"
#include "core/Drives.h"
#include "data/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

#include <cstdio>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kalto;

namespace {

constexpr int kRows = 30000;

// Line n (from 1): an export product every 30 lines, inputs between.
bool exportLine(int n) { return n % 30 == 1; }
QByteArray item(int n) {
    return (exportLine(n) ? "8471" : "3901") + QByteArray::number(n % 10000).rightJustified(4, '0');
}

// Writes a zip of `parts`, each made by its function a piece at a time.
bool writeZip(const QString& path, const QList<std::pair<QString, std::function<void(QIODevice&)>>>& parts) {
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate)) return false;
    for (const auto& [name, write] : parts) {
        QuaZipFile f(&zip);
        if (!f.open(QIODevice::WriteOnly, QuaZipNewInfo(name))) return false;
        write(f);
    }
    zip.close();
    return zip.getZipError() == 0;
}

std::function<void(QIODevice&)> text(const QByteArray& bytes) {
    return [bytes](QIODevice& d) { d.write(bytes); };
}

bool writeXlsx(const QString& path) {
    return writeZip(
        path,
        {{"_rels/.rels", text(R"(<Relationships><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/)"
                              R"(officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
                              "</Relationships>")},
         {"xl/workbook.xml", text(R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/)"
                                  R"(relationships"><sheets><sheet name="Hoja1" sheetId="1" r:id="rId1"/></sheets>)"
                                  "</workbook>")},
         {"xl/_rels/workbook.xml.rels",
          text(R"(<Relationships><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/)"
               R"(2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" )"
               R"(Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" )"
               R"(Target="sharedStrings.xml"/></Relationships>)")},
         {"xl/sharedStrings.xml", text("<sst><si><t>E</t></si><si><t>I</t></si></sst>")},
         {"xl/worksheets/sheet1.xml", [](QIODevice& d) {
              d.write("<worksheet><sheetData>");
              for (int n = 1; n <= kRows; ++n) {
                  const QByteArray r = QByteArray::number(n);
                  d.write("<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"s\"><v>" + (exportLine(n) ? "0" : "1") +
                          "</v></c><c r=\"B" + r + "\"><v>" + item(n) + "</v></c></row>");
              }
              d.write("</sheetData></worksheet>");
          }}});
}

bool writeOds(const QString& path) {
    return writeZip(
        path,
        {{"mimetype", text("application/vnd.oasis.opendocument.spreadsheet")},
         {"content.xml", [](QIODevice& d) {
              d.write(R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
                      R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
                      R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body>)"
                      R"(<office:spreadsheet><table:table table:name="Hoja1">)");
              for (int n = 1; n <= kRows; ++n)
                  d.write("<table:table-row><table:table-cell office:value-type=\"string\"><text:p>" +
                          QByteArray(exportLine(n) ? "E" : "I") +
                          "</text:p></table:table-cell><table:table-cell office:value-type=\"float\" office:value=\"" +
                          item(n) + "\"><text:p>" + item(n) + "</text:p></table:table-cell><table:table-cell "
                          "table:number-columns-repeated=\"1022\"/></table:table-row>");
              d.write(R"(<table:table-row table:number-rows-repeated="1018576"><table:table-cell )"
                      R"(table:number-columns-repeated="1024"/></table:table-row></table:table>)"
                      "</office:spreadsheet></office:body></office:document-content>");
          }}});
}

// One import of `file` on drive C: in a child process; what it prints is its figures.
void importIn(const char* what, const QString& catalogues, const DriveSettings& settings, const QString& file) {
    bench::inChild([&] {
    QTemporaryDir data;
    bench::copyCatalogues(catalogues, data.path());
    Database db;
    if (!bench::openData(db, data.path())) return 1;
    const long before = bench::peakKiB();
    QElapsedTimer t;
    t.start();
    const ImportResult r = importAnnexes(db, Drives(data.path(), settings));
    const double seconds = t.nsecsElapsed() / 1e9;
    std::printf("%s (%s, %.1f MB), %d renglones:\n", what, qPrintable(QFileInfo(file).fileName()),
                QFileInfo(file).size() / 1e6, r.total);
    std::printf("    %.2f s (%d cargados, %d rechazados; meta: menos de 2 s)%s%s\n", seconds, r.loaded, r.refused,
                r.error.isEmpty() ? "" : " ", qPrintable(r.error));
    std::printf("    memoria máxima del proceso: %.1f MB (%.1f MB antes de importar; meta: menos de 150 MB)\n",
                bench::peakKiB() / 1024.0, before / 1024.0);
    QFile in(file);
    if (in.open(QIODevice::ReadOnly)) {
        std::unique_ptr<LineSource> lines;
        if (WorkbookLines::isWorkbook(file))
            lines = std::make_unique<WorkbookLines>(in, file);
        else
            lines = std::make_unique<ImportReader>(in, in.size(), file);
        t.restart();
        int count = 0;
        QString line;
        if (lines->scan() == LineSource::Step::End)
            while (lines->next(&line) == LineSource::Step::Line) ++count;
        std::printf("    solo la lectura de los renglones: %.3f s (%d renglones)\n", t.nsecsElapsed() / 1e9, count);
    }
    return 0;
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString catalogues = bench::catalogueFolder(argc, argv);
    if (!QFileInfo::exists(QDir(catalogues).filePath(QStringLiteral("imunidmd.DBF")))) {
        std::printf("No se encontraron los catálogos .DBF en %s\n", qPrintable(catalogues));
        return 1;
    }
    QTemporaryDir driveC;
    DriveSettings settings = DriveSettings::fromSystem();
    settings.unidadC = driveC.path();
    const QDir c(driveC.path());

    const QString csv = c.filePath(QStringLiteral("anexo.csv"));
    QFile f(csv);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    for (int n = 1; n <= kRows; ++n) f.write((exportLine(n) ? "E," : "I,") + item(n) + "\r\n");
    f.close();
    importIn("Archivo de texto", catalogues, settings, csv);
    QFile::remove(csv);

    const QString xlsx = c.filePath(QStringLiteral("anexo.xlsx"));
    if (!writeXlsx(xlsx)) return 1;
    importIn("Libro de Office Open XML", catalogues, settings, xlsx);
    QFile::remove(xlsx);

    const QString ods = c.filePath(QStringLiteral("anexo.ods"));
    if (!writeOds(ods)) return 1;
    importIn("Libro de OpenDocument", catalogues, settings, ods);
    return 0;
}

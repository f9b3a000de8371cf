// The imports from workbooks: the lines a .xlsx or .ods first sheet gives, the workbooks that
// are refused, and the import cases of import/ turned into workbooks, which must leave what
// their text files leave.

#include "annexes/AnnexFixture.h"
#include "annexes/Import.h"
#include "annexes/WorkbookLines.h"
#include "core/Drives.h"
#include "support/FileBytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

using namespace kalto;
using namespace kalto::test;

namespace {

using Entries = QList<std::pair<QString, QByteArray>>;

QByteArray zipOf(const Entries& entries) {
    QBuffer buffer;
    QuaZip zip(&buffer);
    EXPECT_TRUE(zip.open(QuaZip::mdCreate));
    for (const auto& [name, bytes] : entries) {
        QuaZipFile f(&zip);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly, QuaZipNewInfo(name)) && f.write(bytes) == bytes.size());
    }
    zip.close();
    return buffer.data();
}

const QByteArray kRel = R"(<Relationship Id="rId%1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/%2" Target="%3"/>)";
QByteArray rel(int id, const char* type, const char* target) {
    return QString::fromLatin1(kRel).arg(id).arg(QLatin1String(type), QLatin1String(target)).toLatin1();
}

// A .xlsx whose first sheet has `rows` (its relation listed after the second sheet's).
QByteArray xlsx(const QByteArray& rows, const QByteArray& shared = {}, const QByteArray& styles = {}) {
    return zipOf({{"_rels/.rels", "<Relationships>" + rel(1, "officeDocument", "/xl/workbook.xml") + "</Relationships>"},
                  {"xl/workbook.xml", R"(<workbook xmlns:r="r"><workbookPr/><sheets><sheet name="Uno" sheetId="2" r:id="rId7"/>)"
                                      R"(<sheet name="Dos" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
                  {"xl/_rels/workbook.xml.rels", "<Relationships>" + rel(1, "worksheet", "worksheets/sheet1.xml") +
                                                     rel(7, "worksheet", "worksheets/sheet2.xml") +
                                                     rel(3, "sharedStrings", "sharedStrings.xml") +
                                                     rel(4, "styles", "styles.xml") + "</Relationships>"},
                  {"xl/worksheets/sheet1.xml", R"(<worksheet><sheetData><row><c t="b"><v>1</v></c></row></sheetData></worksheet>)"},
                  {"xl/worksheets/sheet2.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"},
                  {"xl/sharedStrings.xml", "<sst>" + shared + "</sst>"},
                  {"xl/styles.xml", "<styleSheet>" + styles + "</styleSheet>"}});
}

QByteArray ods(const QByteArray& rows, const QByteArray& entry = {}, const QByteArray& mime = "spreadsheet") {
    return zipOf({{"mimetype", "application/vnd.oasis.opendocument." + mime},
                  {"META-INF/manifest.xml", "<m:manifest xmlns:m=\"m\"><m:file-entry>" + entry + "</m:file-entry></m:manifest>"},
                  {"content.xml", R"(<o:document-content xmlns:o="o" xmlns:table="t" xmlns:text="x"><o:body><o:spreadsheet>)"
                                  "<table:table>" + rows + "</table:table><table:table><table:table-row><table:table-cell>"
                                  "<text:p>Otra</text:p></table:table-cell></table:table-row></table:table></o:spreadsheet></o:body></o:document-content>"}});
}

// The lines of a workbook, one per line, or its error.
QString linesOf(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    WorkbookLines book(buffer, QStringLiteral("libro.xlsx"));
    if (book.scan() != LineSource::Step::End) return book.error();
    QStringList lines;
    QString line;
    for (LineSource::Step s; (s = book.next(&line)) != LineSource::Step::End;) {
        if (line.size() > 1000) line = QStringLiteral("%1 de %2").arg(line.left(1)).arg(line.size());
        lines << (s == LineSource::Step::LongLine ? QStringLiteral("LARGO ") + line : line);
    }
    EXPECT_EQ(lines.size(), book.lineCount());
    return lines.join(QLatin1Char('\n'));
}

const QByteArray kStyles = R"(<numFmts><numFmt numFmtId="164" formatCode="00000000"/><numFmt numFmtId="165" formatCode="[Red]hh:mm"/>)"
                           R"(<numFmt numFmtId="166" formatCode="&quot;d&quot;0.0"/></numFmts><cellStyleXfs><xf numFmtId="14"/></cellStyleXfs>)"
                           R"(<cellXfs><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="166"/><xf numFmtId="22"/></cellXfs>)";
// Table cells of an .ods.
QByteArray cell(const QByteArray& attributes, const QByteArray& text = {}) {
    return "<table:table-cell " + attributes + ">" + (text.isEmpty() ? "" : "<text:p>" + text + "</text:p>") + "</table:table-cell>";
}
QByteArray odsRow(const QByteArray& cells, const QByteArray& repeat = "1") {
    return "<table:table-row table:number-rows-repeated=\"" + repeat + "\">" + cells + "</table:table-row>";
}

TEST(Workbook, Lines) {
    const QByteArray num = "o:value-type=\"float\" o:value=";
    const struct {
        const char* what;
        QByteArray book;
        QString lines;
    } cases[] = {
        {"numbers", xlsx(R"(<row><c><v>10000</v></c><c><v>1.0E+4</v></c><c><v>0.30000000000000004</v></c><c><v>-12.5</v></c>)"
                         R"(<c><v>1E+20</v></c><c s="4"><v>7.25</v></c></row>)", {}, kStyles),
         "10000,10000,0.3,-12.5,100000000000000000000,7.25"},
        {"texts, gaps, rows missing", xlsx(R"(<row r="2"><c r="B2" t="s"><v>1</v></c><c r="D2" t="inlineStr"><is><t>Caja, "roja"</t></is></c></row>)"
                                           R"(<row r="4" spans="1:3"><c r="A4" t="s"><v>0</v></c><c r="C4" t="str"><f>A1</f><v>x_x000D_y</v></c></row><row r="9"/>)",
                                           R"(<si><r><t>Tor</t></r><r><t xml:space="preserve">no </t></r><rPh><t>ト</t></rPh></si><si><t>E</t></si>)"),
         "\n,E,,\"Caja, \"\"roja\"\"\"\n\nTorno ,,\"x\ry\""},
        {"dates, zeros, booleans", xlsx(R"(<row><c s="1"><v>45356</v></c><c s="2"><v>1012101</v></c><c s="3"><v>1.5</v></c>)"
                                        R"(<c s="5"><v>45356.75</v></c><c t="b"><v>0</v></c><c t="e"><v>#N/A</v></c><c t="d"><v>2024-03-05</v></c></row>)", {}, kStyles),
         "05/03/2024,01012101,12:00:00,05/03/2024 18:00:00,FALSO,#N/A,05/03/2024"},
        {"long line", xlsx("<row><c t=\"inlineStr\"><is><t>" + QByteArray(100001, 'x') + "</t></is></c></row><row><c t=\"inlineStr\"><is><t>y" +
                           QByteArray(100005, ' ') + "</t></is></c></row>"),
         "LARGO x de 100000\ny de 100000"},
        {"ods cells", ods(odsRow(cell(num + "\"84713001\"", "84713001") + cell("table:number-columns-repeated=\"2\"") +
                                 cell("o:value-type=\"string\"", "a<text:s text:c=\"2\"/>b<text:span>c</text:span></text:p><text:p>d") +
                                 cell(num + "\"1012101\"", "01012101") + cell(num + "\"0.1\"", "0,1") +
                                 cell("o:value-type=\"date\" o:date-value=\"2024-03-05T10:20:30\"", "5/3/24") +
                                 cell("o:value-type=\"time\" o:time-value=\"PT36H05M00S\"", "x") +
                                 cell("o:value-type=\"boolean\" o:boolean-value=\"true\"", "VERDADERO") +
                                 "<table:covered-table-cell/>" + cell("o:value-type=\"string\"", "<o:annotation><text:p>nota</text:p></o:annotation>z"))),
         "84713001,,,\"a  bc\nd\",01012101,0.1,05/03/2024 10:20:30,36:05:00,VERDADERO,,z"},
        {"ods repeats", ods("<table:table-header-rows>" + odsRow(cell("table:number-columns-repeated=\"3\" o:value-type=\"string\"", "x"), "2") +
                            "</table:table-header-rows>" + odsRow(cell("table:number-columns-repeated=\"16384\"") , "3") +
                            odsRow(cell("table:number-columns-repeated=\"2\"") + cell("o:value-type=\"string\"", "I")) +
                            odsRow(cell("table:number-columns-repeated=\"1024\""), "1048570")),
         "x,x,x\nx,x,x\n\n\n\n,,I"},
    };
    for (const auto& c : cases) EXPECT_EQ(linesOf(c.book), c.lines) << c.what;
}

// Whatever cannot be read as a workbook is refused with a message, no line given.
TEST(Workbook, Refused) {
    QByteArray digits;
    for (int i = 0; i < 3000; ++i) digits += QByteArray::number(i * 7919 % 100003);
    QByteArray corrupt = xlsx("<row><c><v>" + digits + "</v></c></row>");
    corrupt[corrupt.indexOf("sheet2.xml") + 200] ^= 0x55;
    const struct {
        QByteArray book;
        const char* message;
    } cases[] = {
        {"E,84713001\r\n", "El archivo libro.xlsx no es un libro de cálculo que se pueda importar (.xlsx u .ods)."},
        {QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(600, '\0'), "formato antiguo de Excel (.xls)"},
        {xlsx("<row>").left(300), "El libro libro.xlsx está dañado"},
        {xlsx("<row><c><v>1</v></row>"), "su parte xl/worksheets/sheet2.xml no se pudo leer."},
        {corrupt, "su parte xl/worksheets/sheet2.xml no se pudo leer."},
        {ods(odsRow(cell("", "x")), "<m:encryption-data/>"), "está protegido con contraseña (cifrado)"},
        {ods(odsRow(cell("", "x")), {}, "text"), "no es un libro de cálculo"},
        {zipOf({{"_rels/.rels", "<Relationships>" + rel(1, "officeDocument", "word/document.xml") + "</Relationships>"},
                {"word/document.xml", "<document/>"}}), "no es un libro de cálculo"},
        {ods(odsRow(cell("", "x"), "1048577")), "La primera hoja del libro libro.xlsx pasa de 1,048,576 renglones."},
    };
    for (const auto& c : cases) EXPECT_TRUE(linesOf(c.book).contains(QString::fromUtf8(c.message))) << c.message;
}

// The import cases of import/ as workbooks: each line's fields as a spreadsheet reads them
// from the text file (a number written as the text file holds it stored as a number, other
// fields as texts), imported instead of the text file, leave the same summary, rows and error
// file.
class WorkbookImport : public AnnexFixture {};

QStringList fieldsOf(const QString& line) {
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'"' && (quoted || fields.last().isEmpty()))
            quoted = quoted && i + 1 < line.size() && line.at(i + 1) == u'"' ? (fields.last() += c, ++i, true) : !quoted;
        else if (c == u',' && !quoted)
            fields << QString();
        else
            fields.last() += c;
    }
    return fields;
}

QByteArray bookOf(const QStringList& lines, bool asOds, bool* xmlSafe) {
    QByteArray rows, shared;
    int strings = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        rows += asOds ? "<table:table-row>" : "<row r=\"" + QByteArray::number(i + 1) + "\">";
        const QStringList fields = lines[i].isEmpty() ? QStringList() : fieldsOf(lines[i]);
        for (qsizetype j = 0; j < fields.size(); ++j) {
            bool ok = false;
            const bool number = cellNumber(fields[j].toDouble(&ok)) == fields[j] && ok;
            QByteArray text = fields[j].toHtmlEscaped().toUtf8();
            for (char c = 0; c < 32; ++c)
                if (c != '\t' && text.contains(c)) {
                    *xmlSafe = false;
                    text.replace(QByteArray(1, c), QStringLiteral("_x%1_").arg(int(c), 4, 16, QLatin1Char('0')).toLatin1());
                }
            const QByteArray ref = " r=\"" + QByteArray(1, char('A' + j)) + QByteArray::number(i + 1) + "\"";
            if (asOds)
                rows += cell(number ? "o:value-type=\"float\" o:value=\"" + text + "\"" : "o:value-type=\"string\"", text);
            else if (!number)
                rows += "<c" + ref + " t=\"s\"><v>" + QByteArray::number(strings++) + "</v></c>";
            else
                rows += "<c" + ref + "><v>" + text + "</v></c>";
            if (!number) shared += "<si><t xml:space=\"preserve\">" + text + "</t></si>";
        }
        rows += asOds ? "</table:table-row>" : "</row>";
    }
    return asOds ? ods(rows) : xlsx(rows, shared);
}

TEST_F(WorkbookImport, SameAsTheTextFiles) {
    const QDir cases(QStringLiteral(KALTO_SOURCE_DIR "/tests/annexes/import"));
    int compared = 0;
    for (const char* name : {"anexo-caracter-no-valido", "anexo-descripciones", "anexo-errores", "anexo-limite",
                             "prod-errores", "prod-negativos-y-decimales"}) {
        const QDir dir(cases.filePath(QLatin1String(name)));
        const QStringList inputs = dir.entryList({QStringLiteral("anexo.csv"), QStringLiteral("prod.csv")});
        if (inputs.isEmpty()) continue;
        QFile file(dir.filePath(inputs[0]));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ImportReader reader(file, file.size(), file.fileName());
        ASSERT_EQ(reader.scan(), LineSource::Step::End);
        // As a sheet holds them: no empty fields at the end of a line, no empty lines at the end.
        QStringList lines;
        for (QString line; reader.next(&line) == LineSource::Step::Line;) {
            while (line.endsWith(u',')) line.chop(1);
            lines << line;
        }
        while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        QString first;
        for (const int form : {0, 1, 2}) {
            bool xmlSafe = true;
            const QByteArray book = bookOf(lines, form == 2, &xmlSafe);
            if (form == 2 && !xmlSafe) continue;  // a control character an .ods cannot hold
            SCOPED_TRACE(name + std::to_string(form));
            QTemporaryDir drive;
            qputenv("KALTO_UNIDAD_C", drive.path().toLocal8Bit());
            exec(QStringLiteral("delete from imanexos"));
            exec(QStringLiteral("delete from improd"));
            for (const QByteArray& sql : readFile(dir.filePath(QStringLiteral("antes.sql"))).trimmed().split('\n'))
                if (dir.exists(QStringLiteral("antes.sql"))) exec(QString::fromUtf8(sql));
            for (const QString& f : dir.entryList({QStringLiteral("e*.csv")}, QDir::Files))
                ASSERT_TRUE(QFile::copy(dir.filePath(f), QDir(drive.path()).filePath(f)));
            const QString input = QFileInfo(inputs[0]).completeBaseName() + (form == 0 ? ".csv" : form == 1 ? ".xlsx" : ".ods");
            ASSERT_TRUE(writeFile(QDir(drive.path()).filePath(input), form == 0 ? lines.join(QStringLiteral("\r\n")).toUtf8() : book));
            const Drives drives(folder.path());
            const ImportResult r = input.startsWith(u'p') ? importProducts(db, drives) : importAnnexes(db, drives);
            const QString got = r.summary().replace(drive.path(), QStringLiteral("C:")) + rows(QStringLiteral("select * from imanexos")) +
                                rows(QStringLiteral("select * from improd")) + QString::fromLatin1(readFile(r.errorPath).toHex());
            if (form == 0) first = got;
            EXPECT_EQ(got, first);
            compared += form > 0 && r.status == ImportResult::Status::Completed;
        }
    }
    qunsetenv("KALTO_UNIDAD_C");
    EXPECT_EQ(compared, 11);
}

}  // namespace

// The imports from workbooks: the lines a .xlsx or .ods first sheet gives, the workbooks that
// are refused, and import cases of import/ turned into workbooks, which must leave what their
// text files leave.

#include "annexes/AnnexFixture.h"
#include "annexes/Import.h"
#include "annexes/WorkbookLines.h"
#include "core/Drives.h"
#include "core/TextFiles.h"
#include "support/FileBytes.h"

#include <QBuffer>
#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

using namespace kalto;
using namespace kalto::test;

namespace {

QByteArray zipOf(const QList<std::pair<QString, QByteArray>>& entries) {
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

// A .xlsx whose first sheet holds `rows` (its relation listed after the second sheet's).
QByteArray xlsx(const QByteArray& rows, const QByteArray& shared = {}, const QByteArray& styles = {}) {
    const auto rel = [](const char* id, const char* type, const char* target) {
        return QByteArray("<Relationship Id=\"r") + id + "\" Type=\"o/" + type + "\" Target=\"" + target + "\"/>";
    };
    return zipOf({{"_rels/.rels", "<Relationships>" + rel("0", "officeDocument", "/xl/b.xml") + "</Relationships>"},
                  {"xl/b.xml", R"(<workbook xmlns:r="r"><sheets><sheet sheetId="2" r:id="r7"/><sheet r:id="r1"/>)"
                               "</sheets></workbook>"},
                  {"xl/_rels/b.xml.rels", "<Relationships>" + rel("1", "worksheet", "s1.xml") +
                                              rel("7", "worksheet", "s2.xml") + rel("", "sharedStrings", "t.xml") +
                                              rel("", "styles", "st.xml") + "</Relationships>"},
                  {"xl/s1.xml", R"(<worksheet><sheetData><row><c t="b"><v>1</v></c></row></sheetData></worksheet>)"},
                  {"xl/s2.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"},
                  {"xl/t.xml", "<sst>" + shared + "</sst>"},
                  {"xl/st.xml", "<styleSheet>" + styles + "</styleSheet>"}});
}

// An .ods whose first table holds `rows`; `entry` goes into the manifest's entry of content.xml.
QByteArray ods(const QByteArray& rows, const QByteArray& entry = {}, const QByteArray& mime = "spreadsheet") {
    return zipOf({{"mimetype", "application/vnd.oasis.opendocument." + mime},
                  {"META-INF/manifest.xml", "<m:manifest xmlns:m=\"m\"><m:e>" + entry + "</m:e></m:manifest>"},
                  {"content.xml", R"(<o:document-content xmlns:o="o" xmlns:table="t" xmlns:text="x"><o:body>)"
                                  "<o:spreadsheet><table:table>" + rows + "</table:table><table:table><table:table-row>"
                                  "<table:table-cell><text:p>Otra</text:p></table:table-cell></table:table-row>"
                                  "</table:table></o:spreadsheet></o:body></o:document-content>"}});
}

// The lines of a workbook, or its error.
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

// The cases of data/libros.txt, and lines longer than an import reads.
TEST(Workbook, Lines) {
    const QString all = QString::fromUtf8(readFile(KALTO_SOURCE_DIR "/tests/annexes/data/libros.txt"));
    const QStringList cases = all.split(QStringLiteral("\n=== ")).mid(1);
    ASSERT_EQ(cases.size(), 5);
    for (const QString& c : cases) {
        const QStringList sections = c.split(QStringLiteral("\n--- "));
        QHash<QString, QByteArray> part{{QString(), sections[0].section(u'\n', 1).toUtf8()}};
        for (const QString& s : sections.mid(1)) part[s.section(u'\n', 0, 0)] = s.section(u'\n', 1).toUtf8();
        const QString got = linesOf(c.startsWith(u'x') ? xlsx(part[QString()], part["shared"], part["styles"])
                                                       : ods(part[QString()]));
        EXPECT_EQ(got + u'\n', QString::fromUtf8(part["lines"] + (c == cases.last() ? "" : "\n"))) << qPrintable(c);
    }
    EXPECT_EQ(linesOf(xlsx("<row><c t=\"inlineStr\"><is><t>" + QByteArray(100001, 'x') + "</t></is></c></row><row>"
                           "<c t=\"inlineStr\"><is><t>y" + QByteArray(100005, ' ') + "</t></is></c></row>")),
              "LARGO x de 100000\ny de 100000");
}

// Whatever cannot be read as a workbook is refused with a message, no line given.
TEST(Workbook, Refused) {
    QByteArray digits;
    for (int i = 0; i < 3000; ++i) digits += QByteArray::number(i * 7919 % 100003);
    QByteArray corrupt = xlsx("<row><c><v>" + digits + "</v></c></row>");
    corrupt[corrupt.indexOf("xl/s2.xml") + 200] ^= 0x55;
    const QByteArray docx = zipOf({{"_rels/.rels", R"(<Relationships><Relationship Type="o/officeDocument" )"
                                                   R"(Target="d.xml"/></Relationships>)"}, {"d.xml", "<document/>"}});
    const QByteArray sheetless = zipOf({{"_rels/.rels", R"(<Relationships><Relationship Type="o/officeDocument" )"
                                                        R"(Target="b.xml"/></Relationships>)"}, {"b.xml", "<workbook><sheets/></workbook>"}});
    const QString row = "<table:table-row table:number-rows-repeated=\"%1\"><table:table-cell><text:p>x</text:p>"
                           "</table:table-cell></table:table-row>";
    const struct {
        QByteArray book;
        const char* message;
    } cases[] = {
        {"E,84713001\r\n", "El archivo libro.xlsx no es un libro de cálculo que se pueda importar (.xlsx u .ods)."},
        {QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(600, '\0'), "formato antiguo de Excel (.xls)"},
        {xlsx("<row>").left(300), "El libro libro.xlsx está dañado"},
        {xlsx("<row><c><v>1</v></row>"), "su parte xl/s2.xml no se pudo leer."},
        {corrupt, "su parte xl/s2.xml no se pudo leer."},
        {ods(row.arg(1).toUtf8(), "<m:encryption-data/>"), "está protegido con contraseña (cifrado)"},
        {ods(row.arg(1).toUtf8(), {}, "text"), "no es un libro de cálculo"},
        {docx, "no es un libro de cálculo"},
        {sheetless, "El libro libro.xlsx no tiene ninguna hoja."},
        {ods(row.arg(1048577).toUtf8()), "La primera hoja del libro libro.xlsx pasa de 1,048,576 renglones."},
    };
    for (const auto& c : cases) EXPECT_TRUE(linesOf(c.book).contains(QString::fromUtf8(c.message))) << c.message;
}

// A sheet of the lines' fields as a spreadsheet reads them from a text file: a number written
// as the text file holds it is stored as a number, any other field as a text.
QByteArray bookOf(const QStringList& lines, bool asOds) {
    QByteArray rows, shared;
    for (qsizetype i = 0, strings = 0; i < lines.size(); ++i) {
        rows += asOds ? "<table:table-row>" : "<row r=\"" + QByteArray::number(i + 1) + "\">";
        static const QRegularExpression field(R"((?:^|,)("(?:[^"]|"")*"(?=,|$)|[^,]*))");
        QStringList fields;
        for (const QRegularExpressionMatch& m : field.globalMatch(lines[i])) {
            const QString f = m.captured(1);
            fields << (f.startsWith(u'"') ? f.mid(1, f.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""))
                                          : f);
        }
        for (qsizetype j = 0; j < fields.size() && !lines[i].isEmpty(); ++j) {
            bool ok = false;
            const bool number = cellNumber(fields[j].toDouble(&ok)) == fields[j] && ok;
            QByteArray value = fields[j].toHtmlEscaped().toUtf8();
            for (char c = 0; c < 9; ++c) value.replace(QByteArray(1, c), "_x000" + QByteArray::number(c) + "_");
            const QByteArray ref = " r=\"" + QByteArray(1, char('A' + j)) + QByteArray::number(i + 1) + "\"";
            if (asOds)
                rows += "<table:table-cell o:value-type=" + (number ? "\"float\" o:value=\"" + value : "\"string") +
                        "\"><text:p>" + value + "</text:p></table:table-cell>";
            else
                rows += "<c" + ref + (number ? "><v>" + value : " t=\"s\"><v>" + QByteArray::number(strings++)) +
                        "</v></c>";
            if (!number) shared += "<si><t xml:space=\"preserve\">" + value + "</t></si>";
        }
        rows += asOds ? "</table:table-row>" : "</row>";
    }
    return asOds ? ods(rows) : xlsx(rows, shared);
}

class WorkbookImport : public AnnexFixture {};

// Import cases of import/, as text files and as workbooks, leave the same summary, rows and
// error file (as a sheet holds them: no empty fields at the end of a line, no empty lines at
// the end of the file). The text file is read before a workbook, a .xlsx before an .ods.
TEST_F(WorkbookImport, SameAsTheTextFiles) {
    int compared = 0;
    for (const char* name : {"anexo-descripciones", "anexo-errores", "prod-errores", "prod-negativos-y-decimales"}) {
        const QDir dir(QStringLiteral(KALTO_SOURCE_DIR "/tests/annexes/import/") + QLatin1String(name));
        const QString input = QLatin1String(name).startsWith(QLatin1String("prod")) ? "prod" : "anexo";
        QStringList lines = decodeText(readFile(dir.filePath(input + ".csv"))).split(u'\n');
        for (QString& line : lines)
            while (line.endsWith(u',')) line.chop(1);
        while (lines.last().isEmpty()) lines.removeLast();
        QString first;
        for (const char* form : {".csv", ".xlsx", ".ods"}) {
            if (form[1] == 'o' && lines.join(QString()).contains(QChar(1))) continue;  // no .ods holds it
            SCOPED_TRACE(name + std::string(form));
            QTemporaryDir drive;
            qputenv("KALTO_UNIDAD_C", drive.path().toLocal8Bit());
            exec(QStringLiteral("delete from imanexos"));
            exec(QStringLiteral("delete from improd"));
            ASSERT_TRUE(writeFile(drive.filePath(input + form), form[1] == 'c' ? lines.join("\r\n").toUtf8()
                                                                                : bookOf(lines, form[1] == 'o')));
            if (form[1] != 'o') writeFile(drive.filePath(input + (form[1] == 'c' ? ".xlsx" : ".ods")), "no leido");
            const Drives drives(folder.path());
            const ImportResult r = input == "prod" ? importProducts(db, drives) : importAnnexes(db, drives);
            const QString got = r.summary().replace(drive.path(), QStringLiteral("C:")) +
                                rows("select * from imanexos") + rows("select * from improd") +
                                QString::fromLatin1(readFile(r.errorPath).toHex());
            if (form[1] == 'c') first = got;
            EXPECT_EQ(got, first);
            compared += form[1] != 'c' && r.status == ImportResult::Status::Completed;
        }
    }
    qunsetenv("KALTO_UNIDAD_C");
    EXPECT_EQ(compared, 7);
}

}  // namespace

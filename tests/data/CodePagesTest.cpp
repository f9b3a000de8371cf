// Code pages: the characters each one holds and refuses, how a table names its own, and text read
// and written in it through a table (checked by an independent reader where one is installed).

#include "data/Dbf.h"
#include "data/DbfTestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using namespace kalto;
using namespace kalto::dbf;
using namespace kalto::test;

TEST(CodePages, EachPageHoldsItsOwnCharactersEveryByteReadsBackAndOthersAreRefused) {
    struct Case { DbfCodePage page; QString text; QByteArray bytes; QString foreign; };
    const QList<Case> cases = {
        {DbfCodePage::Windows1252, QStringLiteral("€ŠŸÑ\u0081"), "\x80\x8A\x9F\xD1\x81", QStringLiteral("Ω")},
        {DbfCodePage::Windows1252, QStringLiteral("ÿ"), "\xFF", QString(QChar(0x80))},  // a C1 control is not the byte 0x80
        {DbfCodePage::Dos437, QStringLiteral("Ñ¢ƒ░α"), "\xA5\x9B\x9F\xB0\xE0", QStringLiteral("ø")},
        {DbfCodePage::Dos850, QStringLiteral("ÑøÁ¤Ó"), "\xA5\x9B\xB5\xCF\xE0", QStringLiteral("α")},
        {DbfCodePage::Latin1, QStringLiteral("\u0080Ñ"), "\x80\xD1", QStringLiteral("€")},
        {DbfCodePage::Utf8, QStringLiteral("Ñandú😀"), "\xC3\x91" "and\xC3\xBA\xF0\x9F\x98\x80", QString(QChar(0xD800))},
    };
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i) all[i] = char(i);
    for (const Case& c : cases) {
        QByteArray out;
        QString error;
        EXPECT_EQ(decodeText(c.page, c.bytes.constData(), int(c.bytes.size())), c.text);
        EXPECT_TRUE(encodeText(c.page, c.text, &out, &error) && out == c.bytes) << error.toStdString();
        const QString unicode = decodeText(c.page, all.constData(), 256);
        EXPECT_TRUE(c.page == DbfCodePage::Utf8 || (encodeText(c.page, unicode, &out, &error) && out == all));
        out = "sin tocar";
        EXPECT_FALSE(encodeText(c.page, QStringLiteral("a") + c.foreign, &out, &error));
        EXPECT_TRUE(error.contains(u'«' + c.foreign + u'»') && error.contains(codePageName(c.page)) && out == "sin tocar")
            << error.toStdString();
    }
}

// A table's code page: its driver byte, or a .cpg file beside it, which takes precedence. Text is
// read and written in it; a code page this program cannot read is refused, naming the file that
// declares it.
TEST(CodePages, ATableIsReadAndWrittenInTheCodePageItsDriverByteOrCpgFileNames) {
    const DbfCodePage w1252 = DbfCodePage::Windows1252, d437 = DbfCodePage::Dos437, d850 = DbfCodePage::Dos850,
                      latin1 = DbfCodePage::Latin1, utf8 = DbfCodePage::Utf8;
    const QList<std::tuple<char, QByteArray, DbfCodePage>> cases = {  // driver byte, .cpg file, the code page
        {0x01, {}, d437}, {0x1B, {}, d437}, {0x02, {}, d850}, {0x37, {}, d850}, {0x00, {}, w1252}, {0x57, {}, w1252},
        {0x59, {}, w1252}, {0x03, "850", d850}, {0x01, "ANSI 1252", w1252}, {0x03, "OEM 437", d437}, {0x03, "MS-DOS 437", d437},
        {0x00, "UTF-8\r\n", utf8}, {0x00, "\xEF\xBB\xBF" "65001", utf8}, {0x00, "ISO-8859-1", latin1}, {0x00, "8859_1", latin1},
        {0x00, "cp850", d850}};
    const QStringList encodings = {"cp1252", "cp437", "cp850", "latin-1", "utf-8"};  // by code page, as dbfread is told
    const QString stored = QStringLiteral("AÑO pingüino"), typed = QStringLiteral("Ñandú");
    QTemporaryDir dir;
    QStringList written;
    for (int i = 0; i < cases.size(); ++i) {
        const auto& [driver, cpg, page] = cases[i];
        QByteArray bytes, typedBytes;
        ASSERT_TRUE(encodeText(page, stored, &bytes, nullptr) && encodeText(page, typed, &typedBytes, nullptr));
        const QString path = dir.filePath(QStringLiteral("T%1.DBF").arg(i));
        writeFile(path, rawTable({{"NOMBRE", 'C', 20}}, {' ' + left(bytes, 20)}, -1, driver));
        if (!cpg.isEmpty()) writeFile(dir.filePath(QStringLiteral("T%1.Cpg").arg(i)), cpg);
        QString error;
        auto t = DbfTable::open(path, &error);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_TRUE(t->codePage() == page && t->value(0, 0).toString() == stored) << i;
        ASSERT_TRUE(t->append({typed}, nullptr, &error)) << error.toStdString();
        EXPECT_EQ(readFile(path).mid(65 + 21, 21), ' ' + left(typedBytes, 20)) << i;
        written << path + u'=' + encodings[int(page)];
    }
    for (const QJsonValue& read : dbfread(written))
        EXPECT_EQ(records(read), (QJsonArray{QJsonArray{stored}, QJsonArray{typed}}));

    const QString path = dir.filePath(QStringLiteral("TABLA.DBF")), cpg = dir.filePath(QStringLiteral("TABLA.CPG"));
    for (const auto& [driver, declared, named] : {std::tuple{'\x26', "", "0x26"}, {'\xC9', "", "0xC9"},
                                                  {'\x03', "KOI8-R", "«KOI8-R»"}, {'\x03', "1251", "«1251»"}}) {
        writeFile(path, rawTable({{"NOMBRE", 'C', 20}}, {}, -1, driver));
        if (*declared) writeFile(cpg, declared);
        QString error;
        EXPECT_FALSE(DbfTable::open(path, &error));
        EXPECT_TRUE(error.contains(*declared ? cpg : path) && error.contains(QString::fromUtf8(named))) << error.toStdString();
    }
}

// Tables written by other programs: the code page they declare (language-driver byte or a .cpg file
// beside them), and headers whose length disagrees with their fields. The files are also read by an
// independent reader (Debian's python3-dbfread) where one is installed.

#include "data/Dbf.h"
#include "data/DbfTestFiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kalto;
using namespace kalto::test;

namespace {

struct CodePageCase {
    char language;       // byte 29
    QByteArray cpg;      // contents of TABLA.cpg; none when empty
    QByteArray stored;   // "AÑO año Él pingüino" as the file holds it
    QString encoding;    // what dbfread must be told (it reads no .cpg and takes 0 for ASCII)
    QByteArray written;  // "Ñandú" as an insert must store it
    QString foreign;     // a character the code page cannot hold (none when empty)
};

const QByteArray kDos = "A\xA5O a\xA4o \x90l ping\x81ino";
const QByteArray kAnsi = "A\xD1O a\xF1o \xC9l ping\xFCino";

}  // namespace

// Text is read in the code page the file declares and inserts are written in it; a character that
// code page cannot hold is refused, naming it, and nothing is written. Another code page is refused.
TEST(DbfCodePages, TextIsReadAndWrittenInTheDeclaredCodePage) {
    const QList<CodePageCase> cases = {
        {0x01, {}, kDos, {}, "\xA5" "and\xA3", QStringLiteral("€")},
        {0x02, {}, kDos, {}, "\xA5" "and\xA3", QStringLiteral("€")},
        {0x03, {}, kAnsi, {}, "\xD1" "and\xFA", QStringLiteral("Ω")},
        {0x57, {}, kAnsi, {}, "\xD1" "and\xFA", QStringLiteral("Ω")},
        {0x00, {}, kAnsi, QStringLiteral("cp1252"), "\xD1" "and\xFA", QStringLiteral("Ω")},
        {0x00, "UTF-8\r\n", "A\xC3\x91O a\xC3\xB1o \xC3\x89l ping\xC3\xBCino", QStringLiteral("utf-8"),
         "\xC3\x91" "and\xC3\xBA", {}},
        {0x03, "850", kDos, QStringLiteral("cp850"), "\xA5" "and\xA3", QStringLiteral("€")},
        {0x00, "ISO-8859-1", kAnsi, QStringLiteral("latin-1"), "\xD1" "and\xFA", QStringLiteral("€")},
        {0x00, "1252", kAnsi, QStringLiteral("cp1252"), "\xD1" "and\xFA", QStringLiteral("Ω")},
    };
    const QString text = QStringLiteral("AÑO año Él pingüino");
    QTemporaryDir dir;
    QStringList written;
    for (int i = 0; i < cases.size(); ++i) {
        const CodePageCase& c = cases[i];
        SCOPED_TRACE(i);
        const QString path = dir.filePath(QStringLiteral("T%1/TABLA.DBF").arg(i));
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("T%1").arg(i)));
        writeFile(path, rawTable({{"NOMBRE", 'C', 30}}, {' ' + left(c.stored, 30)}, -1, c.language));
        if (!c.cpg.isEmpty()) writeFile(QFileInfo(path).dir().filePath(QStringLiteral("TABLA.cpg")), c.cpg);
        QString error;
        auto t = DbfTable::open(path, &error);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_EQ(t->value(0, 0).toString(), text);

        ASSERT_TRUE(t->append({QStringLiteral("Ñandú")}, nullptr, &error)) << error.toStdString();
        EXPECT_EQ(readFile(path).mid(32 * 2 + 1 + 31 + 1, 30), left(c.written, 30));
        if (!c.foreign.isEmpty()) {
            const QByteArray before = readFile(path);
            EXPECT_FALSE(t->append({QStringLiteral("x") + c.foreign}, nullptr, &error));
            EXPECT_TRUE(error.contains(QStringLiteral("«%1»").arg(c.foreign)) && error.contains(QStringLiteral("NOMBRE")))
                << error.toStdString();
            EXPECT_FALSE(t->update(0, {c.foreign}, &error));
            EXPECT_EQ(readFile(path), before);
        }
        ASSERT_TRUE(t->update(0, {text}, &error)) << error.toStdString();
        EXPECT_EQ(readFile(path).mid(32 * 2 + 1 + 1, 30), left(c.stored, 30));
        t = DbfTable::open(path, &error);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_EQ(t->record(1), QVariantList{QStringLiteral("Ñandú")});
        written << path + (c.encoding.isEmpty() ? QString() : u'=' + c.encoding);
    }
    const QJsonArray other = dbfread(written);
    for (const QJsonValue& read : other) EXPECT_EQ(records(read), (QJsonArray{QJsonArray{text}, QJsonArray{QStringLiteral("Ñandú")}}));

    const QString path = dir.filePath(QStringLiteral("TABLA.DBF"));
    writeFile(path, rawTable({{"NOMBRE", 'C', 30}}, {' ' + left("\xC0\xC1", 30)}, -1, char(0xC9)));
    QString error;
    EXPECT_FALSE(DbfTable::open(path, &error));
    EXPECT_TRUE(error.contains(path) && error.contains(QStringLiteral("0xC9"))) << error.toStdString();
    writeFile(path, rawTable({{"NOMBRE", 'C', 30}}, {' ' + left("abc", 30)}, -1, 0x03));
    writeFile(dir.filePath(QStringLiteral("TABLA.CPG")), "KOI8-R");
    EXPECT_FALSE(DbfTable::open(path, &error));
    EXPECT_TRUE(error.contains(dir.filePath(QStringLiteral("TABLA.CPG"))) && error.contains(QStringLiteral("KOI8-R")))
        << error.toStdString();
}

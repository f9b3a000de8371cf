// The lines of an import file read a piece at a time, against the whole file decoded at once.

#include "annexes/ImportText.h"

#include <QBuffer>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace kalto;

namespace {

struct Read {
    QStringList lines;
    QList<ImportReader::Step> steps;
    qint64 counted = 0;
};

Read readAll(const QByteArray& bytes, qsizetype piece) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ImportReader reader(buffer, bytes.size(), QStringLiteral("anexo.csv"), piece);
    Read out;
    EXPECT_EQ(reader.scan(), ImportReader::Step::End);
    out.counted = reader.lineCount();
    QString line;
    for (ImportReader::Step s; (s = reader.next(&line)) != ImportReader::Step::End;) {
        out.steps << s;
        out.lines << line;
    }
    return out;
}

// The reference: the whole file decoded at once, split at its line ends.
QStringList wholeLines(const QByteArray& bytes) {
    const QString text = decodeText(bytes);
    if (text.isEmpty()) return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) lines.removeLast();
    return lines;
}

}  // namespace

// Random files of line ends, end-of-file marks, byte-order marks, accents in UTF-8 and in
// Windows-1252, accents written apart and cut sequences, read in pieces of 1 to 7 bytes.
TEST(ImportReader, LinesAsTheWholeFileGivesThem) {
    static const char* const parts[] = {"a", " ", "\r", "\n", "\r\n", "\x1A", "\xC3\xB3", "\xF3", "\xE2\x9C\x93",
                                        "o\xCC\x81", "\xEF\xBB\xBF", "\xC3", "\0", "E,84713001"};
    static const char* const marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    QRandomGenerator random(20261207);
    for (int n = 0; n < 3000; ++n) {
        QByteArray bytes = marks[random.bounded(4)];
        const int count = random.bounded(12);
        for (int i = 0; i < count; ++i) {
            const int p = random.bounded(int(std::size(parts)));
            bytes += p == 12 ? QByteArray(1, '\0') : QByteArray(parts[p]);
        }
        const Read read = readAll(bytes, 1 + random.bounded(7));
        const QStringList expected = wholeLines(bytes);
        ASSERT_EQ(read.lines, expected) << bytes.toHex(' ').toStdString();
        ASSERT_EQ(read.counted, expected.size()) << bytes.toHex(' ').toStdString();
        ASSERT_FALSE(read.steps.contains(ImportReader::Step::LongLine));
    }
}

// A line keeps its first characters; what follows them only matters when it is not blanks
// (the end-of-file mark at the very end of the file aside).
TEST(ImportReader, LongLinesKeepTheirBeginning) {
    const QByteArray head = "C " + QByteArray(ImportReader::kMaxLine - 2, 'x');
    const QByteArray blanks(300000, ' ');
    const struct {
        QByteArray bytes;
        QList<ImportReader::Step> steps;
    } cases[] = {
        {head + "\nE,1\n", {ImportReader::Step::Line, ImportReader::Step::Line}},
        {head + "y\nE,1", {ImportReader::Step::LongLine, ImportReader::Step::Line}},
        {head + blanks + "\x1A", {ImportReader::Step::Line}},
        {head + blanks + "\x1A\r\n", {ImportReader::Step::LongLine}},
        {head + blanks + "y" + blanks + "\r\n", {ImportReader::Step::LongLine}},
    };
    for (const auto& c : cases) {
        const Read read = readAll(c.bytes, 4096);
        EXPECT_EQ(read.steps, c.steps);
        EXPECT_EQ(read.counted, c.steps.size());
        EXPECT_EQ(read.lines.value(0), QString::fromLatin1(head));
    }
}

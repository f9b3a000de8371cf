// The lines of an import file read a piece at a time, against the whole file decoded at once.

#include "annexes/ImportText.h"

#include <QBuffer>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace kalto;
using Step = ImportReader::Step;

namespace {

// The lines and how each was read, then the lines the first pass counted.
std::pair<QList<std::pair<Step, QString>>, qint64> readAll(const QByteArray& bytes, qsizetype piece) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ImportReader reader(buffer, bytes.size(), QStringLiteral("anexo.csv"), piece);
    EXPECT_EQ(reader.scan(), Step::End);
    QList<std::pair<Step, QString>> lines;
    QString line;
    for (Step s; (s = reader.next(&line)) != Step::End;) lines.append({s, line});
    return {lines, reader.lineCount()};
}

}  // namespace

// Random files of line ends, end-of-file marks, byte-order marks, accents in UTF-8 and in
// Windows-1252, accents written apart and cut sequences, read in pieces of 1 to 7 bytes.
TEST(ImportReader, LinesAsTheWholeFileGivesThem) {
    static const char* const parts[] = {"a",          " ",        "\r",           "\n",        "\r\n",         "\x1A",
                                        "\xC3\xB3",   "\xF3",     "\xE2\x9C\x93", "o\xCC\x81", "\xEF\xBB\xBF", "\xC3",
                                        "E,84713001", "\xFF\xFE", "\xFE\xFF"};
    QRandomGenerator random(20261207);
    for (int n = 0; n < 3000; ++n) {
        QByteArray bytes;
        for (int i = random.bounded(12); i > 0; --i) bytes += parts[random.bounded(int(std::size(parts)))];
        if (n % 3 == 0) bytes.replace('a', '\0');
        const QString text = decodeText(bytes);
        QList<std::pair<Step, QString>> expected;
        for (const QString& l : text.split(QLatin1Char('\n'))) expected.append({Step::Line, l});
        if (text.isEmpty() || text.endsWith(QLatin1Char('\n'))) expected.removeLast();
        const auto [lines, counted] = readAll(bytes, 1 + random.bounded(7));
        ASSERT_EQ(lines, expected) << bytes.toHex(' ').toStdString();
        ASSERT_EQ(counted, expected.size()) << bytes.toHex(' ').toStdString();
    }
}

// A line keeps its first characters; what follows them only matters when it is not blanks
// (the end-of-file mark at the very end of the file aside).
TEST(ImportReader, LongLinesKeepTheirBeginning) {
    const QByteArray head = "C " + QByteArray(ImportReader::kMaxLine - 2, 'x');
    const QByteArray blanks(300000, ' ');
    const std::pair<QByteArray, QList<Step>> cases[] = {
        {head + "\nE,1\n", {Step::Line, Step::Line}},
        {head + "y\nE,1", {Step::LongLine, Step::Line}},
        {head + blanks + "\x1A", {Step::Line}},
        {head + blanks + "\x1A\r\n", {Step::LongLine}},
    };
    for (const auto& [bytes, steps] : cases) {
        const auto [lines, counted] = readAll(bytes, 4096);
        ASSERT_EQ(lines.size(), steps.size());
        EXPECT_EQ(lines[0], std::pair(steps[0], QString::fromLatin1(head)));
        EXPECT_EQ(lines.back().first, steps.back());
        EXPECT_EQ(counted, steps.size());
    }
}

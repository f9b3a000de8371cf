#pragma once
// The text files of the imports: the lines of an input file (Windows-1252 or UTF-8, with or
// without a byte-order mark, lines ended by CRLF, LF or CR), read one at a time, and the lines
// of an error file (Windows-1252, every line ended by CRLF).

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <functional>

#include "core/TextFiles.h"

class QIODevice;

namespace kalto {

// Where the lines of an import come from, one at a time, in two passes: `scan` reads the whole
// source through (checking it and counting its lines), then `next` gives the lines from the
// first. A line keeps at most kMaxLine characters: when more follow that are not blanks, the
// line is given as LongLine (its first kMaxLine characters).
class LineSource {
public:
    static constexpr qsizetype kMaxLine = 100000;  // characters kept of one line

    enum class Step {
        Line,      // *line is the next line
        LongLine,  // *line is the beginning of a line longer than kMaxLine
        End,       // no more lines
        Stopped,   // `tick` said stop
        Failed     // the source could not be read: error()
    };
    // Called now and then while a pass reads; false stops the pass. The first pass tells the
    // lines counted so far.
    using Tick = std::function<bool()>;
    using ScanTick = std::function<bool(qint64 lines)>;

    virtual ~LineSource() = default;
    // The first pass. End when the whole source was read.
    virtual Step scan(const ScanTick& tick = {}) = 0;
    virtual qint64 lineCount() const = 0;
    // The next line, from the first on (after scan).
    virtual Step next(QString* line, const Tick& tick = {}) = 0;
    // Why the source could not be read (naming it).
    virtual QString error() const = 0;
};

// Reads the lines of an import file as decodeText (core/TextFiles.h) reads the whole file,
// holding no more than a piece of the file and one line at a time. Two passes: `scan` finds
// the encoding (UTF-8 only when the file is valid UTF-8 throughout) and counts the lines,
// then `next` gives them one by one from the start.
class ImportReader : public LineSource {
public:
    static constexpr qsizetype kPiece = 256 * 1024;  // bytes read at a time

    // Reads `size` bytes of `device` (open, seekable, at its start); `name` is how messages
    // name the file.
    ImportReader(QIODevice& device, qint64 size, const QString& name, qsizetype piece = kPiece);

    // The first pass. End when the whole file was read.
    Step scan(const ScanTick& tick = {}) override;
    qint64 lineCount() const override { return lines_; }

    // The next line, from the first on (after scan). Before each piece of the file after the
    // first is read, `tick` is called.
    Step next(QString* line, const Tick& tick = {}) override;

    // Why the file could not be read (naming it).
    QString error() const override { return error_; }

private:
    enum class Encoding { Utf8, Cp1252, Utf16LE, Utf16BE };
    // Counts lines as decodeText splits them, from the units of the text one by one.
    struct LineCount {
        qint64 breaks = 0;
        qint64 units = 0;
        char16_t last = 0, beforeLast = 0;
        bool cr = false;
        template <typename Unit>
        void add(const Unit* p, qsizetype n);
        qint64 lines() const;
    };

    bool start(Step* failed);                            // at the beginning of the text
    qsizetype readPiece(QByteArray* into, Step* failed);  // -1 on failure, 0 at the end
    bool decodePiece(Step* failed);                       // the next piece into text_
    void appendRun(qsizetype from, qsizetype to);
    Step endOfLine(QString* line);

    QIODevice& device_;
    const qint64 size_;
    const QString name_;
    const qsizetype piece_;
    Encoding encoding_ = Encoding::Utf8;
    qint64 bom_ = 0;
    qint64 left_ = 0;  // bytes of the file not read yet
    qint64 lines_ = 0;
    QString error_;
    bool firstPiece_ = true;

    // The second pass.
    QByteArray bytes_;
    QString text_;  // the decoded piece
    qsizetype pos_ = 0;
    QStringDecoder decoder_;
    QString line_;
    bool inLine_ = false;           // the current line has a character
    bool cr_ = false;               // the last line ended with CR (a LF right after is part of it)
    bool longLine_ = false;         // characters past kMaxLine that are not blanks
    bool tailSub_ = false;          // the last character past kMaxLine was the end-of-file mark
    bool tail_ = false;             // the line has characters past kMaxLine
};

// The line of an error file: in Windows-1252, followed by CRLF. A character Windows-1252
// cannot hold (only possible in a value read from a UTF-8 file, whose message names it) is
// written as '?'.
QByteArray errorFileLine(const QString& line);

// "U+2713": how the messages name a character that cannot be stored.
QString characterCode(char32_t c);
// The first character of `text` that Windows-1252 cannot hold; 0 when there is none.
char32_t firstNonCp1252(const QString& text);

}  // namespace kalto

#include "annexes/ImportText.h"

#include "core/Drives.h"
#include "data/Dbf.h"

#include <QDir>
#include <QIODevice>

#include <cerrno>

namespace kalto {

namespace {

// Whether Windows-1252 holds the code point `c`.
bool inCp1252(char32_t c) {
    if (c < 0x80) return true;
    if (c > 0xFFFF) return false;
    QByteArray ignored;
    return toCp1252(QString(QChar(char16_t(c))), &ignored, nullptr);
}

constexpr char16_t kEndOfFile = 0x1A;  // the DOS end-of-file mark

bool isLineEnd(char16_t c) { return c == u'\n' || c == u'\r'; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading the lines

template <typename Unit>
void ImportReader::LineCount::add(const Unit* p, qsizetype n) {
    auto unit = [&](qsizetype i) { return char16_t(static_cast<std::make_unsigned_t<Unit>>(p[i])); };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = unit(i);
        if (c == u'\n') {
            if (!cr) ++breaks;
            cr = false;
        } else {
            if (c == u'\r') ++breaks;
            cr = c == u'\r';
        }
    }
    if (n <= 0) return;
    beforeLast = n > 1 ? unit(n - 2) : last;
    last = unit(n - 1);
    units += n;
}

qint64 ImportReader::LineCount::lines() const {
    // The end-of-file mark at the very end is not part of the text; a final line end begins
    // no line.
    const bool mark = units > 0 && last == kEndOfFile;
    const qint64 n = units - (mark ? 1 : 0);
    const char16_t end = mark ? beforeLast : last;
    if (n == 0) return 0;
    return breaks + (isLineEnd(end) ? 0 : 1);
}

ImportReader::ImportReader(QIODevice& device, qint64 size, const QString& name, qsizetype piece)
    : device_(device), size_(size), name_(name), piece_(piece) {}

qsizetype ImportReader::readPiece(QByteArray* into, Step* failed) {
    const qsizetype want = qsizetype(qMin<qint64>(piece_, left_));
    into->resize(want);
    qsizetype got = 0;
    while (got < want) {
        errno = 0;
        const qint64 n = device_.read(into->data() + got, want - got);
        if (n < 0) {
            const int e = errno;
            error_ = QStringLiteral("No se pudo leer el archivo %1: %2.")
                         .arg(QDir::toNativeSeparators(name_), driveErrorReason(e != 0 ? e : EIO));
            *failed = Step::Failed;
            return -1;
        }
        if (n == 0) break;  // the file became shorter: what was there is read
        got += n;
    }
    into->resize(got);
    left_ = got < want ? 0 : left_ - got;
    return got;
}

bool ImportReader::start(Step* failed) {
    if (!device_.seek(bom_)) {
        error_ = QStringLiteral("No se pudo leer el archivo %1.").arg(QDir::toNativeSeparators(name_));
        *failed = Step::Failed;
        return false;
    }
    left_ = size_ - bom_;
    firstPiece_ = true;
    return true;
}

ImportReader::Step ImportReader::scan(const ScanTick& tick) {
    Step failed = Step::Failed;
    // The byte-order mark decides UTF-16; UTF-8 is kept only if the whole file is valid UTF-8.
    bom_ = 0;
    if (!start(&failed)) return failed;
    QByteArray head;
    const qsizetype headSize = qsizetype(qMin<qint64>(3, size_));
    head.resize(headSize);
    if (headSize > 0 && device_.read(head.data(), headSize) != headSize) head.clear();
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        encoding_ = head.startsWith("\xFF\xFE") ? Encoding::Utf16LE : Encoding::Utf16BE;
        bom_ = 2;
    } else {
        encoding_ = Encoding::Utf8;
        bom_ = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    }
    if (!start(&failed)) return failed;

    const bool utf16 = encoding_ != Encoding::Utf8;
    QStringDecoder check(encoding_ == Encoding::Utf16LE   ? QStringDecoder::Utf16LE
                         : encoding_ == Encoding::Utf16BE ? QStringDecoder::Utf16BE
                                                          : QStringDecoder::Utf8);
    LineCount chars, bytes;
    QString decoded;
    for (;;) {
        if (!firstPiece_ && left_ > 0 && tick && !tick(utf16 ? chars.breaks : bytes.breaks)) return Step::Stopped;
        const qsizetype n = readPiece(&bytes_, &failed);
        if (n < 0) return failed;
        if (n == 0) break;
        firstPiece_ = false;
        decoded.resize(check.requiredSpace(n));
        const QChar* end = check.appendToBuffer(decoded.data(), bytes_);
        chars.add(reinterpret_cast<const char16_t*>(decoded.constData()), end - decoded.constData());
        // Windows-1252 holds one character per byte; its line ends are the same bytes.
        if (!utf16) bytes.add(bytes_.constData(), n);
    }
    if (!utf16) {
        // A sequence left unfinished at the end makes the file no UTF-8 either.
        QChar rest[8];
        check.appendToBuffer(rest, QByteArrayView("\n", 1));
        if (check.hasError()) encoding_ = Encoding::Cp1252;
    }
    lines_ = encoding_ == Encoding::Cp1252 ? bytes.lines() : chars.lines();

    // Ready for the lines.
    if (!start(&failed)) return failed;
    text_.clear();
    pos_ = 0;
    if (encoding_ != Encoding::Cp1252)
        decoder_ = QStringDecoder(encoding_ == Encoding::Utf16LE   ? QStringDecoder::Utf16LE
                                  : encoding_ == Encoding::Utf16BE ? QStringDecoder::Utf16BE
                                                                   : QStringDecoder::Utf8);
    line_.clear();
    inLine_ = cr_ = longLine_ = tailSub_ = tail_ = false;
    return Step::End;
}

bool ImportReader::decodePiece(Step* failed) {
    const qsizetype n = readPiece(&bytes_, failed);
    if (n < 0) return false;
    firstPiece_ = false;
    if (encoding_ == Encoding::Cp1252) {
        text_ = fromCp1252(bytes_.constData(), int(n));
    } else {
        text_.resize(decoder_.requiredSpace(n));
        const QChar* end = decoder_.appendToBuffer(text_.data(), bytes_);
        text_.truncate(end - text_.constData());
    }
    pos_ = 0;
    return true;
}

void ImportReader::appendRun(qsizetype from, qsizetype to) {
    inLine_ = true;
    const qsizetype room = qMax<qsizetype>(0, kMaxLine - line_.size());
    const qsizetype kept = qMin(room, to - from);
    line_.append(text_.constData() + from, kept);
    // What does not fit is only looked at: blanks at the end of a line change nothing.
    for (qsizetype i = from + kept; i < to; ++i) {
        const QChar c = text_.at(i);
        tail_ = true;
        if (tailSub_) longLine_ = true;
        tailSub_ = c.unicode() == kEndOfFile;
        if (!tailSub_ && !c.isSpace()) longLine_ = true;
    }
}

ImportReader::Step ImportReader::endOfLine(QString* line) {
    const Step step = longLine_ || tailSub_ ? Step::LongLine : Step::Line;
    // Accents written apart from their letters are joined to them.
    if (line) *line = line_.normalized(QString::NormalizationForm_C);
    line_.resize(0);
    inLine_ = longLine_ = tailSub_ = tail_ = false;
    return step;
}

ImportReader::Step ImportReader::next(QString* line, const Tick& tick) {
    for (;;) {
        const auto* d = reinterpret_cast<const char16_t*>(text_.constData());
        const qsizetype size = text_.size();
        while (pos_ < size) {
            const char16_t c = d[pos_];
            if (cr_) {
                cr_ = false;
                if (c == u'\n') {
                    ++pos_;
                    continue;
                }
            }
            if (isLineEnd(c)) {
                cr_ = c == u'\r';
                ++pos_;
                return endOfLine(line);
            }
            qsizetype end = pos_ + 1;
            while (end < size && !isLineEnd(d[end])) ++end;
            appendRun(pos_, end);
            pos_ = end;
        }
        if (left_ == 0) {
            if (!inLine_) return Step::End;
            // The end-of-file mark at the very end of the file is not part of the text.
            if (tail_)
                tailSub_ = false;
            else if (line_.endsWith(QChar(kEndOfFile)))
                line_.chop(1);
            if (!tail_ && line_.isEmpty()) {
                inLine_ = false;
                return Step::End;
            }
            return endOfLine(line);
        }
        if (!firstPiece_ && tick && !tick()) return Step::Stopped;
        Step failed = Step::Failed;
        if (!decodePiece(&failed)) return failed;
    }
}

// ---------------------------------------------------------------------------------------------
// The error file

QByteArray errorFileLine(const QString& line) {
    QByteArray bytes;
    if (!toCp1252(line, &bytes, nullptr)) {
        bytes.clear();
        for (const char32_t c : line.toUcs4()) {
            QByteArray one;
            if (c <= 0xFFFF && toCp1252(QString(QChar(char16_t(c))), &one, nullptr))
                bytes += one;
            else
                bytes += '?';
        }
    }
    bytes += "\r\n";
    return bytes;
}

QString characterCode(char32_t c) {
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

char32_t firstNonCp1252(const QString& text) {
    QByteArray ignored;
    if (toCp1252(text, &ignored, nullptr)) return 0;
    for (const char32_t c : text.toUcs4())
        if (!inCp1252(c)) return c;
    return 0;
}

}  // namespace kalto

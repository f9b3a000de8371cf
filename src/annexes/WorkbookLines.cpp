#include "annexes/WorkbookLines.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QIODevice>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <cmath>

namespace kalto {

namespace {

using Token = QXmlStreamReader::TokenType;

constexpr qint64 kChunk = 64 * 1024;            // compressed part bytes handed to the parser at a time
constexpr qint64 kMaxSharedChars = 50000000;    // characters of the shared texts of a .xlsx
constexpr qsizetype kMaxLine = LineSource::kMaxLine;

const QString kVerdadero = QStringLiteral("VERDADERO");
const QString kFalso = QStringLiteral("FALSO");

// A text of at most kMaxLine characters, and one more when what did not fit holds a character
// that is not a blank: enough to tell a line that is too long from one padded with blanks.
class Capped {
public:
    void add(QStringView s) {
        const qsizetype room = kMaxLine - text_.size();
        if (room >= s.size()) {
            text_ += s;
            return;
        }
        if (room > 0) {
            text_ += s.left(room);
            s = s.mid(room);
        }
        if (text_.size() > kMaxLine) return;
        for (const QChar c : s)
            if (!c.isSpace()) {
                text_ += c;
                return;
            }
    }
    void add(QChar c, qint64 times) {
        if (times <= 0) return;
        const qint64 room = kMaxLine - text_.size();
        text_.append(QString(qsizetype(qMin(times, qMax<qint64>(room, 0))), c));
        if (times > room && !c.isSpace() && text_.size() == kMaxLine) text_ += c;
    }
    const QString& text() const { return text_; }

private:
    QString text_;
};

// A number format: for a date or a time, its code; for a format of zeros only (00000000), how
// many digits it pads an integer to; for a format that names true and false ("SI";"SI";"NO"),
// the names.
struct Style {
    QString date;
    int zeros = 0;
    QString yes, no;

    static Style of(const QString& date, int zeros = 0, const QString& yes = {}, const QString& no = {}) {
        Style s;
        s.date = date;
        s.zeros = zeros;
        s.yes = yes;
        s.no = no;
        return s;
    }
};

Style styleOfFormat(int id, const QString& code) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return Style::of(id == 15 ? QStringLiteral("d-mmm-yy") : id == 16 ? QStringLiteral("d-mmm")
                         : id == 17 ? QStringLiteral("mmm-yy") : QStringLiteral("dd/mm/yyyy"));
    static const QHash<int, QString> times{{18, QStringLiteral("h:mm AM/PM")}, {19, QStringLiteral("h:mm:ss AM/PM")},
                                           {20, QStringLiteral("h:mm")}, {21, QStringLiteral("h:mm:ss")},
                                           {22, QStringLiteral("dd/mm/yyyy h:mm")}, {45, QStringLiteral("mm:ss")},
                                           {46, QStringLiteral("[h]:mm:ss")}, {47, QStringLiteral("mm:ss")}};
    if (times.contains(id)) return Style::of(times.value(id));
    if (code.size() > 1 && code.count(QLatin1Char('0')) == code.size()) return Style::of(QString(), int(code.size()));
    static const QRegularExpression names(QStringLiteral("^\"([^\"]*)\";\"[^\"]*\";\"([^\"]*)\"$"));
    if (const auto m = names.match(code); m.hasMatch()) return Style::of(QString(), 0, m.captured(1), m.captured(2));
    // The letters of a date or time, outside quoted texts, escaped characters and [colours].
    bool date = false;
    for (qsizetype i = 0; i < code.size() && !date; ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('"'))
            i = code.indexOf(QLatin1Char('"'), i + 1) < 0 ? code.size() : code.indexOf(QLatin1Char('"'), i + 1);
        else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*'))
            ++i;
        else if (c == QLatin1Char('[') && !QStringLiteral("hms").contains(code.mid(i + 1, 1).toLower()))
            i = code.indexOf(QLatin1Char(']'), i) < 0 ? code.size() : code.indexOf(QLatin1Char(']'), i);
        else
            date = QStringLiteral("ymdhs").contains(c.toLower());
    }
    return Style::of(date ? code : QString());
}

// A date and time as the format `code` shows it (its first section): y, m, d, h, s (m is the
// minutes after h or before s), [h] [m] [s] the hours, minutes or seconds elapsed, AM/PM and
// A/P, quoted texts and escaped characters as they are; months and days named in Spanish.
QString shownDate(const QString& code, const QDateTime& when, qint64 elapsed) {
    static const QLocale spanish(QLocale::Spanish, QLocale::Mexico);
    const QDate date = when.date();
    const QTime time = when.time();
    const bool twelve = code.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive) ||
                        code.contains(QLatin1String("A/P"), Qt::CaseInsensitive);
    auto two = [](int n, qsizetype width) {
        return QStringLiteral("%1").arg(n, width > 1 ? 2 : 1, 10, QLatin1Char('0'));
    };
    QString out;
    QChar last;
    for (qsizetype i = 0; i < code.size() && code.at(i) != QLatin1Char(';'); ++i) {
        const QChar c = code.at(i), l = c.toLower();
        const qsizetype close = code.indexOf(c == QLatin1Char('"') ? QLatin1Char('"') : QLatin1Char(']'), i + 1);
        if (c == QLatin1Char('"') || c == QLatin1Char('[')) {
            const QString inside = code.mid(i + 1, (close < 0 ? code.size() : close) - i - 1);
            const QChar unit = inside.isEmpty() ? QChar() : inside.at(0).toLower();
            if (c == QLatin1Char('"'))
                out += inside;
            else if (unit == QLatin1Char('h') || unit == QLatin1Char('m') || unit == QLatin1Char('s'))
                out += two(int(elapsed / (unit == QLatin1Char('h') ? 3600 : unit == QLatin1Char('m') ? 60 : 1)),
                           inside.size()),
                    last = unit;
            i = close < 0 ? code.size() : close;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            if (++i < code.size() && c != QLatin1Char('*')) out += c == QLatin1Char('_') ? QChar(u' ') : code.at(i);
        } else if (code.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0 ||
                   code.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            const bool full = code.at(i + 1) == u'M' || code.at(i + 1) == u'm';
            out += time.hour() < 12 ? (full ? QStringLiteral("AM") : QStringLiteral("A"))
                                    : (full ? QStringLiteral("PM") : QStringLiteral("P"));
            i += full ? 4 : 2;
        } else if (!QStringLiteral("ymdhs").contains(l)) {
            out += c;
        } else {
            qsizetype n = 1;
            while (i + n < code.size() && code.at(i + n).toLower() == l) ++n;
            i += n - 1;
            bool minutes = l == QLatin1Char('m') && last == QLatin1Char('h');
            for (qsizetype j = i + 1; l == QLatin1Char('m') && !minutes && j < code.size(); ++j) {
                if (QStringLiteral("ymdh").contains(code.at(j).toLower())) break;
                minutes = code.at(j).toLower() == QLatin1Char('s');
            }
            if (l == QLatin1Char('y')) out += date.toString(n <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy"));
            if (l == QLatin1Char('d'))
                out += n <= 2 ? two(date.day(), n) : n == 3 ? spanish.dayName(date.dayOfWeek(), QLocale::ShortFormat)
                                                            : spanish.dayName(date.dayOfWeek());
            if (l == QLatin1Char('m') && minutes) out += two(time.minute(), n);
            if (l == QLatin1Char('m') && !minutes)
                out += n <= 2 ? two(date.month(), n) : n == 3 ? spanish.monthName(date.month(), QLocale::ShortFormat)
                                                              : spanish.monthName(date.month());
            if (l == QLatin1Char('h')) out += two(twelve ? (time.hour() + 11) % 12 + 1 : time.hour(), n);
            if (l == QLatin1Char('s')) out += two(time.second(), n);
            last = minutes ? QChar(u'n') : l;
        }
    }
    return out;
}

QString defaultDate(const QDateTime& when) {
    return shownDate(when.time() == QTime(0, 0) ? QStringLiteral("dd/mm/yyyy") : QStringLiteral("dd/mm/yyyy hh:mm:ss"),
                     when, 0);
}

// An ISO 8601 date, with or without its time ("2024-03-05T10:20:30"), as `code` shows it.
QString isoDateText(const QString& iso, const QString& code) {
    const QDate date = QDate::fromString(iso.left(10), Qt::ISODate);
    if (!date.isValid()) return iso;
    const QTime time = iso.size() > 11 ? QTime::fromString(iso.mid(11, 8), Qt::ISODate) : QTime(0, 0);
    const QDateTime when(date, time.isValid() ? time : QTime(0, 0));
    return code.isEmpty() ? defaultDate(when) : shownDate(code, when, 0);
}

// A .xlsx serial date: days since the start of its calendar, the fraction the time of day.
QString serialDateText(double serial, bool from1904, const QString& code) {
    if (!std::isfinite(serial) || serial < 0 || serial > 3000000) return cellNumber(serial);
    const qint64 seconds = std::llround(serial * 86400);
    const QDate base = from1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    const QDateTime when(base.addDays(seconds / 86400), QTime(0, 0).addSecs(int(seconds % 86400)));
    return shownDate(code, when, seconds);
}

// An OpenDocument duration ("PT13H45M00S") as hh:mm:ss.
QString durationText(const QString& iso, const QString& shown) {
    static const QRegularExpression re(QStringLiteral("^-?PT(\\d+)H(\\d+)M(\\d+)(?:[.,]\\d+)?S$"));
    const auto m = re.match(iso);
    if (!m.hasMatch()) return shown;
    return QStringLiteral("%1:%2:%3")
        .arg(m.captured(1).toLongLong(), 2, 10, QLatin1Char('0'))
        .arg(m.captured(2).toInt(), 2, 10, QLatin1Char('0'))
        .arg(m.captured(3).toInt(), 2, 10, QLatin1Char('0'));
}

// The escapes of the texts of a .xlsx: _xHHHH_ is the character of that code.
QString unescaped(const QString& text) {
    if (!text.contains(QLatin1String("_x"))) return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        const bool escape = i + 7 <= text.size() && text.at(i) == QLatin1Char('_') &&
                            text.at(i + 1) == QLatin1Char('x') && text.at(i + 6) == QLatin1Char('_');
        const ushort code = escape ? text.mid(i + 2, 4).toUShort(&ok, 16) : 0;
        if (ok) {
            out += QChar(code);
            i += 6;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

// An integer of at most 15 digits written as cellNumber writes it.
bool plainInteger(const QString& v) {
    const qsizetype sign = v.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (v.size() <= sign || v.size() - sign > 15 || (v.at(sign) == QLatin1Char('0') && v.size() > sign + 1))
        return false;
    for (qsizetype i = sign; i < v.size(); ++i)
        if (v.at(i) < QLatin1Char('0') || v.at(i) > QLatin1Char('9')) return false;
    return v != QLatin1String("-0");
}

// A cell written as a comma-separated text writes it.
QString field(const QString& value) {
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\n')) &&
        !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// One row element of the sheet: the rows it stands for (an .ods row may be repeated) and the
// line each of them is.
struct Row {
    qint64 first = 0;
    qint64 count = 1;
    Capped line;
    qint64 columns = 0;     // columns written to the line
    bool content = false;  // a cell holds something

    // Cell `column` (from 1) holds `value`.
    void cell(qint64 column, const QString& value) {
        if (value.isEmpty()) return;
        if (column <= columns) column = columns + 1;
        line.add(QLatin1Char(','), column - columns - (columns == 0 ? 1 : 0));
        line.add(field(value));
        columns = column;
        content = true;
    }
};

bool isLocal(const QXmlStreamReader& xml, QLatin1StringView name) { return xml.name() == name; }

QString attribute(const QXmlStreamAttributes& attributes, QLatin1StringView name) {
    for (const QXmlStreamAttribute& a : attributes)
        if (a.name() == name) return a.value().toString();
    return {};
}

// A path inside the package: `target` of a relation of a part in `folder`.
QString partPath(const QString& folder, const QString& target) {
    if (target.startsWith(QLatin1Char('/'))) return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(folder.isEmpty() ? target : folder + QLatin1Char('/') + target);
}

}  // namespace

QString cellNumber(double value) {
    if (!std::isfinite(value)) return QString::number(value);
    // What the spreadsheet shows: 15 significant digits, without the binary noise past them.
    const double shown = QString::number(value, 'g', 15).toDouble();
    if (shown == 0) return QStringLiteral("0");
    return QString::number(shown, 'f', QLocale::FloatingPointShortest);
}

bool WorkbookLines::isWorkbook(const QString& path) {
    return path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".ods"), Qt::CaseInsensitive);
}

// ---------------------------------------------------------------------------------------------

struct WorkbookLines::Reader {
    Reader(QIODevice& d, const QString& n) : device(d), name(QDir::toNativeSeparators(n)) {}

    QIODevice& device;
    const QString name;
    QuaZip zip;
    bool ods = false;
    QStringList shared;
    QList<Style> styles;
    bool from1904 = false;
    QString sheet;  // the first sheet's part
    QString error;
    qint64 total = 0;

    // The part being read.
    std::unique_ptr<QuaZipFile> file;
    QString part;
    QXmlStreamReader xml;
    qint64 bytes = 0;
    std::function<bool()> tick;
    bool stopped = false;

    // The rows of the sheet.
    qint64 nextRow = 1;  // the row the next row element stands for, unless it says
    bool inTable = false;
    int depth = 0;
    Row row;
    qint64 given = 0;  // lines given by next

    bool fail(const QString& message) {
        if (error.isEmpty() && !stopped) error = message;
        return false;
    }
    bool damaged() {
        return fail(QStringLiteral("El libro %1 está dañado: su parte %2 no se pudo leer.").arg(name, part));
    }
    bool notWorkbook() {
        return fail(QStringLiteral("El archivo %1 no es un libro de cálculo que se pueda importar (.xlsx u .ods).")
                        .arg(name));
    }
    bool encrypted() {
        return fail(QStringLiteral("El libro %1 está protegido con contraseña (cifrado). Guárdelo sin contraseña "
                                   "para importarlo.")
                        .arg(name));
    }

    bool has(const QString& path) { return zip.setCurrentFile(path, QuaZip::csInsensitive); }

    // Opens the part `path` for its XML.
    bool open(const QString& path) {
        file.reset();
        part = path;
        if (!has(path)) return damaged();
        QuaZipFileInfo64 info;
        if (zip.getCurrentFileInfo(&info) && info.isEncrypted()) return encrypted();
        file = std::make_unique<QuaZipFile>(&zip);
        if (!file->open(QIODevice::ReadOnly)) return damaged();
        xml.clear();
        bytes = 0;
        return true;
    }

    // The next token of the part, the parser fed as it asks; Invalid when the part is damaged,
    // too large, or the tick said stop.
    Token next() {
        for (;;) {
            const Token t = xml.readNext();
            if (t != Token::Invalid) return t;
            if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) return damaged(), t;
            if (bytes > 0 && tick && !tick()) {
                stopped = true;
                return t;
            }
            const QByteArray chunk = file->read(kChunk);
            if (chunk.isEmpty()) return damaged(), t;
            bytes += chunk.size();
            if (bytes > kMaxPartBytes)
                return fail(QStringLiteral("El libro %1 es demasiado grande para importarse: su parte %2 pasa de "
                                           "1,000,000,000 bytes sin comprimir.")
                                .arg(name, part)),
                       t;
            xml.addData(chunk);
        }
    }

    // Reads the part to its end (its checksum too): false when it is damaged.
    bool finish() {
        for (Token t = xml.tokenType(); t != Token::EndDocument; t = next())
            if (t == Token::Invalid && xml.hasError()) return false;
        while (!file->atEnd())
            if (file->read(kChunk).isEmpty()) break;
        file->close();
        if (file->getZipError() != UNZ_OK) return damaged();
        return true;
    }

    // Skips the element just started, with all it holds.
    bool skip() {
        for (int level = 1; level > 0;) {
            const Token t = next();
            if (t == Token::Invalid) return false;
            if (t == Token::StartElement) ++level;
            if (t == Token::EndElement) --level;
        }
        return true;
    }

    // The text of the element just started, without what its `leave` children hold.
    bool text(Capped* out, QLatin1StringView leave = {}) {
        for (int level = 1; level > 0;) {
            const Token t = next();
            if (t == Token::Invalid) return false;
            if (t == Token::StartElement) {
                if (!leave.isEmpty() && isLocal(xml, leave)) {
                    if (!skip()) return false;
                    continue;
                }
                ++level;
            }
            if (t == Token::EndElement) --level;
            if (t == Token::Characters) out->add(xml.text());
        }
        return true;
    }

    // Calls `element` with every element started in the part until it says stop.
    template <typename F>
    bool elements(F element) {
        for (Token t; (t = next()) != Token::EndDocument;) {
            if (t == Token::Invalid) return false;
            if (t == Token::StartElement && !element()) return !xml.hasError() && error.isEmpty();
        }
        return true;
    }

    // ---- What the workbook is.

    bool start() {
        const QByteArray head = device.read(8);
        device.seek(0);
        if (head == QByteArray::fromHex("d0cf11e0a1b11ae1"))
            return fail(QStringLiteral("El archivo %1 está cifrado con contraseña o guardado en el formato antiguo "
                                       "de Excel (.xls). Guárdelo como libro .xlsx sin contraseña para importarlo.")
                            .arg(name));
        zip.setIoDevice(&device);
        zip.setAutoClose(false);
        if (!zip.open(QuaZip::mdUnzip)) {
            if (!head.startsWith("PK")) return notWorkbook();
            part = QStringLiteral("índice del archivo zip");
            return damaged();
        }
        if (has(QStringLiteral("content.xml")) || has(QStringLiteral("mimetype"))) return startOds();
        if (has(QStringLiteral("_rels/.rels"))) return startXlsx();
        return notWorkbook();
    }

    bool startOds() {
        ods = true;
        if (has(QStringLiteral("mimetype"))) {
            QuaZipFile mime(&zip);
            if (!mime.open(QIODevice::ReadOnly)) return notWorkbook();
            if (!mime.read(100).startsWith("application/vnd.oasis.opendocument.spreadsheet")) return notWorkbook();
        }
        if (has(QStringLiteral("META-INF/manifest.xml"))) {
            bool locked = false;
            if (!open(QStringLiteral("META-INF/manifest.xml")) ||
                !elements([&] { return !(locked = isLocal(xml, QLatin1String("encryption-data"))); }))
                return false;
            if (locked) return encrypted();
        }
        sheet = QStringLiteral("content.xml");
        return true;
    }

    // The relations of a part: type (its last word) and id -> target.
    bool relations(const QString& path, const QString& folder, QHash<QString, QString>* byId,
                   QHash<QString, QString>* byType) {
        if (!has(path)) return true;
        if (!open(path)) return false;
        return elements([&] {
            if (isLocal(xml, QLatin1String("Relationship"))) {
                const QString target = partPath(folder, attribute(xml.attributes(), QLatin1String("Target")));
                byId->insert(attribute(xml.attributes(), QLatin1String("Id")), target);
                const QString type = attribute(xml.attributes(), QLatin1String("Type")).section(QLatin1Char('/'), -1);
                if (!byType->contains(type)) byType->insert(type, target);
            }
            return true;
        });
    }

    bool startXlsx() {
        QHash<QString, QString> ids, types;
        if (!relations(QStringLiteral("_rels/.rels"), QString(), &ids, &types)) return false;
        const QString workbook = types.value(QStringLiteral("officeDocument"));
        if (workbook.isEmpty() || !has(workbook)) return notWorkbook();
        const QString folder = workbook.section(QLatin1Char('/'), 0, -2);
        QString sheetId;
        bool isBook = false;
        if (!open(workbook) || !elements([&] {
                if (isLocal(xml, QLatin1String("workbook"))) isBook = true;
                if (!isBook) return false;
                if (isLocal(xml, QLatin1String("workbookPr"))) {
                    const QString v = attribute(xml.attributes(), QLatin1String("date1904"));
                    from1904 = v == QLatin1String("1") || v == QLatin1String("true");
                }
                if (isLocal(xml, QLatin1String("sheet"))) sheetId = attribute(xml.attributes(), QLatin1String("id"));
                return sheetId.isEmpty();
            }))
            return false;
        if (!isBook) return notWorkbook();
        if (sheetId.isEmpty()) return fail(QStringLiteral("El libro %1 no tiene ninguna hoja.").arg(name));
        ids.clear();
        types.clear();
        const QString rels = folder + QStringLiteral("/_rels/") + workbook.section(QLatin1Char('/'), -1) +
                             QStringLiteral(".rels");
        if (!relations(rels, folder, &ids, &types)) return false;
        sheet = ids.value(sheetId);
        if (sheet.isEmpty()) {
            part = rels;
            return damaged();
        }
        const QString styles = types.value(QStringLiteral("styles"));
        const QString strings = types.value(QStringLiteral("sharedStrings"));
        return (styles.isEmpty() || !has(styles) || readStyles(styles)) &&
               (strings.isEmpty() || !has(strings) || readShared(strings));
    }

    bool readStyles(const QString& path) {
        QHash<int, QString> formats;
        bool inXfs = false;
        if (!open(path)) return false;
        for (Token t; (t = next()) != Token::EndDocument;) {
            if (t == Token::Invalid) return false;
            if (t == Token::EndElement && isLocal(xml, QLatin1String("cellXfs"))) inXfs = false;
            if (t != Token::StartElement) continue;
            if (isLocal(xml, QLatin1String("numFmt")))
                formats.insert(attribute(xml.attributes(), QLatin1String("numFmtId")).toInt(),
                               attribute(xml.attributes(), QLatin1String("formatCode")));
            else if (isLocal(xml, QLatin1String("cellXfs")))
                inXfs = true;
            else if (inXfs && isLocal(xml, QLatin1String("xf"))) {
                const int id = attribute(xml.attributes(), QLatin1String("numFmtId")).toInt();
                styles.append(styleOfFormat(id, formats.value(id)));
            }
        }
        return true;
    }

    bool readShared(const QString& path) {
        if (!open(path)) return false;
        qint64 chars = 0;
        return elements([&] {
            if (!isLocal(xml, QLatin1String("si"))) return true;
            Capped s;
            if (!text(&s, QLatin1String("rPh"))) return false;
            shared.append(unescaped(s.text()));
            chars += shared.last().size();
            if (chars > kMaxSharedChars)
                return fail(QStringLiteral("El libro %1 es demasiado grande para importarse: sus textos pasan de "
                                           "50,000,000 caracteres.")
                                .arg(name));
            return true;
        });
    }

    // ---- The rows.

    bool openSheet() {
        nextRow = 1;
        inTable = false;
        depth = 0;
        return open(sheet);
    }

    // The next row element of the sheet into `row`; false at the end of the sheet or when it
    // cannot be read (error, or stopped).
    bool fetch() {
        row = Row();
        for (Token t; (t = next()) != Token::EndDocument;) {
            if (t == Token::Invalid) return false;
            if (ods) {
                if (t == Token::EndElement && inTable && --depth < 0) return false;  // the first table ends
                if (t != Token::StartElement) continue;
                if (!inTable) {
                    inTable = isLocal(xml, QLatin1String("table"));
                } else if (isLocal(xml, QLatin1String("table-row"))) {
                    return odsRow();
                } else {
                    ++depth;
                }
            } else if (t == Token::StartElement && isLocal(xml, QLatin1String("row"))) {
                return xlsxRow();
            }
        }
        return false;
    }

    bool xlsxRow() {
        bool ok = false;
        const qint64 r = attribute(xml.attributes(), QLatin1String("r")).toLongLong(&ok);
        row.first = ok && r >= nextRow ? r : nextRow;
        nextRow = row.first + 1;
        qint64 column = 0;
        for (Token t; (t = next()) != Token::EndElement || !isLocal(xml, QLatin1String("row"));) {
            if (t == Token::Invalid) return false;
            if (t != Token::StartElement) continue;
            if (!isLocal(xml, QLatin1String("c"))) {
                if (!skip()) return false;
                continue;
            }
            const QXmlStreamAttributes a = xml.attributes();
            qint64 c = 0;
            for (const QChar ch : attribute(a, QLatin1String("r"))) {
                if (ch < QLatin1Char('A') || ch > QLatin1Char('Z') || c > 100000) break;
                c = c * 26 + (ch.unicode() - 'A' + 1);
            }
            column = c > column ? c : column + 1;
            const QString type = attribute(a, QLatin1String("t"));
            const Style style = styles.value(attribute(a, QLatin1String("s")).toInt());
            Capped v, inline_;
            for (Token u; (u = next()) != Token::EndElement || !isLocal(xml, QLatin1String("c"));) {
                if (u == Token::Invalid) return false;
                if (u != Token::StartElement) continue;
                const bool value = isLocal(xml, QLatin1String("v"));
                const bool read = value                               ? text(&v)
                                  : isLocal(xml, QLatin1String("is")) ? text(&inline_, QLatin1String("rPh"))
                                                                      : skip();
                if (!read) return false;
            }
            row.cell(column, xlsxValue(type, style, v.text(), inline_.text()));
        }
        return true;
    }

    QString xlsxValue(const QString& type, const Style& style, const QString& v, const QString& inline_) {
        if (type == QLatin1String("s")) return shared.value(v.toInt());
        if (type == QLatin1String("inlineStr")) return unescaped(inline_);
        if (type == QLatin1String("str") || type == QLatin1String("e")) return unescaped(v);
        if (v.isEmpty()) return v;
        if (type == QLatin1String("b")) {
            const bool yes = v == QLatin1String("1") || v == QLatin1String("true");
            return style.yes.isEmpty() ? (yes ? kVerdadero : kFalso) : yes ? style.yes : style.no;
        }
        if (type == QLatin1String("d")) return isoDateText(v, style.date);
        if (style.date.isEmpty() && !style.zeros && plainInteger(v)) return v;  // most numbers of a sheet
        bool ok = false;
        const double number = v.toDouble(&ok);
        if (!ok) return v;
        if (!style.date.isEmpty()) return serialDateText(number, from1904, style.date);
        if (style.zeros > 0 && number >= 0 && number < 1e15 && number == std::floor(number))
            return QStringLiteral("%1").arg(qint64(number), style.zeros, 10, QLatin1Char('0'));
        return cellNumber(number);
    }

    static qint64 repeated(const QXmlStreamAttributes& a, QLatin1StringView name) {
        bool ok = false;
        const qint64 n = attribute(a, name).toLongLong(&ok);
        return ok && n > 1 ? qMin(n, kMaxRows + 1) : 1;
    }

    bool odsRow() {
        row.first = nextRow;
        row.count = repeated(xml.attributes(), QLatin1String("number-rows-repeated"));
        nextRow += row.count;
        qint64 column = 1;
        for (Token t; (t = next()) != Token::EndElement || !isLocal(xml, QLatin1String("table-row"));) {
            if (t == Token::Invalid) return false;
            if (t != Token::StartElement) continue;
            if (!isLocal(xml, QLatin1String("table-cell")) && !isLocal(xml, QLatin1String("covered-table-cell"))) {
                if (!skip()) return false;
                continue;
            }
            const QXmlStreamAttributes a = xml.attributes();
            const qint64 times = repeated(a, QLatin1String("number-columns-repeated"));
            QString value;
            if (!odsCell(a, &value)) return false;
            for (qint64 i = 0; !value.isEmpty() && i < times && row.line.text().size() <= kMaxLine; ++i)
                row.cell(column + i, value);
            column += times;
        }
        return true;
    }

    bool odsCell(const QXmlStreamAttributes& a, QString* value) {
        const QString type = attribute(a, QLatin1String("value-type"));
        const QString number = attribute(a, QLatin1String("value"));
        const QString date = attribute(a, QLatin1String("date-value"));
        const QString time = attribute(a, QLatin1String("time-value"));
        const QString boolean = attribute(a, QLatin1String("boolean-value"));
        const QString string = attribute(a, QLatin1String("string-value"));
        Capped shown;
        int paragraphs = 0;
        for (int level = 1; level > 0;) {
            const Token t = next();
            if (t == Token::Invalid) return false;
            if (t == Token::EndElement) --level;
            if (t == Token::Characters && level > 1) shown.add(xml.text());
            if (t != Token::StartElement) continue;
            if (level == 1 && isLocal(xml, QLatin1String("p"))) {
                if (paragraphs++ > 0) shown.add(QLatin1Char('\n'), 1);
                ++level;
            } else if (level > 1 && isLocal(xml, QLatin1String("s"))) {
                const QString c = attribute(xml.attributes(), QLatin1String("c"));
                shown.add(QLatin1Char(' '), c.isEmpty() ? 1 : c.toLongLong());
                ++level;
            } else if (level > 1 && isLocal(xml, QLatin1String("tab"))) {
                shown.add(QLatin1Char('\t'), 1);
                ++level;
            } else if (level > 1 && isLocal(xml, QLatin1String("line-break"))) {
                shown.add(QLatin1Char('\n'), 1);
                ++level;
            } else if (level > 1 && !isLocal(xml, QLatin1String("annotation")) &&
                       !isLocal(xml, QLatin1String("note"))) {
                ++level;  // a span or a link: its text counts
            } else if (!skip()) {
                return false;
            }
        }
        const QString& text = shown.text();
        if (type == QLatin1String("float") || type == QLatin1String("percentage") ||
            type == QLatin1String("currency")) {
            bool ok = false;
            const double n = number.toDouble(&ok);
            // Digits as shown keep the zeros a format pads the number with.
            bool digits = !text.isEmpty();
            for (const QChar c : text) digits = digits && c.isDigit() && c.unicode() < 128;
            *value = !ok ? text : digits && text.toDouble() == n ? text : cellNumber(n);
        } else if (!text.isEmpty() && (type == QLatin1String("date") || type == QLatin1String("time") ||
                                       type == QLatin1String("boolean"))) {
            *value = text;  // as the sheet shows it
        } else if (type == QLatin1String("date")) {
            *value = isoDateText(date, QString());
        } else if (type == QLatin1String("time")) {
            *value = durationText(time, text);
        } else if (type == QLatin1String("boolean")) {
            *value = boolean == QLatin1String("true") ? kVerdadero : kFalso;
        } else {
            *value = string.isEmpty() ? text : string;
        }
        return true;
    }
};

WorkbookLines::WorkbookLines(QIODevice& device, const QString& name) : d_(std::make_unique<Reader>(device, name)) {}

WorkbookLines::~WorkbookLines() = default;

LineSource::Step WorkbookLines::scan(const ScanTick& tick) {
    Reader& r = *d_;
    r.total = 0;
    if (!r.start() || !r.openSheet()) return Step::Failed;
    r.tick = [&] { return !tick || tick(r.total); };
    while (r.fetch()) {
        if (!r.row.content) continue;
        const qint64 last = r.row.first + r.row.count - 1;
        if (last > kMaxRows)
            return r.fail(QStringLiteral("La primera hoja del libro %1 pasa de 1,048,576 renglones.").arg(r.name)),
                   Step::Failed;
        r.total = qMax(r.total, last);
    }
    r.tick = nullptr;
    if (r.stopped) return Step::Stopped;
    if (!r.error.isEmpty() || !r.finish()) return Step::Failed;
    // Ready for the lines.
    r.given = 0;
    r.row = Row();
    return r.openSheet() ? Step::End : Step::Failed;
}

qint64 WorkbookLines::lineCount() const { return d_->total; }

LineSource::Step WorkbookLines::next(QString* line, const Tick& tick) {
    Reader& r = *d_;
    if (r.given >= r.total) return Step::End;
    const qint64 n = r.given + 1;
    r.tick = tick;
    while (n >= r.row.first + r.row.count) {
        if (!r.fetch()) {
            r.tick = nullptr;
            if (r.stopped) return Step::Stopped;
            if (r.error.isEmpty()) r.damaged();
            return Step::Failed;
        }
    }
    r.tick = nullptr;
    r.given = n;
    if (n < r.row.first) {
        if (line) line->clear();
        return Step::Line;
    }
    QString text = r.row.line.text();
    const bool longLine = text.size() > kMaxLine;
    if (longLine) text.truncate(kMaxLine);
    if (line) *line = text.normalized(QString::NormalizationForm_C);
    return longLine ? Step::LongLine : Step::Line;
}

QString WorkbookLines::error() const { return d_->error; }

}  // namespace kalto

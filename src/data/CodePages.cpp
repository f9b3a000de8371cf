#include "data/CodePages.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QPair>

namespace kalto {

namespace {

// Bytes 0x80-0x9F of Windows-1252. The five bytes the code page leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same number, so that any byte read can be
// written back.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// The byte for `u`, or -1 when Windows-1252 cannot hold it.
int cp1252Byte(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == u)
            return 0x80 + i;
    }
    return -1;
}

// Bytes 0x80-0xFF of the MS-DOS code pages 437 and 850 (0x00-0x7F are ASCII in both).
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80-87
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88-8F
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90-97
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 98-9F
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0-A7
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8-AF
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0-B7
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // B8-BF
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0-C7
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // C8-CF
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0-D7
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // D8-DF
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E0-E7
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // E8-EF
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F0-F7
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // F8-FF
};
constexpr char16_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80-87
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88-8F
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90-97
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  // 98-9F
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0-A7
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8-AF
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // B0-B7
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  // B8-BF
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // C0-C7
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  // C8-CF
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,  // D0-D7
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  // D8-DF
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // E0-E7
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  // E8-EF
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // F0-F7
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,  // F8-FF
};

const char16_t* dosHigh(DbfCodePage page) { return page == DbfCodePage::Dos437 ? kCp437High : kCp850High; }

// The byte for `u` in a single-byte code page, or -1 when the code page cannot hold it.
int codePageByte(DbfCodePage page, char16_t u) {
    if (u < 0x80)
        return u;
    switch (page) {
    case DbfCodePage::Windows1252:
        return cp1252Byte(u);
    case DbfCodePage::Latin1:
        return u <= 0xFF ? u : -1;
    case DbfCodePage::Dos437:
    case DbfCodePage::Dos850: {
        const char16_t* high = dosHigh(page);
        for (int i = 0; i < 128; ++i) {
            if (high[i] == u)
                return 0x80 + i;
        }
        return -1;
    }
    case DbfCodePage::Utf8:
        break;
    }
    return -1;
}

// Encodes `text`; on failure returns the position of the first character it cannot hold.
qsizetype encodeIn(DbfCodePage page, const QString& text, QByteArray* out) {
    if (page == DbfCodePage::Utf8) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            else if (text.at(i).isSurrogate())
                return i;  // half a character: UTF-8 has no bytes for it
        }
        *out = text.toUtf8();
        return -1;
    }
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* p = bytes.data();
    const QChar* s = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = codePageByte(page, s[i].unicode());
        if (b < 0)
            return i;
        p[i] = char(b);
    }
    *out = bytes;
    return -1;
}

QString characterName(const QString& text, qsizetype at) {
    char32_t code = text.at(at).unicode();
    QString shown = text.mid(at, 1);
    if (text.at(at).isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text.at(at), text.at(at + 1));
        shown = text.mid(at, 2);
    }
    return QStringLiteral("«%1» (U+%2)").arg(shown, QString::number(uint(code), 16).toUpper().rightJustified(4, u'0'));
}

}  // namespace

QString codePageName(DbfCodePage page) {
    switch (page) {
    case DbfCodePage::Windows1252: return QStringLiteral("Windows-1252");
    case DbfCodePage::Dos437: return QStringLiteral("MS-DOS 437");
    case DbfCodePage::Dos850: return QStringLiteral("MS-DOS 850");
    case DbfCodePage::Latin1: return QStringLiteral("ISO-8859-1");
    case DbfCodePage::Utf8: return QStringLiteral("UTF-8");
    }
    return {};
}

QString cpgBeside(const QString& path) {
    const QFileInfo info(path);
    const QString base = info.dir().filePath(info.completeBaseName());
    for (const char* suffix : {".cpg", ".CPG", ".Cpg"}) {
        const QString cpg = base + QLatin1String(suffix);
        if (QFileInfo(cpg).isFile())
            return cpg;
    }
    return {};
}

QString fromCp1252(const char* bytes, int length) {
    QString text(qMax(0, length), Qt::Uninitialized);
    QChar* out = text.data();
    for (int i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

bool toCp1252(const QString& text, QByteArray* out, QString* error) {
    return dbf::encodeText(DbfCodePage::Windows1252, text, out, error);
}

namespace dbf {

bool codePageOfDriver(unsigned char driver, DbfCodePage* page) {
    switch (driver) {
    case 0x00: case 0x03: case 0x57: case 0x58: case 0x59:
        *page = DbfCodePage::Windows1252;
        return true;
    case 0x01: case 0x09: case 0x0B: case 0x0D: case 0x0F: case 0x11: case 0x15: case 0x18: case 0x19: case 0x1B:
        *page = DbfCodePage::Dos437;
        return true;
    case 0x02: case 0x0A: case 0x0E: case 0x10: case 0x12: case 0x14: case 0x16: case 0x1A: case 0x1D: case 0x25:
    case 0x37:
        *page = DbfCodePage::Dos850;
        return true;
    default:
        return false;
    }
}

bool codePageOfCpg(QByteArray contents, DbfCodePage* page) {
    if (contents.startsWith("\xEF\xBB\xBF"))
        contents.remove(0, 3);
    QString name = QString::fromLatin1(contents).trimmed().toUpper();
    name.remove(u' ');
    name.remove(u'-');
    name.remove(u'_');
    if (name == u"UTF8" || name == u"65001") {
        *page = DbfCodePage::Utf8;
        return true;
    }
    if (name == u"ISO88591" || name == u"88591" || name == u"LATIN1" || name == u"28591") {
        *page = DbfCodePage::Latin1;
        return true;
    }
    for (const char16_t* prefix : {u"WINDOWS", u"ANSI", u"OEM", u"IBM", u"MSDOS", u"DOS", u"CP"}) {
        if (name.startsWith(QStringView(prefix))) {
            name = name.mid(QStringView(prefix).size());
            break;
        }
    }
    const QList<QPair<QString, DbfCodePage>> numbers = {
        {QStringLiteral("1252"), DbfCodePage::Windows1252},
        {QStringLiteral("850"), DbfCodePage::Dos850},
        {QStringLiteral("437"), DbfCodePage::Dos437},
    };
    for (const auto& [number, p] : numbers) {
        if (name == number) {
            *page = p;
            return true;
        }
    }
    return false;
}

QString decodeText(DbfCodePage page, const char* bytes, int length) {
    switch (page) {
    case DbfCodePage::Windows1252:
        return fromCp1252(bytes, length);
    case DbfCodePage::Latin1:
        return QString::fromLatin1(bytes, length);
    case DbfCodePage::Utf8:
        return QString::fromUtf8(bytes, length);
    case DbfCodePage::Dos437:
    case DbfCodePage::Dos850:
        break;
    }
    const char16_t* high = dosHigh(page);
    QString text(qMax(0, length), Qt::Uninitialized);
    QChar* out = text.data();
    for (int i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(b >= 0x80 ? high[b - 0x80] : char16_t(b));
    }
    return text;
}

bool encodeText(DbfCodePage page, const QString& text, QByteArray* out, QString* error) {
    QByteArray bytes;
    qsizetype bad = encodeIn(page, text, &bytes);
    QString normal;
    if (bad >= 0) {
        // Text pasted from elsewhere may hold a letter and its accent as two characters.
        normal = text.normalized(QString::NormalizationForm_C);
        bad = encodeIn(page, normal, &bytes);
    }
    if (bad >= 0) {
        if (!error)
            return false;
        if (page == DbfCodePage::Windows1252)
            *error = QStringLiteral("El carácter %1 no existe en Windows-1252, el juego de caracteres de las tablas.")
                         .arg(characterName(normal, bad));
        else
            *error = QStringLiteral("El carácter %1 no existe en %2, el juego de caracteres de este archivo.")
                         .arg(characterName(normal, bad), codePageName(page));
        return false;
    }
    if (out)
        *out = bytes;
    return true;
}

}  // namespace dbf
}  // namespace kalto

// The dBase table codec: values in and out, damaged files, repairs, packing, the integer
// index, and a check of the files by an independent reader.

#include "data/Dbf.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalto;

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

quint32 u32(const QByteArray& b, int at) {
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16 |
           quint32(quint8(b[at + 3])) << 24;
}
int u16(const QByteArray& b, int at) { return quint8(b[at]) | quint8(b[at + 1]) << 8; }

// Field images: text padded on the right, numbers on the left.
QByteArray left(const QByteArray& s, int width) { return s + QByteArray(width - s.size(), ' '); }
QByteArray right(const QByteArray& s, int width) { return QByteArray(width - s.size(), ' ') + s; }

// A table file assembled byte by byte, without the codec, so that the reader is tested
// against the layout itself.
struct RawField {
    QByteArray name;
    char type;
    int width;
    int decimals = 0;
};

QByteArray rawTable(const QList<RawField>& fields, const QList<QByteArray>& records, int countInHeader = -1) {
    int recordLength = 1;
    for (const RawField& f : fields)
        recordLength += f.width;
    const int headerLength = 32 * (int(fields.size()) + 1) + 1;
    QByteArray b(headerLength, '\0');
    b[0] = 0x03;
    b[1] = char(124);
    b[2] = 5;
    b[3] = 17;
    const quint32 count = countInHeader < 0 ? quint32(records.size()) : quint32(countInHeader);
    for (int i = 0; i < 4; ++i)
        b[4 + i] = char((count >> (8 * i)) & 0xFF);
    b[8] = char(headerLength & 0xFF);
    b[9] = char(headerLength >> 8);
    b[10] = char(recordLength & 0xFF);
    b[11] = char(recordLength >> 8);
    b[29] = 0x03;
    for (int i = 0; i < fields.size(); ++i) {
        const int d = 32 + 32 * i;
        for (int k = 0; k < fields[i].name.size() && k < 11; ++k)
            b[d + k] = fields[i].name[k];
        b[d + 11] = fields[i].type;
        b[d + 16] = char(fields[i].width);
        b[d + 17] = char(fields[i].decimals);
    }
    b[headerLength - 1] = 0x0D;
    for (const QByteArray& r : records) {
        if (r.size() != recordLength)
            ADD_FAILURE() << "record of " << r.size() << " bytes in a table of " << recordLength;
        b += r;
    }
    b += '\x1A';
    return b;
}

QList<DbfField> sampleFields() {
    return {{"NOMBRE", DbfType::Character, 20, 0}, {"CODIGO", DbfType::Numeric, 6, 0},
            {"MONTO", DbfType::Numeric, 10, 2},    {"ACTIVO", DbfType::Logical, 1, 0},
            {"FECHA", DbfType::Date, 8, 0}};
}

class Dbf : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path(const QString& name = QStringLiteral("TABLA.DBF")) const { return dir_.filePath(name); }

    std::unique_ptr<DbfTable> createSample(const QString& file = QStringLiteral("TABLA.DBF")) {
        QString error;
        EXPECT_TRUE(DbfTable::create(path(file), sampleFields(), &error)) << error.toStdString();
        auto t = DbfTable::open(path(file), &error);
        EXPECT_TRUE(t) << error.toStdString();
        return t;
    }

    QTemporaryDir dir_;
};

// Sets the immutable flag on a file (which stops even root from writing it) for its lifetime.
class Immutable {
public:
    explicit Immutable(const QString& path) : path_(QFile::encodeName(path)) { set_ = change(true); }
    ~Immutable() {
        if (set_)
            change(false);
    }
    bool isSet() const { return set_; }

private:
    bool change(bool on) {
        const int fd = ::open(path_.constData(), O_RDONLY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }
    QByteArray path_;
    bool set_ = false;
};

}  // namespace

// -------------------------------------------------------------------------------------------------

TEST(DbfCp1252, EveryByteRoundTripsAndForeignCharactersAreNamed) {
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QString unicode = fromCp1252(all.constData(), int(all.size()));
    ASSERT_EQ(unicode.size(), 256);
    EXPECT_EQ(unicode.at(0x80), QChar(0x20AC));  // €
    EXPECT_EQ(unicode.at(0x8A), QChar(0x0160));  // Š
    EXPECT_EQ(unicode.at(0x9F), QChar(0x0178));  // Ÿ
    EXPECT_EQ(unicode.at(0xD1), QChar(0x00D1));  // Ñ
    QByteArray back;
    QString error;
    ASSERT_TRUE(toCp1252(unicode, &back, &error)) << error.toStdString();
    EXPECT_EQ(back, all);

    // A letter and its accent typed as two characters are stored as the one letter.
    ASSERT_TRUE(toCp1252(QStringLiteral("N\u0303o\u0301"), &back, &error));
    EXPECT_EQ(back, QByteArray("\xD1\xF3"));

    back = "sin cambio";
    EXPECT_FALSE(toCp1252(QStringLiteral("Ωmega"), &back, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("«Ω»"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("U+03A9"))) << error.toStdString();
    EXPECT_EQ(back, QByteArray("sin cambio"));
    EXPECT_FALSE(toCp1252(QStringLiteral("ok \U0001F600"), &back, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("U+1F600"))) << error.toStdString();
    // The C1 controls that stand for bytes 0x80-0x9F other than the five unassigned ones
    // are not Windows-1252.
    EXPECT_FALSE(toCp1252(QString(QChar(0x0080)), &back, &error));
}

TEST_F(Dbf, CreateWritesADbase3HeaderAndRefusesBadDescriptors) {
    QString error;
    ASSERT_TRUE(DbfTable::create(path(), sampleFields(), &error)) << error.toStdString();
    const QByteArray b = readFile(path());
    ASSERT_EQ(b.size(), 32 * 6 + 1 + 1);
    EXPECT_EQ(quint8(b[0]), 0x03);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(quint8(b[1]), today.year() - 1900);
    EXPECT_EQ(quint8(b[2]), today.month());
    EXPECT_EQ(quint8(b[3]), today.day());
    EXPECT_EQ(u32(b, 4), 0u);
    EXPECT_EQ(u16(b, 8), 32 * 6 + 1);
    EXPECT_EQ(u16(b, 10), 1 + 20 + 6 + 10 + 1 + 8);
    EXPECT_EQ(quint8(b[29]), 0x03);
    EXPECT_EQ(b[30], '\0');
    EXPECT_EQ(b[31], '\0');
    EXPECT_EQ(b.mid(32, 11), QByteArray("NOMBRE\0\0\0\0\0", 11));
    EXPECT_EQ(b[32 + 11], 'C');
    EXPECT_EQ(quint8(b[32 + 16]), 20);
    EXPECT_EQ(b[64 + 11], 'N');
    EXPECT_EQ(quint8(b[96 + 17]), 2);
    EXPECT_EQ(b[32 * 6], '\x0D');
    EXPECT_EQ(b[32 * 6 + 1], '\x1A');

    const QList<QList<DbfField>> bad = {
        {},
        {{"NOMBRELARGO", DbfType::Character, 5, 0}},
        {{"AÑO", DbfType::Numeric, 4, 0}},
        {{"X", DbfType::Character, 255, 0}},
        {{"X", DbfType::Character, 0, 0}},
        {{"X", DbfType::Numeric, 5, 4}},
        {{"X", DbfType::Date, 6, 0}},
        {{"X", DbfType::Logical, 2, 0}},
        {{"X", DbfType::Character, 5, 0}, {"x", DbfType::Numeric, 5, 0}},
    };
    const QByteArray before = readFile(path());
    for (const auto& fields : bad) {
        error.clear();
        EXPECT_FALSE(DbfTable::create(path(), fields, &error));
        EXPECT_TRUE(error.startsWith(QStringLiteral("No se pudo crear la tabla ") + path())) << error.toStdString();
    }
    EXPECT_EQ(readFile(path()), before);  // a refused table leaves the old file alone
    EXPECT_FALSE(QFile::exists(path() + ".tmp"));
}

TEST_F(Dbf, EveryTypeRoundTripsThroughTheFile) {
    auto t = createSample();
    ASSERT_TRUE(t);
    const QList<QVariantList> rows = {
        {QStringLiteral("Ñandú García €"), 12, 1234.56, true, QDate(2024, 2, 29)},
        {QStringLiteral(" con blanco inicial"), -7, -12.5, false, QDate(1999, 12, 31)},
        {QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {QString(), QString(), QStringLiteral("  "), QString(), QString()},
        {QStringLiteral("ÁÉÍÓÚ áéíóú ü ¿¡"), QStringLiteral(" 42 "), QStringLiteral("  12.5 "), QStringLiteral("S"),
         QStringLiteral("2001-09-11")},
        {QStringLiteral("12345678901234567890"), 999999, 9999999.99, QStringLiteral("N"), QStringLiteral("20000101")},
    };
    for (int i = 0; i < rows.size(); ++i) {
        int recno = -1;
        QString error;
        ASSERT_TRUE(t->append(rows[i], &recno, &error)) << i << ": " << error.toStdString();
        EXPECT_EQ(recno, i);
    }
    t.reset();

    QString error;
    t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t) << error.toStdString();
    ASSERT_EQ(t->recordCount(), rows.size());
    EXPECT_EQ(t->deletedCount(), 0);

    EXPECT_EQ(t->value(0, 0), QVariant(QStringLiteral("Ñandú García €")));
    EXPECT_EQ(t->value(0, 1).typeId(), QMetaType::LongLong);
    EXPECT_EQ(t->value(0, 1).toLongLong(), 12);
    EXPECT_EQ(t->value(0, 2).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(t->value(0, 2).toDouble(), 1234.56);
    EXPECT_EQ(t->value(0, 3), QVariant(true));
    EXPECT_EQ(t->value(0, 4), QVariant(QDate(2024, 2, 29)));

    EXPECT_EQ(t->value(1, 0).toString(), QStringLiteral(" con blanco inicial"));
    EXPECT_EQ(t->value(1, 1).toLongLong(), -7);
    EXPECT_DOUBLE_EQ(t->value(1, 2).toDouble(), -12.5);
    EXPECT_EQ(t->value(1, 3), QVariant(false));

    for (int row : {2, 3}) {
        EXPECT_FALSE(t->value(row, 0).isValid()) << row;
        EXPECT_FALSE(t->value(row, 1).isValid()) << row;
        EXPECT_FALSE(t->value(row, 2).isValid()) << row;
        EXPECT_EQ(t->value(row, 3), QVariant(false)) << row;  // a NULL logical is stored as F
        EXPECT_FALSE(t->value(row, 4).isValid()) << row;
    }

    EXPECT_EQ(t->value(4, 0).toString(), QStringLiteral("ÁÉÍÓÚ áéíóú ü ¿¡"));
    EXPECT_EQ(t->value(4, 1).toLongLong(), 42);
    EXPECT_DOUBLE_EQ(t->value(4, 2).toDouble(), 12.5);
    EXPECT_EQ(t->value(4, 3), QVariant(true));
    EXPECT_EQ(t->value(4, 4), QVariant(QDate(2001, 9, 11)));
    EXPECT_EQ(t->record(5), (QVariantList{QStringLiteral("12345678901234567890"), qint64(999999), 9999999.99, false,
                                          QDate(2000, 1, 1)}));

    // The bytes: Windows-1252 text padded with blanks, numbers right-aligned with a point.
    const QByteArray b = readFile(path());
    const int header = 32 * 6 + 1, length = 46;
    EXPECT_EQ(u32(b, 4), 6u);
    EXPECT_EQ(b.size(), header + 6 * length + 1);
    EXPECT_EQ(b.mid(header, length), " " + left("\xD1" "and\xFA Garc\xED" "a \x80", 20) + right("12", 6) +
                                         right("1234.56", 10) + "T" + "20240229");
    EXPECT_EQ(b.mid(header + length, length),
              " " + left(" con blanco inicial", 20) + right("-7", 6) + right("-12.50", 10) + "F" + "19991231");
    EXPECT_EQ(b.mid(header + 2 * length, length), QByteArray(" ") + QByteArray(36, ' ') + "F" + QByteArray(8, ' '));
    EXPECT_EQ(b.back(), '\x1A');
}

TEST_F(Dbf, NumbersAreRoundedHalfAwayFromZeroWithAPointWhateverTheLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QString error;
    ASSERT_TRUE(DbfTable::create(path(), {{"ENTERO", DbfType::Numeric, 8, 0}, {"DEC", DbfType::Numeric, 8, 2}}, &error));
    auto t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    struct Case {
        QVariant whole, fraction;
        QByteArray wholeImage, fractionImage;
    };
    const QList<Case> cases = {
        {2.5, 0.125, "3", "0.13"},
        {-2.5, -0.125, "-3", "-0.13"},
        {2.4999, 2.675, "2", "2.68"},  // 2.675 is rounded as written, not as held in binary
        {QStringLiteral("7.5"), QStringLiteral("1.005"), "8", "1.01"},
        {QStringLiteral("-0.4"), QStringLiteral("-0.004"), "0", "0.00"},
        {qint64(-9999999), 99999.994, "-9999999", "99999.99"},
        {true, QStringLiteral("+3"), "1", "3.00"},
        {QStringLiteral(" 12345678 "), -9999.5, "12345678", "-9999.50"},
    };
    for (const Case& c : cases) {
        int recno = -1;
        ASSERT_TRUE(t->append({c.whole, c.fraction}, &recno, &error)) << c.fractionImage.data() << ": " << error.toStdString();
        const QByteArray b = readFile(path());
        EXPECT_EQ(b.mid(32 * 3 + 1 + recno * 17 + 1, 16), right(c.wholeImage, 8) + right(c.fractionImage, 8))
            << c.fractionImage.data();
    }
    QLocale::setDefault(before);
}

TEST_F(Dbf, ValuesThatDoNotFitAreRefusedAndNothingIsWritten) {
    auto t = createSample();
    ASSERT_TRUE(t);
    QString error;
    ASSERT_TRUE(t->append({QStringLiteral("primero"), 1, 1.0, true, QDate(2020, 1, 1)}, nullptr, &error));
    const QByteArray before = readFile(path());
    const quint64 changes = t->changeCount();

    struct Case {
        QVariantList values;
        QString field;  // the message names the field ...
        QString detail; // ... and what is wrong
    };
    const QList<Case> cases = {
        {{QString(21, u'x')}, "NOMBRE", "21 caracteres"},
        {{QStringLiteral("Ωmega")}, "NOMBRE", "U+03A9"},
        {{QStringLiteral("ok"), 1234567}, "CODIGO", "1234567"},
        {{QStringLiteral("ok"), 999999.5}, "CODIGO", "no cabe"},  // rounds to 7 digits
        {{QStringLiteral("ok"), QStringLiteral("12a")}, "CODIGO", "«12a» no es un número"},
        {{QStringLiteral("ok"), QStringLiteral("1,5")}, "CODIGO", "no es un número"},
        {{QStringLiteral("ok"), 1, 12345678.9}, "MONTO", "no cabe"},
        {{QStringLiteral("ok"), 1, std::numeric_limits<double>::quiet_NaN()}, "MONTO", "no es un número"},
        {{QStringLiteral("ok"), 1, QDate(2020, 1, 1)}, "MONTO", "no es un número"},
        {{QStringLiteral("ok"), 1, 1, QStringLiteral("quizá")}, "ACTIVO", "«quizá»"},
        {{QStringLiteral("ok"), 1, 1, true, QStringLiteral("2023-02-29")}, "FECHA", "2023-02-29"},
        {{QStringLiteral("ok"), 1, 1, true, QStringLiteral("31/12/2020")}, "FECHA", "no es una fecha"},
        {{QStringLiteral("ok"), 1, 1, true, 20200101}, "FECHA", "no es una fecha"},
        {{1, 2, 3, 4, 5, 6}, "6 valores", "5 campos"},
    };
    for (const Case& c : cases) {
        error.clear();
        int recno = 77;
        EXPECT_FALSE(t->append(c.values, &recno, &error)) << c.detail.toStdString();
        EXPECT_TRUE(error.contains(c.field)) << error.toStdString();
        EXPECT_TRUE(error.contains(c.detail)) << error.toStdString();
        EXPECT_EQ(recno, 77);
        error.clear();
        EXPECT_FALSE(t->update(0, c.values, &error)) << c.detail.toStdString();
        EXPECT_TRUE(error.contains(c.field)) << error.toStdString();
    }
    EXPECT_EQ(readFile(path()), before);
    EXPECT_EQ(t->recordCount(), 1);
    EXPECT_EQ(t->changeCount(), changes);
    EXPECT_EQ(t->value(0, 0).toString(), QStringLiteral("primero"));

    // Trailing blanks are not part of the value, so they never make a text too long.
    EXPECT_TRUE(t->append({QString(20, u'y') + QStringLiteral("   ")}, nullptr, &error)) << error.toStdString();

    // Records that do not exist or are deleted are not written.
    EXPECT_FALSE(t->update(5, {}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no existe")));
    ASSERT_TRUE(t->remove(0, &error));
    EXPECT_FALSE(t->update(0, {QStringLiteral("x")}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("borrado")));
    EXPECT_FALSE(t->remove(0, &error));
    EXPECT_FALSE(t->remove(-1, &error));
}

TEST_F(Dbf, LogicalsAndDatesAcceptTheUsualSpellings) {
    QString error;
    ASSERT_TRUE(DbfTable::create(path(), {{"SINO", DbfType::Logical, 1, 0}, {"DIA", DbfType::Date, 8, 0}}, &error));
    auto t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    const QList<QPair<QVariant, bool>> logicals = {
        {true, true},           {false, false},         {1, true},          {0, false},
        {-1, true},             {QStringLiteral("T"), true}, {QStringLiteral("f"), false},
        {QStringLiteral("S"), true}, {QStringLiteral("n"), false}, {QStringLiteral("true"), true},
        {QStringLiteral("No"), false}, {QStringLiteral("Sí"), true}, {QVariant(), false},
    };
    for (const auto& [v, expected] : logicals) {
        int recno = -1;
        ASSERT_TRUE(t->append({v}, &recno, &error)) << v.toString().toStdString();
        EXPECT_EQ(t->value(recno, 0), QVariant(expected)) << v.toString().toStdString();
    }
    const QList<QPair<QVariant, QDate>> dates = {
        {QDate(2024, 12, 1), QDate(2024, 12, 1)},
        {QDateTime(QDate(2010, 3, 4), QTime(23, 59)), QDate(2010, 3, 4)},
        {QStringLiteral(" 1985-07-09 "), QDate(1985, 7, 9)},
        {QStringLiteral("19850709"), QDate(1985, 7, 9)},
        {QDate(), QDate()},
    };
    for (const auto& [v, expected] : dates) {
        int recno = -1;
        ASSERT_TRUE(t->append({false, v}, &recno, &error)) << v.toString().toStdString();
        EXPECT_EQ(t->value(recno, 1).toDate(), expected) << v.toString().toStdString();
        EXPECT_EQ(t->value(recno, 1).isValid(), expected.isValid());
    }
}

TEST_F(Dbf, ReadsTheValuesOtherProgramsWrite) {
    const QList<RawField> fields = {{"TEXTO", 'C', 6}, {"ENTERO", 'N', 5}, {"REAL", 'N', 7, 2}, {"SINO", 'L', 1},
                                    {"DIA", 'D', 8}};
    const QList<QByteArray> records = {
        QByteArray(" ") + "  ab  " + "  -12" + "  -1.50" + "y" + "20240131",
        QByteArray(" ") + "      " + "     " + "       " + "?" + "        ",
        QByteArray(" ") + QByteArray("x\0\0\0\0\0", 6) + "*****" + "*******" + " " + "20241331",
        QByteArray(" ") + "\x80\xD1\xE9   " + " 12.5" + "   3,25" + "t" + "2024  01",
        QByteArray(" ") + "abcdef" + "1e3  " + "  -    " + "N" + "00000000",
        QByteArray("*") + "borra " + "    9" + "       " + "f" + "        ",
        QByteArray(" ") + "   z  " + "+0007" + "   .5  " + "Q" + "19000101",
    };
    writeFile(path(), rawTable(fields, records));
    QString error;
    auto t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t) << error.toStdString();
    ASSERT_EQ(t->recordCount(), 7);
    EXPECT_EQ(t->deletedCount(), 1);
    EXPECT_TRUE(t->isDeleted(5));
    EXPECT_FALSE(t->isDeleted(0));

    EXPECT_EQ(t->record(0), (QVariantList{QStringLiteral("  ab"), qint64(-12), -1.5, true, QDate(2024, 1, 31)}));
    for (int f = 0; f < 5; ++f)  // blanks are NULL, and so is '?'
        EXPECT_FALSE(t->value(1, f).isValid()) << f;
    EXPECT_EQ(t->value(2, 0).toString(), QStringLiteral("x"));  // NUL padding is not text
    EXPECT_FALSE(t->value(2, 1).isValid());                      // asterisks: the number did not fit
    EXPECT_FALSE(t->value(2, 2).isValid());
    EXPECT_FALSE(t->value(2, 3).isValid());
    EXPECT_FALSE(t->value(2, 4).isValid());  // month 13
    EXPECT_EQ(t->value(3, 0).toString(), QStringLiteral("€Ñé"));
    EXPECT_EQ(t->value(3, 1).typeId(), QMetaType::Double);  // a fraction in a field without decimals
    EXPECT_DOUBLE_EQ(t->value(3, 1).toDouble(), 12.5);
    EXPECT_DOUBLE_EQ(t->value(3, 2).toDouble(), 3.25);
    EXPECT_EQ(t->value(3, 3), QVariant(true));
    EXPECT_FALSE(t->value(3, 4).isValid());
    EXPECT_FALSE(t->value(4, 1).isValid());  // not a plain number
    EXPECT_FALSE(t->value(4, 2).isValid());
    EXPECT_EQ(t->value(4, 3), QVariant(false));
    EXPECT_FALSE(t->value(4, 4).isValid());
    EXPECT_EQ(t->value(5, 0).toString(), QStringLiteral("borra"));  // deleted records still read
    EXPECT_EQ(t->value(6, 0).toString(), QStringLiteral("   z"));
    EXPECT_EQ(t->value(6, 1), QVariant(qint64(7)));
    EXPECT_DOUBLE_EQ(t->value(6, 2).toDouble(), 0.5);
    EXPECT_FALSE(t->value(6, 3).isValid());
    EXPECT_EQ(t->value(6, 4), QVariant(QDate(1900, 1, 1)));

    EXPECT_FALSE(t->value(7, 0).isValid());
    EXPECT_FALSE(t->value(-1, 0).isValid());
    EXPECT_FALSE(t->value(0, 5).isValid());
    EXPECT_EQ(t->fieldIndex(QStringLiteral("sino")), 3);
    EXPECT_EQ(t->fieldIndex(QStringLiteral("otro")), -1);
}

TEST_F(Dbf, DamagedHeadersAreRefusedNamingTheFileAndTheFault) {
    const QList<RawField> fields = {{"UNO", 'C', 4}, {"DOS", 'N', 3}};
    const QByteArray good = rawTable(fields, {QByteArray(" abcd 12"), QByteArray(" efgh 34")});
    const int header = 32 * 3 + 1;

    auto patched = [&](int at, QByteArray bytes) {
        QByteArray b = good;
        b.replace(at, bytes.size(), bytes);
        return b;
    };
    struct Case {
        QByteArray file;
        const char* why;
    };
    const QList<Case> cases = {
        {QByteArray(), "está vacío"},
        {good.left(31), "demasiado corto"},
        {patched(8, QByteArray("\xFF\x7F", 2)), "pasa del final del archivo"},
        {patched(8, QByteArray("\x20\x00", 2)), "menor que la mínima"},
        {patched(8, QByteArray("\x41\x00", 2)), "menor que la que piden sus 2 campos"},
        {patched(header - 1, QByteArray(" ")), "falta la marca (0x0D)"},
        {patched(10, QByteArray("\x00\x00", 2)), "la longitud del registro es cero"},
        {patched(10, QByteArray("\x09\x00", 2)), "la longitud del registro no coincide con sus campos"},
        {patched(64 + 16, QByteArray("\x00", 1)), "el campo DOS tiene ancho cero"},
        {patched(64 + 11, QByteArray("M")), "el campo DOS es de un tipo desconocido («M»)"},
        {patched(32, QByteArray("A\xD1O")), "el nombre del campo 1 no está escrito en ASCII"},
        {patched(32, QByteArray("\0\0\0", 3)), "el campo 1 no tiene nombre"},
        {patched(64, QByteArray("uno")), "el campo uno aparece dos veces"},
        {patched(32 + 11, QByteArray("L")), "el campo lógico UNO mide 4 bytes"},
    };
    for (const Case& c : cases) {
        writeFile(path(), c.file);
        QString error;
        EXPECT_FALSE(DbfTable::open(path(), &error)) << c.why;
        EXPECT_TRUE(error.startsWith(QStringLiteral("El archivo %1 está dañado: ").arg(path()))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.why))) << error.toStdString();
        EXPECT_TRUE(error.endsWith(u'.')) << error.toStdString();
        EXPECT_EQ(readFile(path()), c.file) << c.why;  // a damaged file is never "repaired"
    }

    writeFile(path(), good);
    QString error;
    EXPECT_TRUE(DbfTable::open(path(), &error)) << error.toStdString();
    EXPECT_FALSE(DbfTable::open(path(QStringLiteral("NOESTA.DBF")), &error));
    EXPECT_EQ(error, QStringLiteral("No se encontró el archivo %1.").arg(path(QStringLiteral("NOESTA.DBF"))));
    EXPECT_FALSE(DbfTable::open(dir_.path(), &error));
    EXPECT_TRUE(error.contains(dir_.path())) << error.toStdString();
    const QString fifo = path(QStringLiteral("TUBERIA.DBF"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    EXPECT_FALSE(DbfTable::open(fifo, &error));  // refused, without waiting for a writer
    EXPECT_EQ(error, QStringLiteral("No se pudo abrir el archivo %1: no es un archivo de datos.").arg(fifo));
}

TEST_F(Dbf, ATornLastRecordIsDroppedAndTheFileMended) {
    const QList<RawField> fields = {{"UNO", 'C', 4}, {"DOS", 'N', 3}};
    const QByteArray good = rawTable(fields, {QByteArray(" abcd 12"), QByteArray(" efgh 34"), QByteArray(" ijkl 56")});
    const int header = 32 * 3 + 1;
    writeFile(path(), good.left(header + 2 * 8 + 5));  // cut inside the third record, no end mark
    QString error;
    auto t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_EQ(t->recordCount(), 2);
    EXPECT_EQ(t->value(1, 0).toString(), QStringLiteral("efgh"));
    QByteArray b = readFile(path());
    EXPECT_EQ(b.size(), header + 2 * 8 + 1);
    EXPECT_EQ(b.back(), '\x1A');
    EXPECT_EQ(u32(b, 4), 2u);

    int recno = -1;
    ASSERT_TRUE(t->append({QStringLiteral("mnop"), 78}, &recno, &error)) << error.toStdString();
    EXPECT_EQ(recno, 2);
    t.reset();
    t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->recordCount(), 3);
    EXPECT_EQ(t->value(2, 1).toLongLong(), 78);

    // Opened read only, a torn file is read the same way but left as it is.
    const QByteArray torn = good.left(header + 8 + 3);
    writeFile(path(), torn);
    t = DbfTable::open(path(), &error, DbfAccess::ReadOnly);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->recordCount(), 1);
    EXPECT_EQ(readFile(path()), torn);
}

TEST_F(Dbf, RecordsPastTheCountAreRecovered) {
    const QList<RawField> fields = {{"UNO", 'C', 4}, {"DOS", 'N', 3}};
    // The program stopped between writing the third record and writing the new count.
    const QByteArray file = rawTable(fields, {QByteArray(" abcd 12"), QByteArray("*efgh 34"), QByteArray(" ijkl 56")}, 1);
    writeFile(path(), file);
    QString error;
    auto t = DbfTable::open(path(), &error, DbfAccess::ReadOnly);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->recordCount(), 3);
    EXPECT_EQ(readFile(path()), file);

    t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->recordCount(), 3);
    EXPECT_EQ(t->deletedCount(), 1);
    EXPECT_EQ(t->value(2, 0).toString(), QStringLiteral("ijkl"));
    EXPECT_EQ(u32(readFile(path()), 4), 3u);

    // Bytes after the end mark are not records, even when they look like some.
    QByteArray trailing = rawTable(fields, {QByteArray(" abcd 12")});
    trailing += QByteArray(" efgh 34 ijkl 56");
    writeFile(path(), trailing);
    t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->recordCount(), 1);
    EXPECT_EQ(readFile(path()), trailing);

    // A header that counts more records than the file holds gives the ones there are.
    writeFile(path(), rawTable(fields, {QByteArray(" abcd 12")}, 1000));
    t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->recordCount(), 1);
    EXPECT_EQ(u32(readFile(path()), 4), 1u);
}

TEST_F(Dbf, EveryTruncationOfAValidFileIsReadSafely) {
    const QList<RawField> fields = {{"TEXTO", 'C', 5}, {"NUM", 'N', 4, 1}, {"SINO", 'L', 1}, {"DIA", 'D', 8}};
    const QList<QByteArray> records = {
        QByteArray(" hola 12.5T20240101"), QByteArray("*adi\xF3s 0.1F19991231"), QByteArray(" \xF1u   -1.0 20000229")};
    const QByteArray file = rawTable(fields, records, 3);
    const int header = 32 * 5 + 1, length = 19;
    for (const QByteArray& r : records)
        ASSERT_EQ(r.size(), length);
    for (int cut = 0; cut <= file.size(); ++cut) {
        const QByteArray part = file.left(cut);
        writeFile(path(), part);
        QString error;
        auto t = DbfTable::open(path(), &error);
        if (cut < header) {
            EXPECT_FALSE(t) << cut;
            EXPECT_TRUE(error.contains(path())) << cut;
            continue;
        }
        ASSERT_TRUE(t) << cut << ": " << error.toStdString();
        const int whole = (cut - header) / length;
        EXPECT_EQ(t->recordCount(), whole) << cut;
        for (int r = 0; r < t->recordCount(); ++r)
            EXPECT_EQ(t->record(r), DbfTable::open(path(), &error)->record(r));
        // Mended on disk to whole records and the end mark; a file that only lacks the end
        // mark is left alone.
        const QByteArray mended = readFile(path());
        const bool intact = cut >= header + 3 * length;
        EXPECT_EQ(mended.size(), intact ? cut : header + whole * length + 1) << cut;
        EXPECT_EQ(mended.left(header + whole * length), file.left(header + whole * length).replace(4, 1, QByteArray(1, char(whole)))) << cut;
        EXPECT_EQ(u32(mended, 4), quint32(whole)) << cut;
    }
}

TEST_F(Dbf, WritesReachTheFileBeforeReturning) {
    auto t = createSample();
    ASSERT_TRUE(t);
    const int header = 32 * 6 + 1, length = 46;
    QString error;
    quint64 changes = t->changeCount();
    for (int i = 0; i < 3; ++i) {
        int recno = -1;
        ASSERT_TRUE(t->append({QStringLiteral("fila %1").arg(i), i}, &recno, &error));
        EXPECT_EQ(recno, i);
        EXPECT_GT(t->changeCount(), changes);
        changes = t->changeCount();
        const QByteArray b = readFile(path());  // read behind the table's back
        EXPECT_EQ(u32(b, 4), quint32(i + 1));
        EXPECT_EQ(b.size(), header + (i + 1) * length + 1);
        EXPECT_EQ(b.mid(header + i * length, 7), QByteArray(" fila ") + char('0' + i));
        EXPECT_EQ(b.back(), '\x1A');
    }
    ASSERT_TRUE(t->update(1, {QStringLiteral(" nueva"), 99, 0.5, true}, &error));
    EXPECT_GT(t->changeCount(), changes);
    changes = t->changeCount();
    QByteArray b = readFile(path());
    EXPECT_EQ(b.mid(header + length, length),
              QByteArray("  nueva              ") + "    99" + "      0.50" + "T" + "        ");
    EXPECT_EQ(b.size(), header + 3 * length + 1);

    ASSERT_TRUE(t->remove(1, &error));
    EXPECT_GT(t->changeCount(), changes);
    EXPECT_TRUE(t->isDeleted(1));
    EXPECT_EQ(t->deletedCount(), 1);
    b = readFile(path());
    EXPECT_EQ(b[header + length], '*');
    EXPECT_EQ(b[header], ' ');

    // Record numbers are never reused.
    int recno = -1;
    ASSERT_TRUE(t->append({QStringLiteral("otra")}, &recno, &error));
    EXPECT_EQ(recno, 3);
    EXPECT_EQ(t->recordCount(), 4);
    EXPECT_EQ(t->value(1, 0).toString(), QStringLiteral(" nueva"));
}

TEST_F(Dbf, ReadOnlyTablesRefuseWrites) {
    auto t = createSample();
    ASSERT_TRUE(t);
    QString error;
    ASSERT_TRUE(t->append({QStringLiteral("uno"), 1}, nullptr, &error));
    ASSERT_TRUE(t->append({QStringLiteral("dos"), 2}, nullptr, &error));
    ASSERT_TRUE(t->remove(1, &error));
    t.reset();
    const QByteArray before = readFile(path());

    auto check = [&](DbfTable* table) {
        ASSERT_TRUE(table);
        EXPECT_TRUE(table->isReadOnly());
        EXPECT_EQ(table->value(0, 0).toString(), QStringLiteral("uno"));
        error.clear();
        EXPECT_FALSE(table->append({QStringLiteral("tres")}, nullptr, &error));
        EXPECT_EQ(error, QStringLiteral("No se pueden guardar cambios en el archivo %1: es de solo lectura.").arg(path()));
        EXPECT_FALSE(table->update(0, {QStringLiteral("tres")}, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("solo lectura")));
        EXPECT_FALSE(table->remove(0, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("solo lectura")));
        EXPECT_EQ(table->recordCount(), 2);
        EXPECT_EQ(readFile(path()), before);
    };
    t = DbfTable::open(path(), &error, DbfAccess::ReadOnly);
    check(t.get());
    t.reset();

    // A file the user may not write. Permissions do not stop root; the immutable flag does.
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0444), 0);
    std::unique_ptr<Immutable> immutable;
    const int probe = ::open(QFile::encodeName(path()).constData(), O_RDWR);
    if (probe >= 0) {
        ::close(probe);
        immutable = std::make_unique<Immutable>(path());
        if (!immutable->isSet())
            GTEST_SKIP() << "Este usuario puede escribir en un archivo sin permiso de escritura.";
    }
    t = DbfTable::open(path(), &error);
    check(t.get());
    t.reset();
    EXPECT_FALSE(DbfTable::pack(path(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("solo lectura"))) << error.toStdString();
    EXPECT_EQ(readFile(path()), before);
    EXPECT_FALSE(QFile::exists(path() + ".tmp"));
}

TEST_F(Dbf, PackKeepsTheLiveRecordsByteForByte) {
    auto t = createSample();
    ASSERT_TRUE(t);
    QString error;
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(t->append({QStringLiteral("Fila ñ %1").arg(i), i * 10, i / 4.0, i % 2 == 0, QDate(2020, 1, i + 1)},
                              nullptr, &error));
    ASSERT_TRUE(t->remove(1, &error));
    ASSERT_TRUE(t->remove(4, &error));
    t.reset();
    const QByteArray before = readFile(path());
    const int header = 32 * 6 + 1, length = 46;
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0640), 0);

    // A failure leaves the old file untouched and says why.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("TABLA.DBF.tmp")));
    EXPECT_FALSE(DbfTable::pack(path(), &error));
    EXPECT_TRUE(error.contains(path())) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("queda como estaba"))) << error.toStdString();
    EXPECT_EQ(readFile(path()), before);
    ASSERT_TRUE(QDir(dir_.path()).rmdir(QStringLiteral("TABLA.DBF.tmp")));

    ASSERT_TRUE(DbfTable::pack(path(), &error)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(path() + ".tmp"));
    const QByteArray after = readFile(path());
    ASSERT_EQ(after.size(), header + 4 * length + 1);
    EXPECT_EQ(u32(after, 4), 4u);
    EXPECT_EQ(after.mid(8, header - 8), before.mid(8, header - 8));  // same descriptors
    const QList<int> kept = {0, 2, 3, 5};
    for (int i = 0; i < kept.size(); ++i)
        EXPECT_EQ(after.mid(header + i * length, length), before.mid(header + kept[i] * length, length)) << i;
    EXPECT_EQ(after.back(), '\x1A');
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->recordCount(), 4);
    EXPECT_EQ(t->deletedCount(), 0);
    EXPECT_EQ(t->value(3, 0).toString(), QStringLiteral("Fila ñ 5"));
    t.reset();

    // Nothing deleted: the file is left as it is.
    ASSERT_TRUE(DbfTable::pack(path(), &error));
    EXPECT_EQ(readFile(path()), after);
    EXPECT_FALSE(DbfTable::pack(path(QStringLiteral("NOESTA.DBF")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("No se encontró")));
}

TEST_F(Dbf, TheIntegerIndexFollowsEveryWrite) {
    QString error;
    ASSERT_TRUE(DbfTable::create(path(), {{"ID", DbfType::Numeric, 6, 0}, {"PADRE", DbfType::Numeric, 6, 0},
                                          {"MONTO", DbfType::Numeric, 8, 2}, {"TEXTO", DbfType::Character, 5, 0}},
                                 &error));
    auto t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->isIntegerField(0));
    EXPECT_TRUE(t->isIntegerField(1));
    EXPECT_FALSE(t->isIntegerField(2));
    EXPECT_FALSE(t->isIntegerField(3));
    EXPECT_FALSE(t->isIntegerField(4));
    EXPECT_EQ(t->lookup(2, 1), nullptr);
    EXPECT_EQ(t->lookup(3, 1), nullptr);

    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(t->append({i + 1, i % 3}, nullptr, &error));
    ASSERT_TRUE(t->append({QVariant(), 0}, nullptr, &error));  // record 10: no ID
    auto ids = [&](int field, qint64 key) {
        const QList<int>* l = t->lookup(field, key);
        return l ? *l : QList<int>{-99};
    };
    EXPECT_EQ(ids(1, 0), (QList<int>{0, 3, 6, 9, 10}));
    EXPECT_EQ(ids(1, 2), (QList<int>{2, 5, 8}));
    EXPECT_EQ(ids(0, 4), (QList<int>{3}));
    EXPECT_EQ(ids(0, 42), QList<int>{});

    ASSERT_TRUE(t->append({42, 2}, nullptr, &error));  // 11
    EXPECT_EQ(ids(0, 42), (QList<int>{11}));
    EXPECT_EQ(ids(1, 2), (QList<int>{2, 5, 8, 11}));

    ASSERT_TRUE(t->update(2, {42, 0}, &error));
    EXPECT_EQ(ids(0, 3), QList<int>{});
    EXPECT_EQ(ids(0, 42), (QList<int>{2, 11}));
    EXPECT_EQ(ids(1, 0), (QList<int>{0, 2, 3, 6, 9, 10}));
    EXPECT_EQ(ids(1, 2), (QList<int>{5, 8, 11}));

    ASSERT_TRUE(t->remove(11, &error));
    ASSERT_TRUE(t->remove(0, &error));
    EXPECT_EQ(ids(0, 42), (QList<int>{2}));
    EXPECT_EQ(ids(1, 0), (QList<int>{2, 3, 6, 9, 10}));
    EXPECT_EQ(ids(0, 1), QList<int>{});

    // Built from the file on first use, deleted records left out.
    t.reset();
    t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t);
    EXPECT_EQ(ids(1, 0), (QList<int>{2, 3, 6, 9, 10}));
    EXPECT_EQ(ids(0, 42), (QList<int>{2}));
}

// -------------------------------------------------------------------------------------------------
// An independent reader: Debian's python3-dbfread.

namespace {

QString pythonWithDbfread(QString* why) {
    QStringList candidates = {QStringLiteral("/usr/bin/python3")};
    const QString inPath = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!inPath.isEmpty())
        candidates.append(inPath);
    for (const QString& python : candidates) {
        if (!QFile::exists(python))
            continue;
        QProcess p;
        p.start(python, {QStringLiteral("-c"), QStringLiteral("import dbfread")});
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return python;
    }
    *why = QStringLiteral("python3 con el módulo dbfread (paquete python3-dbfread) no está instalado");
    return {};
}

}  // namespace

TEST_F(Dbf, AnIndependentReaderReadsOurFiles) {
    QString why;
    const QString python = pythonWithDbfread(&why);
    if (python.isEmpty())
        GTEST_SKIP() << why.toStdString();

    auto t = createSample(QStringLiteral("LECTOR.DBF"));
    ASSERT_TRUE(t);
    const QList<QVariantList> rows = {
        {QStringLiteral("Ñandú €uro café"), 12, 1234.56, true, QDate(2024, 2, 29)},
        {QStringLiteral(" blanco al inicio"), -7, -0.5, false, QDate(1999, 12, 31)},
        {QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
        {QStringLiteral("borrada"), 1, 1, true, QDate(2000, 1, 1)},
        {QStringLiteral("ÁÉÍÓÚÜ¿¡ «»"), 999999, -999999.99, QStringLiteral("S"), QStringLiteral("1985-07-09")},
    };
    QString error;
    for (const QVariantList& row : rows)
        ASSERT_TRUE(t->append(row, nullptr, &error)) << error.toStdString();
    ASSERT_TRUE(t->remove(3, &error));
    // The table stays open: the other reader sees what the writes left in the file.

    QProcess p;
    p.start(python, {QStringLiteral(KALTO_SOURCE_DIR "/tests/data/dbfread_check.py"), path(QStringLiteral("LECTOR.DBF"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &parseError);
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << parseError.errorString().toStdString();
    const QJsonObject top = doc.object();

    // dbfread takes the code page from the language-driver byte and the field list as written.
    EXPECT_EQ(top.value(QStringLiteral("encoding")).toString(), QStringLiteral("cp1252"));
    EXPECT_EQ(top.value(QStringLiteral("fields")).toArray(),
              (QJsonArray{QStringLiteral("NOMBRE C 20 0"), QStringLiteral("CODIGO N 6 0"), QStringLiteral("MONTO N 10 2"),
                          QStringLiteral("ACTIVO L 1 0"), QStringLiteral("FECHA D 8 0")}));
    // It leaves deleted records out.
    const QJsonArray records = top.value(QStringLiteral("records")).toArray();
    ASSERT_EQ(records.size(), 4);

    // dbfread strips trailing blanks (and NULs) of character fields only, so the leading
    // blank survives; an all-blank character field reads as the empty text where we read
    // NULL. Blank numbers and dates read as None, as ours read NULL. Logicals are T/F.
    const QJsonArray expected[] = {
        {QStringLiteral("Ñandú €uro café"), 12, 1234.56, true, QStringLiteral("2024-02-29")},
        {QStringLiteral(" blanco al inicio"), -7, -0.5, false, QStringLiteral("1999-12-31")},
        {QStringLiteral(""), QJsonValue::Null, QJsonValue::Null, false, QJsonValue::Null},
        {QStringLiteral("ÁÉÍÓÚÜ¿¡ «»"), 999999, -999999.99, true, QStringLiteral("1985-07-09")},
    };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(records[i].toArray(), expected[i]) << i << ": " << QJsonDocument(records[i].toArray()).toJson().toStdString();
    EXPECT_EQ(top.value(QStringLiteral("types")).toArray().at(0).toArray(),
              (QJsonArray{QStringLiteral("str"), QStringLiteral("int"), QStringLiteral("float"), QStringLiteral("bool"),
                          QStringLiteral("date")}));
}

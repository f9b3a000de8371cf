// The dBase table codec: values in and out, damaged files and their repair, packing, the integer
// index, and a check of our files by an independent reader.

#include "data/Dbf.h"
#include "data/DbfTestFiles.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <limits>
#include <tuple>

using namespace kalto;
using namespace kalto::test;

namespace {

const QList<DbfField> kSample = {{"NOMBRE", DbfType::Character, 20, 0}, {"CODIGO", DbfType::Numeric, 6, 0},
                                  {"MONTO", DbfType::Numeric, 10, 2}, {"ACTIVO", DbfType::Logical, 1, 0},
                                  {"FECHA", DbfType::Date, 8, 0}};
constexpr int kHeader = 32 * 6 + 1, kLength = 46;  // of the sample table

class Dbf : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(QStringLiteral("TABLA.DBF")); }
    std::unique_ptr<DbfTable> create(const QList<DbfField>& fields = kSample) {
        QString error;
        EXPECT_TRUE(DbfTable::create(path(), fields, &error)) << error.toStdString();
        return DbfTable::open(path(), &error);
    }
    // The copies kept of the file before opening repaired it.
    QStringList backups() const {
        return QDir(dir_.path()).entryList({QStringLiteral("TABLA.DBF.*.bak")}, QDir::Files, QDir::Name);
    }
    QTemporaryDir dir_;
};

}  // namespace

TEST(DbfCp1252, EveryByteRoundTripsAndAccentsTypedApartAreJoined) {
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i) all[i] = char(i);
    const QString unicode = fromCp1252(all.constData(), 256);
    EXPECT_EQ(QString() + unicode[0x80] + unicode[0x8A] + unicode[0x9F] + unicode[0xD1], QStringLiteral("€ŠŸÑ"));
    QByteArray back;
    QString error;
    EXPECT_TRUE(toCp1252(unicode, &back, &error) && back == all) << error.toStdString();
    EXPECT_TRUE(toCp1252(QStringLiteral("N\u0303o\u0301"), &back, &error) && back == "\xD1\xF3");
    EXPECT_FALSE(toCp1252(QString(QChar(0x0080)), &back, &error));  // a C1 control is not the byte 0x80
}

TEST_F(Dbf, EveryTypeRoundTripsThroughTheFileWhateverTheLocale) {
    const auto restore = qScopeGuard([before = QLocale()] { QLocale::setDefault(before); });
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto t = create();
    ASSERT_TRUE(t);
    const QVariant null;
    const QList<QVariantList> rows = {
        {QStringLiteral("Ñandú García €"), 12, 1234.56, true, QDate(2024, 2, 29)},
        {QStringLiteral(" con blanco inicial   "), -7, -12.5, false, QDate(1999, 12, 31)},  // 22 with the trailing
        {null, QString(), QStringLiteral("  "), null, QString()},
        {QStringLiteral("ÁÉÍÓÚ áéíóú ü ¿¡"), QStringLiteral(" 42 "), QStringLiteral("  12.5 "), QStringLiteral("S"),
         QStringLiteral("2001-09-11")},
        {QStringLiteral("12345678901234567890"), 999999, 9999999.99, QStringLiteral("n"), QStringLiteral("20000101")},
        {null, 2.5, 0.125}, {null, -2.5, -2.675}, {null, QStringLiteral("7.5"), QStringLiteral("1.005")},
        {null, -0.4, -0.004},
    };
    QString error;
    for (const QVariantList& row : rows) ASSERT_TRUE(t->append(row, nullptr, &error)) << error.toStdString();
    t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t) << error.toStdString();
    const QList<QVariantList> expected = {
        {QStringLiteral("Ñandú García €"), qint64(12), 1234.56, true, QDate(2024, 2, 29)},
        {QStringLiteral(" con blanco inicial"), qint64(-7), -12.5, false, QDate(1999, 12, 31)},
        {null, null, null, false, null},  // a NULL logical is stored as F
        {QStringLiteral("ÁÉÍÓÚ áéíóú ü ¿¡"), qint64(42), 12.5, true, QDate(2001, 9, 11)},
        {QStringLiteral("12345678901234567890"), qint64(999999), 9999999.99, false, QDate(2000, 1, 1)},
    };
    ASSERT_EQ(t->recordCount(), rows.size());
    for (int i = 0; i < expected.size(); ++i) EXPECT_EQ(t->record(i), expected[i]) << i;
    EXPECT_TRUE(t->value(0, 1).typeId() == QMetaType::LongLong && t->value(0, 2).typeId() == QMetaType::Double);

    const QByteArray b = readFile(path());
    const QDate today = QDate::currentDate();
    const char top[] = {3, char(today.year() - 1900), char(today.month()), char(today.day()), 9, 0, 0, 0,
                        char(kHeader), 0, char(kLength), 0};
    EXPECT_EQ(b.left(12), QByteArray(top, 12));
    EXPECT_TRUE(b[29] == 0x03 && b[kHeader - 1] == 0x0D && b.back() == 0x1A && b.size() == kHeader + 9 * kLength + 1);
    EXPECT_EQ(b.mid(kHeader, 2 * kLength),
              " " + left("\xD1" "and\xFA Garc\xED" "a \x80", 20) + right("12", 6) + right("1234.56", 10) + "T20240229" +
                  " " + left(" con blanco inicial", 20) + right("-7", 6) + right("-12.50", 10) + "F19991231");
    EXPECT_EQ(b.mid(kHeader + 2 * kLength, kLength), QByteArray(37, ' ') + "F" + QByteArray(8, ' '));
    // Halves are rounded away from zero as written (2.675 is not held exactly in binary).
    const QByteArray rounded[] = {"     3      0.13", "    -3     -2.68", "     8      1.01", "     0      0.00"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(b.mid(kHeader + (5 + i) * kLength + 21, 16), rounded[i]) << i;
}

TEST_F(Dbf, ValuesThatDoNotFitAreRefusedAndNothingIsWritten) {
    auto t = create();
    ASSERT_TRUE(t);
    QString error;
    ASSERT_TRUE(t->append({QStringLiteral("primero"), 1, 1.0, true, QDate(2020, 1, 1)}, nullptr, &error));
    const QByteArray before = readFile(path());
    const quint64 changes = t->changeCount();
    const QString ok = QStringLiteral("ok");
    const QList<std::tuple<QVariantList, QString, QString>> cases = {  // values, field named, fault named
        {{QString(21, u'x')}, "NOMBRE", "21 caracteres"},
        {{QStringLiteral("Ωmega")}, "NOMBRE", "«Ω» (U+03A9)"},  // not Windows-1252
        {{QStringLiteral("ok \U0001F600")}, "NOMBRE", "U+1F600"},
        {{ok, 1234567}, "CODIGO", "1234567"},
        {{ok, 999999.5}, "CODIGO", "no cabe"},  // rounds to 7 digits
        {{ok, 1, 12345678.9}, "MONTO", "no cabe"},
        {{ok, 1, std::numeric_limits<double>::quiet_NaN()}, "MONTO", "no es un número"},
        {{ok, 1, 1, QStringLiteral("quizá")}, "ACTIVO", "«quizá»"},
        {{ok, 1, 1, true, QStringLiteral("2023-02-29")}, "FECHA", "2023-02-29"},
        {{1, 2, 3, 4, 5, 6}, "6 valores", "5 campos"},
    };
    for (const auto& [values, field, fault] : cases) {
        int recno = 77;
        EXPECT_FALSE(t->append(values, &recno, &error));
        EXPECT_TRUE(error.contains(field) && error.contains(fault) && recno == 77) << error.toStdString();
        EXPECT_FALSE(t->update(0, values, &error)) << fault.toStdString();
    }
    EXPECT_EQ(readFile(path()), before);
    EXPECT_EQ(t->changeCount(), changes);
    EXPECT_EQ(t->record(0).first().toString(), QStringLiteral("primero"));

    // Records that do not exist or are deleted are not written.
    EXPECT_FALSE(t->update(5, {ok}, &error));
    ASSERT_TRUE(t->remove(0, &error));
    EXPECT_FALSE(t->update(0, {ok}, &error));
    EXPECT_FALSE(t->remove(0, &error));
    EXPECT_EQ(readFile(path()).mid(kHeader, kLength + 1), '*' + before.mid(kHeader + 1, kLength - 1) + '\x1A');
}

TEST_F(Dbf, DamagedHeadersAreRefusedNamingTheFileAndTheFault) {
    const QByteArray good = rawTable({{"UNO", 'C', 4}, {"DOS", 'N', 3}}, {" abcd 12", " efgh 34"});
    auto patched = [&](int at, const QByteArray& bytes) { return QByteArray(good).replace(at, bytes.size(), bytes); };
    const QByteArray unmarked = good.chopped(1);
    const QList<QPair<QByteArray, const char*>> cases = {
        {QByteArray(), "está vacío"},
        {patched(8, QByteArray("\xFF\x7F", 2)), "pasa del final del archivo"},
        {patched(32 * 3, " "), "falta la marca (0x0D)"},
        {QByteArray(unmarked).replace(4, 1, "\x03"), "declara 3 registros y solo contiene 2"},
        {QByteArray(unmarked).replace(4, 1, "\x05") + " ijkl 56 mn", "declara 5 registros y solo contiene 3"},
        {QByteArray(unmarked).replace(4, 1, QByteArray(1, '\0')), "después de sus 0 registros"},
        {unmarked + "junk", "después de sus 2 registros"},
        {QByteArray(good).replace(4, 1, "\x01").insert(97 + 16, " ijkl 56"), "después de sus 1 registros"},
        {QByteArray(good).replace(97 + 8, 1, "X"), "el registro 2 tiene una marca de borrado no válida («X»)"},
        {QByteArray(good).replace(97, 1, QByteArray(1, '\0')), "el registro 1 tiene una marca de borrado no válida (código 0)"},
        {patched(10, QByteArray("\x09\x00", 2)), "la longitud del registro no coincide con sus campos"},
        {patched(64 + 16, QByteArray(1, '\0')), "el campo DOS tiene ancho cero"},
        {patched(64 + 11, "M"), "el campo DOS es de un tipo desconocido («M»)"},
        {patched(32, "A\xD1O"), "el nombre del campo 1 no está escrito en ASCII"},
        {patched(64, "uno"), "el campo uno aparece dos veces"},
        {patched(32 + 11, "L"), "el campo lógico UNO mide 4 bytes"},
        {patched(8, "\x62"), "la longitud de su encabezado (98 bytes) no es la que piden sus 2 campos (97 bytes)"},
        {patched(8, "\x60"), "la longitud de su encabezado (96 bytes)"},
        {patched(8, "\x41"), "la longitud de su encabezado (65 bytes)"},
    };
    QString error;
    for (const auto& [file, why] : cases) {
        writeFile(path(), file);
        for (const DbfAccess access : {DbfAccess::ReadWrite, DbfAccess::ReadOnly}) {
            EXPECT_FALSE(DbfTable::open(path(), &error, access)) << why;
            EXPECT_TRUE(error.startsWith(QStringLiteral("El archivo %1 está dañado: ").arg(path())) &&
                        error.contains(QString::fromUtf8(why)))
                << error.toStdString();
        }
        EXPECT_EQ(readFile(path()), file) << why;  // a damaged file is never "repaired"
    }
    EXPECT_EQ(backups(), QStringList());
}

// Foreign values (a float column among them), the file cut anywhere: a torn last record is mended
// after a copy is kept (unless read only); cut shorter, the file is refused and left alone.
TEST_F(Dbf, ForeignValuesAreReadAndOnlyATornLastRecordIsMended) {
    const QByteArray file = rawTable({{"TEXTO", 'C', 6}, {"ENTERO", 'N', 5}, {"REAL", 'N', 7, 2}, {"SINO", 'L', 1},
                                      {"DIA", 'D', 8}, {"FLOTA", 'F', 8, 3}},
                                     {QByteArray(" ") + "  ab  " + "  -12" + "  -1.50" + "y" + "20240131" + "  -1.250",
                                      QByteArray(" ") + QByteArray("x\0\0\0\0\0", 6) + "*****" + "*******" + "?" +
                                          "20241331" + "********",
                                      QByteArray(" ") + "\x80\xD1\xE9   " + " 12.5" + "   3,25" + "t" + "2024  01" +
                                          "   2.5  ",
                                      QByteArray("*") + "      " + "1e3  " + "  -    " + "N" + "        " + "   0.000"});
    const int header = 32 * 7 + 1, length = 36;
    const QVariant null;
    const QList<QVariantList> records = {
        {QStringLiteral("  ab"), qint64(-12), -1.5, true, QDate(2024, 1, 31), -1.25},
        {QStringLiteral("x"), null, null, null, null, null},  // NUL padding; asterisks (did not fit), '?', month 13
        {QStringLiteral("€Ñé"), 12.5, 3.25, true, null, 2.5},  // a fraction without decimals; a decimal comma
        {null, null, null, false, null, 0.0}};                 // deleted, and not plain numbers
    QList<int> cuts{0, 31, int(file.size())};
    for (int k = 0; k <= 4; ++k) cuts << header + k * length - 1 << header + k * length << header + k * length + 1;
    QString error;
    for (const int cut : cuts) {
        SCOPED_TRACE(cut);
        writeFile(path(), file.left(cut));
        for (const QString& b : backups()) QFile::remove(dir_.filePath(b));
        const int whole = (cut - header) / length;
        const bool torn = whole == 3 && (cut - header) % length > 0;
        if (cut < header || (whole < 4 && !torn)) {
            for (const DbfAccess access : {DbfAccess::ReadOnly, DbfAccess::ReadWrite}) {
                EXPECT_FALSE(DbfTable::open(path(), &error, access));
                EXPECT_TRUE(error.contains(path())) << error.toStdString();
            }
            EXPECT_EQ(readFile(path()), file.left(cut));
            continue;
        }
        auto t = DbfTable::open(path(), &error, DbfAccess::ReadOnly);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_EQ(t->recordCount(), whole);
        EXPECT_EQ(readFile(path()), file.left(cut));
        t = DbfTable::open(path(), &error);
        ASSERT_TRUE(t) << error.toStdString();
        ASSERT_EQ(t->recordCount(), whole);
        for (int r = 0; r < whole; ++r) EXPECT_EQ(t->record(r), records[r]) << r;
        EXPECT_EQ(t->deletedCount(), whole / 4);
        QByteArray mended = torn ? file.left(header + whole * length) + '\x1A' : file.left(cut);
        mended[4] = char(whole);
        EXPECT_EQ(readFile(path()), mended);
        ASSERT_EQ(backups().size(), torn ? 1 : 0);
        if (torn) {
            EXPECT_EQ(readFile(dir_.filePath(backups().first())), file.left(cut));
        }
    }
}

// What an interrupted insert leaves is mended after a copy is kept; bytes past the end mark, or a
// count past it, are left as they are, and records the header counts after an end mark are copied
// before an insert writes over them. Three copies are kept, the newest.
TEST_F(Dbf, OnlyWhatAnInterruptedInsertLeavesIsMended) {
    const QList<RawField> fields = {{"UNO", 'C', 4}, {"DOS", 'N', 3}};
    const QList<QByteArray> three = {" abcd 12", "*efgh 34", " ijkl 56"};
    const QByteArray one = rawTable(fields, {" abcd 12"});
    const QByteArray trailing = one + " efgh 34 ijkl 56";
    const QByteArray overJunk = rawTable(fields, three, 2) + "\x1A\x1A junk";
    const QByteArray markedSecond = rawTable(fields, {" abcd 12", "\x1A" "efgh 34", " ijkl 56"});
    const QList<std::tuple<QByteArray, int, QByteArray>> cases = {  // file, records read, file after opening
        {rawTable(fields, three, 2), 3, rawTable(fields, three)},
        {rawTable(fields, three, 2).chopped(1), 3, rawTable(fields, three)},
        {one.chopped(1) + " ef", 1, one},
        {overJunk, 3, QByteArray(overJunk).replace(4, 1, "\x03")},
        {markedSecond, 1, markedSecond},
        {trailing, 1, trailing},
        {rawTable(fields, {" abcd 12"}, 1000), 1, rawTable(fields, {" abcd 12"}, 1000)},
        {rawTable(fields, three, 5) + " junk 77", 3, rawTable(fields, three, 5) + " junk 77"},
    };
    int kept = 0;
    for (const auto& [file, count, mended] : cases) {
        SCOPED_TRACE(file.mid(97).toStdString());
        writeFile(path(), file);
        QString error;
        auto t = DbfTable::open(path(), &error);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_EQ(t->recordCount(), count);
        EXPECT_EQ(readFile(path()), mended);
        kept += mended == file ? 0 : 1;
        ASSERT_EQ(backups().size(), std::min(kept, 3));
        // The next insert goes after the records read, and the file is whole again.
        ASSERT_TRUE(t->append({QStringLiteral("zz"), 9}, nullptr, &error)) << error.toStdString();
        kept += file == markedSecond ? 1 : 0;
        ASSERT_EQ(backups().size(), std::min(kept, 3));
        QList<QByteArray> copies;
        for (const QString& b : backups()) copies << readFile(dir_.filePath(b));
        EXPECT_TRUE(mended == file && file != markedSecond ? true : copies.contains(file));
        t = DbfTable::open(path(), &error);
        ASSERT_TRUE(t) << error.toStdString();
        EXPECT_EQ(t->recordCount(), count + 1);
        EXPECT_EQ(t->record(count), (QVariantList{QStringLiteral("zz"), qint64(9)}));
    }
}

// Decided by the file's status before any read: what is no table file is refused by name, and a
// file far bigger than its header says is never read. inspect() takes only whole tables.
TEST_F(Dbf, WhatIsNoTableFileIsRefusedBeforeItIsRead) {
    const QByteArray table = rawTable({{"UNO", 'C', 4}}, {" abcd", " efgh"});  // 65 + 2 * 5 + 1 bytes
    const auto sized = [&](qint64 size) {
        writeFile(path(), table);
        QFile(path()).resize(size);
    };
    enum Verdict { Refused, Whole, Mended };  // by open(); inspect() takes only whole tables
    const QList<std::tuple<std::function<void()>, QString, Verdict>> cases = {  // the file, message, verdict
        {[&] { QDir().mkdir(path()); }, QStringLiteral("es una carpeta"), Refused},
        {[&] { ::mkfifo(QFile::encodeName(path()).constData(), 0644); }, QStringLiteral("es una tubería (FIFO)"), Refused},
        {[&] { QFile::link(QStringLiteral("/dev/zero"), path()); }, QStringLiteral("es un dispositivo"), Refused},
        {[&] { sized(100 << 20); }, QStringLiteral("mide 104857600 bytes y su encabezado indica 75"), Refused},
        {[&] { sized(qint64(3) << 30); }, QStringLiteral("más de lo que puede medir una tabla"), Refused},
        {[&] { sized(table.size()); }, {}, Whole},
        {[&] { sized(table.size() - 1); }, {}, Whole},
        {[&] { sized(table.size() - 2); }, QStringLiteral("mide 74 bytes y su encabezado indica 75"), Mended},
        {[&] { writeFile(path(), table + 'x'); }, QStringLiteral("mide 77 bytes"), Mended},
    };
    for (const auto& [make, why, verdict] : cases) {
        SCOPED_TRACE(why.toStdString());
        QFile::remove(path());
        QDir().rmdir(path());
        make();
        QString error;
        EXPECT_EQ(DbfTable::inspect(path(), &error), verdict == Whole);
        EXPECT_TRUE(verdict == Whole || (error.contains(path()) && error.contains(why))) << error.toStdString();
        for (const DbfAccess access : {DbfAccess::ReadOnly, DbfAccess::ReadWrite}) {
            EXPECT_EQ(DbfTable::open(path(), &error, access) == nullptr, verdict == Refused);
            EXPECT_TRUE(verdict != Refused || (error.contains(path()) && error.contains(why))) << error.toStdString();
        }
        for (const QString& b : backups()) QFile::remove(dir_.filePath(b));
    }
    QFile::remove(path());
    EXPECT_EQ(backups(), QStringList());
}

TEST_F(Dbf, WritesAreInTheFileWhenTheCallReturnsUnlessTheTableIsReadOnly) {
    auto t = create();
    ASSERT_TRUE(t);
    QString error;
    quint64 changes = t->changeCount();
    auto written = [&] {  // the file read behind the table's back, after a change was counted
        EXPECT_GT(t->changeCount(), changes);
        changes = t->changeCount();
        return readFile(path());
    };
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(t->append({QStringLiteral("fila %1").arg(i)}, nullptr, &error));
        const QByteArray b = written();
        EXPECT_EQ(b[4], char(i + 1));
        EXPECT_EQ(b.mid(kHeader + i * kLength), " " + left("fila " + QByteArray::number(i), 36) + "F        \x1A");
    }
    ASSERT_TRUE(t->update(1, {QStringLiteral(" nueva"), 99, 0.5, true}, &error));
    EXPECT_EQ(written().mid(kHeader + kLength, kLength),
              " " + left(" nueva", 20) + right("99", 6) + right("0.50", 10) + "T" + QByteArray(8, ' '));
    ASSERT_TRUE(t->remove(1, &error));
    EXPECT_EQ(written()[kHeader + kLength], '*');
    int recno = -1;
    ASSERT_TRUE(t->append({QStringLiteral("otra")}, &recno, &error));
    EXPECT_EQ(recno, 3);  // record numbers are never reused

    const QByteArray before = readFile(path());
    t = DbfTable::open(path(), &error, DbfAccess::ReadOnly);
    ASSERT_TRUE(t && t->isReadOnly());
    EXPECT_FALSE(t->append({}, nullptr, &error) || t->update(0, {}, &error) || t->remove(0, &error));
    EXPECT_EQ(error, QStringLiteral("No se pueden guardar cambios en el archivo %1: es de solo lectura.").arg(path()));
    EXPECT_EQ(readFile(path()), before);
}

TEST_F(Dbf, PackKeepsTheLiveRecordsByteForByte) {
    auto t = create();
    ASSERT_TRUE(t);
    QString error;
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(t->append({QStringLiteral("Fila ñ %1").arg(i), i * 10, i / 4.0, i % 2 == 0, QDate(2020, 1, i + 1)},
                              nullptr, &error));
    ASSERT_TRUE(t->remove(1, &error));
    ASSERT_TRUE(t->remove(4, &error));
    t.reset();
    const QByteArray before = readFile(path());
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path(), mode));

    // A failure leaves the old file untouched and says so.
    ASSERT_TRUE(QDir().mkdir(path() + ".tmp"));
    EXPECT_FALSE(DbfTable::pack(path(), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("queda como estaba"))) << error.toStdString();
    EXPECT_EQ(readFile(path()), before);
    ASSERT_TRUE(QDir().rmdir(path() + ".tmp"));

    ASSERT_TRUE(DbfTable::pack(path(), &error)) << error.toStdString();
    auto record = [&](int i) { return before.mid(kHeader + i * kLength, kLength); };
    EXPECT_EQ(readFile(path()), before.left(4) + QByteArray("\x04\0\0\0", 4) + before.mid(8, kHeader - 8) + record(0) +
                                    record(2) + record(3) + record(5) + '\x1A');
    EXPECT_EQ(QFile::permissions(path()) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), mode);
}

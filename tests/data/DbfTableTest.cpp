// The table: its file byte for byte after every write; values refused with nothing written;
// damaged files refused and left alone; what an interrupted insert leaves mended after a copy is
// kept; what is no table file refused before it is read.

#include "data/Dbf.h"
#include "data/DbfTestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <tuple>

using namespace kalto;
using namespace kalto::test;

namespace {

const QList<DbfField> kSample = {{"NOMBRE", DbfType::Character, 20, 0}, {"CODIGO", DbfType::Numeric, 6, 0},
    {"MONTO", DbfType::Numeric, 10, 2}, {"ACTIVO", DbfType::Logical, 1, 0}, {"FECHA", DbfType::Date, 8, 0}};
constexpr int kHeader = 32 * 6 + 1, kLength = 46;  // of the sample table

class Dbf : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(QStringLiteral("TABLA.DBF")); }
    // The copies kept of the file before opening repaired it.
    QStringList backups() const {
        return QDir(dir_.path()).entryList({QStringLiteral("TABLA.DBF.*.bak")}, QDir::Files, QDir::Name);
    }
    QTemporaryDir dir_;
};

}  // namespace

// Every write is in the file when the call returns; a value that does not fit (in any field), a
// record that does not exist or is deleted, a table opened read only: refused, nothing written.
// Packing leaves the live records.
TEST_F(Dbf, EveryWriteIsInTheFileWhenTheCallReturnsAndARefusedOneWritesNothing) {
    QString error;
    ASSERT_TRUE(DbfTable::create(path(), kSample, &error)) << error.toStdString();
    auto t = DbfTable::open(path(), &error);
    ASSERT_TRUE(t) << error.toStdString();
    quint64 changes = t->changeCount();
    auto written = [&] {  // the file read behind the table's back, after a change was counted
        EXPECT_GT(t->changeCount(), changes);
        changes = t->changeCount();
        return readFile(path());
    };
    ASSERT_TRUE(t->append({QStringLiteral("Ñandú €"), 12, 1234.56, true, QDate(2024, 2, 29)}, nullptr, &error)) << error.toStdString();
    const QDate today = QDate::currentDate();
    const char top[] = {3, char(today.year() - 1900), char(today.month()), char(today.day()), 1, 0, 0, 0,
                        char(kHeader), 0, char(kLength), 0};
    QByteArray b = written();
    EXPECT_TRUE(b.left(12) == QByteArray(top, 12) && b.mid(32 * 3, 18) == QByteArray("MONTO\0\0\0\0\0\0N\0\0\0\0\x0A\x02", 18) &&
                b[29] == 0x03 && b[kHeader - 1] == 0x0D && b.size() == kHeader + kLength + 1);
    EXPECT_EQ(b.mid(kHeader), " " + left("\xD1" "and\xFA \x80", 20) + right("12", 6) + right("1234.56", 10) + "T20240229\x1A");
    int recno = -1;
    for (const char* name : {"dos", "tres"}) ASSERT_TRUE(t->append({QString::fromLatin1(name)}, &recno, &error));
    EXPECT_EQ(written()[4], 3);
    ASSERT_TRUE(t->update(1, {QStringLiteral(" nueva"), -7, 0.5, false, QDate(1999, 12, 31)}, &error));
    EXPECT_EQ(written().mid(kHeader + kLength, kLength), " " + left(" nueva", 20) + right("-7", 6) + right("0.50", 10) + "F19991231");
    ASSERT_TRUE(t->remove(1, &error));
    EXPECT_EQ(written()[kHeader + kLength], '*');
    ASSERT_TRUE(t->append({QStringLiteral("otra")}, &recno, &error));
    EXPECT_EQ(recno, 3);  // record numbers are never reused
    b = written();
    EXPECT_TRUE(b[4] == 4 && b.mid(kHeader + 3 * kLength) == " " + left("otra", 36) + "F" + QByteArray(8, ' ') + "\x1A");

    const QString ok = QStringLiteral("ok");
    const QList<std::pair<QVariantList, QString>> refused = {  // values, what the message names
        {{QString(21, u'x')}, "NOMBRE"}, {{ok, 1, 1, QStringLiteral("quizá")}, "ACTIVO"},
        {{1, 2, 3, 4, 5, 6}, "se dieron 6 valores y la tabla tiene 5"}};
    for (const auto& [values, named] : refused) {
        recno = 77;
        EXPECT_FALSE(t->append(values, &recno, &error) || t->update(0, values, &error));
        EXPECT_TRUE(error.contains(named) && recno == 77) << error.toStdString();
    }
    EXPECT_FALSE(t->update(4, {ok}, &error) || t->remove(-1, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("El registro 0 no existe"))) << error.toStdString();
    EXPECT_FALSE(t->update(1, {ok}, &error) || t->remove(1, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("El registro 2 del archivo %1 está borrado").arg(path()))) << error.toStdString();
    EXPECT_TRUE(readFile(path()) == b && t->changeCount() == changes);

    t = DbfTable::open(path(), &error, DbfAccess::ReadOnly);
    ASSERT_TRUE(t && t->isReadOnly());
    EXPECT_FALSE(t->append({}, nullptr, &error) || t->update(0, {}, &error) || t->remove(0, &error));
    EXPECT_EQ(error, QStringLiteral("No se pueden guardar cambios en el archivo %1: es de solo lectura.").arg(path()));
    EXPECT_EQ(readFile(path()), b);

    // Packing keeps the live records (all but the second) byte for byte, and the file's permissions.
    t.reset();
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path(), mode) && DbfTable::pack(path(), &error)) << error.toStdString();
    EXPECT_EQ(readFile(path()), QByteArray(b).remove(kHeader + kLength, kLength).replace(4, 1, "\x03"));
    EXPECT_EQ(QFile::permissions(path()) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), mode);
}

TEST_F(Dbf, DamagedHeadersAreRefusedNamingTheFileAndTheFault) {
    const QByteArray good = rawTable({{"UNO", 'C', 4}, {"DOS", 'N', 3}}, {" abcd 12", " efgh 34"});
    auto patched = [&](int at, const QByteArray& bytes) { return QByteArray(good).replace(at, bytes.size(), bytes); };
    const QByteArray unmarked = good.chopped(1);
    const QList<QPair<QByteArray, const char*>> cases = {
        {QByteArray(), "está vacío"}, {good.left(20), "es demasiado corto"}, {patched(32 * 3, " "), "falta la marca (0x0D)"},
        {patched(8, QByteArray("\xFF\x7F", 2)), "pasa del final del archivo"}, {unmarked + "junk", "de sus 2 registros hay datos"},
        {QByteArray(unmarked).replace(4, 1, "\x03"), "declara 3 registros y solo contiene 2"},
        {QByteArray(unmarked).replace(4, 1, "\x05") + " ijkl 56 mn", "declara 5 registros y solo contiene 3"},
        {QByteArray(unmarked).replace(4, 1, QByteArray(1, '\0')), "después de sus 0 registros"},
        {QByteArray(good).replace(4, 1, "\x01").insert(97 + 16, " ijkl 56"), "después de sus 1 registros hay más"},
        {QByteArray(good).replace(97 + 8, 1, "X"), "el registro 2 tiene una marca de borrado no válida («X»)"},
        {QByteArray(good).replace(97, 1, QByteArray(1, '\0')), "el registro 1 tiene una marca de borrado no válida (código 0)"},
        {patched(10, QByteArray("\x09\x00", 2)), "la longitud del registro no coincide"},
        {patched(10, QByteArray("\x00\x00", 2)), "del registro es cero"}, {patched(64, QByteArray(3, '\0')), "campo 2 no tiene nombre"},
        {patched(64 + 16, QByteArray(1, '\0')), "DOS tiene ancho cero"}, {patched(64, "uno"), "el campo uno aparece dos veces"},
        {patched(64 + 11, "M"), "el campo DOS es de un tipo desconocido («M»)"},
        {patched(32, "A\xD1O"), "el nombre del campo 1 no está escrito en ASCII"},
        {patched(32 + 11, "L"), "el campo lógico UNO mide 4 bytes"}, {patched(32 + 11, "D"), "el campo de fecha UNO mide 4"},
        {patched(8, "\x62"), "la longitud de su encabezado (98 bytes) no es la que piden sus 2 campos (97 bytes)"},
        {patched(8, "\x60"), "encabezado (96 bytes)"}, {patched(8, "\x41"), "encabezado (65 bytes)"},
        {patched(8, "\x20").replace(32, 1, "\x0D"), "la longitud de su encabezado (32 bytes) es menor que la mínima"},
        {patched(8, "\x21").replace(32, 1, "\x0D"), "no tiene campos"},
    };
    const QString damaged = QStringLiteral("El archivo %1 está dañado: ").arg(path());
    QString error;
    for (const auto& [file, why] : cases) {
        writeFile(path(), file);
        for (const DbfAccess access : {DbfAccess::ReadWrite, DbfAccess::ReadOnly}) {
            EXPECT_TRUE(!DbfTable::open(path(), &error, access) && error.startsWith(damaged) && error.contains(QString::fromUtf8(why)))
                << error.toStdString();
        }
        EXPECT_EQ(readFile(path()), file) << why;  // a damaged file is never "repaired"
    }
    EXPECT_EQ(backups(), QStringList());
}

// What an interrupted insert leaves (a whole record past the count, a torn last record) is mended
// after a copy is kept, unless the table is opened read only; bytes past the end mark, or a count
// past it, are left as they are, and records the header counts after an end mark are copied
// before an insert writes over them. At most three copies are kept.
TEST_F(Dbf, OnlyWhatAnInterruptedInsertLeavesIsMended) {
    const QList<RawField> fields = {{"UNO", 'C', 4}, {"DOS", 'N', 3}};
    const QList<QByteArray> three = {" abcd 12", "*efgh 34", " ijkl 56"};
    const QByteArray one = rawTable(fields, {" abcd 12"}), overJunk = rawTable(fields, three, 2) + "\x1A\x1A junk";
    const QByteArray markedSecond = rawTable(fields, {" abcd 12", "\x1A" "efgh 34", " ijkl 56"});
    const QByteArray markedFirst = rawTable(fields, {"\x1A" "abcd 12"});
    // The file, the records read, the file after opening, whether the header counts records past the end that the next
    // insert writes over (a copy is kept first).
    const QList<std::tuple<QByteArray, int, QByteArray, bool>> cases = {
        {rawTable(fields, three, 2), 3, rawTable(fields, three), false}, {one.chopped(1) + " ef", 1, one, false},
        {rawTable(fields, three, 2).chopped(1), 3, rawTable(fields, three), false},
        {overJunk, 3, QByteArray(overJunk).replace(4, 1, "\x03"), false}, {markedFirst, 0, markedFirst, true},
        {rawTable(fields, three).left(97 + 19), 2, rawTable(fields, three.mid(0, 2)), true},  // counted, torn
        {markedSecond, 1, markedSecond, true}, {one + " efgh 34 ijkl 56", 1, one + " efgh 34 ijkl 56", false},
        {rawTable(fields, {" abcd 12"}, 1000), 1, rawTable(fields, {" abcd 12"}, 1000), false},
        {rawTable(fields, three, 5) + " junk 7", 3, rawTable(fields, three, 5) + " junk 7", true},  // a record past the mark
    };
    for (const auto& [file, count, mended, overwrites] : cases) {
        SCOPED_TRACE(file.mid(97).toStdString());
        for (const QString& b : backups()) QFile::remove(dir_.filePath(b));
        writeFile(path(), file);
        QString error;
        auto t = DbfTable::open(path(), &error, DbfAccess::ReadOnly);
        EXPECT_TRUE(t && t->recordCount() == count && readFile(path()) == file);
        t = DbfTable::open(path(), &error);
        ASSERT_TRUE(t && t->recordCount() == count) << error.toStdString();
        EXPECT_EQ(readFile(path()), mended);
        EXPECT_EQ(backups().size(), mended == file ? 0 : 1);
        // The next insert goes after the records read, and the file is whole again.
        ASSERT_TRUE(t->append({QStringLiteral("zz"), 9}, nullptr, &error)) << error.toStdString();
        QList<QByteArray> copies;
        for (const QString& b : backups()) copies << readFile(dir_.filePath(b));
        EXPECT_TRUE(copies.size() == (mended == file ? 0 : 1) + (overwrites ? 1 : 0) && (copies.isEmpty() || copies.contains(file)));
        t = DbfTable::open(path(), &error);
        ASSERT_TRUE(t && t->recordCount() == count + 1) << error.toStdString();
        EXPECT_EQ(t->record(count), (QVariantList{QStringLiteral("zz"), qint64(9)}));
    }
    for (int i = 0; i < 4; ++i)  // one copy more than are kept
        ASSERT_TRUE(writeFile(path(), std::get<0>(cases[0])) && DbfTable::open(path(), nullptr));
    EXPECT_EQ(backups().size(), 3);
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
        {[&] { ::mkfifo(QFile::encodeName(path()).constData(), 0644); }, QStringLiteral("es una tubería (FIFO)"), Refused},
        {[&] { QFile::link(QStringLiteral("/dev/zero"), path()); }, QStringLiteral("es un dispositivo"), Refused},
        {[&] {}, QStringLiteral("No se encontró el archivo"), Refused},
        {[&] { sized(100 << 20); }, QStringLiteral("mide 104857600 bytes y su encabezado indica 75"), Refused},
        {[&] { sized(qint64(3) << 30); }, QStringLiteral("más de lo que puede medir una tabla"), Refused},
        {[&] { sized(table.size()); }, {}, Whole}, {[&] { sized(table.size() - 1); }, {}, Whole},
        {[&] { sized(table.size() - 2); }, QStringLiteral("mide 74 bytes y su encabezado indica 75"), Mended},
        {[&] { writeFile(path(), table + 'x'); }, QStringLiteral("mide 77 bytes"), Mended},
    };
    for (const auto& [make, why, verdict] : cases) {
        SCOPED_TRACE(why.toStdString());
        QFile::remove(path());
        make();
        QString error;
        EXPECT_EQ(DbfTable::inspect(path(), &error), verdict == Whole);
        EXPECT_TRUE(verdict == Whole || (error.contains(path()) && error.contains(why))) << error.toStdString();
        for (const DbfAccess access : {DbfAccess::ReadOnly, DbfAccess::ReadWrite}) {
            EXPECT_EQ(DbfTable::open(path(), &error, access) == nullptr, verdict == Refused);
            EXPECT_TRUE(verdict != Refused || (error.contains(path()) && error.contains(why))) << error.toStdString();
        }
    }
}

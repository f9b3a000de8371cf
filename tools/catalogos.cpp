// kalto_catalogos <carpeta de catálogos> <carpeta de salida>
//
// Turns the delivered catalogues, kept as editable text, into the .DBF tables the program
// reads. Every "<tabla>.csv" of the catalogue folder (UTF-8, comma separated, values holding
// commas or quotes between double quotes with inner quotes doubled, first line the field
// names of the table in file order) becomes "<tabla>.DBF" in the output folder, the name
// spelled as the table catalogue spells it. CONSIDERA.TXT is copied unchanged.
//
// Nothing is left half written: every file is first written under a temporary name, and
// only when all of them are complete are they renamed over the old ones. Any error names the
// file and line, leaves the output folder as it was and ends with exit status 1.

#include "data/Dbf.h"
#include "data/TableCatalogue.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

namespace {

const QString kConsiderations = QStringLiteral("CONSIDERA.TXT");
const QString kTempSuffix = QStringLiteral(".tmp");

struct Failure {
    QString message;
};

[[noreturn]] void fail(const QString& path, int line, const QString& message) {
    QString where = QDir::toNativeSeparators(path);
    if (line > 0) where += QLatin1Char(':') + QString::number(line);
    throw Failure{where + QStringLiteral(": ") + message};
}

struct CsvRecord {
    int line = 0;  // line on which the record begins, from 1
    QStringList fields;
};

// Comma-separated values as RFC 4180 describes them; line ends may be CRLF, LF or CR.
// A line with nothing on it is skipped.
QList<CsvRecord> parseCsv(const QString& path, const QString& text) {
    QList<CsvRecord> records;
    CsvRecord record;
    QString field;
    bool quoted = false;       // the current field began with a quote
    bool inQuotes = false;     // inside the quotes of a quoted field
    bool fieldStarted = false; // something of the current record has been read
    int line = 1;
    record.line = 1;

    auto endField = [&] {
        record.fields.append(field);
        field.clear();
        quoted = false;
    };
    auto endRecord = [&] {
        if (fieldStarted || !record.fields.isEmpty()) {
            endField();
            records.append(record);
        }
        record = CsvRecord{};
        field.clear();
        quoted = false;
        fieldStarted = false;
    };

    const int n = static_cast<int>(text.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        const bool lineEnd = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && !(i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))))
                    ++line;
                field += c;
            }
            continue;
        }
        if (lineEnd) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
            endRecord();
            ++line;
            record.line = line;
            continue;
        }
        if (c == QLatin1Char(',')) {
            fieldStarted = true;
            endField();
            continue;
        }
        if (quoted)
            fail(path, line, QStringLiteral("hay texto después de las comillas que cierran un valor; "
                                            "las comillas dentro de un valor se escriben dobles (\"\")"));
        if (c == QLatin1Char('"')) {
            if (!field.isEmpty())
                fail(path, line, QStringLiteral("comillas en medio de un valor sin comillas; escriba el valor "
                                                "entre comillas y las comillas interiores dobles (\"\")"));
            quoted = true;
            inQuotes = true;
            fieldStarted = true;
            continue;
        }
        fieldStarted = true;
        field += c;
    }
    if (inQuotes) fail(path, record.line, QStringLiteral("un valor entre comillas no se cierra antes del fin del archivo"));
    endRecord();
    return records;
}

QString readUtf8(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) fail(path, 0, QStringLiteral("no se puede leer: ") + file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(path, 0, QStringLiteral("no se puede leer: ") + file.errorString());
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        // Name the line of the first byte sequence that is not UTF-8.
        int line = 1;
        QStringDecoder probe(QStringDecoder::Utf8);
        for (qsizetype start = 0; start < bytes.size();) {
            qsizetype end = bytes.indexOf('\n', start);
            if (end < 0) end = bytes.size();
            probe.decode(bytes.mid(start, end - start + 1));
            if (probe.hasError()) break;
            ++line;
            start = end + 1;
        }
        fail(path, line, QStringLiteral("el archivo debe estar en UTF-8"));
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text;
}

QVariant convert(const QString& path, int line, const kalto::DbfField& field, const QString& text) {
    using kalto::DbfType;
    const QString trimmed = text.trimmed();
    switch (field.type) {
    case DbfType::Character: {
        QByteArray bytes;
        QString error;
        if (!kalto::toCp1252(text, &bytes, &error)) fail(path, line, field.name + QStringLiteral(": ") + error);
        if (bytes.size() > field.width)
            fail(path, line,
                 QStringLiteral("el valor de %1 tiene %2 caracteres y el campo admite %3: \"%4\"")
                     .arg(field.name)
                     .arg(bytes.size())
                     .arg(field.width)
                     .arg(text));
        return text;
    }
    case DbfType::Numeric: {
        if (trimmed.isEmpty()) return {};
        bool ok = false;
        if (field.decimals == 0) {
            const qlonglong value = trimmed.toLongLong(&ok);
            if (ok) return value;
            fail(path, line, QStringLiteral("%1 debe ser un número entero: \"%2\"").arg(field.name, text));
        }
        const double value = trimmed.toDouble(&ok);  // '.' as the decimal point, whatever the locale
        if (ok) return value;
        fail(path, line, QStringLiteral("%1 debe ser un número (con punto decimal): \"%2\"").arg(field.name, text));
    }
    case DbfType::Logical: {
        if (trimmed.isEmpty()) return {};
        const QString v = trimmed.toUpper();
        if (v == QLatin1String("T") || v == QLatin1String("Y") || v == QLatin1String("S")) return true;
        if (v == QLatin1String("F") || v == QLatin1String("N")) return false;
        fail(path, line, QStringLiteral("%1 debe ser T o F: \"%2\"").arg(field.name, text));
    }
    case DbfType::Date: {
        if (trimmed.isEmpty()) return {};
        QDate date = QDate::fromString(trimmed, QStringLiteral("yyyyMMdd"));
        if (!date.isValid()) date = QDate::fromString(trimmed, QStringLiteral("yyyy-MM-dd"));
        if (date.isValid()) return date;
        fail(path, line, QStringLiteral("%1 debe ser una fecha AAAA-MM-DD: \"%2\"").arg(field.name, text));
    }
    }
    fail(path, line, QStringLiteral("tipo de campo desconocido en %1").arg(field.name));
}

// Writes the table of one catalogue file under the name `temp`.
void buildTable(const QString& csvPath, const kalto::TableDef& def, const QString& temp) {
    const QList<CsvRecord> records = parseCsv(csvPath, readUtf8(csvPath));
    if (records.isEmpty()) fail(csvPath, 1, QStringLiteral("falta la línea de encabezado con los nombres de los campos"));

    QStringList expected;
    for (const auto& f : def.fields) expected << f.name;
    const CsvRecord& header = records.first();
    if (header.fields != expected)
        fail(csvPath, header.line,
             QStringLiteral("los nombres de los campos no son los de la tabla %1; se esperaba \"%2\" y dice \"%3\"")
                 .arg(def.name, expected.join(QLatin1Char(',')), header.fields.join(QLatin1Char(','))));

    // Check every row before anything is written.
    QList<QVariantList> rows;
    for (qsizetype r = 1; r < records.size(); ++r) {
        const CsvRecord& rec = records.at(r);
        if (rec.fields.size() != def.fields.size())
            fail(csvPath, rec.line,
                 QStringLiteral("el renglón tiene %1 valores y la tabla %2 tiene %3 campos")
                     .arg(rec.fields.size())
                     .arg(def.name)
                     .arg(def.fields.size()));
        QVariantList values;
        for (qsizetype i = 0; i < def.fields.size(); ++i) values << convert(csvPath, rec.line, def.fields.at(i), rec.fields.at(i));
        rows << values;
    }

    QString error;
    if (!kalto::DbfTable::create(temp, def.fields, &error)) fail(csvPath, 0, error);
    auto table = kalto::DbfTable::open(temp, &error);
    if (!table) fail(csvPath, 0, error);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        int recno = -1;
        if (!table->append(rows.at(r), &recno, &error)) fail(csvPath, records.at(r + 1).line, error);
    }
    if (table->recordCount() != rows.size())
        fail(csvPath, 0, QStringLiteral("la tabla escrita tiene %1 registros y el archivo %2 renglones")
                             .arg(table->recordCount())
                             .arg(rows.size()));
}

void copyFile(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) fail(from, 0, QStringLiteral("no se puede leer: ") + in.errorString());
    const QByteArray bytes = in.readAll();
    if (bytes.isEmpty()) fail(from, 0, QStringLiteral("el archivo está vacío"));
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(to, 0, QStringLiteral("no se puede escribir: ") + out.errorString());
    if (out.write(bytes) != bytes.size() || !out.flush())
        fail(to, 0, QStringLiteral("no se puede escribir: ") + out.errorString());
    out.close();
    if (out.error() != QFileDevice::NoError) fail(to, 0, QStringLiteral("no se puede escribir: ") + out.errorString());
}

std::filesystem::path fsPath(const QString& path) { return std::filesystem::path(QFile::encodeName(path).constData()); }

int run(const QString& sourceDir, const QString& outputDir) {
    const QDir source(sourceDir);
    if (!source.exists()) fail(sourceDir, 0, QStringLiteral("la carpeta de catálogos no existe"));
    if (!QDir().mkpath(outputDir)) fail(outputDir, 0, QStringLiteral("no se puede crear la carpeta de salida"));
    const QDir output(outputDir);

    // Catalogue file for every table, checked before anything is written.
    std::map<QString, QString> csvOfTable;  // table name -> csv path
    std::vector<const kalto::TableDef*> defs;
    const QFileInfoList files = source.entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& info : files) {
        if (info.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) != 0) continue;
        const kalto::TableDef* def = kalto::findTableDef(info.completeBaseName());
        if (!def)
            fail(info.filePath(), 0,
                 QStringLiteral("no hay una tabla llamada \"%1\" en el catálogo de tablas del programa")
                     .arg(info.completeBaseName()));
        if (csvOfTable.count(def->name))
            fail(info.filePath(), 0, QStringLiteral("la tabla %1 ya se toma de %2")
                                         .arg(def->name, QDir::toNativeSeparators(csvOfTable[def->name])));
        csvOfTable[def->name] = info.filePath();
        defs.push_back(def);
    }
    for (const auto& def : kalto::tableCatalogue())
        if (def.group == kalto::TableGroup::Catalogue && !csvOfTable.count(def.name))
            fail(source.filePath(def.name + QStringLiteral(".csv")),
                 0, QStringLiteral("falta el archivo del catálogo %1").arg(def.name));
    const QString considerations = source.filePath(kConsiderations);
    if (!QFileInfo(considerations).isFile()) fail(considerations, 0, QStringLiteral("falta el archivo"));

    // Write everything under temporary names.
    std::vector<std::pair<QString, QString>> renames;  // temporary -> final
    try {
        for (const kalto::TableDef* def : defs) {
            const QString target = output.filePath(def->name + QStringLiteral(".DBF"));
            const QString temp = target + kTempSuffix;
            renames.emplace_back(temp, target);
            buildTable(csvOfTable[def->name], *def, temp);
        }
        const QString target = output.filePath(kConsiderations);
        renames.emplace_back(target + kTempSuffix, target);
        copyFile(considerations, target + kTempSuffix);
    } catch (...) {
        for (const auto& r : renames) QFile::remove(r.first);
        throw;
    }

    // All complete: put them in place.
    for (const auto& [temp, target] : renames) {
        std::error_code ec;
        std::filesystem::rename(fsPath(temp), fsPath(target), ec);
        if (ec) {
            for (const auto& r : renames) QFile::remove(r.first);
            fail(target, 0, QStringLiteral("no se puede reemplazar: ") + QString::fromLocal8Bit(ec.message()));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("uso: kalto_catalogos <carpeta de catálogos> <carpeta de salida>\n", stderr);
        return 1;
    }
    try {
        return run(QFile::decodeName(argv[1]), QFile::decodeName(argv[2]));
    } catch (const Failure& f) {
        std::fprintf(stderr, "kalto_catalogos: %s\n", f.message.toUtf8().constData());
        return 1;
    }
}

// libFuzzer target for the checks of the import lines: any bytes are read as an import file
// (decoded and split into lines as anexo.csv and prod.csv are, a piece at a time, and checked
// against the whole file decoded at once) and every line goes through the annex checks and
// the product checks. What they promise is checked against a model of its
// own, and every row they accept is appended to a table of the program's fields and read back
// unchanged. A broken promise aborts, so the fuzzer reports it like a crash.
//
// Build and run: fuzz/build.sh, then see fuzz/README.

#include "annexes/Import.h"
#include "annexes/ImportLines.h"
#include "annexes/ImportText.h"
#include "data/Dbf.h"
#include "data/TableCatalogue.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace kalto;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

QString folder() {
    static const QString dir = [] {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        QString d = QStringLiteral("%1/fuzz_import.%2").arg(QString::fromLatin1(base)).arg(::getpid());
        QByteArray native = QFile::encodeName(d);
        ::mkdir(native.constData(), 0700);
        return d;
    }();
    return dir;
}

// A table of the program's fields for `name`, made anew when it has grown long.
DbfTable* table(const char* name) {
    static QHash<QString, std::shared_ptr<DbfTable>> open;
    const QString key = QString::fromLatin1(name);
    std::shared_ptr<DbfTable>& t = open[key];
    if (!t || t->recordCount() > 20000) {
        t.reset();
        const QString path = folder() + u'/' + key + QStringLiteral(".DBF");
        QString error;
        check(DbfTable::create(path, findTableDef(key)->fields, &error), "cannot make a table");
        t = std::shared_ptr<DbfTable>(DbfTable::open(path, &error).release());
        check(t != nullptr, "cannot open a table made");
    }
    return t.get();
}

// Appends the row and reads it back: what an import accepts is stored as it was read.
void storedAsIs(const char* name, const QVariantList& values) {
    DbfTable* t = table(name);
    QString error;
    int recno = -1;
    if (!t->append(values, &recno, &error)) {
        std::fprintf(stderr, "%s: %s\n", name, qPrintable(error));
        check(false, "an accepted line cannot be stored");
    }
    const QVariantList back = t->record(recno);
    for (int f = 0; f < values.size(); ++f) {
        const QVariant& v = values.at(f);
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString();
            if (!(s.isEmpty() ? back.at(f).isNull() || back.at(f).toString().isEmpty() : back.at(f).toString() == s))
                std::fprintf(stderr, "%s: [%s] read back as [%s]\n", name, qPrintable(s.toUtf8().toPercentEncoding(" ")),
                             qPrintable(back.at(f).toString().toUtf8().toPercentEncoding(" ")));
            check(s.isEmpty() ? back.at(f).isNull() || back.at(f).toString().isEmpty() : back.at(f).toString() == s,
                  "a text accepted is read back otherwise");
        } else {
            check(back.at(f).toDouble() == v.toDouble(), "a number accepted is read back otherwise");
        }
    }
}

bool eightDigits(const QString& s) {
    static const QRegularExpression re(QStringLiteral("^[0-9]{8}$"));
    return re.match(s).hasMatch();
}

const QHash<qint64, QString>& units() {
    static const QHash<qint64, QString> u{{1, QStringLiteral("KILOGRAMO")},
                                          {6, QStringLiteral("PIEZA")},
                                          {19, QStringLiteral("METRO CÚBICO")},
                                          {99999, QStringLiteral("OTRA")}};
    return u;
}

// A refusal names its value and a message that begins with a blank; its error line says so.
void wellRefused(int number, const Refusal& r) {
    check(r.message.startsWith(u' ') && r.message.size() > 1, "a refusal without its message");
    const QString line = errorLine(number, r);
    check(line.startsWith(QStringLiteral("Renglon %1. ").arg(number)) && line.endsWith(r.message),
          "an error line out of its shape");
}

// The lines as the imports read them, in pieces of a size the input decides; they must be
// the lines of the whole file decoded at once, and as many as the first pass counted.
QStringList linesOf(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    ImportReader reader(buffer, bytes.size(), QStringLiteral("anexo.csv"), 1 + bytes.size() % 61);
    check(reader.scan() == ImportReader::Step::End, "the first pass did not end");
    QStringList lines;
    QString line;
    for (ImportReader::Step s; (s = reader.next(&line)) != ImportReader::Step::End;) {
        check(s == ImportReader::Step::Line || s == ImportReader::Step::LongLine, "a line not read");
        lines << line;
    }
    check(reader.lineCount() == lines.size(), "the lines counted are not the lines read");
    const QString text = decodeText(bytes);
    QStringList whole = text.isEmpty() ? QStringList() : text.split(u'\n');
    if (text.endsWith(u'\n')) whole.removeLast();
    if (bytes.size() < ImportReader::kMaxLine) check(lines == whole, "the lines read in pieces differ");
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = linesOf(bytes);
    for (const QString& l : lines)
        check(!l.contains(u'\n') && !l.contains(u'\r'), "a line holds a line end");

    // Annex lines. The model: an input is accepted only under an export product accepted
    // before it with no container, tool or unknown letter in between.
    AnnexLineChecks annex;
    bool parentOk = false;
    QStringList errors;
    for (int i = 0; i < lines.size(); ++i) {
        const QString& text = lines.at(i);
        AnnexRow row;
        Refusal refusal;
        const LineOutcome outcome = annex.check(text, &row, &refusal);
        const bool blank = text.trimmed().isEmpty();
        check(blank == (outcome == LineOutcome::Blank), "blank lines are told wrong");
        if (blank) continue;
        const QChar letter = text.at(0);
        const QString plain = text.mid(2).trimmed();
        if (outcome == LineOutcome::Refused) {
            wellRefused(i + 1, refusal);
            errors << errorLine(i + 1, refusal);
        }
        const bool loaded = outcome == LineOutcome::Loaded;
        switch (letter.unicode()) {
        case 'E':
            check(!loaded || (row.exportProduct() && eightDigits(row.fraccion) && row.descrip.isEmpty()),
                  "an export product accepted without its tariff item");
            check(loaded || !eightDigits(plain), "an export product refused with a good tariff item");
            parentOk = loaded;
            break;
        case 'I':
            check(!loaded || (parentOk && row.input && row.kind == 1 && eightDigits(row.fraccion)),
                  "an input accepted without its export product or tariff item");
            check(loaded || !parentOk || !eightDigits(plain), "an input refused under a good export product");
            break;
        case 'C':
        case 'H':
            check(!loaded || (row.kind == (letter == u'C' ? 2 : 3) && !row.descrip.isEmpty() && !row.input &&
                              row.descrip.size() <= 254 && row.descrip == row.descrip.trimmed()),
                  "a container or tool accepted without a description");
            for (const QChar c : row.descrip)
                check(c.unicode() >= 0x20 || c == u'\t', "a description accepted with a control character");
            parentOk = false;
            break;
        default:
            check(!loaded, "an unknown letter accepted");
            check(refusal.value == QString(letter), "an unknown letter not named");
            parentOk = false;
            break;
        }
        if (loaded) storedAsIs("imanexos", {qint64(i + 1), row.kind, row.descrip, row.fraccion, row.input ? 1 : 0});
    }

    // Product lines. The model: a line of eight digits, a known unit, a whole capacity of at
    // most eight digits and a whole percentage of at most two is accepted.
    static const QRegularExpression good(QStringLiteral("^ *([0-9]{8}) *, *([0-9]{1,5}) *, *[0-9]{1,8} *, *[0-9]{1,2} *(,.*)?$"));
    for (int i = 0; i < lines.size(); ++i) {
        const QString& text = lines.at(i);
        ProductRow row;
        Refusal refusal;
        const LineOutcome outcome = checkProductLine(text, units(), &row, &refusal);
        const bool blank = text.trimmed().isEmpty();
        check(blank == (outcome == LineOutcome::Blank), "blank product lines are told wrong");
        if (outcome == LineOutcome::Refused) {
            wellRefused(i + 1, refusal);
            errors << errorLine(i + 1, refusal);
        }
        const QRegularExpressionMatch m = good.match(text);
        if (m.hasMatch() && units().contains(m.captured(2).toLongLong()))
            check(outcome == LineOutcome::Loaded, "a good product line refused");
        if (outcome != LineOutcome::Loaded) continue;
        check(eightDigits(row.fraccion), "a product accepted without its tariff item");
        check(units().value(row.umid) == row.um && units().contains(row.umid), "a product with an unknown unit");
        check(row.volumen.toDouble() >= 0 && row.volumen.toDouble() <= 99999999, "a capacity out of 0 to 99999999");
        check(row.porcut.toDouble() >= 0 && row.porcut.toDouble() <= 100, "a percentage out of 0 to 100");
        storedAsIs("improd", {qint64(i + 1), row.fraccion, QString(), row.volumen, row.porcut, row.umid, row.um});
    }

    // The error file holds one line per refusal.
    for (const QString& e : errors) {
        const QByteArray line = errorFileLine(e);
        check(line.endsWith("\r\n") && line.count('\n') == 1 + e.count(u'\n'), "the error file lines");
    }
    return 0;
}

#pragma once
// The import of lists prepared outside the program: annexes from anexo.csv into imanexos,
// products from prod.csv into improd, both files on drive C:. Each import reads its file line
// by line (holding one line at a time, whatever the file's size), stores every accepted line
// at once and writes the refused ones, each with the reason, to its error file on C:
// (eanexo.csv, eprod.csv), made anew at every run. Nothing the tables held before is changed.
// Only a regular file is read: a folder, a device, a named pipe (or a link to one of them) is
// refused before it is opened. Where the text file is not, a workbook of the same name is read
// instead (anexo.xlsx, else anexo.ods; prod.xlsx, else prod.ods): its first sheet's rows are
// the lines (WorkbookLines.h), with the same checks, error file and summary.
//
// An annex line is a letter, a separator (any character) and a value: E an export product
// (its tariff item), I an imported input of the last export product (its tariff item), C a
// container and H a tool, machinery or equipment (their descriptions). A product line is
// tariff item, unit code, installed capacity and percentage used, separated by commas.
//
// Identifiers: the row of line n of the annex file gets the highest ID_PROD the table held
// before the import plus n (n itself on an empty table), its inputs point at their export
// product's, so an import never meets an identifier already used. An imported product gets
// its export-product row in imanexos as a typed product does, with the next identifier.
// A line whose identifier would pass 32767 is refused.

#include "annexes/ImportLines.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>

namespace kalto {

class Database;
class Drives;

namespace importmsg {
// Annex lines.
extern const QString kExportacionLongitud;
extern const QString kExportacionNumerico;
extern const QString kImportacionSinPadre;
extern const QString kImportacionPadreConProblema;
extern const QString kImportacionLongitud;
extern const QString kImportacionNumerico;
extern const QString kLetraNoReconocida;
extern const QString kSinDescripcion;
extern const QString kDescripcionLarga;
// Product lines.
extern const QString kFraccionLongitud;
extern const QString kFraccionNumerico;
extern const QString kUnidadNumerico;
extern const QString kUnidadNoEncontrada;
extern const QString kCapacidadNumerico;
extern const QString kCapacidadMaximo;
extern const QString kCapacidadNegativo;
extern const QString kCapacidadDecimales;
extern const QString kPorcentajeNumerico;
extern const QString kPorcentajeMaximo;
extern const QString kPorcentajeNegativo;
extern const QString kPorcentajeDecimales;
extern const QString kRenglonIncompleto;
// Either: the identifier would pass 32767 (%1: the identifier), a character the tables
// cannot hold (%1: its code), a control character in a description (%1: its code), the
// table refused the row (%1: the reason).
extern const QString kIdentificadorExcedido;
extern const QString kCaracterNoValido;
extern const QString kCaracterDeControl;
extern const QString kNoSeGuardo;
// A line of more characters than an import reads of one (ImportReader::kMaxLine).
extern const QString kRenglonLargo;
}  // namespace importmsg

// The error-file line of a refused line: "Renglon " + number + ". " + value + message.
QString errorLine(int number, const Refusal& refusal);

// The checks and the rows of one kind of line, with the state carried from line to line.
class LineImport {
public:
    using Outcome = LineOutcome;

    virtual ~LineImport() = default;
    // Reads what the import needs from the tables before the first line; false, with a
    // Spanish message, when they cannot be read.
    virtual bool start(QString* error) = 0;
    // Checks line `number` (from 1) and stores its row. A line of blanks only is Blank: it
    // is neither stored nor refused, and changes no state. `cut`: `text` is only the beginning
    // of a longer line, which is checked as far as it goes and never stored.
    virtual Outcome line(int number, const QString& text, Refusal* refusal, bool cut) = 0;
};

// Annex lines into imanexos: the checks of AnnexLineChecks (ImportLines.h), and the
// identifier of the open export product for its inputs.
class AnnexLineImport : public LineImport {
public:
    explicit AnnexLineImport(Database& db) : db_(db) {}
    bool start(QString* error) override;
    Outcome line(int number, const QString& text, Refusal* refusal, bool cut) override;

private:
    std::optional<Refusal> store(int number, int kind, const QString& descrip, const QString& fraccion, int parent,
                                 const QString& value, int* id);

    Database& db_;
    qint64 base_ = 0;  // highest ID_PROD before the import (0 on an empty table)
    AnnexLineChecks checks_;
    int parentId_ = 0;
};

// Product lines into improd, each with its export-product row in imanexos.
class ProductLineImport : public LineImport {
public:
    explicit ProductLineImport(Database& db) : db_(db) {}
    bool start(QString* error) override;
    Outcome line(int number, const QString& text, Refusal* refusal, bool cut) override;

private:
    Database& db_;
    qint64 nextId_ = 1;               // identifier of the next export-product row
    QHash<qint64, QString> units_;    // imunidmd: code -> name
};

// What an import reports as it goes: lines read so far and lines in the file. Returning
// false stops it after the line read last; what was stored stays. While the file is first
// read through (its encoding found and its lines counted, before any line is stored), `read`
// is 0 and `total` the lines counted so far; returning false then stores nothing.
using ImportProgress = std::function<bool(int read, int total)>;

struct ImportResult {
    enum class Status {
        Completed,  // every line was read
        Cancelled,  // stopped through the progress report
        NotRun      // nothing was read or stored: `error` says why
    };
    enum class Kind { Annexes, Products };

    Kind kind = Kind::Annexes;
    Status status = Status::NotRun;
    QString inputPath;
    QString errorPath;
    int total = 0;    // lines in the file
    int read = 0;     // lines read (all of them unless cancelled)
    int loaded = 0;   // lines stored
    int refused = 0;  // lines written to the error file
    int blank = 0;    // lines of blanks only, skipped
    QString error;    // NotRun: why; otherwise a problem met at the end (the error file)

    // Whether the tables changed (the record sets on them are to be refreshed).
    bool changed() const { return loaded > 0; }
    // Whether the user is to be warned (nothing run, lines refused, a cancel, a problem).
    bool warns() const { return status != Status::Completed || refused > 0 || !error.isEmpty(); }
    // The message shown at the end, in Spanish.
    QString summary() const;
};

// Runs one import of `lines` read from `inputPath`, writing the refused ones to `errorPath`.
// One transaction holds the rows it stores.
ImportResult runImport(Database& db, LineImport& lines, const QString& inputPath, const QString& errorPath,
                       const ImportProgress& progress = {}, ImportResult::Kind kind = ImportResult::Kind::Annexes);

// The two imports, with their files on drive C: of `drives`; `chosen`, when given, is the text
// file or workbook the user picked elsewhere (the refused lines still go to drive C:).
ImportResult importAnnexes(Database& db, const Drives& drives, const ImportProgress& progress = {},
                           const QString& chosen = {});
ImportResult importProducts(Database& db, const Drives& drives, const ImportProgress& progress = {},
                            const QString& chosen = {});
// The file an import would read on drive C: (the text file, else a workbook of its name), or an
// empty text when there is none.
QString importSourceOnDriveC(const Drives& drives, ImportResult::Kind kind);

// Lines above which the window shows the progress of an import with a cancel button.
constexpr int kImportProgressLines = 2000;

}  // namespace kalto

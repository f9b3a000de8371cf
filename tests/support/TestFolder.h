#pragma once
// A temporary data folder holding the delivered catalogues, for tests.

#include "data/Database.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kalto::test {

class TestFolder {
public:
    // Copies every .DBF and CONSIDERA.TXT from the build's catalogue folder.
    TestFolder() {
        const QDir source(QStringLiteral(KALTO_CATALOGUES_DIR));
        const QStringList files =
            source.entryList({QStringLiteral("*.DBF"), QStringLiteral("*.dbf"), QStringLiteral("CONSIDERA.TXT")},
                             QDir::Files);
        for (const QString& f : files) {
            // Only the catalogues; request tables of the build folder (if any) are not copied.
            if (f.compare(QStringLiteral("CONSIDERA.TXT"), Qt::CaseInsensitive) != 0 && !isCatalogue(f)) continue;
            QFile::copy(source.filePath(f), dir_.filePath(f));
        }
    }

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    // Opens a Database on the folder; fails the calling test through `ok` when it cannot.
    bool open(Database& db, QString* error = nullptr) const { return db.open(path(), error); }

private:
    static bool isCatalogue(const QString& file) {
        static const QStringList names{QStringLiteral("imsector"), QStringLiteral("imcserv"),
                                       QStringLiteral("imunidmd"), QStringLiteral("csector"),
                                       QStringLiteral("activida"), QStringLiteral("prodabas")};
        const QString base = file.left(file.lastIndexOf(QLatin1Char('.')));
        return names.contains(base, Qt::CaseInsensitive);
    }
    QTemporaryDir dir_;
};

// A temporary folder standing for a drive ($KALTO_UNIDAD_A by default) while it lives: a member
// of a fixture, so that it is in place before the fixture opens anything.
class TestDrive {
public:
    explicit TestDrive(const char* variable = "KALTO_UNIDAD_A") : variable_(variable) {
        qputenv(variable_, QFile::encodeName(dir_.path()));
    }
    ~TestDrive() { qunsetenv(variable_); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    QStringList files() const { return QDir(path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

private:
    const char* variable_;
    QTemporaryDir dir_;
};

}  // namespace kalto::test

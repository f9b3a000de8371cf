#pragma once
// Which folder holds the program's tables, and filling a new one with the delivered
// catalogues.
//
// $KALTO_DATOS, when set, always names the folder. Otherwise the executable's folder is
// used when it can be written and either already holds tables (a build, or a copy of the
// program with its data beside it) or there is no installed catalogue folder. An installed
// program (its catalogues under <prefix>/share/kalto) whose folder holds no tables, or cannot
// be written, keeps its data in the user's data folder, filled from the installed catalogues
// with every table and CONSIDERA.TXT it does not hold yet.

#include <QString>

namespace kalto {

struct DataFolderInputs {
    QString variable;          // $KALTO_DATOS; empty when unset
    QString executableFolder;  // folder of the running executable
    bool executableWritable = false;
    QString installedFolder;   // <prefix>/share/kalto beside the executable's bin/
    QString userFolder;        // the user's data folder for this program
};

struct DataFolderChoice {
    QString carpeta;   // absolute path of the data folder
    QString semilla;   // folder to fill it from; empty when nothing is copied

    // Chooses the folder; looks at the disk only to see what the folders hold.
    static DataFolderChoice choose(const DataFolderInputs& inputs);

    // The inputs of the running program: $KALTO_DATOS, the executable's folder,
    // ../share/kalto beside it and the application's data location.
    static DataFolderInputs currentInputs();

    // Creates the folder when it must be filled, then copies into it every table (.DBF)
    // and CONSIDERA.TXT of the seed folder that it does not hold yet; nothing already there
    // is replaced. False with a Spanish message in *error when something cannot be written.
    bool prepare(QString* error) const;
};

}  // namespace kalto

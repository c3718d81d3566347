#pragma once
// Where the console keeps its settings file and, unless the settings name others, the folders
// its recordings and exports go to.

#include <QString>

namespace vexar {

struct ConsoleFolders {
    QString programFolder; ///< with a trailing separator: the folders' fallback, and where Vexar.INI is
    QString settingsPath;  ///< empty: Vexar.INI in programFolder
};

/// The settings file given with --settings when there is one; else Vexar.INI beside the program
/// when the console may write there. An installed console may not (its program lies in /usr/bin):
/// its settings then live in the user's configuration folder, started once from the Vexar.INI
/// beside the program when there is one, and its files go to the user's documents, so that
/// nothing the operator sets or records is silently lost.
ConsoleFolders ChooseConsoleFolders(const QString& programDir, const QString& settingsOption,
                                    bool programDirWritable, const QString& userConfigDir,
                                    const QString& userDocumentsDir);

} // namespace vexar

// Where the program looks for its files on this system.
#pragma once

#include <QString>
#include <QStringList>

namespace tonalis::app {

// The executable's full file name, or empty when the system does not say.
QString ProgramFile();

// The program's installed data folder for an executable at `programFile`:
// share/tonalis of the installation prefix the executable lies in.
QString InstalledDataFolder(const QString& programFile);

// The user's data folder of the program: $XDG_DATA_HOME/tonalis, by default
// ~/.local/share/tonalis.
QString UserDataFolder();

// The folders searched for the language module, first to last: the
// executable's folder, the user's data folder, the installed data folder.
QStringList ModuleSearchFolders(const QString& programFile);

// Makes the user's data folder (created when missing) the current folder,
// for a start from the desktop menu, so that the library file has a home
// of its own. Returns an error text, or empty when done.
QString EnterUserDataFolder();

}  // namespace tonalis::app

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

// The user's languages for messages, first choice first, as the system's
// message catalogues read them: the locale is the first of LC_ALL,
// LC_MESSAGES and LANG that is set; when it is C or POSIX (or nothing is
// set) the list is empty and the program speaks its own English. Otherwise
// LANGUAGE, a colon-separated list, names the languages when it is set, else
// the locale does. Each name gives itself without its character set and
// modifier, then its bare language: "de_DE.UTF-8" gives "de_DE", "de".
QStringList LocaleLanguages();

// The folders searched for the language module, first to last: the
// executable's folder, the user's data folder, the installed data folder,
// then the installed modules of `languages` in that order
// (<installed data folder>/lang/<language>).
QStringList ModuleSearchFolders(const QString& programFile,
                                const QStringList& languages = LocaleLanguages());

// Makes the user's data folder (created when missing) the current folder,
// for a start from the desktop menu, so that the library file has a home
// of its own. Returns an error text, or empty when done.
QString EnterUserDataFolder();

}  // namespace tonalis::app

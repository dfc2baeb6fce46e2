#include "app/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "formats/library_file.h"

namespace tonalis::app {

QString ProgramFile() {
  return QCoreApplication::instance() != nullptr ? QCoreApplication::applicationFilePath()
                                                 : QString();
}

QString InstalledDataFolder(const QString& programFile) {
  // TONALIS_BIN_TO_DATA: the path from the installed executable's folder to
  // the program's data folder (normally "../share/tonalis").
  const QDir bin = QFileInfo(programFile).absoluteDir();
  return QDir::cleanPath(bin.filePath(QStringLiteral(TONALIS_BIN_TO_DATA)));
}

QString UserDataFolder() {
  // The command line's rule, so that both find the same library.
  return QString::fromLocal8Bit(tonalis::UserDataFolder());
}

QStringList LocaleLanguages() {
  QString locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = QString::fromLocal8Bit(qgetenv(name));
    if (!locale.isEmpty())
      break;
  }
  const QString bare = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
  if (bare.isEmpty() || bare == QLatin1String("C") || bare == QLatin1String("POSIX"))
    return {};
  const QString list = QString::fromLocal8Bit(qgetenv("LANGUAGE"));
  QStringList languages;
  for (const QString& entry : (list.isEmpty() ? locale : list).split(QLatin1Char(':'))) {
    const QString name = entry.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    // A name is letters, digits and '_': nothing that leads out of lang/.
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!valid.match(name).hasMatch() || name == QLatin1String("C") ||
        name == QLatin1String("POSIX"))
      continue;
    languages << name << name.section(QLatin1Char('_'), 0, 0);
  }
  languages.removeDuplicates();
  return languages;
}

QStringList ModuleSearchFolders(const QString& programFile, const QStringList& languages) {
  QStringList folders;
  if (!programFile.isEmpty())
    folders << QFileInfo(programFile).absolutePath();
  folders << UserDataFolder();
  if (!programFile.isEmpty()) {
    const QDir installed(InstalledDataFolder(programFile));
    folders << installed.path();
    for (const QString& language : languages)
      folders << installed.filePath(QStringLiteral("lang/") + language);
  }
  folders.removeDuplicates();
  return folders;
}

QString EnterUserDataFolder() {
  const QString folder = UserDataFolder();
  if (!QDir().mkpath(folder))
    return QStringLiteral("cannot create the folder %1").arg(folder);
  if (!QDir::setCurrent(folder))
    return QStringLiteral("cannot change to the folder %1").arg(folder);
  return {};
}

}  // namespace tonalis::app

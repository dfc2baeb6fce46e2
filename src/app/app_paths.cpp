#include "app/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

QStringList ModuleSearchFolders(const QString& programFile) {
  QStringList folders;
  if (!programFile.isEmpty())
    folders << QFileInfo(programFile).absolutePath();
  folders << UserDataFolder();
  if (!programFile.isEmpty())
    folders << InstalledDataFolder(programFile);
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

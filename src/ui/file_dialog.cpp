#include "ui/file_dialog.h"

#include <QFileDialog>
#include <QRegularExpression>
#include <QStringList>

namespace tonalis::ui {

namespace {

std::optional<QString> Run(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted)
    return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty())
    return std::nullopt;
  return files.front();
}

}  // namespace

std::optional<QString> QtFileDialog::OpenFile(QWidget* owner, const QString& directory,
                                              const QString& filters) {
  QFileDialog dialog(owner, QString(), directory, filters);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  return Run(dialog);
}

std::optional<QString> QtFileDialog::SaveFile(QWidget* owner, const QString& directory,
                                              const QString& filters, const QString& name) {
  QFileDialog dialog(owner, QString(), directory, filters);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.selectFile(name);
  return Run(dialog);
}

QString ToQtFilter(const QString& barFilter) {
  static const QRegularExpression trailingGroup(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  const QStringList parts = barFilter.split(QLatin1Char('|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    if (description.isEmpty())
      break;  // "||" ends the list
    QStringList patterns;
    for (const QString& raw : parts[i + 1].split(QLatin1Char(';'))) {
      QString pattern = raw.trimmed();
      if (pattern.isEmpty())
        continue;
      if (pattern == QLatin1String("*.*"))
        pattern = QStringLiteral("*");
      if (!patterns.contains(pattern))
        patterns.append(pattern);
    }
    if (patterns.isEmpty())
      patterns.append(QStringLiteral("*"));
    description.remove(trailingGroup);
    entries.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')'));
  }
  return entries.join(QStringLiteral(";;"));
}

}  // namespace tonalis::ui

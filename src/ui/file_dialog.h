// The file-open dialog behind a seam, so that tests can answer it.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

namespace tonalis::ui {

class FileDialog {
 public:
  virtual ~FileDialog() = default;
  // Runs a modal file-open dialog that starts in `directory` and offers
  // `filters` (Qt's form: entries separated by ";;"). Returns the full path
  // of the confirmed file, which need not exist, or nothing when the user
  // cancels.
  virtual std::optional<QString> OpenFile(QWidget* owner, const QString& directory,
                                          const QString& filters) = 0;
  // Runs a modal file-save dialog in `directory` with `name` filled in. Its
  // own question covers replacing an existing file.
  virtual std::optional<QString> SaveFile(QWidget* owner, const QString& directory,
                                          const QString& filters, const QString& name) = 0;
};

// QFileDialog.
class QtFileDialog final : public FileDialog {
 public:
  std::optional<QString> OpenFile(QWidget* owner, const QString& directory,
                                  const QString& filters) override;
  std::optional<QString> SaveFile(QWidget* owner, const QString& directory,
                                  const QString& filters, const QString& name) override;
};

// Turns a filter of the string table, "Description |patterns|Description
// |patterns||" with patterns separated by semicolons, into Qt's form
// "Description (pattern pattern);;...". A pattern list in parentheses at the
// end of a description is replaced by the real one, and "*.*" (every file)
// becomes "*", since names need no dot here.
QString ToQtFilter(const QString& barFilter);

}  // namespace tonalis::ui

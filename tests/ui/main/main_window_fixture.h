// Drives the real main window in a scratch folder: files on disk, scripted
// message boxes and file dialog, a fake spooler.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_spooler.h"
#include "support/fixtures.h"
#include "support/scripted_interaction.h"
#include "ui/main/main_dialog.h"
#include "ui/scripted_file_dialog.h"

namespace tonalis::test {

namespace ids = ui::main_ids;
namespace fs = std::filesystem;
using Ids = std::vector<int>;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.isValid());
    previousDir_ = QDir::currentPath();
    dir_ = fs::path(scratch_.path().toStdString());
    QDir::setCurrent(scratch_.path());
  }
  void TearDown() override {
    dialog_.reset();
    QDir::setCurrent(previousDir_);
  }

  fs::path Path(const std::string& name) const { return dir_ / name; }
  std::string Read(const std::string& name) const { return ReadBytes(Path(name).string()); }
  void Write(const std::string& name, const std::string& bytes) {
    WriteBytes(Path(name).string(), bytes);
  }

  // Creates the window and runs its start-up; returns whether it is to be
  // shown (it then is).
  bool Start(std::optional<std::string> ppd = std::nullopt,
             const StringSource& strings = DefaultStrings()) {
    if (ppd)
      ppd = Path(*ppd).string();
    ui::MainDialogSeams seams{interaction, fileDialog,       *activeSpooler,
                              strings,     kLibraryFileName, std::move(ppd)};
    seams.showHelp = showHelp;
    seams.runEditor = runEditor;
    dialog_ = std::make_unique<ui::MainDialog>(seams);
    const bool shown = dialog_->Initialize();
    if (shown)
      dialog_->show();
    return shown;
  }

  ui::MainDialog& window() { return *dialog_; }
  template <class T = QWidget>
  T* Control(int id) {
    return dialog_->controls().Control<T>(id);
  }
  void Click(int id) { Control<QAbstractButton>(id)->click(); }
  bool Enabled(int id) { return Control(id)->isEnabled(); }
  QListWidget* LibraryBox() { return Control<QListWidget>(ids::kLibraryList); }
  QListWidget* PrinterBox() { return Control<QListWidget>(ids::kPrinterList); }
  QComboBox* Combo() { return Control<QComboBox>(ids::kPrinterCombo); }
  QString NicknameField() { return Control<QLineEdit>(ids::kPpdName)->text(); }

  // The list commands as a string, N C A P E D for New, Copy, Add, Pick
  // out, Edit and Delete where enabled, '-' where not.
  std::string Commands() {
    std::string s;
    for (auto [id, c] : {std::pair{ids::kNew, 'N'}, {ids::kCopy, 'C'}, {ids::kAdd, 'A'},
                         {ids::kPickOut, 'P'}, {ids::kEdit, 'E'}, {ids::kDelete, 'D'}})
      s += Enabled(id) ? c : '-';
    return s;
  }

  static Names Entries(const QListWidget& box) {
    Names names;
    for (int i = 0; i < box.count(); ++i) names.push_back(ui::MainDialog::EntryName(box, i));
    return names;
  }
  Names LibraryEntries() { return Entries(*LibraryBox()); }
  Names PrinterEntries() { return Entries(*PrinterBox()); }

  void SelectLibrary(const std::string& name) {
    const Names names = LibraryEntries();
    const auto it = std::find(names.begin(), names.end(), name);
    ASSERT_NE(it, names.end()) << name;
    LibraryBox()->setCurrentRow(static_cast<int>(it - names.begin()));
  }
  void SelectPrinterEntry(int row) { PrinterBox()->setCurrentRow(row); }
  // The user picks entry `index` of the printer combo box.
  void ChoosePrinter(int index) {
    Combo()->setCurrentIndex(index);
    Q_EMIT Combo()->activated(index);
  }
  // Browse, confirming `name` in the scratch folder.
  void Browse(const std::string& name) {
    fileDialog.Choose(QString::fromStdString(Path(name).string()));
    Click(ids::kBrowse);
  }

  ScriptedInteraction interaction;
  ScriptedFileDialog fileDialog;
  FakeSpooler spooler;
  // The spooler the window is given: the fake unless a test says otherwise.
  tonalis::Spooler* activeSpooler = &spooler;
  // Given to the window as they stand when it starts; an empty runEditor
  // runs the real curve editor.
  std::function<void(int)> showHelp;
  std::function<int(DensityDef&)> runEditor;

 private:
  QTemporaryDir scratch_;
  QString previousDir_;
  fs::path dir_;
  std::unique_ptr<ui::MainDialog> dialog_;
};

}  // namespace tonalis::test

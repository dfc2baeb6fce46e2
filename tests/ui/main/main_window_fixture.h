// Drives the real main window in a scratch folder, with scripted dialogs and a fake spooler.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <utility>

#include "support/fake_spooler.h"
#include "support/fixtures.h"
#include "support/scripted_interaction.h"
#include "ui/file_dialog.h"
#include "ui/main/main_dialog.h"

namespace tonalis::test {

namespace ids = ui::main_ids;
namespace fs = std::filesystem;
using Ids = std::vector<int>;

// Confirms `path` once and records the folder each dialog starts in.
class ScriptedFileDialog : public ui::FileDialog {
 public:
  std::optional<QString> OpenFile(QWidget*, const QString& directory, const QString&) override {
    directories.push_back(directory);
    EXPECT_TRUE(path) << "unscripted file dialog";
    return std::exchange(path, std::nullopt);
  }
  std::optional<QString> SaveFile(QWidget*, const QString& directory, const QString&,
                                  const QString& name) override {
    directories.push_back(directory);
    suggested.push_back(name);
    EXPECT_TRUE(savePath) << "unscripted save dialog";
    return std::exchange(savePath, std::nullopt);
  }
  std::optional<QString> path, savePath;
  std::vector<QString> suggested;
  std::vector<QString> directories;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.isValid());
    QDir::setCurrent(scratch_.path());
  }
  void TearDown() override {
    dialog_.reset();
    QDir::setCurrent(previousDir_);
  }

  fs::path Path(const std::string& name) const {
    return fs::path(scratch_.path().toStdString()) / name;
  }
  std::string Read(const std::string& name) const { return ReadBytes(Path(name)); }
  void Write(const std::string& name, const std::string& bytes) { WriteBytes(Path(name), bytes); }

  // Creates the window and runs its start-up; returns whether it is shown.
  bool Start(std::optional<std::string> ppd = std::nullopt,
             const StringSource& strings = DefaultStrings()) {
    if (ppd) ppd = Path(*ppd).string();
    dialog_ = std::make_unique<ui::MainDialog>(ui::MainDialogSeams{
        .ui = interaction, .fileDialog = fileDialog, .spooler = *activeSpooler, .strings = strings,
        .initialPpd = std::move(ppd), .showHelp = [this](int c) { help.push_back(c); },
        .runEditor = runEditor, .chooseItem = chooseItem});
    if (!dialog_->Initialize()) return false;
    dialog_->show();
    // The printers come from a worker thread; its messages are shown here.
    while (dialog_->discovering()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return !dialog_->ended();
  }

  std::vector<int> help;  // the help contexts asked for
  ui::MainDialog& window() { return *dialog_; }
  template <class T = QWidget>
  T* Control(int id) {
    return dialog_->controls().Control<T>(id);
  }
  void Click(int id) { Control<QAbstractButton>(id)->click(); }
  QListWidget* LibraryBox() { return Control<QListWidget>(ids::kLibraryList); }
  QListWidget* PrinterBox() { return Control<QListWidget>(ids::kPrinterList); }
  QComboBox* Combo() { return Control<QComboBox>(ids::kPrinterCombo); }

  // The list commands New, Copy, Add, Pick out, Edit, Delete as "NCAPED", '-' where disabled.
  std::string Commands() {
    std::string s;
    for (auto [id, c] : {std::pair{ids::kNew, 'N'}, {ids::kCopy, 'C'}, {ids::kAdd, 'A'},
                         {ids::kPickOut, 'P'}, {ids::kEdit, 'E'}, {ids::kDelete, 'D'}})
      s += Control(id)->isEnabled() ? c : '-';
    return s;
  }
  static Names Entries(const QListWidget* box) {
    Names names;
    for (int i = 0; i < box->count(); ++i) names.push_back(ui::MainDialog::EntryName(*box, i));
    return names;
  }
  void SelectLibrary(const std::string& name) {
    const Names names = Entries(LibraryBox());
    const auto it = std::find(names.begin(), names.end(), name);
    ASSERT_NE(it, names.end()) << name;
    LibraryBox()->setCurrentRow(static_cast<int>(it - names.begin()));
  }

  ScriptedInteraction interaction;
  ScriptedFileDialog fileDialog;
  FakeSpooler spooler;
  tonalis::Spooler* activeSpooler = &spooler;
  // Empty: the window runs the real curve editor.
  std::function<int(DensityDef&)> runEditor;
  // Empty: the window's own list dialog.
  std::function<std::optional<int>(const QString&, const QStringList&, int)> chooseItem;

 protected:
  std::unique_ptr<ui::MainDialog> dialog_;

 private:
  QTemporaryDir scratch_;
  QString previousDir_ = QDir::currentPath();
};

}  // namespace tonalis::test

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
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model/library_file.h"
#include "ppd/ppd_tone.h"
#include "support/fake_spooler.h"
#include "support/scripted_interaction.h"
#include "ui/main/main_dialog.h"
#include "ui/scripted_file_dialog.h"

namespace tonalis::test {

namespace ids = ui::main_ids;
namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline DensityDef Definition(const std::string& name) {
  DensityDef def = NewDefinition();
  SetName(def, name);
  return def;
}

// A library file image holding `names` in slots 0, 1, ...
inline std::string LibraryImage(const std::vector<std::string>& names) {
  auto library = std::make_unique<DefinitionLibrary>();
  EmptyTable(*library);
  for (const auto& name : names) InsertDefinition(*library, Definition(name), InsertMode::AddMode());
  const std::vector<uint8_t> image = EncodeLibrary(*library);
  return {image.begin(), image.end()};
}

// A supported PPD (CR LF throughout, so reading it changes nothing) with a
// density-control section holding `names`. An empty nickname leaves the
// *NickName line out. `marker` makes it supported; without one it is of
// another make.
inline std::string PpdText(const std::string& nickName, const std::vector<std::string>& names,
                           const std::string& marker = "*QRHTUtility: True") {
  std::string text = "*PPD-Adobe: \"4.3\"\r\n*Manufacturer: \"Sample\"\r\n";
  if (!marker.empty()) text += marker + "\r\n";
  if (!nickName.empty()) text += "*NickName: \"" + nickName + "\"\r\n";
  text += "*ColorDevice: True\r\n";
  if (!names.empty()) {
    PrinterDefinitionList list;
    EmptyTable(list);
    for (const auto& name : names) InsertDefinition(list, Definition(name), InsertMode::AddMode());
    text += BuildSection(list, DefaultStrings());
  }
  text += "*% Font Information\r\n*DefaultFont: Courier\r\n*Font Courier: Standard\r\n";
  return text;
}

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
  const fs::path& Dir() const { return dir_; }

  // Creates the window and runs its start-up; returns whether it is to be
  // shown.
  bool Start(std::optional<std::string> initialPpd = std::nullopt,
             const StringSource& strings = DefaultStrings()) {
    ui::MainDialogSeams seams{interaction, fileDialog, *activeSpooler,  strings,
                              kLibraryFileName, std::move(initialPpd)};
    dialog_ = std::make_unique<ui::MainDialog>(seams);
    const bool shown = dialog_->Initialize();
    if (shown) dialog_->show();
    return shown;
  }

  ui::MainDialog& window() { return *dialog_; }

  template <class T>
  T* Control(int id) {
    return dialog_->controls().Control<T>(id);
  }
  QPushButton* Button(int id) { return Control<QPushButton>(id); }
  QListWidget* LibraryBox() { return Control<QListWidget>(ids::kLibraryList); }
  QListWidget* PrinterBox() { return Control<QListWidget>(ids::kPrinterList); }
  QComboBox* Combo() { return Control<QComboBox>(ids::kPrinterCombo); }
  QString NicknameField() { return Control<QLineEdit>(ids::kPpdName)->text(); }

  bool Enabled(int id) { return dialog_->controls().Control<QWidget>(id)->isEnabled(); }

  // Which of the list commands are enabled, as a string: N C A P E D for
  // New, Copy, Add, Pick out, Edit, Delete, '-' where disabled.
  std::string Commands() {
    std::string s;
    s += Enabled(ids::kNew) ? 'N' : '-';
    s += Enabled(ids::kCopy) ? 'C' : '-';
    s += Enabled(ids::kAdd) ? 'A' : '-';
    s += Enabled(ids::kPickOut) ? 'P' : '-';
    s += Enabled(ids::kEdit) ? 'E' : '-';
    s += Enabled(ids::kDelete) ? 'D' : '-';
    return s;
  }

  static std::vector<std::string> Entries(const QListWidget& box) {
    std::vector<std::string> names;
    for (int i = 0; i < box.count(); ++i) names.push_back(ui::MainDialog::EntryName(box, i));
    return names;
  }
  std::vector<std::string> LibraryEntries() { return Entries(*LibraryBox()); }
  std::vector<std::string> PrinterEntries() { return Entries(*PrinterBox()); }

  void SelectLibrary(const std::string& name) {
    QListWidget* box = LibraryBox();
    for (int i = 0; i < box->count(); ++i) {
      if (ui::MainDialog::EntryName(*box, i) == name) {
        box->setCurrentRow(i);
        return;
      }
    }
    ADD_FAILURE() << "no library entry " << name;
  }
  void SelectPrinterEntry(int row) { PrinterBox()->setCurrentRow(row); }

  // The user picks entry `index` of the printer combo box.
  void ChoosePrinter(int index) {
    Combo()->setCurrentIndex(index);
    Q_EMIT Combo()->activated(index);
  }

  // What the list commands of the next step will do, done by hand: a
  // definition added to the printer list, or to the library.
  void AddToPrinterList(const std::string& name) {
    ASSERT_EQ(InsertDefinition(window().printerList(), Definition(name), InsertMode::AddMode()),
              InsertResult::Stored);
    window().ShowPrinterList();
    window().printerListModified = true;
  }
  void AddToLibrary(const std::string& name) {
    ASSERT_EQ(InsertDefinition(window().library(), Definition(name), InsertMode::AddMode()),
              InsertResult::Stored);
    window().ShowLibrary();
    window().libraryModified = true;
  }

  // Names of the definitions in a PPD file, as the reader finds them.
  std::vector<std::string> DefinitionsIn(const fs::path& path) {
    PrinterDefinitionList list;
    ScriptedInteraction quiet;
    const PpdReadOutcome outcome = GetPPDToneInfo(FileTarget(path.string()), list, {quiet});
    EXPECT_EQ(outcome.result, kPpdLoaded) << path;
    std::vector<std::string> names;
    for (auto name : VisibleNames(list)) names.emplace_back(name);
    return names;
  }

  ScriptedInteraction interaction;
  ScriptedFileDialog fileDialog;
  FakeSpooler spooler;
  // The spooler the window is given: the fake unless a test says otherwise.
  tonalis::Spooler* activeSpooler = &spooler;

 private:
  QTemporaryDir scratch_;
  QString previousDir_;
  fs::path dir_;
  std::unique_ptr<ui::MainDialog> dialog_;
};

}  // namespace tonalis::test

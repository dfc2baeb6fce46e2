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
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "formats/library_file.h"
#include "formats/ppd_tone.h"
#include "support/fake_spooler.h"
#include "support/scripted_interaction.h"
#include "ui/main/main_dialog.h"
#include "ui/scripted_file_dialog.h"

namespace tonalis::test {

namespace ids = ui::main_ids;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using Ids = std::vector<int>;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline DensityDef Definition(const std::string& name) {
  DensityDef def = NewDefinition();
  SetName(def, name);
  return def;
}

// A library file image holding `names` in slots 0, 1, ...
inline std::string LibraryImage(const Names& names) {
  auto library = std::make_unique<DefinitionLibrary>();
  EmptyTable(*library);
  for (const auto& name : names)
    InsertDefinition(*library, Definition(name), InsertMode::AddMode());
  const std::vector<uint8_t> image = EncodeLibrary(*library);
  return {image.begin(), image.end()};
}

// A PPD with CR LF line endings (so reading it changes nothing) and a
// density-control section holding `names`. An empty nickname leaves the
// *NickName line out; an empty `marker` makes it a PPD of another make.
inline std::string PpdText(const std::string& nickName, const Names& names,
                           const std::string& marker = "*QRHTUtility: True") {
  std::string text = "*PPD-Adobe: \"4.3\"\r\n" + (marker.empty() ? "" : marker + "\r\n");
  if (!nickName.empty())
    text += "*NickName: \"" + nickName + "\"\r\n";
  PrinterDefinitionList list;
  EmptyTable(list);
  for (const auto& name : names) InsertDefinition(list, Definition(name), InsertMode::AddMode());
  if (!names.empty())
    text += BuildSection(list);
  return text + "*% Font Information\r\n*DefaultFont: Courier\r\n";
}

// Names of the definitions in a PPD text, as the reader finds them.
inline Names DefinitionsIn(const std::string& ppd) {
  QTemporaryDir dir;
  const fs::path path = fs::path(dir.path().toStdString()) / "copy.ppd";
  WriteFile(path, ppd);
  PrinterDefinitionList list;
  ScriptedInteraction quiet;
  EXPECT_EQ(GetPPDToneInfo(FileTarget(path.string()), list, {quiet}).result, kPpdLoaded);
  Names names;
  for (auto name : VisibleNames(list)) names.emplace_back(name);
  return names;
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
  std::string Read(const std::string& name) const { return ReadFile(Path(name)); }
  void Write(const std::string& name, const std::string& bytes) { WriteFile(Path(name), bytes); }

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
    for (auto [id, c] : {std::pair{ids::kNew, 'N'},
                         {ids::kCopy, 'C'},
                         {ids::kAdd, 'A'},
                         {ids::kPickOut, 'P'},
                         {ids::kEdit, 'E'},
                         {ids::kDelete, 'D'}}) {
      s += Enabled(id) ? c : '-';
    }
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

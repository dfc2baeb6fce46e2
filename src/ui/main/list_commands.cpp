// The main window's list commands: New, Copy, Edit, Delete, Add and Pick out.
//
// They change the two tables in memory and the list boxes that show them, and
// set the changed list's modified mark; Apply, Exit and a change of target
// write the files later. A definition in hand is always workingDefinition:
// New, Copy and Edit run the curve editor on it in place and store what the
// user confirmed; Add and Pick out copy through it.
//
// An entry leads to its definition by name, so the library box may show its
// names sorted while the library's slots keep any order, and the printer box
// shows the printer list in slot order, the order of the PPD file.
#include <QListWidget>
#include <QPushButton>

#include "ui/editor/curve_editor_dialog.h"
#include "ui/main/list_box.h"
#include "ui/main/main_dialog.h"

namespace tonalis::ui {

// --- The editor passes ---------------------------------------------------------

int MainDialog::RunEditorPass(std::unique_ptr<CurveEditorDialog>& editor) {
  if (runEditor_)
    return runEditor_(workingDefinition);
  // One editor for all passes of a command; each run starts from
  // workingDefinition, that is from what the user confirmed last.
  if (!editor)
    editor = std::make_unique<CurveEditorDialog>(CurveEditorSeams{&ui_, strings_, showHelp_}, this);
  return editor->Run(workingDefinition);
}

template <int C>
bool MainDialog::StoreThroughEditor(DefinitionTable<C>& table, InsertMode mode) {
  std::unique_ptr<CurveEditorDialog> editor;
  for (;;) {
    if (RunEditorPass(editor) == kEditorCancelled)
      return false;
    switch (InsertDefinition(table, workingDefinition, mode)) {
      case InsertResult::Stored:
        return true;
      case InsertResult::Full:
        // The definition is dropped.
        ui_.Show(StringMessage(strings_, sid::kTableFull));
        return false;
      case InsertResult::NameTaken:
        // Open the editor again on what was confirmed, so that the user can
        // give it another name.
        ui_.Show(StringMessage(strings_, sid::kNameTaken));
        break;
    }
  }
}

// --- New and Copy ----------------------------------------------------------------

void MainDialog::OnNew() {
  workingDefinition = NewDefinition();
  if (!StoreThroughEditor(*library_, InsertMode::AddMode()))
    return;
  const int row = list_box::AddSorted(*libraryList_, NameOf(workingDefinition));
  libraryModified = true;
  if (libraryList_->count() >= kLibraryCapacity) {
    newButton_->setEnabled(false);
    copyButton_->setEnabled(false);
  }
  list_box::Select(*libraryList_, row);
  LibrarySelectionChanged();
}

void MainDialog::OnCopy() {
  const int row = list_box::SelectedRow(*libraryList_);
  if (row < 0)
    return;
  const std::optional<int> slot = FindDefinition(*library_, EntryName(*libraryList_, row));
  if (!slot)
    return;
  // The copy starts with its source's name; the user has to give it its own
  // (the first confirmation without one meets the name clash).
  workingDefinition = library_->slots[*slot];
  if (!StoreThroughEditor(*library_, InsertMode::AddMode()))
    return;
  list_box::AddSorted(*libraryList_, NameOf(workingDefinition));
  libraryModified = true;
  if (libraryList_->count() >= kLibraryCapacity) {
    newButton_->setEnabled(false);
    copyButton_->setEnabled(false);
  }
  // Neither the source nor the copy stays selected.
  list_box::Select(*libraryList_, -1);
  LibrarySelectionChanged();
}

// --- Edit ------------------------------------------------------------------------

void MainDialog::OnEdit() {
  // The library's selection first; the two lists never both have one.
  if (const int row = list_box::SelectedRow(*libraryList_); row >= 0) {
    EditEntry(*library_, *libraryList_, row);
  } else if (const int printerRow = list_box::SelectedRow(*printerListBox_); printerRow >= 0) {
    EditEntry(*printerList_, *printerListBox_, printerRow);
  }
}

template <int C>
void MainDialog::EditEntry(DefinitionTable<C>& table, QListWidget& box, int row) {
  const bool inLibrary = &box == libraryList_;
  const std::string name = EntryName(box, row);
  const std::optional<int> slot = FindDefinition(table, name);
  if (!slot)
    return;

  // Take the definition out while it is being edited: its own name is then
  // free, and the editor's result goes back into its own slot.
  const DensityDef before = table.slots[*slot];
  workingDefinition = before;
  FreeSlot(table, *slot);
  list_box::Remove(box, row);

  if (!StoreThroughEditor(table, InsertMode::AtSlot(*slot))) {
    // Cancelled: the slot, the count and the entry exactly as they were.
    table.slots[*slot] = before;
    ++table.count;
    list_box::InsertAt(box, row, name);
    list_box::Select(box, row);
    return;
  }

  // The definition keeps its slot: on the printer list it keeps its place
  // in the list and in the PPD file; in the library its entry goes where its
  // new name sorts. The selection stays on the former row either way, and
  // the buttons stay as they were.
  const std::string_view stored = NameOf(table.slots[*slot]);
  if (inLibrary) {
    list_box::AddSorted(box, stored);
    libraryModified = true;
  } else {
    list_box::InsertAt(box, row, stored);
    printerListModified = true;
  }
  list_box::Select(box, row);
}

// --- Delete ----------------------------------------------------------------------

void MainDialog::OnDelete() {
  // The question comes first, whatever is selected.
  if (!ui_.Ask(StringMessage(strings_, sid::kDeleteQuestion, MessageKind::YesNo)))
    return;

  if (const int row = list_box::SelectedRow(*libraryList_); row >= 0) {
    const std::string name = EntryName(*libraryList_, row);
    list_box::Remove(*libraryList_, row);
    libraryModified = true;
    LibrarySelectionChanged();
    // The library keeps the hole; the next definition stored takes the
    // lowest free slot.
    if (const std::optional<int> slot = FindDefinition(*library_, name))
      FreeSlot(*library_, *slot);
    if (libraryList_->count() < kLibraryCapacity)
      newButton_->setEnabled(true);
    return;
  }

  if (const int row = list_box::SelectedRow(*printerListBox_); row >= 0) {
    const std::string name = EntryName(*printerListBox_, row);
    list_box::Remove(*printerListBox_, row);
    printerListModified = true;
    PrinterSelectionChanged();
    // The printer list has no gaps: the definitions after the deleted one
    // move up, keeping their order.
    if (const std::optional<int> slot = FindDefinition(*printerList_, name)) {
      FreeSlot(*printerList_, *slot);
      CompactAfter(*printerList_, *slot);
    }
  }
}

// --- Add and Pick out ----------------------------------------------------------

void MainDialog::OnAdd() {
  const int row = list_box::SelectedRow(*libraryList_);
  // Only a target that was read can take definitions (Add is disabled
  // otherwise); this guards calls that do not come from the button.
  if (row < 0 || !loadedPpd_)
    return;
  const std::optional<int> slot = FindDefinition(*library_, EntryName(*libraryList_, row));
  if (!slot)
    return;
  workingDefinition = library_->slots[*slot];

  switch (InsertDefinition(*printerList_, workingDefinition, InsertMode::AddMode())) {
    case InsertResult::Full:
      ui_.Show(StringMessage(strings_, sid::kTableFull));
      break;
    case InsertResult::NameTaken:
      // The printer's definition of that name takes the library's content
      // and keeps its place.
      if (ui_.Ask(StringMessage(strings_, sid::kReplaceQuestion, MessageKind::YesNo))) {
        InsertDefinition(*printerList_, workingDefinition, InsertMode::ReplaceMode());
        printerListModified = true;
      }
      break;
    case InsertResult::Stored:
      list_box::Append(*printerListBox_, NameOf(workingDefinition));
      printerListModified = true;
      if (printerListBox_->count() >= kPrinterListCapacity)
        addButton_->setEnabled(false);
      break;
  }
}

void MainDialog::OnPickOut() {
  const int row = list_box::SelectedRow(*printerListBox_);
  if (row < 0)
    return;
  const std::optional<int> slot = FindDefinition(*printerList_, EntryName(*printerListBox_, row));
  if (!slot)
    return;
  workingDefinition = printerList_->slots[*slot];

  switch (InsertDefinition(*library_, workingDefinition, InsertMode::AddMode())) {
    case InsertResult::Full:
      ui_.Show(StringMessage(strings_, sid::kTableFull));
      break;
    case InsertResult::NameTaken:
      if (ui_.Ask(StringMessage(strings_, sid::kReplaceQuestion, MessageKind::YesNo))) {
        InsertDefinition(*library_, workingDefinition, InsertMode::ReplaceMode());
        libraryModified = true;
      }
      break;
    case InsertResult::Stored:
      list_box::AddSorted(*libraryList_, NameOf(workingDefinition));
      libraryModified = true;
      // New and Copy stay as they are: New then meets a full library when
      // the user confirms the editor.
      if (libraryList_->count() >= kLibraryCapacity)
        pickOutButton_->setEnabled(false);
      break;
  }
}

}  // namespace tonalis::ui

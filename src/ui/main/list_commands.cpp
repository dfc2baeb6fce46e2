// The main window's list commands: New, Copy, Edit, Delete, Add and Pick out.
//
// Each maps the selection onto one command of the workspace and shows the
// lists again; Apply, Exit and a change of target write the files later. A
// definition in hand is always workingDefinition: New, Copy and Edit run the
// curve editor on it in place and hand what the user confirmed to the
// workspace.
//
// An entry leads to its definition by name, so the library box shows its
// names sorted while the library's slots keep any order, and the printer box
// shows the target's list in slot order, the order of the PPD file.
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

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

bool MainDialog::StoreThroughEditor(const std::function<StoreResult(const DensityDef&)>& store) {
  std::unique_ptr<CurveEditorDialog> editor;
  for (;;) {
    if (RunEditorPass(editor) == kEditorCancelled)
      return false;
    switch (store(workingDefinition)) {
      case StoreResult::Stored:
      case StoreResult::Replaced:
        return true;
      case StoreResult::Full:
      case StoreResult::NotFound:
      case StoreResult::Declined:
        // The definition is dropped.
        return false;
      case StoreResult::NameTaken:
      case StoreResult::Invalid:
        // Open the editor again on what was confirmed, so that the user can
        // give it another name.
        break;
    }
  }
}

// --- New and Copy ----------------------------------------------------------------

void MainDialog::OnNew() {
  workingDefinition = NewDefinition();
  if (!StoreThroughEditor([this](const DensityDef& d) { return workspace_.StoreNew(d); }))
    return;
  ShowLibrary();
  if (libraryList_->count() >= kLibraryCapacity) {
    newButton_->setEnabled(false);
    copyButton_->setEnabled(false);
  }
  list_box::Select(*libraryList_, RowOf(*libraryList_, NameOf(workingDefinition)));
  LibrarySelectionChanged();
}

void MainDialog::OnCopy() {
  const int row = list_box::SelectedRow(*libraryList_);
  if (row < 0)
    return;
  const DensityDef* source = workspace_.Find(Side::Library, EntryName(*libraryList_, row));
  if (!source)
    return;
  // The copy starts with its source's name; the user has to give it its own
  // (the first confirmation without one meets the name clash).
  workingDefinition = *source;
  if (!StoreThroughEditor([this](const DensityDef& d) { return workspace_.StoreNew(d); }))
    return;
  ShowLibrary();
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
    EditEntry(Side::Library, *libraryList_, row);
  } else if (const int printerRow = list_box::SelectedRow(*printerListBox_); printerRow >= 0) {
    EditEntry(Side::Target, *printerListBox_, printerRow);
  }
}

void MainDialog::EditEntry(Side side, QListWidget& box, int row) {
  const std::string name = EntryName(box, row);
  const DensityDef* def = workspace_.Find(side, name);
  if (!def)
    return;
  workingDefinition = *def;
  // The entry is out of the list while it is being edited.
  {
    const QSignalBlocker block(box);
    list_box::Remove(box, row);
  }
  StoreThroughEditor(
      [this, side, &name](const DensityDef& d) { return workspace_.StoreEdited(side, name, d); });
  // Stored, the definition keeps its slot: on the printer list it keeps its
  // place in the list and in the PPD file; in the library its entry goes
  // where its new name sorts. Cancelled, everything is as it was. The
  // selection stays on the former row either way, and the buttons stay as
  // they were.
  if (side == Side::Library)
    ShowLibrary();
  else
    ShowPrinterList();
  list_box::Select(box, row);
}

// --- Delete ----------------------------------------------------------------------

void MainDialog::OnDelete() {
  // The question comes first, whatever is selected.
  if (!workspace_.ConfirmDelete())
    return;

  if (const int row = list_box::SelectedRow(*libraryList_); row >= 0) {
    workspace_.Delete(Side::Library, EntryName(*libraryList_, row));
    list_box::Remove(*libraryList_, row);
    LibrarySelectionChanged();
    if (libraryList_->count() < kLibraryCapacity)
      newButton_->setEnabled(true);
    return;
  }

  if (const int row = list_box::SelectedRow(*printerListBox_); row >= 0) {
    workspace_.Delete(Side::Target, EntryName(*printerListBox_, row));
    list_box::Remove(*printerListBox_, row);
    PrinterSelectionChanged();
  }
}

// --- Add and Pick out ----------------------------------------------------------

void MainDialog::OnAdd() {
  const int row = list_box::SelectedRow(*libraryList_);
  // Only a target that was read can take definitions (Add is disabled
  // otherwise); the workspace refuses calls that do not come from the
  // button.
  if (row < 0)
    return;
  if (workspace_.Add(EntryName(*libraryList_, row)) != StoreResult::Stored)
    return;
  ShowPrinterList();
  if (printerListBox_->count() >= kPrinterListCapacity)
    addButton_->setEnabled(false);
}

void MainDialog::OnPickOut() {
  const int row = list_box::SelectedRow(*printerListBox_);
  if (row < 0)
    return;
  if (workspace_.PickOut(EntryName(*printerListBox_, row)) != StoreResult::Stored)
    return;
  ShowLibrary();
  // New and Copy stay as they are: New then meets a full library when the
  // user confirms the editor.
  if (libraryList_->count() >= kLibraryCapacity)
    pickOutButton_->setEnabled(false);
}

}  // namespace tonalis::ui

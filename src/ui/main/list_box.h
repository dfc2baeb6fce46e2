// The main window's two list boxes as the window uses them: one entry per
// definition, its name shown as Latin-1 and its bytes kept in the entry, so
// that an entry leads back to exactly its own definition.
//
// The changes made here are quiet: they do not tell the window that the
// selection changed. The window runs its enable rules itself where they are
// due, and nowhere else.
#pragma once

#include <QByteArray>
#include <QListWidget>
#include <QSignalBlocker>
#include <string>
#include <string_view>

#include "ui/latin1.h"

namespace tonalis::ui::list_box {

// The entries keep their definition's name bytes here.
inline constexpr int kNameRole = Qt::UserRole;

inline QListWidgetItem* NameItem(std::string_view name) {
  auto* item = new QListWidgetItem(NameToQString(name));
  item->setData(kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
  return item;
}

inline std::string EntryName(const QListWidget& list, int row) {
  const QListWidgetItem* item = list.item(row);
  if (item == nullptr)
    return {};
  return item->data(kNameRole).toByteArray().toStdString();
}

inline bool HasSelection(const QListWidget& list) {
  return !list.selectedItems().isEmpty();
}

// The row of the selected entry, or -1 when none is selected.
inline int SelectedRow(const QListWidget& list) {
  const QList<QListWidgetItem*> selected = list.selectedItems();
  return selected.isEmpty() ? -1 : list.row(selected.front());
}

// Selects the entry at `row`; -1 (or a row that does not exist) leaves none
// selected.
inline void Select(QListWidget& list, int row) {
  const QSignalBlocker block(list);
  if (row < 0 || row >= list.count()) {
    list.clearSelection();
    list.setCurrentRow(-1);
  } else {
    list.setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
  }
}

// Removes the entry at `row`. No entry is selected afterwards.
inline void Remove(QListWidget& list, int row) {
  const QSignalBlocker block(list);
  delete list.takeItem(row);
  list.clearSelection();
  list.setCurrentRow(-1);
}

// Inserts an entry at `row`, as it stands.
inline void InsertAt(QListWidget& list, int row, std::string_view name) {
  const QSignalBlocker block(list);
  list.insertItem(row, NameItem(name));
}

// The row at which `name` belongs in a list sorted without regard to letter
// case: after every entry that does not sort after it, so that names equal
// but for case stand in the order they came.
inline int SortedRow(const QListWidget& list, std::string_view name) {
  const QString text = NameToQString(name);
  int row = 0;
  while (row < list.count() &&
         QString::compare(list.item(row)->text(), text, Qt::CaseInsensitive) <= 0) {
    ++row;
  }
  return row;
}

// Inserts an entry at its sorted place and returns its row.
inline int AddSorted(QListWidget& list, std::string_view name) {
  const int row = SortedRow(list, name);
  InsertAt(list, row, name);
  return row;
}

// Appends an entry and returns its row.
inline int Append(QListWidget& list, std::string_view name) {
  const int row = list.count();
  InsertAt(list, row, name);
  return row;
}

}  // namespace tonalis::ui::list_box

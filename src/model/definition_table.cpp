#include "model/definition_table.h"

namespace tonalis {

std::optional<int> FindDefinitionIn(const DensityDef* slots, int capacity, int count,
                                    std::string_view name) {
  int compared = 0;
  for (int i = 0; i < capacity && compared < count; ++i) {
    if (!IsUsed(slots[i])) continue;
    ++compared;
    if (NameOf(slots[i]) == name) return i;
  }
  return std::nullopt;
}

namespace {

// A damaged file can hold used slots beyond its count. Nobody sees them, but
// a new record stored after one would push it into view instead of itself,
// and one of the same name would make two: they are freed before a store.
void FreeHiddenSlots(DensityDef* slots, int capacity, int count) {
  int seen = 0;
  for (int i = 0; i < capacity; ++i) {
    if (!IsUsed(slots[i])) continue;
    if (seen < count)
      ++seen;
    else
      slots[i].name[0] = '\0';
  }
}

}  // namespace

InsertResult InsertDefinitionIn(DensityDef* slots, int capacity, int16_t& count,
                                const DensityDef& record, InsertMode mode) {
  if (count >= capacity) return InsertResult::Full;
  FreeHiddenSlots(slots, capacity, count);
  if (auto found = FindDefinitionIn(slots, capacity, count, NameOf(record))) {
    if (mode.kind != InsertMode::Replace) return InsertResult::NameTaken;
    slots[*found] = record;
    return InsertResult::Stored;
  }
  int target = -1;
  if (mode.kind == InsertMode::Slot) {
    // The given slot must be a free one inside the table.
    if (mode.slot >= 0 && mode.slot < capacity && !IsUsed(slots[mode.slot])) target = mode.slot;
  } else {
    // Add, and a replace whose name is absent, take the lowest free slot.
    for (int i = 0; i < capacity; ++i) {
      if (!IsUsed(slots[i])) {
        target = i;
        break;
      }
    }
  }
  if (target < 0) return InsertResult::Full;
  slots[target] = record;
  ++count;
  return InsertResult::Stored;
}

std::vector<int> VisibleSlotsIn(const DensityDef* slots, int capacity, int count) {
  std::vector<int> result;
  for (int i = 0; i < capacity && static_cast<int>(result.size()) < count; ++i) {
    if (IsUsed(slots[i])) result.push_back(i);
  }
  return result;
}

std::vector<std::string_view> VisibleNamesIn(const DensityDef* slots, int capacity, int count) {
  std::vector<std::string_view> names;
  for (int i : VisibleSlotsIn(slots, capacity, count)) names.push_back(NameOf(slots[i]));
  return names;
}

}  // namespace tonalis

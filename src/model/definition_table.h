// Fixed-capacity tables of definitions with slot-based storage.
//
// A slot is used while the first byte of its name is not zero. `count` says
// how many used slots there are; every walk stops once it has met `count`
// used slots and never goes past the last slot.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "model/density_def.h"

namespace tonalis {

template <int Capacity>
struct DefinitionTable {
  static constexpr int kCapacity = Capacity;

  int16_t version;
  int16_t count;
  DensityDef slots[Capacity];
  uint8_t reserved[4];
};

inline constexpr int kLibraryCapacity = 100;
inline constexpr int kPrinterListCapacity = 6;

// The library table is exactly the byte image of the library file.
using DefinitionLibrary = DefinitionTable<kLibraryCapacity>;
using PrinterDefinitionList = DefinitionTable<kPrinterListCapacity>;

static_assert(offsetof(DefinitionLibrary, count) == 2);
static_assert(offsetof(DefinitionLibrary, slots) == 4);
static_assert(offsetof(DefinitionLibrary, reserved) == 26404);
static_assert(sizeof(DefinitionLibrary) == 26408);
static_assert(offsetof(PrinterDefinitionList, reserved) == 4 + 6 * 264);

enum class InsertResult { Full, NameTaken, Stored };

// Where InsertDefinition puts a record.
struct InsertMode {
  enum Kind { Add, Replace, Slot } kind = Add;
  int slot = 0;  // for Slot
  static InsertMode AddMode() { return {Add, 0}; }
  static InsertMode ReplaceMode() { return {Replace, 0}; }
  static InsertMode AtSlot(int s) { return {Slot, s}; }
};

// Generic forms over a table's slots; the templates below forward to them.
std::optional<int> FindDefinitionIn(const DensityDef* slots, int capacity, int count,
                                    std::string_view name);
InsertResult InsertDefinitionIn(DensityDef* slots, int capacity, int16_t& count,
                                const DensityDef& record, InsertMode mode);
std::vector<std::string_view> VisibleNamesIn(const DensityDef* slots, int capacity, int count);
std::vector<int> VisibleSlotsIn(const DensityDef* slots, int capacity, int count);

template <int C>
std::optional<int> FindDefinition(const DefinitionTable<C>& t, std::string_view name) {
  return FindDefinitionIn(t.slots, C, t.count, name);
}

// Full when count is at capacity (tested before the name); NameTaken when the
// name is already used (except in replace mode, which overwrites that slot);
// otherwise the record goes into the lowest free slot or the given slot.
// Storing a new record frees the used slots beyond the count first, which
// only a damaged file holds.
template <int C>
InsertResult InsertDefinition(DefinitionTable<C>& t, const DensityDef& record, InsertMode mode) {
  return InsertDefinitionIn(t.slots, C, t.count, record, mode);
}

// Names of the first `count` used slots, in slot order.
template <int C>
std::vector<std::string_view> VisibleNames(const DefinitionTable<C>& t) {
  return VisibleNamesIn(t.slots, C, t.count);
}

// Slot indexes of the first `count` used slots, in slot order.
template <int C>
std::vector<int> VisibleSlots(const DefinitionTable<C>& t) {
  return VisibleSlotsIn(t.slots, C, t.count);
}

// Marks slot i free (only the name's first byte is cleared) and lowers count.
template <int C>
void FreeSlot(DefinitionTable<C>& t, int i) {
  if (i < 0 || i >= C) return;
  t.slots[i].name[0] = '\0';
  --t.count;
}

// After freeing slot i of a gap-free table: moves the used slots after it up
// by one, keeping their order.
template <int C>
void CompactAfter(DefinitionTable<C>& t, int i) {
  for (int j = i + 1; j <= t.count && j < C; ++j) {
    if (IsUsed(t.slots[j])) {
      t.slots[j - 1] = t.slots[j];
      t.slots[j].name[0] = '\0';
    }
  }
}

// Clears the whole block, version and count included.
template <int C>
void EmptyTable(DefinitionTable<C>& t) {
  std::memset(&t, 0, sizeof t);
}

}  // namespace tonalis

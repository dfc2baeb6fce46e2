// The use cases of Tonalis, the same for the window and the command line.
//
// A Workspace holds what a user works on: the library (the open library
// file and its definitions), the target (the PPD last read and its
// definitions) and whether either has changes not yet written. Every command
// of both front ends is one of its operations: New and Copy store a
// definition, Edit stores one back in its place, Delete, Add, Pick out, Put
// and Set change the two lists, Apply, a change of target and the end of the
// program write what changed.
//
// The operations report and ask through the UserInteraction they are given;
// questions carry their kind (Question) so that each front end answers them
// from its own input. Nothing here knows about windows or terminals.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/library_file.h"
#include "formats/ppd_tone.h"
#include "printers/queue_records.h"
#include "model/definition_table.h"
#include "model/density_def.h"
#include "model/string_table.h"
#include "model/validate.h"
#include "platform/file_lock.h"
#include "platform/file_replace.h"
#include "platform/interaction.h"

namespace tonalis {

// The two lists a definition can be on.
enum class Side { Library, Target };

// What an operation that stores or moves a definition did.
enum class StoreResult {
  Stored,     // a new entry
  Replaced,   // an entry of the same name took the definition, in its place
  Declined,   // the user answered no to the replace question
  NameTaken,  // another entry has the name (string 19 shown)
  Full,       // no room (string 18 shown)
  Invalid,    // the definition breaks the rules (the refusal shown)
  NotFound,   // no entry of that name, or no target read
};

// True for Stored and Replaced.
constexpr bool Succeeded(StoreResult r) {
  return r == StoreResult::Stored || r == StoreResult::Replaced;
}

struct WorkspaceSeams {
  UserInteraction& ui;
  const StringSource& strings = DefaultStrings();
  // The library file; a bare name is relative to the current directory at
  // the time of OpenLibrary.
  std::string libraryPath = kLibraryFileName;
  FileOps* fileOps = nullptr;  // null: the system's
  // The language of `strings` ("de"; empty: the program's own English).
  // PPDs written get the option's texts in it as translation lines.
  std::string language{};
  // Keep other running copies of Tonalis out of the target from its read
  // until it is dropped, as the command line's read, change and write
  // needs. Without it (the window, which keeps a target for a whole
  // session) the target is locked only while it is written.
  bool holdTarget = false;
  // Where each successful write to a print queue is recorded (see
  // queue_records.h); empty: nowhere.
  std::string queueRecords{};
};

class Workspace {
 public:
  explicit Workspace(const WorkspaceSeams& seams);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // --- The library ---
  // Opens, locks and loads the library file (see LibraryFile::Open); the
  // library is empty when that fails. Returns whether it is open.
  bool OpenLibrary();
  void CloseLibrary();
  // For commands that only look: reads the library file without creating,
  // locking or changing it (see ReadLibraryFile), or takes the library from
  // a file image read elsewhere. The library is not open afterwards, so it
  // cannot be written.
  bool ReadLibrary();
  void ReadLibraryImage(std::span<const uint8_t> image);
  bool libraryOpen() const { return libraryFile_.isOpen(); }
  const std::string& libraryPath() const { return libraryFile_.path(); }
  const DefinitionLibrary& library() const { return *library_; }

  // --- The target ---
  // Reads `target` into the target list (see GetPPDToneInfo). Returns
  // kPpdLoaded, kPpdFailed (reported) or kPpdUnsupported (string 21 shown).
  // After anything but kPpdLoaded there is no target.
  int ReadTarget(std::shared_ptr<PpdTarget> target);
  // Takes over a PPD read elsewhere (printer discovery reads the default
  // printer's) with its definitions.
  void AdoptTarget(LoadedPpd loaded, const PrinterDefinitionList& list);
  // Forgets the target and its changes.
  void DropTarget();
  bool hasTarget() const { return loaded_.has_value(); }
  const std::optional<LoadedPpd>& loaded() const { return loaded_; }
  const PrinterDefinitionList& targetList() const { return *targetList_; }
  // The *NickName of the target, "" without one.
  const std::string& nickName() const { return nickName_; }

  // --- Changes not yet written ---
  bool libraryModified() const { return libraryModified_; }
  bool targetModified() const { return targetModified_; }

  // The definition named `name` on `side`, or null.
  const DensityDef* Find(Side side, std::string_view name) const;
  // The names on `side`: the library's in slot order, the target's in
  // the order of the PPD.
  std::vector<std::string_view> Names(Side side) const;
  int Count(Side side) const;
  int Capacity(Side side) const;

  // --- The commands ---
  // New and Copy: stores `def` as a new library definition.
  StoreResult StoreNew(const DensityDef& def);
  // Edit: `def` replaces the definition named `original` on `side`, in its
  // slot; its new name may be its old one but no other entry's.
  StoreResult StoreEdited(Side side, std::string_view original, const DensityDef& def);
  // Asks whether to delete (string 25); the window asks before it deletes.
  bool ConfirmDelete();
  // Deletes the definition named `name`: the library keeps the hole, the
  // target's later definitions move up. False when there is none.
  bool Delete(Side side, std::string_view name);
  // Add: copies the library's `name` to the end of the target's list.
  // Pick out: copies the target's `name` into the library. When the other
  // side has that name the user is asked (string 26, ReplaceDefinition);
  // yes overwrites it in its place.
  StoreResult Add(std::string_view name);
  StoreResult PickOut(std::string_view name);
  // Put: a definition from outside the program into the library; replaces
  // the one of its name in place (keeping the bytes after the name), or
  // takes the lowest free slot. Checked by Validate first.
  StoreResult Put(const DensityDef& def);
  // The target's definitions become the library's `names`, in this order.
  // NotFound names the first missing one in `missing`.
  StoreResult SetTargetDefinitions(std::span<const std::string> names, std::string* missing = nullptr);
  // Restore: the target's definitions become `defs`, in this order (at most
  // six, each checked as Put checks).
  StoreResult SetTargetRecords(std::span<const DensityDef> defs);
  // Writes the definitions and default choice of `record` onto the target as
  // it is now (see queue_watch.h).
  bool RestoreRecord(const QueueRecord& record);
  // After a print queue was read: when its recorded controls were lost or
  // changed since Tonalis wrote them, asks once per queue and session
  // whether to put them back (string 91 or 92, RestoreControls), and yes
  // writes them. Returns whether it wrote.
  bool OfferRestore();

  // --- Writing ---
  // Each writes now and clears its flag on success; failures are reported.
  // The target is written under its lock (PpdTarget::Lock); when another
  // program changed it since it was read, the user is asked first (string
  // 90, OverwriteChanges), and No writes nothing.
  bool WriteLibrary();
  bool WriteTarget();
  // Writes the target with `defaultChoice` ("Gumma2", "None") as its
  // default choice.
  bool WriteTarget(const std::string& defaultChoice);
  // Apply: writes whatever changed. Both flags are cleared either way. When
  // the user declines to overwrite another program's changes of the
  // target, the target is read again, so the lists show it as it is.
  void Apply();
  // Before another target is read: offers to write the target's changes
  // (string 20); the flag is cleared either way.
  void SaveBeforeSwitch();
  // At the end: offers to write every change (string 27), then closes the
  // library.
  void SaveBeforeExit();

 private:
  template <int C>
  StoreResult Copy(const DensityDef& def, DefinitionTable<C>& into, bool& modified);
  bool Refused(const DensityDef& def);
  // Writes what changed; true when the user declined to overwrite the
  // target's changes by another program.
  bool WriteChanges();
  // Whether the target differs from what was last read or written.
  bool ChangedElsewhere() const;
  void Show(int stringId, const std::string& subject = {});
  // WriteTarget, the definitions keeping the keywords of `keywords` when
  // given.
  bool WriteTargetAs(const std::string& defaultChoice, const std::vector<ChoiceRead>* keywords);
  // Notes what was just written to a print queue in the queue records.
  void RecordQueueWrite();

  UserInteraction& ui_;
  const StringSource& strings_;
  std::string language_;
  std::unique_ptr<DefinitionLibrary> library_;
  std::unique_ptr<PrinterDefinitionList> targetList_;
  LibraryFile libraryFile_;
  std::optional<LoadedPpd> loaded_;
  bool holdTarget_;
  std::string queueRecords_;
  std::vector<std::string> restoreOffered_;  // "SERVER QUEUE" of each queue asked about
  FileLock targetLock_;
  // The target's bytes as last read or written; none when unknown.
  std::optional<std::string> targetBytes_;
  bool overwriteDeclined_ = false;
  std::string nickName_;
  bool libraryModified_ = false;
  bool targetModified_ = false;
};

}  // namespace tonalis

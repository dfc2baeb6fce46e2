#include "workspace/workspace.h"

#include <algorithm>

#include "formats/ppd_section.h"
#include "printers/queue_records.h"
#include "printers/queue_target.h"

namespace tonalis {

Workspace::Workspace(const WorkspaceSeams& seams)
    : ui_(seams.ui),
      strings_(seams.strings),
      language_(seams.language),
      library_(std::make_unique<DefinitionLibrary>()),
      targetList_(std::make_unique<PrinterDefinitionList>()),
      libraryFile_(seams.libraryPath, seams.fileOps ? *seams.fileOps : SystemFileOps()),
      holdTarget_(seams.holdTarget),
      queueRecords_(seams.queueRecords) {
  EmptyTable(*library_);
  EmptyTable(*targetList_);
}

Workspace::~Workspace() = default;

void Workspace::Show(int stringId, const std::string& subject) {
  Message m = StringMessage(strings_, stringId);
  m.subject = subject;
  ui_.Show(m);
}

// --- The library ------------------------------------------------------------

bool Workspace::OpenLibrary() {
  libraryModified_ = false;
  return libraryFile_.Open(*library_, ui_, strings_);
}

void Workspace::CloseLibrary() {
  libraryFile_.Close();
}

bool Workspace::ReadLibrary() {
  CloseLibrary();
  libraryModified_ = false;
  return ReadLibraryFile(libraryFile_.path(), *library_, ui_, strings_);
}

void Workspace::ReadLibraryImage(std::span<const uint8_t> image) {
  CloseLibrary();
  libraryModified_ = false;
  DecodeLibrary(image, *library_);
}

// --- The target -------------------------------------------------------------

int Workspace::ReadTarget(std::shared_ptr<PpdTarget> target) {
  DropTarget();
  const std::string where = target ? target->Describe() : std::string();
  if (holdTarget_ && target) {
    // Another copy in the middle of its own change is waited for.
    LockResult lock = target->Lock();
    if (lock.error != 0) {
      Message m = StringMessage(strings_, sid::kPpdOpenFailed);
      m.subject = where;
      m.detail = lock.reason;
      ui_.Show(m);
      return kPpdFailed;
    }
    targetLock_ = std::move(lock.lock);
  }
  PpdReadOutcome outcome = GetPPDToneInfo(std::move(target), *targetList_, {ui_, strings_});
  nickName_.clear();
  if (outcome.result == kPpdLoaded) {
    nickName_ = std::move(outcome.nickName);
    loaded_ = std::move(outcome.loaded);
    targetBytes_ = loaded_->bytesRead();
    return kPpdLoaded;
  }
  targetLock_.Release();
  // Nothing of a target that was not read may be listed, added to or
  // written back.
  EmptyTable(*targetList_);
  if (outcome.result == kPpdUnsupported) {
    Message m = StringMessage(strings_, sid::kUnsupportedPpd);
    m.subject = where;
    m.detail = outcome.unsupportedReason;
    ui_.Show(m);
  }
  return outcome.result;
}

void Workspace::AdoptTarget(LoadedPpd loaded, const PrinterDefinitionList& list) {
  DropTarget();
  nickName_ = loaded.state().nickName;
  loaded_ = std::move(loaded);
  targetBytes_ = loaded_->bytesRead();
  *targetList_ = list;
}

void Workspace::DropTarget() {
  loaded_.reset();
  targetLock_.Release();
  targetBytes_.reset();
  EmptyTable(*targetList_);
  targetModified_ = false;
}

// --- Lists ------------------------------------------------------------------

const DensityDef* Workspace::Find(Side side, std::string_view name) const {
  if (side == Side::Library) {
    const std::optional<int> slot = FindDefinition(*library_, name);
    return slot ? &library_->slots[*slot] : nullptr;
  }
  const std::optional<int> slot = FindDefinition(*targetList_, name);
  return slot ? &targetList_->slots[*slot] : nullptr;
}

std::vector<std::string_view> Workspace::Names(Side side) const {
  return side == Side::Library ? VisibleNames(*library_) : VisibleNames(*targetList_);
}

int Workspace::Count(Side side) const {
  return side == Side::Library ? library_->count : targetList_->count;
}

int Workspace::Capacity(Side side) const {
  return side == Side::Library ? kLibraryCapacity : kPrinterListCapacity;
}

// --- Storing ----------------------------------------------------------------

bool Workspace::Refused(const DensityDef& def) {
  const std::optional<Refusal> refusal = Validate(def, strings_);
  if (!refusal)
    return false;
  Message m;
  m.kind = MessageKind::Warning;
  m.stringId = refusal->stringId;
  m.text = refusal->text;
  m.subject = std::string(NameOf(def));
  ui_.Show(m);
  return true;
}

StoreResult Workspace::StoreNew(const DensityDef& def) {
  if (Refused(def))
    return StoreResult::Invalid;
  switch (InsertDefinition(*library_, def, InsertMode::AddMode())) {
    case InsertResult::Full:
      Show(sid::kTableFull);
      return StoreResult::Full;
    case InsertResult::NameTaken:
      Show(sid::kNameTaken);
      return StoreResult::NameTaken;
    case InsertResult::Stored:
      break;
  }
  libraryModified_ = true;
  return StoreResult::Stored;
}

namespace {

// Stores `def` in the slot of `original`: the slot is freed for the
// insertion (so that the definition's own name is free) and filled again
// exactly as it was when the insertion fails.
template <int C>
StoreResult StoreInPlace(DefinitionTable<C>& table, std::string_view original,
                         const DensityDef& def) {
  const std::optional<int> slot = FindDefinition(table, original);
  if (!slot)
    return StoreResult::NotFound;
  const DensityDef before = table.slots[*slot];
  FreeSlot(table, *slot);
  if (InsertDefinition(table, def, InsertMode::AtSlot(*slot)) == InsertResult::Stored)
    return StoreResult::Replaced;
  table.slots[*slot] = before;
  ++table.count;
  return StoreResult::NameTaken;
}

}  // namespace

StoreResult Workspace::StoreEdited(Side side, std::string_view original, const DensityDef& def) {
  if (Refused(def))
    return StoreResult::Invalid;
  const StoreResult result = side == Side::Library ? StoreInPlace(*library_, original, def)
                                                   : StoreInPlace(*targetList_, original, def);
  if (result == StoreResult::NameTaken)
    Show(sid::kNameTaken);
  if (result == StoreResult::Replaced)
    (side == Side::Library ? libraryModified_ : targetModified_) = true;
  return result;
}

bool Workspace::ConfirmDelete() {
  Message question = StringMessage(strings_, sid::kDeleteQuestion, MessageKind::YesNo);
  question.question = Question::DeleteDefinition;
  return ui_.Ask(question);
}

bool Workspace::Delete(Side side, std::string_view name) {
  if (side == Side::Library) {
    const std::optional<int> slot = FindDefinition(*library_, name);
    if (!slot)
      return false;
    // The library keeps the hole; the next definition stored takes the
    // lowest free slot.
    FreeSlot(*library_, *slot);
    libraryModified_ = true;
    return true;
  }
  const std::optional<int> slot = FindDefinition(*targetList_, name);
  if (!slot)
    return false;
  // The target's list has no gaps: the definitions after the deleted one
  // move up, keeping their order (the order of the PPD's choices).
  FreeSlot(*targetList_, *slot);
  CompactAfter(*targetList_, *slot);
  targetModified_ = true;
  return true;
}

template <int C>
StoreResult Workspace::Copy(const DensityDef& def, DefinitionTable<C>& into, bool& modified) {
  // A definition read from a PPD by hand-edited or foreign means crosses
  // over only if it obeys the rules that the editor and `put` obey.
  if (Refused(def))
    return StoreResult::Invalid;
  switch (InsertDefinition(into, def, InsertMode::AddMode())) {
    case InsertResult::Full:
      Show(sid::kTableFull);
      return StoreResult::Full;
    case InsertResult::NameTaken: {
      // The definition of that name takes the content and keeps its place.
      Message question = StringMessage(strings_, sid::kReplaceQuestion, MessageKind::YesNo);
      question.question = Question::ReplaceDefinition;
      question.subject = std::string(NameOf(def));
      if (!ui_.Ask(question))
        return StoreResult::Declined;
      InsertDefinition(into, def, InsertMode::ReplaceMode());
      modified = true;
      return StoreResult::Replaced;
    }
    case InsertResult::Stored:
      break;
  }
  modified = true;
  return StoreResult::Stored;
}

StoreResult Workspace::Add(std::string_view name) {
  // Only a target that was read can take definitions.
  const DensityDef* def = Find(Side::Library, name);
  if (!def || !loaded_)
    return StoreResult::NotFound;
  const DensityDef copy = *def;
  return Copy(copy, *targetList_, targetModified_);
}

StoreResult Workspace::PickOut(std::string_view name) {
  const DensityDef* def = Find(Side::Target, name);
  if (!def)
    return StoreResult::NotFound;
  const DensityDef copy = *def;
  return Copy(copy, *library_, libraryModified_);
}

StoreResult Workspace::Put(const DensityDef& def) {
  if (Refused(def))
    return StoreResult::Invalid;
  if (const std::optional<int> slot = FindDefinition(*library_, NameOf(def))) {
    // A replacement takes no new place, so it is made even in a full
    // library; the bytes after the name stay as the slot held them.
    DensityDef& stored = library_->slots[*slot];
    stored.allChannels = def.allChannels;
    std::copy(std::begin(def.channels), std::end(def.channels), std::begin(stored.channels));
    libraryModified_ = true;
    return StoreResult::Replaced;
  }
  if (InsertDefinition(*library_, def, InsertMode::AddMode()) != InsertResult::Stored) {
    Show(sid::kTableFull, std::string(NameOf(def)));
    return StoreResult::Full;
  }
  libraryModified_ = true;
  return StoreResult::Stored;
}

StoreResult Workspace::SetTargetDefinitions(std::span<const std::string> names,
                                            std::string* missing) {
  if (!loaded_)
    return StoreResult::NotFound;
  if (names.size() > static_cast<std::size_t>(kPrinterListCapacity)) {
    Show(sid::kTableFull, loaded_->target().Describe());
    return StoreResult::Full;
  }
  auto wanted = std::make_unique<PrinterDefinitionList>();
  EmptyTable(*wanted);
  for (const std::string& name : names) {
    const DensityDef* def = Find(Side::Library, name);
    if (!def) {
      if (missing)
        *missing = name;
      return StoreResult::NotFound;
    }
    if (InsertDefinition(*wanted, *def, InsertMode::AddMode()) == InsertResult::NameTaken) {
      if (missing)
        *missing = name;
      return StoreResult::NameTaken;
    }
  }
  *targetList_ = *wanted;
  targetModified_ = true;
  return StoreResult::Stored;
}

StoreResult Workspace::SetTargetRecords(std::span<const DensityDef> defs) {
  if (!loaded_)
    return StoreResult::NotFound;
  if (defs.size() > static_cast<std::size_t>(kPrinterListCapacity)) {
    Show(sid::kTableFull, loaded_->target().Describe());
    return StoreResult::Full;
  }
  auto wanted = std::make_unique<PrinterDefinitionList>();
  EmptyTable(*wanted);
  for (const DensityDef& def : defs) {
    if (Refused(def))
      return StoreResult::Invalid;
    if (InsertDefinition(*wanted, def, InsertMode::AddMode()) != InsertResult::Stored)
      return StoreResult::NameTaken;
  }
  *targetList_ = *wanted;
  targetModified_ = true;
  return StoreResult::Stored;
}

// --- Writing ----------------------------------------------------------------

bool Workspace::WriteLibrary() {
  const bool written = libraryFile_.Write(*library_, ui_, strings_);
  if (written)
    libraryModified_ = false;
  return written;
}

bool Workspace::WriteTarget() {
  if (!loaded_) {
    // Cannot happen through the front ends: changes need a target that was
    // read.
    Show(sid::kPpdWriteFailed);
    return false;
  }
  return WriteTarget(loaded_->state().defaultChoice);
}

bool Workspace::ChangedElsewhere() const {
  std::string now;
  // A target that cannot be read now says so when it is written.
  if (!targetBytes_ || loaded_->target().Read(now) != 0)
    return false;
  return now != *targetBytes_;
}

bool Workspace::WriteTarget(const std::string& defaultChoice) {
  return WriteTargetAs(defaultChoice, nullptr);
}

bool Workspace::WriteTargetAs(const std::string& defaultChoice,
                              const std::vector<ChoiceRead>* keywords) {
  overwriteDeclined_ = false;
  if (!loaded_) {
    Show(sid::kPpdWriteFailed);
    return false;
  }
  const PpdTarget& target = loaded_->target();
  // The comparison and the replacement happen under the lock, so that no
  // other copy of Tonalis writes between them.
  LockResult lock;
  if (!targetLock_.held()) {
    lock = target.Lock();
    if (lock.error != 0) {
      Message m = StringMessage(strings_, sid::kPpdWriteFailed);
      m.subject = target.Describe();
      m.detail = lock.reason;
      ui_.Show(m);
      return false;
    }
  }
  if (ChangedElsewhere()) {
    Message question = StringMessage(strings_, sid::kPpdChangedElsewhere, MessageKind::YesNo);
    question.question = Question::OverwriteChanges;
    question.subject = target.Describe();
    if (!ui_.Ask(question)) {
      overwriteDeclined_ = true;
      return false;
    }
  }
  const bool written =
      SetPPDToneInfo(*loaded_, *targetList_, {ui_, strings_, language_}, defaultChoice, keywords);
  if (written) {
    targetModified_ = false;
    // What is there now is ours (a scheduler may store a PPD in its own
    // way): the next write compares with that.
    std::string now;
    targetBytes_.reset();
    if (target.Read(now) == 0)
      targetBytes_ = std::move(now);
    RecordQueueWrite();
  }
  return written;
}

bool Workspace::RestoreRecord(const QueueRecord& record) {
  if (!Succeeded(SetTargetRecords(record.definitions)))
    return false;
  // Each definition gets back its keyword, which saved choices (lpoptions)
  // and print jobs name; the default goes by name.
  std::vector<std::string> names;
  std::vector<ChoiceRead> recorded;
  for (std::size_t i = 0; i < record.definitions.size(); ++i) {
    names.emplace_back(NameOf(record.definitions[i]));
    if (i < record.keywords.size())
      recorded.push_back({record.keywords[i], names.back()});
  }
  const std::vector<ChoiceRead>* keywords = record.keywords.empty() ? nullptr : &recorded;
  const std::vector<int> numbers =
      ppd::AssignKeywords(names, keywords ? recorded : loaded_->state().choices);
  std::string choice = "None";
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!record.defaultName.empty() && names[i] == record.defaultName)
      choice = "Gumma" + std::to_string(numbers[i]);
  return WriteTargetAs(choice, keywords);
}

bool Workspace::OfferRestore() {
  const auto* queue = loaded_ ? dynamic_cast<const PpdQueueTarget*>(&loaded_->target()) : nullptr;
  if (!queue || queueRecords_.empty() || !targetBytes_)
    return false;
  // Records that cannot be read offer nothing; `tonalis-cli check` says why.
  std::string error;
  const std::optional<std::vector<QueueRecord>> records = ReadQueueRecords(queueRecords_, error);
  QueueRecord probe;
  probe.server = queue->ServerName();
  probe.queue = queue->ref().queue;
  if (!records)
    return false;
  const QueueRecord* record = nullptr;
  for (const QueueRecord& r : *records)
    if (r.SameQueue(probe))
      record = &r;
  if (!record)
    return false;
  const std::string now = SectionFingerprint(*targetBytes_);
  const std::string key = probe.server + " " + probe.queue;
  if (now == record->section ||
      std::find(restoreOffered_.begin(), restoreOffered_.end(), key) != restoreOffered_.end())
    return false;
  restoreOffered_.push_back(key);
  Message question = StringMessage(strings_, now.empty() ? sid::kControlsLost : sid::kControlsChanged,
                                   MessageKind::YesNo);
  question.question = Question::RestoreControls;
  question.subject = loaded_->target().Describe();
  if (!ui_.Ask(question))
    return false;
  return RestoreRecord(*record);
}

void Workspace::RecordQueueWrite() {
  const auto* queue = dynamic_cast<const PpdQueueTarget*>(&loaded_->target());
  if (queueRecords_.empty() || !queue || !targetBytes_)
    return;
  // What the scheduler now keeps, read back: its definitions and default.
  auto list = std::make_unique<PrinterDefinitionList>();
  EmptyTable(*list);
  PPDToneState state;
  ppd::SplitPpdText(*targetBytes_, *list, state);
  QueueRecord record;
  record.server = queue->ServerName();
  record.queue = queue->ref().queue;
  for (int slot : VisibleSlots(*list)) {
    record.definitions.push_back(list->slots[slot]);
    for (const ChoiceRead& choice : state.choices)
      if (choice.name == NameOf(list->slots[slot]) && choice.keyword > 0) {
        record.keywords.push_back(choice.keyword);
        break;
      }
  }
  if (record.keywords.size() != record.definitions.size())
    record.keywords.clear();
  for (const ChoiceRead& choice : state.choices) {
    if (state.defaultChoice == "Gumma" + std::to_string(choice.keyword))
      record.defaultName = choice.name;
  }
  record.section = SectionFingerprint(*targetBytes_);
  std::string error;
  if (!StoreQueueRecord(queueRecords_, record, error)) {
    ui_.Show(SystemFailure("The density controls of " + loaded_->target().Describe() +
                               " were written, but could not be recorded for a later check.",
                           error));
  }
}

bool Workspace::WriteChanges() {
  if (libraryModified_)
    WriteLibrary();
  const bool declined = targetModified_ && !WriteTarget() && overwriteDeclined_;
  libraryModified_ = false;
  targetModified_ = false;
  return declined;
}

void Workspace::Apply() {
  if (WriteChanges())
    ReadTarget(loaded_->targetPointer());
}

void Workspace::SaveBeforeSwitch() {
  if (!targetModified_)
    return;
  Message question = StringMessage(strings_, sid::kSaveBeforeSwitch, MessageKind::YesNo);
  question.question = Question::SaveBeforeSwitch;
  if (ui_.Ask(question))
    WriteTarget();
  targetModified_ = false;
}

void Workspace::SaveBeforeExit() {
  if (libraryModified_ || targetModified_) {
    Message question = StringMessage(strings_, sid::kSaveBeforeExit, MessageKind::YesNo);
    question.question = Question::SaveBeforeExit;
    if (ui_.Ask(question))
      WriteChanges();
  }
  CloseLibrary();
}

}  // namespace tonalis

#include "targets.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "model/definition_table.h"
#include "formats/definition_json.h"
#include "model/validate.h"
#include "formats/ppd_verify.h"
#include "model/density_def.h"
#include "formats/library_file.h"
#include "model/value_text.h"
#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"
#include "formats/curve_files.h"
#include "formats/measurements.h"
#include "workspace/calibrate.h"

namespace tonalis::fuzz {

namespace {

FailureHandler failureHandler = nullptr;

[[noreturn]] void Broken(const char* target, const char* what) {
  const std::string message = std::string("fuzz target ") + target + ": " + what;
  if (failureHandler) failureHandler(message);
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

#define CHECK(cond)                               \
  do {                                            \
    if (!(cond)) Broken(kName, "failed: " #cond); \
  } while (0)

// A PPD held in memory: reads give its bytes, replacements take new ones.
class MemoryTarget final : public PpdTarget {
 public:
  explicit MemoryTarget(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string Describe() const override { return "memory.ppd"; }
  int Read(std::string& out) const override {
    out = bytes_;
    return 0;
  }
  ReplaceResult Replace(const std::string& bytes) const override {
    bytes_ = bytes;
    ++replacements_;
    return {};
  }
  bool IsReadOnly() const override { return false; }
  int MakeWritable() const override { return 0; }

  const std::string& bytes() const { return bytes_; }
  int replacements() const { return replacements_; }

 private:
  mutable std::string bytes_;
  mutable int replacements_ = 0;
};

// Records what the core shows; every question is answered yes.
class RecordingInteraction final : public UserInteraction {
 public:
  void Show(const Message& message) override { ids.push_back(message.stringId); }
  bool Ask(const Message& message) override {
    ids.push_back(message.stringId);
    return true;
  }
  std::vector<int> ids;
};

std::string Text(const uint8_t* data, std::size_t size) {
  return size ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

struct Read {
  std::shared_ptr<MemoryTarget> target;
  std::unique_ptr<PrinterDefinitionList> list = std::make_unique<PrinterDefinitionList>();
  RecordingInteraction ui;
  PpdReadOutcome outcome;
};

std::unique_ptr<Read> ReadPpd(std::string bytes) {
  auto r = std::make_unique<Read>();
  r->target = std::make_shared<MemoryTarget>(std::move(bytes));
  r->outcome = GetPPDToneInfo(r->target, *r->list, {r->ui});
  return r;
}

// The definitions as the file carries them: name, flag and curves of each
// visible slot, in order.
struct Visible {
  std::string name;
  int32_t allChannels;
  std::array<ToneCurve, kChannelCount> channels;
  bool operator==(const Visible&) const = default;
};

template <int C>
std::vector<Visible> VisibleOf(const DefinitionTable<C>& table, std::size_t nameLimit) {
  std::vector<Visible> out;
  for (int slot : VisibleSlots(table)) {
    const DensityDef& d = table.slots[slot];
    Visible v{std::string(NameOf(d).substr(0, nameLimit)), d.allChannels, {}};
    std::copy(std::begin(d.channels), std::end(d.channels), v.channels.begin());
    out.push_back(std::move(v));
  }
  return out;
}

}  // namespace

void SetFailureHandler(FailureHandler handler) { failureHandler = handler; }

int PpdRead(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "ppd_read";
  const std::string input = Text(data, size);
  auto r = ReadPpd(input);
  const PpdReadOutcome& out = r->outcome;

  CHECK(out.result == kPpdLoaded || out.result == kPpdFailed || out.result == kPpdUnsupported);
  CHECK(out.loaded.has_value() == (out.result == kPpdLoaded));
  CHECK((out.result == kPpdUnsupported) == !IsSupportedPpdText(input));
  CHECK(out.nickName.size() <= ppd::kMaxNickNameLength);

  // Reading never writes.
  CHECK(r->target->bytes() == input);
  CHECK(r->target->replacements() == 0);
  if (out.result == kPpdUnsupported) {
    CHECK(r->ui.ids.empty());  // the caller says why
    return 0;
  }

  if (out.result == kPpdFailed) {
    // The only failure a file in memory can have: a section never closed.
    CHECK(r->ui.ids == std::vector<int>{sid::kPpdConstructionError});
    return 0;
  }
  CHECK(r->ui.ids.empty());

  const PPDToneState& state = out.loaded->state();
  CHECK(state.headText.size() + state.tailText.size() <= input.size());
  CHECK(state.tailText.empty() || StartsWith(state.tailText, ppd::kDefaultFontCourier) ||
        StartsWith(state.tailText, ppd::kFontInformation));
  CHECK(state.lineBreak == "\r\n" || state.lineBreak == "\n" || state.lineBreak == "\r");
  const PrinterDefinitionList& list = *r->list;
  CHECK(list.count >= 0 && list.count <= kPrinterListCapacity);
  CHECK(VisibleSlots(list).size() == static_cast<std::size_t>(list.count));
  for (int slot : VisibleSlots(list)) {
    const std::string_view name = NameOf(list.slots[slot]);
    CHECK(!name.empty() && name.size() <= kMaxNameLength);
  }
  return 0;
}

int PpdRoundTrip(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "ppd_roundtrip";
  auto first = ReadPpd(Text(data, size));
  if (first->outcome.result != kPpdLoaded) return 0;
  const LoadedPpd& loaded = *first->outcome.loaded;
  const PPDToneState& before = loaded.state();
  const std::string readBytes = first->target->bytes();
  const PrinterDefinitionList& list = *first->list;

  RecordingInteraction ui;
  const bool written = SetPPDToneInfo(loaded, list, {ui});
  bool refusable = false;
  for (int slot : VisibleSlots(list))
    refusable |= ppd::ControlCharacterIn(NameOf(list.slots[slot])).has_value();
  if (refusable) {
    // A name read with a line break or another control character in it is
    // refused before anything is written.
    CHECK(!written);
    CHECK(ui.ids == std::vector<int>{sid::kPpdWriteFailed});
    CHECK(first->target->bytes() == readBytes);
    return 0;
  }
  if (!written) {
    // Only a file that ends inside a quoted value, or CUPS's own parser, may
    // refuse the new text, and then nothing is written.
    CHECK(ui.ids == std::vector<int>{sid::kPpdWriteFailed});
    CHECK((before.tailText.empty() && before.endsInQuote) ||
          !VerifyWrittenPpd(before.headText + before.tailText, ComposePpd(before, list).bytes,
                            ComposePpd(before, list).choices)
               .empty());
    CHECK(first->target->bytes() == readBytes);
    return 0;
  }
  CHECK(ui.ids == std::vector<int>{sid::kPpdWritten});
  // The section is made anew, so a file whose only mark of a supported
  // product stood inside its old section is no longer one (a finding kept
  // under tests/data/fuzz/ppd_roundtrip: by design, see docs/reliability.md).
  std::string head = before.headText;
  if (!head.empty() && head.back() != '\n' && head.back() != '\r') head += before.lineBreak;
  if (!IsSupportedPpdText(head + before.tailText)) return 0;

  // The written file is the head, the section and the tail: nothing else.
  const std::string once = first->target->bytes();
  CHECK(once.compare(0, head.size(), head) == 0);
  CHECK(once.size() >= head.size() + before.tailText.size() &&
        once.compare(once.size() - before.tailText.size(), std::string::npos,
                     before.tailText) == 0);

  auto second = ReadPpd(once);
  CHECK(second->outcome.result == kPpdLoaded);
  CHECK(VisibleOf(*second->list, kMaxNameLength) == VisibleOf(list, kMaxNameLength));
  const PPDToneState& after = second->outcome.loaded->state();
  CHECK(after.headText == head);
  CHECK(after.tailText == before.tailText);

  RecordingInteraction ui2;
  CHECK(SetPPDToneInfo(*second->outcome.loaded, *second->list, {ui2}));
  CHECK(second->target->bytes() == once);
  return 0;
}

int PpdWrite(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "ppd_write";
  static const std::string kBase =
      "*PPD-Adobe: \"4.3\"\r\n"
      "*QRHTUtility: True\r\n"
      "*NickName: \"Fuzz Printer\"\r\n"
      "*OpenUI *PageSize/Page Size: PickOne\r\n"
      "*DefaultPageSize: A4\r\n"
      "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\r\n"
      "*CloseUI: *PageSize\r\n"
      "*% Font Information\r\n"
      "*DefaultFont: Courier\r\n";

  auto list = std::make_unique<PrinterDefinitionList>();
  EmptyTable(*list);
  const std::size_t records = std::min<std::size_t>(size / kDensityDefBytes, kPrinterListCapacity);
  for (std::size_t i = 0; i < records; ++i) {
    list->slots[i] = DecodeDensityDef(
        std::span<const uint8_t, kDensityDefBytes>(data + i * kDensityDefBytes, kDensityDefBytes));
  }
  list->count = static_cast<int16_t>(VisibleSlotsIn(list->slots, kPrinterListCapacity,
                                                    kPrinterListCapacity)
                                         .size());

  auto base = ReadPpd(kBase);
  CHECK(base->outcome.result == kPpdLoaded);
  RecordingInteraction ui;
  const bool written = SetPPDToneInfo(*base->outcome.loaded, *list, {ui});

  bool refusable = false;
  for (int slot : VisibleSlots(*list))
    refusable |= ppd::ControlCharacterIn(NameOf(list->slots[slot])).has_value();
  if (refusable) {
    CHECK(!written);
    CHECK(base->target->bytes() == kBase);
    return 0;
  }
  CHECK(written);
  const std::string bytes = base->target->bytes();
  // Every line of the file ends with CR LF; no byte of a name made a line.
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') CHECK(i + 1 < bytes.size() && bytes[i + 1] == '\n');
    if (bytes[i] == '\n') CHECK(i > 0 && bytes[i - 1] == '\r');
  }
  CHECK(StartsWith(bytes, kBase.substr(0, kBase.find("*% Font"))));

  auto back = ReadPpd(bytes);
  CHECK(back->outcome.result == kPpdLoaded);
  // Names longer than a name can be come back cut; all else comes back.
  CHECK(VisibleOf(*back->list, kMaxNameLength) == VisibleOf(*list, kMaxNameLength));
  const PPDToneState& state = back->outcome.loaded->state();
  CHECK(state.headText + state.tailText == kBase);
  return 0;
}

int IntegerList(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "integer_list";
  if (size == 0) return 0;
  const std::size_t places = data[0] % 32;
  const std::string text = Text(data + 1, size - 1);
  constexpr int32_t kSentinel = 0x5A5A5A5A;
  std::vector<int32_t> out(places + 4, kSentinel);
  const int stored = ParseIntegerList(text, std::span<int32_t>(out.data(), places));
  CHECK(stored >= 0 && static_cast<std::size_t>(stored) <= places);
  for (std::size_t i = static_cast<std::size_t>(stored); i < out.size(); ++i)
    CHECK(out[i] == kSentinel);
  // A token of digits only, closed by a blank, reads as its value.
  if (stored > 0 && text.find_first_not_of("0123456789 ") == std::string::npos) {
    const std::size_t start = text.find_first_of("0123456789");
    const std::size_t end = text.find(' ', start);
    if (end - start <= 9) CHECK(out[0] == std::stoi(text.substr(start, end - start)));
  }
  return 0;
}

int Hundredths(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "hundredths";
  const std::string text = Text(data, size);
  constexpr int32_t kSentinel = -777;
  int32_t value = kSentinel;
  const bool valid = ParseHundredths(text, value);
  if (text.empty()) CHECK(valid && value == -1);
  if (valid && !text.empty()) {
    CHECK(value >= 0 && value <= 10000);
    // The field shows what it holds: formatting and parsing agree, except
    // that a five-digit value loses its last digit (only 10000 is valid).
    int32_t again = kSentinel;
    CHECK(ParseHundredths(FormatHundredths(value), again));
    CHECK(again == value);
  }
  if (text.find_first_not_of("0123456789.") != std::string::npos) CHECK(!valid);
  if (!valid && value != kSentinel) CHECK(value > 10000 || value < 0);

  if (size >= 4) {
    int32_t any;
    std::memcpy(&any, data, sizeof any);
    const std::string shown = FormatHundredths(any);
    CHECK(shown.size() <= 11);
  }
  return 0;
}

int LibraryRead(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "library_read";
  const std::span<const uint8_t> image(data, size);
  auto library = std::make_unique<DefinitionLibrary>();
  const LibraryFormat format = DecodeLibrary(image, *library);

  CHECK((format == LibraryFormat::Empty) == (size == 0));
  if (size > 0) {
    const uint8_t head[2] = {data[0], size > 1 ? data[1] : uint8_t{0}};
    CHECK((format == LibraryFormat::Current) == (LoadLE16(head) >= kLibraryVersion));
  }
  CHECK(library->version == kLibraryVersion);
  CHECK(library->count >= 0 && library->count <= kLibraryCapacity);
  for (int slot : VisibleSlots(*library)) CHECK(NameOf(library->slots[slot]).size() <= kNameFieldSize);

  // What is saved reads back as the same table, byte for byte, and saving
  // that again gives the same image.
  const std::vector<uint8_t> saved = EncodeLibrary(*library);
  CHECK(saved.size() == kLibraryFileBytes);
  auto again = std::make_unique<DefinitionLibrary>();
  CHECK(DecodeLibrary(saved, *again) == LibraryFormat::Current);
  CHECK(std::memcmp(library.get(), again.get(), sizeof(DefinitionLibrary)) == 0);
  CHECK(EncodeLibrary(*again) == saved);
  return 0;
}

int DefinitionJson(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "definition_json";
  using cli::Json;
  cli::JsonError error;
  const std::optional<Json> doc = cli::ParseJson(Text(data, size), error);
  if (!doc) {
    CHECK(!error.message.empty() && error.line >= 1 && error.column >= 1);
    return 0;
  }
  // What is written reads back as the same document.
  cli::JsonError again;
  const std::optional<Json> reread = cli::ParseJson(cli::WriteJson(*doc), again);
  CHECK(reread && *reread == *doc);

  const std::vector<Json> items = doc->is_array() ? doc->get<std::vector<Json>>() : std::vector<Json>{*doc};
  for (const Json& item : items) {
    const cli::JsonDefinition def = cli::DefinitionFromJson(item, DefaultStrings());
    if (!def.error.empty() || def.refusal)
      continue;
    // An accepted definition keeps the rule, and its JSON form is accepted
    // as the same record.
    CHECK(!Validate(def.record));
    CHECK(NameOf(def.record) == def.name);
    const cli::JsonDefinition back = cli::DefinitionFromJson(cli::DefinitionToJson(def.record), DefaultStrings());
    CHECK(back.error.empty() && !back.refusal);
    CHECK(NameOf(back.record) == def.name && back.record.allChannels == def.record.allChannels);
    for (int c = 0; c < kChannelCount; ++c) CHECK(back.record.channels[c] == def.record.channels[c]);
  }
  return 0;
}

int CurveFile(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "curve_file";
  if (size == 0)
    return 0;
  const auto format = static_cast<CurveFormat>(data[0] % 4);
  const CurveFileRead read = ParseCurveFile(Text(data + 1, size - 1), format, "f");
  CHECK(read.tables.has_value() != !read.error.empty());
  if (!read.tables)
    return 0;
  for (const CurveTable& table : read.tables->channels)
    for (int32_t entry : table) CHECK(entry >= 0 && entry <= 25500);
  return 0;
}

int MeasurementsFile(const uint8_t* data, std::size_t size) {
  static constexpr const char* kName = "measurements";
  const MeasurementsRead read = ParseMeasurements(Text(data, size), "m");
  CHECK(read.measurements.has_value() != !read.error.empty());
  if (!read.measurements)
    return 0;
  for (const auto& patches : read.measurements->channels) {
    CHECK(patches.size() >= 2 && patches.front().input == 0 && patches.back().input == 100);
    for (std::size_t i = 1; i < patches.size(); ++i) CHECK(patches[i - 1].input < patches[i].input);
  }
  // Whatever the readings, a calibration that succeeds keeps the rules.
  CalibrationOutcome out = CalibrateMeasurements(*read.measurements, Aim{}, nullptr);
  CHECK(out.ok != !out.error.empty());
  if (out.ok) {
    SetName(out.definition, "fuzz");
    CHECK(!Validate(out.definition));
  }
  return 0;
}

}  // namespace tonalis::fuzz


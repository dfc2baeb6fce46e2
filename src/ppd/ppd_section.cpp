#include "ppd/ppd_section.h"

#include <algorithm>
#include <array>
#include <span>

#include "model/tone_curve.h"
#include "model/value_text.h"

namespace tonalis {

namespace ppd {

namespace {

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of "<hh...>" at the start of `text`, or nothing when `text` does
// not start with a well-formed hexadecimal substring.
std::optional<std::string> HexSubstringAt(std::string_view text) {
  const std::size_t close = text.find('>');
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view digits = text.substr(1, close - 1);
  if (digits.empty() || digits.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexDigit(digits[i]);
    const int low = HexDigit(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

// Stores values into a channel's fields counted from `first`: fields 0..12
// are the points, field 13 is the gamma.
void StoreFields(ToneCurve& curve, int first, std::span<const int32_t> values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int field = first + static_cast<int>(i);
    if (field < kPointCount) {
      curve.points[field] = values[i];
    } else {
      curve.gamma = values[i];
    }
  }
}

// Reads up to `count` numbers that follow the tag found at `tagAt`.
std::span<const int32_t> NumbersAfter(std::string_view line, std::size_t tagAt,
                                      std::array<int32_t, 14>& buffer, std::size_t count) {
  const std::string_view rest = line.substr(tagAt + kTagSame.size());
  const int stored = ParseIntegerList(rest, std::span<int32_t>(buffer.data(), count));
  return {buffer.data(), static_cast<std::size_t>(stored)};
}

// The comment lines of the section rebuild the definition added last.
class SectionParser {
 public:
  explicit SectionParser(PrinterDefinitionList& list) : list_(list) {}

  void Line(std::string_view line) {
    if (StartsWith(line, kChoicePrefix)) {
      Choice(line);
    } else {
      Comment(line);
    }
  }

 private:
  void Choice(std::string_view line) {
    entryOpen_ = sameSeen_ = per1Seen_ = false;
    if (list_.count >= PrinterDefinitionList::kCapacity) return;  // the seventh and later
    std::string name = ReadChoiceName(line);
    // The record ends its name at a zero byte, and an empty name marks a free
    // slot: a choice without a usable name is skipped like a seventh one.
    name.resize(std::min(name.size(), name.find('\0')));
    if (name.empty()) return;
    DensityDef& def = list_.slots[list_.count];
    def = NewDefinition();
    SetName(def, name);
    ++list_.count;
    entryOpen_ = true;
  }

  void Comment(std::string_view line) {
    std::array<int32_t, 14> numbers{};
    std::size_t at;
    if ((at = line.find(kTagPer1)) != std::string_view::npos) {
      per1Seen_ = true;
      if (!entryOpen_) return;
      Current().allChannels = 1;
      StoreFields(Cyan(), 0, NumbersAfter(line, at, numbers, 7));
    } else if ((at = line.find(kTagPer2)) != std::string_view::npos) {
      if (!entryOpen_ || !per1Seen_) return;
      per1Seen_ = entryOpen_ = false;
      StoreFields(Cyan(), 7, NumbersAfter(line, at, numbers, 7));
      CopyCyanIfAllChannels();
    } else if ((at = line.find(kTagSame)) != std::string_view::npos) {
      sameSeen_ = true;
      if (!entryOpen_) return;
      const auto value = NumbersAfter(line, at, numbers, 1);
      if (!value.empty()) Current().allChannels = value[0];
    } else if ((at = line.find(kTagPerC)) != std::string_view::npos) {
      if (!entryOpen_ || !sameSeen_) return;
      StoreFields(Cyan(), 0, NumbersAfter(line, at, numbers, 14));
      CopyCyanIfAllChannels();
    } else if ((at = line.find(kTagPerM)) != std::string_view::npos) {
      if (!entryOpen_ || !sameSeen_) return;
      StoreFields(Current().channels[kMagenta], 0, NumbersAfter(line, at, numbers, 14));
    } else if ((at = line.find(kTagPerY)) != std::string_view::npos) {
      if (!entryOpen_ || !sameSeen_) return;
      StoreFields(Current().channels[kYellow], 0, NumbersAfter(line, at, numbers, 14));
    } else if ((at = line.find(kTagPerK)) != std::string_view::npos) {
      if (!entryOpen_ || !sameSeen_) return;
      StoreFields(Current().channels[kBlack], 0, NumbersAfter(line, at, numbers, 14));
      entryOpen_ = sameSeen_ = false;
    }
  }

  DensityDef& Current() { return list_.slots[list_.count - 1]; }
  ToneCurve& Cyan() { return Current().channels[kCyan]; }
  void CopyCyanIfAllChannels() {
    DensityDef& def = Current();
    if (def.allChannels != 1) return;
    def.channels[kMagenta] = def.channels[kYellow] = def.channels[kBlack] = def.channels[kCyan];
  }

  PrinterDefinitionList& list_;
  bool entryOpen_ = false;
  bool sameSeen_ = false;
  bool per1Seen_ = false;
};

}  // namespace

bool ContainsAcceptedProductText(std::string_view text) {
  std::string_view list = kAcceptedProductTexts;
  while (!list.empty()) {
    const std::size_t end = list.find(';');
    if (end == std::string_view::npos) break;  // an entry counts only once ended
    const std::string_view entry = list.substr(0, end);
    if (!entry.empty() && text.find(entry) != std::string_view::npos) return true;
    list.remove_prefix(end + 1);
  }
  return false;
}

std::string EscapeName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == ':') {
      out += "<3A>";
    } else if (c == '<') {
      out += "<3C>";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string ReadChoiceName(std::string_view line) {
  std::string_view raw = line.size() > kNameColumn ? line.substr(kNameColumn) : std::string_view{};
  raw = raw.substr(0, raw.find(':'));
  std::string name;
  std::size_t i = 0;
  while (i < raw.size() && name.size() < kMaxNameLength) {
    if (raw[i] == '<') {
      if (auto bytes = HexSubstringAt(raw.substr(i))) {
        name += *bytes;
        i = raw.find('>', i) + 1;
        continue;
      }
    }
    name.push_back(raw[i++]);
  }
  if (name.size() > kMaxNameLength) name.resize(kMaxNameLength);
  return name;
}

std::optional<unsigned char> ControlCharacterIn(std::string_view name) {
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return byte;
  }
  return std::nullopt;
}

SplitResult SplitPpdText(std::string_view text, PrinterDefinitionList& list, PPDToneState& state) {
  SplitResult result;
  SectionParser section(list);
  bool inSection = false;
  bool anchorSeen = false;

  std::size_t pos = 0;
  while (pos < text.size()) {
    // A line runs to its LF, which the CR LF conversion guarantees is the
    // line's end; it is examined whole, whatever its length.
    const std::size_t lf = text.find('\n', pos);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf + 1;
    const std::string_view line = text.substr(pos, end - pos);
    pos = end;

    if (inSection) {
      if (StartsWith(line, kCloseSection)) {
        inSection = false;
      } else {
        section.Line(line);
      }
      continue;
    }
    if (StartsWith(line, kNickName)) {
      std::string_view value =
          line.size() > kNickNameColumn ? line.substr(kNickNameColumn) : std::string_view{};
      value = value.substr(0, std::min(value.find('"'), kMaxNickNameLength));
      state.nickName.assign(value);
      result.nickNameFound = true;
    }
    if (StartsWith(line, kOpenSection)) {
      inSection = true;
      continue;
    }
    if (StartsWith(line, kDefaultFontCourier) || StartsWith(line, kFontInformation)) {
      anchorSeen = true;
    }
    (anchorSeen ? state.tailText : state.headText).append(line);
  }
  result.sectionClosed = !inSection;
  return result;
}

void AppendLookupTable(std::string& out, const ToneCurve& curve) {
  const auto table = TransferTable(curve);
  out += "[";
  out += kCrLf;
  for (int k = 0; k < kTableSize; ++k) {
    out += FormatHundredths(table[k]);
    // Ten entries to a line for the first 250; the last six each take a TAB
    // and the closing bracket follows on the same line.
    if (k < 250 && k % 10 == 9) {
      out += kCrLf;
    } else {
      out += '\t';
    }
  }
  out += "]";
  out += kCrLf;
}

void AppendChoice(std::string& out, const DensityDef& def, int ordinal,
                  const StringSource& strings) {
  out += kChoicePrefix;
  out += std::to_string(ordinal);
  out += '/';
  out += EscapeName(NameOf(def));
  out += ": \"";
  out += kCrLf;
  out += "%% Don't touch this comment";
  out += kCrLf;
  out += kTagSame;
  out += std::to_string(def.allChannels);
  out += kCrLf;
  static constexpr std::string_view kChannelTags[kChannelCount] = {kTagPerC, kTagPerM, kTagPerY,
                                                                   kTagPerK};
  for (int c = 0; c < kChannelCount; ++c) {
    out += kChannelTags[c];
    for (int i = 0; i < kPointCount; ++i) {
      out += std::to_string(def.channels[c].points[i]);
      out += '\t';
    }
    out += std::to_string(def.channels[c].gamma);
    out += kCrLf;
  }
  out += "%% Don't touch this comment";
  out += kCrLf;
  out += strings.Load(sid::kOpenPostScript);
  if (def.allChannels == 1) {
    AppendLookupTable(out, def.channels[kCyan]);
    out += strings.Load(sid::kCloseOneTable);
  } else {
    for (const ToneCurve& channel : def.channels) AppendLookupTable(out, channel);
    out += strings.Load(sid::kCloseFourTables);
  }
  out += "*End";
  out += kCrLf;
}

}  // namespace ppd

std::string BuildSection(const PrinterDefinitionList& list, const StringSource& strings) {
  using namespace ppd;
  std::string out;
  out.reserve(512 + static_cast<std::size_t>(std::max<int>(list.count, 0)) * 8192);
  out += kOpenSection;
  out += strings.Load(sid::kFeatureTitle);
  out += ":  PickOne";
  out += kCrLf;
  out += "*OrderDependency: 200.0 DocumentSetup *VLTone";
  out += kCrLf;
  out += "*DefaultVLTone: None";
  out += kCrLf;
  out += "*VLTone None/";
  out += strings.Load(sid::kNoneChoice);
  out += strings.Load(sid::kNoneInvocation);
  // Ordinals count the definitions written, not the slots.
  int ordinal = 0;
  for (int slot : VisibleSlots(list)) AppendChoice(out, list.slots[slot], ++ordinal, strings);
  out += kCloseSection;
  out += kCrLf;
  return out;
}

}  // namespace tonalis

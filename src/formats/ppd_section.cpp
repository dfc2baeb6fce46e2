#include "formats/ppd_section.h"

#include <cstring>

#include <algorithm>
#include <array>
#include <span>

#include "model/tone_curve.h"
#include "model/validate.h"
#include "model/value_text.h"
#include "formats/ppd_translations.inc"

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
  PrinterDefinitionList& list_;
  PPDToneState& state_;

  SectionParser(PrinterDefinitionList& list, PPDToneState& state) : list_(list), state_(state) {}

  void Line(std::string_view line) {
    if (StartsWith(line, kChoicePrefix)) {
      Choice(line);
    } else if (StartsWith(line, kEnglishPrefix)) {
      EnglishName(line);
    } else if (Translation(line)) {
    } else if (StartsWith(line, kDefaultChoice)) {
      std::string_view value = line.substr(kDefaultChoice.size());
      value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
      state_.defaultChoice.assign(value.substr(0, value.find_first_of(" \t\r\n")));
    } else {
      Comment(line);
    }
  }

 private:
  // *ll.Translation VLTone/TITLE: "" and *ll.VLTone None/TEXT: "" lines:
  // the option's texts in language ll.
  bool Translation(std::string_view line) {
    constexpr std::string_view kTitle = ".Translation VLTone/", kNone = ".VLTone None/";
    if (!StartsWith(line, "*")) return false;
    const std::size_t dot = line.find('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view rest = line.substr(dot);
    const bool title = StartsWith(rest, kTitle);
    if (!title && !StartsWith(rest, kNone)) return false;
    const std::string language(line.substr(1, dot - 1));
    std::string_view text = rest.substr((title ? kTitle : kNone).size());
    text = text.substr(0, text.find(':'));
    if (!IsLanguageCode(language) || !IsTranslationText(text)) return true;
    auto& all = state_.translations;
    auto it = std::find_if(all.begin(), all.end(),
                           [&](const OptionTranslation& t) { return t.language == language; });
    if (it == all.end()) it = all.insert(all.end(), OptionTranslation{language, {}, {}});
    (title ? it->title : it->none).assign(text);
    return true;
  }

  void Choice(std::string_view line) {
    entryOpen_ = sameSeen_ = per1Seen_ = false;
    std::string name = ReadChoiceName(line);
    // The record ends its name at a zero byte, and an empty name marks a free
    // slot: a choice without a usable name is skipped like a seventh one.
    name.resize(std::min(name.size(), name.find('\0')));
    const char digit = line.size() > kChoicePrefix.size() ? line[kChoicePrefix.size()] : 0;
    const bool numbered = digit >= '1' && digit <= '0' + kMaxChoiceKeyword &&
                          line.size() > kNameColumn - 1 && line[kNameColumn - 1] == '/';
    state_.choices.push_back({numbered ? digit - '0' : 0, name});
    if (list_.count >= PrinterDefinitionList::kCapacity) return;  // the seventh and later
    if (name.empty()) return;
    if (numbered) slotOf_[digit - '0'] = list_.count;
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

  // "*en.VLTone GummaN/name" of a file whose choices' own texts had to be
  // ASCII: the name as it was, in UTF-8, for the choice read last as GummaN.
  void EnglishName(std::string_view line) {
    // Without "en" the line has the columns of a choice line.
    const std::string_view rest = line.substr(kEnglishPrefix.size() - kChoicePrefix.size());
    const char digit = rest.size() > kChoicePrefix.size() ? rest[kChoicePrefix.size()] : 0;
    if (digit < '1' || digit > '0' + kMaxChoiceKeyword) return;
    const int keyword = digit - '0';
    std::string name = Utf8ToLatin1(ReadChoiceName(rest, 4 * kMaxNameLength));
    name.resize(std::min({name.size(), name.find('\0'), kMaxNameLength}));
    if (name.empty()) return;
    for (auto c = state_.choices.rbegin(); c != state_.choices.rend(); ++c) {
      if (c->keyword == keyword) {
        c->name = name;
        break;
      }
    }
    if (slotOf_[keyword] >= 0) SetName(list_.slots[slotOf_[keyword]], name);
  }

  DensityDef& Current() { return list_.slots[list_.count - 1]; }
  ToneCurve& Cyan() { return Current().channels[kCyan]; }
  void CopyCyanIfAllChannels() {
    DensityDef& def = Current();
    if (def.allChannels != 1) return;
    def.channels[kMagenta] = def.channels[kYellow] = def.channels[kBlack] = def.channels[kCyan];
  }

  std::array<int, kMaxChoiceKeyword + 1> slotOf_ = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
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

std::string ReadChoiceName(std::string_view line, std::size_t maxBytes) {
  std::string_view raw = line.size() > kNameColumn ? line.substr(kNameColumn) : std::string_view{};
  raw = raw.substr(0, raw.find(':'));
  std::string name;
  std::size_t i = 0;
  while (i < raw.size() && name.size() < maxBytes) {
    if (raw[i] == '<') {
      if (auto bytes = HexSubstringAt(raw.substr(i))) {
        name += *bytes;
        i = raw.find('>', i) + 1;
        continue;
      }
    }
    name.push_back(raw[i++]);
  }
  if (name.size() > maxBytes) name.resize(maxBytes);
  return name;
}

std::optional<unsigned char> ControlCharacterIn(std::string_view name) {
  return ForbiddenByteIn(name);
}

std::string_view FirstLineBreak(std::string_view text) {
  const std::size_t at = text.find_first_of("\r\n");
  if (at == std::string_view::npos || text[at] == '\n') return "\n";
  return at + 1 < text.size() && text[at + 1] == '\n' ? kCrLf : "\r";
}

bool QuoteOpenAfter(std::string_view line, bool openBefore) {
  if (openBefore) return line.find('"') == std::string_view::npos;
  if (!StartsWith(line, "*") || StartsWith(line, "*%")) return false;
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  const std::size_t value = line.find_first_not_of(" \t", colon + 1);
  if (value == std::string_view::npos || line[value] != '"') return false;
  return line.find('"', value + 1) == std::string_view::npos;
}

namespace {

// The end of the line that starts at `pos`: after its CR LF, LF or lone CR,
// or the end of the text.
std::size_t LineEnd(std::string_view text, std::size_t pos) {
  const char* const begin = text.data() + pos;
  const std::size_t rest = text.size() - pos;
  const void* lf = std::memchr(begin, '\n', rest);
  const std::size_t toLf = lf ? static_cast<const char*>(lf) - begin : rest;
  if (const void* cr = std::memchr(begin, '\r', toLf)) {
    const std::size_t at = pos + (static_cast<const char*>(cr) - begin);
    return at + (at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1);
  }
  return lf ? pos + toLf + 1 : text.size();
}

}  // namespace

SplitResult SplitPpdText(std::string_view text, PrinterDefinitionList& list, PPDToneState& state) {
  SplitResult result;
  SectionParser section(list, state);
  bool inSection = false;
  bool inQuote = false;
  bool anchorSeen = false;
  state.lineBreak = FirstLineBreak(text);

  // Head and tail are taken over in runs of whole lines, not line by line:
  // a run ends where the section or the tail begins.
  state.headText.clear();
  state.tailText.clear();
  std::size_t runStart = 0;
  bool runInTail = false;
  auto endRun = [&](std::size_t at) {
    (runInTail ? state.tailText : state.headText).append(text.substr(runStart, at - runStart));
    runStart = at;
  };

  std::size_t pos = 0;
  while (pos < text.size()) {
    // A line runs to its CR LF, LF or lone CR; it is examined whole,
    // whatever its length.
    const std::size_t end = LineEnd(text, pos);
    const std::string_view line = text.substr(pos, end - pos);
    const std::size_t start = pos;
    pos = end;

    if (inSection) {
      if (StartsWith(line, kCloseSection)) {
        inSection = false;
      } else {
        section.Line(line);
      }
      runStart = end;
      continue;
    }
    if (inQuote) {
      inQuote = QuoteOpenAfter(line, true);
    } else {
      if (StartsWith(line, kOpenSection)) {
        endRun(start);
        runStart = end;
        inSection = true;
        continue;
      }
      if (StartsWith(line, kNickName)) {
        std::string_view value =
            line.size() > kNickNameColumn ? line.substr(kNickNameColumn) : std::string_view{};
        value = value.substr(0, std::min(value.find('"'), kMaxNickNameLength));
        state.nickName.assign(value);
        result.nickNameFound = true;
      }
      if (StartsWith(line, kLanguages)) {
        std::string_view value = line.substr(kLanguages.size());
        const std::size_t open = value.find('"');
        value = open == std::string_view::npos ? std::string_view{} : value.substr(open + 1);
        value = value.substr(0, value.find('"'));
        state.languages.clear();
        for (std::size_t i = 0; i < value.size();) {
          const std::size_t word = value.find_first_not_of(" \t", i);
          if (word == std::string_view::npos) break;
          const std::size_t stop = std::min(value.find_first_of(" \t", word), value.size());
          state.languages.emplace_back(value.substr(word, stop - word));
          i = stop;
        }
      }
      if (!anchorSeen && (StartsWith(line, kDefaultFontCourier) || StartsWith(line, kFontInformation))) {
        endRun(start);
        anchorSeen = runInTail = true;
      }
      inQuote = QuoteOpenAfter(line, false);
    }
  }
  if (!inSection)
    endRun(text.size());
  result.sectionClosed = !inSection;
  state.endsInQuote = inQuote;
  return result;
}

std::vector<int> AssignKeywords(const std::vector<std::string>& names,
                                const std::vector<ChoiceRead>& read) {
  std::vector<int> keywords(names.size(), 0);
  std::array<bool, kMaxChoiceKeyword + 1> used{}, inFile{};
  for (const ChoiceRead& c : read) inFile[c.keyword] = true;
  // Names that were in the file keep their keyword; a name read twice gives
  // its keywords to its copies in order.
  std::vector<bool> taken(read.size(), false);
  for (std::size_t i = 0; i < names.size(); ++i) {
    for (std::size_t r = 0; r < read.size(); ++r) {
      if (taken[r] || read[r].keyword == 0 || used[read[r].keyword] || read[r].name != names[i])
        continue;
      taken[r] = true;
      keywords[i] = read[r].keyword;
      used[read[r].keyword] = true;
      break;
    }
  }
  for (int& k : keywords) {
    if (k != 0) continue;
    for (const bool avoidFile : {true, false}) {
      for (int n = 1; n <= kMaxChoiceKeyword && k == 0; ++n) {
        if (!used[n] && !(avoidFile && inFile[n])) k = n;
      }
      if (k != 0) break;
    }
    used[k] = true;
  }
  return keywords;
}

bool IsLanguageCode(std::string_view language) {
  auto all = [](std::string_view s, auto test) {
    return std::all_of(s.begin(), s.end(), [&](char c) { return test(static_cast<unsigned char>(c)); });
  };
  const std::size_t bar = std::min(language.find('_'), language.size());
  const std::string_view base = language.substr(0, bar);
  const std::string_view region = language.substr(std::min(bar + 1, language.size()));
  return base.size() >= 2 && base.size() <= 3 && all(base, ::islower) &&
         (bar == language.size() || (region.size() >= 2 && region.size() <= 4 && all(region, ::isalnum)));
}

bool IsTranslationText(std::string_view text) {
  if (text.empty() || text.size() > 80) return false;
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || c == ':' || c == '"' || c == '<' || c == '>';
  });
}

OptionTexts OptionTextsFor(std::string_view language) {
  const std::string_view base = language.substr(0, language.find('_'));
  for (const std::string_view wanted : {language, base}) {
    for (const TranslatedOptionTexts& t : kTranslatedOptionTexts) {
      if (!wanted.empty() && wanted == t.language) return {std::string(t.title), std::string(t.none)};
    }
  }
  return {DefaultStrings().Load(sid::kFeatureTitle), DefaultStrings().Load(sid::kNoneChoice)};
}

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      out.push_back(utf8[i]);
    } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size() &&
               (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
      out.push_back(static_cast<char>(((byte & 0x03) << 6) |
                                      (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
    } else if (byte >= 0xC0) {
      // A character beyond Latin-1: one '?' for its whole sequence.
      out.push_back('?');
      while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
    } else {
      out.push_back('?');
    }
  }
  return out;
}

std::string AsciiName(std::string_view latin1) {
  // Latin-1 letters 0xC0 to 0xFF without their accents.
  static constexpr const char* kLetters[64] = {
      "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",
      "D", "N", "O", "O", "O", "O", "O", "x", "O", "U", "U", "U", "U", "Y", "Th", "ss",
      "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",
      "d", "n", "o", "o", "o", "o", "o", "/", "o", "u", "u", "u", "u", "y", "th", "y"};
  std::string out;
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.push_back(c);
    } else if (byte >= 0xC0) {
      out += kLetters[byte - 0xC0];
    } else {
      out.push_back(byte == 0xA0 ? ' ' : '?');
    }
  }
  return out;
}

namespace {

// A piece of the program's own PostScript (never a language module's), with
// its CR LF line breaks made `lineBreak`.
std::string PostScript(int id, std::string_view lineBreak) {
  std::string text = DefaultStrings().Load(id);
  if (lineBreak == kCrLf) return text;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += lineBreak;
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

void AppendLookupTable(std::string& out, const ToneCurve& curve, std::string_view lineBreak) {
  const auto table = TransferTable(curve);
  out += "[";
  out += lineBreak;
  for (int k = 0; k < kTableSize; ++k) {
    out += FormatHundredths(table[k]);
    // Ten entries to a line for the first 250; the last six each take a TAB
    // and the closing bracket follows on the same line.
    if (k < 250 && k % 10 == 9) {
      out += lineBreak;
    } else {
      out += '\t';
    }
  }
  out += "]";
  out += lineBreak;
}

void AppendChoice(std::string& out, const DensityDef& def, int keyword,
                  std::string_view lineBreak, bool asciiText) {
  auto line = [&](std::string_view text) {
    out += text;
    out += lineBreak;
  };
  out += kChoicePrefix;
  out += std::to_string(keyword);
  out += '/';
  out += EscapeName(asciiText ? AsciiName(NameOf(def)) : std::string(NameOf(def)));
  line(": \"");
  line("%% Don't touch this comment");
  out += kTagSame;
  line(std::to_string(def.allChannels));
  static constexpr std::string_view kChannelTags[kChannelCount] = {kTagPerC, kTagPerM, kTagPerY,
                                                                   kTagPerK};
  for (int c = 0; c < kChannelCount; ++c) {
    out += kChannelTags[c];
    for (int i = 0; i < kPointCount; ++i) {
      out += std::to_string(def.channels[c].points[i]);
      out += '\t';
    }
    line(std::to_string(def.channels[c].gamma));
  }
  line("%% Don't touch this comment");
  out += PostScript(sid::kOpenPostScript, lineBreak);
  if (def.allChannels == 1) {
    AppendLookupTable(out, def.channels[kCyan], lineBreak);
    out += PostScript(sid::kCloseOneTable, lineBreak);
  } else {
    for (const ToneCurve& channel : def.channels) AppendLookupTable(out, channel, lineBreak);
    out += PostScript(sid::kCloseFourTables, lineBreak);
  }
  line("*End");
}

}  // namespace ppd

std::string BuildSection(const PrinterDefinitionList& list) {
  return BuildSection(list, ppd::SectionLayout{});
}

std::string BuildSection(const PrinterDefinitionList& list, const ppd::SectionLayout& layout) {
  using namespace ppd;
  const std::string_view br = layout.lineBreak;
  auto line = [&](std::string& out, std::string_view text) {
    out += text;
    out += br;
  };
  const std::vector<int> slots = VisibleSlots(list);
  std::string out;
  out.reserve(1024 + slots.size() * 8192);

  // The texts of the option itself are the program's own, whoever applies:
  // every user of a shared queue reads the same file. Other languages get
  // translation lines.
  const OptionTexts english = OptionTextsFor("");
  line(out, std::string(kOpenSection) + english.title + ":  PickOne");
  line(out, "*OrderDependency: 200.0 DocumentSetup *VLTone");
  auto keywordAt = [&](std::size_t i) {
    return i < layout.keywords.size() ? layout.keywords[i] : static_cast<int>(i) + 1;
  };
  const int chosen = layout.defaultKeyword;
  line(out, "*DefaultVLTone: " +
                (chosen == 0 ? std::string("None") : "Gumma" + std::to_string(chosen)));
  out += "*VLTone None/" + english.none;
  out += PostScript(sid::kNoneInvocation, br);
  // A PPD in several languages must keep the choices' own texts ASCII (the
  // translations are UTF-8): the names then go there without their
  // accents, and exactly into English translation lines, from which they
  // are read back.
  const bool multilingual = !layout.languages.empty();
  std::vector<std::string> languages = layout.languages;
  if (multilingual && std::find(languages.begin(), languages.end(), "en") == languages.end())
    languages.emplace_back("en");
  for (std::size_t i = 0; i < slots.size(); ++i)
    AppendChoice(out, list.slots[slots[i]], keywordAt(i), br, multilingual);
  for (const std::string& language : languages) {
    OptionTexts texts = OptionTextsFor(language);
    for (const OptionTranslation& t : layout.texts) {
      if (t.language != language) continue;
      texts = {t.title, t.none};
      break;
    }
    line(out, "*" + language + ".Translation VLTone/" + texts.title + ": \"\"");
    line(out, "*" + language + ".VLTone None/" + texts.none + ": \"\"");
    for (std::size_t i = 0; i < slots.size(); ++i) {
      line(out, "*" + language + ".VLTone Gumma" + std::to_string(keywordAt(i)) + "/" +
                    Latin1ToUtf8(EscapeName(NameOf(list.slots[slots[i]]))) + ": \"\"");
    }
  }
  line(out, kCloseSection);
  return out;
}

WrittenPpd ComposePpd(const PPDToneState& state, const PrinterDefinitionList& list,
                      const std::optional<OptionTranslation>& user) {
  using namespace ppd;
  WrittenPpd written;
  SectionLayout layout;
  layout.lineBreak = state.lineBreak;
  layout.languages = state.languages;
  // Besides the file's own languages: the writer's, and those the section
  // had translation lines for, so that no writer drops another's.
  if (user && IsLanguageCode(user->language) && user->language != "en" &&
      IsTranslationText(user->title) && IsTranslationText(user->none))
    layout.texts.push_back(*user);
  for (const OptionTranslation& t : state.translations) {
    if (t.language != "en" && !t.title.empty() && !t.none.empty()) layout.texts.push_back(t);
  }
  auto add = [&](const std::string& language) {
    if (std::find(layout.languages.begin(), layout.languages.end(), language) == layout.languages.end())
      layout.languages.push_back(language);
  };
  for (const OptionTranslation& t : layout.texts) add(t.language);
  for (const OptionTranslation& t : state.translations) add(t.language);
  std::vector<std::string> names;
  for (int slot : VisibleSlots(list)) names.emplace_back(NameOf(list.slots[slot]));
  layout.keywords = AssignKeywords(names, state.choices);

  written.choices.push_back("None");
  for (const int k : layout.keywords) written.choices.push_back("Gumma" + std::to_string(k));
  // The default stays on its definition, which kept its keyword.
  for (const int k : layout.keywords) {
    if (state.defaultChoice == "Gumma" + std::to_string(k)) layout.defaultKeyword = k;
  }
  // Where each keyword of the file went: a name that stays keeps its
  // keyword, so a keyword is either still there or gone.
  for (const ChoiceRead& c : state.choices) {
    if (c.keyword == 0) continue;
    const std::string keyword = "Gumma" + std::to_string(c.keyword);
    bool kept = false;
    for (std::size_t i = 0; i < names.size(); ++i)
      kept |= layout.keywords[i] == c.keyword && names[i] == c.name;
    written.renamed.emplace_back(keyword, kept ? keyword : std::string());
  }

  const std::string section = BuildSection(list, layout);
  written.bytes.reserve(state.headText.size() + 2 + section.size() + state.tailText.size());
  written.bytes += state.headText;
  // Only the last line of a file can lack its line break, and the head text
  // holds it when the file has no font anchor: end it, or the section's
  // first line would be glued to it and no longer recognised.
  if (!state.headText.empty() && state.headText.back() != '\n' && state.headText.back() != '\r')
    written.bytes += state.lineBreak;
  written.bytes += section;
  written.bytes += state.tailText;
  return written;
}

}  // namespace tonalis

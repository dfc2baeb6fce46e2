// The density-control section of a PPD file: its lines, how a reader
// recognises them, and how a definition's name is carried in the option's
// translation string.
//
// The section is one PickOne feature, *VLTone, with a None choice and one
// choice per definition (Gumma1 ... Gumma6). Each choice holds comment lines
// from which the definition is rebuilt, and PostScript that installs transfer
// lookup tables. Every line written ends with CR LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/definition_table.h"
#include "model/density_def.h"
#include "model/string_table.h"
#include "ppd/ppd_tone.h"

namespace tonalis::ppd {

inline constexpr std::string_view kCrLf = "\r\n";

// Lines matched at their start.
inline constexpr std::string_view kOpenSection = "*OpenUI *VLTone/";
inline constexpr std::string_view kCloseSection = "*CloseUI: *VLTone";
inline constexpr std::string_view kChoicePrefix = "*VLTone Gumma";
inline constexpr std::string_view kFontInformation = "*% Font Information";
inline constexpr std::string_view kDefaultFontCourier = "*DefaultFont: Courier";
inline constexpr std::string_view kNickName = "*NickName: ";

// The choice's name starts after "*VLTone Gumma", one ordinal and "/".
inline constexpr std::size_t kNameColumn = kChoicePrefix.size() + 2;
// The NickName value starts after "*NickName: " and its opening quote.
inline constexpr std::size_t kNickNameColumn = kNickName.size() + 1;
inline constexpr std::size_t kMaxNickNameLength = 1024;

// Comment tags, matched anywhere in a line; all are 8 characters long and the
// numbers follow directly.
inline constexpr std::string_view kTagPer1 = "%% Per1:";
inline constexpr std::string_view kTagPer2 = "%% Per2:";
inline constexpr std::string_view kTagSame = "%% Same:";
inline constexpr std::string_view kTagPerC = "%% PerC:";
inline constexpr std::string_view kTagPerM = "%% PerM:";
inline constexpr std::string_view kTagPerY = "%% PerY:";
inline constexpr std::string_view kTagPerK = "%% PerK:";

// The keyword that marks a supported PPD, and the other accepted product
// texts, each ended by ';'.
inline constexpr std::string_view kSupportKeyword = "*QRHTUtility";
inline constexpr std::string_view kAcceptedProductTexts = "OEM XXX;";

// Whether `text` contains one of kAcceptedProductTexts.
bool ContainsAcceptedProductText(std::string_view text);

// --- Names in the translation string ---
//
// A translation string ends at the first ':', and '<' opens a hexadecimal
// substring, so the writer carries these two bytes as <3A> and <3C>. All other
// bytes are written as they are, except that names holding control
// characters are refused before anything is written (see ControlCharacterIn).

std::string EscapeName(std::string_view name);

// The name of a choice line: the text from kNameColumn up to the first raw
// ':' (or the end of the line, line break included, when there is none), with
// its hexadecimal substrings decoded, cut to kMaxNameLength bytes.
//
// A hexadecimal substring is '<', one or more pairs of hex digits (either
// case), '>'. Anything else that starts with '<' -- no closing '>', an odd
// number of digits, a non-hex character, or "<>" -- is not a hex substring
// and is kept literally, so a name from a hand-edited file is never lost.
std::string ReadChoiceName(std::string_view line);

// The first byte of `name` below 0x20 or equal to 0x7F, if any. Such a byte
// would end the line early or inject lines into the file.
std::optional<unsigned char> ControlCharacterIn(std::string_view name);

// --- Reading ---

struct SplitResult {
  bool sectionClosed = true;  // false when the file ends inside a section
  bool nickNameFound = false;
};

// Splits CR LF text into head and tail around the font anchor, cutting out
// every density-control section, and rebuilds the definitions of the
// sections into `list` (at most its capacity, in section order). Appends to
// state.headText and state.tailText and sets state.nickName when the text
// holds a NickName line.
//
// Zero bytes are ordinary bytes: they neither end a line nor the text.
SplitResult SplitPpdText(std::string_view text, PrinterDefinitionList& list, PPDToneState& state);

// --- Writing ---

// Appends one choice block (ordinal 1..6) for `def`.
void AppendChoice(std::string& out, const DensityDef& def, int ordinal,
                  const StringSource& strings);

// Appends the 256-entry lookup table of one channel: "[", 25 lines of ten
// entries, six entries each followed by TAB, "]".
void AppendLookupTable(std::string& out, const ToneCurve& curve);

}  // namespace tonalis::ppd

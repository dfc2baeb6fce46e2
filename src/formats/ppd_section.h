// The density-control section of a PPD file: its lines, how a reader
// recognises them, and how a definition's name is carried in the option's
// translation string.
//
// The section is one PickOne feature, *VLTone, with a None choice and one
// choice per definition (Gumma1 ... Gumma9). Each choice holds comment lines
// from which the definition is rebuilt, and PostScript that installs transfer
// lookup tables. The section is written with the file's own line break; the
// rest of the file is never touched.
#pragma once

#include <optional>
#include <vector>
#include <string>
#include <string_view>

#include "model/definition_table.h"
#include "model/density_def.h"
#include "model/string_table.h"
#include "formats/ppd_tone.h"

namespace tonalis::ppd {

inline constexpr std::string_view kCrLf = "\r\n";

// Lines matched at their start.
inline constexpr std::string_view kOpenSection = "*OpenUI *VLTone/";
inline constexpr std::string_view kCloseSection = "*CloseUI: *VLTone";
inline constexpr std::string_view kChoicePrefix = "*VLTone Gumma";
inline constexpr std::string_view kFontInformation = "*% Font Information";
inline constexpr std::string_view kDefaultFontCourier = "*DefaultFont: Courier";
inline constexpr std::string_view kNickName = "*NickName: ";
inline constexpr std::string_view kDefaultChoice = "*DefaultVLTone:";
inline constexpr std::string_view kLanguages = "*cupsLanguages:";

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

// The first bytes of every PPD file.
inline constexpr std::string_view kPpdHeader = "*PPD-Adobe:";

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
std::string ReadChoiceName(std::string_view line, std::size_t maxBytes = kMaxNameLength);

// The English translation line of a choice ("*en.VLTone Gumma1/..."), which
// carries the exact name in a PPD whose choices' own texts are ASCII.
inline constexpr std::string_view kEnglishPrefix = "*en.VLTone Gumma";

// The first control character of `name` (the one rule of model/validate.h:
// C0, DEL and C1), if any. Such a byte would end the line early, inject
// lines into the file or steer the terminal of whoever reads it.
std::optional<unsigned char> ControlCharacterIn(std::string_view name);

// --- Reading ---

struct SplitResult {
  bool sectionClosed = true;  // false when the file ends inside a section
  bool nickNameFound = false;
};

// The line break that ends the first line of `text` (CR LF, LF or CR); LF
// for a text without one.
std::string_view FirstLineBreak(std::string_view text);

// Whether a quoted value is still open after `line`, given whether one was
// open before it. A value opens with the first '"' after the colon of a
// keyword line ("*Key option/text: \"...") and ends at the next '"', which
// may stand lines later.
bool QuoteOpenAfter(std::string_view line, bool openBefore);

// Splits a PPD's text into head and tail around the font anchor, cutting out
// every density-control section, and rebuilds the definitions of the
// sections into `list` (at most its capacity, in section order). Lines end at
// CR LF, LF or a lone CR, and keep their own breaks. Lines inside a vendor's
// quoted value are text, never markers: neither a section, an anchor nor a
// NickName. Appends to state.headText and state.tailText and fills the other
// fields of `state` from what the text holds (NickName, the choices read,
// the default choice, the languages, the line break).
//
// Zero bytes are ordinary bytes: they neither end a line nor the text.
SplitResult SplitPpdText(std::string_view text, PrinterDefinitionList& list, PPDToneState& state);

// --- Writing ---

// The highest choice keyword, Gumma9: the number is one digit.
inline constexpr int kMaxChoiceKeyword = 9;

// The keyword numbers of the definitions `names` (in writing order) on a PPD
// whose last read found `read`: a name that was there keeps its keyword; a
// new one gets the lowest number that is neither in use nor was in the file,
// or when none is left the lowest not in use.
std::vector<int> AssignKeywords(const std::vector<std::string>& names,
                                const std::vector<ChoiceRead>& read);

// How the writer lays out the section for one file.
struct SectionLayout {
  std::string lineBreak = std::string(kCrLf);
  std::vector<int> keywords;           // per definition written; empty: 1, 2, ...
  int defaultKeyword = 0;              // the default choice; 0 is None
  std::vector<std::string> languages;  // translations to write (*ll.Translation ...)
  // The option's texts for those languages, first match wins: the
  // writer's own, then what the file held (so that a writer in another
  // language keeps them). A language found in neither gets the program's
  // translation, else the English texts.
  std::vector<OptionTranslation> texts;
};

// Appends one choice block for `def` with keyword number `keyword`; with
// `asciiText` the choice's text is the name without accents.
void AppendChoice(std::string& out, const DensityDef& def, int keyword,
                  std::string_view lineBreak, bool asciiText = false);

// Appends the 256-entry lookup table of one channel: "[", 25 lines of ten
// entries, six entries each followed by TAB, "]".
void AppendLookupTable(std::string& out, const ToneCurve& curve, std::string_view lineBreak);

// The option's title and the None choice's text in `language` (a
// *cupsLanguages entry such as "de" or "pt_BR"): the translation the
// program has for it, otherwise the English texts.
struct OptionTexts {
  std::string title;
  std::string none;
};
OptionTexts OptionTextsFor(std::string_view language);

// Whether `language` has the form of a *cupsLanguages entry ("de", "pt_BR").
bool IsLanguageCode(std::string_view language);
// Whether `text` can stand as a translation string: non-empty, at most 80
// bytes, without control characters and without the ':', '"', '<' and '>'
// that would end or escape it.
bool IsTranslationText(std::string_view text);

// Latin-1 bytes as UTF-8, the encoding of a PPD's translated texts, and
// back (a character beyond Latin-1 becomes '?').
std::string Latin1ToUtf8(std::string_view latin1);
std::string Utf8ToLatin1(std::string_view utf8);

// A Latin-1 name in ASCII: letters without their accents, other bytes '?'.
std::string AsciiName(std::string_view latin1);

}  // namespace tonalis::ppd

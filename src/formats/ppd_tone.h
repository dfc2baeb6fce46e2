// Reading and writing the density-control section of a PPD file.
//
// A PPD is read whole, never rewritten by reading, and split into the text
// before the section's place (head), the section, and the text from the font
// anchor on (tail). The definitions of the section go to a
// PrinterDefinitionList. Writing puts head, a freshly generated section and
// tail back together, checks the result with CUPS's own PPD parser and only
// then replaces the file.
//
// Only a successful read yields a LoadedPpd, and only a LoadedPpd can be
// written: a failed or refused read leaves nothing that could be written back.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/definition_table.h"
#include "model/string_table.h"
#include "platform/interaction.h"
#include "formats/ppd_target.h"

namespace tonalis {

namespace ppd {
struct SectionLayout;
}

// A choice of the density-control option as the file held it.
struct ChoiceRead {
  int keyword = 0;   // N of GummaN (1 to 9); 0 when the keyword is not of that form
  std::string name;  // as the definition list holds it
  bool operator==(const ChoiceRead&) const = default;
};

// The PPD last read, split for rewriting.
// The option's title and None text in one language, as a section's
// translation lines carry them (UTF-8).
struct OptionTranslation {
  std::string language;  // "de", "pt_BR"
  std::string title;
  std::string none;
  bool operator==(const OptionTranslation&) const = default;
};

struct PPDToneState {
  std::string ppdPath;    // where the file came from and where it is written back
  std::string nickName;   // the *NickName value, at most 1024 bytes
  std::string headText;   // the file's bytes, its own line endings
  std::string tailText;
  std::string lineBreak = "\n";         // the break that ends the file's first line
  std::vector<ChoiceRead> choices;      // every choice of the sections, in file order
  std::string defaultChoice;            // *DefaultVLTone of the sections ("None", "Gumma2")
  std::vector<std::string> languages;   // *cupsLanguages of the file
  std::vector<OptionTranslation> translations;  // the section's, in file order
  bool endsInQuote = false;             // the file ends inside a quoted value
};

// The state of a successful read. Only GetPPDToneInfo makes one.
class LoadedPpd {
 public:
  const PPDToneState& state() const { return state_; }
  const PpdTarget& target() const { return *target_; }
  const std::shared_ptr<PpdTarget>& targetPointer() const { return target_; }
  // The whole PPD as it was read, to tell whether someone changed it since.
  const std::string& bytesRead() const { return bytes_; }

 private:
  friend struct PpdReaderAccess;
  LoadedPpd(std::shared_ptr<PpdTarget> target, PPDToneState state, std::string bytes)
      : target_(std::move(target)), state_(std::move(state)), bytes_(std::move(bytes)) {}
  std::shared_ptr<PpdTarget> target_;
  PPDToneState state_;
  std::string bytes_;
};

struct PpdServices {
  UserInteraction& ui;
  const StringSource& strings = DefaultStrings();
  // The language the user reads `strings` in ("de"; empty: the program's
  // own). A written section carries the option's texts of `strings` in
  // translation lines for it, so that every user of the file sees the same
  // option, titled in their own language where the file has it.
  std::string language{};
};

// Result codes of GetPPDToneInfo.
inline constexpr int kPpdLoaded = 1;
inline constexpr int kPpdFailed = 0;        // already reported to the user
inline constexpr int kPpdUnsupported = -1;  // nothing reported; caller shows string 21

struct PpdReadOutcome {
  int result = kPpdFailed;
  std::optional<LoadedPpd> loaded;  // set exactly when result == kPpdLoaded
  std::string nickName;             // set whenever a NickName line was read
  std::string unsupportedReason;    // why, when result == kPpdUnsupported
};

// Reads `target` into `list` (emptied first). Asks the read-only question
// and reports failures through `services.ui`. The target is never changed.
//
// A target that is still read-only after the question cannot be loaded
// (string 22), since a loaded PPD may be written back. Zero bytes in the file
// are ordinary bytes: they end neither a line nor the text that the supported
// test searches. A choice whose name comes out empty is skipped.
PpdReadOutcome GetPPDToneInfo(std::shared_ptr<PpdTarget> target, PrinterDefinitionList& list,
                              const PpdServices& services);

// Writes `list` into the PPD that `ppd` was read from. Reports success
// (string 30) or failure (string 29, with the system's reason) through the
// interaction; returns whether the file was written. The file is replaced as
// a whole or not at all, and only after CUPS's PPD parser has read the new
// text and found every option of the old one and the density-control option
// with exactly the choices written. A list holding a name with a control
// character is refused before anything is touched.
//
// Definitions keep their choice keyword from the file (matched by name), the
// default choice stays when its definition does, and a queue's saved default
// of the user follows its definition the same way.
bool SetPPDToneInfo(const LoadedPpd& ppd, const PrinterDefinitionList& list,
                    const PpdServices& services);
// The same with `defaultChoice` ("Gumma2", or "None") written as the
// option's default choice (*DefaultVLTone) instead of the file's, as
// `lpadmin -p QUEUE -o VLTone=Gumma2` sets it. With `keywords`, the
// definitions keep the keywords of those choices instead of the file's (a
// restore onto a PPD that lost its section).
bool SetPPDToneInfo(const LoadedPpd& ppd, const PrinterDefinitionList& list,
                    const PpdServices& services, const std::string& defaultChoice,
                    const std::vector<ChoiceRead>* keywords = nullptr);

// Whether the file's text contains `keyword`. Reports string 22 when the file
// cannot be opened.
bool HasPPDKeyword(const PpdTarget& target, std::string_view keyword, const PpdServices& services);

// --- Pure pieces, used by the routines above and by tests ---

// Whether the text is a PPD at all: it starts with kPpdHeader, as the
// scheduler requires (no byte-order mark, nothing before it).
bool IsPpdText(std::string_view text);
// The supported-product test on a file's text: a PPD that carries the
// supported-product keyword or an accepted product text anywhere.
bool IsSupportedPpdText(std::string_view text);
// Why `text` fails that test, as the reason of string 21.
std::string UnsupportedPpdReason(std::string_view text);

// The density-control section for `list`, byte for byte, with CR LF line
// breaks and keywords Gumma1, 2, ... unless `layout` says otherwise.
std::string BuildSection(const PrinterDefinitionList& list);
std::string BuildSection(const PrinterDefinitionList& list, const ppd::SectionLayout& layout);

// The section that writing `list` into `state`'s file produces, and the
// whole new file.
struct WrittenPpd {
  std::string bytes;
  std::vector<std::string> choices;              // "None", then the keywords in order
  std::vector<std::pair<std::string, std::string>> renamed;  // old keyword -> new ("" gone)
};
// `user`: the option's texts in the writer's language, when it has one.
WrittenPpd ComposePpd(const PPDToneState& state, const PrinterDefinitionList& list,
                      const std::optional<OptionTranslation>& user = std::nullopt);

}  // namespace tonalis

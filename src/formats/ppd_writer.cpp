// Writing a PPD: head text, a freshly generated density-control section and
// tail text, checked by CUPS's parser, replacing the file as a whole.

#include <cstdio>

#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"
#include "formats/ppd_verify.h"

namespace tonalis {

namespace {

// The name as the user can read it in a message: C0, DEL and C1 controls
// (a raw 0x9B starts an escape sequence on many terminals) as \xNN.
std::string Printable(std::string_view name) {
  std::string out;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F) || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Why the list cannot be written, or empty when it can: a name with a
// control character would end its line early or add lines to the file.
std::string UnwritableNameReason(const PrinterDefinitionList& list) {
  int position = 0;
  for (int slot : VisibleSlots(list)) {
    ++position;
    const std::string_view name = NameOf(list.slots[slot]);
    if (auto byte = ppd::ControlCharacterIn(name)) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", *byte);
      return "Definition " + std::to_string(position) + ", \"" + Printable(name) +
             "\": its name holds the control character " + code +
             ", which cannot be written into a PPD file. Rename it; nothing was written.";
    }
  }
  return {};
}

bool WritePpd(const PpdTarget& target, const PPDToneState& state,
              const PrinterDefinitionList& list, const PpdServices& services) {
  const std::string& where = state.ppdPath;

  auto failed = [&](std::string detail) {
    Message m = StringMessage(services.strings, sid::kPpdWriteFailed);
    m.detail = std::move(detail);
    m.subject = where;
    services.ui.Show(m);
    return false;
  };

  // Checked before anything else: a refused list changes nothing on disk,
  // not even the file's permissions.
  if (std::string reason = UnwritableNameReason(list); !reason.empty()) return failed(reason);

  if (target.IsReadOnly()) {
    Message question = StringMessage(services.strings, sid::kPpdReadOnly, MessageKind::Proceed);
    question.question = Question::MakeWritable;
    question.subject = where;
    // On Cancel the file stays read-only and the replacement below is refused.
    if (services.ui.Ask(question)) {
      if (const int error = target.MakeWritable()) return failed(SystemReason(error));
    }
  }

  // A section at the end of a file whose last quoted value never ends would
  // be part of that value: no reader would find it.
  if (state.tailText.empty() && state.endsInQuote)
    return failed("The file ends inside a quoted value, so a density-control section at its "
                  "end would not be read; the PPD was left as it was.");

  std::optional<OptionTranslation> user;
  if (!services.language.empty())
    user = OptionTranslation{services.language, services.strings.Load(sid::kFeatureTitle),
                             services.strings.Load(sid::kNoneChoice)};
  const WrittenPpd written = ComposePpd(state, list, user);
  const std::string problem =
      VerifyWrittenPpd(state.headText + state.tailText, written.bytes, written.choices);
  if (!problem.empty()) return failed(problem + "; the PPD was left as it was.");

  // All or nothing: on failure the file is as it was before.
  const ReplaceResult replaced = target.Replace(written.bytes);
  if (!replaced.ok)
    return failed(replaced.reason.empty() ? SystemReason(replaced.error) : replaced.reason);

  Message done = StringMessage(services.strings, sid::kPpdWritten);
  done.subject = where;
  // A choice saved as the user's default follows its definition's keyword.
  if (std::string reason = target.FollowSavedChoices(written.renamed); !reason.empty())
    done.detail = "Your saved default choice for this printer could not be updated: " + reason;
  services.ui.Show(done);
  return true;
}

}  // namespace

bool SetPPDToneInfo(const LoadedPpd& ppd, const PrinterDefinitionList& list,
                    const PpdServices& services) {
  return WritePpd(ppd.target(), ppd.state(), list, services);
}

bool SetPPDToneInfo(const LoadedPpd& ppd, const PrinterDefinitionList& list,
                    const PpdServices& services, const std::string& defaultChoice,
                    const std::vector<ChoiceRead>* keywords) {
  PPDToneState state = ppd.state();
  state.defaultChoice = defaultChoice;
  if (keywords)
    state.choices = *keywords;
  return WritePpd(ppd.target(), state, list, services);
}

}  // namespace tonalis

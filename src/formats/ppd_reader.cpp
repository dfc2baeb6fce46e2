// Reading a PPD: the supported test, the split around the density-control
// section and the rebuilding of its definitions. Reading never changes the
// file.

#include <cerrno>

#include "formats/ppd_section.h"
#include "formats/ppd_tone.h"

namespace tonalis {

// The one maker of LoadedPpd.
struct PpdReaderAccess {
  static LoadedPpd Make(std::shared_ptr<PpdTarget> target, PPDToneState state,
                        std::string bytes) {
    return LoadedPpd(std::move(target), std::move(state), std::move(bytes));
  }
};

namespace {

void ShowOpenFailed(const PpdServices& services, const std::string& subject, std::string reason) {
  Message m = StringMessage(services.strings, sid::kPpdOpenFailed);
  m.detail = std::move(reason);
  m.subject = subject;
  services.ui.Show(m);
}

}  // namespace

bool IsPpdText(std::string_view text) {
  return text.starts_with(ppd::kPpdHeader);
}

bool IsSupportedPpdText(std::string_view text) {
  return IsPpdText(text) && (text.find(ppd::kSupportKeyword) != std::string_view::npos ||
                             ppd::ContainsAcceptedProductText(text));
}

std::string UnsupportedPpdReason(std::string_view text) {
  if (!IsPpdText(text))
    return "the file is not a PPD: a PPD starts with " + std::string(ppd::kPpdHeader);
  std::string products;
  std::string_view list = ppd::kAcceptedProductTexts;
  for (std::size_t end; (end = list.find(';')) != std::string_view::npos; list.remove_prefix(end + 1))
    products += (products.empty() ? "\"" : ", \"") + std::string(list.substr(0, end)) + "\"";
  return "the PPD carries neither the supported-product keyword " +
         std::string(ppd::kSupportKeyword) + " nor an accepted make and model (" + products +
         ")";
}

bool HasPPDKeyword(const PpdTarget& target, std::string_view keyword,
                   const PpdServices& services) {
  std::string bytes;
  if (const int error = target.Read(bytes)) {
    ShowOpenFailed(services, target.Describe(), target.ReadFailure(error));
    return false;
  }
  // The whole text is searched, zero bytes and all.
  return std::string_view(bytes).find(keyword) != std::string_view::npos;
}

PpdReadOutcome GetPPDToneInfo(std::shared_ptr<PpdTarget> target, PrinterDefinitionList& list,
                              const PpdServices& services) {
  PpdReadOutcome outcome;
  EmptyTable(list);
  const std::string where = target->Describe();

  // The file is read once; the supported test looks at the whole text, zero
  // bytes and all.
  std::string bytes;
  if (const int error = target->Read(bytes)) {
    ShowOpenFailed(services, where, target->ReadFailure(error));
    return outcome;
  }

  // A file that is not ours to change is refused before anything is asked
  // or changed.
  if (!IsSupportedPpdText(bytes)) {
    outcome.result = kPpdUnsupported;
    outcome.unsupportedReason = UnsupportedPpdReason(bytes);
    return outcome;
  }

  int writableError = 0;
  if (target->IsReadOnly()) {
    Message question = StringMessage(services.strings, sid::kPpdReadOnly, MessageKind::Proceed);
    question.question = Question::MakeWritable;
    question.subject = where;
    if (services.ui.Ask(question)) writableError = target->MakeWritable();
  }

  // The file is opened for update: a target that stayed read-only (Cancel,
  // or the permission could not be added) cannot be loaded, since whatever
  // is loaded may be written back.
  if (target->IsReadOnly()) {
    ShowOpenFailed(services, where, SystemReason(writableError ? writableError : EACCES));
    return outcome;
  }

  PPDToneState state;
  state.ppdPath = where;

  // Head and tail together never exceed the file; each is made able to hold
  // it so that the split itself never has to grow them.
  state.headText.reserve(bytes.size());
  state.tailText.reserve(bytes.size());

  const ppd::SplitResult split = ppd::SplitPpdText(bytes, list, state);
  if (split.nickNameFound) outcome.nickName = state.nickName;

  if (!split.sectionClosed) {
    Message m = StringMessage(services.strings, sid::kPpdConstructionError);
    m.subject = where;
    services.ui.Show(m);
    return outcome;
  }

  outcome.result = kPpdLoaded;
  outcome.loaded.emplace(
      PpdReaderAccess::Make(std::move(target), std::move(state), std::move(bytes)));
  return outcome;
}

}  // namespace tonalis

#include "printers/printer_discovery.h"

#include <cerrno>
#include <new>

#include "formats/ppd_section.h"
#include "printers/queue_target.h"

namespace tonalis {

namespace {

constexpr std::string_view kEnumPrinters = "GetLogicalPrt : EnumPrinters";
constexpr std::string_view kAllocList = "GetLogicalPrt : LocalAlloc(1)";
constexpr std::string_view kOpenPrinter = "GetLogicalPrt : OpenPrinter";
constexpr std::string_view kGetPrinterDriver = "GetLogicalPrt : GetPrinterDriver";
constexpr std::string_view kAllocDriver = "GetLogicalPrt : LocalAlloc(2)";
constexpr std::string_view kAllocEntry = "GetLogicalPrt : LocalAlloc(3)";

void ShowFailure(UserInteraction& ui, std::string_view context, std::string_view allocContext,
                 const SpoolerStatus& status) {
  if (status.outOfMemory) {
    ShowErrorCode(ui, allocContext, ENOMEM);
  } else {
    Message m = ErrorCodeMessage(context, static_cast<uint32_t>(status.code));
    m.detail = status.reason;
    ui.Show(m);
  }
}

}  // namespace

std::string PrinterEntry::Text() const {
  std::string text = queue + " (" + driver + ")";
  if (!server.empty()) text += " via " + server;
  return text;
}

int GetLogicalPrt(SpoolerScope scope, Spooler& spooler, PrinterDiscovery& discovery,
                  PrinterDefinitionList& list, const PpdServices& services) {
  std::vector<SpoolerQueue> queues;
  if (const SpoolerStatus listed = spooler.ListQueues(scope, queues); !listed.ok()) {
    ShowFailure(services.ui, kEnumPrinters, kAllocList, listed);
    return 0;
  }

  for (const SpoolerQueue& queue : queues) {
    if (const SpoolerStatus opened = spooler.OpenQueue(queue); !opened.ok()) {
      ShowFailure(services.ui, kOpenPrinter, kOpenPrinter, opened);
      continue;
    }
    QueueDriver driver;
    if (const SpoolerStatus got = spooler.GetQueueDriver(queue, driver); !got.ok()) {
      ShowFailure(services.ui, kGetPrinterDriver, kAllocDriver, got);
      continue;
    }
    // A queue without a PPD is never asked for one.
    if (!driver.hasPpd) continue;

    const bool driverAccepted = ppd::ContainsAcceptedProductText(driver.makeAndModel);
    if (!driverAccepted) {
      // The keyword check reports a PPD that cannot be fetched.
      const PpdQueueTarget probe(spooler, queue.ppd);
      if (!HasPPDKeyword(probe, ppd::kSupportKeyword, services)) continue;
    }

    // The default queue is matched by its exact name: a queue PS1 is not the
    // default PS10.
    const bool isDefault = !discovery.defaultQueue.empty() && queue.name == discovery.defaultQueue;
    if (isDefault) {
      PpdReadOutcome outcome =
          GetPPDToneInfo(std::make_shared<PpdQueueTarget>(spooler, queue.ppd), list, services);
      if (outcome.result != kPpdLoaded) continue;
      discovery.loaded = std::move(outcome.loaded);
      discovery.nickName = std::move(outcome.nickName);
    }

    if (discovery.entries.size() >= discovery.room) continue;
    try {
      PrinterEntry entry;
      entry.queue = queue.name;
      entry.driver = driver.makeAndModel;
      entry.server = queue.ppd.server;
      entry.target = discovery.makeTarget
                         ? discovery.makeTarget(queue.ppd)
                         : std::make_shared<PpdQueueTarget>(spooler, queue.ppd);
      discovery.entries.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
      ShowErrorCode(services.ui, kAllocEntry, ENOMEM);
      continue;
    }
    if (isDefault) {
      discovery.defaultEntry = discovery.entries.size() - 1;
      discovery.selectedPrinterText = discovery.entries.back().Text();
    }
  }
  return 1;
}

int DiscoverPrinters(Spooler& spooler, PrinterDiscovery& discovery, PrinterDefinitionList& list,
                     const PpdServices& services) {
  // Like a missing profile value, a default that cannot be had is no default.
  if (!spooler.DefaultQueue(discovery.defaultQueue).ok()) discovery.defaultQueue.clear();
  if (GetLogicalPrt(SpoolerScope::Local, spooler, discovery, list, services) != 1) return 0;
  return GetLogicalPrt(SpoolerScope::Connections, spooler, discovery, list, services);
}

std::optional<std::size_t> CountPrinters(Spooler& spooler, UserInteraction& ui) {
  struct Pass {
    SpoolerScope scope;
    std::string_view enumContext;
    std::string_view allocContext;
  };
  static constexpr Pass kPasses[] = {
      {SpoolerScope::Local, "OnInitDialog : EnumPrinters(1)", "OnInitDialog : LocalAlloc(1)"},
      {SpoolerScope::Connections, "OnInitDialog : EnumPrinters(2)",
       "OnInitDialog : LocalAlloc(2)"},
  };
  std::size_t total = 0;
  std::vector<SpoolerQueue> queues;
  for (const Pass& pass : kPasses) {
    if (const SpoolerStatus listed = spooler.ListQueues(pass.scope, queues); !listed.ok()) {
      ShowFailure(ui, pass.enumContext, pass.allocContext, listed);
      return std::nullopt;
    }
    total += queues.size();
  }
  return total;
}

}  // namespace tonalis

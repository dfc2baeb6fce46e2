#include "printers/printer_discovery.h"

#include "formats/ppd_section.h"
#include "printers/queue_target.h"

namespace tonalis {

namespace {

std::string ServerOf(const Spooler& spooler, const std::string& server) {
  return server.empty() ? spooler.ServerName() : server;
}

void ShowListingFailed(UserInteraction& ui, const Spooler& spooler, SpoolerScope scope,
                       const SpoolerStatus& status) {
  const std::string what = scope == SpoolerScope::Local
                               ? "Cannot read the printers from the print server "
                               : "Cannot read the printer connections from the print server ";
  ui.Show(SystemFailure(what + spooler.ServerName() + ".", status.reason));
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
    ShowListingFailed(services.ui, spooler, scope, listed);
    return 0;
  }

  for (const SpoolerQueue& queue : queues) {
    if (const SpoolerStatus opened = spooler.OpenQueue(queue); !opened.ok()) {
      services.ui.Show(SystemFailure("Cannot reach the print server " +
                                         ServerOf(spooler, queue.ppd.server) +
                                         " that keeps the PPD of the printer " + queue.name + ".",
                                     opened.reason));
      continue;
    }
    QueueDriver driver;
    if (const SpoolerStatus got = spooler.GetQueueDriver(queue, driver); !got.ok()) {
      services.ui.Show(SystemFailure("Cannot read the driver of the printer " + queue.name +
                                         " from the print server " +
                                         ServerOf(spooler, queue.ppd.server) + ".",
                                     got.reason));
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
    }

    if (discovery.entries.size() >= discovery.room) continue;
    PrinterEntry entry;
    entry.queue = queue.name;
    entry.driver = driver.makeAndModel;
    entry.server = queue.ppd.server;
    entry.target = discovery.makeTarget ? discovery.makeTarget(queue.ppd)
                                        : std::make_shared<PpdQueueTarget>(spooler, queue.ppd);
    discovery.entries.push_back(std::move(entry));
    if (isDefault) {
      discovery.defaultEntry = discovery.entries.size() - 1;
      discovery.selectedPrinterText = discovery.entries.back().Text();
    }
  }
  return 1;
}

int DiscoverPrinters(Spooler& spooler, PrinterDiscovery& discovery, PrinterDefinitionList& list,
                     const PpdServices& services) {
  // Like a missing profile value, a default that cannot be had is no default;
  // but a scheduler that cannot be reached (IPP's service unavailable) is
  // said now, as its listing would fail too, after another wait.
  constexpr int kUnavailable = 0x0502;
  if (const SpoolerStatus got = spooler.DefaultQueue(discovery.defaultQueue); !got.ok()) {
    discovery.defaultQueue.clear();
    if (got.code == kUnavailable) {
      ShowListingFailed(services.ui, spooler, SpoolerScope::Local, got);
      return 0;
    }
  }
  if (GetLogicalPrt(SpoolerScope::Local, spooler, discovery, list, services) != 1) return 0;
  return GetLogicalPrt(SpoolerScope::Connections, spooler, discovery, list, services);
}

std::optional<std::size_t> CountPrinters(Spooler& spooler, UserInteraction& ui) {
  std::size_t total = 0;
  std::vector<SpoolerQueue> queues;
  for (const SpoolerScope scope : {SpoolerScope::Local, SpoolerScope::Connections}) {
    if (const SpoolerStatus listed = spooler.ListQueues(scope, queues); !listed.ok()) {
      ShowListingFailed(ui, spooler, scope, listed);
      return std::nullopt;
    }
    total += queues.size();
  }
  return total;
}

}  // namespace tonalis

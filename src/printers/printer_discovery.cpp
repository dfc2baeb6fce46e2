#include "printers/printer_discovery.h"

#include <optional>

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

  // First every queue's server and driver, and the PPDs to look at: those
  // of the queues whose driver is not accepted as it stands and whose
  // verdict is not kept, all searched together. Nothing is said yet, so
  // that the messages come in the queues' order, as they are reported below.
  struct Step {
    SpoolerStatus opened, got;
    QueueDriver driver;
    VerdictKey key;
    std::optional<bool> keyword;  // the PPD's verdict, when known
    std::size_t search = SIZE_MAX;  // its place among the searched PPDs
  };
  std::vector<Step> steps(queues.size());
  std::vector<QueueRef> searched;
  for (std::size_t i = 0; i < queues.size(); ++i) {
    const SpoolerQueue& queue = queues[i];
    Step& step = steps[i];
    if (!(step.opened = spooler.OpenQueue(queue)).ok()) continue;
    if (!(step.got = spooler.GetQueueDriver(queue, step.driver)).ok()) continue;
    // A queue without a PPD is never asked for one.
    if (!step.driver.hasPpd || ppd::ContainsAcceptedProductText(step.driver.makeAndModel)) continue;
    step.key = {ServerOf(spooler, queue.ppd.server), queue.ppd.queue, step.driver.configChanged,
                step.driver.makeAndModel};
    if (discovery.verdicts) step.keyword = discovery.verdicts->Find(step.key);
    if (!step.keyword) {
      step.search = searched.size();
      searched.push_back(queue.ppd);
    }
  }
  std::vector<PpdSearch> found;
  if (!searched.empty()) spooler.SearchPpds(searched, ppd::kSupportKeyword, found);

  for (std::size_t i = 0; i < queues.size(); ++i) {
    const SpoolerQueue& queue = queues[i];
    Step& step = steps[i];
    if (!step.opened.ok()) {
      services.ui.Show(SystemFailure("Cannot reach the print server " +
                                         ServerOf(spooler, queue.ppd.server) +
                                         " that keeps the PPD of the printer " + queue.name + ".",
                                     step.opened.reason));
      continue;
    }
    if (!step.got.ok()) {
      services.ui.Show(SystemFailure("Cannot read the driver of the printer " + queue.name +
                                         " from the print server " +
                                         ServerOf(spooler, queue.ppd.server) + ".",
                                     step.got.reason));
      continue;
    }
    const QueueDriver& driver = step.driver;
    if (!driver.hasPpd) continue;

    if (step.search != SIZE_MAX) {
      const PpdSearch& search = found[step.search];
      if (search.status.ok()) {
        step.keyword = search.found;
      } else {
        // Asked again, alone: the keyword check reports a PPD that cannot
        // be fetched, and a server that wants a password gets its answer.
        const PpdQueueTarget probe(spooler, queue.ppd);
        step.keyword = HasPPDKeyword(probe, ppd::kSupportKeyword, services);
        // A PPD that could not be read has no verdict.
        if (!probe.ReadFailure(0).empty()) step.keyword.reset();
      }
      if (step.keyword && discovery.verdicts)
        discovery.verdicts->Put(step.key, *step.keyword, driver.listedAt);
    }
    if (step.keyword && !*step.keyword) continue;
    if (!step.keyword && !ppd::ContainsAcceptedProductText(driver.makeAndModel)) continue;

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
  int result = GetLogicalPrt(SpoolerScope::Local, spooler, discovery, list, services);
  if (result == 1) result = GetLogicalPrt(SpoolerScope::Connections, spooler, discovery, list, services);
  if (discovery.verdicts) discovery.verdicts->Save();
  return result;
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

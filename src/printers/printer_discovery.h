// Finding the installed printers whose PPD Tonalis may change.
//
// A printer is a queue of the configured scheduler with a PPD that belongs to
// a supported product: its make and model contains an accepted product text,
// or its PPD holds the supported-product keyword. Every queue keeps its own
// copy of its PPD, so each accepted queue is an entry of its own, in the
// scheduler's order, the queues of this scheduler before those that forward
// to another server. The default queue's PPD is read at once; when it cannot
// be loaded the queue is left out, after the reader's own message.
//
// The PPDs that must be looked at are searched together (the CUPS spooler
// fetches several at once). With a verdict cache, a queue whose
// configuration has not changed since its PPD was last looked at is judged
// by the kept verdict and its PPD is not fetched; the default queue's PPD is
// read all the same, and a write checks the PPD it is about to change.
//
// A failed spooler call is reported with the scheduler's reason: a listing
// that fails ends the run (result 0); a queue whose server cannot be reached
// or cannot describe its driver is skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/definition_table.h"
#include "printers/spooler.h"
#include "printers/verdict_cache.h"
#include "formats/ppd_target.h"
#include "formats/ppd_tone.h"

namespace tonalis {

struct PrinterEntry {
  std::string queue;   // the queue the user prints to
  std::string driver;  // its make and model
  std::string server;  // the server that keeps its PPD; empty for the configured scheduler
  std::shared_ptr<PpdTarget> target;

  // What the printer list shows: "QUEUE (MAKE AND MODEL)", and " via SERVER"
  // for a queue whose PPD another server keeps.
  std::string Text() const;
};

using QueueTargetFactory = std::function<std::shared_ptr<PpdTarget>(const QueueRef&)>;

// The printer list being built, and what start-up loaded with it.
struct PrinterDiscovery {
  // The user's default queue, matched by exact name; empty when none.
  std::string defaultQueue;
  // How many entries there is room for (the printers counted at start-up).
  std::size_t room = SIZE_MAX;
  // Makes the target kept with an entry; by default a PpdQueueTarget on the
  // spooler that listed it.
  QueueTargetFactory makeTarget;
  // The verdicts kept from earlier runs, used and updated; none when null.
  // DiscoverPrinters saves it at the end.
  VerdictCache* verdicts = nullptr;

  std::vector<PrinterEntry> entries;
  // The default queue's entry, when its PPD was loaded.
  std::optional<std::size_t> defaultEntry;
  // The default queue's PPD as read, and the text the printer list selects
  // (the default entry's text).
  std::optional<LoadedPpd> loaded;
  std::string selectedPrinterText;
};

// Lists the accepted queues of `scope` into `discovery`; when the default
// queue is among them, reads its PPD into `list`. Returns 1, also for an
// empty scope, or 0 when the queues could not be listed (already reported).
int GetLogicalPrt(SpoolerScope scope, Spooler& spooler, PrinterDiscovery& discovery,
                  PrinterDefinitionList& list, const PpdServices& services);

// Start-up's run: takes the user's default queue from the spooler (none when
// it cannot be had), then lists the local queues and then the connections.
// Returns 1, or 0 when a listing failed or the scheduler could not be reached
// for the default (reported as a failed listing).
int DiscoverPrinters(Spooler& spooler, PrinterDiscovery& discovery, PrinterDefinitionList& list,
                     const PpdServices& services);

// The number of queues of both scopes, accepted or not. A failed listing is
// reported and gives nothing.
std::optional<std::size_t> CountPrinters(Spooler& spooler, UserInteraction& ui);

}  // namespace tonalis

// Watching the queues Tonalis wrote: which recorded queues still hold the
// density controls written to them, and putting them back where they were
// lost (a driver update re-installed the PPD) or changed.
#pragma once

#include <string>
#include <vector>

#include "printers/queue_records.h"
#include "printers/spooler.h"
#include "workspace/workspace.h"

namespace tonalis {

// The queue of a record as a target: the configured scheduler's queues by
// their name alone, as the user gives them.
QueueRef RecordedQueue(const QueueRecord& record, const Spooler& spooler);
// "QUEUE", or "QUEUE on SERVER" for another server than the configured one.
std::string DescribeRecord(const QueueRecord& record, const Spooler& spooler);

// Writes the record's definitions and default choice onto the queue's PPD as
// it is now (its vendor part untouched), as Apply writes them: locked,
// verified, and recorded again. Failures are reported through the seams'
// interaction.
bool RestoreQueue(const QueueRecord& record, Spooler& spooler, const WorkspaceSeams& seams);

}  // namespace tonalis

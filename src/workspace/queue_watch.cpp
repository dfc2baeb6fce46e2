#include "workspace/queue_watch.h"

#include <memory>

#include "printers/queue_target.h"

namespace tonalis {

QueueRef RecordedQueue(const QueueRecord& record, const Spooler& spooler) {
  return {record.server == spooler.ServerName() ? std::string() : record.server, record.queue};
}

std::string DescribeRecord(const QueueRecord& record, const Spooler& spooler) {
  const QueueRef ref = RecordedQueue(record, spooler);
  return ref.server.empty() ? ref.queue : ref.queue + " on " + ref.server;
}

bool RestoreQueue(const QueueRecord& record, Spooler& spooler, const WorkspaceSeams& seams) {
  Workspace ws(seams);
  if (ws.ReadTarget(std::make_shared<PpdQueueTarget>(spooler, RecordedQueue(record, spooler))) !=
      kPpdLoaded)
    return false;
  return ws.RestoreRecord(record);
}

}  // namespace tonalis

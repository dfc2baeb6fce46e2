// What Tonalis last wrote to each print queue, kept on the user's side so
// that controls lost to a driver update or changed by someone else can be
// found and put back.
//
// The records live in $XDG_STATE_HOME/tonalis/queues.json (else
// ~/.local/state/tonalis/queues.json), one per server and queue:
//
//   {"version": 1, "queues": [
//     {"server": "localhost:631", "queue": "Office",
//      "definitions": [definition objects, in the order of the PPD],
//      "keywords": [2, 1],         each one's N of GummaN
//      "default": "Warm",          the default choice's name; "" for None
//      "section": "fnv1a64:..."}]} the fingerprint of the section written
//
// Every change of the file replaces it whole, under a lock, so that two
// copies of Tonalis recording at once keep both records.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/density_def.h"
#include "printers/spooler.h"

namespace tonalis {

struct QueueRecord {
  std::string server;  // as the spooler names it: never empty
  std::string queue;
  std::vector<DensityDef> definitions;
  std::vector<int> keywords;  // N of each definition's GummaN; none: numbered afresh
  std::string defaultName;  // empty: the None choice
  std::string section;      // SectionFingerprint of the PPD as written

  bool SameQueue(const QueueRecord& other) const {
    return server == other.server && queue == other.queue;
  }
};

// The records file of this user.
std::string QueueRecordsPath();

// A fingerprint of a PPD's density-control section: its lines, without the
// *DefaultVLTone line (which `lpadmin -o VLTone=...` changes on purpose), as
// "fnv1a64:" and 16 hex digits; empty when the PPD has no section.
std::string SectionFingerprint(std::string_view ppd);

// Reads every record of the file at `path`. A missing or empty file holds
// none; a file that cannot be read or is not a records file gives nullopt
// with the reason in `error`.
std::optional<std::vector<QueueRecord>> ReadQueueRecords(const std::string& path,
                                                         std::string& error);

// Puts `record` into the file at `path` (replacing the record of its server
// and queue, or adding it at the end); false with the reason in `error`.
bool StoreQueueRecord(const std::string& path, const QueueRecord& record, std::string& error);

// How a recorded queue is now (queue_records.cpp names them in this order).
enum class QueueState {
  InPlace,     // the section is the one written
  Changed,     // another section: changed by someone else
  Lost,        // no section: the PPD was replaced (a driver update)
  Gone,        // the server has no such queue
  Unreachable  // the server could not be asked (the reason is given)
};

struct QueueCheck {
  QueueState state = QueueState::InPlace;
  std::string reason;  // for Unreachable: the spooler's words
};

QueueCheck CheckQueueRecord(const QueueRecord& record, Spooler& spooler);

// The words for a state, as `tonalis-cli check` prints them, and its key in
// the JSON of `check --json`.
std::string_view QueueStateText(QueueState state);
std::string_view QueueStateKey(QueueState state);

}  // namespace tonalis

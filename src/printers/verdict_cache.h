// What each queue's PPD said about the supported-product keyword, kept
// between runs so that a start with nothing changed on the server fetches
// no PPD.
//
// A verdict belongs to a queue of a server and holds only while the queue's
// configuration is the one it was taken from: the scheduler's
// printer-config-change-time (which changes whenever the PPD is replaced)
// and the make and model. Any difference, and the PPD is looked at again.
// The scheduler counts that time in whole seconds, so a verdict is kept only
// when the configuration it was taken from had been in place for a while
// before the listing (kSettledSeconds): a second change within the same
// second would not show.
//
// The cache is one JSON file per user, by default
// $XDG_CACHE_HOME/tonalis/printers.json (~/.cache/tonalis/printers.json):
//
//   {"format": "tonalis-printer-verdicts", "version": 1,
//    "queues": [{"server": "localhost:631", "queue": "Office",
//                "configChanged": 1796690714, "makeAndModel": "...",
//                "keyword": true}, ...]}
//
// A file that cannot be read, is not JSON, or is of another format or
// version is taken as empty; an entry that is not as above is left out. A
// file that cannot be written is not written: the cache only saves work, it
// never decides. It may be deleted at any time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace tonalis {

// A queue's configuration as the verdict was taken from it.
struct VerdictKey {
  std::string server;  // the server that keeps the PPD, as named to the user
  std::string queue;
  std::int64_t configChanged = 0;
  std::string makeAndModel;
};

class VerdictCache {
 public:
  // How long a configuration must have been in place, by the server's clock,
  // before a verdict on it is kept.
  static constexpr std::int64_t kSettledSeconds = 2;
  // The most entries kept; beyond that, nothing new is added.
  static constexpr std::size_t kMaxEntries = 20000;
  // Files larger than this are not read.
  static constexpr std::size_t kMaxFileBytes = 4 << 20;

  // The cache kept in the file `path` (read now); an empty path keeps
  // nothing.
  explicit VerdictCache(std::string path);

  // $XDG_CACHE_HOME/tonalis/printers.json, else ~/.cache/tonalis/printers.json
  // (only absolute folders count); empty when there is neither.
  static std::string DefaultPath();

  // The verdict taken from this configuration of the queue, if any.
  std::optional<bool> Find(const VerdictKey& key);
  // Keeps a verdict, when `listedAt` (the server's clock at the listing)
  // shows its configuration settled; otherwise the queue's old verdict goes.
  void Put(const VerdictKey& key, bool hasKeyword, std::int64_t listedAt);

  // Writes the file when a verdict changed, leaving out the queues of the
  // servers looked at that were not listed this time (they are gone).
  // Returns whether it was written.
  bool Save();

 private:
  struct Entry {
    std::int64_t configChanged = 0;
    std::string makeAndModel;
    bool keyword = false;
  };
  using Name = std::pair<std::string, std::string>;  // server, queue

  void Load();
  void Seen(const VerdictKey& key);

  std::string path_;
  std::map<Name, Entry> entries_;
  std::set<Name> seen_;
  std::set<std::string> serversSeen_;
  bool changed_ = false;
};

}  // namespace tonalis

#include "printers/verdict_cache.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <span>

#include "platform/file_replace.h"

namespace tonalis {

namespace {

constexpr const char* kFormat = "tonalis-printer-verdicts";
constexpr int kVersion = 1;

bool IsAbsolute(const char* dir) {
  return dir && dir[0] == '/';
}

// Makes `dir` and its missing parents, for this user only.
bool MakeFolders(const std::string& dir) {
  for (std::size_t at = 1; at <= dir.size(); ++at) {
    if (at != dir.size() && dir[at] != '/') continue;
    const std::string part = dir.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st{};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

VerdictCache::VerdictCache(std::string path) : path_(std::move(path)) {
  Load();
}

std::string VerdictCache::DefaultPath() {
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); IsAbsolute(cache))
    return std::string(cache) + "/tonalis/printers.json";
  if (const char* home = std::getenv("HOME"); IsAbsolute(home))
    return std::string(home) + "/.cache/tonalis/printers.json";
  return {};
}

void VerdictCache::Load() {
  if (path_.empty()) return;
  std::string text;
  // A pipe or a device under the name is not waited for.
  if (ReadWholeFile(path_, text, /*regularOnly=*/true, kMaxFileBytes) != 0) return;
  const nlohmann::json doc = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!doc.is_object()) return;
  const auto format = doc.find("format");
  const auto version = doc.find("version");
  const auto queues = doc.find("queues");
  if (format == doc.end() || *format != kFormat || version == doc.end() ||
      !version->is_number_integer() || *version != kVersion || queues == doc.end() ||
      !queues->is_array())
    return;
  for (const nlohmann::json& q : *queues) {
    if (entries_.size() >= kMaxEntries) break;
    if (!q.is_object()) continue;
    const auto server = q.find("server"), queue = q.find("queue"), changed = q.find("configChanged"),
               model = q.find("makeAndModel"), keyword = q.find("keyword");
    if (server == q.end() || !server->is_string() || queue == q.end() || !queue->is_string() ||
        changed == q.end() || !changed->is_number_integer() || model == q.end() ||
        !model->is_string() || keyword == q.end() || !keyword->is_boolean())
      continue;
    entries_[{server->get<std::string>(), queue->get<std::string>()}] = {
        changed->get<std::int64_t>(), model->get<std::string>(), keyword->get<bool>()};
  }
}

void VerdictCache::Seen(const VerdictKey& key) {
  seen_.insert({key.server, key.queue});
  serversSeen_.insert(key.server);
}

std::optional<bool> VerdictCache::Find(const VerdictKey& key) {
  Seen(key);
  // A scheduler that does not say when the queue changed has no verdicts.
  if (key.configChanged <= 0) return std::nullopt;
  const auto it = entries_.find({key.server, key.queue});
  if (it == entries_.end() || it->second.configChanged != key.configChanged ||
      it->second.makeAndModel != key.makeAndModel)
    return std::nullopt;
  return it->second.keyword;
}

void VerdictCache::Put(const VerdictKey& key, bool hasKeyword, std::int64_t listedAt) {
  Seen(key);
  const Name name{key.server, key.queue};
  const bool settled = key.configChanged > 0 && listedAt - key.configChanged >= kSettledSeconds;
  if (!settled) {
    changed_ |= entries_.erase(name) > 0;
    return;
  }
  if (!entries_.contains(name) && entries_.size() >= kMaxEntries) return;
  Entry& entry = entries_[name];
  const Entry now{key.configChanged, key.makeAndModel, hasKeyword};
  if (entry.configChanged == now.configChanged && entry.makeAndModel == now.makeAndModel &&
      entry.keyword == now.keyword)
    return;
  entry = now;
  changed_ = true;
}

bool VerdictCache::Save() {
  // Queues of a server looked at this time that it did not list are gone.
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (serversSeen_.contains(it->first.first) && !seen_.contains(it->first)) {
      it = entries_.erase(it);
      changed_ = true;
    } else {
      ++it;
    }
  }
  if (!changed_ || path_.empty()) return false;
  nlohmann::json queues = nlohmann::json::array();
  for (const auto& [name, entry] : entries_)
    queues.push_back({{"server", name.first},
                      {"queue", name.second},
                      {"configChanged", entry.configChanged},
                      {"makeAndModel", entry.makeAndModel},
                      {"keyword", entry.keyword}});
  const nlohmann::json doc = {{"format", kFormat}, {"version", kVersion}, {"queues", queues}};
  // Names and makes are the scheduler's bytes, not always UTF-8.
  const std::string text = doc.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  const std::size_t slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(path_.substr(0, slash))) return false;
  ReplaceOptions options;
  options.newFileMode = 0600;
  const ReplaceResult written = ReplaceFileContents(
      path_, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), options);
  if (written.ok) changed_ = false;
  return written.ok;
}

}  // namespace tonalis

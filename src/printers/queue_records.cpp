#include "printers/queue_records.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "formats/definition_json.h"
#include "formats/ppd_section.h"
#include "platform/file_lock.h"
#include "platform/file_replace.h"
#include "platform/interaction.h"
#include "printers/queue_target.h"

namespace tonalis {

namespace {

using cli::Json;

constexpr int kRecordsVersion = 1;
// A records file holds a few records per queue of a server; far more than
// that is not one.
constexpr std::size_t kMaxRecordsBytes = std::size_t{16} << 20;

std::string StateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/')
    return std::string(state) + "/tonalis";
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const struct passwd* entry = ::getpwuid(::getuid());
    home = entry ? entry->pw_dir : "";
  }
  std::string base = home;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/.local/state/tonalis";
}

// Makes `folder` and its parents, for the user alone (as XDG asks).
int MakeFolders(const std::string& folder) {
  for (std::size_t slash = 1; slash != std::string::npos;) {
    slash = folder.find('/', slash + 1);
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      return errno;
  }
  return 0;
}

Json ToJson(const QueueRecord& record) {
  Json defs = Json::array();
  for (const DensityDef& def : record.definitions) defs.push_back(cli::DefinitionToJson(def));
  return Json{{"server", record.server},
              {"queue", record.queue},
              {"definitions", std::move(defs)},
              {"keywords", record.keywords},
              {"default", cli::Latin1ToUtf8(record.defaultName)},
              {"section", record.section}};
}

std::optional<QueueRecord> FromJson(const Json& value) {
  if (!value.is_object())
    return std::nullopt;
  for (const char* key : {"server", "queue", "default", "section"})
    if (!value.contains(key) || !value[key].is_string())
      return std::nullopt;
  if (!value.contains("definitions") || !value["definitions"].is_array())
    return std::nullopt;
  QueueRecord record;
  record.server = value["server"].get<std::string>();
  record.queue = value["queue"].get<std::string>();
  record.section = value["section"].get<std::string>();
  const std::optional<std::string> name = cli::Utf8ToLatin1(value["default"].get<std::string>());
  if (!name || record.server.empty() || record.queue.empty())
    return std::nullopt;
  record.defaultName = *name;
  for (const Json& item : value["definitions"]) {
    cli::JsonDefinition def = cli::DefinitionFromJson(item, DefaultStrings());
    if (!def.error.empty() || def.refusal)
      return std::nullopt;
    record.definitions.push_back(def.record);
  }
  if (record.definitions.size() > static_cast<std::size_t>(kPrinterListCapacity))
    return std::nullopt;
  if (value.contains("keywords")) {
    const Json& keywords = value["keywords"];
    if (!keywords.is_array() || keywords.size() != record.definitions.size())
      return std::nullopt;
    for (const Json& k : keywords) {
      if (!k.is_number_integer() || k.get<int>() < 1 || k.get<int>() > ppd::kMaxChoiceKeyword)
        return std::nullopt;
      record.keywords.push_back(k.get<int>());
    }
  }
  return record;
}

std::optional<std::vector<QueueRecord>> Decode(const std::string& text, const std::string& path,
                                               std::string& error) {
  std::vector<QueueRecord> records;
  if (text.empty())
    return records;
  cli::JsonError parseError;
  const std::optional<Json> doc = cli::ParseJson(text, parseError);
  const auto notRecords = [&] {
    error = path + " is not a file of queue records" +
            (parseError.message.empty() ? "" : " (" + parseError.message + ")");
    return std::nullopt;
  };
  if (!doc || !doc->is_object() || !doc->contains("version") || !(*doc)["version"].is_number_integer() ||
      (*doc)["version"].get<int>() != kRecordsVersion || !doc->contains("queues") ||
      !(*doc)["queues"].is_array())
    return notRecords();
  for (const Json& item : (*doc)["queues"]) {
    std::optional<QueueRecord> record = FromJson(item);
    if (!record)
      return notRecords();
    records.push_back(std::move(*record));
  }
  return records;
}

}  // namespace

std::string QueueRecordsPath() {
  return StateFolder() + "/queues.json";
}

std::string SectionFingerprint(std::string_view ppd) {
  // FNV-1a: enough to tell one section from another, not a protection.
  uint64_t hash = 0xcbf29ce484222325ull;
  bool inSection = false, inQuote = false, found = false;
  while (!ppd.empty()) {
    const std::size_t end = ppd.find_first_of("\r\n");
    std::size_t next = end == std::string_view::npos ? ppd.size() : end + 1;
    if (end != std::string_view::npos && ppd[end] == '\r' && next < ppd.size() && ppd[next] == '\n')
      ++next;
    const std::string_view line = ppd.substr(0, next);
    ppd.remove_prefix(next);
    if (!inQuote && !inSection && line.starts_with(ppd::kOpenSection))
      inSection = found = true;
    if (inSection && !line.starts_with(ppd::kDefaultChoice)) {
      for (const char c : line) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 0x100000001b3ull;
      }
    }
    if (inSection && !inQuote && line.starts_with(ppd::kCloseSection))
      inSection = false;
    inQuote = ppd::QuoteOpenAfter(line, inQuote);
  }
  if (!found)
    return {};
  char text[32];
  std::snprintf(text, sizeof text, "fnv1a64:%016" PRIx64, hash);
  return text;
}

std::optional<std::vector<QueueRecord>> ReadQueueRecords(const std::string& path,
                                                         std::string& error) {
  std::string text;
  if (const int failed = ReadWholeFile(path, text, /*regularOnly=*/true, kMaxRecordsBytes)) {
    if (failed == ENOENT)
      return std::vector<QueueRecord>{};
    error = path + ": " + FileFailureReason(path, failed);
    return std::nullopt;
  }
  return Decode(text, path, error);
}

bool StoreQueueRecord(const std::string& path, const QueueRecord& record, std::string& error) {
  const std::string folder = path.substr(0, path.rfind('/'));
  if (const int failed = folder.empty() ? 0 : MakeFolders(folder)) {
    error = folder + ": " + SystemReason(failed);
    return false;
  }
  // Read, change and write under the lock of the file itself.
  const LockResult lock = LockFile(path, /*create=*/true);
  if (lock.error != 0) {
    error = path + ": " + (lock.reason.empty() ? SystemReason(lock.error) : lock.reason);
    return false;
  }
  std::optional<std::vector<QueueRecord>> records = ReadQueueRecords(path, error);
  if (!records)
    return false;
  bool replaced = false;
  for (QueueRecord& old : *records) {
    if (old.SameQueue(record)) {
      old = record;
      replaced = true;
    }
  }
  if (!replaced)
    records->push_back(record);
  Json queues = Json::array();
  for (const QueueRecord& r : *records) queues.push_back(ToJson(r));
  const std::string text =
      cli::WriteJson(Json{{"version", kRecordsVersion}, {"queues", std::move(queues)}}) + "\n";
  ReplaceOptions options;
  options.newFileMode = 0600;
  const ReplaceResult result = ReplaceFileContents(
      path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, options);
  if (!result.ok) {
    error = path + ": " + (result.reason.empty() ? SystemReason(result.error) : result.reason);
    return false;
  }
  return true;
}

QueueCheck CheckQueueRecord(const QueueRecord& record, Spooler& spooler) {
  QueueCheck check;
  std::string bytes;
  const SpoolerStatus fetched = spooler.FetchPpd({record.server, record.queue}, bytes);
  if (!fetched.ok()) {
    check.state = SpoolerErrno(fetched) == ENOENT ? QueueState::Gone : QueueState::Unreachable;
    check.reason = fetched.reason;
    return check;
  }
  const std::string now = SectionFingerprint(bytes);
  check.state = now.empty()                ? QueueState::Lost
                : now == record.section    ? QueueState::InPlace
                                           : QueueState::Changed;
  return check;
}

namespace {

// Per state, in the order of QueueState: the key of `check --json` and the
// words of its lines.
struct StateWords {
  std::string_view key, text;
};
constexpr StateWords kStateWords[] = {
    {"in-place", "in place"},
    {"changed", "changed by someone else"},
    {"lost", "lost (the PPD has no density controls any more; a driver update may have replaced it)"},
    {"gone", "gone (the server has no such queue)"},
    {"unreachable", "not checked"},
};
static_assert(std::size(kStateWords) == static_cast<std::size_t>(QueueState::Unreachable) + 1);

}  // namespace

std::string_view QueueStateText(QueueState state) {
  return kStateWords[static_cast<int>(state)].text;
}

std::string_view QueueStateKey(QueueState state) {
  return kStateWords[static_cast<int>(state)].key;
}

}  // namespace tonalis

#include "printers/queue_target.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "printers/cups_spooler.h"
#include "formats/ppd_tone.h"

namespace tonalis {

namespace {

// IPP status codes (RFC 8011): 0x0400 client errors, of which 0x0401
// forbidden, 0x0402 not authenticated, 0x0403 not authorised, 0x0406 not
// found.
constexpr int kForbidden = 0x0401;
constexpr int kNotAuthenticated = 0x0402;
constexpr int kNotAuthorized = 0x0403;
constexpr int kNotFound = 0x0406;

// `text` as part of a file name: bytes other than letters, digits, '.', '_'
// and '-' as %XX.
std::string FileNamePart(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x80 && std::isalnum(byte)) || c == '.' || c == '_' || c == '-') {
      out.push_back(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", byte);
      out += hex;
    }
  }
  return out;
}

}  // namespace

int SpoolerErrno(const SpoolerStatus& status) {
  if (status.ok()) return 0;
  switch (status.code) {
    case kNotFound:
      return ENOENT;
    case kForbidden:
    case kNotAuthenticated:
    case kNotAuthorized:
      return EACCES;
    default:
      return EIO;
  }
}

std::string PpdQueueTarget::Describe() const {
  if (ref_.server.empty()) return ref_.queue;
  return ref_.queue + " on " + ref_.server;
}

std::string PpdQueueTarget::Reason(const SpoolerStatus& status) const {
  if (!ref_.server.empty()) return status.reason;
  return status.reason + " (print server " + spooler_.ServerName() + ")";
}

int PpdQueueTarget::Read(std::string& bytes) const {
  const SpoolerStatus status = spooler_.FetchPpd(ref_, bytes);
  readFailure_ = status.ok() ? std::string() : Reason(status);
  return SpoolerErrno(status);
}

ReplaceResult PpdQueueTarget::Replace(const std::string& bytes) const {
  const SpoolerStatus status = spooler_.ReplacePpd(ref_, bytes);
  if (status.ok()) return {};
  ReplaceResult result;
  result.ok = false;
  result.error = SpoolerErrno(status);
  result.failedStep = "scheduler";
  result.reason = Reason(status);
  return result;
}

LockResult PpdQueueTarget::Lock() const {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || runtime[0] != '/')
    return {};
  const std::string server = ref_.server.empty() ? spooler_.ServerName() : ref_.server;
  LockResult result = LockFile(std::string(runtime) + "/tonalis-queue-" + FileNamePart(server) +
                                   "-" + FileNamePart(ref_.queue) + ".lock",
                               /*create=*/true);
  if (result.error != 0 && result.error != EWOULDBLOCK)
    return {};
  return result;
}

std::string PpdQueueTarget::FollowSavedChoices(
    const std::vector<std::pair<std::string, std::string>>& renamed) const {
  bool changes = false;
  for (const auto& [from, to] : renamed) changes |= from != to;
  if (!changes) return {};
  const SpoolerStatus status = spooler_.FollowSavedOption(ref_, "VLTone", renamed);
  return status.ok() ? std::string() : status.reason;
}

std::shared_ptr<PpdTarget> QueueTarget(std::string queue, std::string server) {
  return std::make_shared<PpdQueueTarget>(SystemSpooler(),
                                          QueueRef{std::move(server), std::move(queue)});
}

}  // namespace tonalis

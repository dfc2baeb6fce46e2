#include "printers/cups_spooler.h"

#include "platform/libcups.h"
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>
#include <thread>

namespace tonalis {

namespace {

double timeoutSeconds = kDefaultSchedulerTimeout;

constexpr ipp_status_t kUnavailable = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;

// What a server that let a wait run out is told.
std::string NoAnswer() {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
  return std::string("The server did not answer within ") + seconds +
         (timeoutSeconds == 1 ? " second" : " seconds");
}

// A connection that could not be made, in CUPS's words where it has some:
// nothing listening at the port or the socket is a scheduler not running
// (libcups reports a refused connection as EHOSTDOWN).
std::string ConnectReason(int error, bool socket) {
  if (error == ECONNREFUSED || error == EHOSTDOWN || (socket && error == ENOENT))
    return "Scheduler is not running";
  if (error == ETIMEDOUT) return NoAnswer();
  return std::strerror(error ? error : ECONNREFUSED);
}

constexpr std::string_view kNoPpdModels[] = {"Local Raw Printer", "Remote Printer"};

SpoolerStatus LastCupsError() {
  const ipp_status_t code = libcups::cupsLastError();
  const char* text = libcups::cupsLastErrorString();
  return SpoolerStatus::Failure(code == IPP_STATUS_OK ? IPP_STATUS_ERROR_INTERNAL : code,
                                text && *text ? text : libcups::ippErrorString(code));
}

// A request libcups could not make: it has no memory left.
ipp_t* NewRequest(ipp_op_t operation) {
  ipp_t* request = libcups::ippNewRequest(operation);
  if (!request) throw std::bad_alloc();
  return request;
}

bool Failed(ipp_t* response) {
  return response == nullptr || libcups::cupsLastError() > IPP_STATUS_OK_CONFLICTING;
}

struct IppDeleter {
  void operator()(ipp_t* ipp) const { libcups::ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

// A file in memory that libcups can read from or write to by descriptor.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("tonalis-ppd", MFD_CLOEXEC)) {}
  ~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  int fd() const { return fd_; }

  int Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return ::lseek(fd_, 0, SEEK_SET) < 0 ? errno : 0;
  }

  int ReadAll(std::string& out) {
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    if (size < 0 || ::lseek(fd_, 0, SEEK_SET) < 0) return errno;
    out.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::read(fd_, out.data() + done, out.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return n == 0 ? EIO : errno;
      done += static_cast<std::size_t>(n);
    }
    return 0;
  }

 private:
  int fd_;
};

// Splits "host", "host:port", "[v6]:port" or a socket path.
void SplitServer(const std::string& server, std::string& host, int& port) {
  host = server;
  port = libcups::ippPort();
  if (server.empty() || server.front() == '/') return;
  const auto colon = server.rfind(':');
  const auto bracket = server.rfind(']');
  if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
    host = server.substr(0, colon);
    port = std::atoi(server.c_str() + colon + 1);
  }
  if (host.size() > 1 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
}

// The name a queue is addressed by in a URI path; CUPS queue names hold no
// '/', '#', '?', space or quote, but other bytes are escaped to be safe.
std::string EscapePath(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string PrinterUri(const std::string& server, const std::string& queue) {
  std::string host;
  int port = 0;
  SplitServer(server, host, port);
  if (host.empty() || host.front() == '/') host = "localhost";
  char uri[HTTP_MAX_URI];
  const std::string resource = "/printers/" + queue;
  libcups::httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, host.c_str(), port,
                  resource.c_str());
  return uri;
}

// Where a forwarding queue's PPD is kept: the CUPS queue its device names.
QueueRef ForwardedQueue(const std::string& deviceUri) {
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (libcups::httpSeparateURI(HTTP_URI_CODING_ALL, deviceUri.c_str(), scheme, sizeof scheme, user,
                      sizeof user, host, sizeof host, &port, resource,
                      sizeof resource) < HTTP_URI_STATUS_OK)
    return {};
  const std::string_view s = scheme;
  if (s != "ipp" && s != "ipps" && s != "http" && s != "https") return {};
  constexpr std::string_view kPrinters = "/printers/";
  std::string_view path = resource;
  if (path.substr(0, kPrinters.size()) != kPrinters) return {};
  path.remove_prefix(kPrinters.size());
  if (const auto query = path.find('?'); query != std::string_view::npos)
    path = path.substr(0, query);
  if (path.empty() || path.find('/') != std::string_view::npos) return {};
  std::string server = host;
  if (server.find(':') != std::string::npos) server = "[" + server + "]";
  server += ":" + std::to_string(port);
  return {server, std::string(path)};
}

bool IsRefusal(ipp_status_t code) {
  return code == IPP_STATUS_ERROR_FORBIDDEN || code == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
         code == IPP_STATUS_ERROR_NOT_AUTHORIZED;
}

bool HasPpdByType(const std::string& makeAndModel, int type) {
  return !(type & (CUPS_PRINTER_CLASS | CUPS_PRINTER_REMOTE)) && !IsNoPpdPlaceholder(makeAndModel);
}

// printer-up-time is the scheduler's clock (CUPS reports the time of the
// request), which printer-config-change-time is compared with.
const char* const kListAttributes[] = {"printer-name",  "printer-make-and-model",
                                       "printer-type",  "device-uri",
                                       "printer-config-change-time", "printer-up-time"};

// How many connections look at PPDs at once: the scheduler answers one
// request at a time, so a few are enough to keep it busy.
constexpr std::size_t kSearchConnections = 4;
// A single PPD is searched on the spooler's own connection.
constexpr std::size_t kSearchInParallelFrom = 2;

}  // namespace

void SetSchedulerTimeout(double seconds) {
  // At least a millisecond, at most a day: libcups counts in milliseconds.
  if (seconds > 0) timeoutSeconds = std::clamp(seconds, 0.001, 86400.0);
}

double SchedulerTimeout() {
  return timeoutSeconds;
}

bool IsNoPpdPlaceholder(std::string_view makeAndModel) {
  for (const std::string_view p : kNoPpdModels)
    if (makeAndModel == p) return true;
  return false;
}

const char* CupsPasswordCallback(const char* prompt, http_t* http, const char*, const char*,
                                 void* data) {
  auto* self = static_cast<CupsSpooler*>(data);
  if (!self || !self->prompt_) return nullptr;
  PasswordRequest request;
  request.prompt = prompt ? prompt : "";
  request.user = libcups::cupsUser();
  char host[256] = "";
  if (http) libcups::httpGetHostname(http, host, sizeof host);
  request.server = host;
  std::optional<std::string> answer = self->prompt_(request);
  if (!answer) return nullptr;
  self->lastPassword_ = std::move(*answer);
  return self->lastPassword_.c_str();
}

// A wait for the server's answer ran out: the request gives up, and so
// does at once whatever libcups would still try on this connection within
// the same call (it reconnects for a second request). The call then closes
// the connection.
int CupsTimeoutCallback(http_t* http, void* data) {
  static_cast<CupsSpooler*>(data)->unanswered_ = true;
  if (http) {
    libcups::httpShutdown(http);
    libcups::httpSetTimeout(http, 0.001, CupsTimeoutCallback, data);
  }
  return 0;
}

namespace {

// Routes the scheduler's password questions to the spooler's prompt while a
// request runs; afterwards libcups's own behaviour is back and the password
// gone. Without a prompt nothing is installed: libcups asks on the terminal
// itself.
class PasswordScope {
 public:
  PasswordScope(CupsSpooler* spooler, bool prompting, std::string& password)
      : installed_(prompting), password_(password) {
    if (installed_) libcups::cupsSetPasswordCB2(CupsPasswordCallback, spooler);
  }
  ~PasswordScope() {
    if (installed_) libcups::cupsSetPasswordCB2(nullptr, nullptr);
    std::fill(password_.begin(), password_.end(), '\0');
    password_.clear();
  }
  PasswordScope(const PasswordScope&) = delete;
  PasswordScope& operator=(const PasswordScope&) = delete;

 private:
  bool installed_;
  std::string& password_;
};

}  // namespace

namespace {

// The configured scheduler as "host:port" (libcups keeps the port apart), or
// its socket path.
std::string ConfiguredServer() {
  std::string server = libcups::cupsServer();
  if (server.empty() || server.front() == '/') return server;
  if (server.find(':') != std::string::npos) server = "[" + server + "]";
  return server + ":" + std::to_string(libcups::ippPort());
}

}  // namespace

CupsSpooler::CupsSpooler(std::string server)
    : configured_(server.empty() ? ConfiguredServer() : std::move(server)) {}

CupsSpooler::~CupsSpooler() {
  for (auto& [name, http] : connections_) libcups::httpClose(http);
}

http_t* CupsSpooler::Connect(const std::string& server, SpoolerStatus& status) {
  unanswered_ = false;
  const std::string& name = server.empty() ? configured_ : server;
  if (auto it = connections_.find(name); it != connections_.end()) return it->second;
  std::string host;
  int port = 0;
  SplitServer(name, host, port);
  // Made first and connected then, so that a failed connection still has
  // its own reason (closing it would overwrite errno).
  http_t* http = libcups::httpConnect2(host.c_str(), port, nullptr, AF_UNSPEC,
                                       libcups::cupsEncryption(), 1, 0, nullptr);
  if (!http) {
    // The name could not be looked up; libcups has just said why.
    const char* why = libcups::cupsLastErrorString();
    status = SpoolerStatus::Failure(kUnavailable, why && *why ? why : "Unknown host name");
    return nullptr;
  }
  libcups::httpSetTimeout(http, timeoutSeconds, CupsTimeoutCallback, this);
  if (libcups::httpReconnect2(http, static_cast<int>(timeoutSeconds * 1000), nullptr) != 0) {
    const int error = libcups::httpError(http);
    libcups::httpClose(http);
    status = SpoolerStatus::Failure(kUnavailable,
                                    ConnectReason(error, !host.empty() && host.front() == '/'));
    return nullptr;
  }
  connections_.emplace(name, http);
  return http;
}

SpoolerStatus CupsSpooler::RequestFailure(const std::string& server) {
  if (!unanswered_) return LastCupsError();
  unanswered_ = false;
  // Whatever the server sends later belongs to the request given up.
  if (auto it = connections_.find(server.empty() ? configured_ : server);
      it != connections_.end()) {
    libcups::httpClose(it->second);
    connections_.erase(it);
  }
  return SpoolerStatus::Failure(kUnavailable, NoAnswer());
}

SpoolerStatus CupsSpooler::ProbeQueue(http_t* http, const QueueRef& ref) {
  const std::string uri = PrinterUri(ref.server, ref.queue);
  ipp_t* probe = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  libcups::ippAddString(probe, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
  libcups::ippAddString(probe, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                        "printer-name");
  libcups::ippAddString(probe, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                        libcups::cupsUser());
  IppPtr probed(libcups::cupsDoRequest(http, probe, "/"));
  if (!Failed(probed.get())) return {};
  if (!unanswered_ && libcups::cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
    return SpoolerStatus::Failure(IPP_STATUS_ERROR_NOT_FOUND, "Invalid destination name");
  return RequestFailure(ref.server);
}

SpoolerStatus CupsSpooler::ListQueues(SpoolerScope scope, std::vector<SpoolerQueue>& queues) {
  queues.clear();
  SpoolerStatus status;
  http_t* http = Connect({}, status);
  if (!http) return status;

  ipp_t* request = NewRequest(IPP_OP_CUPS_GET_PRINTERS);
  libcups::ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kListAttributes)), nullptr, kListAttributes);
  // The scheduler picks the scope: printers, not classes; forwarding or not.
  libcups::ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_ENUM, "printer-type",
                scope == SpoolerScope::Connections ? CUPS_PRINTER_REMOTE : 0);
  libcups::ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_ENUM, "printer-type-mask",
                CUPS_PRINTER_CLASS | CUPS_PRINTER_REMOTE);
  libcups::ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               libcups::cupsUser());
  IppPtr response(libcups::cupsDoRequest(http, request, "/"));
  if (Failed(response.get())) {
    // The scheduler answers "not found" when no printer matches.
    if (!unanswered_ && libcups::cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) return {};
    return RequestFailure({});
  }

  ipp_attribute_t* attr = libcups::ippFirstAttribute(response.get());
  while (attr) {
    while (attr && libcups::ippGetGroupTag(attr) != IPP_TAG_PRINTER) attr = libcups::ippNextAttribute(response.get());
    if (!attr) break;
    SpoolerQueue queue;
    std::string deviceUri;
    int type = 0;
    for (; attr && libcups::ippGetGroupTag(attr) == IPP_TAG_PRINTER;
         attr = libcups::ippNextAttribute(response.get())) {
      const char* name = libcups::ippGetName(attr);
      if (!name) continue;
      const std::string_view n = name;
      const char* text = libcups::ippGetString(attr, 0, nullptr);
      if (n == "printer-name" && text) queue.name = text;
      else if (n == "printer-make-and-model" && text) queue.makeAndModel = text;
      else if (n == "device-uri" && text) deviceUri = text;
      else if (n == "printer-type") type = libcups::ippGetInteger(attr, 0);
      else if (n == "printer-config-change-time") queue.configChanged = libcups::ippGetInteger(attr, 0);
      else if (n == "printer-up-time") queue.listedAt = libcups::ippGetInteger(attr, 0);
    }
    if (queue.name.empty()) continue;
    if (scope == SpoolerScope::Local) {
      queue.hasPpd = HasPpdByType(queue.makeAndModel, type);
      queue.ppd = {{}, queue.name};
    } else {
      queue.hasPpd = false;  // kept by the other server, if anywhere
      queue.ppd = ForwardedQueue(deviceUri);
    }
    queues.push_back(std::move(queue));
  }
  return {};
}

SpoolerStatus CupsSpooler::OpenQueue(const SpoolerQueue& queue) {
  if (queue.ppd.queue.empty()) return {};  // nothing kept anywhere: nothing to reach
  SpoolerStatus status;
  return Connect(queue.ppd.server, status) ? SpoolerStatus{} : status;
}

SpoolerStatus CupsSpooler::GetQueueDriver(const SpoolerQueue& queue, QueueDriver& driver) {
  // A queue of this scheduler was described by the listing.
  if (queue.ppd.server.empty() || queue.ppd.queue.empty()) {
    driver = {queue.makeAndModel, queue.hasPpd && !queue.ppd.queue.empty(), queue.configChanged,
              queue.listedAt};
    return {};
  }
  SpoolerStatus status;
  http_t* http = Connect(queue.ppd.server, status);
  if (!http) return status;
  ipp_t* request = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  const std::string uri = PrinterUri(queue.ppd.server, queue.ppd.queue);
  libcups::ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
  static const char* const kAttrs[] = {"printer-make-and-model", "printer-type",
                                       "printer-config-change-time", "printer-up-time"};
  libcups::ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kAttrs)), nullptr, kAttrs);
  libcups::ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               libcups::cupsUser());
  IppPtr response(libcups::cupsDoRequest(http, request, "/"));
  if (Failed(response.get())) return RequestFailure(queue.ppd.server);
  ipp_attribute_t* mm =
      libcups::ippFindAttribute(response.get(), "printer-make-and-model", IPP_TAG_TEXT);
  ipp_attribute_t* type = libcups::ippFindAttribute(response.get(), "printer-type", IPP_TAG_ENUM);
  driver.makeAndModel = mm ? libcups::ippGetString(mm, 0, nullptr) : "";
  driver.hasPpd = HasPpdByType(driver.makeAndModel, type ? libcups::ippGetInteger(type, 0) : 0);
  ipp_attribute_t* changed =
      libcups::ippFindAttribute(response.get(), "printer-config-change-time", IPP_TAG_INTEGER);
  ipp_attribute_t* now = libcups::ippFindAttribute(response.get(), "printer-up-time", IPP_TAG_INTEGER);
  driver.configChanged = changed ? libcups::ippGetInteger(changed, 0) : 0;
  driver.listedAt = now ? libcups::ippGetInteger(now, 0) : 0;
  return {};
}

SpoolerStatus CupsSpooler::DefaultQueue(std::string& name) {
  name.clear();
  SpoolerStatus status;
  http_t* http = Connect({}, status);
  if (!http) return status;
  // With no name, libcups looks at the environment, the lpoptions files and
  // then the scheduler, exactly as `lpstat -d` does, and never browses.
  cups_dest_t* dest = libcups::cupsGetNamedDest(http, nullptr, nullptr);
  if (!dest) {
    const ipp_status_t code = libcups::cupsLastError();
    if (!unanswered_ && (code == IPP_STATUS_OK || code == IPP_STATUS_ERROR_NOT_FOUND)) return {};
    return RequestFailure({});
  }
  name = dest->name;
  libcups::cupsFreeDests(1, dest);
  return {};
}

SpoolerStatus CupsSpooler::FetchPpd(const QueueRef& ref, std::string& bytes) {
  bytes.clear();
  SpoolerStatus status;
  http_t* http = Connect(ref.server, status);
  if (!http) return status;
  MemoryFile file;
  if (file.fd() < 0) return SpoolerStatus::Failure(IPP_STATUS_ERROR_INTERNAL, std::strerror(errno));
  const std::string resource = "/printers/" + EscapePath(ref.queue) + ".ppd";
  http_status_t got;
  {
    PasswordScope scope(this, static_cast<bool>(prompt_), lastPassword_);
    got = libcups::cupsGetFd(http, resource.c_str(), file.fd());
  }
  if (got != HTTP_STATUS_OK) {
    if (unanswered_) return RequestFailure(ref.server);
    const SpoolerStatus failure = LastCupsError();
    // No PPD: say so when the queue itself is not there.
    if (got == HTTP_STATUS_NOT_FOUND)
      if (SpoolerStatus probed = ProbeQueue(http, ref); !probed.ok()) return probed;
    return failure;
  }
  if (const int error = file.ReadAll(bytes)) {
    bytes.clear();
    return SpoolerStatus::Failure(IPP_STATUS_ERROR_INTERNAL, std::strerror(error));
  }
  return {};
}

SpoolerStatus CupsSpooler::SearchPpd(const QueueRef& ref, std::string_view text, bool& found) {
  found = false;
  // Any failure here is only a "could not tell": the caller asks again.
  const auto failed = [&] {
    Disconnect(ref.server);
    return SpoolerStatus::Failure(IPP_STATUS_ERROR_INTERNAL, "The PPD could not be searched");
  };
  SpoolerStatus status;
  http_t* http = Connect(ref.server, status);
  if (!http) return status;
  const std::string resource = "/printers/" + EscapePath(ref.queue) + ".ppd";
  http_status_t got = HTTP_STATUS_ERROR;
  // A kept connection the server has closed in the meantime is made again,
  // once.
  for (int attempt = 0; attempt < 2 && got == HTTP_STATUS_ERROR && !unanswered_; ++attempt) {
    if (attempt && libcups::httpReconnect2(http, static_cast<int>(timeoutSeconds * 1000), nullptr))
      break;
    libcups::httpClearFields(http);
    libcups::httpSetField(http, HTTP_FIELD_AUTHORIZATION, libcups::httpGetAuthString(http));
    if (libcups::httpGet(http, resource.c_str()) != 0) continue;
    while ((got = libcups::httpUpdate(http)) == HTTP_STATUS_CONTINUE) {
    }
  }
  if (got != HTTP_STATUS_OK) return failed();

  // The text may straddle two reads: the end of the last one is kept.
  std::string window;
  char buffer[16384];
  ssize_t n = 0;
  while ((n = libcups::httpRead2(http, buffer, sizeof buffer)) > 0) {
    window.append(buffer, static_cast<std::size_t>(n));
    if (window.find(text) != std::string::npos) {
      found = true;
      break;
    }
    if (window.size() >= text.size()) window.erase(0, window.size() - text.size() + 1);
  }
  if (n < 0 || unanswered_) return failed();
  // Without the text, only the whole PPD tells: one cut short by a dropped
  // connection says nothing.
  if (!found && (libcups::httpError(http) != 0 || libcups::httpGetState(http) != HTTP_STATE_WAITING))
    return failed();
  // The rest of the PPD is not read: the connection it comes on goes.
  if (found) Disconnect(ref.server);
  return {};
}

void CupsSpooler::Disconnect(const std::string& server) {
  if (auto it = connections_.find(server.empty() ? configured_ : server); it != connections_.end()) {
    libcups::httpClose(it->second);
    connections_.erase(it);
  }
}

void CupsSpooler::SearchPpds(const std::vector<QueueRef>& refs, std::string_view text,
                             std::vector<PpdSearch>& results) {
  if (refs.size() < kSearchInParallelFrom) return Spooler::SearchPpds(refs, text, results);
  results.assign(refs.size(), {});
  // Each worker has connections of its own (a connection serves one thread)
  // and takes the next queue when it is done with one. A worker never asks
  // for a password: a PPD that needs one fails here and is asked for again
  // by the caller, on this spooler, with its prompt.
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    CupsSpooler worker(configured_);
    for (std::size_t i; (i = next++) < refs.size();) {
      PpdSearch& result = results[i];
      try {
        result.status = worker.SearchPpd(refs[i], text, result.found);
      } catch (const std::exception& e) {
        // Asked again by the caller, which then meets the failure itself.
        result.status = SpoolerStatus::Failure(IPP_STATUS_ERROR_INTERNAL, e.what());
      }
    }
  };
  std::vector<std::thread> workers;
  const std::size_t count = std::min(kSearchConnections, refs.size());
  try {
    for (std::size_t i = 1; i < count; ++i) workers.emplace_back(work);
  } catch (const std::system_error&) {
    // No more threads to be had: the ones running and this one do the work.
  }
  work();
  for (std::thread& t : workers) t.join();
}

SpoolerStatus CupsSpooler::ReplacePpd(const QueueRef& ref, std::string_view bytes) {
  SpoolerStatus status;
  http_t* http = Connect(ref.server, status);
  if (!http) return status;
  MemoryFile file;
  if (file.fd() < 0) return SpoolerStatus::Failure(IPP_STATUS_ERROR_INTERNAL, std::strerror(errno));
  if (const int error = file.Write(bytes))
    return SpoolerStatus::Failure(IPP_STATUS_ERROR_INTERNAL, std::strerror(error));

  // CUPS-Add-Modify-Printer would create a queue that is gone; only an
  // existing queue has its PPD replaced.
  if (SpoolerStatus probed = ProbeQueue(http, ref); !probed.ok()) return probed;
  const std::string uri = PrinterUri(ref.server, ref.queue);

  ipp_t* request = NewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
  libcups::ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
  libcups::ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               libcups::cupsUser());
  IppPtr response;
  {
    PasswordScope scope(this, static_cast<bool>(prompt_), lastPassword_);
    response.reset(libcups::cupsDoIORequest(http, request, "/admin/", file.fd(), -1));
  }
  if (!Failed(response.get())) return {};
  if (!unanswered_ && IsRefusal(libcups::cupsLastError())) {
    SpoolerStatus refused = LastCupsError();
    refused.reason += ": you need to be in the lpadmin group, or give a password";
    return refused;
  }
  return RequestFailure(ref.server);
}

SpoolerStatus CupsSpooler::FollowSavedOption(
    const QueueRef& ref, std::string_view option,
    const std::vector<std::pair<std::string, std::string>>& renamed) {
  // Saved options name the destinations of the configured scheduler; a
  // queue of another server has none of this user's.
  if (!ref.server.empty()) return {};
  SpoolerStatus status;
  http_t* http = Connect({}, status);
  if (!http) return status;
  const std::string name(option);
  cups_dest_t* dests = nullptr;
  const int count = libcups::cupsGetDests2(http, &dests);
  bool changed = false;
  for (int i = 0; i < count; ++i) {
    cups_dest_t& dest = dests[i];
    if (ref.queue != dest.name) continue;
    const char* saved = libcups::cupsGetOption(name.c_str(), dest.num_options, dest.options);
    if (!saved) continue;
    for (const auto& [from, to] : renamed) {
      if (from != saved || from == to) continue;
      if (to.empty()) {
        dest.num_options = libcups::cupsRemoveOption(name.c_str(), dest.num_options, &dest.options);
      } else {
        dest.num_options = libcups::cupsAddOption(name.c_str(), to.c_str(), dest.num_options, &dest.options);
      }
      changed = true;
      break;
    }
  }
  const int failed = changed ? libcups::cupsSetDests2(http, count, dests) : 0;
  libcups::cupsFreeDests(count, dests);
  return failed || unanswered_ ? RequestFailure({}) : SpoolerStatus{};
}

CupsSpooler& SystemSpooler() {
  static CupsSpooler spooler;
  return spooler;
}

SpoolerStatus CupsSpooler::Print(const PrintJob& job, int& jobId) {
  jobId = 0;
  SpoolerStatus status;
  http_t* http = Connect({}, status);
  if (!http) return status;
  int count = 0;
  cups_option_t* options = nullptr;
  for (const auto& [name, value] : job.options)
    count = libcups::cupsAddOption(name.c_str(), value.c_str(), count, &options);
  PasswordScope scope(this, static_cast<bool>(prompt_), lastPassword_);
  const int id = libcups::cupsCreateJob(http, job.queue.c_str(), job.title.c_str(), count, options);
  libcups::cupsFreeOptions(count, options);
  if (id == 0) return RequestFailure({});
  bool sent = libcups::cupsStartDocument(http, job.queue.c_str(), id, job.title.c_str(),
                                         job.format.c_str(), 1) == HTTP_STATUS_CONTINUE;
  constexpr std::size_t kChunk = 64 * 1024;
  for (std::size_t at = 0; sent && at < job.document.size(); at += kChunk) {
    const std::size_t n = std::min(kChunk, job.document.size() - at);
    sent = libcups::cupsWriteRequestData(http, job.document.data() + at, n) == HTTP_STATUS_CONTINUE;
  }
  if (libcups::cupsFinishDocument(http, job.queue.c_str()) <= IPP_STATUS_OK_CONFLICTING && sent) {
    jobId = id;
    return {};
  }
  // A server that stopped answering gets no cancellation: its connection
  // is given up.
  if (unanswered_) return RequestFailure({});
  const SpoolerStatus failed = LastCupsError();
  libcups::cupsCancelJob2(http, job.queue.c_str(), id, 0);
  return failed;
}

}  // namespace tonalis

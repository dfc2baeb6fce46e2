// The spooler on CUPS, through libcups and IPP only: no browsing for network
// printers, no command-line tools.
//
// - Listing: one CUPS-Get-Printers request to the configured scheduler per
//   scope (classes are not printers and are left out). Queues that forward
//   to a queue of another CUPS server (an ipp:// device on /printers/NAME)
//   are the connections; their PPD is kept by that server.
// - Driver: a queue's make and model. The scheduler reports "Local Raw
//   Printer" or "Remote Printer" for a queue that has no PPD.
// - Default: the same one `lpstat -d` reports (LPDEST or PRINTER, the user's
//   and the system's lpoptions, then the scheduler's default).
// - Listing and driver also carry printer-config-change-time and the
//   scheduler's clock (printer-up-time), which tell whether a queue's PPD may
//   have changed since it was last looked at.
// - PPD: fetched as /printers/NAME.ppd and replaced with a
//   CUPS-Add-Modify-Printer request that carries the new PPD, as
//   `lpadmin -P` does.
//
// Every connection has a timeout for connecting and one for each wait for
// the server's answer (SchedulerTimeout); a server that does not answer in
// time fails the call with a reason that says so, and its connection is
// closed. Status codes are IPP status codes (not found, service
// unavailable, ...); the reason is CUPS's wording of the failure: "Scheduler
// is not running", "Invalid destination name", "Unauthorized: ...".
#pragma once

#include <map>
#include <memory>
#include <string>

#include "printers/spooler.h"

typedef struct _http_s http_t;

namespace tonalis {

// The timeout of every scheduler connection, in seconds: for connecting, and
// for each wait for the server's answer. It applies to connections opened
// after it is set, and is kept within a millisecond and a day.
inline constexpr double kDefaultSchedulerTimeout = 5;
void SetSchedulerTimeout(double seconds);
double SchedulerTimeout();

class CupsSpooler final : public Spooler {
 public:
  // `server` as CUPS names one (host, host:port or a socket path); empty for
  // the configured scheduler.
  explicit CupsSpooler(std::string server = {});
  ~CupsSpooler() override;
  CupsSpooler(const CupsSpooler&) = delete;
  CupsSpooler& operator=(const CupsSpooler&) = delete;

  SpoolerStatus ListQueues(SpoolerScope scope, std::vector<SpoolerQueue>& queues) override;
  SpoolerStatus OpenQueue(const SpoolerQueue& queue) override;
  SpoolerStatus GetQueueDriver(const SpoolerQueue& queue, QueueDriver& driver) override;
  SpoolerStatus DefaultQueue(std::string& name) override;
  SpoolerStatus FetchPpd(const QueueRef& ref, std::string& bytes) override;
  // Several PPDs are searched at once, each worker thread on connections of
  // its own, and each is read only as far as the text.
  void SearchPpds(const std::vector<QueueRef>& refs, std::string_view text,
                  std::vector<PpdSearch>& results) override;
  SpoolerStatus ReplacePpd(const QueueRef& ref, std::string_view bytes) override;
  SpoolerStatus FollowSavedOption(
      const QueueRef& ref, std::string_view option,
      const std::vector<std::pair<std::string, std::string>>& renamed) override;
  // Create-Job, then the document in one Send-Document, as lp sends a file.
  SpoolerStatus Print(const PrintJob& job, int& jobId) override;
  std::string ServerName() const override { return configured_; }

  // Who answers when a server asks for a password (a dialog). Without one,
  // libcups asks on the terminal itself.
  void SetPasswordPrompt(PasswordPrompt prompt) { prompt_ = std::move(prompt); }

 private:
  http_t* Connect(const std::string& server, SpoolerStatus& status);
  // The failure of the request just made on `server`'s connection: the
  // timeout when the server did not answer (the connection is then closed),
  // otherwise libcups's reason.
  SpoolerStatus RequestFailure(const std::string& server);
  // Whether the PPD of `ref` contains `text`, read only as far as it: no
  // password is asked for, and any failure is reported as one without a
  // reason of the user's (the caller then asks with FetchPpd).
  SpoolerStatus SearchPpd(const QueueRef& ref, std::string_view text, bool& found);
  void Disconnect(const std::string& server);
  // Whether `http` is at a queue that exists (its probe failed otherwise).
  SpoolerStatus ProbeQueue(http_t* http, const QueueRef& ref);
  friend const char* CupsPasswordCallback(const char*, http_t*, const char*, const char*, void*);
  friend int CupsTimeoutCallback(http_t*, void*);

  std::string configured_;
  std::map<std::string, http_t*> connections_;
  PasswordPrompt prompt_;
  std::string lastPassword_;  // kept for libcups until the request is sent
  bool unanswered_ = false;   // the last request's server let a wait run out
};

// The make-and-model texts the scheduler gives a queue without a PPD.
bool IsNoPpdPlaceholder(std::string_view makeAndModel);

// The process's spooler for the configured scheduler.
CupsSpooler& SystemSpooler();

}  // namespace tonalis

// A CUPS scheduler of the test's own: its server root in a temporary folder,
// a loopback port and a local socket, file: devices allowed, no
// authentication. It is stopped and its folder removed when the object goes,
// and it dies with the test process if that is killed.
//
// The test process's client settings (CUPS_SERVER, CUPS_SERVERROOT, HOME)
// point at it after UseAsConfigured(), so that libcups, and the command-line
// tools that Run() starts, know no other scheduler and no user default.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tonalis::test {

class PrivateCupsd {
 public:
  // Starts the scheduler and waits until it answers; throws
  // std::runtime_error, with the scheduler's log, when it does not.
  PrivateCupsd();
  ~PrivateCupsd();
  PrivateCupsd(const PrivateCupsd&) = delete;
  PrivateCupsd& operator=(const PrivateCupsd&) = delete;

  const std::string& root() const { return root_; }
  const std::string& socket() const { return socket_; }
  int port() const { return port_; }
  // "127.0.0.1:PORT".
  std::string Loopback() const;

  // Makes this scheduler the configured one of the test process.
  void UseAsConfigured();

  // Runs a CUPS client tool against this scheduler; returns its exit status
  // and leaves its output (stdout and stderr) in `output`.
  int Run(const std::vector<std::string>& argv, std::string* output = nullptr) const;

  // Adds an enabled queue that prints to /dev/null with `ppd` as its PPD
  // (or none); throws when lpadmin fails.
  void AddQueue(const std::string& name, const std::string& ppd);
  void AddRawQueue(const std::string& name, const std::string& deviceUri = "file:/dev/null");
  // Makes `name` the scheduler's default queue.
  void SetDefault(const std::string& name);

  // The PPD the scheduler keeps for `name`, as a file of its own.
  std::string PpdFile(const std::string& name) const;

  std::string Log() const;

 private:
  void Stop();
  void RunChecked(const std::vector<std::string>& argv);

  std::string root_;
  std::string socket_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace tonalis::test

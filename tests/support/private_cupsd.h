// A CUPS scheduler of the test's own: its server root in a temporary folder, a loopback port
// and a local socket, file: devices allowed, no authentication. It stops and its folder goes
// with the object, and it dies with the test process if that is killed.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tonalis::test {

class PrivateCupsd {
 public:
  // Starts the scheduler and waits until it answers; throws std::runtime_error, with the
  // scheduler's log, when it does not.
  PrivateCupsd();
  ~PrivateCupsd() { Stop(); }
  PrivateCupsd(const PrivateCupsd&) = delete;
  PrivateCupsd& operator=(const PrivateCupsd&) = delete;

  std::string Loopback() const { return "127.0.0.1:" + std::to_string(port_); }
  // Points the test process's CUPS_SERVER, CUPS_SERVERROOT and HOME here.
  void UseAsConfigured();
  // Runs a program against this scheduler: its exit status; its output in `output`.
  int Run(const std::vector<std::string>& argv, std::string* output = nullptr) const;
  // Enabled queues on /dev/null with a PPD, or raw ones; they throw when lpadmin fails.
  void AddQueue(const std::string& name, const std::string& ppd) {
    RunChecked({"lpadmin", "-p", name, "-E", "-v", "file:/dev/null", "-P", ppd});
  }
  void AddRawQueue(const std::string& name, const std::string& deviceUri = "file:/dev/null") {
    RunChecked({"lpadmin", "-p", name, "-E", "-v", deviceUri});
  }
  void SetDefault(const std::string& name) { RunChecked({"lpadmin", "-d", name}); }
  // The PPD the scheduler keeps for `name`.
  std::string PpdFile(const std::string& name) const;

 private:
  std::string Socket() const { return root_ + "/cups.sock"; }
  void RunChecked(const std::vector<std::string>& argv) const {
    if (std::string output; Run(argv, &output) != 0)
      throw std::runtime_error(argv[0] + " failed:\n" + output);
  }
  void Stop();  // ends the scheduler and removes its folder

  std::string root_;
  int port_ = 0;
  int pid_ = -1;  // the scheduler's process
};

}  // namespace tonalis::test

#include "support/private_cupsd.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/fixtures.h"

namespace tonalis::test {
namespace fs = std::filesystem;

namespace {

// A port that was free a moment ago on 127.0.0.1.
int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  socklen_t len = sizeof addr;
  const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
                     ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
  if (fd >= 0) ::close(fd);
  if (!bound) throw std::runtime_error("no free loopback port");
  return ntohs(addr.sin_port);
}

// Writes the configuration template `name` into `root` with its @NAME@s filled in.
void WriteConfig(const fs::path& root, const std::string& name,
                 const std::vector<std::pair<std::string, std::string>>& values) {
  std::string text = ReadBytes(fs::path(TONALIS_CUPS_TEST_DATA) / name);
  for (const auto& [key, value] : values)
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  WriteBytes(root / name, text);
  if (text.empty() || ReadBytes(root / name) != text)
    throw std::runtime_error("cannot write " + name);
}

// Starts `argv` with no input and its output and errors into `out`. The child gets SIGTERM
// when the test process ends, however that ends.
pid_t Spawn(std::vector<std::string> argv, const std::string& out) {
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  const pid_t parent = ::getpid(), pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid > 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  const int in = ::open("/dev/null", O_RDONLY),
            fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (::getppid() != parent || in < 0 || fd < 0) ::_exit(126);
  ::dup2(in, 0), ::dup2(fd, 1), ::dup2(fd, 2);
  ::execvp(args[0], args.data());
  ::_exit(127);
}

}  // namespace

PrivateCupsd::PrivateCupsd() {
  root_ = (fs::temp_directory_path() / "tonalis-cupsd-XXXXXX").string();
  if (!::mkdtemp(root_.data())) throw std::runtime_error("mkdtemp failed");
  port_ = FreeLoopbackPort();
  for (const char* dir : {"spool", "cache", "state", "log", "ppd", "home"})
    fs::create_directories(fs::path(root_) / dir);
  // As root, the scheduler runs its helpers as lp; otherwise as the user.
  const bool root = ::geteuid() == 0;
  const passwd* pw = root ? nullptr : ::getpwuid(::geteuid());
  const struct group* gr = root ? nullptr : ::getgrgid(::getegid());
  const std::string group = gr ? gr->gr_name : "lp";
  for (const char* name : {"cupsd.conf", "cups-files.conf"})
    WriteConfig(root_, name, {{"@ROOT@", root_}, {"@PORT@", std::to_string(port_)},
                              {"@USER@", pw ? pw->pw_name : "lp"}, {"@GROUP@", group},
                              {"@SYSTEMGROUP@", root ? "root" : group}});
  const std::string cupsd = ::access("/usr/sbin/cupsd", X_OK) == 0 ? "/usr/sbin/cupsd" : "cupsd";
  pid_ = Spawn({cupsd, "-f", "-c", root_ + "/cupsd.conf", "-s", root_ + "/cups-files.conf"},
               root_ + "/log/cupsd.out");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool ended = false;
  while (!(ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_) &&
         std::chrono::steady_clock::now() < deadline) {
    if (http_t* http = httpConnect2(Socket().c_str(), port_, nullptr, AF_UNSPEC,
                                    HTTP_ENCRYPTION_IF_REQUESTED, 1, 1000, nullptr)) {
      ipp_t* response = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
      ippDelete(response);
      httpClose(http);
      if (response) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (ended) pid_ = -1;
  const std::string log = ReadBytes(root_ + "/log/error_log") + ReadBytes(root_ + "/log/cupsd.out");
  Stop();
  throw std::runtime_error("cupsd did not start:\n" + log);
}

void PrivateCupsd::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    bool ended = false;
    for (int i = 0; i < 250 && !(ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!ended) ::kill(pid_, SIGKILL), ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void PrivateCupsd::UseAsConfigured() {
  ::setenv("CUPS_SERVER", Socket().c_str(), 1);
  ::setenv("CUPS_SERVERROOT", root_.c_str(), 1);
  ::setenv("HOME", (root_ + "/home").c_str(), 1);
  ::unsetenv("LPDEST"), ::unsetenv("PRINTER");
  cupsSetServer(Socket().c_str());
}

int PrivateCupsd::Run(const std::vector<std::string>& argv, std::string* output) const {
  // Through env(1), with no destination of the user's; at the loopback port, as
  // lpoptions cannot look up a queue's PPD through a socket path.
  std::vector<std::string> args = {"env", "-u", "LPDEST", "-u", "PRINTER",
                                   "CUPS_SERVER=" + Loopback(), "CUPS_SERVERROOT=" + root_,
                                   "HOME=" + root_ + "/home"};
  args.insert(args.end(), argv.begin(), argv.end());
  const std::string out = root_ + "/log/tool.out";
  int status = 0;
  ::waitpid(Spawn(args, out), &status, 0);
  if (output) *output = ReadBytes(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string PrivateCupsd::PpdFile(const std::string& name) const {
  return ReadBytes(root_ + "/ppd/" + name + ".ppd");
}

}  // namespace tonalis::test

#include "support/private_cupsd.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tonalis::test {

namespace fs = std::filesystem;

namespace {

// A port that was free a moment ago on 127.0.0.1.
int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    throw std::runtime_error("no free loopback port");
  }
  ::close(fd);
  return ntohs(addr.sin_port);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Cupsd() {
  for (const char* candidate : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd"})
    if (::access(candidate, X_OK) == 0) return candidate;
  return "cupsd";
}

// The environment of a child: ours, with `overrides` ("NAME=value") put in.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& overrides) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& o : overrides)
      if (o.substr(0, o.find('=')) == name) replaced = true;
    if (!replaced && name != "LPDEST" && name != "PRINTER") env.push_back(entry);
  }
  env.insert(env.end(), overrides.begin(), overrides.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

PrivateCupsd::PrivateCupsd() {
  std::string pattern = (fs::temp_directory_path() / "tonalis-cupsd-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  socket_ = root_ + "/cups.sock";
  port_ = FreeLoopbackPort();
  for (const char* dir : {"spool", "cache", "state", "log", "ppd", "home"})
    fs::create_directories(fs::path(root_) / dir);

  // As root, the scheduler runs its helpers as lp; otherwise as the user.
  std::string user = "lp", group = "lp";
  if (::geteuid() != 0) {
    if (const passwd* pw = ::getpwuid(::geteuid())) user = pw->pw_name;
    if (const struct group* gr = ::getgrgid(::getegid())) group = gr->gr_name;
  }

  WriteFile(fs::path(root_) / "cupsd.conf",
            "LogLevel warn\n"
            "Listen 127.0.0.1:" + std::to_string(port_) + "\n"
            "Listen " + socket_ + "\n"
            "Browsing No\n"
            "BrowseLocalProtocols none\n"
            "WebInterface No\n"
            "DefaultAuthType None\n"
            "DefaultShared No\n"
            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
            "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
  WriteFile(fs::path(root_) / "cups-files.conf",
            "ServerRoot " + root_ + "\n"
            "RequestRoot " + root_ + "/spool\n"
            "TempDir " + root_ + "/spool\n"
            "CacheDir " + root_ + "/cache\n"
            "StateDir " + root_ + "/state\n"
            "ErrorLog " + root_ + "/log/error_log\n"
            "AccessLog " + root_ + "/log/access_log\n"
            "PageLog " + root_ + "/log/page_log\n"
            "Printcap " + root_ + "/printcap\n"
            "FileDevice Yes\n"
            "Sandboxing Relaxed\n"
            "User " + user + "\n"
            "Group " + group + "\n"
            "SystemGroup " + (::geteuid() == 0 ? std::string("root") : group) + "\n");

  const std::string cupsd = Cupsd();
  const std::string conf = root_ + "/cupsd.conf";
  const std::string files = root_ + "/cups-files.conf";
  const std::string out = root_ + "/log/cupsd.out";
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // The scheduler goes when the test process goes, however it ends.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(1);
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    ::execl(cupsd.c_str(), "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (true) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      const std::string log = Log();
      fs::remove_all(root_);
      throw std::runtime_error("cupsd ended at start:\n" + log);
    }
    if (http_t* http = httpConnect2(socket_.c_str(), port_, nullptr, AF_UNSPEC,
                                    HTTP_ENCRYPTION_IF_REQUESTED, 1, 1000, nullptr)) {
      ipp_t* response = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
      ippDelete(response);
      httpClose(http);
      if (response) break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      const std::string log = Log();
      Stop();
      throw std::runtime_error("cupsd did not answer:\n" + log);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

PrivateCupsd::~PrivateCupsd() {
  Stop();
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void PrivateCupsd::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 250; ++i) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::string PrivateCupsd::Loopback() const { return "127.0.0.1:" + std::to_string(port_); }

void PrivateCupsd::UseAsConfigured() {
  ::setenv("CUPS_SERVER", socket_.c_str(), 1);
  ::setenv("CUPS_SERVERROOT", root_.c_str(), 1);
  ::setenv("HOME", (root_ + "/home").c_str(), 1);
  ::unsetenv("LPDEST");
  ::unsetenv("PRINTER");
  cupsSetServer(socket_.c_str());
}

int PrivateCupsd::Run(const std::vector<std::string>& argv, std::string* output) const {
  const std::string outFile = root_ + "/log/tool.out";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  // The tools are pointed at the loopback port: lpoptions cannot look up
  // a queue's PPD through a socket path.
  std::vector<std::string> env = ChildEnvironment({"CUPS_SERVER=" + Loopback(),
                                                   "CUPS_SERVERROOT=" + root_,
                                                   "HOME=" + root_ + "/home"});
  std::vector<std::string> args = argv;
  std::vector<char*> argp = Pointers(args);
  std::vector<char*> envp = Pointers(env);
  pid_t child = -1;
  const int error = posix_spawnp(&child, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + argv.front());
  int status = 0;
  ::waitpid(child, &status, 0);
  if (output) *output = ReadFile(outFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void PrivateCupsd::RunChecked(const std::vector<std::string>& argv) {
  std::string output;
  if (Run(argv, &output) != 0) {
    std::string command;
    for (const std::string& a : argv) command += a + " ";
    throw std::runtime_error(command + "failed:\n" + output);
  }
}

void PrivateCupsd::AddQueue(const std::string& name, const std::string& ppd) {
  RunChecked({"lpadmin", "-p", name, "-E", "-v", "file:/dev/null", "-P", ppd});
}

void PrivateCupsd::AddRawQueue(const std::string& name, const std::string& deviceUri) {
  RunChecked({"lpadmin", "-p", name, "-E", "-v", deviceUri});
}

void PrivateCupsd::SetDefault(const std::string& name) { RunChecked({"lpadmin", "-d", name}); }

std::string PrivateCupsd::PpdFile(const std::string& name) const {
  return ReadFile(fs::path(root_) / "ppd" / (name + ".ppd"));
}

std::string PrivateCupsd::Log() const {
  return ReadFile(fs::path(root_) / "log" / "error_log") +
         ReadFile(fs::path(root_) / "log" / "cupsd.out");
}

}  // namespace tonalis::test

// The child processes of the crash-safety and concurrency tests, and the one
// harness that kills a writer again and again.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include "platform/interaction.h"

namespace tonalis::test {

// TONALIS_KILL_SEED repeats a run; otherwise one is made from the clock.
inline uint64_t KillSeed() {
  if (const char* env = std::getenv("TONALIS_KILL_SEED")) return std::strtoull(env, nullptr, 10);
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// Starts `body` in a child of its own process group that dies with the test;
// its return value becomes the exit status.
inline pid_t StartChild(const std::function<int()>& body) {
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(120);
    ::_exit(body());
  }
  if (pid > 0) ::setpgid(pid, pid);
  return pid;
}

inline int WaitChild(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// What a child shows and answers: nothing to a terminal, yes to questions.
class QuietInteraction final : public UserInteraction {
 public:
  void Show(const Message& m) override { last = m; }
  bool Ask(const Message&) override { return true; }
  Message last;
};

struct KillFigures {
  int kills = 0, oldVersion = 0, newVersion = 0;
};

// Starts `writer` (which writes for ever) and SIGKILLs its process group
// after a delay spread over the orders of magnitude from `minUs` to `maxUs`,
// `runs` times (TONALIS_KILL_RUNS overrides). After each kill `check` gets
// whether the file changed and must see one whole version; it returns false
// to stop. The figures are printed in the form the reliability report quotes.
inline KillFigures KillRepeatedly(const char* what, int runs, double minUs, double maxUs,
                                  const std::function<std::string()>& current,
                                  const std::function<int()>& writer,
                                  const std::function<bool(const std::string& before,
                                                           const std::string& after)>& check) {
  if (const char* env = std::getenv("TONALIS_KILL_RUNS"); env && std::atoi(env) > 0)
    runs = std::atoi(env);
  const uint64_t seed = KillSeed();
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> spread(std::log(minUs), std::log(maxUs));
  KillFigures figures;
  for (int run = 0; run < runs; ++run) {
    const std::string before = current();
    const pid_t child = StartChild(writer);
    ::usleep(static_cast<useconds_t>(std::exp(spread(rng))));
    ::kill(-child, SIGKILL);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFSIGNALED(status)) {
      std::printf("%s: the writer stopped by itself (%d), seed %llu\n", what, WEXITSTATUS(status),
                  static_cast<unsigned long long>(seed));
      break;
    }
    ++figures.kills;
    const std::string after = current();
    ++(after == before ? figures.oldVersion : figures.newVersion);
    if (!check(before, after)) break;
  }
  std::printf("kill-figures: %s kills=%d old=%d new=%d seed=%llu\n", what, figures.kills,
              figures.oldVersion, figures.newVersion, static_cast<unsigned long long>(seed));
  std::fflush(stdout);
  return figures;
}

}  // namespace tonalis::test

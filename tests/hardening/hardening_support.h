// Helpers of the crash-safety and concurrency tests: seeded random kill
// delays, child processes that never return into the test, the two versions
// a file alternates between, and the figures each test prints.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "platform/interaction.h"

namespace tonalis::test {

// TONALIS_KILL_RUNS (default `fallback`): how many kills a crash-safety test
// makes; the long version sets it to thousands.
inline int KillRuns(int fallback) {
  const char* env = std::getenv("TONALIS_KILL_RUNS");
  const int runs = env ? std::atoi(env) : 0;
  return runs > 0 ? runs : fallback;
}

// TONALIS_KILL_SEED, or one made from the clock; printed so a run can be
// repeated.
inline uint64_t KillSeed() {
  if (const char* env = std::getenv("TONALIS_KILL_SEED")) return std::strtoull(env, nullptr, 10);
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// Delays spread evenly over the orders of magnitude from `minUs` to `maxUs`,
// so that kills land early and late in a write alike.
class KillClock {
 public:
  KillClock(uint64_t seed, double minUs, double maxUs)
      : rng_(seed), spread_(std::log(minUs), std::log(maxUs)) {}
  std::chrono::microseconds Next() {
    return std::chrono::microseconds(static_cast<long>(std::exp(spread_(rng_))));
  }

 private:
  std::mt19937_64 rng_;
  std::uniform_real_distribution<double> spread_;
};

// Starts `body` in a child process of its own process group, which dies with
// the test; `body` never returns into the test (its return value becomes the
// exit status).
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

// SIGKILLs the child's whole process group and reaps it. Returns the wait
// status.
inline int KillChild(pid_t pid) {
  ::kill(-pid, SIGKILL);
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
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

// The figures of one crash-safety test, printed in a form the reliability
// report quotes.
struct KillFigures {
  int kills = 0;
  int oldVersion = 0;
  int newVersion = 0;
  int temporariesLeft = 0;  // kills that landed between creating and renaming

  void Print(const char* what, uint64_t seed) const {
    std::printf("kill-figures: %s kills=%d old=%d new=%d temporaries-left=%d seed=%llu\n", what,
                kills, oldVersion, newVersion, temporariesLeft,
                static_cast<unsigned long long>(seed));
    std::fflush(stdout);
  }
};

}  // namespace tonalis::test

// What applying six definitions to a 2 MB PPD costs (read, then write),
// against the least that any durable replacement of that file costs: copy its
// bytes into a new file in the same folder, flush it, rename it over the old.
// The two are run alternately on the same file so that both see the same disk
// and cache state. Two PPDs of 2 MB: a real vendor PPD padded with comment
// lines, and a generated one of ten thousand small options (where libcups'
// own parser, which checks every write, is at its slowest). The share of that
// check is given apart. With a tonalis-cli, the whole command is timed too.
//
// Usage: bench_ppd_apply [folder] [rounds] [tonalis-cli]
// The folder (default: the system's temporary folder) should be on the disk
// whose cost is of interest; a scratch folder is made inside it and removed.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/definition_table.h"
#include "model/tone_curve.h"
#include "platform/file_replace.h"
#include "formats/library_file.h"
#include "formats/ppd_tone.h"
#include "formats/ppd_verify.h"
#include <spawn.h>
#include <sys/wait.h>
#include <fstream>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

class Silent : public tonalis::UserInteraction {
 public:
  void Show(const tonalis::Message& m) override {
    if (m.stringId != tonalis::sid::kPpdWritten) failures.push_back(m.FullText());
  }
  bool Ask(const tonalis::Message&) override { return true; }
  std::vector<std::string> failures;
};

// A real-looking PPD body, padded with option groups and comments to `size`.
std::string MakePpd(std::size_t size) {
  std::string ppd =
      "*PPD-Adobe: \"4.3\"\r\n*FormatVersion: \"4.3\"\r\n*FileVersion: \"2.1\"\r\n"
      "*LanguageVersion: English\r\n*LanguageEncoding: ISOLatin1\r\n"
      "*PCFileName: \"BENCH.PPD\"\r\n*Manufacturer: \"Bench\"\r\n"
      "*ModelName: \"Bench Color PS\"\r\n*NickName: \"Bench Color PS v2.1\"\r\n"
      "*QRHTUtility: True\r\n*ColorDevice: True\r\n*DefaultColorSpace: CMYK\r\n";
  const std::string tail =
      "*% Font Information =====================\r\n*DefaultFont: Courier\r\n"
      "*Font Courier: Standard \"(002.004S)\" Standard ROM\r\n"
      "*Font Helvetica: Standard \"(001.006S)\" Standard ROM\r\n*% End of file\r\n";
  for (int group = 0; ppd.size() + tail.size() < size; ++group) {
    const std::string name = "Option" + std::to_string(group);
    ppd += "*% Settings of " + name + ": padding so that the file reaches a real size\r\n";
    ppd += "*OpenUI *" + name + "/" + name + ": PickOne\r\n";
    ppd += "*OrderDependency: 50 AnySetup *" + name + "\r\n*Default" + name + ": Off\r\n";
    for (int choice = 0; choice < 4; ++choice) {
      ppd += "*" + name + " C" + std::to_string(choice) + "/Choice " + std::to_string(choice) +
             ": \"<</DeviceRenderingInfo << /ValuesPerColorComponent " +
             std::to_string(2 + choice) + " >> >> setpagedevice\"\r\n";
    }
    ppd += "*CloseUI: *" + name + "\r\n";
  }
  return ppd + tail;
}

tonalis::PrinterDefinitionList SixDefinitions() {
  tonalis::PrinterDefinitionList list;
  tonalis::EmptyTable(list);
  for (int d = 0; d < 6; ++d) {
    tonalis::DensityDef def = tonalis::NewDefinition();
    tonalis::SetName(def, "Bench " + std::to_string(d + 1));
    def.allChannels = d % 2;  // three with four tables, three with one
    for (int c = 0; c < tonalis::kChannelCount; ++c) {
      const auto points = tonalis::ApplyGamma(60 + 40 * d + 10 * c);
      std::copy(points.begin(), points.end(), def.channels[c].points);
    }
    tonalis::InsertDefinition(list, def, tonalis::InsertMode::AddMode());
  }
  return list;
}

// The same PPD held in memory: what apply costs without the disk.
class MemoryTarget : public tonalis::PpdTarget {
 public:
  explicit MemoryTarget(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string Describe() const override { return "memory"; }
  int Read(std::string& bytes) const override {
    bytes = bytes_;
    return 0;
  }
  tonalis::ReplaceResult Replace(const std::string& bytes) const override {
    bytes_ = bytes;
    return {};
  }
  bool IsReadOnly() const override { return false; }
  int MakeWritable() const override { return 0; }

 private:
  mutable std::string bytes_;
};

// Copy the file's bytes to a new file in its folder, flush, rename over it,
// flush the folder.
bool DurableCopy(const std::string& path) {
  std::string bytes;
  if (tonalis::ReadWholeFile(path, bytes) != 0) return false;
  const std::string temp = path + ".copy";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const bool ok = done == bytes.size() && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) return false;
  const int dir = ::open(std::filesystem::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY);
  if (dir < 0) return false;
  const bool synced = ::fsync(dir) == 0;
  ::close(dir);
  return synced;
}

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}



// The vendor PPD, its comment lines repeated up to `size`.
std::string PaddedVendorPpd(std::size_t size) {
  std::ifstream in(TONALIS_BENCH_VENDOR_PPD, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::string ppd = all.str();
  const std::size_t cut = ppd.find('\n', ppd.find("*NickName")) + 1;
  std::string padding;
  for (int i = 0; ppd.size() + padding.size() < size; ++i)
    padding += "*% padding comment line " + std::to_string(i) + ", as long as a real one\n";
  return ppd.substr(0, cut) + padding + ppd.substr(cut);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return bool(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

// Runs a program and waits for it; true when it exits with 0.
bool Run(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return error == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

struct Figures {
  double apply, unchecked, copy, cli = 0, start = 0;
};

std::optional<Figures> Measure(const std::filesystem::path& folder, const std::string& ppd,
                               int rounds, const char* cli) {
  const std::string path = (folder / "bench.ppd").string();
  const std::string library = (folder / "QR_grad.dat").string();
  if (!WriteFile(path, ppd)) return std::nullopt;
  Silent ui;
  const tonalis::PrinterDefinitionList six = SixDefinitions();
  {
    auto lib = std::make_unique<tonalis::DefinitionLibrary>();
    tonalis::EmptyTable(*lib);
    for (int i : tonalis::VisibleSlots(six))
      tonalis::InsertDefinition(*lib, six.slots[i], tonalis::InsertMode::AddMode());
    const std::vector<uint8_t> image = tonalis::EncodeLibrary(*lib);
    if (!WriteFile(library, std::string(image.begin(), image.end()))) return std::nullopt;
  }
  auto apply = [&] {
    tonalis::PrinterDefinitionList list;
    const auto outcome = tonalis::GetPPDToneInfo(tonalis::FileTarget(path), list, {ui});
    return outcome.loaded && tonalis::SetPPDToneInfo(*outcome.loaded, six, {ui});
  };
  std::vector<std::string> command = {cli ? cli : "", "apply", path, "--library", library};
  for (int d = 1; d <= 6; ++d) command.push_back("Bench " + std::to_string(d));

  // One of each first: the PPD then holds its section, as it does in use.
  bool ok = apply() && DurableCopy(path);
  std::vector<double> applyMs, copyMs, uncheckedMs, cliMs, startMs;
  auto timed = [&](auto&& step, std::vector<double>& ms) {
    const auto t0 = Clock::now();
    ok = ok && step();
    ms.push_back(Millis(Clock::now() - t0));
  };
  // Which of the two goes first alternates, so neither always pays for the
  // disk work the other left behind.
  for (int r = 0; ok && r < rounds; ++r) {
    if (r % 2 == 0) {
      timed(apply, applyMs);
      timed([&] { return DurableCopy(path); }, copyMs);
    } else {
      timed([&] { return DurableCopy(path); }, copyMs);
      timed(apply, applyMs);
    }
    if (cli) {
      timed([&] { return Run(command); }, cliMs);
      timed([&] { return Run({cli, "--version"}); }, startMs);
    }
  }
  // The same apply without libcups' second opinion: read, compose, replace.
  for (int r = 0; ok && r < rounds; ++r) {
    timed([&] {
      tonalis::PrinterDefinitionList list;
      const auto target = tonalis::FileTarget(path);
      const auto outcome = tonalis::GetPPDToneInfo(target, list, {ui});
      if (!outcome.loaded) return false;
      const tonalis::WrittenPpd written = tonalis::ComposePpd(outcome.loaded->state(), six);
      return target->Replace(written.bytes).ok;
    }, uncheckedMs);
  }
  if (!ok) {
    std::fprintf(stderr, "bench_ppd_apply: a round failed\n");
    for (const auto& f : ui.failures) std::fprintf(stderr, "  %s\n", f.c_str());
    return std::nullopt;
  }
  Figures f{Median(applyMs), Median(uncheckedMs), Median(copyMs)};
  if (cli) {
    f.cli = Median(cliMs);
    f.start = Median(startMs);
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path base =
      argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
  const char* cli = argc > 3 ? argv[3] : nullptr;

  std::string pattern = (base / "tonalis-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::filesystem::path folder = pattern;
  std::printf("Medians of %d rounds in %s (goal: apply at most 1.5 x the durable copy)\n", rounds,
              base.c_str());
  std::printf("%-34s %9s %7s %16s %7s %9s\n", "2 MB PPD", "apply ms", "ratio",
              "without check ms", "ratio", "copy ms");
  int status = 0;
  const std::pair<const char*, std::string> ppds[] = {
      {"vendor PPD, comment lines added", PaddedVendorPpd(2 * 1024 * 1024)},
      {"10,000 generated options", MakePpd(2 * 1024 * 1024)}};
  for (const auto& [what, ppd] : ppds) {
    const std::optional<Figures> f = Measure(folder, ppd, rounds, cli);
    if (!f) {
      status = 1;
      continue;
    }
    std::printf("%-34s %9.2f %7.2f %16.2f %7.2f %9.2f\n", what, f->apply, f->apply / f->copy,
                f->unchecked, f->unchecked / f->copy, f->copy);
    if (cli)
      std::printf("  tonalis-cli apply, the whole command: %.2f ms (its start-up alone, --version: %.2f ms)\n",
                  f->cli, f->start);
  }
  std::filesystem::remove_all(folder);
  return status;
}

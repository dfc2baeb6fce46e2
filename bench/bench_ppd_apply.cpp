// What applying six definitions to a 2 MB PPD costs (read, then write),
// against the least that any durable replacement of that file costs: copy its
// bytes into a new file in the same folder, flush it, rename it over the old.
// The two are run alternately on the same file so that both see the same disk
// and cache state.
//
// Usage: bench_ppd_apply [folder] [rounds]
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
#include <string>
#include <vector>

#include "model/definition_table.h"
#include "model/tone_curve.h"
#include "platform/file_replace.h"
#include "formats/ppd_tone.h"

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

// Copy the file's bytes to a new file in its folder, flush, rename over it.
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
  return ok && ::rename(temp.c_str(), path.c_str()) == 0;
}

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path base =
      argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 25;

  std::string pattern = (base / "tonalis-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::filesystem::path folder = pattern;
  const std::string path = (folder / "bench.ppd").string();
  {
    const std::string ppd = MakePpd(2 * 1024 * 1024);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(ppd.data(), 1, ppd.size(), f) != ppd.size()) return 1;
    std::fclose(f);
  }

  Silent ui;
  const tonalis::PrinterDefinitionList six = SixDefinitions();
  auto apply = [&] {
    tonalis::PrinterDefinitionList list;
    const auto outcome = tonalis::GetPPDToneInfo(tonalis::FileTarget(path), list, {ui});
    return outcome.loaded && tonalis::SetPPDToneInfo(*outcome.loaded, six, {ui});
  };

  // One of each first: the PPD then holds its section, as it does in use.
  bool ok = apply() && DurableCopy(path);
  std::vector<double> applyMs, copyMs;
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
  }
  // Without the disk, for the share of the work that is the program's own.
  std::vector<double> memoryMs;
  {
    std::string bytes;
    tonalis::ReadWholeFile(path, bytes);
    const auto target = std::make_shared<MemoryTarget>(bytes);
    for (int r = 0; ok && r < rounds; ++r) {
      timed([&] {
        tonalis::PrinterDefinitionList list;
        const auto outcome = tonalis::GetPPDToneInfo(target, list, {ui});
        return outcome.loaded && tonalis::SetPPDToneInfo(*outcome.loaded, six, {ui});
      }, memoryMs);
    }
  }
  const auto size = std::filesystem::file_size(path);
  std::filesystem::remove_all(folder);
  if (!ok) {
    std::fprintf(stderr, "bench_ppd_apply: a round failed\n");
    for (const auto& f : ui.failures) std::fprintf(stderr, "  %s\n", f.c_str());
    return 1;
  }

  const double a = Median(applyMs), c = Median(copyMs);
  std::printf("PPD of %ju bytes in %s, %d rounds, medians:\n", static_cast<uintmax_t>(size),
              base.c_str(), rounds);
  std::printf("  apply six definitions (read + write): %8.3f ms\n", a);
  std::printf("  durable copy (copy, fsync, rename):   %8.3f ms\n", c);
  std::printf("  ratio apply / copy: %.2f (goal: at most 1.50)\n", a / c);
  const double amin = *std::min_element(applyMs.begin(), applyMs.end());
  const double cmin = *std::min_element(copyMs.begin(), copyMs.end());
  std::printf("  fastest rounds: apply %.3f ms, copy %.3f ms, ratio %.2f\n", amin, cmin,
              amin / cmin);
  std::printf("  (apply with the PPD in memory, no disk: %.3f ms)\n", Median(memoryMs));
  return 0;
}

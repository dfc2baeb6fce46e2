// Shared helpers of the PPD tests: a scratch folder, golden files, curves,
// and a FileOps double that fails one step of a file replacement.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/definition_table.h"
#include "model/density_def.h"
#include "platform/file_replace.h"
#include "formats/ppd_tone.h"
#include "support/scripted_interaction.h"

namespace tonalis::test {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string Golden(const std::string& name) {
  const std::string path = std::string(TONALIS_PPD_TEST_DATA) + "/" + name;
  std::string bytes = ReadBytes(path);
  EXPECT_FALSE(bytes.empty()) << "missing golden file " << path;
  return bytes;
}

// A fresh folder per test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tonalis-ppd-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

constexpr int32_t U = kUnset;
using Points = std::array<int32_t, kPointCount>;

inline ToneCurve Curve(const Points& points, int32_t gamma = kUnset) {
  ToneCurve c{};
  for (int i = 0; i < kPointCount; ++i) c.points[i] = points[i];
  c.gamma = gamma;
  return c;
}
inline Points Ends(int32_t low, int32_t high) { return {low, U, U, U, U, U, U, U, U, U, U, U, high}; }

inline const Points kIdentity = {0,    500,  1000, 2000, 3000, 4000, 5000,
                                 6000, 7000, 8000, 9000, 9500, 10000};
inline const Points kGamma22 = {0,    13,   63,   289,  707,  1332, 2176,
                                3250, 4562, 6120, 7931, 8932, 10000};

inline DensityDef Def(std::string_view name, int32_t allChannels, std::array<ToneCurve, 4> ch) {
  DensityDef d = NewDefinition();
  SetName(d, name);
  d.allChannels = allChannels;
  for (int c = 0; c < kChannelCount; ++c) d.channels[c] = ch[c];
  return d;
}
inline DensityDef Def(std::string_view name, int32_t allChannels, const ToneCurve& all) {
  return Def(name, allChannels, {all, all, all, all});
}

// The one definition of the section example: identity, one table.
inline DensityDef Standard() { return Def("Standard", 1, Curve(kIdentity)); }

inline PrinterDefinitionList ListOf(std::initializer_list<DensityDef> defs) {
  PrinterDefinitionList list;
  EmptyTable(list);
  for (const DensityDef& d : defs) InsertDefinition(list, d, InsertMode::AddMode());
  return list;
}

// Fails one step of a replacement with a given errno. A failing write first
// lets `writeBudget` bytes through, so the temporary file is partly written.
class FailingFileOps : public FileOps {
 public:
  enum class Step { None, Create, Write, Fsync, Rename };
  FailingFileOps(Step step, int error, size_t writeBudget = 0)
      : step_(step), error_(error), budget_(writeBudget) {}

  int CreateTemp(std::string& pattern, int suffix_len) override {
    if (step_ == Step::Create) return Fail();
    return FileOps::CreateTemp(pattern, suffix_len);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (step_ == Step::Write) {
      if (budget_ == 0) return Fail();
      const size_t n = std::min(size, budget_);
      budget_ -= n;
      return FileOps::Write(fd, data, n);
    }
    return FileOps::Write(fd, data, size);
  }
  int Fsync(int fd) override { return step_ == Step::Fsync ? Fail() : FileOps::Fsync(fd); }
  int Rename(const char* from, const char* to) override {
    return step_ == Step::Rename ? Fail() : FileOps::Rename(from, to);
  }

 private:
  int Fail() {
    errno = error_;
    return -1;
  }
  Step step_;
  int error_;
  size_t budget_;
};

// Reads a file target, expecting success.
inline LoadedPpd MustLoad(const std::shared_ptr<PpdTarget>& target, PrinterDefinitionList& list,
                          ScriptedInteraction& ui) {
  PpdReadOutcome outcome = GetPPDToneInfo(target, list, {ui});
  EXPECT_EQ(outcome.result, kPpdLoaded);
  EXPECT_TRUE(outcome.loaded.has_value());
  if (!outcome.loaded) throw std::runtime_error("PPD did not load");
  return std::move(*outcome.loaded);
}

inline struct timespec ModificationTime(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mtim;
}

}  // namespace tonalis::test

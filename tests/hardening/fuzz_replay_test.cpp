// Replays every saved fuzz finding (tests/data/fuzz/TARGET/*) through the
// target it was found by, and every PPD and library file of tests/data
// through the readers' targets, with the checks the fuzzers make.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "targets.h"

namespace tonalis {
namespace {

namespace fs = std::filesystem;

const fs::path kData = TONALIS_TEST_DATA_DIR;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<fs::path> FilesUnder(const fs::path& dir, const std::string& extension = {}) {
  std::vector<fs::path> files;
  if (!fs::exists(dir)) return files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() && (extension.empty() || e.path().extension() == extension))
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

void Replay(fuzz::Target target, const fs::path& file) {
  const std::string bytes = ReadFile(file);
  try {
    target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  } catch (const std::runtime_error& broken) {
    ADD_FAILURE() << file << ": " << broken.what();
  }
}

class FuzzReplay : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fuzz::SetFailureHandler([](const std::string& what) { throw std::runtime_error(what); });
  }
  static void TearDownTestSuite() { fuzz::SetFailureHandler(nullptr); }
};

TEST_F(FuzzReplay, SavedFindingsPassTheirTargets) {
  int replayed = 0;
  for (const fuzz::NamedTarget& t : fuzz::kTargets) {
    for (const fs::path& file : FilesUnder(kData / "fuzz" / std::string(t.name))) {
      Replay(t.run, file);
      ++replayed;
    }
  }
  // Every folder under tests/data/fuzz belongs to a target.
  for (const auto& e : fs::directory_iterator(kData / "fuzz")) {
    bool known = false;
    for (const fuzz::NamedTarget& t : fuzz::kTargets) known |= e.path().filename() == t.name;
    EXPECT_TRUE(known) << e.path();
  }
  EXPECT_GT(replayed, 0);
}

TEST_F(FuzzReplay, TestDataPassesTheReaderTargets) {
  std::vector<fs::path> ppds = FilesUnder(kData, ".ppd");
  ASSERT_FALSE(ppds.empty());
  for (const fs::path& file : ppds) {
    Replay(fuzz::PpdRead, file);
    Replay(fuzz::PpdRoundTrip, file);
  }
  for (const fs::path& file : FilesUnder(kData, ".dat")) Replay(fuzz::LibraryRead, file);
}

}  // namespace
}  // namespace tonalis

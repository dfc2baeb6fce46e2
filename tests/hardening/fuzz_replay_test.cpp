// Replays every saved fuzz finding (tests/data/fuzz/TARGET/*) through the target it was found
// by, and every PPD, library and .ti3 file of tests/data through the readers' targets, with the
// checks the fuzzers make.
#include "support/fixtures.h"
#include "targets.h"

namespace tonalis {
namespace {

namespace fs = std::filesystem;

// Runs `target` on every file under `dir` whose name ends in `extension`.
int Replay(fuzz::Target target, const fs::path& dir, const std::string& extension = {}) {
  int replayed = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file() || !e.path().string().ends_with(extension)) continue;
    const std::string bytes = test::ReadBytes(e.path());
    try {
      target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    } catch (const std::runtime_error& broken) {
      ADD_FAILURE() << e.path() << ": " << broken.what();
    }
    ++replayed;
  }
  return replayed;
}

TEST(FuzzReplay, SavedFindingsAndTestDataPassTheirTargets) {
  // A broken promise fails this test, named, instead of aborting the suite.
  fuzz::SetFailureHandler([](const std::string& what) { throw std::runtime_error(what); });
  const fs::path data = TONALIS_TEST_DATA;
  int findings = 0;
  for (const auto& folder : fs::directory_iterator(data / "fuzz")) {
    const auto t = std::find_if(std::begin(fuzz::kTargets), std::end(fuzz::kTargets),
                                [&](const auto& t) { return folder.path().filename() == t.name; });
    if (t == std::end(fuzz::kTargets)) ADD_FAILURE() << folder.path() << " belongs to no target";
    else findings += Replay(t->run, folder.path());
  }
  EXPECT_GT(findings, 0);
  EXPECT_GT(Replay(fuzz::PpdRead, data, ".ppd"), 20);
  Replay(fuzz::PpdRoundTrip, data, ".ppd");
  EXPECT_GT(Replay(fuzz::LibraryRead, data, ".dat"), 0);
  EXPECT_GT(Replay(fuzz::MeasurementsFile, data, ".ti3"), 0);
  fuzz::SetFailureHandler(nullptr);
}

}  // namespace
}  // namespace tonalis

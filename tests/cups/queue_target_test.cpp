// A queue's PPD as the reader and writer see it, over a fake spooler.
#include "ppd/queue_target.h"

#include <gtest/gtest.h>

#include <memory>

#include "cups_test_ppd.h"
#include "model/definition_table.h"
#include "ppd/ppd_tone.h"
#include "support/fake_spooler.h"
#include "support/scripted_interaction.h"

namespace tonalis {
namespace {

using test::FakeSpooler;
using test::TestPpd;

class QueueTargetTest : public ::testing::Test {
 protected:
  QueueTargetTest() {
    fake.Add({"Q", "Tonalis Marked PS", original});
    target = std::make_shared<PpdQueueTarget>(fake, QueueRef{"", "Q"});
  }

  // Reads the queue, adds one definition and writes it back.
  bool ReadAddWrite() {
    PpdReadOutcome read = GetPPDToneInfo(target, *list, services);
    EXPECT_EQ(read.result, kPpdLoaded);
    DensityDef def = NewDefinition();
    SetName(def, "Warm");
    InsertDefinition(*list, def, InsertMode::AddMode());
    return SetPPDToneInfo(*read.loaded, *list, services);
  }

  const std::string original = TestPpd("Tonalis Marked PS", true);
  FakeSpooler fake;
  std::shared_ptr<PpdQueueTarget> target;
  test::ScriptedInteraction ui;
  PpdServices services{ui};
  std::unique_ptr<PrinterDefinitionList> list = std::make_unique<PrinterDefinitionList>();
};

TEST_F(QueueTargetTest, NamesTheQueueAndItsServer) {
  EXPECT_EQ(target->Describe(), "Q");
  EXPECT_EQ(PpdQueueTarget(fake, {"print.example:631", "Q"}).Describe(),
            "Q on print.example:631");
}

TEST_F(QueueTargetTest, LineEndingsAreConvertedInTheCopyAndReachTheQueueWithTheWrite) {
  std::string bytes;
  ASSERT_EQ(target->Read(bytes), 0);
  EXPECT_EQ(bytes, ConvertLineEndings(original));
  EXPECT_EQ(fake.Ppd("Q"), original);

  ASSERT_TRUE(ReadAddWrite());
  EXPECT_EQ(fake.replaced, (std::vector<std::string>{"Q"}));
  const std::string& written = fake.Ppd("Q");
  EXPECT_NE(written.find("*OpenUI *VLTone/"), std::string::npos);
  EXPECT_EQ(written, ConvertLineEndings(written));
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdWritten}));
}

TEST_F(QueueTargetTest, RefusalShowsTheSchedulersReasonAndKeepsTheOldPpd) {
  fake.replaceFailure = FakeSpooler::Fail(0x0403, "Not authorized to modify the printer");
  EXPECT_FALSE(ReadAddWrite());
  ASSERT_EQ(ui.shown().size(), 1u);
  EXPECT_EQ(ui.shown()[0].stringId, sid::kPpdWriteFailed);
  EXPECT_EQ(ui.shown()[0].detail, "Not authorized to modify the printer");
  EXPECT_EQ(ui.shown()[0].subject, "Q");
  EXPECT_EQ(fake.Ppd("Q"), original);

  const ReplaceResult result = target->Replace("x");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.failedStep, "scheduler");
  EXPECT_EQ(result.error, EACCES);
}

}  // namespace
}  // namespace tonalis

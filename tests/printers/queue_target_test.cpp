// A queue's PPD as the reader and writer see it, over a fake spooler.
#include "printers/queue_target.h"

#include <gtest/gtest.h>

#include <memory>

#include "cups_test_ppd.h"
#include "model/definition_table.h"
#include "formats/ppd_tone.h"
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

TEST_F(QueueTargetTest, KeepsTheQueuesBytesAndTheSavedChoiceFollowsItsDefinition) {
  std::string bytes;
  ASSERT_EQ(target->Read(bytes), 0);
  EXPECT_EQ(bytes, original);

  ASSERT_TRUE(ReadAddWrite());  // Warm becomes Gumma1
  EXPECT_EQ(fake.replaced, (std::vector<std::string>{"Q"}));
  const std::string written = fake.Ppd("Q");
  EXPECT_NE(written.find("*VLTone Gumma1/Warm: \"\n"), std::string::npos);
  EXPECT_EQ(written.find('\r'), std::string::npos);
  EXPECT_EQ(ui.Ids(), (std::vector<int>{sid::kPpdWritten}));

  // The user saved Warm as the queue's default; another definition is added
  // before it: Warm keeps Gumma1, and so does the saved choice.
  fake.saved["Q"]["VLTone"] = "Gumma1";
  PpdReadOutcome read = GetPPDToneInfo(target, *list, services);
  ASSERT_EQ(read.result, kPpdLoaded);
  DensityDef cool = NewDefinition();
  SetName(cool, "Cool");
  const DensityDef warm = list->slots[0];
  EmptyTable(*list);
  InsertDefinition(*list, cool, InsertMode::AddMode());
  InsertDefinition(*list, warm, InsertMode::AddMode());
  ASSERT_TRUE(SetPPDToneInfo(*read.loaded, *list, services));
  EXPECT_NE(fake.Ppd("Q").find("*VLTone Gumma2/Cool: \"\n"), std::string::npos);
  EXPECT_EQ(fake.saved["Q"]["VLTone"], "Gumma1");

  // Warm goes: the saved choice would name nothing, or a later definition.
  read = GetPPDToneInfo(target, *list, services);
  ASSERT_EQ(read.result, kPpdLoaded);
  EmptyTable(*list);
  InsertDefinition(*list, cool, InsertMode::AddMode());
  ASSERT_TRUE(SetPPDToneInfo(*read.loaded, *list, services));
  EXPECT_FALSE(fake.saved["Q"].count("VLTone"));
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

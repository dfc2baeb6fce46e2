// The list commands New, Copy, Edit, Delete, Add and Pick out, driven through
// the window's buttons. Most tests script the editor's result; the last ones
// drive the real curve editor from inside its modal loop and follow the
// definitions into the files that Apply writes.
#include <QApplication>
#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <deque>

#include "model/value_text.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

// A definition told apart from others of its name by the 50 % point of every
// channel.
DensityDef Marked(const std::string& name, int32_t middle) {
  DensityDef def = Definition(name);
  for (ToneCurve& curve : def.channels) curve.points[6] = middle;
  return def;
}

int32_t Middle(const DensityDef& def) {
  return def.channels[kCyan].points[6];
}

std::string LibraryImageOf(const std::vector<DensityDef>& defs) {
  auto library = std::make_unique<DefinitionLibrary>();
  EmptyTable(*library);
  for (const auto& def : defs) InsertDefinition(*library, def, InsertMode::AddMode());
  const std::vector<uint8_t> image = EncodeLibrary(*library);
  return {image.begin(), image.end()};
}

std::string PpdWith(const std::vector<DensityDef>& defs) {
  PrinterDefinitionList list;
  EmptyTable(list);
  for (const auto& def : defs) InsertDefinition(list, def, InsertMode::AddMode());
  return "*PPD-Adobe: \"4.3\"\r\n*QRHTUtility: True\r\n*NickName: \"Demo Color PS\"\r\n" +
         BuildSection(list) + "*% Font Information\r\n";
}

template <int C>
Names SlotNames(const DefinitionTable<C>& table) {
  Names names;
  for (auto name : VisibleNames(table)) names.emplace_back(name);
  return names;
}

template <int C>
const DensityDef& Find(const DefinitionTable<C>& table, const std::string& name) {
  static const DensityDef missing{};
  const auto slot = FindDefinition(table, name);
  EXPECT_TRUE(slot.has_value()) << name;
  return slot ? table.slots[*slot] : missing;
}

// Stands in for the curve editor: each pass records the definition it was
// opened on and plays the next scripted step on it.
class ScriptedEditor {
 public:
  using Step = std::function<int(DensityDef&)>;
  ScriptedEditor& Then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  ScriptedEditor& Accept(const std::string& name) {
    return Then([name](DensityDef& def) {
      SetName(def, name);
      return ui::kEditorAccepted;
    });
  }
  ScriptedEditor& AcceptAsIs() {
    return Then([](DensityDef&) { return ui::kEditorAccepted; });
  }
  ScriptedEditor& Cancel() {
    return Then([](DensityDef&) { return ui::kEditorCancelled; });
  }

  int operator()(DensityDef& def) {
    opened.push_back(def);
    if (steps_.empty()) {
      ADD_FAILURE() << "the editor opened once more than scripted";
      return ui::kEditorCancelled;
    }
    const Step step = std::move(steps_.front());
    steps_.pop_front();
    return step(def);
  }

  std::vector<DensityDef> opened;

 private:
  std::deque<Step> steps_;
};

class ListCommands : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Write("demo.ppd", PpdText("Demo Color PS", {"Warm", "Cool"}));
    Write("QR_grad.dat", LibraryImage({"Vivid", "Soft", "Neutral"}));
    runEditor = [this](DensityDef& def) { return editor(def); };
  }
  bool StartOnDemo() { return Start("demo.ppd"); }
  // A library of `n` names "Def 0" ... in slots 0 ...
  void WriteLibraryOf(int n) {
    Names names;
    for (int i = 0; i < n; ++i) names.push_back("Def " + std::to_string(i));
    Write("QR_grad.dat", LibraryImage(names));
  }
  static int SelectedRow(const QListWidget* box) {
    const auto selected = box->selectedItems();
    return selected.isEmpty() ? -1 : box->row(selected.front());
  }
  int LibraryRow() { return SelectedRow(LibraryBox()); }
  int PrinterRow() { return SelectedRow(PrinterBox()); }
  bool Marks(bool library, bool printer) {
    return window().libraryModified == library && window().printerListModified == printer;
  }

  ScriptedEditor editor;
};

TEST_F(ListCommands, NewOpensABlankDefinitionAndSelectsWhatWasStored) {
  ASSERT_TRUE(StartOnDemo());
  editor.Cancel();
  Click(ids::kNew);
  EXPECT_EQ(LibraryEntries(), (Names{"Neutral", "Soft", "Vivid"}));
  EXPECT_TRUE(Marks(false, false));

  // A name equal but for case is another name; one found only on the
  // printer list is free in the library.
  SelectPrinterEntry(1);
  editor.Accept("Soft").Accept("soft");
  Click(ids::kNew);
  editor.Accept("Warm");
  Click(ids::kNew);
  ASSERT_EQ(editor.opened.size(), 4u);
  EXPECT_EQ(editor.opened[0], NewDefinition());
  EXPECT_EQ(NameOf(editor.opened[2]), "Soft");
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNameTaken});
  EXPECT_EQ(interaction.shown()[0].kind, MessageKind::Information);

  EXPECT_EQ(LibraryEntries(), (Names{"Neutral", "Soft", "soft", "Vivid", "Warm"}));
  EXPECT_EQ(SlotNames(window().library()), (Names{"Vivid", "Soft", "Neutral", "soft", "Warm"}));
  EXPECT_EQ(LibraryRow(), 4);
  EXPECT_EQ(PrinterRow(), -1);
  EXPECT_EQ(Commands(), "NCA-ED");
  EXPECT_TRUE(Marks(true, false));
}

TEST_F(ListCommands, ACopyMustBeRenamedAndTheEditorReopensOnWhatWasConfirmed) {
  Write("QR_grad.dat", LibraryImageOf({Marked("Soft", 3000), Definition("Vivid")}));
  ASSERT_TRUE(StartOnDemo());
  const std::string before = Read("QR_grad.dat");

  // Confirmed under its source's name, then cancelled: nothing changes.
  SelectLibrary("Soft");
  editor.AcceptAsIs().Cancel();
  Click(ids::kCopy);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNameTaken});
  EXPECT_EQ(LibraryEntries(), (Names{"Soft", "Vivid"}));
  EXPECT_EQ(window().library().count, 2);
  EXPECT_TRUE(Marks(false, false));
  EXPECT_EQ(LibraryRow(), 0);

  // Changed and confirmed under the old name, then renamed.
  editor.opened.clear();
  interaction.Clear();
  editor
      .Then([](DensityDef& def) {
        def.channels[kCyan].points[6] = 4200;
        return ui::kEditorAccepted;
      })
      .Accept("Soft copy");
  Click(ids::kCopy);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNameTaken});
  ASSERT_EQ(editor.opened.size(), 2u);
  EXPECT_EQ(editor.opened[0], Find(window().library(), "Soft"));
  EXPECT_EQ(NameOf(editor.opened[1]), "Soft");
  EXPECT_EQ(Middle(editor.opened[1]), 4200);

  EXPECT_EQ(LibraryEntries(), (Names{"Soft", "Soft copy", "Vivid"}));
  EXPECT_EQ(Middle(Find(window().library(), "Soft")), 3000);
  EXPECT_EQ(Middle(Find(window().library(), "Soft copy")), 4200);
  EXPECT_EQ(Find(window().library(), "Soft copy").channels[kBlack].points[6], 3000);
  EXPECT_EQ(LibraryRow(), -1);
  EXPECT_EQ(Commands(), "N-----");
  EXPECT_TRUE(Marks(true, false));
  EXPECT_EQ(Read("QR_grad.dat"), before);  // memory only until Apply
}

TEST_F(ListCommands, TheHundredthDefinitionDisablesNewAndCopyAndDeleteFreesItsSlot) {
  WriteLibraryOf(99);
  ASSERT_TRUE(StartOnDemo());
  editor.Accept("Extra");
  Click(ids::kNew);
  EXPECT_EQ(LibraryBox()->count(), 100);
  EXPECT_EQ(ui::MainDialog::EntryName(*LibraryBox(), LibraryRow()), "Extra");
  EXPECT_EQ(Commands(), "--A-ED");

  // No deletes without a yes, asked before anything else.
  interaction.Answer(false);
  Click(ids::kDelete);
  EXPECT_EQ(LibraryBox()->count(), 100);
  // The button is disabled without a selection; the command itself asks
  // all the same, and then has nothing to delete.
  LibraryBox()->clearSelection();
  interaction.Answer(true);
  window().OnDelete();
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kDeleteQuestion, sid::kDeleteQuestion}));
  EXPECT_EQ(interaction.shown()[0].kind, MessageKind::YesNo);
  EXPECT_EQ(LibraryBox()->count(), 100);

  SelectLibrary("Def 5");
  interaction.Answer(true);
  Click(ids::kDelete);
  EXPECT_EQ(LibraryBox()->count(), 99);
  EXPECT_EQ(window().library().count, 99);
  EXPECT_EQ(Commands(), "N-----");
  EXPECT_TRUE(Marks(true, false));

  // The next definition takes the lowest free slot.
  editor.Accept("Later");
  Click(ids::kNew);
  EXPECT_EQ(NameOf(window().library().slots[5]), "Later");
}

TEST_F(ListCommands, PickOutToAHundredDisablesOnlyPickOutAndNewThenMeetsAFullLibrary) {
  WriteLibraryOf(99);
  ASSERT_TRUE(StartOnDemo());
  SelectPrinterEntry(0);
  EXPECT_EQ(Commands(), "N--PED");
  Click(ids::kPickOut);
  EXPECT_EQ(LibraryBox()->count(), 100);
  EXPECT_EQ(PrinterRow(), 0);
  EXPECT_EQ(Commands(), "N---ED");
  EXPECT_TRUE(Marks(true, false));

  editor.Accept("Overflow");
  Click(ids::kNew);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kTableFull});
  EXPECT_EQ(LibraryBox()->count(), 100);
  EXPECT_FALSE(FindDefinition(window().library(), "Overflow"));
}

TEST_F(ListCommands, PickOutAddsAtTheSortedPlaceOrReplacesAfterAYes) {
  Write("demo.ppd", PpdWith({Marked("Warm", 7000), Marked("Cool", 2000)}));
  Write("QR_grad.dat", LibraryImageOf({Marked("Warm", 6000), Definition("Vivid")}));
  ASSERT_TRUE(StartOnDemo());
  SelectPrinterEntry(1);
  Click(ids::kPickOut);
  EXPECT_EQ(LibraryEntries(), (Names{"Cool", "Vivid", "Warm"}));
  EXPECT_EQ(PrinterRow(), 1);

  window().libraryModified = false;
  SelectPrinterEntry(0);
  interaction.Answer(false).Answer(true);
  Click(ids::kPickOut);
  EXPECT_EQ(Middle(Find(window().library(), "Warm")), 6000);
  EXPECT_TRUE(Marks(false, false));
  Click(ids::kPickOut);
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kReplaceQuestion, sid::kReplaceQuestion}));
  EXPECT_EQ(Middle(Find(window().library(), "Warm")), 7000);
  EXPECT_EQ(LibraryEntries(), (Names{"Cool", "Vivid", "Warm"}));
  EXPECT_TRUE(Marks(true, false));
}

TEST_F(ListCommands, EditCancelledLeavesBothListsExactlyAsTheyWere) {
  // Slot 1 is a hole whose old bytes are still there.
  auto library = std::make_unique<DefinitionLibrary>();
  EmptyTable(*library);
  for (const char* name : {"abc", "gone", "ABC", "Vivid"})
    InsertDefinition(*library, Marked(name, 1234), InsertMode::AddMode());
  FreeSlot(*library, 1);
  const std::vector<uint8_t> image = EncodeLibrary(*library);
  Write("QR_grad.dat", std::string(image.begin(), image.end()));
  Write("demo.ppd", PpdText("Demo Color PS", {"Warm", "Cool", "Late"}));
  ASSERT_TRUE(StartOnDemo());
  ASSERT_EQ(LibraryEntries(), (Names{"abc", "ABC", "Vivid"}));

  const auto libraryBefore = std::make_unique<DefinitionLibrary>(window().library());
  const PrinterDefinitionList printerBefore = window().printerList();
  SelectLibrary("abc");
  const std::string commands = Commands();
  editor.Then([&](DensityDef& def) {
    // While it is open the definition is out of its list.
    EXPECT_EQ(LibraryEntries(), (Names{"ABC", "Vivid"}));
    EXPECT_EQ(window().library().count, 2);
    def.channels[kCyan].points[3] = 999;
    SetName(def, "Other");
    return ui::kEditorCancelled;
  });
  Click(ids::kEdit);
  EXPECT_EQ(LibraryEntries(), (Names{"abc", "ABC", "Vivid"}));
  EXPECT_EQ(LibraryRow(), 0);
  EXPECT_EQ(std::memcmp(&window().library(), libraryBefore.get(), sizeof(DefinitionLibrary)), 0);
  EXPECT_EQ(Commands(), commands);

  // Cancelled after a name clash, on the printer list.
  SelectPrinterEntry(1);
  editor.Accept("Warm").Cancel();
  Click(ids::kEdit);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNameTaken});
  EXPECT_EQ(PrinterEntries(), (Names{"Warm", "Cool", "Late"}));
  EXPECT_EQ(PrinterRow(), 1);
  EXPECT_EQ(std::memcmp(&window().printerList(), &printerBefore, sizeof printerBefore), 0);
  EXPECT_TRUE(Marks(false, false));
}

TEST_F(ListCommands, EditStoresIntoTheDefinitionsOwnSlot) {
  Write("demo.ppd", PpdText("Demo Color PS", {"Warm", "Cool", "Late"}));
  ASSERT_TRUE(StartOnDemo());

  // A printer definition keeps its place; the library's names do not count.
  SelectPrinterEntry(1);
  editor.Accept("Warm").Accept("Vivid");
  Click(ids::kEdit);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNameTaken});
  EXPECT_EQ(NameOf(editor.opened[0]), "Cool");
  EXPECT_EQ(NameOf(editor.opened[1]), "Warm");
  EXPECT_EQ(PrinterEntries(), (Names{"Warm", "Vivid", "Late"}));
  EXPECT_EQ(SlotNames(window().printerList()), (Names{"Warm", "Vivid", "Late"}));
  EXPECT_EQ(PrinterRow(), 1);
  EXPECT_TRUE(Marks(false, true));

  // A library definition goes where its new name sorts; the selection stays
  // on the former row, the buttons as they were.
  SelectLibrary("Neutral");
  editor.Accept("Zed");
  Click(ids::kEdit);
  EXPECT_EQ(LibraryEntries(), (Names{"Soft", "Vivid", "Zed"}));
  EXPECT_EQ(SlotNames(window().library()), (Names{"Vivid", "Soft", "Zed"}));
  EXPECT_EQ(LibraryRow(), 0);
  EXPECT_EQ(Commands(), "NCA-ED");
  EXPECT_TRUE(Marks(true, true));

  // Confirmed unchanged: stored all the same.
  window().libraryModified = false;
  editor.AcceptAsIs();
  Click(ids::kEdit);
  EXPECT_EQ(LibraryEntries(), (Names{"Soft", "Vivid", "Zed"}));
  EXPECT_TRUE(window().libraryModified);
}

// Press, release, double-click and release, as a mouse sends them.
void DoubleClick(QWidget* widget, QPoint at) {
  QTest::mouseClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
  QCoreApplication::processEvents();
}

TEST_F(ListCommands, ADoubleClickOnAnEntryEditsIt) {
  ASSERT_TRUE(StartOnDemo());
  QListWidget* box = PrinterBox();
  editor.Cancel();
  DoubleClick(box->viewport(), box->visualItemRect(box->item(1)).center());
  ASSERT_EQ(editor.opened.size(), 1u);
  EXPECT_EQ(NameOf(editor.opened[0]), "Cool");
  EXPECT_EQ(PrinterEntries(), (Names{"Warm", "Cool"}));

  // Below the last entry there is nothing to edit.
  box = LibraryBox();
  DoubleClick(box->viewport(), QPoint(5, box->viewport()->height() - 3));
  EXPECT_EQ(editor.opened.size(), 1u);
}

TEST_F(ListCommands, DeletingFromThePrinterListClosesTheGap) {
  Write("demo.ppd", PpdText("Demo Color PS", {"One", "Two", "Three", "Four"}));
  ASSERT_TRUE(StartOnDemo());
  SelectPrinterEntry(1);
  interaction.Answer(true);
  Click(ids::kDelete);
  EXPECT_EQ(PrinterEntries(), (Names{"One", "Three", "Four"}));
  const PrinterDefinitionList& list = window().printerList();
  EXPECT_EQ(list.count, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(NameOf(list.slots[i]), PrinterEntries()[i]);
  EXPECT_FALSE(IsUsed(list.slots[3]));
  EXPECT_EQ(PrinterRow(), -1);
  EXPECT_EQ(Commands(), "N-----");
  EXPECT_TRUE(Marks(false, true));
}

TEST_F(ListCommands, AddAppendsReplacesAfterAYesAndStopsAtSix) {
  Write("demo.ppd", PpdWith({Marked("Warm", 7000), Marked("Vivid", 2000)}));
  Write("QR_grad.dat",
        LibraryImageOf({Marked("Vivid", 6000), Definition("Soft"), Definition("Neutral"),
                        Definition("Extra"), Definition("Spare")}));
  ASSERT_TRUE(StartOnDemo());
  SelectLibrary("Vivid");
  interaction.Answer(false).Answer(true);
  Click(ids::kAdd);
  EXPECT_EQ(Middle(Find(window().printerList(), "Vivid")), 2000);
  EXPECT_TRUE(Marks(false, false));
  Click(ids::kAdd);
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kReplaceQuestion, sid::kReplaceQuestion}));
  EXPECT_EQ(interaction.shown()[0].kind, MessageKind::YesNo);
  EXPECT_EQ(SlotNames(window().printerList()), (Names{"Warm", "Vivid"}));
  EXPECT_EQ(Middle(window().printerList().slots[1]), 6000);
  EXPECT_TRUE(Marks(false, true));

  for (const char* name : {"Soft", "Neutral", "Extra"}) {
    SelectLibrary(name);
    Click(ids::kAdd);
    EXPECT_EQ(ui::MainDialog::EntryName(*LibraryBox(), LibraryRow()), name);
  }
  EXPECT_EQ(Commands(), "NCA-ED");
  SelectLibrary("Spare");
  Click(ids::kAdd);
  EXPECT_EQ(PrinterEntries(), (Names{"Warm", "Vivid", "Soft", "Neutral", "Extra", "Spare"}));
  EXPECT_EQ(Commands(), "NC--ED");

  // Six read from a file enable Add again; a clash then is a full list.
  Write("six.ppd", PpdText("Six", {"1", "2", "3", "Vivid", "5", "6"}));
  SelectLibrary("Vivid");
  interaction.Clear();
  interaction.Answer(false);
  Browse("six.ppd");
  ASSERT_TRUE(Enabled(ids::kAdd));
  Click(ids::kAdd);
  EXPECT_EQ(interaction.Ids(), (Ids{sid::kSaveBeforeSwitch, sid::kTableFull}));
  EXPECT_EQ(Middle(Find(window().printerList(), "Vivid")), kUnset);
  EXPECT_TRUE(Marks(false, false));
}

// --- The real editor ----------------------------------------------------------

// Acts on the curve editor while it runs modally: each time it is open, the
// next step is played on it. An editor that opens without a step left is
// cancelled and fails the test.
class EditorDriver {
 public:
  using Step = std::function<void(ui::CurveEditorDialog&)>;
  EditorDriver() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  EditorDriver& Then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  bool Done() const { return steps_.empty(); }

  static QLineEdit* Field(ui::CurveEditorDialog& editor, int id) {
    return editor.controls().Control<QLineEdit>(id);
  }
  // Replaces a field's text by typing; characters beyond ASCII arrive as
  // key events carrying their text.
  static void Type(ui::CurveEditorDialog& editor, int id, const QString& text) {
    QLineEdit* field = Field(editor, id);
    field->selectAll();
    for (const QChar c : text) {
      if (c.unicode() < 0x80)
        QTest::keyClick(field, static_cast<char>(c.unicode()));
      else
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
  static void Press(ui::CurveEditorDialog& editor, int id) {
    editor.controls().Control<QAbstractButton>(id)->click();
  }

 private:
  void Poll() {
    auto* editor = qobject_cast<ui::CurveEditorDialog*>(QApplication::activeModalWidget());
    if (editor == nullptr || !editor->isVisible())
      return;
    if (steps_.empty()) {
      ADD_FAILURE() << "the editor opened once more than scripted";
      Press(*editor, ui::editor_ids::kCancel);
      return;
    }
    const Step step = std::move(steps_.front());
    steps_.pop_front();
    step(*editor);
  }

  QTimer timer_;
  std::deque<Step> steps_;
};

TEST_F(ListCommands, DefinitionsMadeInTheEditorReachTheLibraryFileAndThePpd) {
  namespace eds = ui::editor_ids;
  runEditor = nullptr;
  std::vector<int> help;
  showHelp = [&](int context) { help.push_back(context); };
  ASSERT_TRUE(StartOnDemo());
  Click(ids::kHelp);
  EXPECT_EQ(help, Ids{ui::kMainHelpContext});

  EditorDriver driver;
  driver.Then([](ui::CurveEditorDialog& e) {
    EXPECT_EQ(EditorDriver::Field(e, eds::kName)->text(), "");
    EXPECT_EQ(EditorDriver::Field(e, eds::kPointFields[0])->text(), "0.00");
    EditorDriver::Press(e, eds::kHelp);
    EditorDriver::Type(e, eds::kName, QString::fromUtf8("Br\xC3\xBCght"));
    EditorDriver::Type(e, eds::kPointFields[6], "60");
    EditorDriver::Press(e, eds::kAccept);
  });
  Click(ids::kNew);
  EXPECT_EQ(help, (Ids{ui::kMainHelpContext, ui::kEditorHelpContext}));
  const std::string bright = "Br\xFCght";
  ASSERT_EQ(LibraryEntries(), (Names{bright, "Neutral", "Soft", "Vivid"}));

  // A copy confirmed under its source's name comes back for a new one.
  driver.Then([](ui::CurveEditorDialog& e) { EditorDriver::Press(e, eds::kAccept); })
      .Then([](ui::CurveEditorDialog& e) {
        EXPECT_EQ(EditorDriver::Field(e, eds::kName)->text(), QString::fromUtf8("Br\xC3\xBCght"));
        EXPECT_EQ(EditorDriver::Field(e, eds::kPointFields[6])->text(),
                  QString::fromStdString(FormatHundredths(6000)));
        EditorDriver::Type(e, eds::kName, "Dark");
        EditorDriver::Type(e, eds::kPointFields[6], "80");
        EditorDriver::Press(e, eds::kAccept);
      });
  SelectLibrary(bright);
  Click(ids::kCopy);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kNameTaken});
  EXPECT_TRUE(driver.Done());

  SelectLibrary(bright);
  Click(ids::kAdd);
  SelectLibrary("Dark");
  Click(ids::kAdd);
  // Rename the printer's Cool where it stands.
  SelectPrinterEntry(1);
  driver.Then([](ui::CurveEditorDialog& e) {
    EditorDriver::Type(e, eds::kName, "Cold");
    EditorDriver::Press(e, eds::kAccept);
  });
  Click(ids::kEdit);
  EXPECT_TRUE(driver.Done());

  interaction.Clear();
  Click(ids::kApply);
  EXPECT_EQ(interaction.Ids(), Ids{sid::kPpdWritten});
  EXPECT_TRUE(Marks(false, false));

  PrinterDefinitionList written;
  ScriptedInteraction quiet;
  ASSERT_EQ(GetPPDToneInfo(FileTarget(Path("demo.ppd").string()), written, {quiet}).result,
            kPpdLoaded);
  EXPECT_EQ(SlotNames(written), (Names{"Warm", "Cold", bright, "Dark"}));
  for (int c = 0; c < kChannelCount; ++c)
    EXPECT_EQ(Find(written, bright).channels[c], Find(window().library(), bright).channels[c]);
  for (const ToneCurve& curve : Find(written, "Dark").channels) EXPECT_EQ(curve.points[6], 8000);

  auto library = std::make_unique<DefinitionLibrary>();
  const std::string image = Read("QR_grad.dat");
  DecodeLibrary({reinterpret_cast<const uint8_t*>(image.data()), image.size()}, *library);
  EXPECT_EQ(SlotNames(*library), (Names{"Vivid", "Soft", "Neutral", bright, "Dark"}));
  EXPECT_EQ(Find(*library, bright).allChannels, 1);
  for (const ToneCurve& curve : Find(*library, bright).channels) EXPECT_EQ(curve.points[6], 6000);
}

TEST_F(ListCommands, EditCancelledInTheRealEditorKeepsTheDefinition) {
  runEditor = nullptr;
  Write("QR_grad.dat", LibraryImageOf({Marked("Soft", 3000)}));
  ASSERT_TRUE(StartOnDemo());
  SelectLibrary("Soft");
  EditorDriver driver;
  driver.Then([](ui::CurveEditorDialog& e) {
    EditorDriver::Type(e, ui::editor_ids::kName, "Gone");
    EditorDriver::Type(e, ui::editor_ids::kPointFields[6], "10");
    QTest::keyClick(&e, Qt::Key_Escape);
  });
  Click(ids::kEdit);
  EXPECT_TRUE(driver.Done());
  EXPECT_EQ(LibraryEntries(), Names{"Soft"});
  EXPECT_EQ(Middle(Find(window().library(), "Soft")), 3000);
  EXPECT_EQ(LibraryRow(), 0);
  EXPECT_TRUE(Marks(false, false));
}

}  // namespace
}  // namespace tonalis::test

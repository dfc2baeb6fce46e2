// The GUI's shared pieces: dialog templates, message boxes, the file filter, the command line.
#include <gtest/gtest.h>

#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include "app/app_options.h"
#include "model/string_table.h"
#include "ui/dialog_template.h"
#include "ui/file_dialog.h"
#include "ui/qt_interaction.h"
#include "ui/strings.h"

namespace tonalis::ui {
namespace {

TEST(DialogTemplate, HandsOutControlsByIdAndFailsLoudlyOnMissingOrMistypedOnes) {
  QWidget parent;
  QFile file(TONALIS_UI_TEST_DATA "/dialog7.ui");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  DialogTemplate form(file, QStringLiteral("dialog7"), &parent);
  EXPECT_TRUE(form.Control<QListWidget>(1001) && form.Control<QPushButton>(12));
  try {
    form.Control<QPushButton>(13);
    FAIL() << "a missing control was handed out";
  } catch (const TemplateError& e) {
    EXPECT_NE(std::string(e.what()).find("dialog7: control 13"), std::string::npos);
  }
  EXPECT_THROW(form.Control<QPushButton>(1001), TemplateError);
}

TEST(FileFilter, TheStringTableFilterBecomesQtsForm) {
  EXPECT_EQ(ToQtFilter(LoadString(DefaultStrings(), sid::kFileFilter)),
            QStringLiteral("Printer Definition Files (*.ppd *.spd);;All Files (*)"));
  // A description without its own pattern list gets one; empty patterns go.
  EXPECT_EQ(ToQtFilter(QStringLiteral("Text|*.txt;;*.TXT|Any| |")),
            QStringLiteral("Text (*.txt *.TXT);;Any (*)"));
  EXPECT_EQ(ToQtFilter(QString()), QString());
}

TEST(QtInteraction, EachKindOfMessageGetsItsIconAndButtons) {
  struct Case { MessageKind kind; QMessageBox::Icon icon; QMessageBox::StandardButtons buttons; };
  const Case cases[] = {
      {MessageKind::Information, QMessageBox::Information, QMessageBox::Ok},
      {MessageKind::Stop, QMessageBox::Critical, QMessageBox::Ok},
      {MessageKind::YesNo, QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No},
      {MessageKind::Proceed, QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel},
  };
  for (const Case& c : cases) {
    Message m;
    m.kind = c.kind;
    m.text = "<b>not bold</b>\nsecond line";
    QMessageBox box;
    QtInteraction::Configure(box, m);
    EXPECT_EQ(box.icon(), c.icon);
    EXPECT_EQ(box.standardButtons(), c.buttons);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("tonalis"));
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.text(), QStringLiteral("<b>not bold</b>\nsecond line"));
    EXPECT_TRUE(box.informativeText().isEmpty());
  }
  Message withReason = StringMessage(DefaultStrings(), sid::kPpdWriteFailed);
  withReason.detail = "Permission denied";
  QMessageBox box;
  QtInteraction::Configure(box, withReason);
  EXPECT_EQ(box.text(), QStringLiteral("It failed to write a PPD file."));
  EXPECT_EQ(box.informativeText(), QStringLiteral("Permission denied"));
}

TEST(CommandLine, OptionsInBothFormsAndMistakes) {
  const app::AppOptions a = app::ParseArguments({"--ppd", "demo.ppd", "--library=lib.dat"});
  EXPECT_TRUE(a.error.empty());
  EXPECT_EQ(a.ppd, "demo.ppd");
  EXPECT_EQ(a.library, "lib.dat");
  EXPECT_FALSE(app::ParseArguments({}).ppd);
  for (const auto& wrong : std::vector<std::vector<std::string>>{
           {"--ppd"}, {"--ppd="}, {"--ppd", "a", "--ppd", "b"}, {"demo.ppd"}, {"--colour"}}) {
    EXPECT_NE(app::ParseArguments(wrong).error, "") << wrong.front();
  }
}

}  // namespace
}  // namespace tonalis::ui

// The About box, alone and opened from the main window's About entry.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/about_dialog.h"
#include "app/app_shell.h"
#include "model/version.h"
#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

using app::AboutDialog;
namespace about = app::about_ids;

TEST(AboutBox, ShowsStrings56To59AndTheIconAndClosesWithItsButton) {
  AboutDialog box(DefaultStrings(), app::ProgramIcon(), nullptr);
  EXPECT_EQ(box.windowTitle(), "About the Tonalis");
  EXPECT_EQ(box.controls().Control<QLabel>(about::kProductLine)->text(),
            QStringLiteral("Tonalis " TONALIS_VERSION));
  EXPECT_EQ(box.controls().Control<QLabel>(about::kMakerLine)->text(), "The Tonalis developers");
  EXPECT_EQ(box.controls().Control<QLabel>(about::kLicenceLine)->text(),
            "Free software under the MIT License. No warranty.");
  const auto* icon = box.findChild<QLabel*>("icon128");
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->pixmap().isNull());

  box.show();
  box.controls().Control<QPushButton>(about::kOk)->click();
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.result(), QDialog::Accepted);
}

class AboutFromWindow : public MainWindowTest {};

TEST_F(AboutFromWindow, TheAboutEntryOpensTheBoxOverTheWindow) {
  Write("demo.ppd", PpdText("Demo Color PS", {}));
  app::ApplicationShell shell(QString(), {});
  shell.Start();
  ASSERT_TRUE(Start("demo.ppd", shell.strings()));
  shell.Attach(window());

  QString title;
  QWidget* parent = nullptr;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    parent = box->parentWidget();
    box->controls().Control<QPushButton>(about::kOk)->click();
  });
  auto* entry = window().findChild<QAction*>("aboutAction");
  ASSERT_NE(entry, nullptr);
  entry->trigger();
  EXPECT_EQ(title, "About the Tonalis");
  EXPECT_EQ(parent, &window());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  shell.ShutDown();
}

}  // namespace
}  // namespace tonalis::test

// Start-up with and without a language module: where the module is looked
// for, and where texts, templates and the icon then come from, seen in the
// real main window, curve editor and About box.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/about_dialog.h"
#include "app/app_paths.h"
#include "app/app_shell.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

using app::ApplicationShell;

// Puts a copy of module `source` into `folder` (made when missing) and
// returns its path.
QString PlaceModule(const QString& folder, const char* source) {
  QDir().mkpath(folder);
  const QString path = QDir(folder).filePath(QString::fromLatin1(app::kLanguageModuleName));
  QFile::remove(path);
  EXPECT_TRUE(QFile::copy(QString::fromUtf8(source), path)) << source;
  return path;
}

TEST(ModuleSearch, TheFirstFolderHoldingTheModuleWins) {
  QTemporaryDir root;
  const QStringList folders = {root.filePath("a"), root.filePath("b"), root.filePath("c")};
  EXPECT_EQ(app::FindLanguageModule(folders), QString());
  PlaceModule(folders[2], TONALIS_TEST_MODULE);
  const QString inB = PlaceModule(folders[1], TONALIS_TEST_MODULE);
  // A folder of that name is no module.
  QDir().mkpath(QDir(folders[0]).filePath("ZADA_VUV.rcc"));
  EXPECT_EQ(app::FindLanguageModule(folders), inB);
}

TEST(ModuleSearch, LooksBesideTheProgramThenInTheUsersThenInTheInstalledDataFolder) {
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", "/home/someone/data");
  EXPECT_EQ(app::ModuleSearchFolders("/opt/tonalis/bin/tonalis"),
            (QStringList{"/opt/tonalis/bin", "/home/someone/data/tonalis",
                         "/opt/tonalis/share/tonalis"}));
  // A relative XDG_DATA_HOME is to be ignored.
  qputenv("XDG_DATA_HOME", "relative");
  EXPECT_EQ(app::UserDataFolder(), QDir::home().filePath(".local/share/tonalis"));
  // Without the program's file name only the user's folder is left.
  EXPECT_EQ(app::ModuleSearchFolders(QString()), QStringList{app::UserDataFolder()});
  if (saved.isNull())
    qunsetenv("XDG_DATA_HOME");
  else
    qputenv("XDG_DATA_HOME", saved);
}

// The shell started over a folder that may hold a module, then the main
// window on a PPD file with the shell's texts.
class ShellStartup : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    ASSERT_TRUE(modules_.isValid());
    Write("demo.ppd", PpdText("Demo Color PS", {"Warm"}));
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    if (shell_)
      shell_->ShutDown();
  }

  ApplicationShell& StartShell(const char* module = nullptr) {
    if (module != nullptr)
      PlaceModule(modules_.path(), module);
    shell_ = std::make_unique<ApplicationShell>(QString(), QStringList{modules_.path()});
    shell_->Start();
    return *shell_;
  }
  bool StartWindow() { return Start("demo.ppd", shell_->strings()); }

  QString GroupTitle(int id) { return Control<QGroupBox>(id)->title(); }
  QString ModulePath() const { return QDir(modules_.path()).filePath("ZADA_VUV.rcc"); }

  std::unique_ptr<ApplicationShell> shell_;

 private:
  QTemporaryDir modules_;
};

TEST_F(ShellStartup, WithTheGermanModuleTheWindowsShowItsTexts) {
  ApplicationShell& shell = StartShell(TONALIS_GERMAN_MODULE);
  ASSERT_NE(shell.module(), nullptr);
  EXPECT_TRUE(shell.module()->problems().empty());
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(GroupTitle(ids::kPrinterGroup), "Drucker");
  ui::CurveEditorDialog editor(ui::CurveEditorSeams{&interaction, shell.strings(), {}}, &window());
  DensityDef def = NewDefinition();
  editor.Open(def);
  EXPECT_EQ(editor.windowTitle(), "Dichteeinstellung festlegen");
  EXPECT_EQ(app::AboutDialog(shell.strings(), shell.icon(), &window()).windowTitle(), "Über Tonalis");
  // The module brings no icon: the program's serves.
  EXPECT_EQ(shell.icon().availableSizes().size(), 8);
}

TEST_F(ShellStartup, AModuleGivesItsOwnTextsAndTemplatesFirstAndTheProgramsForTheRest) {
  ApplicationShell& shell = StartShell(TONALIS_TEST_MODULE);
  ASSERT_NE(shell.module(), nullptr);
  ASSERT_TRUE(StartWindow());
  EXPECT_EQ(window().windowTitle(), "Partial title");
  EXPECT_EQ(GroupTitle(ids::kLibraryGroup), "Partial library");
  EXPECT_EQ(Control<QAbstractButton>(ids::kExit)->text(), "Exit(&X)");
  // Its own About box template; the program's main window.
  EXPECT_EQ(ui::DialogTemplate::ResourcePath(100), ":/zada_vuv/dialogs/dialog100.ui");
  EXPECT_EQ(ui::DialogTemplate::ResourcePath(102), ":/dialogs/dialog102.ui");
  app::AboutDialog about(shell.strings(), shell.icon(), &window());
  EXPECT_NE(about.findChild<QLabel*>("moduleMarker"), nullptr);
  EXPECT_EQ(about.controls().Control<QLabel>(app::about_ids::kProductLine)->text(),
            "Partial product");
  // Its own icon (plain red).
  EXPECT_EQ(shell.icon().pixmap(32).toImage().pixelColor(16, 16), QColor(Qt::red));

  // Released, its templates are gone; its texts stay with the window.
  shell.ShutDown();
  EXPECT_FALSE(shell.module()->loaded());
  EXPECT_EQ(ui::DialogTemplate::ResourcePath(100), ":/dialogs/dialog100.ui");
  EXPECT_FALSE(QFile::exists(":/zada_vuv/strings.po"));
  EXPECT_EQ(shell.strings().Load(31), "Partial title");
  EXPECT_EQ(shell.icon().pixmap(32).toImage().pixelColor(16, 16), QColor(Qt::red));
}

TEST_F(ShellStartup, WithoutAModuleOrWithAFileThatIsNoneTheProgramsOwnServe) {
  EXPECT_EQ(StartShell().module(), nullptr);
  EXPECT_EQ(shell_->icon().availableSizes().size(), 8);
  {
    QFile bogus(ModulePath());
    ASSERT_TRUE(bogus.open(QIODevice::WriteOnly));
    bogus.write("not a resource file");
  }
  ApplicationShell& shell = StartShell();
  EXPECT_EQ(shell.module(), nullptr);
  EXPECT_EQ(&shell.strings(), &DefaultStrings());
  EXPECT_EQ(ui::DialogTemplate::ResourcePath(102), ":/dialogs/dialog102.ui");
}

}  // namespace
}  // namespace tonalis::test

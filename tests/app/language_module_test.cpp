// Start-up with and without a language module: where it is looked for, and where texts,
// templates and the icon then come from, seen in the real main window, editor and About box.
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <fstream>

#include "app/about_dialog.h"
#include "app/app_paths.h"
#include "app/app_shell.h"
#include "ui/editor/curve_editor_dialog.h"
#include "ui/main/main_window_fixture.h"

namespace tonalis::test {
namespace {

void PlaceModule(const QString& folder, const char* source) {
  QDir().mkpath(folder);
  EXPECT_TRUE(QFile::copy(source, QDir(folder).filePath(app::kLanguageModuleName))) << source;
}

TEST(ModuleSearch, BesideTheProgramThenTheUsersThenTheInstalledFolderTheFirstHoldingItWins) {
  QTemporaryDir root;
  const QStringList folders = {root.filePath("a"), root.filePath("b"), root.filePath("c")};
  EXPECT_EQ(app::FindLanguageModule(folders), QString());
  PlaceModule(folders[2], TONALIS_TEST_MODULE);
  PlaceModule(folders[1], TONALIS_TEST_MODULE);
  QDir().mkpath(QDir(folders[0]).filePath("ZADA_VUV.rcc"));  // a folder is no module
  EXPECT_EQ(app::FindLanguageModule(folders), root.filePath("b/ZADA_VUV.rcc"));

  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", "/home/someone/data");
  EXPECT_EQ(app::ModuleSearchFolders("/opt/tonalis/bin/tonalis", {"de_DE", "de"}),
            (QStringList{"/opt/tonalis/bin", "/home/someone/data/tonalis",
                         "/opt/tonalis/share/tonalis", "/opt/tonalis/share/tonalis/lang/de_DE",
                         "/opt/tonalis/share/tonalis/lang/de"}));
  qputenv("XDG_DATA_HOME", "relative");  // to be ignored
  EXPECT_EQ(app::UserDataFolder(), QDir::home().filePath(".local/share/tonalis"));
  // Without the program's file name only the user's folder is left.
  EXPECT_EQ(app::ModuleSearchFolders(QString()), QStringList{app::UserDataFolder()});
  saved.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", saved);
}

// The cases of startup.txt, one each: the shell started over a folder that
// may hold the module, then the main window, then the probes.
class ShellStartup : public MainWindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void TearDown() override {
    MainWindowTest::TearDown();
    if (shell_) shell_->ShutDown();
    for (const auto& [name, value] : savedEnv_)
      value.isNull() ? qunsetenv(name) : qputenv(name, value);
  }
  // `spec`: the case's name, then where modules lie (beside:M, the program's
  // folder; installed:LANG:M, its installed lang/LANG) and the environment
  // (NAME=value; the locale variables not given are unset). The program lies
  // in <scratch>/bin, the user's data folder is empty.
  void StartShell(const QString& spec) {
    const std::map<QString, const char*> sources = {{"german", TONALIS_GERMAN_MODULE},
        {"partial", TONALIS_TEST_MODULE}, {"bogus", TONALIS_APP_TEST_DATA "/not-a-module.rcc"}};
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG", "XDG_DATA_HOME"}) {
      savedEnv_[name] = qgetenv(name);
      qunsetenv(name);
    }
    qputenv("XDG_DATA_HOME", modules_.filePath("user").toLocal8Bit());
    for (const QString& word : spec.split(' ', Qt::SkipEmptyParts).mid(1)) {
      if (word.startsWith("beside:"))
        PlaceModule(modules_.filePath("bin"), sources.at(word.section(':', 1)));
      else if (word.startsWith("installed:"))
        PlaceModule(modules_.filePath("share/tonalis/lang/" + word.section(':', 1, 1)),
                    sources.at(word.section(':', 2)));
      else
        qputenv(word.section('=', 0, 0).toLatin1(), word.section('=', 1).toLocal8Bit());
    }
    const QString program = modules_.filePath("bin/tonalis");
    shell_ = std::make_unique<app::ApplicationShell>(program, app::ModuleSearchFolders(program));
    shell_->Start();
    Write("demo.ppd", PpdText("Demo Color PS", {"Warm"}));
    ASSERT_TRUE(Start("demo.ppd", shell_->strings()));
  }
  QString Probe(const QString& what) {
    const app::ApplicationShell& s = *shell_;
    const QString arg = what.section(':', 1);
    const std::map<QString, int> controls = {
        {"printer", ids::kPrinterGroup}, {"library", ids::kLibraryGroup}, {"exit", ids::kExit}};
    if (what == "module")
      return !s.module() ? "none" : s.module()->loaded() ? "loaded" : "released";
    if (what == "problems") return QString::number(s.module()->problems().size());
    if (what == "strings") return &s.strings() == &DefaultStrings() ? "program's" : "module's";
    if (what == "icon-sizes") return QString::number(s.icon().availableSizes().size());
    if (what == "icon-colour") return s.icon().pixmap(32).toImage().pixelColor(16, 16).name();
    if (what == "window") return window().windowTitle();
    if (what.startsWith("group:")) return Control<QGroupBox>(controls.at(arg))->title();
    if (what.startsWith("button:")) return Control<QAbstractButton>(controls.at(arg))->text();
    if (what.startsWith("template:")) return ui::DialogTemplate::ResourcePath(arg.toInt());
    if (what.startsWith("string:")) return QString::fromStdString(s.strings().Load(arg.toInt()));
    if (what.startsWith("exists:")) return QFile::exists(arg) ? "yes" : "no";
    if (what == "qt-yes") {  // a message box's standard button
      QMessageBox box;
      box.setStandardButtons(QMessageBox::Yes);
      return box.button(QMessageBox::Yes)->text();
    }
    if (what == "help-back")  // the help viewer's own texts
      return QCoreApplication::translate("tonalis::app::HelpViewer", "Back");
    if (what == "number") return QLocale().toString(12.5, 'f', 2);
    if (what == "editor") {
      ui::CurveEditorDialog editor(ui::CurveEditorSeams{&interaction, s.strings(), {}}, &window());
      DensityDef def = NewDefinition();
      editor.Open(def);
      return editor.windowTitle();
    }
    app::AboutDialog about(s.strings(), s.icon(), &window());  // its title, product, own marker
    return what == "about" ? about.windowTitle()
           : what == "about-product"
               ? about.controls().Control<QLabel>(app::about_ids::kProductLine)->text()
           : what == "about-own" ? (about.findChild<QLabel*>("moduleMarker") ? "yes" : "no")
                                 : "no such probe";
  }

  std::unique_ptr<app::ApplicationShell> shell_;
  QTemporaryDir modules_;
  std::map<const char*, QByteArray> savedEnv_;
};

TEST_P(ShellStartup, TheWindowsShowTheModulesOwnTextsAndTheProgramsForTheRest) {
  std::ifstream cases(TONALIS_APP_TEST_DATA "/startup.txt");
  bool mine = false;
  for (std::string text; std::getline(cases, text);) {
    const QString line = QString::fromStdString(text), word = line.section(' ', 0, 0);
    const QString rest = line.section(' ', 1).trimmed();
    if (word == "start" && (mine = rest.section(' ', 0, 0) == GetParam())) {
      StartShell(rest);
      if (HasFatalFailure()) return;
    }
    if (!mine || word == "start" || word.isEmpty() || word.startsWith('#')) continue;
    if (word == "shutdown")
      shell_->ShutDown();
    else
      EXPECT_EQ(Probe(word), rest) << text;
  }
  EXPECT_NE(shell_, nullptr) << "no case for " << GetParam();
}
INSTANTIATE_TEST_SUITE_P(Modules, ShellStartup,
                         ::testing::Values("none", "bogus", "german", "partial", "locale",
                                           "language-list", "c-locale", "beside-wins",
                                           "other-language"));

}  // namespace
}  // namespace tonalis::test

#include "app/app_shell.h"

#include <QApplication>
#include <cstdio>

#include "app/about_dialog.h"
#include "app/help.h"
#include "ui/dialog_template.h"
#include "ui/main/main_dialog.h"

namespace tonalis::app {

ApplicationShell::ApplicationShell(QString programFile, QStringList moduleFolders)
    : programFile_(std::move(programFile)), moduleFolders_(std::move(moduleFolders)) {}

ApplicationShell::~ApplicationShell() {
  ShutDown();
}

void ApplicationShell::Start() {
  if (started_)
    return;
  started_ = true;

  // A module that is not found is no error; one that is found but cannot be
  // read is said on stderr, and the program's own resources serve.
  const QString found = FindLanguageModule(moduleFolders_);
  if (!found.isEmpty()) {
    module_ = LanguageModule::Load(found);
    if (!module_) {
      std::fprintf(stderr, "%s: %s is not a language module and is not used\n",
                   qPrintable(QApplication::applicationName()), qPrintable(found));
    } else {
      for (const StringTableProblem& problem : module_->problems()) {
        std::fprintf(stderr, "%s: %s, strings.po line %d: %s\n",
                     qPrintable(QApplication::applicationName()), qPrintable(found), problem.line,
                     problem.text.c_str());
      }
      ui::DialogTemplate::SetTemplateFolders({module_->templateFolder()});
    }
  }
  icon_ = module_ ? module_->icon() : QIcon();
  if (icon_.isNull())
    icon_ = ProgramIcon();

  app::ShowHelp(nullptr, nullptr, kHelpInitialize, 0);
}

const StringSource& ApplicationShell::strings() const {
  return module_ ? module_->strings() : DefaultStrings();
}

QIcon ApplicationShell::icon() const {
  return icon_.isNull() ? ProgramIcon() : icon_;
}

void ApplicationShell::ShowHelp(int context) const {
  ShowHelpForContext(module_ ? module_->filePath() : QString(), programFile_, context);
}

void ApplicationShell::RunAbout(QWidget* parent) const {
  AboutDialog about(strings(), icon(), parent);
  about.exec();
}

void ApplicationShell::Attach(ui::MainDialog& window) const {
  QObject::connect(&window, &ui::MainDialog::aboutRequested, &window,
                   [this, &window] { RunAbout(&window); });
}

void ApplicationShell::ShutDown() {
  if (!started_)
    return;
  started_ = false;
  // The module's texts stay readable for the main window until it goes;
  // only its resources are released.
  if (module_) {
    ui::DialogTemplate::SetTemplateFolders({});
    module_->Release();
  }
  app::ShowHelp(nullptr, nullptr, kHelpUninitialize, 0);
}

}  // namespace tonalis::app

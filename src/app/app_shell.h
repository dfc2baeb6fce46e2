// The application shell: chooses where the program's texts, dialog templates
// and icon come from (the language module or the program), starts and ends
// the help system, and serves the main window's Help and About.
//
// Its life is the program's run:
//   Start()     loads the language module when one is found and starts help
//   Attach()    connects a main window's About entry to the About box
//   ShutDown()  releases the module and shuts help down
// The main window is made between Start and Attach and destroyed after
// ShutDown.
#pragma once

#include <QIcon>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "app/language_module.h"
#include "model/string_table.h"

class QTranslator;
class QWidget;

namespace tonalis::ui {
class MainDialog;
}

namespace tonalis::app {

class ApplicationShell {
 public:
  // `programFile`: the executable's full file name (empty when unknown);
  // `moduleFolders`: where the language module is looked for, first to last.
  ApplicationShell(QString programFile, QStringList moduleFolders);
  ~ApplicationShell();
  ApplicationShell(const ApplicationShell&) = delete;
  ApplicationShell& operator=(const ApplicationShell&) = delete;

  // Loads the language module (a missing one is no error: the program's
  // own resources serve), makes its templates the first choice, has
  // numbers follow its language and Qt's own texts (standard buttons, the
  // file dialog) speak it where Qt has a translation, and initialises the
  // help system. Without a module numbers are written the program's own
  // way ("12.50") and Qt speaks English.
  void Start();

  // The loaded module, or null.
  const LanguageModule* module() const { return module_.get(); }
  // Every text: the module's table while one is loaded, else the program's.
  const StringSource& strings() const;
  // Icon 128: the module's, else the program's.
  QIcon icon() const;

  // The Help buttons: shows topic `context` of the help file beside the
  // module or the program.
  void ShowHelp(int context) const;

  // Runs the About box modally over `parent`.
  void RunAbout(QWidget* parent) const;
  // Connects `window`'s About entry to RunAbout.
  void Attach(ui::MainDialog& window) const;

  // Releases the module and shuts the help system down.
  void ShutDown();

 private:
  QString programFile_;
  QStringList moduleFolders_;
  std::unique_ptr<LanguageModule> module_;
  QIcon icon_;
  std::unique_ptr<QTranslator> qtTexts_;
  std::unique_ptr<QTranslator> programTexts_;
  std::optional<QLocale> savedLocale_;
  bool started_ = false;
};

}  // namespace tonalis::app

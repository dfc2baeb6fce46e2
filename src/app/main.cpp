// tonalis: the Qt GUI. Parses the command line, then starts up in this
// order: the application object, the language module, the help system, the
// main window run modally; afterwards the language module is released, help
// is shut down and the main window destroyed.
#include <QApplication>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QThread>
#include <QMessageBox>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/app_options.h"
#include "app/app_paths.h"
#include "app/app_shell.h"
#include "model/string_table.h"
#include "model/version.h"
#include "platform/file_replace.h"
#include "platform/libcups.h"
#include "printers/cups_spooler.h"
#include "printers/queue_records.h"
#include "ui/dialog_template.h"
#include "ui/file_dialog.h"
#include "ui/main/main_dialog.h"
#include "ui/qt_interaction.h"

namespace {

// Replacing a printer's PPD may need the scheduler's administrator: the
// scheduler library's own question, answered in a password box.
std::optional<std::string> AskPassword(const tonalis::PasswordRequest& request) {
  bool ok = false;
  const QString password = QInputDialog::getText(
      QApplication::activeWindow(), QApplication::applicationName(),
      QString::fromStdString(request.prompt), QLineEdit::Password, QString(), &ok);
  if (!ok)
    return std::nullopt;
  return password.toStdString();
}

std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

// The out-of-memory text in the module's language, loaded while there is
// memory to load it.
QString& OutOfMemoryText() {
  static QString text = QString::fromStdString(
      tonalis::DefaultStrings().Load(tonalis::sid::kOutOfMemory));
  return text;
}

// Said on stderr, and in a message box while the application can still
// make one.
void ReportOutOfMemory(bool withBox) {
  std::fputs("tonalis: out of memory\n", stderr);
  if (!withBox) return;
  try {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(),
                          OutOfMemoryText());
  } catch (...) {
  }
}

int Run(int argc, char** argv) {
  // --help, --version and a wrong command line are answered without a
  // display: the arguments are checked before the application object
  // (which needs one) is made.
  const tonalis::app::AppOptions early =
      tonalis::app::ParseArguments(tonalis::app::WithoutQtOptions(Arguments(argc, argv)));
  if (!early.answer.empty()) {
    std::fputs(early.answer.c_str(), stdout);
    return 0;
  }
  if (!early.error.empty()) {
    std::fprintf(stderr, "tonalis: %s\nTry 'tonalis --help'.\n", early.error.c_str());
    return 2;
  }

  QApplication app(argc, argv);  // takes Qt's own options out of argv
  try {
    // Message boxes carry the program's name as their caption: the
    // executable's file name without its extension.
    const QString programFile = tonalis::app::ProgramFile();
    QApplication::setApplicationName(
        QFileInfo(programFile.isEmpty() ? QString::fromLocal8Bit(argv[0]) : programFile)
            .completeBaseName());
    QApplication::setApplicationVersion(QStringLiteral(TONALIS_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.tonalis.Tonalis"));

    const tonalis::app::AppOptions options = tonalis::app::ParseArguments(Arguments(argc, argv));
    if (!options.error.empty()) {
      std::fprintf(stderr, "tonalis: %s\nTry 'tonalis --help'.\n", options.error.c_str());
      return 2;
    }
    // From the desktop menu the program works in its own data folder, so the
    // library file has a home; from a terminal, in the current folder.
    if (options.fromDesktop) {
      const QString error = tonalis::app::EnterUserDataFolder();
      if (!error.isEmpty())
        std::fprintf(stderr, "tonalis: %s; working in the current folder\n", qPrintable(error));
    }

    // The language module and the help system.
    tonalis::app::ApplicationShell shell(programFile, tonalis::app::ModuleSearchFolders(programFile));
    shell.Start();
    if (const std::string text = shell.strings().Load(tonalis::sid::kOutOfMemory); !text.empty())
      OutOfMemoryText() = QString::fromStdString(text);
    QApplication::setWindowIcon(shell.icon());

    tonalis::CupsSpooler& spooler = tonalis::SystemSpooler();
    // The printers are listed on a worker thread: its questions are asked
    // on the GUI thread while it waits.
    spooler.SetPasswordPrompt(
        [](const tonalis::PasswordRequest& request) -> std::optional<std::string> {
          if (QThread::currentThread() == QCoreApplication::instance()->thread())
            return AskPassword(request);
          std::optional<std::string> answer;
          QMetaObject::invokeMethod(
              QCoreApplication::instance(), [&] { answer = AskPassword(request); },
              Qt::BlockingQueuedConnection);
          return answer;
        });
    tonalis::ui::QtInteraction interaction;
    tonalis::ui::QtFileDialog fileDialog;
    tonalis::ui::MainDialogSeams seams{interaction,
                                       fileDialog,
                                       spooler,
                                       shell.strings(),
                                       options.library.value_or(tonalis::kLibraryFileName),
                                       options.ppd};
    if (shell.module() != nullptr) seams.language = shell.module()->language().toStdString();
    seams.queueRecords = tonalis::QueueRecordsPath();
    seams.showHelp = [&shell](int context) { shell.ShowHelp(context); };

    int status = 0;
    std::unique_ptr<tonalis::ui::MainDialog> window;
    try {
      window = std::make_unique<tonalis::ui::MainDialog>(seams);
      interaction.SetOwner(window.get());
      shell.Attach(*window);
      window->Run();
    } catch (const tonalis::ui::TemplateError& e) {
      std::fprintf(stderr, "tonalis: %s\n", e.what());
      status = 1;
    }
    // Release the module, shut help down, then let the window go (which
    // closes the library file if it is still open).
    shell.ShutDown();
    interaction.SetOwner(nullptr);
    window.reset();
    return status;
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory(true);
    return 1;
  } catch (const tonalis::libcups::LibcupsUnavailable& e) {
    // A broken installation: the printers cannot be reached at all.
    std::fprintf(stderr, "tonalis: %s\n", e.what());
    QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromUtf8(e.what()));
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  tonalis::IgnoreFileSizeSignal();
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    ReportOutOfMemory(false);
    return 1;
  }
}

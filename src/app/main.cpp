// tonalis: the Qt GUI. Parses the command line, sets up the application
// and runs the main window modally until it ends.
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/app_options.h"
#include "model/version.h"
#include "platform/cups_spooler.h"
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

}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(tonalis::app::UsageText().c_str(), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("tonalis %s\n", TONALIS_VERSION);
      return 0;
    }
  }

  QApplication app(argc, argv);  // takes Qt's own options out of argv
  // Message boxes carry the program's name as their caption.
  QApplication::setApplicationName(QStringLiteral("tonalis"));
  QApplication::setApplicationVersion(QStringLiteral(TONALIS_VERSION));

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const tonalis::app::AppOptions options = tonalis::app::ParseArguments(args);
  if (!options.error.empty()) {
    std::fprintf(stderr, "tonalis: %s\nTry 'tonalis --help'.\n", options.error.c_str());
    return 2;
  }

  tonalis::CupsSpooler& spooler = tonalis::SystemSpooler();
  spooler.SetPasswordPrompt(AskPassword);
  tonalis::ui::QtInteraction interaction;
  tonalis::ui::QtFileDialog fileDialog;
  const tonalis::ui::MainDialogSeams seams{interaction,
                                           fileDialog,
                                           spooler,
                                           tonalis::DefaultStrings(),
                                           options.library.value_or(tonalis::kLibraryFileName),
                                           options.ppd};

  try {
    tonalis::ui::MainDialog dialog(seams);
    interaction.SetOwner(&dialog);
    dialog.Run();
  } catch (const tonalis::ui::TemplateError& e) {
    std::fprintf(stderr, "tonalis: %s\n", e.what());
    return 1;
  }
  return 0;
}

// The command line of the tonalis program.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tonalis::app {

struct AppOptions {
  // Start in PPD-file mode on this file, as if it had been browsed.
  std::optional<std::string> ppd;
  // The library file instead of QR_grad.dat in the current directory.
  std::optional<std::string> library;
  // Started from the desktop menu: work in the user's data folder.
  bool fromDesktop = false;
  // What --help or --version answers; the program then ends at once.
  std::string answer;
  // Set when the command line is wrong; what to tell the user.
  std::string error;
};

// Parses the arguments after the program name. "--opt value" and
// "--opt=value" are both accepted; Qt's own options are taken out
// beforehand, except when only --help and --version are looked for.
AppOptions ParseArguments(const std::vector<std::string>& args);

// `args` without the options that Qt's application object takes for itself
// (-platform NAME, -style=NAME, --reverse, ...), so that the program's own
// can be checked before there is a display to make one.
std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

}  // namespace tonalis::app

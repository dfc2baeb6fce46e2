#include "app/app_options.h"

#include <string_view>

namespace tonalis::app {

namespace {

// Takes the value of `name` from "--name=value" or from the next argument.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string_view name,
               std::optional<std::string>& out, std::string& error) {
  const std::string& arg = args[i];
  const std::string option = "--" + std::string(name);
  std::string value;
  if (arg == option) {
    if (i + 1 >= args.size()) {
      error = option + " needs a file name";
      return true;
    }
    value = args[++i];
  } else if (arg.rfind(option + "=", 0) == 0) {
    value = arg.substr(option.size() + 1);
  } else {
    return false;
  }
  if (value.empty()) {
    error = option + " needs a file name";
  } else if (out) {
    error = option + " is given twice";
  } else {
    out = value;
  }
  return true;
}

}  // namespace

AppOptions ParseArguments(const std::vector<std::string>& args) {
  AppOptions options;
  for (std::size_t i = 0; i < args.size() && options.error.empty(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--from-desktop") {
      options.fromDesktop = true;
    } else if (TakeValue(args, i, "ppd", options.ppd, options.error) ||
               TakeValue(args, i, "library", options.library, options.error)) {
      // taken
    } else {
      options.error = "unknown argument '" + arg + "'";
    }
  }
  return options;
}

std::string UsageText() {
  return "Usage: tonalis [--ppd FILE] [--library FILE] [--from-desktop]\n"
         "Edit the density controls of colour PostScript printers and write them\n"
         "into the printers' PPD files.\n"
         "\n"
         "  --ppd FILE      start on the PPD file FILE instead of a printer\n"
         "  --library FILE  keep the library in FILE instead of QR_grad.dat in the\n"
         "                  current directory\n"
         "  --from-desktop  work in the folder $XDG_DATA_HOME/tonalis (by default\n"
         "                  ~/.local/share/tonalis, created when missing), as the\n"
         "                  desktop menu's entry does\n"
         "  --help          show this text and end\n"
         "  --version       show the version and end\n";
}

}  // namespace tonalis::app

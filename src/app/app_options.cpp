#include "app/app_options.h"

#include <QCommandLineParser>
#include <algorithm>
#include <string_view>

#include "model/version.h"

namespace tonalis::app {

namespace {

// The one value of a file option: given once and not empty.
void TakeFile(const QCommandLineParser& parser, const QCommandLineOption& option,
              std::optional<std::string>& out, std::string& error) {
  const QStringList values = parser.values(option);
  if (values.isEmpty() || !error.empty()) return;
  const std::string name = "--" + option.names().constFirst().toStdString();
  if (values.size() > 1) {
    error = name + " is given twice";
  } else if (values.constFirst().isEmpty()) {
    error = name + " needs a file name";
  } else {
    out = values.constFirst().toLocal8Bit().toStdString();
  }
}

}  // namespace

std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args) {
  // Qt's options, with one dash or two; those of the first list take a value,
  // given as the next argument or after '='.
  static const std::vector<std::string_view> withValue = {
      "platform", "platformpluginpath", "platformtheme", "plugin",   "qwindowgeometry",
      "geometry", "qwindowtitle",       "title",         "qwindowicon", "icon",
      "session",  "display",            "name",          "style",    "stylesheet",
      "qmljsdebugger"};
  static const std::vector<std::string_view> flags = {"reverse", "widgetcount", "testability",
                                                      "nograb", "dograb", "sync"};
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg.size() < 2 || arg[0] != '-') {
      kept.push_back(args[i]);
      continue;
    }
    arg.remove_prefix(arg.substr(0, 2) == "--" ? 2 : 1);
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const auto has = [name](const std::vector<std::string_view>& list) {
      return std::find(list.begin(), list.end(), name) != list.end();
    };
    if (has(withValue)) {
      if (equals == std::string_view::npos) ++i;  // its value follows
    } else if (!has(flags) || equals != std::string_view::npos) {
      kept.push_back(args[i]);
    }
  }
  return kept;
}

AppOptions ParseArguments(const std::vector<std::string>& args) {
  QStringList arguments{QStringLiteral("tonalis")};
  for (const std::string& arg : args) arguments << QString::fromLocal8Bit(arg.c_str());
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption ppd(QStringLiteral("ppd"), QString(), QStringLiteral("FILE"));
  const QCommandLineOption library(QStringLiteral("library"), QString(), QStringLiteral("FILE"));
  const QCommandLineOption fromDesktop(QStringLiteral("from-desktop"));
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringLiteral("version"));
  parser.addOptions({ppd, library, fromDesktop, help, version});

  AppOptions options;
  const bool parsed = parser.parse(arguments);
  if (parser.isSet(help)) {
    options.answer = UsageText();
  } else if (parser.isSet(version)) {
    options.answer = std::string("tonalis ") + TONALIS_VERSION + "\n";
  } else if (!parsed) {
    options.error = parser.errorText().toStdString();
  } else if (!parser.positionalArguments().isEmpty()) {
    options.error = "unknown argument '" + parser.positionalArguments().constFirst().toStdString() + "'";
  }
  if (!options.answer.empty() || !options.error.empty()) return options;
  options.fromDesktop = parser.isSet(fromDesktop);
  TakeFile(parser, ppd, options.ppd, options.error);
  TakeFile(parser, library, options.library, options.error);
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
         "  -h, --help      show this text and end\n"
         "  --version       show the version and end\n";
}

}  // namespace tonalis::app

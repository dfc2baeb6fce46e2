// tonalis-cli gamma VALUE: the thirteen points of a gamma curve.
#include <string>

#include "cli/commands.h"
#include "model/tone_curve.h"

namespace tonalis::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: tonalis-cli gamma VALUE\n"
    "\n"
    "Prints the thirteen points of the curve output = input ^ (VALUE / 100), the\n"
    "values the curve editor's Gamma-setting fills in, as hundredths of a percent\n"
    "at the inputs 0, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 95 and 100 %,\n"
    "separated by single spaces.\n"
    "\n"
    "VALUE is the gamma in hundredths, an integer from 1 to 9999 (220 is 2.20).\n"
    "\n"
    "Example: tonalis-cli gamma 220\n"
    "  0 13 63 289 707 1332 2176 3250 4562 6120 7931 8932 10000\n";

CommandRun DefineGamma(CLI::App&) {
  return [](CommandContext& ctx) {
    if (ctx.arguments.size() != 1)
      return UsageError(ctx, "expected one VALUE");
    const std::string& text = ctx.arguments.front();
    int32_t gamma = 0;
    bool valid = !text.empty() && text.size() <= 8;
    for (char c : text) {
      if (c < '0' || c > '9')
        valid = false;
      if (valid)
        gamma = gamma * 10 + (c - '0');
    }
    if (!valid || gamma < 1 || gamma > 9999) {
      return UsageError(
          ctx,
          "VALUE must be an integer from 1 to 9999 (the gamma in hundredths), not '" + text + "'");
    }
    const auto points = ApplyGamma(gamma);
    for (int i = 0; i < kPointCount; ++i) ctx.out << (i ? " " : "") << points[i];
    ctx.out << '\n';
    return kExitOk;
  };
}

const CommandRegistration kRegisterGamma{
    {"gamma", "print the thirteen points of a gamma curve", kHelp, DefineGamma}};

}  // namespace
}  // namespace tonalis::cli

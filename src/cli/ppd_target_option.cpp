#include "cli/ppd_target_option.h"

#include "cli/printer_commands.h"

namespace tonalis::cli {

std::shared_ptr<PpdTarget> TargetFromOptions(const std::optional<std::string>& printer,
                                             const std::optional<std::string>& server,
                                             std::vector<std::string>& positional,
                                             std::string& error) {
  if (printer) {
    if (printer->empty()) {
      error = "--printer needs a queue name";
      return nullptr;
    }
    return PrinterTarget(*printer, server.value_or(std::string()));
  }
  if (server) {
    error = "--server goes with --printer";
    return nullptr;
  }
  if (positional.empty()) {
    error = "expected a PPD file or --printer QUEUE";
    return nullptr;
  }
  std::string path = positional.front();
  positional.erase(positional.begin());
  return FileTarget(std::move(path));
}

}  // namespace tonalis::cli

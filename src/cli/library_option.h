// The library a command works on, and "-" arguments.
#pragma once

#include <optional>
#include <string>

#include "cli/commands.h"

namespace tonalis {
class Workspace;
}

namespace tonalis::cli {

// "-" stands for standard input where a file is read.
inline bool IsStandardInput(const std::string& path) {
  return path == "-";
}

// The library file named on the command line, or the one the window started
// from the desktop menu uses ($XDG_DATA_HOME/tonalis/QR_grad.dat).
std::string LibraryPath(const std::optional<std::string>& given);

// A usage error for "-" where `what` ("the library", "the PPD") is written.
int RefuseStandardInput(CommandContext& ctx, const std::string& what);

// Loads the library at `path` for a command that only reads it: never
// created, locked or changed; "-" reads the file image from standard input.
// False after a message.
bool ReadLibraryFor(CommandContext& ctx, Workspace& ws, const std::string& path);

// Before a command writes the default library: creates its folder when
// missing, as the window does. Other paths are left alone.
void PrepareLibraryFolder(const std::string& path);

}  // namespace tonalis::cli

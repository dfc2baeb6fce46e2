#include "cli/library_option.h"

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <vector>

#include "formats/library_file.h"
#include "workspace/workspace.h"

namespace tonalis::cli {

std::string LibraryPath(const std::optional<std::string>& given) {
  return given ? *given : DefaultLibraryPath();
}

int RefuseStandardInput(CommandContext& ctx, const std::string& what) {
  return UsageError(ctx, "'-' (standard input) cannot be written; name a file for " + what);
}

bool ReadLibraryFor(CommandContext& ctx, Workspace& ws, const std::string& path) {
  if (!IsStandardInput(path))
    return ws.ReadLibrary();
  // A library file is one block; anything after it belongs to no format.
  std::vector<uint8_t> image;
  for (std::istreambuf_iterator<char> it(ctx.in), end; it != end && image.size() < kLibraryFileBytes; ++it)
    image.push_back(static_cast<uint8_t>(*it));
  ws.ReadLibraryImage(image);
  return true;
}

void PrepareLibraryFolder(const std::string& path) {
  if (path != DefaultLibraryPath())
    return;
  // Should this fail, opening the library says why.
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
}

}  // namespace tonalis::cli

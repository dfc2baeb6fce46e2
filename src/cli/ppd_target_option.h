// Where a PPD command works: a PPD file named by the first positional
// argument, or a print queue named by --printer (with --server for another
// scheduler than the configured one).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/ppd_target.h"

namespace tonalis::cli {

// Takes the target from the options, removing a PPD path from `positional`.
// Returns nothing, with `error` set, when the arguments name no target or two.
std::shared_ptr<PpdTarget> TargetFromOptions(const std::optional<std::string>& printer,
                                             const std::optional<std::string>& server,
                                             std::vector<std::string>& positional,
                                             std::string& error);

}  // namespace tonalis::cli

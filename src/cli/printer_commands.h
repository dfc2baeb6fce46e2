// Print queues on the command line: the target for --printer. The
// scheduler's password questions are libcups' own, asked on the terminal.
#pragma once

#include <memory>
#include <string>

#include "formats/ppd_target.h"

namespace tonalis::cli {

// The PPD of queue `queue` of `server` (empty: the configured scheduler).
// When the scheduler asks for a password, libcups asks for it on the
// terminal; with no terminal the request fails as not authorised.
std::shared_ptr<PpdTarget> PrinterTarget(const std::string& queue, const std::string& server);

}  // namespace tonalis::cli

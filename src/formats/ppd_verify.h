// A second opinion on a PPD before it replaces the old one: CUPS's own PPD
// parser, the one that the scheduler and the filters read the file with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonalis {

// Checks `written` against `reference` (the same file without its
// density-control option): CUPS opens it, its option VLTone is a PickOne
// with exactly `choices` in this order, and every other option of the
// reference is there with the same choices. Returns why not, in the user's
// words, or an empty text when the file is sound. A reference that CUPS
// itself cannot read gives nothing to compare and is not held against the
// written file.
std::string VerifyWrittenPpd(std::string_view reference, std::string_view written,
                             const std::vector<std::string>& choices);

}  // namespace tonalis

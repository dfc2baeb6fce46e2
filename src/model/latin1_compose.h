// Decomposed letters (NFD: a base letter followed by a combining mark, as
// some keyboards, file names and macOS produce them) and their ISO 8859-1
// precomposed form, so that a name typed either way is the same name.
#pragma once

#include <cstdint>

namespace tonalis {

// The ISO 8859-1 letter that `base` (ASCII) followed by the combining mark
// `mark` (U+0300 to U+0327) composes to, or 0 when Latin-1 has none.
uint8_t ComposeLatin1(char base, char32_t mark);

}  // namespace tonalis

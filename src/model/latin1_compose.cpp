#include "model/latin1_compose.h"

#include <string_view>

namespace tonalis {

namespace {

struct MarkRow {
  char32_t mark;
  std::string_view bases;     // base letters
  std::string_view composed;  // their Latin-1 letters, position for position
};

// Every precomposed letter of ISO 8859-1 by its decomposition.
constexpr MarkRow kRows[] = {
    {0x0300, "AEIOUaeiou", "\xC0\xC8\xCC\xD2\xD9\xE0\xE8\xEC\xF2\xF9"},                  // grave
    {0x0301, "AEIOUYaeiouy", "\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD"},        // acute
    {0x0302, "AEIOUaeiou", "\xC2\xCA\xCE\xD4\xDB\xE2\xEA\xEE\xF4\xFB"},                  // circumflex
    {0x0303, "ANOano", "\xC3\xD1\xD5\xE3\xF1\xF5"},                                      // tilde
    {0x0308, "AEIOUaeiouy", "\xC4\xCB\xCF\xD6\xDC\xE4\xEB\xEF\xF6\xFC\xFF"},             // diaeresis
    {0x030A, "Aa", "\xC5\xE5"},                                                          // ring above
    {0x0327, "Cc", "\xC7\xE7"},                                                          // cedilla
};

}  // namespace

uint8_t ComposeLatin1(char base, char32_t mark) {
  for (const MarkRow& row : kRows) {
    if (row.mark != mark)
      continue;
    const std::size_t at = row.bases.find(base);
    return at == std::string_view::npos ? 0 : static_cast<uint8_t>(row.composed[at]);
  }
  return 0;
}

}  // namespace tonalis

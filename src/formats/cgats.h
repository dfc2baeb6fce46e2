// The words of a line of a CGATS text file (ArgyllCMS's .ti3 and .cal).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tonalis {

// A quoted string is one word, without its quotes; '#' outside quotes starts
// a comment that runs to the end of the line.
inline std::vector<std::string> CgatsWords(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size() || line[i] == '#')
      break;
    std::string w;
    if (line[i] == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) w += line[i];
      ++i;
    } else {
      for (; i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r'; ++i)
        w += line[i];
    }
    words.push_back(w);
  }
  return words;
}

}  // namespace tonalis

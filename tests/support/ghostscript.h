// Running the print system's tools from tests, and the CMYK pages
// Ghostscript renders.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace tonalis::test {

struct RunResult {
  int status = -1;  // exit status; 127: not installed (scripts/install-deps)
  std::string out, err;
};
// Runs a program, standard input from /dev/null, output through `scratch`.
inline RunResult RunTool(const std::vector<std::string>& argv, const std::string& scratch) {
  // cupsfilter and cupstestppd live in sbin, which a user's PATH may lack.
  std::string command = "PATH=\"$PATH:/usr/local/sbin:/usr/sbin:/sbin\"";
  for (const std::string& arg : argv)
    command += " '" + std::regex_replace(arg, std::regex("'"), "'\\''") + "'";
  const std::string out = scratch + "/run.out", err = scratch + "/run.err";
  const int status = std::system((command + " </dev/null >'" + out + "' 2>'" + err + "'").c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(out), ReadBytes(err)};
}

// The output of a program that must succeed; throws with its messages.
inline std::string Output(const std::vector<std::string>& argv, const std::string& scratch) {
  const RunResult r = RunTool(argv, scratch);
  const std::string text = r.out.size() < 4000 ? r.out + r.err : r.err;
  if (r.status != 0)
    throw std::runtime_error(argv[0] + " exited with " + std::to_string(r.status) + ": " +
                             (text.size() > 1500 ? "..." + text.substr(text.size() - 1500) : text));
  return r.out;
}

struct CmykRaster {
  int width = 0, height = 0;
  std::vector<unsigned char> samples;  // C M Y K per pixel, rows from the top
  int at(int x, int y, int plane) const {
    return samples[(std::size_t(y) * width + x) * 4 + plane];
  }
};

// The page of Ghostscript's pamcmyk32 output `bytes`.
inline CmykRaster ReadPam(const std::string& bytes) {
  CmykRaster page;
  const bool header = std::sscanf(bytes.c_str(), "P7 WIDTH %d HEIGHT %d DEPTH 4 MAXVAL 255 "
                                  "TUPLTYPE CMYK", &page.width, &page.height) == 2;
  const std::size_t body = bytes.find("ENDHDR\n") + 7;
  const std::size_t size = std::size_t(page.width) * page.height * 4;
  if (!header || body < 7 || bytes.size() < body + size)
    throw std::runtime_error("gs wrote no CMYK raster");
  page.samples.assign(bytes.begin() + long(body), bytes.begin() + long(body + size));
  return page;
}

}  // namespace tonalis::test

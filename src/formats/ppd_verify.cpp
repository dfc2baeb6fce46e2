#include "formats/ppd_verify.h"

#include "platform/libcups.h"
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <map>
#include <memory>

// The PPD API of libcups is marked deprecated in favour of IPP
// everywhere, but it is the parser that CUPS 2.4's scheduler and Debian 12's
// filters read PPDs with, which is the point of asking it.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace tonalis {

namespace {

struct PpdCloser {
  void operator()(ppd_file_t* ppd) const { libcups::ppdClose(ppd); }
};
using PpdFile = std::unique_ptr<ppd_file_t, PpdCloser>;

struct Opened {
  PpdFile ppd;
  std::string error;  // why CUPS could not read it
};

Opened Open(std::string_view bytes) {
  Opened opened;
  // The parser reads from a file descriptor: an anonymous file in memory.
  const int fd = memfd_create("tonalis-ppd", MFD_CLOEXEC);
  if (fd < 0) {
    opened.error = std::strerror(errno);
    return opened;
  }
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      opened.error = std::strerror(errno);
      ::close(fd);
      return opened;
    }
    done += static_cast<std::size_t>(n);
  }
  ::lseek(fd, 0, SEEK_SET);
  cups_file_t* file = libcups::cupsFileOpenFd(fd, "r");  // closed with the file
  if (!file) {
    ::close(fd);
    opened.error = std::strerror(errno);
    return opened;
  }
  opened.ppd.reset(libcups::ppdOpen2(file));
  libcups::cupsFileClose(file);
  if (!opened.ppd) {
    int line = 0;
    const ppd_status_t status = libcups::ppdLastError(&line);
    opened.error = std::string(libcups::ppdErrorString(status)) + " on line " + std::to_string(line);
  }
  return opened;
}

// Every option with its choices, by keyword.
std::map<std::string, std::vector<std::string>> Options(ppd_file_t* ppd) {
  std::map<std::string, std::vector<std::string>> options;
  for (ppd_option_t* o = libcups::ppdFirstOption(ppd); o; o = libcups::ppdNextOption(ppd)) {
    std::vector<std::string>& choices = options[o->keyword];
    for (int i = 0; i < o->num_choices; ++i) choices.emplace_back(o->choices[i].choice);
  }
  return options;
}

}  // namespace

std::string VerifyWrittenPpd(std::string_view reference, std::string_view written,
                             const std::vector<std::string>& choices) {
  const Opened before = Open(reference);
  if (!before.ppd) return {};
  const Opened after = Open(written);
  if (!after.ppd) return "CUPS could not read the file as it would be written (" + after.error + ")";

  std::map<std::string, std::vector<std::string>> now = Options(after.ppd.get());
  const auto option = now.find("VLTone");
  ppd_option_t* found = libcups::ppdFindOption(after.ppd.get(), "VLTone");
  if (option == now.end() || !found || found->ui != PPD_UI_PICKONE || option->second != choices)
    return "CUPS does not read the density-control option of the file as it would be written";
  now.erase(option);

  for (const auto& [keyword, vendorChoices] : Options(before.ppd.get())) {
    if (keyword == "VLTone") continue;
    const auto kept = now.find(keyword);
    if (kept == now.end() || kept->second != vendorChoices)
      return "the printer's option " + keyword + " would not be read as before";
  }
  return {};
}

}  // namespace tonalis

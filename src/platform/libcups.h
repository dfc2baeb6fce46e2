// libcups, loaded when it is first needed.
//
// Most commands of tonalis-cli never talk to a print server, yet linking
// libcups makes every start load it and the thirty-odd libraries it pulls
// in (TLS, Kerberos, D-Bus, Avahi) and run their initialisers. The program
// therefore does not link libcups: the functions it uses are called through
// libcups::name(...), and the first such call opens libcups.so.2.
//
// When libcups cannot be opened, or lacks a function, the call throws
// LibcupsUnavailable; the programs' top-level handlers report it.
#pragma once

#include <cups/cups.h>
#include <cups/ppd.h>

#include <cstring>
#include <stdexcept>
#include <utility>

namespace tonalis::libcups {

struct LibcupsUnavailable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The address of libcups's function `name`.
void* Symbol(const char* name);

// The PPD API of libcups is marked deprecated in favour of IPP everywhere,
// but it is the parser that CUPS 2.4's scheduler and Debian 12's filters
// read PPDs with.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

#define TONALIS_LIBCUPS_FUNCTION(fn)                                  \
  template <class... Args>                                            \
  inline auto fn(Args&&... args) {                                    \
    using Fn = decltype(&::fn);                                       \
    static const Fn function = [] {                                   \
      void* address = Symbol(#fn);                                    \
      Fn f;                                                           \
      std::memcpy(&f, &address, sizeof f);                            \
      return f;                                                       \
    }();                                                              \
    return function(std::forward<Args>(args)...);                     \
  }

TONALIS_LIBCUPS_FUNCTION(cupsAddOption)
TONALIS_LIBCUPS_FUNCTION(cupsCancelJob2)
TONALIS_LIBCUPS_FUNCTION(cupsCreateJob)
TONALIS_LIBCUPS_FUNCTION(cupsDoIORequest)
TONALIS_LIBCUPS_FUNCTION(cupsDoRequest)
TONALIS_LIBCUPS_FUNCTION(cupsEncryption)
TONALIS_LIBCUPS_FUNCTION(cupsFileClose)
TONALIS_LIBCUPS_FUNCTION(cupsFileOpenFd)
TONALIS_LIBCUPS_FUNCTION(cupsFinishDocument)
TONALIS_LIBCUPS_FUNCTION(cupsFreeDests)
TONALIS_LIBCUPS_FUNCTION(cupsFreeOptions)
TONALIS_LIBCUPS_FUNCTION(cupsGetDests2)
TONALIS_LIBCUPS_FUNCTION(cupsGetFd)
TONALIS_LIBCUPS_FUNCTION(cupsGetNamedDest)
TONALIS_LIBCUPS_FUNCTION(cupsGetOption)
TONALIS_LIBCUPS_FUNCTION(cupsLastError)
TONALIS_LIBCUPS_FUNCTION(cupsLastErrorString)
TONALIS_LIBCUPS_FUNCTION(cupsRemoveOption)
TONALIS_LIBCUPS_FUNCTION(cupsServer)
TONALIS_LIBCUPS_FUNCTION(cupsSetDests2)
TONALIS_LIBCUPS_FUNCTION(cupsSetPasswordCB2)
TONALIS_LIBCUPS_FUNCTION(cupsStartDocument)
TONALIS_LIBCUPS_FUNCTION(cupsUser)
TONALIS_LIBCUPS_FUNCTION(cupsWriteRequestData)
TONALIS_LIBCUPS_FUNCTION(httpAssembleURI)
TONALIS_LIBCUPS_FUNCTION(httpClearFields)
TONALIS_LIBCUPS_FUNCTION(httpClose)
TONALIS_LIBCUPS_FUNCTION(httpConnect2)
TONALIS_LIBCUPS_FUNCTION(httpError)
TONALIS_LIBCUPS_FUNCTION(httpFlush)
TONALIS_LIBCUPS_FUNCTION(httpGet)
TONALIS_LIBCUPS_FUNCTION(httpGetAuthString)
TONALIS_LIBCUPS_FUNCTION(httpGetHostname)
TONALIS_LIBCUPS_FUNCTION(httpGetState)
TONALIS_LIBCUPS_FUNCTION(httpRead2)
TONALIS_LIBCUPS_FUNCTION(httpReconnect2)
TONALIS_LIBCUPS_FUNCTION(httpSeparateURI)
TONALIS_LIBCUPS_FUNCTION(httpSetField)
TONALIS_LIBCUPS_FUNCTION(httpSetTimeout)
TONALIS_LIBCUPS_FUNCTION(httpShutdown)
TONALIS_LIBCUPS_FUNCTION(httpUpdate)
TONALIS_LIBCUPS_FUNCTION(ippAddInteger)
TONALIS_LIBCUPS_FUNCTION(ippAddString)
TONALIS_LIBCUPS_FUNCTION(ippAddStrings)
TONALIS_LIBCUPS_FUNCTION(ippDelete)
TONALIS_LIBCUPS_FUNCTION(ippErrorString)
TONALIS_LIBCUPS_FUNCTION(ippFindAttribute)
TONALIS_LIBCUPS_FUNCTION(ippFirstAttribute)
TONALIS_LIBCUPS_FUNCTION(ippGetGroupTag)
TONALIS_LIBCUPS_FUNCTION(ippGetInteger)
TONALIS_LIBCUPS_FUNCTION(ippGetName)
TONALIS_LIBCUPS_FUNCTION(ippGetString)
TONALIS_LIBCUPS_FUNCTION(ippNewRequest)
TONALIS_LIBCUPS_FUNCTION(ippNextAttribute)
TONALIS_LIBCUPS_FUNCTION(ippPort)
TONALIS_LIBCUPS_FUNCTION(ppdClose)
TONALIS_LIBCUPS_FUNCTION(ppdErrorString)
TONALIS_LIBCUPS_FUNCTION(ppdFindOption)
TONALIS_LIBCUPS_FUNCTION(ppdFirstOption)
TONALIS_LIBCUPS_FUNCTION(ppdLastError)
TONALIS_LIBCUPS_FUNCTION(ppdNextOption)
TONALIS_LIBCUPS_FUNCTION(ppdOpen2)

#undef TONALIS_LIBCUPS_FUNCTION
#pragma GCC diagnostic pop

}  // namespace tonalis::libcups

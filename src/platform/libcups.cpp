#include "platform/libcups.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace tonalis::libcups {

namespace {

// The soname of the libcups that the headers describe.
constexpr const char* kLibrary = "libcups.so.2";

void* Library() {
  static void* handle = nullptr;
  static std::string error;
  static std::once_flag once;
  std::call_once(once, [] {
    handle = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* reason = ::dlerror();
      error = reason ? reason : kLibrary;
    }
  });
  if (!handle)
    throw LibcupsUnavailable("The CUPS library cannot be loaded: " + error);
  return handle;
}

}  // namespace

void* Symbol(const char* name) {
  void* handle = Library();
  ::dlerror();
  void* address = ::dlsym(handle, name);
  if (!address)
    throw LibcupsUnavailable(std::string("The CUPS library has no function ") + name + ".");
  return address;
}

}  // namespace tonalis::libcups

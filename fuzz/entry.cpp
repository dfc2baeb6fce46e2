// The libFuzzer entry point of one target; TONALIS_FUZZ_ENTRY names its body
// in targets.h.
#include <cstddef>
#include <cstdint>

#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tonalis::fuzz::TONALIS_FUZZ_ENTRY(data, size);
}

// libFuzzer entry: see FuzzPicks in targets.h.
#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tavelo::reliability::FuzzPicks(data, size);
}

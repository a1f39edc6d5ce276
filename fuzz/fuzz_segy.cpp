// libFuzzer entry: see FuzzSegy in segy_target.h.
#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tavelo::reliability::FuzzSegy(data, size);
}

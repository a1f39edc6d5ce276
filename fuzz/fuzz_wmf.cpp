// libFuzzer entry: see FuzzMetafile in targets.h.
#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tavelo::reliability::FuzzMetafile(data, size);
}

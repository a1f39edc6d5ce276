#pragma once
// Small synthetic SU files for tests, with exactly the header words a case
// needs. Every word not set is 0.
//
//   using namespace tavelo::test;
//   std::vector<SuTrace> traces = MakeTraces(10, 250, 4000,
//       [](int sample, int trace) { return float(sample - trace); });
//   traces[3].Set(su::kNhs, 12).Set(su::kTstat, -8);
//   const std::string path = TempFile("line.su");
//   ASSERT_TRUE(WriteSuFile(path, traces));
//
// Headers keep typed words (not bytes), so the same traces can be written
// little- or big-endian.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "data/su_format.h"
#include "data/su_reader.h"

namespace tavelo::test {

struct SuTrace {
  // Header words by 0-based byte offset. Setting a word again at the same
  // offset replaces it; overlapping words are written in offset order.
  struct Word {
    su::FieldType type = su::FieldType::Int32;
    int64_t integer = 0;
    float real = 0.0f;
  };
  std::map<int, Word> header;
  std::vector<float> samples;

  // Raw setters at any offset (0..238 for 16-bit, 0..236 for 32-bit words).
  // Integers are stored as the header word: a 16-bit word keeps the low
  // 16 bits, so SetInt16(o, 40000) writes the bit pattern of -25536.
  SuTrace& SetInt16(int offset, int32_t value);
  SuTrace& SetInt32(int offset, int64_t value);
  SuTrace& SetFloat(int offset, float value);

  // Sets a word of the header table with its own width and type.
  SuTrace& Set(const su::HeaderField& field, double value);
};

// One sample value from (sample index, trace index), both 0-based.
using SampleFunction = std::function<float(int sample, int trace)>;

// `count` traces of `ns` samples, with tracl = 1..count, cdp = firstCdp +
// trace index, ns and dt (microseconds) set. Samples come from `fn`, or are
// 0 when it is empty. `ns` must not be negative.
std::vector<SuTrace> MakeTraces(int count, int ns, int dt, const SampleFunction& fn = {},
                                int firstCdp = 101);

// Writes the traces one after the other: each header (240 bytes) then its
// own samples (4 bytes each, whatever the header's ns says). False when the
// file cannot be written.
bool WriteSuFile(const std::string& path, const std::vector<SuTrace>& traces,
                 ByteOrder order = ByteOrder::Little);

// The bytes WriteSuFile would write.
std::string SuFileBytes(const std::vector<SuTrace>& traces, ByteOrder order = ByteOrder::Little);

// Writes any bytes (damaged or odd files). False on failure.
bool WriteBytes(const std::string& path, std::string_view bytes);

// Reads a whole file; empty when it cannot be read.
std::string ReadBytes(const std::string& path);

// A fresh, empty folder unique to this call (no trailing separator), under
// the test framework's temporary folder. Folders made here are removed when
// the test program ends.
std::string TempDir();

// A path named `name` in a fresh TempDir(); the file itself is not created.
std::string TempFile(std::string_view name);

}  // namespace tavelo::test

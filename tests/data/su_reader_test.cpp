#include "data/su_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::MakeTraces;
using test::SuTrace;
using test::TempFile;
using test::WriteBytes;
using test::WriteSuFile;

constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();

// A distinct value for every word of the header table, negative where the
// type allows it so that sign extension is checked as well.
double DistinctValue(const su::HeaderField& field) {
  switch (field.type) {
    case su::FieldType::Int16: return -1000 - field.offset;
    case su::FieldType::Int32: return -70000000 - 1000 * field.offset;
    case su::FieldType::Float32: return 0.25 + field.offset;
  }
  return 0;
}

class SuReaderOrderTest : public ::testing::TestWithParam<ByteOrder> {};

TEST_P(SuReaderOrderTest, ReadsEveryHeaderWordAndSampleInEitherOrder) {
  const ByteOrder order = GetParam();
  constexpr int kNs = 6;
  std::vector<SuTrace> traces =
      MakeTraces(3, kNs, 4000, [](int s, int t) { return 100.0f * t + s - 2.5f; });
  for (const su::HeaderField& field : su::kAllFields) {
    traces[1].Set(field, DistinctValue(field));
  }
  const std::string path = TempFile("words.su");
  ASSERT_TRUE(WriteSuFile(path, traces, order));

  std::optional<SuReader> reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->Order(), order);
  const int64_t traceBytes = su::TraceBytes(kNs);
  EXPECT_EQ(reader->Length(), 3 * traceBytes);

  // The second trace carries every word at its table offset.
  for (const su::HeaderField& field : su::kAllFields) {
    SCOPED_TRACE(std::string(field.name));
    if (field.type == su::FieldType::Float32) {
      EXPECT_EQ(reader->ReadHeaderFloat(1, traceBytes, field), DistinctValue(field));
      EXPECT_FALSE(reader->ReadHeaderInt(1, traceBytes, field));
    } else {
      EXPECT_EQ(reader->ReadHeaderInt(1, traceBytes, field), DistinctValue(field));
      EXPECT_EQ(reader->ReadHeaderFloat(1, traceBytes, field),
                static_cast<float>(DistinctValue(field)));
    }
  }
  // Absolute reads agree with the header reads.
  EXPECT_EQ(reader->ReadInt16(traceBytes + su::kTstat.offset), DistinctValue(su::kTstat));
  EXPECT_EQ(reader->ReadInt32(traceBytes + su::kCdp.offset), DistinctValue(su::kCdp));
  EXPECT_EQ(reader->ReadFloat(traceBytes + su::kD1.offset), DistinctValue(su::kD1));

  // Neighbouring traces keep their own words.
  EXPECT_EQ(reader->ReadHeaderInt(0, traceBytes, su::kTracl), 1);
  EXPECT_EQ(reader->ReadHeaderInt(2, traceBytes, su::kTracl), 3);
  EXPECT_EQ(reader->ReadHeaderInt(2, traceBytes, su::kCdp), 103);
  EXPECT_EQ(reader->ReadHeaderInt(0, traceBytes, su::kNs), kNs);
  EXPECT_EQ(reader->ReadHeaderInt(0, traceBytes, su::kDt), 4000);

  std::vector<float> samples(kNs);
  ASSERT_TRUE(reader->ReadSamples(2, traceBytes, samples));
  for (int s = 0; s < kNs; ++s) EXPECT_EQ(samples[s], 200.0f + s - 2.5f) << s;
}

INSTANTIATE_TEST_SUITE_P(BothOrders, SuReaderOrderTest,
                         ::testing::Values(ByteOrder::Little, ByteOrder::Big),
                         [](const auto& info) {
                           return info.param == ByteOrder::Little ? "Little" : "Big";
                         });

// The first header of `traces` as written in `order`, with the file length
// the whole set would have less `cut` bytes.
ByteOrder Detect(const std::vector<SuTrace>& traces, ByteOrder order, int64_t cut = 0) {
  const std::string bytes = test::SuFileBytes(traces, order);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  return DetectByteOrder(std::span(data, static_cast<size_t>(su::kHeaderBytes)),
                         static_cast<int64_t>(bytes.size()) - cut);
}

TEST(SuByteOrder, CommonBigEndianLayoutsAreRecognised) {
  // ns 1000 and dt 4000 read as negative numbers little-endian.
  EXPECT_EQ(Detect(MakeTraces(5, 1000, 4000), ByteOrder::Big), ByteOrder::Big);
  // ns 1024 (bytes 04 00) reads as a plausible 4 little-endian, and 16
  // traces of 4336 bytes are also a whole number of 256-byte traces.
  EXPECT_EQ(Detect(MakeTraces(16, 1024, 8000), ByteOrder::Big), ByteOrder::Big);
  // ns 100 reads as 25600 little-endian, which still fits 200 traces.
  EXPECT_EQ(Detect(MakeTraces(200, 100, 2000), ByteOrder::Big), ByteOrder::Big);
  // Only ns and dt set, nothing else to go by.
  std::vector<SuTrace> bare(4);
  for (SuTrace& t : bare) {
    t.Set(su::kNs, 512).Set(su::kDt, 1000);
    t.samples.assign(512, 0.0f);
  }
  EXPECT_EQ(Detect(bare, ByteOrder::Big), ByteOrder::Big);
  // ns 100 and dt 8000 are both positive either way round; only the length,
  // a whole number of 640-byte traces, tells.
  bare.assign(200, SuTrace{});
  for (SuTrace& t : bare) {
    t.Set(su::kNs, 100).Set(su::kDt, 8000);
    t.samples.assign(100, 0.0f);
  }
  EXPECT_EQ(Detect(bare, ByteOrder::Big), ByteOrder::Big);
  EXPECT_EQ(Detect(bare, ByteOrder::Little), ByteOrder::Little);
  // 16 traces of ns 1024 are 16 x 4336 = 271 x 256 bytes, so both readings
  // fit exactly; dt 4000 (0F A0) read little-endian is negative.
  bare.assign(16, SuTrace{});
  for (SuTrace& t : bare) {
    t.Set(su::kNs, 1024).Set(su::kDt, 4000);
    t.samples.assign(1024, 0.0f);
  }
  EXPECT_EQ(Detect(bare, ByteOrder::Big), ByteOrder::Big);
}

TEST(SuByteOrder, TheSecondHeaderSettlesTwoReadingsThatBothDivideTheFile) {
  // Zero counters and dt 8000 (1F 40, positive either way): 16 traces of
  // ns 1024 are also 271 traces of ns 4 little-endian. Only the second
  // header, which repeats ns 1024, tells.
  std::vector<SuTrace> bare(16);
  for (SuTrace& t : bare) {
    t.Set(su::kNs, 1024).Set(su::kDt, 8000);
    t.samples.assign(1024, 0.0f);
  }
  const std::string path = TempFile("bare-big.su");
  ASSERT_TRUE(test::WriteSuFile(path, bare, ByteOrder::Big));
  std::optional<SuReader> reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->Order(), ByteOrder::Big);
  EXPECT_EQ(reader->ReadHeaderInt(0, 0, su::kNs), 1024);
  // The same file little-endian stays little.
  ASSERT_TRUE(test::WriteSuFile(path, bare, ByteOrder::Little));
  EXPECT_EQ(SuReader::Open(path)->Order(), ByteOrder::Little);
}

TEST(SuByteOrder, LittleEndianStaysLittleWhenTheOtherReadingAlsoFits) {
  // ns 256 reads as 1 big-endian and ns 512 as 2: both fit any file.
  for (int ns : {1, 2, 100, 256, 512, 1000, 1024, 4096}) {
    SCOPED_TRACE(ns);
    EXPECT_EQ(Detect(MakeTraces(16, ns, 4000), ByteOrder::Little), ByteOrder::Little);
    // A damaged file that ends inside its last trace.
    EXPECT_EQ(Detect(MakeTraces(16, ns, 4000), ByteOrder::Little, 3), ByteOrder::Little);
  }
  // A header that makes sense neither way is read little-endian.
  std::vector<SuTrace> nonsense = MakeTraces(2, 10, 4000);
  nonsense[0].Set(su::kNs, -1);  // bytes FF FF: -1 both ways
  EXPECT_EQ(Detect(nonsense, ByteOrder::Big), ByteOrder::Little);
}

TEST(SuByteOrder, ShortInputIsLittleEndian) {
  const std::string bytes = test::SuFileBytes(MakeTraces(1, 1000, 4000), ByteOrder::Big);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  EXPECT_EQ(DetectByteOrder(std::span(data, 239), 4240), ByteOrder::Little);
  EXPECT_EQ(DetectByteOrder(std::span(data, 240), 239), ByteOrder::Little);
  EXPECT_EQ(DetectByteOrder({}, 0), ByteOrder::Little);
  EXPECT_EQ(DetectByteOrder(std::span(data, 240), -5), ByteOrder::Little);
}

TEST(SuReaderBounds, ReadsPastTheEndFail) {
  const int64_t traceBytes = su::TraceBytes(4);
  const std::string path = TempFile("two.su");
  ASSERT_TRUE(WriteSuFile(path, MakeTraces(2, 4, 4000, [](int s, int t) {
                            return 1.0f + s + 10.0f * t;
                          })));
  std::optional<SuReader> reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
  const int64_t length = reader->Length();
  ASSERT_EQ(length, 2 * traceBytes);

  EXPECT_TRUE(reader->ReadInt32(length - 4));
  EXPECT_FALSE(reader->ReadInt32(length - 3));
  EXPECT_TRUE(reader->ReadInt16(length - 2));
  EXPECT_FALSE(reader->ReadInt16(length - 1));
  EXPECT_FALSE(reader->ReadFloat(length));
  EXPECT_FALSE(reader->ReadInt16(-1));
  EXPECT_FALSE(reader->ReadInt32(std::numeric_limits<int64_t>::min()));
  EXPECT_FALSE(reader->ReadInt32(kMax64));
  EXPECT_FALSE(reader->ReadInt16(kMax64 - 1));

  EXPECT_EQ(reader->ReadHeaderInt(1, traceBytes, su::kTracl), 2);
  EXPECT_FALSE(reader->ReadHeaderInt(2, traceBytes, su::kTracl));
  EXPECT_FALSE(reader->ReadHeaderInt(-1, traceBytes, su::kTracl));

  // A trace asked beyond the file: all zero, false.
  std::vector<float> samples(4, 7.0f);
  EXPECT_FALSE(reader->ReadSamples(2, traceBytes, samples));
  EXPECT_EQ(samples, std::vector<float>(4, 0.0f));

  // More samples than the last trace holds: those present are kept.
  std::vector<float> longer(6, 7.0f);
  EXPECT_FALSE(reader->ReadSamples(1, traceBytes, longer));
  EXPECT_EQ(longer, (std::vector<float>{11, 12, 13, 14, 0, 0}));
}

TEST(SuReaderBounds, TruncatedLastTraceKeepsItsWholeSamples) {
  const std::string full = test::SuFileBytes(
      MakeTraces(2, 5, 2000, [](int s, int) { return s + 0.5f; }), ByteOrder::Big);
  const std::string path = TempFile("cut.su");
  // Cut inside the fourth sample of the second trace.
  ASSERT_TRUE(WriteBytes(path, full.substr(0, full.size() - 6)));
  std::optional<SuReader> reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->Order(), ByteOrder::Big);
  std::vector<float> samples(5, -1.0f);
  EXPECT_FALSE(reader->ReadSamples(1, su::TraceBytes(5), samples));
  EXPECT_EQ(samples, (std::vector<float>{0.5f, 1.5f, 2.5f, 0, 0}));
}

TEST(SuReaderBounds, PositionArithmeticNeverOverflows) {
  const std::string path = TempFile("one.su");
  ASSERT_TRUE(WriteSuFile(path, MakeTraces(1, 10, 4000)));
  std::optional<SuReader> reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
  std::vector<float> samples(10);
  const int64_t traceBytes = su::TraceBytes(10);

  EXPECT_FALSE(reader->ReadHeaderInt(kMax64 / 2, traceBytes, su::kTracl));
  EXPECT_FALSE(reader->ReadHeaderInt(kMax64 / traceBytes, traceBytes, su::kNs));
  EXPECT_FALSE(reader->ReadHeaderInt(1, kMax64, su::kTracl));
  EXPECT_FALSE(reader->ReadHeaderFloat(1, kMax64 - 1, su::kD1));
  EXPECT_FALSE(reader->ReadSamples(kMax64 / traceBytes, traceBytes, samples));
  EXPECT_FALSE(reader->ReadSamples(1, kMax64, samples));
  EXPECT_FALSE(reader->ReadSamples(-1, traceBytes, samples));
  EXPECT_FALSE(reader->ReadSamples(1, -traceBytes, samples));
  EXPECT_FALSE(reader->ReadHeaderInt(3, -traceBytes, su::kTracl));
}

TEST(SuReaderOddFiles, MissingOrNonRegularFilesDoNotOpen) {
  EXPECT_FALSE(SuReader::Open(TempFile("absent.su")));
  EXPECT_FALSE(SuReader::Open(test::TempDir()));
  EXPECT_FALSE(SuReader::Open(""));
  // A named pipe would block a plain open until a writer comes.
  const std::string fifo = TempFile("pipe.su");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(SuReader::Open(fifo));
}

TEST(SuReaderOddFiles, EmptyAndShortFilesGiveDefinedResults) {
  const std::string empty = TempFile("empty.su");
  ASSERT_TRUE(WriteBytes(empty, ""));
  std::optional<SuReader> none = SuReader::Open(empty);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->Length(), 0);
  EXPECT_EQ(none->Order(), ByteOrder::Little);
  EXPECT_FALSE(none->ReadInt16(0));
  EXPECT_FALSE(none->ReadHeaderInt(0, 0, su::kNs));
  std::vector<float> samples(3, 1.0f);
  EXPECT_FALSE(none->ReadSamples(0, su::kHeaderBytes + 12, samples));
  EXPECT_EQ(samples, std::vector<float>(3, 0.0f));

  // 100 bytes: the words inside are read, those past them fail.
  std::string bytes(100, '\0');
  bytes[0] = 7;  // tracl, little-endian
  bytes[32] = 1;
  bytes[33] = 2;  // nhs 0x0201
  const std::string shortFile = TempFile("short.su");
  ASSERT_TRUE(WriteBytes(shortFile, bytes));
  std::optional<SuReader> part = SuReader::Open(shortFile);
  ASSERT_TRUE(part);
  EXPECT_EQ(part->Length(), 100);
  EXPECT_EQ(part->Order(), ByteOrder::Little);
  EXPECT_EQ(part->ReadHeaderInt(0, 0, su::kTracl), 7);
  EXPECT_EQ(part->ReadHeaderInt(0, 0, su::kNhs), 0x0201);
  EXPECT_FALSE(part->ReadHeaderInt(0, 0, su::kNs));
  EXPECT_FALSE(part->ReadSamples(0, su::kHeaderBytes + 12, samples));
}

TEST(SuReaderOddFiles, NonPositiveNsLeavesOnlyTheFirstHeaderReadable) {
  for (int ns : {0, -5}) {
    SCOPED_TRACE(ns);
    std::vector<SuTrace> traces = MakeTraces(1, 0, 4000);
    traces[0].Set(su::kNs, ns);
    traces[0].samples.assign(8, 1.0f);  // bytes after the header all the same
    const std::string path = TempFile("ns.su");
    ASSERT_TRUE(WriteSuFile(path, traces));
    std::optional<SuReader> reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
    const int64_t traceBytes = su::TraceBytes(ns);
    ASSERT_EQ(traceBytes, 0);
    EXPECT_EQ(reader->ReadHeaderInt(0, traceBytes, su::kNs), ns);
    EXPECT_EQ(reader->ReadHeaderInt(0, traceBytes, su::kDt), 4000);
    EXPECT_FALSE(reader->ReadHeaderInt(1, traceBytes, su::kDt));
    std::vector<float> samples(2, 9.0f);
    EXPECT_FALSE(reader->ReadSamples(1, traceBytes, samples));
    EXPECT_EQ(samples, std::vector<float>(2, 0.0f));
  }
}

TEST(SuReaderOddFiles, RandomBytesNeverMisbehave) {
  // Fixed seeds: every run reads the same files.
  uint64_t state = 0x9E3779B97F4A7C15u;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int round = 0; round < 40; ++round) {
    std::string bytes(static_cast<size_t>(next() % 3000), '\0');
    for (char& c : bytes) c = static_cast<char>(next() & 0xFF);
    const std::string path = TempFile("random.su");
    ASSERT_TRUE(WriteBytes(path, bytes));
    std::optional<SuReader> reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
    ASSERT_EQ(reader->Length(), static_cast<int64_t>(bytes.size()));
    const int32_t ns = reader->ReadHeaderInt(0, 0, su::kNs).value_or(0);
    const int64_t traceBytes = su::TraceBytes(ns);
    for (int64_t trace = 0; trace < 3; ++trace) {
      for (const su::HeaderField& field : su::kAllFields) {
        const bool inside =
            (trace == 0 || traceBytes > 0) &&
            trace * traceBytes + field.offset + field.width <= reader->Length();
        if (field.type == su::FieldType::Float32) {
          EXPECT_EQ(reader->ReadHeaderFloat(trace, traceBytes, field).has_value(), inside);
        } else {
          EXPECT_EQ(reader->ReadHeaderInt(trace, traceBytes, field).has_value(), inside);
        }
      }
      std::vector<float> samples(static_cast<size_t>(std::clamp(ns, 0, 4000)));
      const bool present = samples.empty() ||
                           trace * traceBytes + su::kHeaderBytes +
                                   4 * static_cast<int64_t>(samples.size()) <=
                               reader->Length();
      EXPECT_EQ(reader->ReadSamples(trace, traceBytes, samples), present);
    }
  }
}

// Positions beyond 2^31 and 2^32, on a sparse file that costs no disk.
TEST(SuReaderLargeFiles, ReadsTracesBeyondFourGibibytes) {
  constexpr int kNs = 1000;
  const int64_t traceBytes = su::TraceBytes(kNs);
  const int64_t traceIndex = (int64_t{5} << 30) / traceBytes;  // about 5 GiB in
  const int64_t start = traceIndex * traceBytes;
  ASSERT_GT(start, int64_t{1} << 32);

  const std::string path = TempFile("big.su");
  std::vector<SuTrace> first = MakeTraces(1, kNs, 2000);
  ASSERT_TRUE(WriteSuFile(path, first));
  std::vector<SuTrace> far = MakeTraces(1, kNs, 2000, [](int s, int) { return 0.5f * s; });
  far[0].Set(su::kTracl, static_cast<double>(traceIndex + 1)).Set(su::kTstat, -12);
  const std::string farBytes = test::SuFileBytes(far);

  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  if (::ftruncate(fd, static_cast<off_t>(start + traceBytes)) != 0 ||
      ::pwrite(fd, farBytes.data(), farBytes.size(), static_cast<off_t>(start)) !=
          static_cast<ssize_t>(farBytes.size())) {
    ::close(fd);
    GTEST_SKIP() << "the temporary folder does not take a 5 GiB sparse file";
  }
  ::close(fd);

  std::optional<SuReader> reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->Length(), start + traceBytes);
  EXPECT_EQ(reader->Order(), ByteOrder::Little);
  EXPECT_EQ(reader->ReadHeaderInt(traceIndex, traceBytes, su::kTracl), traceIndex + 1);
  EXPECT_EQ(reader->ReadHeaderInt(traceIndex, traceBytes, su::kTstat), -12);
  EXPECT_EQ(reader->ReadInt16(start + su::kNs.offset), kNs);
  // The hole in between reads as zeros.
  EXPECT_EQ(reader->ReadHeaderInt(traceIndex / 2, traceBytes, su::kTracl), 0);
  EXPECT_FALSE(reader->ReadHeaderInt(traceIndex + 1, traceBytes, su::kTracl));

  std::vector<float> samples(kNs);
  ASSERT_TRUE(reader->ReadSamples(traceIndex, traceBytes, samples));
  EXPECT_EQ(samples[0], 0.0f);
  EXPECT_EQ(samples[kNs - 1], 0.5f * (kNs - 1));
}

}  // namespace
}  // namespace tavelo

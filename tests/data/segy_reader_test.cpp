// SEG-Y files read as SU files: the files of tests/data/segy (written by
// segyio, see its README) against the SU file of the same traces, the
// sample formats, the refusals and what the file check finds in them.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "data/segy_reader.h"
#include "data/su_reader.h"
#include "data/su_trace_file.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

std::string SegyPath(const std::string& name) {
  return std::string(TAVELO_SOURCE_DIR) + "/tests/data/segy/" + name;
}

std::string Bytes(const std::string& name) { return test::ReadBytes(SegyPath(name)); }

std::optional<SuReader> FromBytes(std::string bytes) {
  return SuReader::FromSource(MemorySource(std::move(bytes)));
}

segy::LayoutOrProblem LayoutOf(std::string bytes) {
  return segy::ReadLayout(*MemorySource(std::move(bytes)));
}

void Put16(std::string& b, size_t at, int v) {
  b[at] = static_cast<char>((v >> 8) & 0xFF);
  b[at + 1] = static_cast<char>(v & 0xFF);
}

constexpr int kTraces = 12, kSamples = 48;
constexpr int64_t kSuTrace = 240 + 4 * kSamples;

// Every header word the program reads and every sample, as the SU reader
// gives them, equal to those of the SU file of the same traces; SU's own
// words cannot be read from SEG-Y.
void ExpectSameAsSu(const std::string& name, const std::string& reference) {
  SCOPED_TRACE(name);
  const auto segy = SuReader::Open(SegyPath(name));
  const auto su = SuReader::Open(SegyPath(reference));
  ASSERT_TRUE(segy && su);
  ASSERT_EQ(segy->Length(), su->Length());
  for (int t = 0; t < kTraces; ++t) {
    for (const su::HeaderField& f : su::kAllFields) {
      const bool suOwn = f.offset == su::kD1.offset || f.offset == su::kD2AsInt.offset ||
                         f.offset == su::kUnassigned232.offset;
      if (suOwn) {
        EXPECT_FALSE(segy->ReadHeaderFloat(t, kSuTrace, f)) << f.name;
        continue;
      }
      EXPECT_EQ(segy->ReadHeaderInt(t, kSuTrace, f), su->ReadHeaderInt(t, kSuTrace, f))
          << f.name << " of trace " << t;
    }
    std::vector<float> a(kSamples), b(kSamples);
    EXPECT_TRUE(segy->ReadSamples(t, kSuTrace, a));
    EXPECT_TRUE(su->ReadSamples(t, kSuTrace, b));
    EXPECT_EQ(a, b) << "trace " << t;
  }
}

TEST(SegyReader, EverySampleFormatAndByteOrderReadsAsTheSuFile) {
  for (const char* name : {"f1-be.sgy", "f1-le.sgy", "f2-be.sgy", "f2-le.sgy", "f3-be.sgy",
                           "f3-le.sgy", "f5-be.sgy", "f5-le.sgy", "f8-be.sgy", "f8-le.sgy",
                           "f6-be.sgy", "f7-be.sgy", "f9-be.sgy", "rev1-exthead.sgy", "trace-ns.sgy"})
    ExpectSameAsSu(name, "reference.su");
  for (const char* name : {"f10-be.sgy", "f11-be.sgy", "f12-be.sgy", "f15-be.sgy", "f16-be.sgy"})
    ExpectSameAsSu(name, "reference-unsigned.su");
}

TEST(SegyReader, LayoutFromTheBinaryHeaderAndItsFallbacks) {
  auto l = LayoutOf(Bytes("f1-le.sgy"));
  ASSERT_TRUE(l.layout) << l.problem;
  EXPECT_EQ(l.layout->order, ByteOrder::Little);
  EXPECT_FALSE(l.layout->ebcdic);
  EXPECT_EQ(l.layout->interval, 4000);
  EXPECT_EQ(l.layout->traceCount, kTraces);

  l = LayoutOf(Bytes("rev1-exthead.sgy"));
  ASSERT_TRUE(l.layout);
  EXPECT_EQ(l.layout->revision, 1);
  EXPECT_EQ(l.layout->firstTrace, 3600 + 3200);

  // ns and dt only in the first trace header.
  l = LayoutOf(Bytes("trace-ns.sgy"));
  ASSERT_TRUE(l.layout);
  EXPECT_EQ(l.layout->samples, kSamples);
  EXPECT_EQ(l.layout->interval, 4000);

  // Revision 0 leaves the bytes of the later counts unread.
  std::string rev0 = Bytes("f5-be.sgy");
  Put16(rev0, 3504, 3);
  l = LayoutOf(rev0);
  ASSERT_TRUE(l.layout);
  EXPECT_EQ(l.layout->firstTrace, 3600);

  // A variable count of extended headers runs up to the end stanza; without
  // one the file is refused, not searched without end.
  std::string variable = Bytes("rev1-exthead.sgy");
  Put16(variable, 3504, -1);
  EXPECT_FALSE(LayoutOf(variable).layout);
  const char stanza[] = "((SEG: EndText))";
  std::memcpy(variable.data() + 3600 + 80, stanza, sizeof stanza - 1);
  l = LayoutOf(variable);
  ASSERT_TRUE(l.layout) << l.problem;
  EXPECT_EQ(l.layout->firstTrace, 3600 + 3200);

  // A file that ends inside a trace keeps its whole traces.
  std::string cut = Bytes("f1-be.sgy");
  cut.resize(cut.size() - 10);
  l = LayoutOf(cut);
  ASSERT_TRUE(l.layout);
  EXPECT_EQ(l.layout->traceCount, kTraces - 1);
  EXPECT_TRUE(l.layout->truncated);
}

TEST(SegyReader, RevisionTwoCountsAndPositions) {
  // Revision 2, little-endian by its order word, the first trace placed by
  // its 64-bit position after a gap, ns in the extended word.
  std::string b = Bytes("f5-le.sgy");
  const std::string traces = b.substr(3600);
  b.resize(3600);
  b[3500] = 2;
  b[3501] = 0;
  const uint32_t order = 0x01020304u;
  std::memcpy(b.data() + 3296, &order, 4);  // the host's order: little here
  b[3220] = b[3221] = 0;
  const uint32_t ns = kSamples;
  std::memcpy(b.data() + 3268, &ns, 4);
  const uint64_t first = 3600 + 1000;
  std::memcpy(b.data() + 3520, &first, 8);
  b += std::string(1000, '\0') + traces;
  ASSERT_EQ(std::endian::native, std::endian::little);
  const auto l = LayoutOf(b);
  ASSERT_TRUE(l.layout) << l.problem;
  EXPECT_EQ(l.layout->revision, 2);
  EXPECT_EQ(l.layout->firstTrace, 4600);
  EXPECT_EQ(l.layout->samples, kSamples);
  EXPECT_EQ(l.layout->traceCount, kTraces);
  const auto reader = FromBytes(b);
  const auto su = SuReader::Open(SegyPath("reference.su"));
  ASSERT_TRUE(reader && su);
  std::vector<float> a(kSamples), r(kSamples);
  ASSERT_TRUE(reader->ReadSamples(kTraces - 1, kSuTrace, a));
  ASSERT_TRUE(su->ReadSamples(kTraces - 1, kSuTrace, r));
  EXPECT_EQ(a, r);
}

TEST(SegyReader, IbmFloats) {
  EXPECT_EQ(segy::IbmToFloat(0x42640000u), 100.0f);
  EXPECT_EQ(segy::IbmToFloat(0xC276A000u), -118.625f);
  EXPECT_EQ(segy::IbmToFloat(0x41100000u), 1.0f);
  EXPECT_EQ(segy::IbmToFloat(0x3E100000u), 1.0f / 4096);
  EXPECT_EQ(segy::IbmToFloat(0x00000000u), 0.0f);
  EXPECT_EQ(segy::IbmToFloat(0x80000000u), 0.0f);
  // Beyond the float range: infinity (drawn as 0), below it: 0.
  EXPECT_EQ(segy::IbmToFloat(0x7FFFFFFFu), std::numeric_limits<float>::infinity());
  EXPECT_EQ(segy::IbmToFloat(0xFFFFFFFFu), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(segy::IbmToFloat(0x00100000u), 0.0f);
}

TEST(SegyReader, SuFilesStaySu) {
  EXPECT_FALSE(segy::LooksLikeSegy(*MemorySource(Bytes("reference.su"))));
  // Constant samples whose bytes are EBCDIC blanks (3.0 is 40 40 00 00).
  const std::string path = test::TempFile("blanks.su");
  ASSERT_TRUE(test::WriteSuFile(path, test::MakeTraces(20, 200, 4000, [](int, int) { return 3.0f; })));
  EXPECT_FALSE(segy::CheckFile(path).segy);
  const auto su = SuReader::Open(path);
  ASSERT_TRUE(su);
  EXPECT_EQ(su->ReadHeaderInt(0, 0, su::kNs), 200);
}

TEST(SegyReader, BrokenFilesAreRefusedWithTheirReason) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"broken-truncated.sgy", "is truncated: it holds no whole trace"},
      {"broken-text-only.sgy", "has a textual header only"},
      {"broken-format.sgy", "has an unknown sample format code 4"},
      {"broken-negative-ns.sgy", "has -48 samples per trace"},
      {"broken-zero-ns.sgy", "has 0 samples per trace"}};
  for (const auto& [name, reason] : cases) {
    SCOPED_TRACE(name);
    const std::string path = SegyPath(name);
    EXPECT_FALSE(SuReader::Open(path));
    const SuFileCheck check = InspectSuFile(path);
    EXPECT_EQ(check.problem, SuFileProblem::SegyRefused);
    EXPECT_EQ(check.segyProblem, reason);
    EXPECT_FALSE(check.segyWholeTraces);
  }
  // Counts from the file are checked before they size anything.
  std::string many = Bytes("f1-be.sgy");
  many[3500] = 2;
  many[3268] = 0, many[3269] = 0, many[3270] = 0x9C, many[3271] = 0x40;  // 40000
  EXPECT_EQ(LayoutOf(many).problem, "has more samples per trace (40000) than can be plotted (32767)");
  std::string far = Bytes("f1-be.sgy");
  far[3500] = 1;
  Put16(far, 3504, 32000);
  EXPECT_EQ(LayoutOf(far).problem, "is truncated: it holds no whole trace");
}

TEST(SegyReader, FileChoiceNoticesAFileEndingInsideATrace) {
  std::string cut = Bytes("f2-le.sgy");
  cut.resize(cut.size() - 1);
  const std::string path = test::TempFile("cut.sgy");
  ASSERT_TRUE(test::WriteBytes(path, cut));
  const SuFileCheck check = InspectSuFile(path);
  EXPECT_TRUE(check.usable());
  EXPECT_EQ(check.segyWholeTraces, 11);
  EXPECT_FALSE(InspectSuFile(SegyPath("f2-le.sgy")).segyWholeTraces);  // whole: no notice
  const auto reader = SuReader::Open(path);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->Length(), 11 * kSuTrace);
}

TEST(SegyReader, TextualHeaderAsLines) {
  const std::string ebcdic = segy::TextualHeaderText(*MemorySource(Bytes("f1-be.sgy")));
  const std::string ascii = segy::TextualHeaderText(*MemorySource(Bytes("f1-le.sgy")));
  EXPECT_EQ(ebcdic.rfind("C 1 CLIENT TAVELO TEST DATA    LINE SEGY-1\r\n", 0), 0u) << ebcdic;
  EXPECT_NE(ebcdic.find("\r\nC 4 PROCESSING: SUNMO VNMO=1500 | SUSTACK\r\n"), std::string::npos) << ebcdic;
  EXPECT_EQ(ebcdic, ascii);
  // Extended textual headers follow the primary one.
  const std::string extended = segy::TextualHeaderText(*MemorySource(Bytes("rev1-exthead.sgy")));
  EXPECT_NE(extended.find("C40 END EBCDIC\r\nC 1 EXTENDED HEADER 1\r\n"), std::string::npos) << extended;
}

}  // namespace
}  // namespace tavelo

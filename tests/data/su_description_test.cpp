// What the first trace header says of a file, read without any window
// fields: from memory, from a file, and from files cut short; what the
// checks of a chosen file find.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "data/byte_source.h"
#include "data/su_trace_file.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::MakeTraces;

SuDescription DescribeBytes(std::string bytes) {
  std::optional<SuReader> reader = SuReader::FromSource(MemorySource(std::move(bytes)));
  EXPECT_TRUE(reader);
  return reader ? DescribeSuFile(*reader) : SuDescription{};
}

TEST(SuDescription, EveryWordOfTheFirstHeaderFromMemory) {
  auto traces = MakeTraces(3, 100, 4000);
  traces[0].Set(su::kScalel, -100).Set(su::kD2AsInt, -2500).Set(su::kGdel, 30000).Set(su::kSdel, 12);
  traces[1].Set(su::kScalel, 7).Set(su::kSdel, 99);  // only the first header counts
  const SuDescription d = DescribeBytes(test::SuFileBytes(traces));
  EXPECT_EQ(d.length, 3 * (240 + 400));
  EXPECT_EQ(d.samplesPerTrace, 100);
  EXPECT_EQ(d.sampleInterval, 4000);
  EXPECT_FALSE(d.sampleIntervalMissing);
  EXPECT_EQ(d.scalel, -100);
  EXPECT_EQ(d.traceInterval, -2500);
  EXPECT_EQ(d.gdel, 30000);
  EXPECT_EQ(d.sdel, 12);
  ASSERT_TRUE(TraceSpacing(d));
  EXPECT_DOUBLE_EQ(*TraceSpacing(d), 12.5);  // |-2500 / 2| x 0.01
}

TEST(SuDescription, SampleIntervalFromD1OrMissing) {
  auto fromD1 = MakeTraces(2, 10, 0);
  fromD1[0].Set(su::kD1, 0.5);
  const SuDescription d = DescribeBytes(test::SuFileBytes(fromD1));
  EXPECT_EQ(d.sampleInterval, 500);
  EXPECT_FALSE(d.sampleIntervalMissing);

  auto none = MakeTraces(2, 10, 0);  // dt 0 and d1 0: the header gives none
  const SuDescription missing = DescribeBytes(test::SuFileBytes(none));
  EXPECT_FALSE(missing.sampleInterval);
  EXPECT_TRUE(missing.sampleIntervalMissing);
}

// A file that ends inside its first header gives the words it holds and
// no others; dt 0 with d1 cut off counts as no interval given (asked for),
// not as an unreadable one (kept from the previous file).
TEST(SuDescription, TruncatedHeaderGivesOnlyTheWordsItHolds) {
  auto traces = MakeTraces(1, 10, 2000);
  traces[0].Set(su::kScalel, 10).Set(su::kGdel, 4).Set(su::kSdel, 5).Set(su::kD2AsInt, 30);
  const SuDescription cut = DescribeBytes(test::SuFileBytes(traces).substr(0, 150));
  EXPECT_EQ(cut.length, 150);
  EXPECT_EQ(cut.samplesPerTrace, 10);
  EXPECT_EQ(cut.sampleInterval, 2000);
  EXPECT_EQ(cut.scalel, 10);
  EXPECT_EQ(cut.gdel, 4);
  EXPECT_EQ(cut.sdel, 5);
  EXPECT_FALSE(cut.traceInterval);  // d2 lies at 188
  EXPECT_FALSE(TraceSpacing(cut));

  auto noDt = MakeTraces(1, 10, 0);
  const SuDescription noD1 = DescribeBytes(test::SuFileBytes(noDt).substr(0, 150));
  EXPECT_FALSE(noD1.sampleInterval);
  EXPECT_TRUE(noD1.sampleIntervalMissing);

  const SuDescription tiny = DescribeBytes("abc");
  EXPECT_EQ(tiny.length, 3);
  EXPECT_FALSE(tiny.samplesPerTrace);
  EXPECT_FALSE(tiny.sampleInterval);
  EXPECT_FALSE(tiny.sampleIntervalMissing);  // dt itself cannot be read
  EXPECT_FALSE(tiny.scalel || tiny.gdel || tiny.sdel || tiny.traceInterval);
}

TEST(SuDescription, FromAPathOrNothing) {
  auto traces = MakeTraces(2, 20, 1000);
  traces[0].Set(su::kScalel, 2).Set(su::kD2AsInt, 25);
  const std::string path = test::TempFile("line.su");
  ASSERT_TRUE(test::WriteSuFile(path, traces));
  const std::optional<SuDescription> d = DescribeSuFile(path);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->length, 2 * (240 + 80));
  EXPECT_DOUBLE_EQ(TraceSpacing(*d).value_or(0), 25.0);  // |25 / 2| x 2
  EXPECT_FALSE(DescribeSuFile(test::TempDir() + "/gone.su"));
}

TEST(SuDescription, TraceNumberingReadsTheFileAndLeavesItAloneWithoutOne) {
  auto traces = MakeTraces(5, 4, 2000, {}, 1001);
  for (int i = 0; i < 5; ++i) traces[static_cast<size_t>(i)].Set(su::kTracl, 501 + i);
  SuTraceFile file;
  file.ActiveFilePath = test::TempFile("line.su");
  ASSERT_TRUE(test::WriteSuFile(file.ActiveFilePath, traces));
  file.SamplesPerTrace = 4;
  EXPECT_EQ(ReadTraceNumbering(file, 2, false), 502);
  EXPECT_EQ(file.TraceCount, 5);
  EXPECT_EQ(file.SampleInterval, 2000);
  EXPECT_EQ(ReadTraceNumbering(file, 5, true), 1005);
  EXPECT_EQ(ReadTraceNumbering(file, 6, true), 0);
  EXPECT_EQ(ReadTraceNumbering(file, 0, false), 0);
  EXPECT_EQ(ReadTraceNumbering(file, std::nullopt, false), 0);

  SuTraceFile none;
  none.ActiveFilePath = test::TempDir() + "/gone.su";
  none.TraceCount = 9;
  EXPECT_FALSE(ReadTraceNumbering(none, 1, false));
  EXPECT_EQ(none.TraceCount, 9);
}

// The first problem found stops the checks; a SU file is no SEG-Y file.
TEST(SuFileCheck, MissingFoldersPipesAndEmptyFilesAreTold) {
  const std::string dir = test::TempDir();
  EXPECT_EQ(InspectSuFile(dir + "/gone.su").problem, SuFileProblem::Missing);
  EXPECT_EQ(InspectSuFile(dir).problem, SuFileProblem::Missing);  // a folder is not the file
  const std::string fifo = dir + "/pipe.su";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(InspectSuFile(fifo).problem, SuFileProblem::Inaccessible);
  ASSERT_TRUE(test::WriteBytes(dir + "/empty.su", ""));
  EXPECT_EQ(InspectSuFile(dir + "/empty.su").problem, SuFileProblem::Empty);

  ASSERT_TRUE(test::WriteSuFile(dir + "/line.su", MakeTraces(2, 10, 4000)));
  const SuFileCheck line = InspectSuFile(dir + "/line.su");
  EXPECT_TRUE(line.usable());
  EXPECT_TRUE(line.segyProblem.empty());
  EXPECT_FALSE(line.segyWholeTraces);
}

}  // namespace
}  // namespace tavelo

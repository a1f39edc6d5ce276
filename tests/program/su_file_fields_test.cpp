// The file checks' messages, the describing read, the file choice and the
// trace numbering as the window fields and the questions show them, on
// small synthetic files.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <limits>

#include "support/scripted_dialogs.h"
#include "program/su_file_fields.h"
#include "settings/form.h"
#include "settings/form_fields.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::MakeTraces;
using test::SuTrace;
using test::WriteSuFile;

struct Described {
  Form form;
  ScriptedDialogs dialogs;
  SuTraceFile file;

  void Describe(const std::string& path) {
    file.ActiveFilePath = path;
    ReadFileDescription(file, form, dialogs);
  }
};

TEST(DescribingRead, TenTracesOfThousandSamples) {
  auto traces = MakeTraces(10, 1000, 4000);
  traces[0].Set(su::kSdel, 250);
  const std::string path = test::TempFile("line.su");
  ASSERT_TRUE(WriteSuFile(path, traces));
  ASSERT_EQ(test::ReadBytes(path).size(), 42400u);

  Described d;
  d.Describe(path);
  EXPECT_EQ(d.file.SamplesPerTrace, 1000);
  EXPECT_EQ(d.file.SampleInterval, 4000);
  EXPECT_EQ(d.file.TraceCount, 10);
  EXPECT_EQ(d.form.Text(kLastTrace), "10");
  EXPECT_EQ(d.form.Text(kTimeToDrawMs), "4000");
  EXPECT_EQ(d.form.Text(kDatum), "250");  // gdel 0 takes sdel: no question
  EXPECT_TRUE(d.dialogs.asked.empty());
}

TEST(DescribingRead, SampleIntervalFromD1WhenDtIsZero) {
  auto traces = MakeTraces(3, 100, 0);
  traces[0].Set(su::kD1, 4.0);
  traces[0].Set(su::kSdel, 10);
  const std::string path = test::TempFile("d1.su");
  ASSERT_TRUE(WriteSuFile(path, traces));
  Described d;
  d.Describe(path);
  EXPECT_EQ(d.file.SampleInterval, 4000);        // kept through the numbering refresh
  EXPECT_EQ(d.form.Text(kTimeToDrawMs), "400");  // 4 ms x 100 samples
}

TEST(DescribingRead, ElevationFactorAndTraceSpacing) {
  EXPECT_DOUBLE_EQ(ElevationFactor(-100), 0.01);
  EXPECT_DOUBLE_EQ(ElevationFactor(0), 1.0);
  EXPECT_DOUBLE_EQ(ElevationFactor(10), 10.0);

  auto traces = MakeTraces(2, 10, 2000);
  traces[0].Set(su::kScalel, -100).Set(su::kD2AsInt, -2500).Set(su::kGdel, 30000);
  const std::string path = test::TempFile("scaled.su");
  ASSERT_TRUE(WriteSuFile(path, traces));
  Described d;
  d.Describe(path);
  EXPECT_DOUBLE_EQ(d.file.ElevationScalar, 0.01);
  EXPECT_EQ(d.form.Text(kTraceSpacingM), "12.5");  // |-2500 / 2| x 0.01
  EXPECT_EQ(d.form.Text(kDatum), "300");           // sdel 0 takes gdel: 30000 x 0.01
}

TEST(DescribingRead, DatumQuestionWhenBothDelaysAreZero) {
  const std::string path = test::TempFile("nodatum.su");
  auto traces = MakeTraces(2, 10, 2000);
  traces[0].Set(su::kScalel, 10);
  ASSERT_TRUE(WriteSuFile(path, traces));
  Described d;
  d.dialogs.answers = {"12.26"};
  d.Describe(path);
  ASSERT_EQ(d.dialogs.asked.size(), 1u);
  EXPECT_EQ(d.dialogs.asked[0].prompt, "Datum elevation ?");
  EXPECT_EQ(d.dialogs.asked[0].defaultText, " 0");
  EXPECT_EQ(d.form.Text(kDatum), "123");  // 10 x 12.26 rounded
}

TEST(DescribingRead, PartialTracesRoundHalvesToEven) {
  const int64_t trace = 240 + 4 * 10;
  for (auto [bytes, expected] : {std::pair{trace * 5 / 2, 2}, std::pair{trace * 3 / 2, 2},
                                 std::pair{trace * 7 / 2, 4}}) {
    auto traces = MakeTraces(1, 10, 2000);
    traces[0].Set(su::kSdel, 1);
    std::string data = test::SuFileBytes(traces);
    data.resize(static_cast<size_t>(bytes), '\0');
    const std::string path = test::TempFile("partial.su");
    ASSERT_TRUE(test::WriteBytes(path, data));
    Described d;
    d.Describe(path);
    EXPECT_EQ(d.file.TraceCount, expected) << bytes << " bytes";
  }
}

TEST(DescribingRead, ShortFileAsksForTheTraceCountUntilNonZero) {
  auto traces = MakeTraces(1, 1000, 2000);
  traces[0].Set(su::kSdel, 1);
  std::string data = test::SuFileBytes(traces).substr(0, 1000);  // under half a trace
  const std::string path = test::TempFile("short.su");
  ASSERT_TRUE(test::WriteBytes(path, data));
  Described d;
  d.dialogs.answers = {"0", "abc", "7"};
  d.Describe(path);
  ASSERT_EQ(d.dialogs.asked.size(), 3u);
  EXPECT_EQ(d.dialogs.asked[0].prompt, "Traces number to print ?");
  EXPECT_EQ(d.file.TraceCount, 7);
  EXPECT_EQ(d.form.Text(kLastTrace), "7");
}

TEST(DescribingRead, GarbageAndDamagedFilesGiveDefinedResults) {
  // Random bytes, a negative ns, an ns far beyond the file, and a file of a
  // few bytes: no crash, no endless question (the scripted answers run out
  // on the default " 1").
  std::string random(5000, '\0');
  uint32_t x = 12345;
  for (char& c : random) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  auto negative = MakeTraces(3, 10, 2000);
  negative[0].SetInt16(su::kNs.offset, -20);
  auto huge = MakeTraces(1, 10, 2000);
  huge[0].SetInt16(su::kNs.offset, 32000);
  for (const std::string& bytes :
       {random, test::SuFileBytes(negative), test::SuFileBytes(huge), std::string("abc")}) {
    const std::string path = test::TempFile("bad.su");
    ASSERT_TRUE(test::WriteBytes(path, bytes));
    Described d;
    d.Describe(path);
    EXPECT_NE(d.file.TraceCount, 0);
    EXPECT_LT(d.dialogs.asked.size(), 4u);
  }
}

TEST(FileChoice, CancelKeepsTheActiveFileAndSaysExtensionMustBeSu) {
  Described d;
  d.file.ActiveFilePath = "/data/old.su";
  d.file.DataFolder = "/data/";
  d.form.SetText(kPlotTitle, "old.su");
  d.dialogs.files = {std::nullopt};
  EXPECT_FALSE(SelectSuFile(d.file, d.form, d.dialogs));
  ASSERT_EQ(d.dialogs.shown.size(), 1u);
  EXPECT_EQ(d.dialogs.shown[0].text, "Extension must be SU");
  EXPECT_EQ(d.dialogs.shown[0].title, "Korvane Printer 4.2");
  EXPECT_EQ(d.file.ActiveFilePath, "/data/old.su");
  EXPECT_EQ(d.form.Text(kPlotTitle), "old.su");
  ASSERT_EQ(d.dialogs.requests.size(), 1u);
  const CommonDialogFields& r = d.dialogs.requests[0];
  EXPECT_EQ(r.title, "Korvane File selection");
  EXPECT_EQ(r.filter, "Seismic Unix (SU)|*.SU|SEG-Y|*.sgy;*.segy|All files|*.*|");
  EXPECT_EQ(r.initialFolder, "/data/");
  EXPECT_EQ(r.fileName, "*.SU");
  EXPECT_EQ(r.flags, 4096);
}

TEST(FileChoice, MissingAndEmptyFilesAreNamedButNotDescribed) {
  const std::string dir = test::TempDir();
  Described d;
  d.file.SamplesPerTrace = 77;
  d.dialogs.files = {dir + "/gone.su"};
  EXPECT_FALSE(SelectSuFile(d.file, d.form, d.dialogs));
  EXPECT_EQ(d.dialogs.shown.back().text, " Input file " + dir + "/gone.su does not exist !");
  EXPECT_EQ(d.file.ActiveFilePath, dir + "/gone.su");
  EXPECT_EQ(d.file.DataFolder, dir + "/");
  EXPECT_EQ(d.form.Text(kPlotTitle), "gone.su");

  ASSERT_TRUE(test::WriteBytes(dir + "/empty.su", ""));
  d.dialogs.files = {dir + "/empty.su"};
  EXPECT_FALSE(SelectSuFile(d.file, d.form, d.dialogs));
  EXPECT_EQ(d.dialogs.shown.back().text, "Input file " + dir + "/empty.su is empty !");
  EXPECT_EQ(d.file.SamplesPerTrace, 77);
}

TEST(FileChoice, AnyExtensionIsAcceptedAndDescribed) {
  auto traces = MakeTraces(4, 50, 1000);
  traces[0].Set(su::kSdel, 5);
  const std::string path = test::TempFile("line.sgy");
  ASSERT_TRUE(WriteSuFile(path, traces));
  Described d;
  d.dialogs.files = {path};
  EXPECT_TRUE(SelectSuFile(d.file, d.form, d.dialogs));
  EXPECT_EQ(d.file.TraceCount, 4);
  EXPECT_EQ(d.form.Text(kSuFilePath), path);
  EXPECT_EQ(d.form.Text(kShownFileName), "line.sgy");
}

// Each problem the file checks find is told once, in its own words and
// box; a usable file is told nothing.
TEST(FileChecks, EachProblemHasItsMessage) {
  const std::string dir = test::TempDir();
  const std::string fifo = dir + "/pipe.su";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_TRUE(test::WriteBytes(dir + "/empty.su", ""));
  ASSERT_TRUE(WriteSuFile(dir + "/line.su", MakeTraces(2, 10, 4000)));
  const std::string zeroNs = std::string(TAVELO_SOURCE_DIR) + "/tests/data/segy/broken-zero-ns.sgy";
  const struct {
    std::string path, text;
    int style;
  } cases[] = {
      {dir + "/gone.su", " Input file " + dir + "/gone.su does not exist !", msg::kOkOnly},
      {zeroNs, "SEG-Y file " + zeroNs + " has 0 samples per trace !", msg::kCritical},
      {fifo, " Korvane cannot access to " + fifo, msg::kCritical},
      {dir + "/empty.su", "Input file " + dir + "/empty.su is empty !", msg::kOkOnly},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ScriptedDialogs dialogs;
    EXPECT_FALSE(CheckSuFile(c.path, dialogs));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, c.text);
    EXPECT_EQ(dialogs.shown[0].style, c.style);
    EXPECT_EQ(dialogs.shown[0].title, "Korvane Printer 4.2");
  }
  ScriptedDialogs quiet;
  EXPECT_TRUE(CheckSuFile(dir + "/line.su", quiet));
  EXPECT_TRUE(quiet.shown.empty());
}

// A SEG-Y file that ends inside a trace is noticed and still read.
TEST(FileChecks, ASegyFileEndingInsideATraceIsNoticedAndKept) {
  std::string cut = test::ReadBytes(std::string(TAVELO_SOURCE_DIR) + "/tests/data/segy/f2-le.sgy");
  cut.resize(cut.size() - 1);
  const std::string path = test::TempFile("cut.sgy");
  ASSERT_TRUE(test::WriteBytes(path, cut));
  ScriptedDialogs dialogs;
  EXPECT_TRUE(CheckSuFile(path, dialogs));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text,
            "SEG-Y file " + path + " ends inside a trace: its 11 whole traces are read");
  EXPECT_EQ(dialogs.shown[0].style, msg::kOkOnly);
}

class Numbering : public ::testing::Test {
 protected:
  void SetUp() override {
    auto traces = MakeTraces(240, 4, 2000, {}, 1001);
    for (int i = 0; i < 240; ++i) traces[static_cast<size_t>(i)].Set(su::kTracl, 501 + i);
    path_ = test::TempFile("line.su");
    ASSERT_TRUE(WriteSuFile(path_, traces));
    file_.ActiveFilePath = path_;
    file_.SamplesPerTrace = 4;
    form_.On(kFirstTrace, FieldEvent::Change, [this] { RefreshNumbering(file_, form_); });
    form_.On(kLastTrace, FieldEvent::Change, [this] { RefreshNumbering(file_, form_); });
  }
  std::string path_;
  Form form_;
  SuTraceFile file_;
};

TEST_F(Numbering, FirstLabelFollowsRangeNumberingAndDirection) {
  form_.SetValue(kCdpNumbering, 1);
  form_.SetText(kFirstTrace, "5");
  EXPECT_EQ(form_.Text(kFirstLabel), "1005");
  EXPECT_EQ(form_.Caption(kFirstLabelCaption), "1st CDP Nb");
  EXPECT_EQ(file_.TraceCount, 240);

  form_.SetValue(kCdpNumbering, 0);
  RefreshNumbering(file_, form_);
  EXPECT_EQ(form_.Text(kFirstLabel), "505");
  EXPECT_EQ(form_.Caption(kFirstLabelCaption), "1st trace Nb");

  form_.SetValue(kInverseTraces, 1);
  form_.SetText(kLastTrace, "20");
  EXPECT_EQ(form_.Text(kFirstLabel), "520");
  form_.SetText(kFirstTrace, "7");  // still refreshes, same trace
  EXPECT_EQ(form_.Text(kFirstLabel), "520");

  form_.SetValue(kInverseTraces, 2);  // greyed counts as unchecked
  RefreshNumbering(file_, form_);
  EXPECT_EQ(form_.Text(kFirstLabel), "507");
}

TEST_F(Numbering, OutOfRangeTracesLabelZeroAndNoFileDoesNothing) {
  form_.SetText(kFirstTrace, "");
  EXPECT_EQ(form_.Text(kFirstLabel), "0");
  form_.SetText(kFirstTrace, "241");
  EXPECT_EQ(form_.Text(kFirstLabel), "0");
  form_.SetText(kFirstTrace, "99999999999");
  EXPECT_EQ(form_.Text(kFirstLabel), "0");

  form_.SetText(kFirstLabel, "42");
  file_.ActiveFilePath = "*.SU";
  form_.SetValue(kCdpNumbering, 1);
  RefreshNumbering(file_, form_);
  EXPECT_EQ(form_.Text(kFirstLabel), "42");
  EXPECT_EQ(form_.Caption(kFirstLabelCaption), "1st trace Nb");
}

}  // namespace
}  // namespace tavelo

namespace tavelo {
namespace {

// Seismic Unix writes ns unsigned: 40000 samples is a valid file, in either
// byte order, and is not turned into garbage by a negative 16-bit reading.
TEST(DescribingRead, NsAbove32767IsReadUnsignedWhenItFitsTheFile) {
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    auto traces = MakeTraces(2, 40000, 2000, [](int s, int t) { return float(s % 100 + t); });
    traces[0].Set(su::kSdel, 10);
    const std::string path = test::TempFile("long.su");
    ASSERT_TRUE(WriteSuFile(path, traces, order));
    std::optional<SuReader> reader = SuReader::Open(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->Order(), order);
    EXPECT_EQ(reader->ReadSamplesPerTrace(), 40000);
    std::vector<float> samples(40000);
    ASSERT_TRUE(reader->ReadSamples(1, su::TraceBytes(40000), samples));
    EXPECT_EQ(samples[39999], 100.0f);  // 39999 % 100 + 1

    Described d;
    d.Describe(path);
    EXPECT_EQ(d.file.SamplesPerTrace, 40000);
    EXPECT_EQ(d.file.TraceCount, 2);
    EXPECT_EQ(d.form.Text(kTimeToDrawMs), "80000");  // 2 ms x 40000
  }
}

// dt 0 with d1 0 or not finite gives no sample interval: it is asked for,
// until a positive one is given, instead of drawing an empty section (or
// keeping the previous file's interval).
TEST(DescribingRead, MissingSampleIntervalIsAskedFor) {
  for (float d1 : {0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    auto traces = MakeTraces(3, 100, 0);
    traces[0].Set(su::kD1, d1);
    traces[0].Set(su::kSdel, 10);
    const std::string path = test::TempFile("nodt.su");
    ASSERT_TRUE(WriteSuFile(path, traces));
    Described d;
    d.file.SampleInterval = 4000;  // what the previous file had
    d.dialogs.answers = {"", "-3", "2000"};
    d.Describe(path);
    ASSERT_EQ(d.dialogs.asked.size(), 3u);
    EXPECT_NE(d.dialogs.asked[0].prompt.find("no sample interval (dt and d1 are 0)"), std::string::npos);
    EXPECT_EQ(d.file.SampleInterval, 2000);  // kept through the numbering refresh
    EXPECT_EQ(d.form.Text(kTimeToDrawMs), "200");
    RefreshNumbering(d.file, d.form);
    EXPECT_EQ(d.file.SampleInterval, 2000);
  }
}

}  // namespace
}  // namespace tavelo

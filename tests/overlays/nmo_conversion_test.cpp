// Velocity picks: the pick line as the NMO programs write it, the 16-bit
// pick table, and the table file written beside the pick file.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/safe_file.h"
#include "support/scripted_dialogs.h"
#include "overlays/nmo_conversion.h"
#include "overlays/velocity.h"
#include "program/state.h"
#include "settings/form_fields.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

constexpr const char* kTwoFunctions =
    "cdp=100,200 tnmo=0.1,0.5 vnmo=1500,1800 tnmo=0.2,0.6 vnmo=1550,1900";

// The nonzero cells as "function:row=value" so a failure shows what moved.
std::string Cells(const PickTable& t) {
  std::string out;
  for (int i = 1; i <= kVelocityFunctions; ++i)
    for (int r = 1; r <= kVelocityRows; ++r)
      if (t.At(i, r) != 0)
        out += std::to_string(i) + ":" + std::to_string(r) + "=" + std::to_string(t.At(i, r)) + " ";
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

TEST(PickLine, TwoFunctionsAndTheSpellingsThatReadTheSame) {
  const std::string expected = "1:1=100 1:2=100 1:3=500 1:12=1500 1:13=1800 "
                               "2:1=200 2:2=200 2:3=600 2:12=1550 2:13=1900 ";
  EXPECT_EQ(Cells(ParsePickLine(kTwoFunctions)), expected);
  EXPECT_EQ(Cells(ParsePickLine(
                "sunmo par=x CDP=100,200 TNMO=0.1,0.5 VNMO=1500,1800 TNMO=0.2,0.6 VNMO=1550,1900")),
            expected);
  EXPECT_EQ(Cells(ParsePickLine("cdp=100, 200 tnmo=0.1, 0.5 vnmo=1500, 1800 "
                                "tnmo=0.2 ,0.6 vnmo=1550 1900   ")),
            expected);
  // Two blanks before a key leave a blank in the list before it: harmless.
  EXPECT_EQ(Cells(ParsePickLine("cdp=100,200  tnmo=0.1,0.5  vnmo=1500,1800  tnmo=0.2,0.6 "
                                "vnmo=1550,1900")),
            expected);
  // Three decimals are exact milliseconds; a single function's velocities
  // run to the end of the line.
  EXPECT_EQ(Cells(ParsePickLine("cdp=7 tnmo=0.125,1.5 vnmo=1500.4,2000.5 \t")),
            "1:1=7 1:2=125 1:3=1500 1:12=1500 1:13=2000 ");
}

TEST(PickLine, ListsSplitOnCommasAndBlanks) {
  using V = std::vector<double>;
  EXPECT_EQ(SplitPickList("0.1,0.5"), (V{0.1, 0.5}));
  EXPECT_EQ(SplitPickList(" 0.1 , 0.5 0.9"), (V{0.1, 0.5, 0.9}));
  EXPECT_EQ(SplitPickList(""), (V{0}));
  EXPECT_EQ(SplitPickList("   "), (V{0}));
  EXPECT_EQ(SplitPickList("abc,5,1e3"), (V{0, 5, 1000}));
  EXPECT_EQ(SplitPickList("1,,2"), (V{1, 0, 2}));
  EXPECT_EQ(SplitPickList("1, "), (V{1}));
}

TEST(PickLine, LimitsDropWhatTheTableCannotHold) {
  // 22 CDPs: the 21st and 22nd have no column, and their picks are not
  // taken by anyone else.
  std::string line = "cdp=";
  std::string functions;
  for (int i = 1; i <= 22; ++i) {
    line += (i > 1 ? "," : "") + std::to_string(i * 10);
    functions += " tnmo=" + std::to_string(i) + " vnmo=" + std::to_string(1000 + i);
  }
  PickTable t = ParsePickLine(line + functions);
  EXPECT_EQ(t.At(20, 1), 200);
  EXPECT_EQ(t.At(20, 2), 20000);
  EXPECT_EQ(t.At(20, 12), 1020);
  EXPECT_EQ(t.At(1, 2), 1000);

  // 12 picks: the 11th and 12th are dropped; the interval rows stay 0.
  t = ParsePickLine("cdp=5 tnmo=0.1,0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1.0,1.1,1.2 "
                    "vnmo=1,2,3,4,5,6,7,8,9,10,11,12");
  EXPECT_EQ(t.At(1, 11), 1000);
  EXPECT_EQ(t.At(1, 12), 1);  // velocity 1, not time 11
  EXPECT_EQ(t.At(1, 21), 10);
  for (int r = 22; r <= kVelocityRows; ++r) EXPECT_EQ(t.At(1, r), 0) << r;

  // Values outside 16 bits leave their cell 0; the neighbours are kept.
  t = ParsePickLine("cdp=40000,3 tnmo=40,1 vnmo=99999,2000 tnmo=-32.768,-32.769 vnmo=-5,7");
  EXPECT_EQ(Cells(t), "1:3=1000 1:13=2000 2:1=3 2:2=-32768 2:12=-5 2:13=7 ");
}

TEST(PickLine, MalformedLinesGiveNoFunctionsAndNeverBorrowPicks) {
  EXPECT_EQ(Cells(ParsePickLine("")), "");
  EXPECT_EQ(Cells(ParsePickLine("tnmo=0.1 vnmo=1500")), "");
  EXPECT_EQ(Cells(ParsePickLine("cdp=100")), "");
  EXPECT_EQ(Cells(ParsePickLine("cdp=100 vnmo=1500")), "");
  EXPECT_EQ(Cells(ParsePickLine("cdp=100tnmo=0.1 vnmo=1500")), "");  // key without its blank
  // Times without a velocity list keep their times only.
  EXPECT_EQ(Cells(ParsePickLine("cdp=9 tnmo=0.1,0.2")), "1:1=9 1:2=100 1:3=200 ");
  // Fewer pairs than CDPs: the functions without a pair get no picks rather
  // than the velocities of another function.
  EXPECT_EQ(Cells(ParsePickLine("cdp=1,2,3 tnmo=0.1 vnmo=1500")), "1:1=1 1:2=100 1:12=1500 2:1=2 3:1=3 ");

  // Any jumble of keys, numbers and bytes reads without fault.
  const std::string pieces[] = {"cdp=", " tnmo=", " vnmo=", "tnmo=", "vnmo=", ",", " ", "0.5",
                                "-1e9", "1e999", "nan", "\xff", "=", "CDP=", "\t", "12345678901"};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
    ASSERT_EQ(Lines(VelocityTableText(ParsePickLine(text))).size(), 20u) << text;
  }
}

TEST(PickLine, TablePathReplacesTheExtensionOnly) {
  EXPECT_EQ(VelocityTablePath("/d/line1.NMO"), "/d/line1.VEL");
  EXPECT_EQ(VelocityTablePath("/d/line1.nmo"), "/d/line1.VEL");
  EXPECT_EQ(VelocityTablePath("C:\\jobs\\a.b\\picks.txt"), "C:\\jobs\\a.b\\picks.VEL");
  // Without a three-letter extension nothing of the name is cut away.
  EXPECT_EQ(VelocityTablePath("/d/picks"), "/d/picks.VEL");
  EXPECT_EQ(VelocityTablePath("/d.x/picks.nm"), "/d.x/picks.nm.VEL");
}

int NumberCount(const std::string& line) {
  int count = 0;
  std::istringstream in(line);
  for (long v; in >> v;) ++count;
  return count;
}

// A table that cannot be written is reported; the old table stays.
TEST(ConversionNmo, AFailedTableWriteIsReportedAndKeepsTheOldTable) {
  ScriptedDialogs dialogs;
  ProgramState state(dialogs);
  const std::string dir = test::TempDir();
  ASSERT_TRUE(test::WriteBytes(dir + "/line1.nmo", std::string(kTwoFunctions) + "\r\n"));
  ASSERT_TRUE(test::WriteBytes(dir + "/line1.VEL", "old table"));
  state.form.SetText(kVelocityModelFile, dir + "/line1.nmo");
  setenv(kWriteFaultVariable, "write:line1.VEL", 1);
  Conversion_NMO(state);
  unsetenv(kWriteFaultVariable);
  EXPECT_EQ(test::ReadBytes(dir + "/line1.VEL"), "old table");
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.shown[0].text.find("could not be written"), std::string::npos);
}

TEST(ConversionNmo, WritesTheTableBesideThePickFileAndPointsText21AtIt) {
  ScriptedDialogs dialogs;
  ProgramState state(dialogs);
  const std::string dir = test::TempDir();
  ASSERT_TRUE(test::WriteBytes(dir + "/line1.nmo", std::string(kTwoFunctions) + "\r\nnext line\r\n"));
  state.form.SetText(kVelocityModelFile, dir + "/line1.nmo");
  Conversion_NMO(state);
  EXPECT_EQ(state.form.Text(kVelocityModelFile), dir + "/line1.VEL");

  const std::vector<std::string> lines = Lines(test::ReadBytes(dir + "/line1.VEL"));
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[0], " 100  100  500  0  0  0  0  0  0  0  0  1500  1800  0  0  0  0  0  0  0  0 "
                      " 0  0  0  0  0  0  0  0  0  0 ");
  EXPECT_EQ(lines[1].substr(0, 15), " 200  200  600 ");
  for (size_t i = 2; i < lines.size(); ++i) EXPECT_EQ(lines[i], lines[19]);
  for (const std::string& line : lines) EXPECT_EQ(NumberCount(line), 31) << line;
  // Lists are split in memory: nothing else appears beside the files.
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 2);
}

TEST(ConversionNmo, PicksNotOnTheFirstLineSaySoAndLeaveNoTable) {
  ScriptedDialogs dialogs;
  ProgramState state(dialogs);
  const std::string dir = test::TempDir();
  // A par file with one key a line, as Seismic Unix users write them.
  const std::string par = dir + "/line.NMO";
  ASSERT_TRUE(test::WriteBytes(par, "cdp=100,200\ntnmo=0.1,0.5\nvnmo=1500,1800\n"));
  state.form.SetText(kVelocityModelFile, par);
  Conversion_NMO(state);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "No velocity function found on the first line of " + par +
                                       " (cdp=, tnmo= and vnmo= must stand on one line)");
  EXPECT_EQ(dialogs.shown[0].style, msg::kInformation);
  EXPECT_FALSE(std::filesystem::exists(dir + "/line.VEL"));
  EXPECT_EQ(state.form.Text(kVelocityModelFile), par);  // converted again next time

  // An existing table is not replaced by zeros; a pick set on the second
  // line still yields no function.
  ASSERT_TRUE(test::WriteBytes(dir + "/second.VEL", "old table"));
  ASSERT_TRUE(test::WriteBytes(dir + "/second.NMO", "# picks of line 1\n" + std::string(kTwoFunctions)));
  state.form.SetText(kVelocityModelFile, dir + "/second.NMO");
  Conversion_NMO(state);
  EXPECT_EQ(test::ReadBytes(dir + "/second.VEL"), "old table");
  EXPECT_EQ(dialogs.shown.size(), 2u);

  // Once mended, the same pick file converts.
  ASSERT_TRUE(test::WriteBytes(par, kTwoFunctions));
  state.form.SetText(kVelocityModelFile, par);
  Conversion_NMO(state);
  EXPECT_EQ(state.form.Text(kVelocityModelFile), dir + "/line.VEL");
  EXPECT_EQ(Lines(test::ReadBytes(dir + "/line.VEL")).size(), 20u);
}

TEST(ConversionNmo, ATableThatCannotBeWrittenLeavesWhatIsThere) {
  ScriptedDialogs dialogs;
  ProgramState state(dialogs);
  const std::string dir = test::TempDir();
  ASSERT_TRUE(test::WriteBytes(dir + "/a.NMO", kTwoFunctions));
  // A folder holding a file stands where the table would go.
  std::filesystem::create_directory(dir + "/a.VEL");
  ASSERT_TRUE(test::WriteBytes(dir + "/a.VEL/keep", "kept"));
  state.form.SetText(kVelocityModelFile, dir + "/a.NMO");
  Conversion_NMO(state);
  EXPECT_EQ(state.form.Text(kVelocityModelFile), dir + "/a.VEL");
  EXPECT_EQ(test::ReadBytes(dir + "/a.VEL/keep"), "kept");

  if (geteuid() == 0) return;  // permissions do not bind the superuser
  ASSERT_TRUE(test::WriteBytes(dir + "/b.NMO", kTwoFunctions));
  ASSERT_TRUE(test::WriteBytes(dir + "/b.VEL", "old"));
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  state.form.SetText(kVelocityModelFile, dir + "/b.NMO");
  Conversion_NMO(state);
  chmod(dir.c_str(), 0755);
  EXPECT_EQ(test::ReadBytes(dir + "/b.VEL"), "old");
}

}  // namespace
}  // namespace tavelo

namespace tavelo {
namespace {

// Runs `read` on a FIFO nobody writes to; one that waits for a writer is
// released (by opening the FIFO for writing) and reported.
template <typename Read>
bool ReturnsWithoutAWriter(const std::string& fifo, Read read) {
  auto done = std::async(std::launch::async, read);
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
  const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (writer >= 0) ::close(writer);
  done.wait();
  return false;
}

// A FIFO named as the pick file or the table file is unreadable at once
// (no wait for a writer), and no table is made beside the pick FIFO.
TEST(ConversionNmo, FifosAreUnreadableAndGetNoTableBesideThem) {
  ScriptedDialogs dialogs;
  ProgramState state(dialogs);
  const std::string dir = test::TempDir();
  const std::string picks = dir + "/line.NMO", table = dir + "/line2.VEL";
  ASSERT_EQ(::mkfifo(picks.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(table.c_str(), 0600), 0);
  state.form.SetText(kVelocityModelFile, picks);
  EXPECT_TRUE(ReturnsWithoutAWriter(picks, [&] { Conversion_NMO(state); }));
  EXPECT_FALSE(std::filesystem::exists(dir + "/line.VEL"));
  EXPECT_EQ(state.form.Text(kVelocityModelFile), picks);
  VelocityTable read;
  read.cells[0][0] = 7;
  EXPECT_TRUE(ReturnsWithoutAWriter(table, [&] { read = ReadVelocityTable(table); }));
  EXPECT_EQ(read.cells[0][0], 0);
}

}  // namespace
}  // namespace tavelo

// Files we write (settings, velocity tables, editor saves, metafiles) under
// faults: a process killed in the middle of a save, a full disk, an
// unwritable target. The old file must stay whole and the failure must be
// reported with its message box (or, in batch mode, exit 1 with a line).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "common/safe_file.h"
#include "output/metafile_commands.h"
#include "output/wmf_writer.h"
#include "overlays/nmo_conversion.h"
#include "program/editor_commands.h"
#include "settings/form_fields.h"
#include "settings/plot_settings.h"
#include "settings/profile.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"
#include "support/gui_app.h"

namespace tavelo {
namespace {
namespace fs = std::filesystem;
using test::ProgramFixture;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The main application's settings: its own keys, sections and comments,
// none of which we may lose.
const char* const kKorvane =
    "; Korvane 4.2 settings\r\n"
    "[KORVANE]\r\n"
    "Langue=F\r\n"
    "Projet=C:\\Sismique\\Ligne 12\r\n"
    "Amplitude1= 69782\r\n"
    "Derniere_ligne=L12_stack.su\r\n"
    "\r\n"
    "[Traitement]\r\n"
    "Filtre=10-20-60-80\r\n"
    "Gain=AGC 500\r\n";
const char* const kMainKeys[][2] = {{"KORVANE", "Langue"},        {"KORVANE", "Projet"},
                                    {"KORVANE", "Derniere_ligne"}, {"Traitement", "Filtre"},
                                    {"Traitement", "Gain"}};
const char* const kOurKeys[] = {"line1",  "tavelo4", "Couleur4", "Enlarge", "Large_plot",
                                "Echelle", "Type_Display", "Orient1", "Orient2", "noise2",
                                "egal",    "elevation"};

// Temporary files a killed writer leaves: hidden, named after the target.
size_t LeftOverTemporaries(const fs::path& folder) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".", 0) == 0) ++count;
  return count;
}

void RemoveTemporaries(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".", 0) == 0) fs::remove(entry.path());
}

// Runs `body` in a child process; returns its exit status (or 128 + signal).
int InChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) std::_Exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Starts `saveForever` in a child and, once it says it is saving, kills it
// with SIGKILL after a random delay; `rounds` times, with `check` after
// each kill. `saveForever` calls `saving` once, after its first save.
using SaveLoop = std::function<void(const std::function<void()>& saving)>;
void KillWhileSaving(int rounds, int maxDelayMicroseconds, const SaveLoop& saveForever,
                     const std::function<void(int round)>& check) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delay(0, maxDelayMicroseconds);
  for (int round = 0; round < rounds; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(ready[0]);
      saveForever([&] {
        const char byte = 1;
        [[maybe_unused]] auto n = write(ready[1], &byte, 1);
        close(ready[1]);
      });
      std::_Exit(0);
    }
    close(ready[1]);
    char byte = 0;
    [[maybe_unused]] auto n = read(ready[0], &byte, 1);
    close(ready[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    check(round);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

class SettingsFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempDir();
    ASSERT_TRUE(WriteBytes(folder_ + "/Korvane.ini", kKorvane));
    ASSERT_TRUE(WriteBytes(folder_ + "/TAVELO3.ini",
                           ReadBytes(std::string(TAVELO_SOURCE_DIR) + "/sample/TAVELO3.ini")));
  }
  // Both files load, and hold the main application's keys and all of ours.
  void ExpectWhole(const std::string& context) {
    ProfileFile korvane(folder_ + "/Korvane.ini"), tavelo(folder_ + "/TAVELO3.ini");
    ASSERT_TRUE(korvane.Load()) << context;
    ASSERT_TRUE(tavelo.Load()) << context;
    ProfileFile original;
    original.LoadFromText(kKorvane);
    for (const auto& key : kMainKeys)
      ASSERT_EQ(korvane.Get(key[0], key[1], "(lost)"), original.Get(key[0], key[1], "")) << context;
    ASSERT_NE(korvane.Get("KORVANE", "Amplitude16", "(lost)"), "(lost)") << context;
    for (const char* key : kOurKeys)
      ASSERT_TRUE(tavelo.Has("Draw_Parameter", key)) << context << ": " << key;
  }
  std::string folder_;
};

TEST_F(SettingsFaults, SaveKilledAtAnyMomentLeavesBothFilesWhole) {
  const std::string korvaneBefore = ReadBytes(folder_ + "/Korvane.ini");
  KillWhileSaving(
      200, 20000,
      [&](const std::function<void()>& saving) {
        ProgramFixture program(folder_);
        program.Start("");
        for (int i = 0;; ++i) {
          // Each save changes both files, so each is rewritten every time.
          program.form().SetText(kLeftOrientation, "W" + std::to_string(i));
          program.form().SetBackColor(PaletteField(101), i & 0xFFFFFF);
          (void)SaveSettings(program.state.settingsFiles, program.state.settings, program.form());
          if (i == 0) saving();
        }
      },
      [&](int round) { ExpectWhole("after kill " + std::to_string(round)); });
  // A kill between writing and renaming leaves a hidden temporary file
  // (never the target): harmless, and the next save does not depend on it.
  RecordProperty("left_over_temporaries", static_cast<int>(LeftOverTemporaries(folder_)));
  RemoveTemporaries(folder_);
  ProgramFixture program(folder_);
  program.Start("");
  ASSERT_TRUE(SaveSettings(program.state.settingsFiles, program.state.settings, program.form()));
  ExpectWhole("after a clean save");
  EXPECT_NE(ReadBytes(folder_ + "/Korvane.ini"), korvaneBefore);  // the palette was saved
}

// A full disk (a file-size limit), then each injected fault: the save says
// so, and both files stay exactly as they were.
TEST_F(SettingsFaults, FailedSaveKeepsTheOldFilesAndSaysWhy) {
  const std::string tavelo = ReadBytes(folder_ + "/TAVELO3.ini");
  const std::string korvane = ReadBytes(folder_ + "/Korvane.ini");
  auto failingSave = [&] {
    ProgramFixture program(folder_);
    program.Start("");
    program.form().SetText(kLeftOrientation, "changed");
    program.form().SetBackColor(PaletteField(101), 255);
    std::string error;
    const bool saved =
        SaveSettings(program.state.settingsFiles, program.state.settings, program.form(), &error);
    if (saved) return 0;
    if (error.empty()) return 3;
    return error.find("Korvane.ini") != std::string::npos ? 2 : 1;
  };
  const int fullDisk = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    return failingSave();
  });
  EXPECT_EQ(fullDisk, 1);
  for (const char* fault : {"open:*", "write:*", "sync:*", "rename:*", "write:Korvane.ini"}) {
    setenv(kWriteFaultVariable, fault, 1);
    const int status = InChild(failingSave);
    unsetenv(kWriteFaultVariable);
    if (std::string(fault) == "write:Korvane.ini") {
      // TAVELO3.ini was saved; the main application's file was not touched.
      EXPECT_EQ(status, 2) << fault;
      EXPECT_NE(ReadBytes(folder_ + "/TAVELO3.ini"), tavelo);
    } else {
      EXPECT_EQ(status, 1) << fault;
      EXPECT_EQ(ReadBytes(folder_ + "/TAVELO3.ini"), tavelo) << fault;
    }
    EXPECT_EQ(ReadBytes(folder_ + "/Korvane.ini"), korvane) << fault;
    EXPECT_EQ(LeftOverTemporaries(folder_), 0u) << fault;
  }
}

// The other files we write, each through the command that writes it.
class WrittenFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureGuiApp();
    folder_ = TempDir();
    picks_ = folder_ + "/line1.NMO";
    table_ = folder_ + "/line1.VEL";
    metafile_ = folder_ + "/line1.wmf";
    edited_ = folder_ + "/batch.txt";
    ASSERT_TRUE(WriteBytes(picks_, "cdp=100,200 tnmo=0.1,0.5 vnmo=1500,1800 tnmo=0.2 vnmo=1550\r\n"));
    ASSERT_TRUE(WriteBytes(table_, "old table"));
    ASSERT_TRUE(WriteBytes(metafile_, "old metafile"));
    ASSERT_TRUE(WriteBytes(edited_, "old text"));
  }

  // One write of each kind; returns how each reported: bit 0 the editor
  // save failed, bit 1 the metafile command showed its error message.
  int WriteEach() {
    ProgramFixture program(TempDir());
    program.state.form.SetText(kVelocityModelFile, picks_);
    Conversion_NMO(program.state);

    EditorCommands editor(program.state);
    program.state.editorText = std::string(4000, 'x') + "\r\nsunmo par=stack.par\r\n";
    const bool editorSaved = editor.SaveTo(edited_);

    program.state.page.BeginDocument();
    for (int i = 0; i < 300; ++i) program.state.page.DrawLine(1440, 1440 + i * 20, 9000, 1440 + i * 20);
    program.state.page.EndDocument();
    program.dialogs.answers.push_back(metafile_);
    program.dialogs.buttons.push_back(msg::kYes);  // replace the old file
    RecordMetafile(program.state);
    bool metafileError = false;
    for (const auto& shown : program.dialogs.shown)
      if (shown.text.rfind("Error nb ", 0) == 0 && shown.style == msg::kCritical) metafileError = true;
    return (editorSaved ? 0 : 1) | (metafileError ? 2 : 0);
  }

  void ExpectOldFiles(const std::string& context) {
    EXPECT_EQ(ReadBytes(table_), "old table") << context;
    EXPECT_EQ(ReadBytes(metafile_), "old metafile") << context;
    EXPECT_EQ(ReadBytes(edited_), "old text") << context;
    EXPECT_EQ(LeftOverTemporaries(folder_), 0u) << context;
  }

  std::string folder_, picks_, table_, metafile_, edited_;
};

TEST_F(WrittenFiles, FullDiskOrUnwritableTargetKeepsEveryOldFile) {
  const int fullDisk = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{600, 600};  // each new file is larger than this
    setrlimit(RLIMIT_FSIZE, &limit);
    return WriteEach();
  });
  EXPECT_EQ(fullDisk, 3);
  ExpectOldFiles("full disk");
  for (const char* fault : {"open:*", "write:*", "sync:*", "rename:*"}) {
    setenv(kWriteFaultVariable, fault, 1);
    const int status = InChild([&] { return WriteEach(); });
    unsetenv(kWriteFaultVariable);
    EXPECT_EQ(status, 3) << fault;
    ExpectOldFiles(fault);
  }
  // Without a fault all three are replaced (the checks above can fail).
  EXPECT_EQ(InChild([&] { return WriteEach(); }), 0);
  EXPECT_NE(ReadBytes(table_), "old table");
  EXPECT_EQ(ReadBytes(metafile_).substr(0, 4), "\xD7\xCD\xC6\x9A");
  EXPECT_EQ(ReadBytes(edited_).substr(0, 4), "xxxx");
}

TEST_F(WrittenFiles, WriteKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
  // Two versions of each file alternate; a kill must leave one of them.
  PageDocument pages[2];
  for (int v = 0; v < 2; ++v) {
    pages[v].BeginDocument();
    for (int i = 0; i < 2000 * (v + 1); ++i) pages[v].DrawLine(1440, 1440 + i, 9000 + v, 1440 + i);
    pages[v].EndDocument();
  }
  const std::string wmf[2] = {WmfBytes(pages[0]), WmfBytes(pages[1])};
  const std::string text[2] = {std::string(300000, 'a'), std::string(100000, 'b')};
  const std::string tables[2] = {VelocityTableText(ParsePickLine("cdp=1 tnmo=0.1 vnmo=1500")),
                                 VelocityTableText(ParsePickLine("cdp=2 tnmo=0.2 vnmo=1600"))};
  ASSERT_TRUE(WriteFileAtomically(metafile_, wmf[0]));
  ASSERT_TRUE(WriteFileAtomically(edited_, text[0]));
  ASSERT_TRUE(WriteFileAtomically(table_, tables[0]));
  const std::string picks[2] = {folder_ + "/a.NMO", folder_ + "/b.NMO"};
  ASSERT_TRUE(WriteBytes(picks[0], "cdp=1 tnmo=0.1 vnmo=1500"));
  ASSERT_TRUE(WriteBytes(picks[1], "cdp=2 tnmo=0.2 vnmo=1600"));
  KillWhileSaving(
      60, 30000,
      [&](const std::function<void()>& saving) {
        ProgramFixture program(TempDir());
        EditorCommands editor(program.state);
        for (int i = 0;; ++i) {
          if (i == 1) saving();
          ExportWmf(pages[i & 1], metafile_);
          program.state.editorText = text[i & 1];
          (void)editor.SaveTo(edited_);  // killed mid-save: the file is checked after
          // The table beside each pick file is line1.VEL only through its
          // own name: convert a copy named line1.NMO.
          fs::copy_file(picks[i & 1], picks_, fs::copy_options::overwrite_existing);
          program.state.form.SetText(kVelocityModelFile, picks_);
          Conversion_NMO(program.state);
        }
      },
      [&](int round) {
        const std::string context = "after kill " + std::to_string(round);
        const std::string m = ReadBytes(metafile_), e = ReadBytes(edited_), t = ReadBytes(table_);
        ASSERT_TRUE(m == wmf[0] || m == wmf[1]) << context;
        ASSERT_TRUE(e == text[0] || e == text[1]) << context;
        ASSERT_TRUE(t == tables[0] || t == tables[1]) << context;
      });
}

// Batch mode: exit 1 and one line saying why, the old file whole.
std::string Quote(const std::string& s) { return "'" + s + "'"; }

TEST(BatchFaults, UnwritableOutputsExitOneWithAClearLine) {
  const std::string folder = TempDir();
  const std::string su = folder + "/line.su";
  ASSERT_TRUE(test::WriteSuFile(su, test::MakeTraces(12, 50, 4000, [](int s, int t) {
                                  return static_cast<float>((s + t) % 7) - 3.0f;
                                })));
  const std::string settings = folder + "/settings";
  fs::create_directories(settings);
  ASSERT_TRUE(WriteBytes(settings + "/Korvane.ini", kKorvane));
  ASSERT_TRUE(WriteBytes(folder + "/out.wmf", "old metafile"));
  const std::string korvane = ReadBytes(settings + "/Korvane.ini");

  auto run = [&](const std::string& prefix, const std::string& extra) {
    const std::string errors = folder + "/stderr.txt";
    const std::string command = prefix + " QT_QPA_PLATFORM=offscreen " + Quote(TAVELO_BINARY) +
                                " --export " + Quote(folder + "/out.wmf") + " --settings-dir " +
                                Quote(settings) + " " + extra + " " + Quote(su) + " 2>" + Quote(errors);
    const int status = std::system(command.c_str());
    std::string log = ReadBytes(errors);
    while (!log.empty() && log.back() == '\n') log.pop_back();
    return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                          log.substr(log.rfind('\n') == std::string::npos ? 0 : log.rfind('\n') + 1));
  };

  // A full disk: the shell's file-size limit (in 512-byte blocks) applies to tavelo.
  auto [fullDisk, fullLine] = run("ulimit -f 1;", "");
  EXPECT_EQ(fullDisk, 1);
  EXPECT_EQ(fullLine.rfind("tavelo: " + folder + "/out.wmf was not written: ", 0), 0u) << fullLine;
  EXPECT_EQ(ReadBytes(folder + "/out.wmf"), "old metafile");

  auto [unwritable, unwritableLine] = run(std::string(kWriteFaultVariable) + "=open:out.wmf", "");
  EXPECT_EQ(unwritable, 1);
  EXPECT_NE(unwritableLine.find("out.wmf was not written: "), std::string::npos) << unwritableLine;
  EXPECT_EQ(ReadBytes(folder + "/out.wmf"), "old metafile");

  auto [settingsFault, settingsLine] =
      run(std::string(kWriteFaultVariable) + "=rename:Korvane.ini", "--save-settings");
  EXPECT_EQ(settingsFault, 1);
  EXPECT_EQ(settingsLine.rfind("tavelo: the settings were not saved: ", 0), 0u) << settingsLine;
  EXPECT_NE(settingsLine.find("Korvane.ini"), std::string::npos) << settingsLine;
  EXPECT_EQ(ReadBytes(settings + "/Korvane.ini"), korvane);
  EXPECT_EQ(LeftOverTemporaries(settings), 0u);
  EXPECT_EQ(LeftOverTemporaries(folder), 0u);

  // And without a fault the same command succeeds.
  auto [fine, fineLine] = run("", "--save-settings");
  EXPECT_EQ(fine, 0) << fineLine;
  EXPECT_NE(ReadBytes(folder + "/out.wmf"), "old metafile");
}

}  // namespace
}  // namespace tavelo

// "Print profile" through a real print server: the window's print path
// sends the sample page to the CUPS queue "PDF" (cups-pdf), whose job comes
// back as a PDF of one page of the page's paper. scripts/start-cups starts
// the server and adds the queue; without them the test is skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

#include "common/paths.h"
#include "common/units.h"
#include "settings/form_fields.h"
#include "print_dialog_steps.h"
#include "ui/qt_dialogs.h"
#include "window_fixture.h"

namespace tavelo {
namespace {

namespace fs = std::filesystem;

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

// The value of a "Name: value" line of pdfinfo's report.
std::string Field(const std::string& info, const std::string& name) {
  const size_t at = info.find(name);
  if (at == std::string::npos) return {};
  const size_t start = info.find_first_not_of(' ', at + name.size());
  const size_t end = info.find('\n', at);
  return start == std::string::npos || start > end ? std::string() : info.substr(start, end - start);
}

// Where cups-pdf leaves a job: the submitting user's ~/PDF, or its spool
// folder for anonymous jobs. The file is named after the job's title.
std::string FindJobPdf(const std::string& token) {
  std::vector<fs::path> folders;
  if (const char* home = std::getenv("HOME")) folders.emplace_back(fs::path(home) / "PDF");
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/var/spool/cups-pdf", ec))
    if (entry.is_directory()) folders.push_back(entry.path());
  for (const fs::path& folder : folders)
    for (const auto& entry : fs::directory_iterator(folder, ec))
      if (entry.path().filename().string().find(token) != std::string::npos) return entry.path().string();
  return {};
}

// The sample line when its generator is built beside the program, else a
// small synthetic line: either way a real page of traces.
std::string SampleLine() {
  const fs::path generator = fs::path(TAVELO_BINARY).parent_path().parent_path() / "bench" / "tavelo_gen";
  const std::string path = test::TempDir() + "/line.su";
  if (fs::exists(generator) &&
      std::system(("'" + generator.string() + "' --sample '" + path + "' >/dev/null 2>&1").c_str()) == 0)
    return path;
  auto traces = test::MakeTraces(120, 500, 2000, [](int s, int t) { return float(((s * 7 + t) % 41) - 20); });
  return test::WriteSuFile(path, traces) ? path : std::string();
}

class PrintQueueTest : public test::WindowTest {
 protected:
  // Builds the page, prints it to the queue "PDF" and returns pdfinfo's
  // report of the job's file (empty when no job came out).
  std::string PrintAndReadBack(test::ScriptedPrinterDialogs::Change print = ToTheQueue) {
    const std::string token = "tavelo-print-" + std::to_string(getpid()) + "-" +
                              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    state.form.SetText(kPlotTitle, token);  // the job is named after the title
    Click(kDisplayButton);
    EXPECT_EQ(state.page.PageCount(), 1);
    dialogs.prints.push_back(print);
    dialogs.shown.clear();
    Click(kPrintButton);
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.back().text;

    std::string pdf;
    for (int i = 0; i < 250 && pdf.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      pdf = FindJobPdf(token);
    }
    if (pdf.empty()) return {};
    // cups-pdf writes the file as the job ends: wait until pdfinfo reads it.
    std::string info;
    for (int i = 0; i < 50; ++i) {
      info = Output("pdfinfo '" + pdf + "' 2>/dev/null");
      if (info.find("Pages:") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    jobs_.push_back(pdf);
    return info;
  }
  static void ToTheQueue(PrinterSetup& s) {
    s.outputFile.clear();
    s.printerName = "PDF";
  }
  // The real print dialog on the queue, its "Properties" window handled by
  // `properties` before Print is pressed.
  static test::ScriptedPrinterDialogs::Change ThroughProperties(std::function<void(QDialog*)> properties) {
    return [properties](PrinterSetup& s) {
      ToTheQueue(s);
      QtDialogs real;
      test::WhenShown<QPrintDialog>([properties](QPrintDialog* d) { test::PrintThroughProperties(d, properties); });
      EXPECT_TRUE(real.ShowPrint(s));
    };
  }
  void TearDown() override {
    if (!HasFailure())
      for (const std::string& pdf : jobs_) fs::remove(pdf);
  }
  // "Printer Setup" choosing the queue and a paper (twips, as used).
  void ChoosePaper(double width, double height) {
    dialogs.printerSetups.push_back([width, height](PrinterSetup& s) {
      s.outputFile.clear();
      s.printerName = "PDF";
      s.paperWidth = width;
      s.paperHeight = height;
    });
    Click(kPrinterSetupButton);
  }

 private:
  std::vector<std::string> jobs_;
};

TEST_F(PrintQueueTest, ThePageGoesToTheCupsPdfQueueOnThePaperChosen) {
  if (std::system("lpstat -p PDF >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no CUPS print queue \"PDF\": run scripts/start-cups (Debian cups, printer-driver-cups-pdf)";

  // The sample's own settings lay it out on one A4 page.
  const fs::path settings = fs::path(TAVELO_SOURCE_DIR) / "sample";
  for (const char* name : {"TAVELO3.ini", "Korvane.ini"})
    fs::copy_file(settings / name, fs::path(state.settingsFolder) / name, fs::copy_options::overwrite_existing);
  const std::string line = SampleLine();
  ASSERT_FALSE(line.empty());
  Start(line);

  std::string info = PrintAndReadBack();
  ASSERT_FALSE(info.empty()) << "the job did not come out of the queue";
  EXPECT_EQ(dialogs.offered.size(), 1u);
  EXPECT_EQ(Field(info, "Pages:"), "1") << info;
  // A4: 595.276 x 841.89 points, which the queue rounds to 595 x 842.
  EXPECT_EQ(Field(info, "Page size:").rfind("595 x 842", 0), 0u) << info;

  // A3 chosen in "Printer Setup": the print dialog is offered it and the
  // job carries it (841.89 x 1190.55 points).
  ChoosePaper(16838, 23811);
  EXPECT_EQ(state.form.Text(kPaperSize), " 297 x  420");
  info = PrintAndReadBack();
  ASSERT_FALSE(info.empty()) << "the A3 job did not come out of the queue";
  EXPECT_DOUBLE_EQ(dialogs.offered.back().paperWidth, 16838);
  EXPECT_EQ(Field(info, "Page size:").rfind("842 x 1191", 0), 0u) << info;

  // The real print dialog: its "Properties" window looked at and cancelled
  // leaves A3; A5 chosen there gives an A5 job (419.53 x 595.28 points).
  info = PrintAndReadBack(ThroughProperties([](QDialog* p) { test::Press(p, QDialogButtonBox::Cancel); }));
  ASSERT_FALSE(info.empty()) << "the A3 job through the print dialog did not come out of the queue";
  EXPECT_EQ(Field(info, "Page size:").rfind("842 x 1191", 0), 0u) << info;
  info = PrintAndReadBack(ThroughProperties([](QDialog* p) {
    test::ChoosePaperByHand(p, "A5");
    test::Press(p, QDialogButtonBox::Ok);
  }));
  ASSERT_FALSE(info.empty()) << "the A5 job did not come out of the queue";
  double w = 0, h = 0;
  ASSERT_EQ(std::sscanf(Field(info, "Page size:").c_str(), "%lf x %lf", &w, &h), 2) << info;
  EXPECT_NEAR(w, 419.53, 1.5) << info;  // the queue rounds it to 421
  EXPECT_NEAR(h, 595.28, 1) << info;

  // A roll: 1200 x 800 mm, landscape (3401.57 x 2267.72 points).
  ChoosePaper(1200 * kTwipsPerMm, 800 * kTwipsPerMm);
  info = PrintAndReadBack();
  ASSERT_FALSE(info.empty()) << "the roll job did not come out of the queue";
  ASSERT_EQ(std::sscanf(Field(info, "Page size:").c_str(), "%lf x %lf", &w, &h), 2) << info;
  // The queue may keep the sheet portrait and turn the page on it.
  EXPECT_NEAR(std::max(w, h), 3401.57, 1) << info;
  EXPECT_NEAR(std::min(w, h), 2267.72, 1) << info;
}

}  // namespace
}  // namespace tavelo

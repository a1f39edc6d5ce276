#pragma once
// Questions in batch mode: each input box takes the next --answer, or its
// default text when none is left; every question and the answer used are
// written to the log (standard error) so a user sees the order. A question
// asked again right after it took its default answer would repeat without
// end: the export stops instead (BatchStopped). Message boxes are logged and
// take their default button; file choosers are cancelled.

#include <deque>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/dialogs.h"

namespace tavelo {

struct BatchStopped : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class BatchDialogs : public Dialogs {
 public:
  BatchDialogs(std::deque<std::string> answers, std::ostream& log)
      : answers_(std::move(answers)), log_(log) {}

  std::string InputBox(const std::string& prompt, const std::string& title,
                       const std::string& defaultText) override;
  int MessageBox(const std::string& text, int style, const std::string& title) override;
  bool IsBatch() const override { return true; }

  // The messages shown so far (for the caller's exit decision).
  const std::deque<std::string>& messages() const { return messages_; }

 protected:
  std::optional<FileChoice> ShowOpen(const CommonDialogFields&) override;
  std::optional<FileChoice> ShowSave(const CommonDialogFields&) override;
  std::optional<int32_t> ShowColor(const CommonDialogFields&) override;
  std::optional<FontChoice> ShowFont(const CommonDialogFields&) override;
  std::optional<PrinterChoice> ShowPrinter(const CommonDialogFields&) override;

 private:
  std::deque<std::string> answers_;
  std::ostream& log_;
  std::deque<std::string> messages_;
  std::string lastDefaultPrompt_;  // prompt last answered by its default
};

// Scripted answers for tests: input boxes take queued answers (then their
// default), message boxes are recorded and answered from a queue (then
// their default button), choosers take queued results (nothing = cancel).
class ScriptedDialogs : public Dialogs {
 public:
  std::deque<std::string> answers;
  std::deque<int> buttons;
  std::deque<std::optional<std::string>> files;  // open and save
  std::deque<std::optional<int32_t>> colors;
  std::deque<std::optional<FontChoice>> fonts;
  std::deque<std::optional<PrinterChoice>> printers;

  struct Asked {
    std::string prompt, title, defaultText, answer;
  };
  std::vector<Asked> asked;
  struct Shown {
    std::string text;
    int style;
    std::string title;
  };
  std::vector<Shown> shown;
  std::vector<CommonDialogFields> requests;  // every chooser request, in order
  int beeps = 0;
  // Stops a question that keeps coming back (a test would hang otherwise).
  int maxQuestions = 1000;

  std::string InputBox(const std::string& prompt, const std::string& title,
                       const std::string& defaultText) override;
  int MessageBox(const std::string& text, int style, const std::string& title) override;
  void Beep() override { ++beeps; }

 protected:
  std::optional<FileChoice> ShowOpen(const CommonDialogFields& r) override;
  std::optional<FileChoice> ShowSave(const CommonDialogFields& r) override;
  std::optional<int32_t> ShowColor(const CommonDialogFields& r) override;
  std::optional<FontChoice> ShowFont(const CommonDialogFields& r) override;
  std::optional<PrinterChoice> ShowPrinter(const CommonDialogFields& r) override;
};

// The button a message box of this style answers by default.
int DefaultButton(int style);

}  // namespace tavelo

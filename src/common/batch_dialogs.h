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

// The button a message box of this style answers by default.
int DefaultButton(int style);

}  // namespace tavelo

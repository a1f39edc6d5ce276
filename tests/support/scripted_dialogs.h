#pragma once
// Scripted answers for tests: input boxes take queued answers (then their
// default), message boxes are recorded and answered from a queue (then
// their default button), choosers take queued results (nothing = cancel).

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/batch_dialogs.h"
#include "common/dialogs.h"

namespace tavelo {

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
  // Stops a question that keeps coming back (a test would hang otherwise):
  // the next question throws BatchStopped.
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

}  // namespace tavelo

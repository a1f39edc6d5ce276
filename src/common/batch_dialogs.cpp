#include "common/batch_dialogs.h"

namespace tavelo {

int DefaultButton(int style) {
  switch (style & 7) {
    case msg::kOkCancel: return msg::kOk;
    case msg::kYesNoCancel:
    case msg::kYesNo: return msg::kYes;
    default: return msg::kOk;
  }
}

std::string BatchDialogs::InputBox(const std::string& prompt, const std::string& title,
                                   const std::string& defaultText) {
  (void)title;
  std::string answer;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
    lastDefaultPrompt_.clear();
  } else {
    if (lastDefaultPrompt_ == prompt) {
      log_ << prompt << " → " << defaultText << "\n";
      throw BatchStopped("the question \"" + prompt +
                         "\" came back after its default answer; give an answer with --answer");
    }
    answer = defaultText;
    lastDefaultPrompt_ = prompt;
  }
  log_ << prompt << " → " << answer << "\n";
  return answer;
}

int BatchDialogs::MessageBox(const std::string& text, int style, const std::string& title) {
  (void)title;
  messages_.push_back(text);
  log_ << text << "\n";
  return DefaultButton(style);
}

std::optional<FileChoice> BatchDialogs::ShowOpen(const CommonDialogFields& r) {
  log_ << r.title << ": no file chosen in batch mode\n";
  return std::nullopt;
}
std::optional<FileChoice> BatchDialogs::ShowSave(const CommonDialogFields& r) {
  log_ << r.title << ": no file chosen in batch mode\n";
  return std::nullopt;
}
std::optional<int32_t> BatchDialogs::ShowColor(const CommonDialogFields&) { return std::nullopt; }
std::optional<FontChoice> BatchDialogs::ShowFont(const CommonDialogFields&) { return std::nullopt; }
std::optional<PrinterChoice> BatchDialogs::ShowPrinter(const CommonDialogFields&) { return std::nullopt; }

}  // namespace tavelo

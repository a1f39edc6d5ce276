#include "support/scripted_dialogs.h"

namespace tavelo {

std::string ScriptedDialogs::InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) {
  if (static_cast<int>(asked.size()) >= maxQuestions)
    throw BatchStopped("too many questions: " + prompt);
  std::string answer = defaultText;
  if (!answers.empty()) {
    answer = answers.front();
    answers.pop_front();
  }
  asked.push_back({prompt, title, defaultText, answer});
  return answer;
}

int ScriptedDialogs::MessageBox(const std::string& text, int style, const std::string& title) {
  shown.push_back({text, style, title});
  if (!buttons.empty()) {
    int b = buttons.front();
    buttons.pop_front();
    return b;
  }
  return DefaultButton(style);
}

namespace {
template <typename T>
std::optional<T> Next(std::deque<std::optional<T>>& queue) {
  if (queue.empty()) return std::nullopt;
  auto v = queue.front();
  queue.pop_front();
  return v;
}
}  // namespace

std::optional<FileChoice> ScriptedDialogs::ShowOpen(const CommonDialogFields& r) {
  requests.push_back(r);
  auto path = Next(files);
  if (!path) return std::nullopt;
  return FileChoice{*path};
}
std::optional<FileChoice> ScriptedDialogs::ShowSave(const CommonDialogFields& r) {
  return ShowOpen(r);
}
std::optional<int32_t> ScriptedDialogs::ShowColor(const CommonDialogFields& r) {
  requests.push_back(r);
  return Next(colors);
}
std::optional<FontChoice> ScriptedDialogs::ShowFont(const CommonDialogFields& r) {
  requests.push_back(r);
  return Next(fonts);
}
std::optional<PrinterChoice> ScriptedDialogs::ShowPrinter(const CommonDialogFields& r) {
  requests.push_back(r);
  return Next(printers);
}

}  // namespace tavelo

#include "support/cli.h"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "support/su_writer.h"

namespace tavelo::test {

std::string ShellQuote(const std::string& text) {
  std::string q = "'";
  for (char c : text) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

int Shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

CliRun RunTavelo(const std::vector<std::string>& args, const std::string& settingsDir) {
  std::string cmd = "QT_QPA_PLATFORM=offscreen " + ShellQuote(TAVELO_BINARY);
  if (!settingsDir.empty()) cmd += " --settings-dir " + ShellQuote(settingsDir);
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  const std::string errFile = TempFile("stderr.txt");
  cmd += " </dev/null >/dev/null 2>" + ShellQuote(errFile);
  CliRun r;
  r.status = Shell(cmd);
  r.err = ReadBytes(errFile);
  return r;
}

std::string PdfText(const std::string& pdf) {
  const std::string txt = TempFile("page.txt");
  if (Shell("pdftotext " + ShellQuote(pdf) + " " + ShellQuote(txt) + " 2>/dev/null") != 0) return {};
  return ReadBytes(txt);
}

std::string GeneratorPath() {
  const std::string tavelo = TAVELO_BINARY;
  const size_t slash = tavelo.rfind('/');
  const std::string binDir = slash == std::string::npos ? "." : tavelo.substr(0, slash);
  return binDir + "/../bench/tavelo_gen";
}

int CountLines(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) ++n;
  return n;
}

size_t CountOf(const std::string& text, const std::string& part) {
  if (part.empty()) return 0;
  size_t n = 0;
  for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++n;
  return n;
}

}  // namespace tavelo::test

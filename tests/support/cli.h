#pragma once
// Running the real programs from tests: tavelo with its arguments (standard
// input empty, so no question can wait on it; standard error captured), and
// the outside tools that read what it writes.

#include <string>
#include <vector>

namespace tavelo::test {

// A text quoted for the shell.
std::string ShellQuote(const std::string& text);

// Exit status of a shell command (-1 when it did not exit normally).
int Shell(const std::string& command);

struct CliRun {
  int status = -1;
  std::string err;  // standard error
};

// Runs tavelo under the offscreen platform; `settingsDir` (when given) goes
// in front as --settings-dir.
CliRun RunTavelo(const std::vector<std::string>& args, const std::string& settingsDir = {});

// The text pdftotext reads from a PDF (empty when it fails).
std::string PdfText(const std::string& pdf);

// The sample generator built beside tavelo.
std::string GeneratorPath();

// How many lines of `text` begin with `prefix`.
int CountLines(const std::string& text, const std::string& prefix);

// How often `part` occurs in `text` (not overlapping).
size_t CountOf(const std::string& text, const std::string& part);

}  // namespace tavelo::test

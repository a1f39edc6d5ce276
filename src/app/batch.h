#pragma once
// The command line: options, and the batch export that builds the page
// without a window and writes it.

#include <string>
#include <utility>
#include <vector>

namespace tavelo {

struct CommandLine {
  std::string suFile;
  std::string exportPath;  // --export
  std::string dumpPath;    // --dump
  std::string settingsDir; // --settings-dir
  std::string paper;       // --paper
  int dpi = 150;           // --dpi
  std::vector<std::pair<std::string, std::string>> sets;  // --set NAME=VALUE, in order
  std::vector<std::string> answers;                       // --answer TEXT, in order
  bool saveSettings = false;
  bool help = false;
  bool version = false;
};

// Parses argv; false with a one-line reason on bad arguments.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// Paper size in twips from "A4", "A3", "Letter", ... or "WIDTHxHEIGHT" (mm).
bool ParsePaper(const std::string& text, double& widthTwips, double& heightTwips);

// Runs the export: 0 written, 1 not built or not written, 2 bad arguments.
int RunBatchExport(const CommandLine& options);

extern const char* const kUsage;

}  // namespace tavelo

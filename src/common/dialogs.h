#pragma once
// Every question the program asks goes through one Dialogs object: the
// common dialog (file, colour, font, printer choosers), input boxes and
// message boxes. Three implementations: Qt dialogs for the window, scripted
// answers for tests, and a batch one for the command line that never blocks.
//
// The common-dialog fields persist between uses: a request sets only the
// fields it names, everything else stays as the previous use left it. While
// `cancelError` is off, a cancelled chooser returns normally and leaves the
// result fields as they were (the file name stays the initial name the caller
// set; the colour stays that of the last colour request, black at first).

#include <cstdint>
#include <optional>
#include <string>

namespace tavelo {

// Message-box styles and answers, numbered as Windows message boxes number them.
namespace msg {
inline constexpr int kOkOnly = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;

inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace msg

// The default title of messages and input boxes.
inline constexpr const char* kDefaultTitle = "Korvane Printer 4.2";

struct CommonDialogFields {
  std::string title;
  std::string filter;          // "Seismic Unix (SU)|*.SU|All files|*.*|"
  int filterIndex = 1;         // 1 selects the first pair
  std::string initialFolder;
  std::string fileName;        // in: initial name or pattern; out: full path chosen
  std::string fileTitle;       // out: chosen name without its folder
  int flags = 0;               // 4096: the chosen file must exist
  bool cancelError = false;    // on: a cancel is reported as a failure
  int32_t color = 0;           // red + 256 * green + 65536 * blue
  std::string fontName;
  float fontSize = 0;
  int printerCopies = 1;
  std::string printerName;     // out: the printer chosen
};

// What a chooser returns when the user accepts; nothing when cancelled.
struct FileChoice {
  std::string path;
};
struct FontChoice {
  std::string name;
  float size = 0;
};
struct PrinterChoice {
  std::string printerName;
  int copies = 1;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // The one dialog object's fields.
  CommonDialogFields& fields() { return fields_; }
  const CommonDialogFields& fields() const { return fields_; }

  // The five choosers. Return false only when cancelled with cancelError on.
  bool ChooseFileToOpen();
  bool ChooseFileToSave();
  bool ChooseColor();
  bool ChooseFont();
  bool ChoosePrinter();

  // Input box: the answer, or an empty text when cancelled.
  virtual std::string InputBox(const std::string& prompt, const std::string& title,
                               const std::string& defaultText) = 0;

  // Message box: returns the button pressed (msg::kOk, msg::kYes, ...).
  virtual int MessageBox(const std::string& text, int style, const std::string& title) = 0;

  // Beep for a refused key.
  virtual void Beep() {}

  // Batch mode: questions must never block nor repeat without end.
  virtual bool IsBatch() const { return false; }

 protected:
  // Implementations show the chooser for the current fields; nothing = cancel.
  virtual std::optional<FileChoice> ShowOpen(const CommonDialogFields& request) = 0;
  virtual std::optional<FileChoice> ShowSave(const CommonDialogFields& request) = 0;
  virtual std::optional<int32_t> ShowColor(const CommonDialogFields& request) = 0;
  virtual std::optional<FontChoice> ShowFont(const CommonDialogFields& request) = 0;
  virtual std::optional<PrinterChoice> ShowPrinter(const CommonDialogFields& request) = 0;

 private:
  bool ApplyFile(const std::optional<FileChoice>& choice);
  CommonDialogFields fields_;
};

}  // namespace tavelo

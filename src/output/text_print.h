#pragma once
// Printing the Tools tab editor's text: plain text laid out page after page
// (QTextDocument), on a printer or, for checking, into a PDF file. Failures
// are reported by return value with a one-line reason in `error` (when
// given). Need a QGuiApplication.

#include <string>

class QFont;
class QPrinter;

namespace tavelo {

// Prints `text` (UTF-8, any line breaks) on `printer`, in `font` when given,
// else the system's fixed-pitch font so columns of pick files stay aligned.
bool PrintText(const std::string& text, QPrinter& printer, const QFont* font = nullptr,
               std::string* error = nullptr);

// As PrintText, on the printer named `printerName` (the default printer when
// empty) with `copies` copies.
bool PrintTextOnPrinter(const std::string& text, const std::string& printerName, int copies,
                        const QFont* font = nullptr, std::string* error = nullptr);

// As PrintText, into a PDF file (A4), written under a temporary name and
// renamed over `path` once complete.
bool PrintTextToPdf(const std::string& text, const std::string& path, const QFont* font = nullptr,
                    std::string* error = nullptr);

}  // namespace tavelo

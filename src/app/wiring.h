#pragma once
// The composition root: every handler of the program state is attached
// here, once, to the form model, so the window, the command line, the
// tests and the fuzz runs start from the same wiring. Each handler lives
// with the code it drives; this file only says which field runs it. The
// window's own parts (the editor commands it owns, the preview, the window
// itself) are reached through WindowParts, so this file needs no widget.

#include <functional>

#include "program/state.h"

namespace tavelo {

class EditorCommands;
class PreviewView;

// The field rules, the palette boxes, "OK  Display", the velocity model
// button, the output and print buttons and the style menu and boxes.
void AttachProgramHandlers(ProgramState& state);

// What the handlers of the window's own parts act on. The window may go
// before the state (tests): the functions then give nothing or do nothing.
// The editor commands are the window's: no editor item may be clicked
// once it is gone (the editor handlers hold them directly).
struct WindowParts {
  EditorCommands* commands = nullptr;     // the editor commands the window owns
  std::function<PreviewView*()> preview;  // the page's preview; nullptr once gone
  std::function<void()> bringToFront;     // raises and activates the window
  std::function<void(bool)> showPreview;  // shows or hides the preview
};

// The editor menu and buttons, the preview's zoom boxes, "Color amplitude
// selection" (brings the window forward) and the tabs (the preview is seen
// on "Virtual plot" only). Attached after AttachProgramHandlers, so on the
// tabs the tab-change rule runs before the preview is shown or hidden.
void AttachWindowHandlers(ProgramState& state, const WindowParts& window);

}  // namespace tavelo

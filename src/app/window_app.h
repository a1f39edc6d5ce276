#pragma once
// The window face of the program: Qt application, dialogs, program state,
// start-up, then the parameters window until it is closed.

#include <memory>
#include <string>

#include "app/wiring.h"

namespace tavelo {

class MainWindow;

// The parts of `window` its handlers act on, each doing nothing once the
// window is gone.
WindowParts WindowPartsOf(MainWindow& window);

// Attaches the program's handlers, makes the window on `state`, then
// attaches the handlers of its parts. In this order, on a field both use
// (the tabs) the program's handler runs first. The window may go before
// the state.
std::unique_ptr<MainWindow> MakeWiredWindow(ProgramState& state);

// `suPath` names the SU file to open (may be empty); `settingsFolder` the
// folder of the settings files (empty: the default folder). Returns the
// application's exit status.
int RunWindow(int argc, char** argv, const std::string& suPath, const std::string& settingsFolder);

}  // namespace tavelo

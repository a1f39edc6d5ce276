#pragma once
// The window face of the program: Qt application, dialogs, program state,
// start-up, then the parameters window until it is closed.

#include <string>

namespace tavelo {

// `suPath` names the SU file to open (may be empty); `settingsFolder` the
// folder of the settings files (empty: the default folder). Returns the
// application's exit status.
int RunWindow(int argc, char** argv, const std::string& suPath, const std::string& settingsFolder);

}  // namespace tavelo

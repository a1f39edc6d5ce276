#pragma once
// A whole program state with scripted dialogs, a fresh settings folder and
// the field handlers attached, as the window and the command line set it up.

#include <memory>
#include <string>

#include "support/scripted_dialogs.h"
#include "program/handlers.h"
#include "program/startup.h"
#include "program/state.h"
#include "render/builder.h"

namespace tavelo::test {

struct ProgramFixture {
  ScriptedDialogs dialogs;
  ProgramState state{dialogs};
  std::string settingsDir;

  // Settings in `folder` (a fresh one when empty); two fonts reported.
  explicit ProgramFixture(std::string folder = {});
  // Runs the start-up on a file (may be empty).
  void Start(const std::string& suPath);
  Form& form() { return state.form; }
};

}  // namespace tavelo::test

#include "support/program_fixture.h"
#include "app/wiring.h"

#include "support/su_writer.h"

namespace tavelo::test {

ProgramFixture::ProgramFixture(std::string folder)
    : settingsDir(folder.empty() ? TempDir() : std::move(folder)) {
  state.settingsFolder = settingsDir;
  state.fontList = [] { return std::vector<std::string>{"Arial", "Courier New"}; };
  AttachProgramHandlers(state);
}

void ProgramFixture::Start(const std::string& suPath) { Startup(state, suPath); }

}  // namespace tavelo::test

#include "overlays/velocity_handlers.h"

#include "common/dialogs.h"
#include "program/state.h"
#include "settings/form_fields.h"

namespace tavelo {

void ChooseVelocityModel(ProgramState& state) {
  CommonDialogFields& f = state.dialogs->fields();
  f.initialFolder = state.su.DataFolder;
  f.cancelError = false;
  // Both entries list *.NMO: the button is mostly used to pick a pick file.
  f.filter = "SU NMO velocity model|*.NMO|VEL file|*.NMO|All files|*.*|";
  f.title = "Velocity model selection";
  f.fileName = "*.NMO";
  state.dialogs->ChooseFileToOpen();
  state.form.SetText(kVelocityModelFile, f.fileName);
}

}  // namespace tavelo

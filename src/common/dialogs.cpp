#include "common/dialogs.h"

#include "common/paths.h"

namespace tavelo {

bool Dialogs::ApplyFile(const std::optional<FileChoice>& choice) {
  if (!choice) return !fields_.cancelError;
  fields_.fileName = choice->path;
  fields_.fileTitle = FileNameOf(choice->path);
  return true;
}

bool Dialogs::ChooseFileToOpen() { return ApplyFile(ShowOpen(fields_)); }
bool Dialogs::ChooseFileToSave() { return ApplyFile(ShowSave(fields_)); }

bool Dialogs::ChooseColor() {
  auto color = ShowColor(fields_);
  if (!color) return !fields_.cancelError;
  fields_.color = *color;
  return true;
}

bool Dialogs::ChooseFont() {
  auto font = ShowFont(fields_);
  if (!font) return !fields_.cancelError;
  fields_.fontName = font->name;
  fields_.fontSize = font->size;
  return true;
}

bool Dialogs::ChoosePrinter() {
  auto printer = ShowPrinter(fields_);
  if (!printer) return !fields_.cancelError;
  fields_.printerName = printer->printerName;
  fields_.printerCopies = printer->copies;
  return true;
}

}  // namespace tavelo

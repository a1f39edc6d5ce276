#include "output/device_export.h"

#include <new>

#include "output/file_device.h"

namespace tavelo {

bool ExportFailure(std::string* error, std::string reason) {
  if (error) *error = std::move(reason);
  return false;
}

bool ExportThroughDevice(const std::string& path, std::string* error, const ExportReasons& reasons,
                         const std::function<bool(SafeFileDevice&)>& build) {
  SafeFileDevice file;
  if (!file.OpenTarget(path, error)) return false;
  bool built = false;
  try {
    built = build(file);
  } catch (const std::bad_alloc&) {
    file.Cancel();
    return ExportFailure(error, reasons.outOfMemory);
  }
  if (!built && !file.Failed()) {
    file.Cancel();
    return ExportFailure(error, reasons.notMade);
  }
  return file.Commit(error);
}

}  // namespace tavelo

#pragma once
// The frame our own PDF, SVG and PNG writers share: the file opened through
// the safe file writer, the picture built into it, the file put in place
// only when the build succeeded, and a one-line reason otherwise.

#include <functional>
#include <string>

namespace tavelo {

class SafeFileDevice;

// The reasons given when the build itself fails (not the file).
struct ExportReasons {
  std::string outOfMemory;  // the build ran out of memory
  std::string notMade;      // the build returned false with the file still writable
};

// Opens `path`, runs `build` on the open device and commits the file when
// it returns true. A refused write (a full disk) is reported by the commit
// with its reason; any old file stays as it was on every failure.
bool ExportThroughDevice(const std::string& path, std::string* error, const ExportReasons& reasons,
                         const std::function<bool(SafeFileDevice&)>& build);

// Sets `error` (when given) and returns false.
bool ExportFailure(std::string* error, std::string reason);

}  // namespace tavelo

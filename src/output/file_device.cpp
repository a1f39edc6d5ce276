#include "output/file_device.h"

namespace tavelo {

SafeFileDevice::~SafeFileDevice() { Cancel(); }

bool SafeFileDevice::OpenTarget(const std::string& path, std::string* error) {
  path_ = path;
  std::string reason;
  if (path.empty()) {
    if (error) *error = "no file name given";
    return false;
  }
  if (!writer_.Open(path, false, &reason, DeviceTargets::WriteInPlace)) {
    if (error) *error = "cannot write " + reason;
    return false;
  }
  return QIODevice::open(QIODevice::WriteOnly);
}

bool SafeFileDevice::Commit(std::string* error) {
  if (isOpen()) QIODevice::close();
  std::string reason;
  if (!writer_.Commit(&reason)) {
    if (error) *error = "cannot write " + reason;
    return false;
  }
  return true;
}

void SafeFileDevice::Cancel() {
  if (isOpen()) QIODevice::close();
  writer_.Abandon();
}

qint64 SafeFileDevice::readData(char*, qint64) { return -1; }

qint64 SafeFileDevice::writeData(const char* data, qint64 size) {
  if (size < 0) return -1;
  return writer_.Write(std::string_view(data, static_cast<size_t>(size))) ? size : -1;
}

}  // namespace tavelo

#pragma once
// The safe file writer as a Qt output device, for the Qt painters (PDF,
// SVG) and our own PDF writer: the file is written under a temporary name
// and put in place only on Commit, links are followed to the file they
// name, and a device or pipe the user named (/dev/stdout) is written in
// place. Every refused write is remembered and reported by Commit with its
// reason ("No space left on device").

#include <QIODevice>

#include <string>

#include "common/safe_file.h"

namespace tavelo {

class SafeFileDevice : public QIODevice {
 public:
  SafeFileDevice() = default;
  ~SafeFileDevice() override;

  // Opens for writing; false with a one-line reason naming the path.
  bool OpenTarget(const std::string& path, std::string* error);
  // Puts the file in place; false with "cannot write PATH: REASON".
  bool Commit(std::string* error);
  // Gives the write up; any old file stays as it was.
  void Cancel();
  // A write has been refused (Commit then says why).
  bool Failed() const { return writer_.Failed(); }

  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 size) override;

 private:
  AtomicFileWriter writer_;
  std::string path_;
};

}  // namespace tavelo

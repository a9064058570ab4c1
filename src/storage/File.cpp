#include "storage/File.h"

#include "storage/FilePaths.h"
#include "storage/Log.h"

namespace meridia {

TzoFile::~TzoFile() {
  Close();
}

bool TzoFile::OpenRead(std::string_view fileName, bool readWrite) {
  Close();
  SetMode(kStreamRead);
  if (fileName.empty() || FileAge(fileName) == -1) {
    LogWrite("File Not Found : " + std::string(fileName));
    return false;
  }
  return Open(fileName, readWrite ? platform::OpenMode::kReadWrite : platform::OpenMode::kRead);
}

bool TzoFile::OpenWrite(std::string_view fileName, bool readWrite) {
  Close();
  SetMode(kStreamWrite);
  if (fileName.empty()) {
    return false;
  }
  return Open(fileName,
              readWrite ? platform::OpenMode::kCreateReadWrite : platform::OpenMode::kCreate);
}

bool TzoFile::CreateNew(std::string_view fileName) {
  Close();
  SetMode(kStreamWrite);
  if (fileName.empty()) {
    return false;
  }
  return Open(fileName, platform::OpenMode::kCreateNew);
}

bool TzoFile::Open(std::string_view fileName, platform::OpenMode mode) {
  Handle = platform::OpenFile(fileName, mode);
  Name = fileName;
  HadFailure = false;
  return IsOpen();
}

bool TzoFile::Sync() {
  if (!IsOpen() || !platform::SyncFile(Handle)) {
    HadFailure = true;
    return false;
  }
  return true;
}

void TzoFile::Close() {
  platform::CloseFile(Handle);
  Handle = platform::kNoFile;
}

void TzoFile::Truncate() {
  if (IsOpen() && !platform::TruncateFile(Handle, GetPosition())) {
    LogRefusal("Truncate refused");
  }
}

int64_t TzoFile::GetSize() const {
  if (!IsOpen()) {
    return 0;
  }
  const int64_t size = platform::FileSizeOf(Handle);
  if (size < 0) {
    LogRefusal("Size query refused");
    return 0;
  }
  return size;
}

void TzoFile::SetSize(int64_t newSize) {
  TzoStream::SetSize(newSize);
  if (!IsOpen()) {
    return;
  }
  // A negative size would cut the file at whatever the position is; refuse it outright.
  if (newSize < 0) {
    LogRefusal("Negative size refused");
    return;
  }
  SetPosition(newSize);
  Truncate();
}

void TzoFile::SetPosition(int64_t position) {
  if (IsOpen() && !platform::SeekFile(Handle, position)) {
    LogRefusal("Seek refused");
  }
}

int64_t TzoFile::GetPosition() const {
  if (!IsOpen()) {
    return 0;
  }
  const int64_t position = platform::FilePosition(Handle);
  if (position < 0) {
    LogRefusal("Position query refused");
    return 0;
  }
  return position;
}

void TzoFile::Transfer(void* buffer, int32_t count) {
  if (!IsOpen() || count <= 0) {
    return;
  }
  const int64_t moved = Mode != kStreamRead ? platform::WriteFile(Handle, buffer, count)
                                            : platform::ReadFile(Handle, buffer, count);
  if (moved != count) {
    HadFailure = true;
    LogWrite("IO Error : Read after end of file");
  }
}

void TzoFile::LogRefusal(std::string_view what) const {
  HadFailure = true;
  LogWrite("IO Error : " + std::string(what) + " : " + Name);
}

} // namespace meridia

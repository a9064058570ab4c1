// A stream over an operating-system file. The file is open exactly while IsOpen is true; a closed
// file moves no bytes and reports size and position 0. Failures are logged, never raised.
#pragma once

#include "platform/FileSystem.h"
#include "storage/Stream.h"

#include <string>
#include <string_view>

namespace meridia {

class TzoFile : public TzoStream {
public:
  TzoFile() = default;
  ~TzoFile() override;

  // Opens an existing plain file in read mode (for writing too when readWrite). An empty name,
  // a missing file or a folder logs "File Not Found : " + name; a refusal by the system fails
  // silently. An open file is closed first.
  bool OpenRead(std::string_view fileName, bool readWrite);
  // Creates or empties the file in write mode. The folder must exist; no log line.
  bool OpenWrite(std::string_view fileName, bool readWrite);
  // Creates a file that does not exist yet, in write mode; false, silently, when the name is
  // taken (in any letter case) or the folder is missing.
  bool CreateNew(std::string_view fileName);
  // Waits until the written bytes are on the disk; false (and Failed) when the system refuses.
  bool Sync();
  void Close();
  // Cuts the file at the position.
  void Truncate();

  int64_t GetSize() const override;
  // The file ends at newSize afterwards (cut or extended with zeros), with the position there.
  void SetSize(int64_t newSize) override;
  void SetPosition(int64_t position) override;
  int64_t GetPosition() const override;
  // A short or refused transfer logs "IO Error : Read after end of file" (in both directions,
  // as the message always said) and leaves the rest of the caller's buffer unchanged.
  void Transfer(void* buffer, int32_t count) override;

  bool IsOpen() const { return Handle != platform::kNoFile; }
  // Whether a transfer, seek or size change since the file was opened came out short or was
  // refused: what was written cannot be trusted to be whole.
  bool Failed() const { return HadFailure; }
  const std::string& FileName() const { return Name; }

private:
  bool Open(std::string_view fileName, platform::OpenMode mode);
  void LogRefusal(std::string_view what) const;

  platform::FileHandle Handle = platform::kNoFile;
  std::string Name;
  // Set from const queries too (a refused size query); cleared when a file is opened.
  mutable bool HadFailure = false;
};

} // namespace meridia

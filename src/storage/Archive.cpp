#include "storage/Archive.h"

#include "storage/Log.h"
#include "storage/abc/Mcp.h"

#include <algorithm>
#include <new>

namespace meridia {
namespace {

std::unique_ptr<TzoList> g_archives;

// Windows lower-cases 8-bit text by its ANSI code page, Windows-1252, so accented capitals fold
// too, not only A to Z.
char LowerWindows1252(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
    return static_cast<char>(byte + 0x20);
  }
  switch (byte) {
  case 0x8A: // S caron
  case 0x8C: // OE
  case 0x8E: // Z caron
    return static_cast<char>(byte + 0x10);
  case 0x9F: // Y diaeresis
    return static_cast<char>(0xFF);
  default:
    return c;
  }
}

// Compressed entries go through the block-sorting decoder, one instance per extraction: its
// work memory is large and archives are read rarely. A damaged stream gives nothing, and the
// data manager falls back to a plain file of the same name.
bool DecodeCompressed(std::vector<uint8_t>& packed, const std::string& name, TzoMemoryStream& out,
                      std::string& failure) {
  T_ABC_MCP decoder;
  auto input = std::make_unique<TzoMemoryStream>();
  input->Buffer = std::move(packed);
  std::unique_ptr<TzoMemoryStream> decoded = decoder.DecodeStream(std::move(input));
  if (decoded == nullptr) {
    failure = "Archive : compressed entry refused, " + decoder.LastError() + " : " + name;
    LogWrite(failure);
    return false;
  }
  out.Buffer = std::move(decoded->Buffer);
  return true;
}

} // namespace

std::string ArchiveKey(std::string_view name) {
  std::string key(name);
  for (char& c : key) {
    c = c == '\\' ? '/' : LowerWindows1252(c);
  }
  return key;
}

bool TzoArchive::Open(std::string_view fileName) {
  Entries.clear();
  if (!File.OpenRead(fileName, false)) {
    return false;
  }
  const std::string archive(fileName);
  std::array<char, 4> magic{};
  int32_t count = 0;
  const bool has_header = File.Remaining() >= 8;
  if (has_header) {
    File.TransferBuffer(magic.data(), static_cast<int32_t>(magic.size()));
    File.TransferInt32(count);
  }
  if (!has_header || magic != kArchiveMagic || count < 0) {
    LogWrite("Archive refused, not an archive : " + archive);
    File.Close();
    return false;
  }
  // The loop ends at the end of the file whatever the count says, so a made-up count costs at
  // most one pass over the bytes that are really there.
  for (int32_t i = 0; i < count; ++i) {
    TzoArchiveEntry entry;
    bool whole = File.Remaining() >= 1;
    if (whole) {
      File.TransferBuffer(&entry.Method, 1);
      whole = File.TransferString(entry.Name) && File.Remaining() >= 12;
    }
    if (!whole) {
      LogWrite("Archive table cut short after " + std::to_string(i) + " of " +
               std::to_string(count) + " entries : " + archive);
      break;
    }
    File.TransferInt32(entry.Size);
    File.TransferInt64(entry.Offset);
    if (entry.Method > kMethodLink || entry.Name.empty() || entry.Size < 0 || entry.Offset < 0 ||
        entry.Offset > File.GetSize() - entry.Size) {
      LogWrite("Archive entry refused : " + archive + " : " + entry.Name);
      continue;
    }
    Entries.push_back(std::move(entry));
  }
  return true;
}

int32_t TzoArchive::IndexOf(std::string_view name) const {
  const std::string key = ArchiveKey(name);
  for (size_t i = 0; i < Entries.size(); ++i) {
    if (ArchiveKey(Entries[i].Name) == key) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

std::unique_ptr<TzoMemoryStream> TzoArchive::Extract(int32_t index) {
  LastError.clear();
  if (index < 0 || static_cast<size_t>(index) >= Entries.size() || !File.IsOpen()) {
    return nullptr;
  }
  const TzoArchiveEntry& entry = Entries[static_cast<size_t>(index)];
  // Checked again: the file may have been cut since it was mounted.
  if (entry.Offset > File.GetSize() - entry.Size) {
    LastError = "Archive entry past the end of its file : " + File.FileName() + " : " + entry.Name;
    LogWrite(LastError);
    return nullptr;
  }
  File.SetMode(kStreamRead);
  File.SetPosition(entry.Offset);
  // An entry may be as large as its file: memory that cannot be had refuses it, like damage.
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(entry.Size));
    File.TransferBuffer(bytes.data(), entry.Size);
    for (size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<uint8_t>(bytes[i] - i);
    }
    auto stream = std::make_unique<TzoMemoryStream>();
    stream->SetMode(kStreamWrite);
    if (entry.Method == kMethodCompressed) {
      if (!DecodeCompressed(bytes, entry.Name, *stream, LastError)) {
        return nullptr;
      }
    } else if (entry.Method == kMethodStored) {
      stream->TransferBuffer(bytes.data(), entry.Size);
    }
    stream->SetMode(kStreamRead);
    stream->SetPosition(0);
    return stream;
  } catch (const std::bad_alloc&) {
    LastError = "Archive entry refused, no memory for " + std::to_string(entry.Size) +
                " bytes : " + File.FileName() + " : " + entry.Name;
    LogWrite(LastError);
    return nullptr;
  }
}

void CreateArchiveList() {
  if (g_archives == nullptr) {
    g_archives = std::make_unique<TzoList>();
  }
}

void FreeArchiveList() {
  UnmountAllArchives();
  g_archives.reset();
}

TzoList* ArchiveList() {
  return g_archives.get();
}

bool MountArchive(std::string_view path) {
  if (g_archives == nullptr) {
    return false;
  }
  auto archive = std::make_unique<TzoArchive>();
  if (!archive->Open(path)) {
    return false;
  }
  g_archives->Add(archive.release());
  return true;
}

void UnmountAllArchives() {
  if (g_archives != nullptr) {
    g_archives->FreeAll();
    g_archives->SetCount(0);
  }
}

} // namespace meridia

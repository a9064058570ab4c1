#include "storage/DataCache.h"

#include "storage/DataManager.h"
#include "storage/File.h"
#include "storage/FilePaths.h"
#include "storage/Log.h"
#include "storage/MemoryStream.h"
#include "storage/WholeFile.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace meridia {
namespace {

// The smallest entry: two empty strings and the reserved fields.
constexpr int64_t kMinEntryBytes = 4 + 4 + 4 + 8;
constexpr int64_t kReservedBytes = 4 + 8;

struct CacheState {
  std::unique_ptr<TCacheManager> manager;
  std::string index_path;
};

CacheState& State() {
  static CacheState state;
  return state;
}

TCacheFile* FileAt(const TzoStringList& entries, int32_t index) {
  return static_cast<TCacheFile*>(entries.Items[static_cast<size_t>(index)].Object);
}

// Writes the stream's content to the open file without disturbing the stream's mode or position.
void CopyContent(TzoStream& stream, TzoFile& file) {
  if (auto* memory = dynamic_cast<TzoMemoryStream*>(&stream)) {
    file.TransferBlock(memory->Buffer.data(), memory->GetSize());
    return;
  }
  const uint8_t mode = stream.Mode;
  const int64_t position = stream.GetPosition();
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.GetSize()));
  stream.SetMode(kStreamRead);
  stream.SetPosition(0);
  stream.TransferBlock(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetMode(mode);
  stream.SetPosition(position);
  file.TransferBlock(bytes.data(), static_cast<int64_t>(bytes.size()));
}

} // namespace

bool IsConfinedCachePath(std::string_view path, std::string_view folder) {
  auto same_separator = [](char a, char b) {
    return a == b || ((a == '/' || a == '\\') && (b == '/' || b == '\\'));
  };
  if (path.size() <= folder.size() ||
      !std::equal(folder.begin(), folder.end(), path.begin(), same_separator)) {
    return false;
  }
  // Below the folder: plain names only, so the copy can be nowhere but inside it.
  std::string_view rest = path.substr(folder.size());
  while (true) {
    const size_t cut = rest.find_first_of("/\\");
    const std::string_view part = rest.substr(0, cut);
    if (part.empty() || part == "." || part == ".." ||
        std::any_of(part.begin(), part.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == ':'; })) {
      return false;
    }
    if (cut == std::string_view::npos) {
      return true;
    }
    rest = rest.substr(cut + 1);
  }
}

TCacheManager::~TCacheManager() {
  Entries.FreeObjects();
}

void TCacheManager::Clear() {
  Entries.FreeObjects();
  Entries.SetCount(0);
}

bool TCacheManager::Serialize(TzoStream& file) {
  file.SetPosition(0);
  if (file.Mode != kStreamRead) {
    int32_t count = Entries.Count;
    file.TransferInt32(count);
    for (int32_t i = 0; i < count; ++i) {
      TCacheFile* copy = FileAt(Entries, i);
      file.TransferString(Entries.Items[static_cast<size_t>(i)].Text);
      file.TransferString(copy->Path);
      file.TransferInt32(copy->Reserved1);
      file.TransferInt64(copy->Reserved2);
    }
    return true;
  }

  Clear();
  int32_t count = 0;
  if (file.Remaining() < 4) {
    return false;
  }
  file.TransferInt32(count);
  // Checked before anything is sized by it: a made-up count must not allocate.
  if (count < 0 || count > file.Remaining() / kMinEntryBytes) {
    return false;
  }
  Entries.SetCount(count);
  for (int32_t i = 0; i < count; ++i) {
    auto* copy = new TCacheFile();
    Entries.Items[static_cast<size_t>(i)].Object = copy;
    if (!file.TransferString(Entries.Items[static_cast<size_t>(i)].Text) ||
        !file.TransferString(copy->Path) || file.Remaining() < kReservedBytes) {
      Clear();
      return false;
    }
    file.TransferInt32(copy->Reserved1);
    file.TransferInt64(copy->Reserved2);
    // The index names the files served in place of data: one that points anywhere but into
    // the cache's own folder is not an index this program wrote.
    if (!IsConfinedCachePath(copy->Path, Folder)) {
      Clear();
      return false;
    }
  }
  if (file.Remaining() != 0) {
    Clear();
    return false;
  }
  return true;
}

void TCacheManager::Load(std::string_view indexPath) {
  if (FileAge(indexPath) == -1) {
    return;
  }
  TzoFile file;
  if (!file.OpenRead(indexPath, false)) {
    return;
  }
  if (!Serialize(file)) {
    LogWrite("Cache index damaged, starting empty : " + std::string(indexPath));
  }
}

void TCacheManager::Save(std::string_view indexPath) {
  // An index cut short would be rejected at the next start and every copy forgotten; the old
  // one, kept whole, still lists copies that exist.
  WriteWholeFile(indexPath, [this](TzoFile& file) { Serialize(file); });
}

std::optional<std::string> TCacheManager::Lookup(std::string_view name) {
  for (int32_t i = 0; i < Entries.Count; ++i) {
    if (Entries.Items[static_cast<size_t>(i)].Text != name) {
      continue;
    }
    TCacheFile* copy = FileAt(Entries, i);
    if (copy != nullptr && FileExists(copy->Path)) {
      return copy->Path;
    }
    delete copy;
    Entries.Delete(i);
    return std::nullopt;
  }
  return std::nullopt;
}

std::string TCacheManager::Add(std::string_view name, TzoStream& stream) {
  const int64_t size = stream.GetSize();
  if (size == 0) {
    return std::string(name);
  }
  auto copy = std::make_unique<TCacheFile>();
  copy->Path = MakeUniqueFileName(Folder, ExtractFileExtNoDot(name));
  // A copy cut short (a full disk) would be served as the data from then on.
  if (!WriteWholeFile(copy->Path, [&stream](TzoFile& file) { CopyContent(stream, file); })) {
    return copy->Path;
  }
  std::string path = copy->Path;
  Entries.AddObject(name, copy.release());
  return path;
}

void CacheInitialize() {
  CacheState& state = State();
  state.manager = std::make_unique<TCacheManager>();
  state.index_path = kCacheIndexPath;
  state.manager->Load(state.index_path);
}

void CacheFinalize() {
  CacheState& state = State();
  if (state.manager != nullptr) {
    state.manager->Save(state.index_path);
  }
  state.manager.reset();
  state.index_path.clear();
}

TCacheManager* CacheManager() {
  return State().manager.get();
}

std::string CacheLookup(std::string_view name) {
  TCacheManager* manager = CacheManager();
  if (manager == nullptr) {
    return {};
  }
  return manager->Lookup(name).value_or(std::string());
}

std::string CacheStore(std::string_view name, TzoStream& stream) {
  CacheState& state = State();
  if (state.manager == nullptr) {
    return std::string(name);
  }
  std::string path = state.manager->Add(name, stream);
  state.manager->Save(state.index_path);
  return path;
}

} // namespace meridia

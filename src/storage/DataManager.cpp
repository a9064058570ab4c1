#include "storage/DataManager.h"

#include "storage/Archive.h"
#include "storage/DataCache.h"
#include "storage/File.h"
#include "storage/FilePaths.h"
#include "storage/Log.h"

namespace meridia {
namespace {

constexpr int kErrorFileMissing = 1000;

bool InAnyArchive(std::string_view name) {
  const TzoList* archives = ArchiveList();
  if (archives == nullptr) {
    return false;
  }
  for (const TObject* item : archives->Items) {
    const auto* archive = static_cast<const TzoArchive*>(item);
    if (archive != nullptr && archive->Contains(name)) {
      return true;
    }
  }
  return false;
}

std::unique_ptr<TzoMemoryStream> ExtractFromArchives(std::string_view name) {
  const TzoList* archives = ArchiveList();
  if (archives == nullptr) {
    return nullptr;
  }
  for (TObject* item : archives->Items) {
    auto* archive = static_cast<TzoArchive*>(item);
    if (archive == nullptr) {
      continue;
    }
    if (auto stream = archive->Extract(archive->IndexOf(name))) {
      return stream;
    }
  }
  return nullptr;
}

std::unique_ptr<TzoStream> OpenPlainFile(std::string_view name) {
  auto file = std::make_unique<TzoFile>();
  if (!file->OpenRead(name, false)) {
    return nullptr;
  }
  file->SetPosition(0);
  return file;
}

} // namespace

bool FileExists(std::string_view name) {
  const bool plain = FileAge(name) != -1;
  const bool archived = InAnyArchive(name);
  return plain || archived;
}

std::unique_ptr<TzoStream> OpenFileStream(std::string_view name) {
  if (!FileExists(name)) {
    LogError(kErrorFileMissing, name);
    return nullptr;
  }
  const std::string cached = CacheLookup(name);
  if (!cached.empty()) {
    // A copy that will not open sends us to the plain file, not to the archives again.
    if (auto file = OpenPlainFile(cached)) {
      return file;
    }
    return OpenPlainFile(name);
  }
  if (auto stream = ExtractFromArchives(name)) {
    CacheStore(name, *stream);
    stream->SetMode(kStreamRead);
    stream->SetPosition(0);
    return stream;
  }
  return OpenPlainFile(name);
}

std::unique_ptr<TzoMemoryStream> LoadFileToMemoryStream(std::string_view name) {
  std::unique_ptr<TzoStream> source = OpenFileStream(name);
  if (source == nullptr) {
    return nullptr;
  }
  source->SetMode(kStreamRead);
  auto result = std::make_unique<TzoMemoryStream>();
  if (auto* memory = dynamic_cast<TzoMemoryStream*>(source.get())) {
    result->Buffer = std::move(memory->Buffer);
  } else {
    result->SetSize(source->GetSize());
    source->SetPosition(0);
    source->TransferBlock(result->Buffer.data(), result->GetSize());
  }
  result->SetMode(kStreamRead);
  result->SetPosition(0);
  return result;
}

std::string LoadFileToString(std::string_view name) {
  std::unique_ptr<TzoStream> source = OpenFileStream(name);
  if (source == nullptr) {
    return {};
  }
  std::string text(static_cast<size_t>(source->GetSize()), '\0');
  source->TransferBlock(text.data(), static_cast<int64_t>(text.size()));
  return text;
}

std::string FindFile(std::string_view name, std::span<const std::string> folders,
                     std::span<const std::string> extensions) {
  if (FileExists(name)) {
    return std::string(name);
  }
  for (const std::string& extension : extensions) {
    std::string candidate = std::string(name) + "." + extension;
    if (FileExists(candidate)) {
      return candidate;
    }
  }
  std::string candidate(name);
  for (const std::string& folder : folders) {
    candidate = IncludeTrailingDelimiter(folder) + std::string(name);
    if (FileExists(candidate)) {
      return candidate;
    }
    for (const std::string& extension : extensions) {
      std::string with_extension = candidate + "." + extension;
      if (FileExists(with_extension)) {
        return with_extension;
      }
    }
  }
  return candidate;
}

} // namespace meridia

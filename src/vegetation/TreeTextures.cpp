#include "vegetation/TreeTextures.h"

#include "models/Material.h"
#include "storage/DataManager.h"

namespace meridia {

std::vector<uint32_t> TreeTextureIds;
TzoStringList* TreeTextureNames = nullptr;

namespace {

class TTreeTextureSlot : public TObject {
public:
  explicit TTreeTextureSlot(int32_t slot) : Slot(slot) {}
  int32_t Slot;
};

} // namespace

void CreateTreeTextureTables() {
  FreeTreeTextureTables();
  TreeTextureNames = new TzoStringList();
}

void FreeTreeTextureTables() {
  if (TreeTextureNames != nullptr) {
    TreeTextureNames->FreeObjects();
    delete TreeTextureNames;
    TreeTextureNames = nullptr;
  }
  TreeTextureIds.clear();
}

int32_t LoadTreeTexture(const std::string& name) {
  if (TreeTextureNames == nullptr) {
    TreeTextureNames = new TzoStringList();
  }
  const int32_t slot = static_cast<int32_t>(TreeTextureIds.size());
  TreeTextureIds.push_back(0);
  static const std::string kFolders[] = {"base/textures"};
  static const std::string kExtensions[] = {"dds", "jpg", "tga"};
  const std::string path = FindFile(name, kFolders, kExtensions);
  const int32_t known = TreeTextureNames->IndexOf(path, nullptr);
  if (known >= 0) {
    const auto* entry = static_cast<const TTreeTextureSlot*>(
        TreeTextureNames->Items[static_cast<size_t>(known)].Object);
    return entry != nullptr ? entry->Slot : slot;
  }
  TreeTextureNames->AddObject(path, new TTreeTextureSlot(slot));
  uint32_t id = 0;
  if (LoadTexture(path, id)) {
    TreeTextureIds[static_cast<size_t>(slot)] = id;
  }
  return slot;
}

} // namespace meridia

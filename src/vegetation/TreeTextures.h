// The bark and leaf textures of the tree kinds: one slot per request, and a file asked for again
// under the same resolved path shares the first slot's texture. Slots hold 0 where a picture
// could not be found or decoded, and the tree draws untextured.
#pragma once

#include "engine/StringList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace meridia {

// GL texture ids by slot, one per LoadTreeTexture call.
extern std::vector<uint32_t> TreeTextureIds;
// Resolved paths, each with the slot that loaded it (objects owned by the list).
extern TzoStringList* TreeTextureNames;

// Module initialisation and finalisation. The textures themselves are left to the context.
void CreateTreeTextureTables();
void FreeTreeTextureTables();

// The slot of the picture "base/textures/<name>" (.dds, .jpg or .tga). Needs a current context.
int32_t LoadTreeTexture(const std::string& name);

} // namespace meridia

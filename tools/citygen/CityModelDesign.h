// The city building model "47": a block of five buildings on a paved plinth, written as an OBJ
// file with its MTL library and TGA textures. Modelled Z-up in decimetres (the loader's scale of
// 0.1 makes metres), centred on the origin, the plinth's underside at z = 0. Deterministic: the
// same bytes in every run.
#pragma once

#include "imaging/TGAImage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meridia::citygen {

struct TextureFile {
  std::string Name; // as written in the folder
  TTGAImage Image;
};

struct CityModel {
  std::string ObjName;
  std::string Obj;
  std::string MtlName;
  std::string Mtl;
  std::vector<TextureFile> Textures;
  // What a loader that makes one shape per material and fans every face should get.
  int32_t Materials = 0;
  int32_t Groups = 0;
  int32_t Faces = 0;
  int32_t Triangles = 0;
};

// The model of catalogue entry `name`: "Bld_" + name + ".obj" and ".mtl".
CityModel BuildCityModel(std::string_view name);

// Writes every file of the model into folder, which must exist. False when one cannot be
// written.
bool WriteCityModel(const CityModel& model, const std::string& folder);

} // namespace meridia::citygen

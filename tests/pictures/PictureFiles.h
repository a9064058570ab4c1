// Reading and writing the pictures of the reference suite: the flight tool's TGA shots in, PNG
// files (through SDL_image) in and out. Every reader returns an empty picture on bad data.
#pragma once

#include "support/PictureCompare.h"

#include <filesystem>

namespace meridia::testing {

// An uncompressed 24-bit TGA as the flight tool writes it (rows bottom first, blue green red).
Picture LoadTgaShot(const std::filesystem::path& path);

Picture LoadPng(const std::filesystem::path& path);
bool SavePng(const Picture& picture, const std::filesystem::path& path);

} // namespace meridia::testing

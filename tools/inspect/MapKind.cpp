// Terrain maps: which seed and size made a map file, and whether the viewer would take it as the
// map of the world whose folder it lies in ("maps" for the default world, "maps/world-N" for seed
// N) or make that world's maps again.
#include "FileKind.h"

#include "engine/PlanetSeed.h"
#include "terrain/PixelBufferD.h"
#include "terrain/TerrainMaps.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

namespace meridia::inspect {
namespace {

namespace fs = std::filesystem;

// The world whose maps the viewer looks for in the file's folder; none for other folders.
std::optional<int32_t> WorldOfFolder(const std::string& path) {
  std::error_code error;
  const std::string folder = fs::absolute(path, error).parent_path().filename().string();
  int32_t seed = 0;
  if (folder == "maps") {
    return kPlanetSeed;
  }
  if (folder.rfind("world-", 0) == 0 && ParsePlanetSeed(folder.substr(6), seed) &&
      seed != kPlanetSeed) {
    return seed;
  }
  return std::nullopt;
}

} // namespace

bool IsMap(const std::string& path) {
  char head[4] = {};
  std::ifstream(path, std::ios::binary).read(head, sizeof head);
  return std::memcmp(head, kWorldTagMagic, sizeof head) == 0 ||
         fs::path(path).extension() == ".dat";
}

int DescribeMap(const std::string& path, const InspectOptions& options, std::ostream& out,
                std::ostream& err) {
  const TMapFileFacts facts = InspectMapFile(path);
  const std::optional<int32_t> world = WorldOfFolder(path);
  std::string refusal = facts.Refusal;
  if (refusal.empty() && world && *world != facts.Seed) {
    refusal = "made by seed " + std::to_string(facts.Seed) + ", in the folder of seed " +
              std::to_string(*world) + ", which would make its maps again";
  }
  const bool sized = facts.Width > 0 && facts.Height > 0;
  if (options.json) {
    out << "{\"file\":" << JsonString(path) << ",\"kind\":\"map\",\"seed\":" << facts.Seed
        << ",\"tagged\":" << (facts.Tagged ? "true" : "false");
    if (sized) {
      out << ",\"width\":" << facts.Width << ",\"height\":" << facts.Height;
    }
    out << ",\"world\":" << (world ? std::to_string(*world) : "null")
        << ",\"accepted\":" << (refusal.empty() ? "true" : "false");
    if (!refusal.empty()) {
      out << ",\"refusal\":" << JsonString(refusal);
    }
    out << "}\n";
  } else {
    out << path << ": terrain map, seed " << facts.Seed
        << (facts.Tagged ? " (world tag)" : " (default world, no tag)");
    if (sized) {
      out << ", " << facts.Width << " x " << facts.Height;
    }
    if (!refusal.empty()) {
      out << ", refused: " << refusal << "\n";
    } else if (world) {
      out << ", accepted as the map of seed " << *world << "\n";
    } else {
      out << ", accepted in the maps folder of seed " << facts.Seed << "\n";
    }
  }
  if (!refusal.empty()) {
    err << "meridia-inspect: " << path << ": " << refusal << "\n";
    return 1;
  }
  return 0;
}

} // namespace meridia::inspect

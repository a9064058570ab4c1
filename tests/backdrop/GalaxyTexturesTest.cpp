#include "backdrop/GalaxyTextures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meridia {
namespace {

std::vector<std::string> g_asked;

// Loads everything but the stars, giving ids from 100 on.
bool LoadAllButStars(std::string_view path, uint32_t& id) {
  g_asked.emplace_back(path);
  if (path.find("/star") != std::string_view::npos) {
    return false;
  }
  id = 100 + static_cast<uint32_t>(g_asked.size());
  return true;
}

TEST(GalaxyTextures, NineSlotsInOrderAndAFailedLoadLeavesItsSlotAlone) {
  GalaxyTextures.fill(0);
  g_asked.clear();
  LoadGalaxyTextures(LoadAllButStars);
  const std::vector<std::string> expected = {
      "base/Textures/Galaxy/frame1.tga", "base/Textures/Galaxy/frame2.tga",
      "base/Textures/Galaxy/frame3.tga", "base/Textures/Galaxy/frame4.tga",
      "base/Textures/Galaxy/star1.tga",  "base/Textures/Galaxy/star2.tga",
      "base/Textures/Galaxy/star3.tga",  "base/Textures/Galaxy/star4.tga",
      "base/Textures/Galaxy/smoke2.tga"};
  EXPECT_EQ(g_asked, expected);
  const std::array<uint32_t, kGalaxyTextureCount> ids = {101, 102, 103, 104, 0, 0, 0, 0, 109};
  EXPECT_EQ(GalaxyTextures, ids);
  LoadGalaxyTextures(nullptr);
  EXPECT_EQ(GalaxyTextures, ids);
  GalaxyTextures.fill(0);
}

} // namespace
} // namespace meridia

// The overlay's line texts for known values, and the numbering of screenshots on disk.
#include "app/Overlay.h"

#include <gtest/gtest.h>

#include "support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>

namespace meridia {
namespace {

namespace fs = std::filesystem;

OverlayValues KnownValues() {
  OverlayValues v;
  v.TrisCount = 123456;
  v.CurrentLevel = 17;
  v.TilesInUse = 12;
  v.TileCount = 16384;
  v.NodesDrawn = 345;
  v.NodeCount = 2001;
  v.VertexCount = 4567;
  v.HeightAboveGround = -0.25f;
  v.HeightAboveWater = 1.2345f;
  v.Orientation = {0.5f, -0.25f, 0.0f, 0.8f};
  v.EulerDegrees = {-12.345f, 90.0f, 0.004f};
  v.AutoSpeed = true;
  v.MoveSpeed = 50.0;
  v.CameraMode = 3;
  v.OSName = "Debian GNU/Linux 12 (bookworm)";
  v.OSBuild = "6.1.0-18-amd64";
  v.VideoText = "llvmpipe (driver 4.5 Mesa)";
  v.ProcessorName = "Intel(R) Xeon(R)";
  v.MemoryText = "16384 Mb";
  return v;
}

TEST(OverlayLines, FourteenLinesWithTheirTextsAndPlaces) {
  const OverlayLine expected[] = {
      {10, 10, "Tris : 123456"},
      {10, 30, "Level : 17"},
      {10, 50, "Tex : 12 / 16384"},
      {10, 70, "Nodes : 345 / 2001"},
      {10, 90, "Vertex : 4567"},
      {10, 110, "Height : -0.250 km"},
      {10, 130, "WaterLine : 1.235 km"}, // 1.2345f is a little above the half
      {10, 150, "quat : 0.50 -0.25 0.00 0.80 deg"},
      {10, 170, "euler : -12.35 90.00 0.00 deg"},
      {10, 190, "auto : True speed : 50.00000"},
      {10, 210, "mode : Meridia"},
      {10, 540, "OS : Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64"},
      {10, 560, "Video : llvmpipe (driver 4.5 Mesa)"},
      {10, 580, "Processor : Intel(R) Xeon(R) RAM : 16384 Mb"},
  };
  const auto lines = OverlayLines(KnownValues(), 600);
  ASSERT_EQ(lines.size(), std::size(expected));
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].Text, expected[i].Text) << i;
    EXPECT_FLOAT_EQ(lines[i].X, expected[i].X) << i;
    EXPECT_FLOAT_EQ(lines[i].Y, expected[i].Y) << i;
  }
  // A short viewport puts the machine lines above its top; the top block does not move.
  const auto short_lines = OverlayLines(KnownValues(), 45);
  EXPECT_FLOAT_EQ(short_lines[11].Y, -15);
  EXPECT_FLOAT_EQ(short_lines[13].Y, 25);
  EXPECT_FLOAT_EQ(short_lines[10].Y, 210);
}

TEST(OverlayLines, OtherValues) {
  OverlayValues v = KnownValues();
  v.AutoSpeed = false;
  v.MoveSpeed = 0.005;
  v.CameraMode = 0;
  v.HeightAboveWater = -3.5f;
  const auto lines = OverlayLines(v, 600);
  EXPECT_EQ(lines[6].Text, "WaterLine : -3.500 km");
  EXPECT_EQ(lines[9].Text, "auto : False speed : 0.00500");
  EXPECT_EQ(lines[10].Text, "mode : Universe");
  v.CameraMode = 4;
  EXPECT_EQ(OverlayLines(v, 600)[10].Text, "mode : Ground");
  v.CameraMode = 200; // no such mode: no name rather than a read past the table
  EXPECT_EQ(OverlayLines(v, 600)[10].Text, "mode : ");
}

TEST(Screenshots, NamesTakeTheFirstFreeNumber) {
  testing::TemporaryFolder folder(testing::TemporaryFolder::Enter::kYes);
  EXPECT_EQ(FreeScreenshotName(), "screens/screen_00001.tga"); // no folder yet
  fs::create_directory("screens");
  for (int n = 1; n <= 3; ++n) {
    std::ofstream("screens/screen_0000" + std::to_string(n) + ".tga");
  }
  EXPECT_EQ(FreeScreenshotName(), "screens/screen_00004.tga");
  fs::remove("screens/screen_00002.tga"); // a gap is filled first
  EXPECT_EQ(FreeScreenshotName(), "screens/screen_00002.tga");
  for (int n = 1; n <= 9999; ++n) {
    char name[40];
    std::snprintf(name, sizeof name, "screens/screen_%05d.tga", n);
    std::ofstream{name};
  }
  EXPECT_EQ(FreeScreenshotName(), "screens/screen_10000.tga");
}

} // namespace
} // namespace meridia

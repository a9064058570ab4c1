// The statistics overlay: fourteen lines over every finished frame, the centred word shown during
// start-up, and F4's numbered screenshots. The line texts are plain data (OverlayLines), so
// DrawOverlay only prints them and never decides what they say.
#pragma once

#include "engine/VectorTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace meridia {

class Tgui_font;
class Viewer;

// Everything the overlay shows, gathered once per frame.
struct OverlayValues {
  int32_t TrisCount = 0;
  int32_t CurrentLevel = 0;
  int32_t TilesInUse = 0;
  int32_t TileCount = 0;
  int32_t NodesDrawn = 0;
  int32_t NodeCount = 0;
  int32_t VertexCount = 0;
  float HeightAboveGround = 0;
  float HeightAboveWater = 0;
  Quaternion Orientation;
  Vector3f EulerDegrees;
  bool AutoSpeed = true;
  double MoveSpeed = 0;
  uint8_t CameraMode = 0;
  std::string OSName;
  std::string OSBuild;
  std::string VideoText;
  std::string ProcessorName;
  std::string MemoryText;
};

struct OverlayLine {
  float X = 0;
  float Y = 0; // pixels from the top of the viewport
  std::string Text;
};

inline constexpr size_t kOverlayLineCount = 14;

// The lines in drawing order; the last three sit 60, 40 and 20 pixels above the viewport's
// bottom edge.
std::array<OverlayLine, kOverlayLineCount> OverlayLines(const OverlayValues& values,
                                                        int32_t viewport_height);

// The values of the viewer's frame: counters, camera, flying state and the machine texts, the
// latter queried afresh.
OverlayValues CollectOverlayValues(const Viewer& viewer);

// Values of the texture atlas and the planet object; 0 while those do not exist.
int32_t OverlayTilesInUse();
int32_t OverlayTileCount();
float OverlayHeightAboveGround();
float OverlayHeightAboveWater();

// Prints the lines over the current frame in a pixel projection of the viewport.
void DrawOverlay(Tgui_font& font, const OverlayValues& values);
// Clears the frame, prints the text at the viewport's centre and shows it at once.
void ShowProgressText(Tgui_font& font, std::string_view text,
                      const std::function<void()>& swap_buffers);

// "screens/screen_NNNNN.tga" with the first number from 1 whose file does not exist.
std::string FreeScreenshotName();
// Saves the viewport as a 24-bit TGA under FreeScreenshotName, creating "screens/" first when
// needed; false when the file could not be written.
bool SaveScreenshot();

} // namespace meridia

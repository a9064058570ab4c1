#include "app/Overlay.h"

#include "app/CameraControl.h"
#include "app/FrameCapture.h"
#include "app/SystemInfo.h"
#include "app/Viewer.h"
#include "engine/FrameCounters.h"
#include "engine/Strings.h"
#include "imaging/GuiFont.h"
#include "planet/PlanetCounters.h"
#include "planet/PlanetObject.h"
#include "storage/DataManager.h"
#include "storage/FilePaths.h"
#include "terrain/TextureBuffer.h"

#include <GL/gl.h>

namespace meridia {
namespace {

constexpr float kLeft = 10;

struct Viewport {
  int32_t width;
  int32_t height;
};

Viewport CurrentViewport() {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  return {viewport[2], viewport[3]};
}

// A projection of one unit per pixel with y growing downwards, and the state text is drawn in.
void BeginTextDrawing(const Viewport& viewport) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, viewport.width, viewport.height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
}

void EndTextDrawing() {
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

} // namespace

int32_t OverlayTilesInUse() {
  const TTextureBuffer* atlas = TextureAtlas();
  return atlas != nullptr ? atlas->TilesInUse : 0;
}

int32_t OverlayTileCount() {
  const TTextureBuffer* atlas = TextureAtlas();
  return atlas != nullptr ? atlas->TileCount : 0;
}

float OverlayHeightAboveGround() {
  const TPlanetObject* planet = CurrentPlanet();
  return planet != nullptr ? planet->HeightAboveGround() : 0;
}

float OverlayHeightAboveWater() {
  const TPlanetObject* planet = CurrentPlanet();
  return planet != nullptr ? planet->HeightAboveWater() : 0;
}

std::array<OverlayLine, kOverlayLineCount> OverlayLines(const OverlayValues& v,
                                                        int32_t viewport_height) {
  const auto bottom = static_cast<float>(viewport_height);
  const Vector4f orientation{v.Orientation.x, v.Orientation.y, v.Orientation.z, v.Orientation.w};
  const std::string mode = v.CameraMode < std::size(CameraControl::CameraModeNames)
                               ? CameraControl::CameraModeNames[v.CameraMode]
                               : "";
  return {{
      {kLeft, 10, "Tris : " + IntToStr(v.TrisCount)},
      {kLeft, 30, "Level : " + IntToStr(v.CurrentLevel)},
      {kLeft, 50, "Tex : " + IntToStr(v.TilesInUse) + " / " + IntToStr(v.TileCount)},
      {kLeft, 70, "Nodes : " + IntToStr(v.NodesDrawn) + " / " + IntToStr(v.NodeCount)},
      {kLeft, 90, "Vertex : " + IntToStr(v.VertexCount)},
      {kLeft, 110, "Height : " + FloatToStrFixed(v.HeightAboveGround, 3) + " km"},
      {kLeft, 130, "WaterLine : " + FloatToStrFixed(v.HeightAboveWater, 3) + " km"},
      {kLeft, 150, "quat : " + Vector4fToStr(orientation, 2) + " deg"},
      {kLeft, 170, "euler : " + Vector3fToStr(v.EulerDegrees, 2) + " deg"},
      {kLeft, 190,
       "auto : " + BoolToStr(v.AutoSpeed) + " speed : " + FloatToStrFixed(v.MoveSpeed, 5)},
      {kLeft, 210, "mode : " + mode},
      {kLeft, bottom - 60, "OS : " + v.OSName + " " + v.OSBuild},
      {kLeft, bottom - 40, "Video : " + v.VideoText},
      {kLeft, bottom - 20, "Processor : " + v.ProcessorName + " RAM : " + v.MemoryText},
  }};
}

OverlayValues CollectOverlayValues(const Viewer& viewer) {
  OverlayValues v;
  v.TrisCount = TrisCount;
  v.CurrentLevel = CurrentLevel;
  v.TilesInUse = OverlayTilesInUse();
  v.TileCount = OverlayTileCount();
  v.NodesDrawn = NodesDrawn;
  v.NodeCount = NodeCount;
  v.VertexCount = VertexCount;
  v.HeightAboveGround = OverlayHeightAboveGround();
  v.HeightAboveWater = OverlayHeightAboveWater();
  v.Orientation = viewer.Camera.Orientation;
  v.EulerDegrees = viewer.Camera.EulerDegrees();
  v.AutoSpeed = viewer.Control.AutoSpeed;
  v.MoveSpeed = viewer.Control.MoveSpeed;
  v.CameraMode = viewer.Control.CameraMode;
  v.OSName = GetOSName();
  v.OSBuild = GetOSBuild();
  v.VideoText = GetVideoText();
  v.ProcessorName = GetProcessorName();
  v.MemoryText = GetMemoryText();
  return v;
}

void DrawOverlay(Tgui_font& font, const OverlayValues& values) {
  const Viewport viewport = CurrentViewport();
  BeginTextDrawing(viewport);
  for (const OverlayLine& line : OverlayLines(values, viewport.height)) {
    font.Print(line.Text, line.X, line.Y);
  }
  EndTextDrawing();
}

void ShowProgressText(Tgui_font& font, std::string_view text,
                      const std::function<void()>& swap_buffers) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  const Viewport viewport = CurrentViewport();
  BeginTextDrawing(viewport);
  font.PrintCentred(text, static_cast<float>(viewport.width / 2),
                    static_cast<float>(viewport.height / 2));
  EndTextDrawing();
  if (swap_buffers) {
    swap_buffers();
  }
}

std::string FreeScreenshotName() {
  for (int64_t n = 1;; ++n) {
    std::string name = "screens/screen_" + IntToStrPadded(4, n) + ".tga";
    if (!FileExists(name)) {
      return name;
    }
  }
}

bool SaveScreenshot() {
  // Whether the folder could be made or not, the save is tried and reports for itself.
  ForceDirectories("screens/");
  const TTGAImage image = CaptureViewport();
  return image.SaveToFile(FreeScreenshotName());
}

} // namespace meridia

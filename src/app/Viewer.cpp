#include "app/Viewer.h"

#include "app/DecorationWarmUp.h"
#include "app/Overlay.h"
#include "app/Projection.h"
#include "backdrop/GalaxyTextures.h"
#include "engine/FrameCounters.h"
#include "engine/Random.h"
#include "engine/VectorGeometry.h"
#include "gl/GLEntryPoints.h"
#include "gl/GLImplementation.h"
#include "models/Building.h"
#include "models/Material.h"
#include "planet/PlanetCounters.h"
#include "planet/PlanetObject.h"
#include "storage/Log.h"
#include "vegetation/PlanetaryTrees.h"
#include "vegetation/Wind.h"
#include "view/RenderOrigin.h"
#include "view/Scatter.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <string>
#include <vector>

namespace meridia {

void Viewer::SetSwapBuffers(std::function<void()> swap_buffers) {
  swap_buffers_ = std::move(swap_buffers);
}

void Viewer::SetShowError(std::function<void(const std::string& text)> show_error) {
  show_error_ = std::move(show_error);
}

bool Viewer::InitScene() {
  const auto step = [this](std::string_view name) {
    if (StartUpSteps) {
      StartUpSteps(name);
    }
  };
  // OpenGL beyond 1.1 and what this driver says of itself. The drawing calls the required
  // extensions' entry points unchecked, so a driver without one ends the program here, with its
  // name, rather than later at a null pointer.
  step("entry points");
  LoadGLEntryPoints();
  ReadGLImplementation();
  DeriveFeatureFlags();
  DropOptionalEntryPointsNotOffered();
  if (const std::vector<std::string> missing = MissingRequiredGLExtensions(GLExtensions);
      !missing.empty()) {
    const std::string message = MissingExtensionsMessage(missing);
    LogWrite(message);
    if (show_error_) {
      show_error_(message);
    }
    return false;
  }

  step("animation clock");
  TimerReset(AnimationClock);
  // Overridden twice before anything is planted: by the planet seed and by the backdrop.
  step("clock seed");
  SetRandSeed(ClockSeed ? ClockSeed() : FrameTimeNow());

  step("gl state");
  glClearColor(0, 0, 0, 0);
  glShadeModel(GL_SMOOTH);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glDisable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

  step("font");
  Font = std::make_unique<Tgui_font>();
  Font->SetFont("Arial", 8);
  // Stays on screen through the rest of start-up, the long part of which is the planet.
  step("Generation");
  ShowProgressText(*Font, "Generation", swap_buffers_);
  Overlay = [this] { DrawOverlay(*Font, CollectOverlayValues(*this)); };
  Control.SaveScreenshot = [] { SaveScreenshot(); };

  step("camera");
  Camera = TPlanetary_Camera{};
  Camera.SetPosition(TPlanetary_Camera::kViewPosition, {0, 0, 1000});

  // The planet with its atlas and terrain: generates the terrain maps on a first run (the long
  // part of start-up) and leaves the shared generator seeded with the planet seed. The old one,
  // if any, goes first: both would share the vertex pool.
  step("planet control");
  PlanetControl.reset();
  PlanetControl = std::make_unique<TPlanetControl>(Camera);
  step("UpdateReference");
  UpdateReference(Camera.Positions[TPlanetary_Camera::kViewPosition]);
  PlanetPass = [this] { PlanetControl->Render(); };
  Control.Collide = [this](TPlanetary_Camera& camera) { PlanetControl->Collide(camera); };

  // The city's building catalogue, before the tree kinds. A second start-up replaces it.
  step("InitCity");
  BuildingModels().clear();
  InitCity();

  // The tree kinds with their vertex programs and impostor atlases; a program the driver
  // rejects is reported in a box of its own and the scene goes on without it. The atlases are
  // drawn through the back buffer and leave their clear colour behind.
  step("CreateTreeKinds");
  CreateTreeKinds(show_error_);
  // Every kind of tree and building drawn once now, so that the first frame showing them does
  // not stall while the driver prepares to draw them.
  WarmUpDecorations();

  // Last: building the galaxy reseeds the shared generator with 0, so every tree and building
  // planted from here on follows the splits and draws of the flight, never the clock.
  step("backdrop");
  LoadGalaxyTextures(LoadTexture);
  Galaxy = std::make_unique<TGalaxyRender>();
  Galaxy->BuildGalaxy(0);
  // Its billboards now; its card is painted by the first frame that shows it. It fades out under
  // a bright sky overhead.
  GalaxySky = std::make_unique<TGalaxySky>();
  GalaxySky->Build(*Galaxy, DefaultGalaxyPlacement());
  BackdropPass = [this] {
    const TPlanetObject* planet = CurrentPlanet();
    const Vector3f& eye = Camera.Positions[TPlanetary_Camera::kViewPosition];
    const float overhead = planet != nullptr && planet->Atmosphere != nullptr
                               ? planet->Atmosphere->BrightnessOverhead(eye)
                               : 0.0f;
    // The ground covers what lies behind it, none of it deeper than 6 units below the base
    // radius; in wireframe it covers nothing.
    TSkyOccluder ground{Scale3(eye, -1.0f), 0.0f};
    if (planet != nullptr && !Control.Wireframe) {
      ground.Radius = planet->BaseRadius - 8.0f;
    }
    GalaxySky->Render(Camera.ViewMatrix(), BackdropVisibility(overhead), ground);
  };

  step("clear colour");
  glClearColor(0, 0, 0, 0);
  return true;
}

void Viewer::RenderFrame() {
  TrisCount = 0;
  TreesDrawn = 0;
  TreeImpostorsDrawn = 0;
  BuildingsDrawn = 0;
  TimerUpdate(AnimationClock);
  SetWindTime(AnimationClock.Now);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  GLint viewport[4] = {0, 0, 1, 1};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const double aspect = ViewportAspect(viewport[2], viewport[3]);

  const TPlanetObject* planet = CurrentPlanet();
  const DepthRange range = planet != nullptr
                               ? ProjectionDepthRange(CurrentLevel, planet->ClearanceAboveGround())
                               : ProjectionDepthRange(CurrentLevel);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(kFieldOfViewDegrees, aspect, range.near_plane, range.far_plane);
  // Where the planes come in, the ground is nearer than the level's near plane (10 m at the
  // finest levels): the world is drawn from the camera, so that the ground stays where it is to
  // the centimetre instead of to the metre. Elsewhere it is drawn as it always was.
  const bool landed = range.near_plane < ProjectionDepthRange(CurrentLevel).near_plane;
  SetRenderOrigin(landed ? Camera.Positions[TPlanetary_Camera::kViewPosition] : Vector3f{0, 0, 0});
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  Camera.Apply();
  if (Control.Backdrop && BackdropPass) {
    BackdropPass();
  }

  const bool wireframe = Control.Wireframe;
  if (wireframe) {
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glDisable(GL_TEXTURE_2D);
  }
  if (PlanetPass) {
    PlanetPass();
  }
  if (wireframe) {
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
  }
  if (Overlay) {
    Overlay();
  }
}

void Viewer::UpdateFrame(KeyStateTable& key_state, float frame_delta_ms) {
  Control.UpdateFrame(Camera, key_state, frame_delta_ms, CurrentLevel);
}

// Everything sized by the window reads the viewport back: the projection's aspect, the
// overlay's bottom lines, the centred progress word and the screenshot's size.
void Viewer::SetViewport(int x, int y, int width, int height) {
  glViewport(x, y, width, height);
}

void Viewer::MouseMessage(uint32_t message, int x, int y) {
  Control.MouseMessage(Camera, message, x, y);
}

} // namespace meridia

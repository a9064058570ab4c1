// The galaxy sky painted and drawn in a real OpenGL context, headless.
#include "backdrop/GalaxySky.h"

#include "engine/VectorGeometry.h"
#include "gl/GLEntryPoints.h"

#include "support/GLStateSnapshot.h"
#include "support/OffscreenGLContext.h"
#include "support/StandInGlows.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace meridia {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

std::vector<uint8_t> ReadFrame() {
  std::vector<uint8_t> rgb(kWidth * kHeight * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

int Lit(const std::vector<uint8_t>& rgb) {
  int lit = 0;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    lit += (rgb[i] | rgb[i + 1] | rgb[i + 2]) != 0;
  }
  return lit;
}

TEST(GalaxySkyGL, PaintsItsCardOnFirstUseAndDrawsItFadedBehindEverythingLeavingNoStateChanged) {
  testing::OffscreenGLContext gl(kWidth, kHeight);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  LoadGLEntryPoints();
  testing::UseStandInGalaxyTextures();
  TGalaxyRender galaxy;
  galaxy.BuildGalaxy(0);
  TGalaxySky sky;
  sky.Build(galaxy, DefaultGalaxyPlacement());

  // The state a frame has when the backdrop draws: the scene's, with the planet's culling left
  // on from the frame before, and the camera where the orbit starts.
  glViewport(0, 0, kWidth, kHeight);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0, 0, 0, 0);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(40.0, 4.0 / 3.0, 1.0, 16384.0);
  glMatrixMode(GL_MODELVIEW);
  Matrix4f view;
  view.m[3][2] = -2500;
  glLoadMatrixf(view.Data());
  const testing::GLStateSnapshot before = testing::TakeGLStateSnapshot();

  // The first frame that shows it paints the card, and keeps nothing of the painting.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  sky.Render(view, 1.0f);
  EXPECT_EQ(testing::GLStateDifferences(before, testing::TakeGLStateSnapshot()), "");
  ASSERT_NE(sky.Texture, 0u);
  const std::vector<uint8_t> first = ReadFrame();
  // The galaxy sits in the middle of its card, whose corners stay black.
  std::vector<uint8_t> card(TGalaxySky::kCardTexels * TGalaxySky::kCardTexels * 3);
  glBindTexture(GL_TEXTURE_2D, sky.Texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, card.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  const size_t middle = (TGalaxySky::kCardTexels / 2 * (TGalaxySky::kCardTexels + 1)) * 3;
  EXPECT_GT(card[middle], 200);
  EXPECT_EQ(card[0] + card[card.size() - 1], 0);

  // Where the orbit's first view shows the galaxy's centre.
  GLdouble model[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  const Vector3f d = Scale3(DefaultGalaxyPlacement().Direction, 1e4f);
  GLdouble x = 0, y = 0, z = 0;
  gluProject(d.x, d.y, d.z + 2500.0, model, projection, viewport, &x, &y, &z);
  ASSERT_GT(x, 0);
  const size_t centre =
      (static_cast<size_t>(std::lround(y)) * kWidth + static_cast<size_t>(std::lround(x))) * 3;

  int full = 0;
  for (const float visibility : {1.0f, 0.5f, 0.0f}) {
    SCOPED_TRACE(visibility);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    sky.Render(view, visibility);
    EXPECT_EQ(testing::GLStateDifferences(before, testing::TakeGLStateSnapshot()), "");
    const std::vector<uint8_t> frame = ReadFrame();
    if (visibility == 1.0f) {
      EXPECT_TRUE(frame == first) << "the frame that painted shows the same";
      full = frame[centre];
      EXPECT_GT(full, 200);
      EXPECT_GT(Lit(frame), kWidth * kHeight / 10);
      EXPECT_EQ(frame[(kWidth - 2) * 3], 0) << "the bottom right corner is empty sky";
    } else {
      EXPECT_NEAR(frame[centre], full * visibility, 2);
    }
    // Nothing of it reaches the depth buffer: whatever comes later is in front.
    std::vector<float> depth(kWidth * kHeight);
    glReadPixels(0, 0, kWidth, kHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    EXPECT_EQ(*std::min_element(depth.begin(), depth.end()), 1.0f);
  }

  // A planet right in front of the viewer leaves nothing of it to draw.
  glClear(GL_COLOR_BUFFER_BIT);
  sky.Render(view, 1.0f, {{0, 0, -700}, 690});
  EXPECT_EQ(Lit(ReadFrame()), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace meridia

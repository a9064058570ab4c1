// The sky drawn in a real OpenGL context, headless.
#include "view/Scatter.h"

#include "engine/VectorGeometry.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace meridia {
namespace {

constexpr int kSide = 64;

class GLContext {
public:
  GLContext() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      return;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    window_ = SDL_CreateWindow("sky", 0, 0, kSide, kSide, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_ != nullptr) {
      context_ = SDL_GL_CreateContext(window_);
    }
  }
  ~GLContext() {
    if (context_ != nullptr) {
      SDL_GL_DeleteContext(context_);
    }
    if (window_ != nullptr) {
      SDL_DestroyWindow(window_);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  bool Ready() const { return context_ != nullptr; }

private:
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
};

std::array<uint8_t, 4> CentrePixel() {
  std::array<uint8_t, 4> pixel{};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(kSide / 2, kSide / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
  return pixel;
}

// A camera standing at model position eye looking at target, with the projection set.
void LookFrom(const Vector3f& eye, const Vector3f& target) {
  glViewport(0, 0, kSide, kSide);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.01, 0.01, -0.01, 0.01, 0.01, 100.0);
  glMatrixMode(GL_MODELVIEW);
  const Vector3f f = Normalized3(Sub3(target, eye));
  const Vector3f helper = std::abs(f.z) < 0.9f ? ZAxis : XAxis;
  const Vector3f s = Normalized3(Cross3(f, helper));
  const Vector3f u = Cross3(s, f);
  const float m[16] = {s.x, u.x, -f.x, 0, s.y, u.y, -f.y, 0, s.z, u.z, -f.z, 0, 0, 0, 0, 1};
  glLoadMatrixf(m);
  glTranslatef(-eye.x, -eye.y, -eye.z);
}

TEST(ScatterGL, DrawsTheInsideBlendedAndRestoresItsState) {
  GLContext gl;
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  TScatter_CPU sky;
  // On the ground under the sun, looking up at the zenith.
  const Vector3f ground = Scale3(sky.LightDirection, 10.01f);
  sky.UpdateColors(Scale3(ground, 678.0f / 10.0f));
  LookFrom(ground, Scale3(sky.LightDirection, 20.0f));

  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  sky.Render();

  // From inside the sphere is seen, in the colour of the vertices around the zenith.
  const std::array<uint8_t, 4> pixel = CentrePixel();
  EXPECT_GT(pixel[2], 20);
  EXPECT_GT(pixel[2], pixel[0]);

  // The blend function is the caller's; everything else is as it was.
  GLint value = 0;
  glGetIntegerv(GL_BLEND_SRC, &value);
  EXPECT_EQ(value, GL_SRC_ALPHA);
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_ONE);
  glGetIntegerv(GL_FRONT_FACE, &value);
  EXPECT_EQ(value, GL_CCW);
  GLboolean mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  EXPECT_EQ(mask, GL_TRUE);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(ScatterGL, FromOrbitTheFarInsideShowsAndNoDepthIsWritten) {
  GLContext gl;
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  TScatter_CPU sky;
  const Vector3f eye{0.0f, 0.0f, 14.75f};
  sky.UpdateColors(Scale3(eye, 678.0f / 10.0f));
  LookFrom(eye, {0.0f, 0.0f, 0.0f});

  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  sky.Render();

  // The near half faces away and is culled; the far half's inside shows as a ring round the
  // planet's place, leaving the depth buffer as it was.
  std::vector<uint8_t> colour(kSide * kSide * 4);
  std::vector<float> depth(kSide * kSide);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, colour.data());
  glReadPixels(0, 0, kSide, kSide, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  int lit = 0;
  for (int i = 0; i < kSide * kSide; ++i) {
    lit += colour[static_cast<size_t>(i) * 4 + 2] > 0 ? 1 : 0;
    EXPECT_EQ(depth[static_cast<size_t>(i)], 1.0f) << i;
  }
  EXPECT_GT(lit, kSide);
  // Straight down at the planet's centre the line of sight ends where the sky was never
  // coloured: the far side's vertices face away from the camera.
  EXPECT_EQ(CentrePixel()[2], 0);
}

} // namespace
} // namespace meridia

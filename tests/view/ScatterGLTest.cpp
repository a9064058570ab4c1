// The sky drawn in a real OpenGL context, headless.
#include "view/Scatter.h"

#include "engine/VectorGeometry.h"
#include "gl/GLEntryPoints.h"

#include "support/OffscreenGLContext.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

namespace meridia {
namespace {

constexpr int kSide = 64;

// Draws the sky after UpdateColors from the model position eye, looking at target through a
// 90 degree frustum, over a cleared frame.
void DrawFrom(TScatter_CPU& sky, const Vector3f& eye, const Vector3f& target) {
  sky.UpdateColors(Scale3(eye, 678.0f / 10.0f));
  glViewport(0, 0, kSide, kSide);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.01, 0.01, -0.01, 0.01, 0.01, 100.0);
  glMatrixMode(GL_MODELVIEW);
  const Vector3f f = Normalized3(Sub3(target, eye));
  const Vector3f s = Normalized3(Cross3(f, std::abs(f.z) < 0.9f ? ZAxis : XAxis));
  const Vector3f u = Cross3(s, f);
  const float m[16] = {s.x, u.x, -f.x, 0, s.y, u.y, -f.y, 0, s.z, u.z, -f.z, 0, 0, 0, 0, 1};
  glLoadMatrixf(m);
  glTranslatef(-eye.x, -eye.y, -eye.z);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  sky.Render();
}

TEST(ScatterGL, DrawsTheInsideBlendedWithoutDepthAndRestoresItsState) {
  testing::OffscreenGLContext gl(kSide, kSide);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  TScatter_CPU sky;
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);

  // On the ground under the sun, looking at the zenith: the inside faces the viewer.
  DrawFrom(sky, Scale3(sky.LightDirection, 10.01f), Scale3(sky.LightDirection, 20.0f));
  uint8_t pixel[4] = {};
  glReadPixels(kSide / 2, kSide / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  EXPECT_GT(pixel[2], 20);
  EXPECT_GT(pixel[2], pixel[0]);

  // The blend function is the caller's; everything else is as it was.
  GLint value = 0;
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_ONE);
  glGetIntegerv(GL_FRONT_FACE, &value);
  EXPECT_EQ(value, GL_CCW);
  GLboolean mask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
  EXPECT_EQ(mask, GL_TRUE);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

  // From orbit the near half is culled and the far half's inside rings the planet's place,
  // leaving the depth buffer as it was.
  DrawFrom(sky, {0.0f, 0.0f, 14.75f}, {0.0f, 0.0f, 0.0f});
  std::vector<uint8_t> colour(kSide * kSide * 4);
  std::vector<float> depth(kSide * kSide);
  glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, colour.data());
  glReadPixels(0, 0, kSide, kSide, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  int lit = 0;
  for (size_t i = 0; i < depth.size(); ++i) {
    lit += colour[i * 4 + 2] > 0 ? 1 : 0;
    EXPECT_EQ(depth[i], 1.0f) << i;
  }
  EXPECT_GT(lit, kSide);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The sphere one vertex at a time, colour then position, in the sky's own state.
void DrawOneByOne(const TScatter_CPU& sky) {
  glDepthMask(GL_FALSE);
  glEnable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glFrontFace(GL_CW);
  const TScatterSphere& sphere = sky.OuterSphere;
  for (const TScatterPrimitive& primitive : sphere.Primitives) {
    glBegin(primitive.Fan ? GL_TRIANGLE_FAN : GL_TRIANGLE_STRIP);
    for (int32_t i = primitive.First; i < primitive.First + primitive.Count; ++i) {
      const TScatterVertex& v =
          sphere.Vertices[static_cast<size_t>(sphere.DrawIndices[static_cast<size_t>(i)])];
      glColor4ubv(&v.red);
      glVertex3fv(&v.x);
    }
    glEnd();
  }
  glFrontFace(GL_CCW);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_TRUE);
}

void DrawsLikeOneByOne();

TEST(ScatterGL, DrawsThePixelsAndLeavesTheColourOfSendingEachVertexByItself) {
  testing::OffscreenGLContext gl(kSide, kSide);
  ASSERT_TRUE(gl.Ready()) << SDL_GetError();
  // Client arrays first, while no entry point is loaded, then buffer objects.
  ASSERT_EQ(glGenBuffersARB, nullptr);
  for (const bool buffers : {false, true}) {
    if (buffers) {
      LoadGLEntryPoints();
      ASSERT_NE(glGenBuffersARB, nullptr);
    }
    DrawsLikeOneByOne();
  }
}

// The sky's draws against one vertex at a time, from two views and then the first again: the
// colours change between views, and the last draw finds them as the one before left them.
void DrawsLikeOneByOne() {
  TScatter_CPU sky;
  glClearColor(0.1f, 0.2f, 0.3f, 0);
  glEnable(GL_DEPTH_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  struct Shot {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kSide * kSide * 4);
    std::array<float, 4> colour{};
  };
  auto shoot = [] {
    Shot shot;
    glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, shot.pixels.data());
    glGetFloatv(GL_CURRENT_COLOR, shot.colour.data());
    return shot;
  };
  // Under the sun looking along the horizon, and from orbit: smooth colour across the sky.
  const struct {
    Vector3f eye, target;
  } views[] = {
      {Scale3(sky.LightDirection, 10.01f), Add3(Scale3(sky.LightDirection, 10.01f), XAxis)},
      {{0.0f, 0.0f, 14.75f}, {0.0f, 0.0f, 0.0f}},
      {{0.0f, 0.0f, 14.75f}, {0.0f, 0.0f, 0.0f}},
  };
  for (const auto& [eye, target] : views) {
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    DrawFrom(sky, eye, target);
    const Shot arrays = shoot();
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawOneByOne(sky);
    const Shot one_by_one = shoot();
    std::set<uint32_t> shades;
    for (size_t i = 0; i < arrays.pixels.size(); i += 4) {
      shades.insert(arrays.pixels[i] | arrays.pixels[i + 1] << 8 | arrays.pixels[i + 2] << 16);
    }
    EXPECT_GT(shades.size(), 20u) << "a sky, not a flat fill";
    EXPECT_TRUE(arrays.pixels == one_by_one.pixels);
    EXPECT_EQ(arrays.colour, one_by_one.colour);
  }
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
  GLint array_buffer = -1, element_buffer = -1;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &array_buffer);
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB, &element_buffer);
  EXPECT_EQ(array_buffer, 0);
  EXPECT_EQ(element_buffer, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace meridia

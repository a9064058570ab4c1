// Frames read back in an offscreen context: at once, and queued to be collected later, in the
// order they were drawn, without disturbing the screenshots' reads in between.
#include "app/FrameCapture.h"
#include "gl/GLEntryPoints.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "support/OffscreenGLContext.h"

#include <vector>

namespace meridia {
namespace {

// Odd, so that rows of 3-byte pixels are not 4-byte aligned.
constexpr int kWidth = 37;
constexpr int kHeight = 20;

// A clear colour with a small block of another in one corner of the viewport.
void Draw(const float clear[3], const float block[3], int x, int y) {
  glDisable(GL_SCISSOR_TEST);
  glClearColor(clear[0], clear[1], clear[2], 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(x, y, 4, 3);
  glClearColor(block[0], block[1], block[2], 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

// Blue, green, red of the pixel at (x, y) counted from the bottom left.
std::vector<int> Pixel(const std::vector<uint8_t>& bgra, int x, int y) {
  const uint8_t* p = &bgra[(static_cast<size_t>(y) * kWidth + x) * 4];
  return {p[0], p[1], p[2]};
}

TEST(FrameReadBack, FramesComeBackInTheirOrderWhileScreenshotsReadAsEver) {
  testing::OffscreenGLContext context(kWidth, kHeight);
  ASSERT_TRUE(context.Ready());
  LoadGLEntryPoints();
  glViewport(0, 0, kWidth, kHeight);
  const float red[3] = {1, 0, 0}, green[3] = {0, 1, 0}, blue[3] = {0, 0, 1}, white[3] = {1, 1, 1};

  FrameReadBack read_back;
  Draw(red, green, 0, 0); // the block at the bottom left
  ASSERT_TRUE(read_back.Queue());
  Draw(blue, white, kWidth - 4, kHeight - 3); // the block at the top right
  std::vector<uint8_t> direct;
  int width = 0, height = 0;
  ASSERT_TRUE(ReadViewportBGRA(direct, width, height));
  ASSERT_EQ(width, kWidth);
  ASSERT_EQ(height, kHeight);
  ASSERT_EQ(direct.size(), size_t(kWidth) * kHeight * 4);
  // A screenshot in between reads the second picture into its own memory.
  TTGAImage shot = CaptureViewport();
  ASSERT_EQ(shot.Header.Width, kWidth);
  const uint8_t* shot_pixels = shot.PixelsAddress();
  for (size_t i = 0; i < size_t(kWidth) * kHeight; ++i) {
    ASSERT_EQ(shot_pixels[i * 3], direct[i * 4]) << i;
    ASSERT_EQ(shot_pixels[i * 3 + 2], direct[i * 4 + 2]) << i;
  }
  ASSERT_TRUE(read_back.Queue());
  EXPECT_EQ(read_back.Pending(), 2u);

  std::vector<uint8_t> first;
  ASSERT_TRUE(read_back.Collect(first, width, height));
  EXPECT_EQ(width, kWidth);
  EXPECT_EQ(height, kHeight);
  ASSERT_EQ(first.size(), direct.size());
  EXPECT_EQ(Pixel(first, 0, 0), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(Pixel(first, 3, 2), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(Pixel(first, 4, 0), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(Pixel(first, kWidth - 1, kHeight - 1), (std::vector<int>{0, 0, 255}));

  std::vector<uint8_t> second;
  ASSERT_TRUE(read_back.Collect(second, width, height));
  EXPECT_TRUE(second == direct) << "the second frame differs from the direct read";
  EXPECT_EQ(Pixel(second, kWidth - 1, kHeight - 1), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(read_back.Pending(), 0u);
  EXPECT_FALSE(read_back.Collect(second, width, height));

  glViewport(0, 0, 0, 0);
  EXPECT_FALSE(read_back.Queue());
  EXPECT_FALSE(ReadViewportBGRA(second, width, height));
}

} // namespace
} // namespace meridia

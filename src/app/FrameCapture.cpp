#include "app/FrameCapture.h"

#include <GL/gl.h>

namespace meridia {

TTGAImage CaptureViewport() {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const int width = viewport[2] - viewport[0];
  const int height = viewport[3] - viewport[1];

  TTGAImage image;
  if (width <= 0 || height <= 0) {
    return image;
  }
  image.Header.ImageType = 2;
  image.Header.Width = static_cast<uint16_t>(width);
  image.Header.Height = static_cast<uint16_t>(height);
  image.Header.PixelDepth = 24;
  image.Header.ImageDescriptor = 0; // bottom-up, as OpenGL reads rows
  image.SetPixelBuffer(width, height, 3);
  if (image.PixelsAddress() == nullptr) {
    return image;
  }
  // Rows of 3-byte pixels are not 4-byte aligned for every width; the default alignment would
  // write past the end of a tightly sized buffer.
  GLint previous_alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &previous_alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(viewport[0], viewport[1], width, height, GL_BGR, GL_UNSIGNED_BYTE,
               image.PixelsAddress());
  glPixelStorei(GL_PACK_ALIGNMENT, previous_alignment);
  return image;
}

} // namespace meridia

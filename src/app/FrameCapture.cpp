#include "app/FrameCapture.h"

#include "gl/GLEntryPoints.h"
#include "gl/GLImplementation.h"

#include <GL/gl.h>

#include <cstring>

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

bool ReadViewportBGRA(std::vector<uint8_t>& pixels, int& width, int& height) {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  width = viewport[2];
  height = viewport[3];
  if (width <= 0 || height <= 0) {
    return false;
  }
  pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  // The frame buffer's own layout on common drivers, so the read is a copy of rows; 4-byte
  // pixels keep every row aligned whatever the width.
  glReadPixels(viewport[0], viewport[1], width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
  return true;
}

bool FrameReadBack::Queue() {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  Read read;
  read.width = viewport[2];
  read.height = viewport[3];
  if (read.width <= 0 || read.height <= 0) {
    return false;
  }
  if (!buffers_checked_) {
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    use_buffers_ =
        extensions != nullptr && ExtensionStringHas(extensions, "GL_ARB_pixel_buffer_object") &&
        glGenBuffersARB != nullptr && glBindBufferARB != nullptr && glBufferDataARB != nullptr &&
        glMapBufferARB != nullptr && glUnmapBufferARB != nullptr;
    buffers_checked_ = true;
  }
  if (!use_buffers_) {
    ReadViewportBGRA(read.pixels, read.width, read.height);
    pending_.push_back(std::move(read));
    return true;
  }
  if (free_buffers_.empty()) {
    GLuint buffer = 0;
    glGenBuffersARB(1, &buffer);
    free_buffers_.push_back(buffer);
  }
  read.buffer = free_buffers_.back();
  free_buffers_.pop_back();
  if (buffer_bytes_.size() <= read.buffer) {
    buffer_bytes_.resize(read.buffer + 1, 0);
  }
  const size_t bytes = static_cast<size_t>(read.width) * static_cast<size_t>(read.height) * 4;
  glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, read.buffer);
  if (buffer_bytes_[read.buffer] != bytes) {
    glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB, static_cast<GLsizeiptrARB>(bytes), nullptr,
                    GL_STREAM_READ_ARB);
    buffer_bytes_[read.buffer] = bytes;
  }
  glReadPixels(viewport[0], viewport[1], read.width, read.height, GL_BGRA, GL_UNSIGNED_BYTE,
               nullptr);
  // Every other read of pixels goes to client memory.
  glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
  pending_.push_back(std::move(read));
  return true;
}

bool FrameReadBack::Collect(std::vector<uint8_t>& pixels, int& width, int& height) {
  if (pending_.empty()) {
    return false;
  }
  Read read = std::move(pending_.front());
  pending_.pop_front();
  width = read.width;
  height = read.height;
  if (read.buffer == 0) {
    pixels = std::move(read.pixels);
    return true;
  }
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  pixels.resize(bytes);
  glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, read.buffer);
  // Waits, if it must, for the frame to be drawn and read.
  const void* mapped = glMapBufferARB(GL_PIXEL_PACK_BUFFER_ARB, GL_READ_ONLY_ARB);
  const bool read_back = mapped != nullptr;
  if (read_back) {
    std::memcpy(pixels.data(), mapped, bytes);
    glUnmapBufferARB(GL_PIXEL_PACK_BUFFER_ARB);
  }
  glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
  free_buffers_.push_back(read.buffer);
  return read_back;
}

} // namespace meridia

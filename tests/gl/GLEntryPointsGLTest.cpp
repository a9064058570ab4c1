// The entry-point table and the implementation read against a real driver (Mesa, headless).
#include "gl/GLEntryPoints.h"
#include "gl/GLHelpers.h"
#include "gl/GLImplementation.h"
#include "platform/GLLibraries.h"

#include "support/OffscreenGLContext.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string_view>

namespace meridia {
namespace {

class GLEntryPointsGL : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(context_.Ready()) << SDL_GetError();
    ASSERT_TRUE(platform::LoadGLLibraries());
    // Handles of our own to the same libraries, to ask them directly.
    gl_ = dlopen("libGL.so.1", RTLD_NOW);
    glu_ = dlopen("libGLU.so.1", RTLD_NOW);
    ASSERT_NE(gl_, nullptr);
    ASSERT_NE(glu_, nullptr);
    LoadGLEntryPoints();
  }
  void TearDown() override {
    dlclose(gl_);
    dlclose(glu_);
    platform::FreeGLLibraries();
  }

  testing::OffscreenGLContext context_{64, 64};
  void* gl_ = nullptr;
  void* glu_ = nullptr;
};

TEST_F(GLEntryPointsGL, EveryEntryThePlatformOffersIsLoadedAndNoOther) {
  int offered = 0, loaded = 0;
  for (const GLEntryPoint& entry : GLEntryPoints()) {
    void* expected = nullptr;
    if (entry.lookup == nullptr) {
      expected = nullptr;
    } else if (std::string_view(entry.lookup).starts_with("glu")) {
      expected = dlsym(glu_, entry.lookup);
    } else {
      expected = dlsym(gl_, entry.lookup);
      if (expected == nullptr) {
        expected = SDL_GL_GetProcAddress(entry.lookup);
      }
    }
    offered += expected != nullptr;
    loaded += entry.address() != nullptr;
    EXPECT_EQ(entry.address(), expected) << entry.name;
  }
  EXPECT_EQ(loaded, offered);
  // All but the sixteen WGL calls without a Linux meaning, on Mesa.
  EXPECT_GE(loaded, 390);

  EXPECT_EQ(reinterpret_cast<void*>(glGenProgramsARB), dlsym(gl_, "glGenProgramsARB"));
  EXPECT_EQ(reinterpret_cast<void*>(glDrawRangeElementsEXT), dlsym(gl_, "glDrawRangeElementsEXT"));
  EXPECT_EQ(reinterpret_cast<void*>(wglSwapIntervalEXT), dlsym(gl_, "glXSwapIntervalMESA"));
  // Not exported by the library: the window system's own lookup supplies it.
  ASSERT_EQ(dlsym(gl_, "glBeginSceneEXT"), nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(glBeginSceneEXT), SDL_GL_GetProcAddress("glBeginSceneEXT"));
  EXPECT_EQ(reinterpret_cast<void*>(gluNurbsCallbackDataEXT),
            dlsym(glu_, "gluNurbsCallbackDataEXT"));
  EXPECT_EQ(wglGetExtensionsStringARB, nullptr);
  EXPECT_EQ(wglCreatePbufferARB, nullptr);

  // A name neither the library nor the window system knows.
  EXPECT_EQ(GetGLProcAddress("wglNoSuchCallARB"), nullptr);
  EXPECT_EQ(GetGLProcAddress("gluNoSuchCallEXT"), nullptr);
  EXPECT_EQ(GetGLProcAddress(nullptr), nullptr);

  // And the loaded pointers work: a buffer object comes and goes through them.
  GLuint buffer = 0;
  glGenBuffersARB(1, &buffer);
  EXPECT_NE(buffer, 0u);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
  EXPECT_EQ(glIsBufferARB(buffer), GL_TRUE);
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glDeleteBuffersARB(1, &buffer);
  EXPECT_EQ(glIsBufferARB(buffer), GL_FALSE);
}

TEST_F(GLEntryPointsGL, TheImplementationOffersWhatTheProgramNeeds) {
  ReadGLImplementation();
  DeriveFeatureFlags();
  EXPECT_GE(OpenGLVersion.Major, 2) << OpenGLVersion.Text;
  EXPECT_EQ(OpenGLVersion.Text, reinterpret_cast<const char*>(glGetString(GL_VERSION)));
  EXPECT_EQ(GLUVersion.Major, 1) << GLUVersion.Text;
  EXPECT_GE(GLUVersion.Minor, 3) << GLUVersion.Text;
  EXPECT_TRUE(GLExtensions.test(kGL_ARB_vertex_program));
  EXPECT_TRUE(GLExtensions.test(kGL_ARB_vertex_buffer_object));
  EXPECT_TRUE(GLExtensions.test(kGL_ARB_multitexture));
  EXPECT_TRUE(GLExtensions.test(kGL_EXT_draw_range_elements));
  EXPECT_TRUE(MissingRequiredGLExtensions(GLExtensions).empty());
  EXPECT_TRUE(TextureCompressionAvailable); // llvmpipe offers S3TC

  // The required extension listed but its entry point not found.
  const auto saved = glDrawRangeElementsEXT;
  glDrawRangeElementsEXT = nullptr;
  EXPECT_EQ(MissingRequiredGLExtensions(GLExtensions),
            std::vector<std::string>{"GL_EXT_draw_range_elements"});
  glDrawRangeElementsEXT = saved;

  // The optional mipmap call is kept where its extension is listed and dropped where it is not,
  // although the window system hands out an address either way.
  DropOptionalEntryPointsNotOffered();
  EXPECT_NE(glGenerateMipmapEXT, nullptr);
  OpenGLExtensionsText = "GL_ARB_multitexture GL_EXT_framebuffer_object_more";
  DropOptionalEntryPointsNotOffered();
  EXPECT_EQ(glGenerateMipmapEXT, nullptr);
}

TEST_F(GLEntryPointsGL, HelpersReadTheStateAndBindByKind) {
  glViewport(1, 2, 30, 40);
  int32_t viewport[4] = {};
  GetViewport(viewport);
  EXPECT_EQ(std::vector<int32_t>(viewport, viewport + 4), (std::vector<int32_t>{1, 2, 30, 40}));

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-2, 2, -1, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(1, 2, 3);
  Matrix4f modelview, projection;
  GetModelViewMatrix(modelview);
  GetProjectionMatrix(projection);
  EXPECT_EQ(modelview.m[3][0], 1.0f);
  EXPECT_EQ(modelview.m[3][1], 2.0f);
  EXPECT_EQ(modelview.m[3][2], 3.0f);
  EXPECT_EQ(projection.m[0][0], 0.5f);
  EXPECT_EQ(projection.m[1][1], 1.0f);

  GLuint textures[3] = {};
  glGenTextures(3, textures);
  const struct {
    uint32_t kind;
    GLenum binding;
    GLuint texture;
  } cases[] = {
      {0, GL_TEXTURE_BINDING_3D, textures[0]},
      {1 | 0x80, GL_TEXTURE_BINDING_2D, textures[1]}, // only the low 7 bits choose
      {2, GL_TEXTURE_BINDING_1D, textures[2]},
  };
  for (const auto& c : cases) {
    BindTexture(c.kind, c.texture);
    GLint bound = 0;
    glGetIntegerv(c.binding, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), c.texture) << c.kind;
  }
  glDeleteTextures(3, textures);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace meridia

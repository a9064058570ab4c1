#include "gl/GLImplementation.h"
#include "gl/GLEntryPoints.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meridia {
namespace {

TEST(GLVersion, TheFirstNumberPairWithWhateverLeadsAndTrailsRemoved) {
  const struct {
    const char* text;
    int32_t major, minor;
  } cases[] = {
      {"2.1.2 NVIDIA 169.12", 2, 1},
      {"4.5 (Compatibility Profile) Mesa 22.3.6", 4, 5},
      {"Product 1.1", 1, 1},
      {"OpenGL ES 3.2 Mesa", 3, 2},
      {"12.34", 12, 34},
      {"1.3", 1, 3},
      {"no version", 0, 0},
      {"", 0, 0},
      {".1", 0, 0},            // the dot must not come first
      {"1.", 0, 0},            // nor last
      {"v.1 2.0", 0, 0},       // only the first dot is looked at
      {"1.x", 0, 0},           // a digit on both sides
      {"99999999999.1", 0, 1}, // beyond 32 bits the number is not valid
  };
  for (const auto& c : cases) {
    const TzoGLVersion version = ParseGLVersion(c.text);
    EXPECT_EQ(version.Major, c.major) << c.text;
    EXPECT_EQ(version.Minor, c.minor) << c.text;
    EXPECT_EQ(version.Text, c.text);
  }
}

std::vector<int> Detected(std::string_view extensions) {
  GLExtensionSet set;
  DetectGLExtensions(extensions, set);
  std::vector<int> indexes;
  for (int i = 0; i < static_cast<int>(set.size()); ++i) {
    if (set.test(static_cast<size_t>(i))) {
      indexes.push_back(i);
    }
  }
  return indexes;
}

TEST(GLExtensions, ANameCountsWhenItEndsTheStringOrABlankFollows) {
  const struct {
    const char* extensions;
    std::vector<int> expected;
  } cases[] = {
      {"GL_ARB_multitexture GL_EXT_bgra", {6, 25}},
      {"GL_EXT_bgra_reversed", {}},
      {"", {}},
      {"GL_EXT_abgr ", {24}},
      // The start of a match plays no part: a name at the tail of a longer one counts.
      {"GL_FOO_GL_EXT_abgr", {24}},
      // A longer name that begins with a table name, before the name itself.
      {"GL_ARB_texture_compression_bptc GL_ARB_texture_compression", {10}},
      {"GL_ARB_texture_compression_bptc", {}},
      // Index 5 is searched with its leading blank, index 100 with its trailing one.
      {"GL_ARB_multisample", {}},
      {"GL_EXT_abgr GL_ARB_multisample", {5, 24}},
      {"WGL_ARB_multisample", {97}},
      {"WGL_ARB_pbuffer", {}},
      {"WGL_ARB_pbuffer WGL_ARB_pixel_format", {99}},
      {"WGL_ARB_pixel_format WGL_ARB_pbuffer ", {99, 100}},
      {"GLU_EXT_nurbs_tessellator GLU_EXT_object_space_tess", {103, 104}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Detected(c.extensions), c.expected) << '"' << c.extensions << '"';
  }
  EXPECT_EQ(GLExtensionName(5), " GL_ARB_multisample");
  EXPECT_EQ(GLExtensionName(100), "WGL_ARB_pbuffer ");
  EXPECT_EQ(GLExtensionName(104), "GLU_EXT_nurbs_tessellator");
  EXPECT_EQ(GLExtensionName(0), "");
  EXPECT_EQ(GLExtensionName(105), "");
}

TEST(GLExtensions, EveryTableNameIsFoundAloneAndNoneInsideAnother) {
  for (int index = 1; index <= kGLExtensionCount; ++index) {
    const std::string name(GLExtensionName(index));
    ASSERT_FALSE(name.empty()) << index;
    // Index 5's leading blank needs something before it.
    const std::string alone = index == 5 ? "X" + name : name;
    EXPECT_EQ(Detected(alone), std::vector<int>{index}) << name;
    EXPECT_EQ(Detected(alone + "_more"), std::vector<int>{}) << name;
  }
}

TEST(GLExtensions, FeatureFlagsAndTheRequiredSet) {
  GLExtensions.reset();
  DetectGLExtensions("GL_ARB_texture_compression", GLExtensions);
  DeriveFeatureFlags();
  EXPECT_FALSE(TextureCompressionAvailable);
  DetectGLExtensions("GL_EXT_texture_compression_s3tc", GLExtensions);
  DeriveFeatureFlags();
  EXPECT_TRUE(TextureCompressionAvailable);
  GLExtensions.reset();
  DeriveFeatureFlags();
  EXPECT_FALSE(TextureCompressionAvailable);
  EXPECT_FALSE(DepthClampAvailable);
  // Either name of the depth clamp will do; the ARB one is not in the table.
  DetectGLExtensions("GL_NV_depth_clamp", GLExtensions);
  DeriveFeatureFlags();
  EXPECT_TRUE(DepthClampAvailable);
  GLExtensions.reset();
  OpenGLExtensionsText = "GL_ARB_depth_clamp GL_ARB_multitexture";
  DeriveFeatureFlags();
  EXPECT_TRUE(DepthClampAvailable);
  OpenGLExtensionsText.clear();

  // Without a context nothing is loaded: every required extension is missing whatever the
  // string says, in the order the message names them.
  GLExtensionSet set;
  DetectGLExtensions("GL_ARB_multitexture GL_EXT_draw_range_elements", set);
  const std::vector<std::string> all = {"GL_ARB_vertex_program", "GL_ARB_vertex_buffer_object",
                                        "GL_ARB_multitexture", "GL_EXT_draw_range_elements"};
  EXPECT_EQ(MissingRequiredGLExtensions(set), all);
  EXPECT_EQ(MissingExtensionsMessage({"GL_ARB_vertex_program"}),
            "Required OpenGL extension missing: GL_ARB_vertex_program");
  EXPECT_EQ(MissingExtensionsMessage({"GL_ARB_multitexture", "GL_EXT_draw_range_elements"}),
            "Required OpenGL extensions missing: GL_ARB_multitexture, GL_EXT_draw_range_elements");
}

TEST(GLExtensions, WholeNamesInAnExtensionString) {
  EXPECT_TRUE(
      ExtensionStringHas("GL_A GL_EXT_framebuffer_object GL_B", "GL_EXT_framebuffer_object"));
  EXPECT_TRUE(ExtensionStringHas("GL_EXT_framebuffer_object", "GL_EXT_framebuffer_object"));
  EXPECT_FALSE(ExtensionStringHas("GL_EXT_framebuffer_object_x", "GL_EXT_framebuffer_object"));
  EXPECT_FALSE(ExtensionStringHas("XGL_EXT_framebuffer_object", "GL_EXT_framebuffer_object"));
  EXPECT_TRUE(ExtensionStringHas("XGL_EXT_framebuffer_object GL_EXT_framebuffer_object",
                                 "GL_EXT_framebuffer_object"));
  EXPECT_FALSE(ExtensionStringHas("", "GL_EXT_framebuffer_object"));
  EXPECT_FALSE(ExtensionStringHas("GL_A", ""));
}

TEST(GLEntryPoints, OneRowPerNameWithWglNamesMappedOrNone) {
  const auto table = GLEntryPoints();
  ASSERT_EQ(table.size(), 413u);
  EXPECT_STREQ(table.front().name, "wglGetExtensionsStringARB");
  EXPECT_STREQ(table.back().name, "glGenerateMipmapEXT");
  int wgl = 0, mapped = 0;
  for (const GLEntryPoint& entry : table) {
    const std::string_view name = entry.name;
    if (name.starts_with("wgl")) {
      ++wgl;
      mapped += entry.lookup != nullptr;
      if (entry.lookup != nullptr) {
        EXPECT_TRUE(std::string_view(entry.lookup).starts_with("glX")) << name;
      }
    } else {
      EXPECT_EQ(name, entry.lookup);
    }
  }
  EXPECT_EQ(wgl, 20);
  EXPECT_EQ(mapped, 4);

  // Each row writes its own variable.
  int marker = 0;
  for (const GLEntryPoint& entry : table) {
    entry.assign(&marker);
  }
  EXPECT_EQ(reinterpret_cast<void*>(glGenProgramsARB), &marker);
  EXPECT_EQ(reinterpret_cast<void*>(wglSwapIntervalEXT), &marker);
  for (const GLEntryPoint& entry : table) {
    EXPECT_EQ(entry.address(), &marker) << entry.name;
    entry.assign(nullptr);
  }
  EXPECT_EQ(glGenProgramsARB, nullptr);
}

} // namespace
} // namespace meridia

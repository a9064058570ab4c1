#include "gl/GLImplementation.h"

#include "gl/GLEntryPoints.h"

#include <GL/glu.h>

#include <array>
#include <charconv>

namespace meridia {

TzoGLVersion OpenGLVersion;
TzoGLVersion GLUVersion;
GLExtensionSet GLExtensions;
std::string OpenGLExtensionsText;
std::string GLUExtensionsText;
bool TextureCompressionAvailable = false;
bool DepthClampAvailable = false;

namespace {

// Index 5 begins with a blank and index 100 ends with one; both are searched that way.
constexpr std::array<std::string_view, kGLExtensionCount> kExtensionNames = {
    "GL_3DFX_multisample",               // 1
    "GL_3DFX_tbuffer",                   // 2
    "GL_3DFX_texture_compression_FXT1",  // 3
    "GL_ARB_imaging",                    // 4
    " GL_ARB_multisample",               // 5
    "GL_ARB_multitexture",               // 6
    "GL_ARB_depth_texture",              // 7
    "GL_ARB_shadow",                     // 8
    "GL_ARB_texture_border_clamp",       // 9
    "GL_ARB_texture_compression",        // 10
    "GL_ARB_texture_cube_map",           // 11
    "GL_ARB_transpose_matrix",           // 12
    "GL_ARB_vertex_blend",               // 13
    "GL_ARB_point_parameters",           // 14
    "GL_ARB_texture_env_combine",        // 15
    "GL_ARB_texture_env_crossbar",       // 16
    "GL_ARB_texture_env_dot3",           // 17
    "GL_ARB_shader_objects",             // 18
    "GL_ARB_vertex_shader",              // 19
    "GL_ARB_vertex_program",             // 20
    "GL_ARB_fragment_shader",            // 21
    "GL_ARB_fragment_program",           // 22
    "GL_ARB_vertex_buffer_object",       // 23
    "GL_EXT_abgr",                       // 24
    "GL_EXT_bgra",                       // 25
    "GL_EXT_blend_color",                // 26
    "GL_EXT_blend_func_separate",        // 27
    "GL_EXT_blend_logic_op",             // 28
    "GL_EXT_blend_minmax",               // 29
    "GL_EXT_blend_subtract",             // 30
    "GL_EXT_clip_volume_hint",           // 31
    "GL_EXT_cmyka",                      // 32
    "GL_EXT_compiled_vertex_array",      // 33
    "GL_EXT_copy_texture",               // 34
    "GL_EXT_draw_range_elements",        // 35
    "GL_EXT_depth_bounds_test",          // 36
    "GL_EXT_fog_coord",                  // 37
    "GL_EXT_light_max_exponent",         // 38
    "GL_EXT_misc_attribute",             // 39
    "GL_EXT_multi_draw_arrays",          // 40
    "GL_EXT_multisample",                // 41
    "GL_EXT_packed_pixels",              // 42
    "GL_EXT_paletted_texture",           // 43
    "GL_EXT_polygon_offset",             // 44
    "GL_EXT_rescale_normal",             // 45
    "GL_EXT_scene_marker",               // 46
    "GL_EXT_secondary_color",            // 47
    "GL_EXT_separate_specular_color",    // 48
    "GL_EXT_shared_texture_palette",     // 49
    "GL_EXT_stencil_wrap",               // 50
    "GL_EXT_stencil_two_side",           // 51
    "GL_EXT_subtexture",                 // 52
    "GL_EXT_texture_color_table",        // 53
    "GL_EXT_texture_compression_s3tc",   // 54
    "GL_EXT_texture_cube_map",           // 55
    "GL_EXT_texture_edge_clamp",         // 56
    "GL_EXT_texture_env_add",            // 57
    "GL_EXT_texture_env_combine",        // 58
    "GL_EXT_texture_filter_anisotropic", // 59
    "GL_EXT_texture_lod_bias",           // 60
    "GL_EXT_texture_object",             // 61
    "GL_EXT_texture_perturb_normal",     // 62
    "GL_EXT_texture3D",                  // 63
    "GL_EXT_vertex_array",               // 64
    "GL_EXT_vertex_weighting",           // 65
    "GL_HP_occlusion_test",              // 66
    "GL_IBM_rasterpos_clip",             // 67
    "GL_KTX_buffer_region",              // 68
    "GL_MESA_resize_buffers",            // 69
    "GL_NV_blend_square",                // 70
    "GL_NV_depth_clamp",                 // 71
    "GL_NV_fog_distance",                // 72
    "GL_NV_light_max_exponent",          // 73
    "GL_NV_register_combiners",          // 74
    "GL_NV_texgen_emboss",               // 75
    "GL_NV_texgen_reflection",           // 76
    "GL_NV_texture_env_combine4",        // 77
    "GL_NV_vertex_array_range",          // 78
    "GL_NV_vertex_program",              // 79
    "GL_NV_multisample_filter_hint",     // 80
    "GL_NV_fence",                       // 81
    "GL_NV_occlusion_query",             // 82
    "GL_NV_texture_rectangle",           // 83
    "GL_SGI_color_matrix",               // 84
    "GL_SGIS_generate_mipmap",           // 85
    "GL_SGIS_multisample",               // 86
    "GL_SGIS_multitexture",              // 87
    "GL_SGIS_texture_border_clamp",      // 88
    "GL_SGIS_texture_color_mask",        // 89
    "GL_SGIS_texture_edge_clamp",        // 90
    "GL_SGIS_texture_lod",               // 91
    "GL_SGIX_depth_texture",             // 92
    "GL_SGIX_shadow",                    // 93
    "GL_SGIX_shadow_ambient",            // 94
    "GL_WIN_swap_hint",                  // 95
    "WGL_EXT_swap_control",              // 96
    "WGL_ARB_multisample",               // 97
    "WGL_ARB_extensions_string",         // 98
    "WGL_ARB_pixel_format",              // 99
    "WGL_ARB_pbuffer ",                  // 100
    "WGL_ARB_buffer_region",             // 101
    "GLU_EXT_TEXTURE",                   // 102
    "GLU_EXT_object_space_tess",         // 103
    "GLU_EXT_nurbs_tessellator",         // 104
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A text that is not a whole decimal number in the 32-bit range counts as 0.
int32_t NumberOrZero(std::string_view text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::string TextOf(const GLubyte* text) {
  return text != nullptr ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

struct RequiredExtension {
  int index;
  void* (*entry_points[6])(); // the entry points called through it, null after the last
};

template <auto& Variable> void* AddressOf() {
  return reinterpret_cast<void*>(Variable);
}

} // namespace

std::string_view GLExtensionName(int index) {
  return index >= 1 && index <= kGLExtensionCount ? kExtensionNames[index - 1] : std::string_view();
}

TzoGLVersion ParseGLVersion(std::string_view text) {
  TzoGLVersion version;
  version.Text = std::string(text);
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 >= text.size() ||
      !IsDigit(text[dot - 1]) || !IsDigit(text[dot + 1])) {
    return version;
  }
  // Whatever leads up to the number goes ("OpenGL ES 2.0", a vendor's product name); so does
  // whatever follows the minor number (a release number, the vendor's text).
  size_t start = dot;
  while (start > 0 && IsDigit(text[start - 1])) {
    --start;
  }
  size_t end = dot + 1;
  while (end < text.size() && IsDigit(text[end])) {
    ++end;
  }
  version.Major = NumberOrZero(text.substr(start, dot - start));
  version.Minor = NumberOrZero(text.substr(dot + 1, end - dot - 1));
  return version;
}

void DetectGLExtensions(std::string_view extensions, GLExtensionSet& set) {
  for (int index = 1; index <= kGLExtensionCount; ++index) {
    const std::string_view name = kExtensionNames[index - 1];
    // Every occurrence is tried, not just the first: a longer name that merely begins with this
    // one ("GL_ARB_texture_compression_bptc") may come before the name itself.
    for (size_t at = extensions.find(name); at != std::string_view::npos;
         at = extensions.find(name, at + 1)) {
      const size_t end = at + name.size();
      if (end == extensions.size() || extensions[end] == ' ') {
        set.set(static_cast<size_t>(index));
        break;
      }
    }
  }
}

bool ExtensionStringHas(std::string_view extensions, std::string_view name) {
  if (name.empty()) {
    return false;
  }
  for (size_t at = extensions.find(name); at != std::string_view::npos;
       at = extensions.find(name, at + 1)) {
    const size_t end = at + name.size();
    if ((at == 0 || extensions[at - 1] == ' ') &&
        (end == extensions.size() || extensions[end] == ' ')) {
      return true;
    }
  }
  return false;
}

void ReadGLImplementation() {
  GLExtensions.reset();
  OpenGLVersion = ParseGLVersion(TextOf(glGetString(GL_VERSION)));
  GLUVersion = ParseGLVersion(TextOf(gluGetString(GLU_VERSION)));
  OpenGLExtensionsText = TextOf(glGetString(GL_EXTENSIONS));
  GLUExtensionsText = TextOf(gluGetString(GLU_EXTENSIONS));
  DetectGLExtensions(OpenGLExtensionsText, GLExtensions);
  DetectGLExtensions(GLUExtensionsText, GLExtensions);
}

void DeriveFeatureFlags() {
  TextureCompressionAvailable = GLExtensions.test(kGL_ARB_texture_compression) &&
                                GLExtensions.test(kGL_EXT_texture_compression_s3tc);
  DepthClampAvailable = GLExtensions.test(kGL_NV_depth_clamp) ||
                        ExtensionStringHas(OpenGLExtensionsText, "GL_ARB_depth_clamp");
}

void DropOptionalEntryPointsNotOffered() {
  if (!ExtensionStringHas(OpenGLExtensionsText, "GL_EXT_framebuffer_object")) {
    glGenerateMipmapEXT = nullptr;
  }
}

std::vector<std::string> MissingRequiredGLExtensions(const GLExtensionSet& set) {
  static const RequiredExtension kRequired[] = {
      {kGL_ARB_vertex_program,
       {&AddressOf<glGenProgramsARB>, &AddressOf<glBindProgramARB>, &AddressOf<glProgramStringARB>,
        &AddressOf<glGetProgramivARB>, &AddressOf<glDeleteProgramsARB>,
        &AddressOf<glProgramLocalParameter4fARB>}},
      {kGL_ARB_vertex_buffer_object,
       {&AddressOf<glGenBuffersARB>, &AddressOf<glBindBufferARB>, &AddressOf<glBufferDataARB>,
        &AddressOf<glDeleteBuffersARB>}},
      {kGL_ARB_multitexture,
       {&AddressOf<glActiveTextureARB>, &AddressOf<glClientActiveTextureARB>}},
      {kGL_EXT_draw_range_elements, {&AddressOf<glDrawRangeElementsEXT>}},
  };
  std::vector<std::string> missing;
  for (const RequiredExtension& required : kRequired) {
    bool loaded = set.test(static_cast<size_t>(required.index));
    for (void* (*address)() : required.entry_points) {
      loaded = loaded && (address == nullptr || address() != nullptr);
    }
    if (!loaded) {
      missing.emplace_back(GLExtensionName(required.index));
    }
  }
  return missing;
}

std::string MissingExtensionsMessage(const std::vector<std::string>& missing) {
  std::string text = missing.size() == 1 ? "Required OpenGL extension missing: "
                                         : "Required OpenGL extensions missing: ";
  for (size_t i = 0; i < missing.size(); ++i) {
    text += (i == 0 ? "" : ", ") + missing[i];
  }
  return text;
}

} // namespace meridia

// What the current OpenGL implementation says of itself: the OpenGL and GLU versions, the set of
// known extensions it offers (the indexes of a fixed table of 104 names), and the features the
// program derives from them. Parsing and detection are plain text work; only
// ReadGLImplementation asks OpenGL.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

struct TzoGLVersion {
  std::string Text; // the whole version string, unparsed
  int32_t Minor = 0;
  int32_t Major = 0;
};

inline constexpr int kGLExtensionCount = 104;
// Indexes 1 to 104 of the extension table; 14 bytes' worth of bits, as the set is stored.
using GLExtensionSet = std::bitset<112>;

// Table indexes the program itself reads.
enum GLExtensionIndex : int {
  kGL_ARB_multitexture = 6,
  kGL_ARB_texture_compression = 10,
  kGL_ARB_vertex_program = 20,
  kGL_ARB_vertex_buffer_object = 23,
  kGL_EXT_draw_range_elements = 35,
  kGL_EXT_texture_compression_s3tc = 54,
  kGL_NV_depth_clamp = 71,
};

// The table name at index 1 to 104, blanks included where the table has them; empty outside.
std::string_view GLExtensionName(int index);

// Major and minor numbers from the first "digits.digits" of the text; 0.0 when there is none.
TzoGLVersion ParseGLVersion(std::string_view text);

// Marks in `set` every table name that the blank-separated extension string holds. A name counts
// where one of its occurrences ends the string or is followed by a blank; what precedes it does
// not matter.
void DetectGLExtensions(std::string_view extensions, GLExtensionSet& set);

// Whether the blank-separated extension string lists exactly this name.
bool ExtensionStringHas(std::string_view extensions, std::string_view name);

// Read by ReadGLImplementation; the extension strings as the implementation gave them.
extern TzoGLVersion OpenGLVersion;
extern TzoGLVersion GLUVersion;
extern GLExtensionSet GLExtensions;
extern std::string OpenGLExtensionsText;
extern std::string GLUExtensionsText;
// Set by DeriveFeatureFlags: the texture upload may hand S3TC data to the driver.
extern bool TextureCompressionAvailable;
// Set by DeriveFeatureFlags: GL_DEPTH_CLAMP may be enabled (the NV or the ARB extension).
extern bool DepthClampAvailable;

// Clears the set; reads both versions, then detects the table names in the OpenGL and the GLU
// extension strings. Needs a current rendering context.
void ReadGLImplementation();
// Sets the feature flags from the extension set.
void DeriveFeatureFlags();
// The window system hands out an address for any OpenGL name, offered or not; clears the
// optional entry points whose extension the implementation does not list, so that their callers'
// null test means what it says.
void DropOptionalEntryPointsNotOffered();

// The extensions the program cannot run without, each with the entry points it calls through
// them unchecked: the names of those missing from the set, or whose entry points did not load.
std::vector<std::string> MissingRequiredGLExtensions(const GLExtensionSet& set);
// The one line that start-up shows and logs when some are missing.
std::string MissingExtensionsMessage(const std::vector<std::string>& missing);

} // namespace meridia

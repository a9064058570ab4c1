// The OpenGL entry points beyond version 1.1: one variable per name of the table in
// GLEntryPointList.def, typed as the function's published prototype and null until
// LoadGLEntryPoints finds it. Files that draw include this header and call through these
// variables (version 1.1 stays linked and is called directly); they declare no extension
// prototypes of their own. The variables live in namespace meridia, where they hide the few
// prototypes of the same names that the system's gl.h declares.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <span>

struct GLUnurbs;

namespace meridia {

// Prototypes that Linux headers do not carry: the WGL calls (Windows handles as void*, BOOL as
// int), the GLU tessellator extension, and a few extensions no current header lists.
using PFNWGLGETEXTENSIONSSTRINGARBPROC = const char* (*)(void* dc);
using PFNWGLGETPIXELFORMATATTRIBIVARBPROC = int (*)(void* dc, int pixel_format, int layer_plane,
                                                    unsigned attribute_count, const int* attributes,
                                                    int* values);
using PFNWGLGETPIXELFORMATATTRIBFVARBPROC = int (*)(void* dc, int pixel_format, int layer_plane,
                                                    unsigned attribute_count, const int* attributes,
                                                    float* values);
using PFNWGLCHOOSEPIXELFORMATARBPROC = int (*)(void* dc, const int* int_attributes,
                                               const float* float_attributes, unsigned max_formats,
                                               int* formats, unsigned* format_count);
using PFNWGLCREATEPBUFFERARBPROC = void* (*)(void* dc, int pixel_format, int width, int height,
                                             const int* attributes);
using PFNWGLGETPBUFFERDCARBPROC = void* (*)(void* pbuffer);
using PFNWGLRELEASEPBUFFERDCARBPROC = int (*)(void* pbuffer, void* dc);
using PFNWGLDESTROYPBUFFERARBPROC = int (*)(void* pbuffer);
using PFNWGLQUERYPBUFFERARBPROC = int (*)(void* pbuffer, int attribute, int* value);
using PFNWGLCREATEBUFFERREGIONARBPROC = void* (*)(void* dc, int layer_plane, unsigned type);
using PFNWGLDELETEBUFFERREGIONARBPROC = void (*)(void* region);
using PFNWGLSAVEBUFFERREGIONARBPROC = int (*)(void* region, int x, int y, int width, int height);
using PFNWGLRESTOREBUFFERREGIONARBPROC = int (*)(void* region, int x, int y, int width, int height,
                                                 int source_x, int source_y);
using PFNWGLBINDTEXIMAGEARBPROC = int (*)(void* pbuffer, int buffer);
using PFNWGLRELEASETEXIMAGEARBPROC = int (*)(void* pbuffer, int buffer);
using PFNWGLSETPBUFFERATTRIBARBPROC = int (*)(void* pbuffer, const int* attributes);
// Typed as the GLX calls that stand in for them (see the table).
using PFNWGLSWAPINTERVALEXTPROC = int (*)(unsigned interval);
using PFNWGLGETSWAPINTERVALEXTPROC = int (*)();
using PFNWGLALLOCATEMEMORYNVPROC = void* (*)(GLsizei size, GLfloat read_frequency,
                                             GLfloat write_frequency, GLfloat priority);
using PFNWGLFREEMEMORYNVPROC = void (*)(void* pointer);

using PFNGLARRAYELEMENTARRAYEXTPROC = void (*)(GLenum mode, GLsizei count, const GLvoid* indices);
using PFNGLBEGINSCENEEXTPROC = void (*)();
using PFNGLENDSCENEEXTPROC = void (*)();
using PFNGLGETCOLORTABLEPAMETERIVEXTPROC = void (*)(GLenum target, GLenum name, GLint* values);
using PFNGLGETCOLORTABLEPAMETERFVEXTPROC = void (*)(GLenum target, GLenum name, GLfloat* values);
using PFNGLADDSWAPHINTRECTWINPROC = void (*)(GLint x, GLint y, GLsizei width, GLsizei height);
using PFNGLSAMPLEPASSARBPROC = void (*)(GLenum pass);
using PFNGLUNURBSCALLBACKDATAEXTPROC = void (*)(GLUnurbs* nurbs, GLvoid* user_data);
using PFNGLUNEWNURBSTESSELLATOREXTPROC = GLUnurbs* (*)();
using PFNGLUDELETENURBSTESSELLATOREXTPROC = void (*)(GLUnurbs* nurbs);

#define MERIDIA_GL_ENTRY(type, name) extern type name;
#define MERIDIA_GL_MAPPED(type, name, lookup) extern type name;
#include "gl/GLEntryPointList.def"
#undef MERIDIA_GL_MAPPED
#undef MERIDIA_GL_ENTRY

// One row of the table: the published name, the name looked up for it (null: none on this
// platform), and access to its variable.
struct GLEntryPoint {
  const char* name;
  const char* lookup;
  void (*assign)(void* address);
  void* (*address)();
};

std::span<const GLEntryPoint> GLEntryPoints();

// The OpenGL library's own export of the name, else the window system's address for it; null
// when neither has one. GLU names are looked up in the GLU library alone: the window system
// knows only OpenGL's names.
void* GetGLProcAddress(const char* name);

// Assigns every variable of the table from GetGLProcAddress. Needs a current rendering context.
void LoadGLEntryPoints();

} // namespace meridia

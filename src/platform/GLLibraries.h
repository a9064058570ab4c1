// The system's OpenGL and GLU libraries, opened by name at run time and held until freed, and the
// window system's own lookup of OpenGL entry points (wglGetProcAddress's place). Both libraries
// or neither: a half-loaded pair is released again.
#pragma once

namespace meridia::platform {

// True at once when both are held; otherwise releases what is held, opens "libGL.so.1" and
// "libGLU.so.1", and keeps them only when both opened.
bool LoadGLLibraries();
// Releases each library that is held.
void FreeGLLibraries();

// What the loaded OpenGL (or GLU) library itself exports under the name; null when it exports
// none or is not loaded.
void* GLLibraryExport(const char* name);
void* GLULibraryExport(const char* name);

// The address the window system gives for an OpenGL name in the current context; null when it
// has none. On Linux the answer is not proof of support: the dispatch layer hands out a stub for
// any name that begins with "gl", so the extension string decides what may be called.
void* GLProcAddress(const char* name);

} // namespace meridia::platform

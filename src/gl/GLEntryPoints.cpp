#include "gl/GLEntryPoints.h"

#include "platform/GLLibraries.h"

#include <string_view>

namespace meridia {

#define MERIDIA_GL_ENTRY(type, name) type name = nullptr;
#define MERIDIA_GL_MAPPED(type, name, lookup) type name = nullptr;
#include "gl/GLEntryPointList.def"
#undef MERIDIA_GL_MAPPED
#undef MERIDIA_GL_ENTRY

namespace {

// A function pointer travels as void*, as dlsym hands it out (POSIX makes the two convertible).
template <auto& Variable> void Assign(void* address) {
  Variable = reinterpret_cast<std::remove_reference_t<decltype(Variable)>>(address);
}

template <auto& Variable> void* AddressOf() {
  return reinterpret_cast<void*>(Variable);
}

constexpr GLEntryPoint kEntryPoints[] = {
#define MERIDIA_GL_ENTRY(type, name) {#name, #name, &Assign<name>, &AddressOf<name>},
#define MERIDIA_GL_MAPPED(type, name, lookup) {#name, lookup, &Assign<name>, &AddressOf<name>},
#include "gl/GLEntryPointList.def"
#undef MERIDIA_GL_MAPPED
#undef MERIDIA_GL_ENTRY
};

} // namespace

std::span<const GLEntryPoint> GLEntryPoints() {
  return kEntryPoints;
}

void* GetGLProcAddress(const char* name) {
  if (name == nullptr) {
    return nullptr;
  }
  if (std::string_view(name).starts_with("glu")) {
    return platform::GLULibraryExport(name);
  }
  if (void* exported = platform::GLLibraryExport(name)) {
    return exported;
  }
  return platform::GLProcAddress(name);
}

void LoadGLEntryPoints() {
  for (const GLEntryPoint& entry : kEntryPoints) {
    entry.assign(entry.lookup != nullptr ? GetGLProcAddress(entry.lookup) : nullptr);
  }
}

} // namespace meridia

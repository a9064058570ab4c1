// The OpenGL state a drawing step might change and must put back, read into named values, so
// that a test can compare the state before and after a step and name what differs. Needs a
// current context with the entry points loaded.
#pragma once

#include "gl/GLEntryPoints.h"

#include <map>
#include <string>
#include <vector>

namespace meridia::testing {

using GLStateSnapshot = std::map<std::string, std::vector<double>>;

inline GLStateSnapshot TakeGLStateSnapshot() {
  GLStateSnapshot state;
  const struct {
    const char* name;
    GLenum cap;
  } enables[] = {{"depth test", GL_DEPTH_TEST},
                 {"blend", GL_BLEND},
                 {"cull face", GL_CULL_FACE},
                 {"texture 2d", GL_TEXTURE_2D},
                 {"lighting", GL_LIGHTING},
                 {"scissor test", GL_SCISSOR_TEST},
                 {"alpha test", GL_ALPHA_TEST},
                 {"fog", GL_FOG},
                 {"vertex program", GL_VERTEX_PROGRAM_ARB},
                 {"vertex array", GL_VERTEX_ARRAY},
                 {"colour array", GL_COLOR_ARRAY},
                 {"texcoord array", GL_TEXTURE_COORD_ARRAY},
                 {"normal array", GL_NORMAL_ARRAY}};
  for (const auto& e : enables) {
    state[e.name] = {static_cast<double>(glIsEnabled(e.cap))};
  }
  const struct {
    const char* name;
    GLenum what;
    int count;
  } integers[] = {{"depth mask", GL_DEPTH_WRITEMASK, 1},
                  {"blend src", GL_BLEND_SRC, 1},
                  {"blend dst", GL_BLEND_DST, 1},
                  {"matrix mode", GL_MATRIX_MODE, 1},
                  {"texture binding", GL_TEXTURE_BINDING_2D, 1},
                  {"array buffer", GL_ARRAY_BUFFER_BINDING_ARB, 1},
                  {"element buffer", GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB, 1},
                  {"front face", GL_FRONT_FACE, 1},
                  {"polygon mode", GL_POLYGON_MODE, 2},
                  {"viewport", GL_VIEWPORT, 4},
                  {"scissor box", GL_SCISSOR_BOX, 4},
                  {"active texture", GL_ACTIVE_TEXTURE_ARB, 1},
                  {"attrib stack", GL_ATTRIB_STACK_DEPTH, 1},
                  {"client attrib stack", GL_CLIENT_ATTRIB_STACK_DEPTH, 1},
                  {"modelview stack", GL_MODELVIEW_STACK_DEPTH, 1},
                  {"projection stack", GL_PROJECTION_STACK_DEPTH, 1}};
  for (const auto& i : integers) {
    GLint values[4] = {};
    glGetIntegerv(i.what, values);
    state[i.name].assign(values, values + i.count);
  }
  const struct {
    const char* name;
    GLenum what;
    int count;
  } floats[] = {{"clear colour", GL_COLOR_CLEAR_VALUE, 4},
                {"current colour", GL_CURRENT_COLOR, 4},
                {"modelview", GL_MODELVIEW_MATRIX, 16},
                {"projection", GL_PROJECTION_MATRIX, 16}};
  for (const auto& f : floats) {
    GLfloat values[16] = {};
    glGetFloatv(f.what, values);
    state[f.name].assign(values, values + f.count);
  }
  GLint value = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
  state["texture env mode"] = {static_cast<double>(value)};
  glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &value);
  state["vertex program binding"] = {static_cast<double>(value)};
  return state;
}

// The names whose values differ, one a line, for a failure message.
inline std::string GLStateDifferences(const GLStateSnapshot& before, const GLStateSnapshot& after) {
  std::string text;
  for (const auto& [name, values] : before) {
    const auto it = after.find(name);
    if (it == after.end() || it->second != values) {
      text += name + "\n";
    }
  }
  return text;
}

} // namespace meridia::testing

// Whether an OpenGL context is current on this thread, so that objects destroyed after the
// window is gone can skip releasing names that died with their context.
#pragma once

namespace meridia::platform {

bool HasCurrentGLContext();

} // namespace meridia::platform

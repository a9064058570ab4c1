// The first draw of a state costs a software driver more than the later ones: it builds the
// programs that state is drawn with (the tree programs, the impostor quad's alpha test, the
// buildings' lighting) and touches the buffers for the first time. Done at start-up, that work
// stays out of the first frame that shows trees.
#pragma once

namespace meridia {

// Draws each tree kind near, in between and far (geometry, geometry with its impostor, the
// impostor alone) and each building model once, as the decoration pass draws them, into the back
// buffer, and clears it again. Needs the tree kinds and the building models, and a current
// context. Draws nothing from the shared generator and leaves the GL state, the matrices and the
// frame counters as it found them.
void WarmUpDecorations();

} // namespace meridia

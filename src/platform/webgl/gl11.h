// GL 1.1 over WebGL: the part of the fixed-function API the demo calls (immediate mode, the two
// matrix stacks, colour, texture, blend and depth state), drawn through one shader pair. The
// demo's own <GL/gl.h> calls land here; what WebGL has as it is passes straight through.
#pragma once

namespace gl11 {

// Builds the shader pair and buffers in the current WebGL context; false when it cannot.
bool open();
// Forgets the objects of a context that is gone.
void close();

}  // namespace gl11

// Placeholder.
#include "render/radial_blur.h"
void RadialBlur::render(float) {}
void RadialBlur::load() {}
void RadialBlur::enter() {}
void RadialBlur::unload() {}
void RadialBlur::setScreenSize(int, int) {}
void RadialBlur::setPasses(int) {}
void RadialBlur::setSpread(float) {}
void RadialBlur::setClearColor(float, float, float, float) {}
void RadialBlur::setBlendFunc(GLenum, GLenum) {}
void RadialBlur::beginCapture() {}
void RadialBlur::endCapture() {}
GLuint makeEmptyTexture() { return 0; }

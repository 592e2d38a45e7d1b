// Placeholder.
#include "render/fader.h"
void Fader::render(float) {}
void Fader::load() {}
void Fader::enter() {}
void Fader::unload() {}
void Fader::setColor(float r, float g, float b, float a) { red = r; green = g; blue = b; alpha = a; }

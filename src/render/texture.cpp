// Placeholder.
#include "render/texture.h"
bool loadTGA(Texture&, const char*) { return false; }

// Placeholder.
#include "render/random.h"
int nextRandom() { return 0; }
float randomFloat() { return 0; }

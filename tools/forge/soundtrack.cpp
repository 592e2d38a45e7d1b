// Placeholder.
#include "soundtrack.h"
namespace forge {
bool writeSoundtrack(const std::string&) { return true; }
}

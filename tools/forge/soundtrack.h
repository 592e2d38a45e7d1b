#pragma once
#include <string>

namespace forge {
// Composes the demo's soundtrack and writes it as an Impulse Tracker module; false on a write error.
bool writeSoundtrack(const std::string& path);
}

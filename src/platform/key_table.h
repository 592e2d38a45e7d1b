// The keys both back ends know, by Windows virtual-key code: what a live key press becomes, and
// what a key name in the capture tool's script stands for. One table serves both.
#pragma once
#include <SDL.h>

namespace key_table {

// Virtual-key code of a key name ("escape", "space", "return", "a", "7", "f5", "left", ...), any
// case; -1 when the name is unknown.
int fromName(const char* name);

// Virtual-key code of an SDL key; -1 for keys with no name in the table.
int fromSdl(SDL_Keycode key);

}  // namespace key_table

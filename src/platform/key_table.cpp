#include "platform/key_table.h"

#include "platform/platform.h"

#include <cstdlib>
#include <strings.h>

namespace {

// Letters, digits and F1..F12 follow from their ranges; these are the rest, with every SDL key
// that stands for them (a name may repeat for a second SDL key).
struct NamedKey {
    const char* name;
    int code;
    SDL_Keycode sdl;
};

const NamedKey namedKeys[] = {
    {"escape", platform::keyEscape, SDLK_ESCAPE}, {"esc", platform::keyEscape, SDLK_ESCAPE},
    {"space", platform::keySpace, SDLK_SPACE},
    {"return", 13, SDLK_RETURN}, {"enter", 13, SDLK_KP_ENTER},
    {"backspace", 8, SDLK_BACKSPACE}, {"tab", 9, SDLK_TAB},
    {"shift", 16, SDLK_LSHIFT}, {"shift", 16, SDLK_RSHIFT},
    {"control", 17, SDLK_LCTRL}, {"ctrl", 17, SDLK_RCTRL},
    {"alt", 18, SDLK_LALT}, {"alt", 18, SDLK_RALT},
    {"pause", 19, SDLK_PAUSE}, {"pageup", 33, SDLK_PAGEUP}, {"pagedown", 34, SDLK_PAGEDOWN},
    {"end", 35, SDLK_END}, {"home", 36, SDLK_HOME},
    {"left", 37, SDLK_LEFT}, {"up", 38, SDLK_UP}, {"right", 39, SDLK_RIGHT}, {"down", 40, SDLK_DOWN},
    {"insert", 45, SDLK_INSERT}, {"delete", 46, SDLK_DELETE},
};

constexpr int keyF1 = 112;

}  // namespace

namespace key_table {

int fromName(const char* name)
{
    for (const NamedKey& entry : namedKeys)
        if (strcasecmp(name, entry.name) == 0)
            return entry.code;
    if (name[0] && !name[1]) {
        char c = name[0];
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 'A';
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return c;
    }
    if ((name[0] == 'f' || name[0] == 'F') && name[1]) {
        char* end = nullptr;
        long n = std::strtol(name + 1, &end, 10);
        if (*end == '\0' && n >= 1 && n <= 12)
            return keyF1 - 1 + static_cast<int>(n);
    }
    return -1;
}

int fromSdl(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return keyF1 + (key - SDLK_F1);
    for (const NamedKey& entry : namedKeys)
        if (entry.sdl == key)
            return entry.code;
    return -1;
}

}  // namespace key_table

// Web back end: a 640 x 480 WebGL canvas drawn through the GL 1.1 layer, keys from the page, and
// the browser's clock. Built with Asyncify, so the swap and the sleep hand control back to the
// browser and the driver's loop runs as it is. The "fullscreen?" box is the page's two buttons:
// the question waits for the click the same way.
//
// With ?fps=N in the page's address the back end runs on the offline back end's timing instead: a
// virtual clock advanced 1/N s by every swap and by every sleep, keys scripted by ?keys=FRAME:KEY,...
// (the capture tool's syntax), and ?stopAt=N leaves frame N on the canvas, titles the page
// "frame N" and stops.
#include "platform/event_script.h"
#include "platform/key_table.h"
#include "platform/offline.h"
#include "platform/platform.h"
#include "platform/webgl/gl11.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// A page parameter's value into `out`; 0 when the page has none of that name.
EM_JS(int, web_parameter, (const char* name, char* out, int size), {
    if (typeof location === 'undefined')
        return 0;
    var value = new URLSearchParams(location.search).get(UTF8ToString(name));
    if (value === null)
        return 0;
    stringToUTF8(value, out, size);
    return 1;
});

EM_JS(void, web_set_title, (const char* title), { document.title = UTF8ToString(title); });

// The page says in a sentence that there is no picture (its function, when it has one).
EM_JS(void, web_no_webgl, (), {
    if (Module['noWebGL'])
        Module['noWebGL']();
});

// Suspends until the browser's next animation frame.
EM_JS(void, web_next_frame, (), {
    Asyncify.handleSleep(function(wakeUp) { requestAnimationFrame(function() { wakeUp(); }); });
});

// Asks the page's question about full screen and waits for the click: 1 for Yes, 0 for No, -1
// when the page has no buttons to ask with.
EM_JS(int, web_ask_fullscreen, (), {
    if (!Module['askFullscreen'])
        return -1;
    return Asyncify.handleSleep(function(wakeUp) {
        Module['askFullscreen'](function(yes) { wakeUp(yes ? 1 : 0); });
    });
});

// Suspends for good: the run stops with its last frame on the canvas.
EM_JS(void, web_halt, (), { Asyncify.handleSleep(function(wakeUp) {}); });

// Tells the page of every swap on the virtual clock (a measuring page times them).
EM_JS(void, web_swapped, (double frame), {
    if (Module['onSwap'])
        Module['onSwap'](frame);
});

EM_JS(void, web_ended, (int code), {
    if (Module['onDemoEnd'])
        Module['onDemoEnd'](code);
});

constexpr int liveCapacity = 256;

// Constant initialisers only: scene objects built before main already read the clock.
struct WebData {
    bool configured = false;
    int fps = 0;             // 0: the browser's own clock
    int64_t stopAt = -1;
    double startMillis = 0;  // the browser's clock at the first reading
    uint64_t swaps = 0;
    uint64_t sleptMicros = 0;
    void (*clockListener)(uint64_t) = nullptr;

    EventScript script;

    platform::Event live[liveCapacity] = {};
    int liveHead = 0;
    int liveCount = 0;
    bool downThisPass[256] = {};  // keys that went down since the last swap

    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
};

static_assert(WebData().stopAt == -1, "WebData needs constant initialisers");
WebData data;

// FRAME:KEY items separated by commas, as the capture tool reads them; a bad item ends the list.
void readKeys(char* list)
{
    for (char* item = std::strtok(list, ","); item; item = std::strtok(nullptr, ",")) {
        char* colon = std::strchr(item, ':');
        char* end = nullptr;
        unsigned long long frame = std::strtoull(item, &end, 10);
        if (!colon || end != colon || colon == item) {
            std::fprintf(stderr, "plomvardix: bad key list item \"%s\" (FRAME:KEY); the rest is ignored\n", item);
            return;
        }
        const char* what = colon + 1;
        bool scheduled = false;
        if (std::strcmp(what, "close") == 0)
            scheduled = data.script.schedule(frame, platform::EventType::Close, 0);
        else if (std::strcmp(what, "minimize") == 0 || std::strcmp(what, "minimise") == 0)
            scheduled = data.script.schedule(frame, platform::EventType::Minimized, 0);
        else if (std::strcmp(what, "restore") == 0)
            scheduled = data.script.schedule(frame, platform::EventType::Restored, 0);
        else if (key_table::fromName(what) >= 0)
            scheduled = data.script.schedulePress(frame, key_table::fromName(what));
        else
            std::fprintf(stderr, "plomvardix: unknown key \"%s\" in the key list\n", what);
        if (!scheduled)
            return;
    }
}

void configure()
{
    if (data.configured)
        return;
    data.configured = true;
    data.startMillis = emscripten_get_now();
    char value[8192];
    if (web_parameter("fps", value, sizeof value)) {
        int fps = std::atoi(value);
        data.fps = fps >= 1 && fps <= 1000 ? fps : 60;
    }
    if (data.fps == 0)
        return;  // the scripted keys and the stop belong to the virtual clock
    if (web_parameter("stopAt", value, sizeof value) && value[0] >= '0' && value[0] <= '9')
        data.stopAt = std::atoll(value);
    if (web_parameter("keys", value, sizeof value))
        readKeys(value);
}

uint64_t clockNow()
{
    configure();
    if (data.fps > 0)
        return data.sleptMicros + data.swaps * 1000000u / static_cast<uint64_t>(data.fps);
    return static_cast<uint64_t>((emscripten_get_now() - data.startMillis) * 1000);
}

void clockAdvanced()
{
    if (data.clockListener)
        data.clockListener(clockNow());
}

void pushLive(const platform::Event& event)
{
    if (data.liveCount >= liveCapacity)
        return;
    data.live[(data.liveHead + data.liveCount) % liveCapacity] = event;
    ++data.liveCount;
}

// The page's keyCode is the Windows virtual-key code the demo reads, for the keys it knows.
EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* key, void*)
{
    int code = static_cast<int>(key->keyCode);
    if (code <= 0 || code >= 256)
        return EM_FALSE;
    pushLive({type == EMSCRIPTEN_EVENT_KEYDOWN ? platform::EventType::KeyDown : platform::EventType::KeyUp, code,
              offline::frameWidth, offline::frameHeight});
    // Space and the arrows would scroll the page.
    return code == platform::keySpace || code == platform::keyEscape || (code >= 37 && code <= 40);
}

EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent* visibility, void*)
{
    pushLive({visibility->hidden ? platform::EventType::Minimized : platform::EventType::Restored, 0,
              offline::frameWidth, offline::frameHeight});
    return EM_FALSE;
}

}  // namespace

namespace platform {

int messageBox(const char* text, const char* caption, unsigned style)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    if ((style & 0x0f) != mbYesNo)
        return idOk;
    // Full screen is the page's two buttons; a run on the virtual clock plays in the page, unasked.
    // Any other question is declined.
    configure();
    if (data.fps == 0 && std::strcmp(text, "fullscreen?") == 0) {
        int answer = web_ask_fullscreen();
        if (answer >= 0)
            return answer == 1 ? idYes : idNo;
    }
    return idNo;
}

void enterDataFolder()
{
    // The page wrote the fetched data/ into the root of its file system.
    if (chdir("/") != 0)
        std::fprintf(stderr, "plomvardix: cannot enter the data folder's parent\n");
}

WindowStep openDisplay(bool, int, int, int)
{
    configure();
    return WindowStep::None;
}

WindowStep openWindow(const char*, int width, int height, const PixelFormat& format)
{
    if (format.alphaBits != 0 || format.depthBits > 24 || format.stencilBits != 0)
        return WindowStep::ChoosePixelFormat;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    // Kept between frames, as the offscreen surface of the native tools keeps its one buffer.
    attributes.preserveDrawingBuffer = EM_TRUE;
    attributes.majorVersion = 2;  // textures of any size with GL's own wrapping
    emscripten_set_canvas_element_size("#canvas", width, height);
    data.context = emscripten_webgl_create_context("#canvas", &attributes);
    if (data.context <= 0) {
        attributes.majorVersion = 1;
        data.context = emscripten_webgl_create_context("#canvas", &attributes);
    }
    if (data.context <= 0) {
        data.context = 0;
        web_no_webgl();
        return WindowStep::Context;
    }
    if (emscripten_webgl_make_context_current(data.context) != EMSCRIPTEN_RESULT_SUCCESS)
        return WindowStep::CurrentContext;
    if (!gl11::open()) {
        web_no_webgl();
        return WindowStep::CurrentContext;
    }
    if (data.fps == 0) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
        emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
        emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, onVisibility);
    }
    return WindowStep::None;
}

WindowSteps closeWindow()
{
    if (data.context > 0) {
        gl11::close();
        emscripten_webgl_make_context_current(0);
        emscripten_webgl_destroy_context(data.context);
        data.context = 0;
    }
    return 0;
}

bool pollEvent(Event& event)
{
    if (data.fps == 0) {
        if (data.liveCount == 0)
            return false;
        // A tap quicker than a frame arrives whole between two frames; its key stays down until
        // the next swap, so that the demo sees it.
        const Event& next = data.live[data.liveHead];
        if (next.type == EventType::KeyUp && data.downThisPass[next.key])
            return false;
        if (next.type == EventType::KeyDown)
            data.downThisPass[next.key] = true;
        event = next;
        data.liveHead = (data.liveHead + 1) % liveCapacity;
        --data.liveCount;
        return true;
    }
    return data.script.next(data.swaps, event);
}

uint32_t tickCount()
{
    return static_cast<uint32_t>(clockNow() / 1000);
}

void sleep(uint32_t milliseconds)
{
    configure();
    if (data.fps > 0)
        data.sleptMicros += static_cast<uint64_t>(milliseconds) * 1000;
    else
        emscripten_sleep(milliseconds);
    clockAdvanced();
}

void swapBuffers()
{
    configure();
    if (data.fps == 0) {
        std::memset(data.downThisPass, 0, sizeof data.downThisPass);
        web_next_frame();
        ++data.swaps;
        clockAdvanced();
        return;
    }
    if (data.stopAt >= 0 && data.swaps == static_cast<uint64_t>(data.stopAt)) {
        char title[32];
        std::snprintf(title, sizeof title, "frame %llu", static_cast<unsigned long long>(data.swaps));
        web_set_title(title);
        web_halt();
    }
    web_swapped(static_cast<double>(data.swaps));
    ++data.swaps;
    data.script.swapped();
    clockAdvanced();
    // Let the page draw and breathe between frames; the virtual clock does not see the wait.
    emscripten_sleep(0);
}

void exitProcess(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    web_ended(code);
    web_halt();
    std::exit(code);
}

}  // namespace platform

// What the offline audio output needs of the clock, so that the music is rendered in lockstep with
// it exactly as the capture tool renders it.
namespace offline {

uint64_t clockMicroseconds()
{
    return clockNow();
}

void setClockListener(void (*listener)(uint64_t micros))
{
    data.clockListener = listener;
}

}  // namespace offline

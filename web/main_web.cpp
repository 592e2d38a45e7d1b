// The page's entry: the demo's own main (compiled as plomvardix_main), then the end the page shows,
// also when main returns because the window could not be made.
#include "platform/frame_pacer.h"
#include "platform/platform.h"
#include "shell/driver.h"

#include <emscripten.h>

int plomvardix_main(int argc, char** argv);

// Where the demo is in its music and how many frame steps it has run, for the page's tests.
extern "C" EMSCRIPTEN_KEEPALIVE int web_music_order()
{
    return frameReport.order;
}

extern "C" EMSCRIPTEN_KEEPALIVE int web_music_row()
{
    return frameReport.row;
}

extern "C" EMSCRIPTEN_KEEPALIVE double web_frame_steps()
{
    return static_cast<double>(frameReport.steps);
}

// The browser paces the frames: a swap waits for its next animation frame.
void frame_pacer::setRate(int) {}

int main(int argc, char** argv)
{
    platform::exitProcess(plomvardix_main(argc, argv));
}

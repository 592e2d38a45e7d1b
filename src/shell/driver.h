// The top of the program: the entry, the loading sequence, the timeline and the main loop.
#pragma once

#include <cstdint>

class Scene;

// The answer to "fullscreen?": asked in a box, or given in advance on the command line.
enum class FullscreenChoice { Ask, Yes, No };
int demoMain(FullscreenChoice choice = FullscreenChoice::Ask);  // returns only when the window cannot be made
int loadDemo();
void drawLoadingBar(float progress);
int renderFrame();
[[noreturn]] void shutdownDemo();

struct ScheduleEntry {
    Scene* scene;
    int32_t startOrder;
    int32_t index;
};

constexpr int scheduleRows = 13;
extern ScheduleEntry schedule[scheduleRows];
extern int32_t scheduleCount;

// For the capture tool, before the demo starts: the lattice scene follows the last scheduled scene
// from startOrder until the end (or takes its row when both start at the same order).
void scheduleLatticeScene(int32_t startOrder);

extern Scene* currentScene;
extern int32_t scheduleIndex;
extern float startTicks;
extern float now;
extern float sceneStart;
extern bool loaded;
extern bool active;
extern unsigned char keys[256];
extern bool quitPosted;  // set when the window is asked to close

// What the last frame step did, for the offline runner's log.
struct FrameReport {
    uint64_t steps;       // frame steps run so far
    bool rendered;        // whether the last step rendered a scene
    int order;
    int row;
    const Scene* scene;   // the scene rendered, or null
    float t;              // the t passed to its render
};
extern FrameReport frameReport;

// Control of the offline back end (platform_offline.cpp): frame rate, virtual clock, scripted input,
// scripted message-box answers and the hooks the capture tool and the tests read frames through.
#pragma once
#include "platform/platform.h"

#include <cstdint>

namespace offline {

constexpr int frameWidth = 640;
constexpr int frameHeight = 480;

// Frames per second of the virtual clock (default 60); set before the run.
void setFramesPerSecond(int fps);
int framesPerSecond();

// Buffer swaps so far; the frame index of the frame now being drawn.
uint64_t frameCount();

// The virtual clock: swaps x 1e6 / fps (rounded down) plus every sleep, in microseconds. It never
// drifts, however long the run.
uint64_t clockMicroseconds();
// Called after every advance of the clock with its new value (one listener; null removes it).
void setClockListener(void (*listener)(uint64_t micros));

// Scripted events, delivered by pollEvent once `frame` buffers have been swapped. Events of
// different frames are never delivered in the same pass between two swaps, so a key that goes
// down and up again is seen down by at least one frame step. False when the script is full.
bool scheduleEvent(uint64_t frame, platform::EventType type, int key = 0);
// Down at `frame`, up at the next.
bool scheduleKeyPress(uint64_t frame, int key);
// Windows virtual-key code for a key name ("escape", "space", "return", "a", "7", ...); -1 if unknown.
int keyCode(const char* name);

// Message boxes: the answer to "fullscreen?" (default platform::idNo); answers to the other Yes/No
// boxes in the order they are shown (unqueued ones are answered No, OK boxes with OK).
void setFullscreenAnswer(int answer);
bool queueMessageBoxAnswer(int answer);
int messageBoxCount();
const char* lastMessageBoxText();
// Called for every message box, after it is counted (one hook; null removes it).
void setMessageBoxHook(void (*hook)(const char* text, const char* caption, unsigned style));
// Whether the full-screen display mode is given (default true: the offscreen surface is always
// 640 x 480).
void setDisplayModeAvailable(bool available);
// Window steps that fail, for the failure paths: opening a step in `steps` fails at that step;
// a release in `releases` is reported failed when it is tried (what it held is still let go).
void setFailingWindowSteps(platform::WindowSteps steps, platform::WindowSteps releases);

// Called at every swap before the buffers are swapped, with the frame index, while the finished
// frame is still in the back buffer (one hook; null removes it).
void setSwapHook(void (*hook)(uint64_t frame));
// Reads the back buffer as 640 x 480 RGB bytes, top row first unless asked for GL's own order,
// bottom row first (which saves a turn where every millisecond counts); false without a current
// context.
enum class RowOrder { TopFirst, BottomFirst };
bool readFrame(unsigned char* rgb, RowOrder rows = RowOrder::TopFirst);

// Called by exitProcess with its status, in registration order, before the process ends (a hook
// may end it itself). False when full.
bool addExitHook(void (*hook)(int status));

// A current GL context with the demo's pixel format, for tests that draw without the driver.
bool openContext();
void closeContext();

// Forgets the script, answers, hooks, counters and clock (between test cases).
void reset();

}  // namespace offline

// The live demo's frame pace. The scenes step once per frame, so the picture is right only near
// the rate the demo was made for: by default a frame is swapped no earlier than its slot, 60 a
// second on the real clock (slots counted from one origin, so they never drift), with vsync
// asked for so nothing tears. Rate 0 is the original's way: as fast as it goes, vsync off.
#pragma once

struct SDL_Window;

namespace frame_pacer {

constexpr int defaultRate = 60;
constexpr int maxRate = 1000;

// Frames per second, 0 (unpaced) to maxRate; before the window opens.
void setRate(int framesPerSecond);
int rate();

// With the window's context current: adaptive vsync where the driver has it, else plain vsync,
// else the timer alone; off when unpaced, or when the display is slower than the rate asked for.
void chooseSwapInterval(SDL_Window* window);

// Waits until the next frame's slot; a frame later than a whole slot starts the count afresh
// rather than hurrying the frames after it.
void waitForSlot();

}  // namespace frame_pacer

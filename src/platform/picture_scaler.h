// The live window's picture when the window is not the demo's size (full screen on a larger
// display, a resized or maximised window, a HiDPI scale): the demo draws into an off-screen target
// of its own size and pixel format, and each swap scales it into the window, centred, with its
// aspect kept and black bars around. Needs framebuffer objects (GL 3.0 or
// GL_ARB_framebuffer_object), reached through SDL; the demo's own drawing stays GL 1.1.
#pragma once

namespace picture_scaler {

struct Rect {
    int x, y, width, height;  // GL window coordinates: x, y from the bottom-left corner
};

// The largest width x height picture that fits a window of windowWidth x windowHeight with its
// aspect kept, centred. Empty when the window is.
Rect fit(int width, int height, int windowWidth, int windowHeight);

// With the context current: makes the off-screen target (colour RGB8, depth 16 bits, no alpha, no
// stencil) and binds it for all drawing and reading. With `carryOver` the default framebuffer's
// picture and depth come along, so that the next frame goes on from where the last one left off.
// False when framebuffer objects cannot be had; then nothing changed.
bool begin(int width, int height, bool carryOver);
bool active();

// Scales the target into the window's back buffer (nearest or linear filtering), swaps through
// `swap`, and binds the target again. The demo's GL state is left as it was.
void present(int windowWidth, int windowHeight, bool nearest, void (*swap)());

// With the context still current: deletes the target and goes back to the default framebuffer.
void end();

}  // namespace picture_scaler

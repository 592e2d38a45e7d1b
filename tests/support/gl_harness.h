// Headless GL for tests: the demo's own window created through the real path on the offline back
// end (an offscreen Mesa context, 640 x 480, 16-bit depth, no alpha), and pixel read-back.
#pragma once
#include "render/camera.h"
#include "shell/scene.h"
#include "support/gl_state.h"

#include <array>
#include <cstdint>
#include <ostream>
#include <vector>

namespace testsupport {

// Creates glWindow's window and context once per process (later calls return the first result).
bool openTestWindow();

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// One pixel of the colour buffer; x and y in GL window coordinates (y = 0 is the bottom row).
Rgb readPixel(int x, int y);

// The whole 640 x 480 colour buffer as RGB bytes, bottom row first (GL order).
std::vector<uint8_t> readFrameBuffer();

// Every pixel of the frame equal to c within `tolerance` steps; names the first that is not.
::testing::AssertionResult wholeFrameIs(Rgb c, int tolerance = 1);

// What the driver does for one frame of a scene: store the music position, then render.
void renderScene(Scene& scene, int order, int row, float t);

// Enters the scene from the frame start with a stray viewport and the depth test on, and checks
// what such an enter promises: the frame start state with the full viewport and a black clear
// colour, the depth test off unless the scene keeps it. Returns that state.
GLState enterFromStrayState(Scene& scene, bool keepsDepthTest = false);

// The same for a scene that draws smooth lines and large points (credits, plasma, lattice), entered
// with line smoothing off and points of 1: it also turns smooth lines on and points of 4.
GLState enterSmoothPointScene(Scene& scene);

// The camera's eye (x, y, z), centre (x, y, z), field of view, near and far planes and aspect.
::testing::AssertionResult cameraIs(const Camera& camera, const std::array<float, 10>& expected);

inline std::ostream& operator<<(std::ostream& out, const Rgb& c)
{
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

}  // namespace testsupport
